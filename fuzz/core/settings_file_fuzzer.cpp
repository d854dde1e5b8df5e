// Reads arbitrary bytes as the program's settings file and as its key store, the two text files
// the program keeps in its folder and reads back at start: every lookup stays bounded, listings
// hold each name once and find it again, and a write after reading keeps the file readable with
// the value just written.
#include "registry/key_store.h"
#include "vcl/exception.h"
#include "vcl/ini_file.h"
#include "vcl/string_list.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

namespace {

std::string Folded(std::string name) {
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

std::string WriteInput(const uint8_t* data, size_t size, const char* suffix) {
    std::string path = "/tmp/brimlet-settings-fuzz-" + std::to_string(::getpid()) + suffix;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

void FuzzIniFile(const uint8_t* data, size_t size) {
    const std::string path = WriteInput(data, size, ".ini");
    {
        vcl::TIniFile ini(path);
        vcl::TStringList sections;
        ini.ReadSections(sections);
        // Each name is listed once, whatever the case of its letters, and is found again.
        std::set<std::string> folded;
        for (int i = 0; i < sections.Count(); ++i) {
            if (!folded.insert(Folded(sections.Strings(i))).second) std::abort();
            vcl::TStringList keys;
            ini.ReadSection(sections.Strings(i), keys);
            std::set<std::string> foldedKeys;
            for (int k = 0; k < keys.Count(); ++k) {
                if (!foldedKeys.insert(Folded(keys.Strings(k))).second) std::abort();
                if (!ini.ValueExists(sections.Strings(i), keys.Strings(k))) std::abort();
            }
            if (ini.SectionExists(sections.Strings(i)) != (keys.Count() > 0)) std::abort();
        }
        for (int i = 0; i < sections.Count() && i < 16; ++i) {
            vcl::TStringList keys;
            ini.ReadSection(sections.Strings(i), keys);
            for (int k = 0; k < keys.Count() && k < 16; ++k) {
                if (ini.ReadString(sections.Strings(i), keys.Strings(k), "").size() > 2047)
                    std::abort();
                ini.ReadInteger(sections.Strings(i), keys.Strings(k), 0);
            }
        }
        try {
            ini.WriteString("Option", "RefreshInterval", "5");
        } catch (const vcl::Exception&) {
            // A file too large to rewrite is refused, and that is all.
            std::remove(path.c_str());
            return;
        }
    }
    vcl::TIniFile again(path);
    if (again.ReadString("Option", "RefreshInterval", "") != "5") std::abort();
    std::remove(path.c_str());
}

void FuzzKeyStore(const uint8_t* data, size_t size) {
    const std::string path = WriteInput(data, size, ".keys");
    platform::registry::KeyStore store(path);
    const char* key = "Software\\Policies\\Shell";
    if (store.KeyExists(key)) store.Read(key, "NoDriveTypeAutoRun");
    if (store.CreateKey("Fuzz") &&
        store.Write("Fuzz", "Value", platform::registry::Value::Integer(7))) {
        auto value = platform::registry::KeyStore(path).Read("Fuzz", "Value");
        if (!value || value->integer != 7) std::abort();
    }
    std::remove(path.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzIniFile(data, size);
    FuzzKeyStore(data, size);
    return 0;
}
