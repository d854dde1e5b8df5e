// The drive letters of our own: optical devices get letters from D: upward in /dev/srN order;
// tests and demonstrations add simulated drives. A letter maps to the device's path (node or
// simulated drive name), which the transport registry resolves to an address.
#pragma once

#include "devices/enumerate.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace platform::devices {

class LetterMap {
public:
    static constexpr char kFirstLetter = 'D';

    LetterMap() = default;
    LetterMap(const LetterMap& other);
    LetterMap& operator=(const LetterMap& other);

    // Gives the path the lowest free letter from D: on; the letter it already has when it is in
    // the map; 0 when every letter is taken or the path is empty.
    char Add(const std::string& path);
    // Frees a letter.
    void Remove(char letter);
    // The path behind a letter (either case), "" when none.
    std::string PathOf(char letter) const;
    // The letter of a path, 0 when none.
    char LetterOf(const std::string& path) const;
    // Bit n set when letter 'A'+n is mapped.
    std::uint32_t Mask() const;
    std::vector<std::pair<char, std::string>> Entries() const;

    // The map of the given devices, their nodes in the order given.
    static LetterMap FromDevices(const std::vector<OpticalDevice>& devices);

private:
    mutable std::mutex lock_;
    std::string paths_[26];
};

// The letter map in use: the one installed by ScopedLetterMap, else the map of this machine's
// optical devices, built from sysfs on first use.
LetterMap& CurrentLetterMap();

class ScopedLetterMap {
public:
    explicit ScopedLetterMap(LetterMap& map);
    ~ScopedLetterMap();
    ScopedLetterMap(const ScopedLetterMap&) = delete;
    ScopedLetterMap& operator=(const ScopedLetterMap&) = delete;

private:
    LetterMap* previous_;
};

} // namespace platform::devices
