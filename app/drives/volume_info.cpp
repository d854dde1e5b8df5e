#include "volume_info.h"

#include "textcodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

using Sector = std::array<std::uint8_t, kVolumeSectorSize>;

// Descriptors looked at after sector 16 before a volume without a terminator is given up.
constexpr std::uint32_t kMaxDescriptors = 64;
constexpr std::uint32_t kUdfAnchorSector = 256;
constexpr std::uint16_t kTagPrimaryVolume = 1;
constexpr std::uint16_t kTagAnchor = 2;
constexpr std::uint16_t kTagLogicalVolume = 6;
constexpr std::uint16_t kTagTerminating = 8;

std::uint16_t Le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 big-endian code units to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16BeToUtf8(const std::uint8_t* p, std::size_t units) {
    std::string out;
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t u = std::uint32_t{p[2 * i]} << 8 | p[2 * i + 1];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = std::uint32_t{p[2 * i + 2]} << 8 | p[2 * i + 3];
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    return out;
}

std::string Latin1ToUtf8(const std::uint8_t* p, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n; ++i)
        AppendUtf8(out, p[i]);
    return out;
}

// A descriptor tag whose checksum and identifier match.
bool IsTag(const Sector& s, std::uint16_t id) {
    std::uint8_t sum = 0;
    for (int i = 0; i < 16; ++i)
        if (i != 4) sum = static_cast<std::uint8_t>(sum + s[i]);
    return sum == s[4] && Le16(s.data()) == id;
}

bool Read(const VolumeSectorReader& read, std::uint64_t lba, Sector& s) {
    if (lba > 0xFFFFFFFFu) return false;
    return read(static_cast<std::uint32_t>(lba), std::span<std::uint8_t, 2048>(s));
}

bool HasUdfRecognition(const VolumeSectorReader& read, std::uint32_t start) {
    static constexpr std::string_view kKnown[] = {"BEA01", "CD001", "CDW02", "BOOT2"};
    Sector s;
    for (std::uint32_t k = 0; k < kMaxDescriptors; ++k) {
        if (!Read(read, std::uint64_t{start} + 16 + k, s)) return false;
        const std::string_view id(reinterpret_cast<const char*>(&s[1]), 5);
        if (id == "NSR02" || id == "NSR03") return true;
        if (id == "TEA01") return false;
        bool known = false;
        for (std::string_view k2 : kKnown)
            known = known || id == k2;
        if (!known) return false;
    }
    return false;
}

bool ReadUdf(const VolumeSectorReader& read, std::uint32_t start, VolumeInfo& out) {
    if (!HasUdfRecognition(read, start)) return false;
    Sector s;
    if (!Read(read, std::uint64_t{start} + kUdfAnchorSector, s) || !IsTag(s, kTagAnchor))
        return false;
    const std::uint32_t length = Le32(&s[16]);
    const std::uint32_t location = Le32(&s[20]);
    const std::uint32_t sectors =
        std::min<std::uint32_t>(length / kVolumeSectorSize, kMaxDescriptors);
    bool found = false;
    std::string label;
    for (std::uint32_t k = 0; k < sectors; ++k) {
        if (!Read(read, std::uint64_t{location} + k, s)) break;
        if (IsTag(s, kTagTerminating)) break;
        if (IsTag(s, kTagLogicalVolume)) {
            label = UdfDString(std::span<const std::uint8_t>(&s[84], 128));
            found = true;
            break;
        }
        if (IsTag(s, kTagPrimaryVolume) && !found) {
            label = UdfDString(std::span<const std::uint8_t>(&s[24], 32));
            found = true; // a logical volume descriptor further on still names it
        }
    }
    if (!found) return false;
    out.label = label;
    out.fileSystemName = "UDF";
    return true;
}

bool ReadIso9660(const VolumeSectorReader& read, std::uint32_t start, VolumeInfo& out) {
    Sector s;
    bool primary = false;
    std::string label, joliet;
    for (std::uint32_t k = 0; k < kMaxDescriptors; ++k) {
        if (!Read(read, std::uint64_t{start} + 16 + k, s)) break;
        if (std::memcmp(&s[1], "CD001", 5) != 0) break;
        const std::uint8_t type = s[0];
        if (type == 255) break;
        const std::span<const std::uint8_t> id(&s[40], 32);
        if (type == 1 && !primary) {
            primary = true;
            label = IsoIdentifier(id);
        } else if (type == 2 && s[88] == '%' && s[89] == '/' &&
                   (s[90] == '@' || s[90] == 'C' || s[90] == 'E')) {
            joliet = JolietIdentifier(id);
        }
    }
    if (!primary) return false;
    out.label = joliet.empty() ? label : joliet;
    out.fileSystemName = "CDFS";
    return true;
}

} // namespace

std::string UdfDString(std::span<const std::uint8_t> field) {
    if (field.size() < 2) return {};
    const std::size_t used = std::min<std::size_t>(field.back(), field.size() - 1);
    if (used < 2) return {};
    const std::uint8_t* chars = field.data() + 1;
    const std::size_t n = used - 1;
    switch (field[0]) {
    case 8:
        return Latin1ToUtf8(chars, n);
    case 16:
        return Utf16BeToUtf8(chars, n / 2);
    default:
        return {};
    }
}

std::string IsoIdentifier(std::span<const std::uint8_t> field) {
    std::size_t n = field.size();
    while (n > 0 && (field[n - 1] == ' ' || field[n - 1] == 0))
        --n;
    const std::string_view raw(reinterpret_cast<const char*>(field.data()), n);
    if (IsValidUtf8(raw) && raw.find('\0') == std::string_view::npos) return std::string(raw);
    std::string out = Latin1ToUtf8(field.data(), n);
    // A NUL inside the field ends the text.
    return out.substr(0, out.find('\0'));
}

std::string JolietIdentifier(std::span<const std::uint8_t> field) {
    std::size_t units = field.size() / 2;
    while (units > 0) {
        const std::uint32_t u = std::uint32_t{field[2 * units - 2]} << 8 | field[2 * units - 1];
        if (u != 0x20 && u != 0) break;
        --units;
    }
    std::string out = Utf16BeToUtf8(field.data(), units);
    return out.substr(0, out.find('\0'));
}

bool ReadVolumeInfo(const VolumeSectorReader& read, std::uint32_t sessionStart, VolumeInfo& out) {
    out = {};
    return ReadUdf(read, sessionStart, out) || ReadIso9660(read, sessionStart, out);
}
