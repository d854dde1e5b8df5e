#include "devices/letter_map.h"

#include <atomic>
#include <cctype>

namespace platform::devices {
namespace {

int Slot(char letter) {
    const int c = std::toupper(static_cast<unsigned char>(letter));
    return c >= 'A' && c <= 'Z' ? c - 'A' : -1;
}

std::atomic<LetterMap*> installed{nullptr};

} // namespace

LetterMap::LetterMap(const LetterMap& other) {
    std::lock_guard<std::mutex> guard(other.lock_);
    for (int i = 0; i < 26; ++i)
        paths_[i] = other.paths_[i];
}

LetterMap& LetterMap::operator=(const LetterMap& other) {
    if (this == &other) return *this;
    std::scoped_lock guard(lock_, other.lock_);
    for (int i = 0; i < 26; ++i)
        paths_[i] = other.paths_[i];
    return *this;
}

char LetterMap::Add(const std::string& path) {
    if (path.empty()) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    for (int i = 0; i < 26; ++i)
        if (paths_[i] == path) return static_cast<char>('A' + i);
    for (int i = kFirstLetter - 'A'; i < 26; ++i)
        if (paths_[i].empty()) {
            paths_[i] = path;
            return static_cast<char>('A' + i);
        }
    return 0;
}

void LetterMap::Remove(char letter) {
    const int i = Slot(letter);
    if (i < 0) return;
    std::lock_guard<std::mutex> guard(lock_);
    paths_[i].clear();
}

std::string LetterMap::PathOf(char letter) const {
    const int i = Slot(letter);
    if (i < 0) return {};
    std::lock_guard<std::mutex> guard(lock_);
    return paths_[i];
}

char LetterMap::LetterOf(const std::string& path) const {
    if (path.empty()) return 0;
    std::lock_guard<std::mutex> guard(lock_);
    for (int i = 0; i < 26; ++i)
        if (paths_[i] == path) return static_cast<char>('A' + i);
    return 0;
}

std::uint32_t LetterMap::Mask() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::uint32_t mask = 0;
    for (int i = 0; i < 26; ++i)
        if (!paths_[i].empty()) mask |= 1u << i;
    return mask;
}

std::vector<std::pair<char, std::string>> LetterMap::Entries() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::pair<char, std::string>> out;
    for (int i = 0; i < 26; ++i)
        if (!paths_[i].empty()) out.emplace_back(static_cast<char>('A' + i), paths_[i]);
    return out;
}

LetterMap LetterMap::FromDevices(const std::vector<OpticalDevice>& devices) {
    LetterMap map;
    for (const auto& d : devices)
        map.Add(d.node);
    return map;
}

LetterMap& CurrentLetterMap() {
    if (LetterMap* map = installed.load(std::memory_order_acquire)) return *map;
    static LetterMap system = LetterMap::FromDevices(EnumerateOptical());
    return system;
}

ScopedLetterMap::ScopedLetterMap(LetterMap& map) : previous_(installed.load()) {
    installed.store(&map, std::memory_order_release);
}

ScopedLetterMap::~ScopedLetterMap() {
    installed.store(previous_, std::memory_order_release);
}

} // namespace platform::devices
