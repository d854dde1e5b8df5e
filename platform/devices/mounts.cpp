#include "devices/mounts.h"

#include "devices/letter_map.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>
#include <vector>

namespace platform::devices {
namespace {

std::atomic<const std::string*> installed{nullptr};

// A mountinfo field with its octal escapes undone; a bad escape stays as it is.
std::string Unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool SameNode(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (a.empty() || b.empty() || a[0] != '/' || b[0] != '/') return false;
    std::error_code error;
    const bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}

} // namespace

std::string MountPointOf(const std::string& device, const std::string& mountInfo) {
    if (device.empty()) return {};
    std::istringstream lines(mountInfo);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        const std::vector<std::string> fields{std::istream_iterator<std::string>(words),
                                              std::istream_iterator<std::string>()};
        // Six fixed fields, optional fields up to "-", then type and source.
        if (fields.size() < 9) continue;
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (dash + 2 >= fields.size()) continue;
        if (SameNode(Unescape(fields[dash + 2]), device)) return Unescape(fields[4]);
    }
    return {};
}

std::string CurrentMountTable() {
    if (const std::string* table = installed.load(std::memory_order_acquire)) return *table;
    std::ifstream file("/proc/self/mountinfo");
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string DiscFolder(char letter) {
    return MountPointOf(CurrentLetterMap().PathOf(letter), CurrentMountTable());
}

ScopedMountTable::ScopedMountTable(std::string mountInfo)
    : table_(std::move(mountInfo)), previous_(installed.load()) {
    installed.store(&table_, std::memory_order_release);
}

ScopedMountTable::~ScopedMountTable() {
    installed.store(previous_, std::memory_order_release);
}

} // namespace platform::devices
