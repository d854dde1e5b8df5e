// Reading a settings file the way the start does (open, list the sections, list the remote-unit
// section, read each key) and a key store (read one value), for a small and a large file of the
// same shape in one iteration: half of the names are repeats in another letter case, which the
// readers must recognise.
//
// The counter "ratio" is the time per name of the large file over that of the small one: 1 for a
// reader linear in its input, about the logarithm's growth for n log n, and the size factor (64
// for the settings file, 32 for the key store) for one that compares each name with all before
// it. Goal: 3 or less.
#include "registry/key_store.h"
#include "vcl/ini_file.h"
#include "vcl/string_list.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

std::string TempPath(const char* what, int names) {
    return "/tmp/bench-settings-" + std::to_string(::getpid()) + "-" + what + "-" +
           std::to_string(names);
}

std::string MakeIni(int names) {
    const std::string path = TempPath("ini", names);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < names / 2; ++i)
        out << "[Section" << i << "]\nk=" << i << "\n";
    out << "[Remote NAS List]\n";
    for (int i = 0; i < names / 2; ++i)
        out << "IP" << i << "=" << i << "\n";
    for (int i = 0; i < names / 2; ++i)
        out << "ip" << i << "=repeat\n[SECTION" << i << "]\n";
    return path;
}

std::string MakeKeyStore(int names) {
    const std::string path = TempPath("keys", names);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (int i = 0; i < names / 2; ++i)
        out << "[K" << i << "]\n\"v" << i << "\"=dword:00000001\n\"V" << i << "\"=dword:2\n";
    for (int i = 0; i < names / 2; ++i)
        out << "[k" << i << "]\n";
    return path;
}

double ReadIni(const std::string& path) {
    const auto start = Clock::now();
    vcl::TIniFile ini(path);
    vcl::TStringList sections, keys;
    ini.ReadSections(sections);
    ini.ReadSection("Remote NAS List", keys);
    long sum = 0;
    for (int i = 0; i < keys.Count(); ++i)
        sum += ini.ReadInteger("Remote NAS List", keys.Strings(i), 0);
    benchmark::DoNotOptimize(sum);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double ReadKeyStore(const std::string& path) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(platform::registry::KeyStore(path).Read("K1", "v1"));
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Settings(benchmark::State& state, double (*read)(const std::string&), std::string (*make)(int),
              int small, int large) {
    const std::string smallPath = make(small);
    const std::string largePath = make(large);
    double smallTime = 0, largeTime = 0;
    for (auto _ : state) {
        smallTime += read(smallPath);
        largeTime += read(largePath);
    }
    std::remove(smallPath.c_str());
    std::remove(largePath.c_str());
    const double iterations = static_cast<double>(state.iterations());
    state.counters["small_ms"] = smallTime * 1000 / iterations;
    state.counters["large_ms"] = largeTime * 1000 / iterations;
    state.counters["ratio"] = (largeTime / large) / (smallTime / small);
    state.counters["goal_max"] = 3;
}

void BM_SettingsFileListing(benchmark::State& state) {
    Settings(state, ReadIni, MakeIni, 1024, 64 * 1024);
}
void BM_KeyStoreRead(benchmark::State& state) {
    // The store's bound (1 MiB) holds about 17,000 names of this shape.
    Settings(state, ReadKeyStore, MakeKeyStore, 512, 32 * 512);
}

} // namespace

BENCHMARK(BM_SettingsFileListing)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_KeyStoreRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
