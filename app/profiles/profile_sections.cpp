#include "profile_sections.h"

#include "nasservertext.h"

#include "paths/whole_file.h"

#include <cstdio>
#include <iterator>
#include <string>

namespace {

// Texts are shown cut to this many bytes, at a character boundary.
constexpr std::size_t kMaxShownText = 255;

std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// The zero-terminated text of a field of width bytes at offset of a record, as UTF-8.
std::string Text(const std::uint8_t* record, std::size_t offset, std::size_t width, bool utf8) {
    const char* field = reinterpret_cast<const char*>(record + offset);
    const std::string text = utf8 ? Utf8FieldText(field, width) : AnsiFieldText(field, width);
    return std::string(CutUtf8(text, kMaxShownText));
}

std::string Dotted(const std::uint8_t* p) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", p[0], p[1], p[2], p[3]);
    return text;
}

template <typename... Args> std::string Format(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string text(static_cast<std::size_t>(n < 0 ? 0 : n), '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}

// The padding that follows E access entries of 5 bytes up to a multiple of 4.
std::size_t AccessEntriesSize(std::size_t entries) {
    const std::size_t bytes = entries * kProfileAccessEntrySize;
    return bytes % 4 == 0 ? bytes : bytes + (4 - bytes % 4);
}

// Network block texts: offsets and widths in each layout.
struct NetworkLayout {
    std::size_t record;
    std::size_t name, comment, domainName, domainUser, addresses;
};
constexpr NetworkLayout kUtf8Network{kProfileNetworkUtf8Record, 23, 55, 0, 155, 99};
constexpr NetworkLayout kCodePageNetwork{kProfileNetworkCodePageRecord, 32, 64, 108, 172, 409};
constexpr std::size_t kAddressEntrySize = 13;
constexpr std::size_t kNameWidth = 32;
constexpr std::size_t kCommentWidth = 44;
constexpr std::size_t kDomainWidth = 64;
static_assert(kUtf8Network.addresses + 3 * kAddressEntrySize <= kUtf8Network.domainUser);
static_assert(kCodePageNetwork.addresses + 3 * kAddressEntrySize <= kCodePageNetwork.record);

} // namespace

const std::uint8_t* ProfileReader::Take(std::size_t n, const char* what) {
    if (Failed()) return nullptr;
    if (n > Left()) {
        Fail(Format("The profile ends inside %s: %zu bytes are needed at offset %zu, %zu are left.",
                    what, n, pos_, Left()));
        return nullptr;
    }
    const std::uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
}

bool ProfileReader::Fits(std::uint64_t count, std::size_t size, const char* what) {
    if (Failed()) return false;
    if (size != 0 && count > Left() / size) {
        Fail(Format("The profile declares %llu %s of %zu bytes at offset %zu, but only %zu bytes "
                    "are left.",
                    static_cast<unsigned long long>(count), what, size, pos_, Left()));
        return false;
    }
    return true;
}

void ProfileReader::Fail(std::string reason) {
    if (error_.empty()) error_ = std::move(reason);
}

int ReadProfileHeader(ProfileReader& reader, ProfileSummary& summary) {
    const std::uint8_t* p = reader.Take(kProfileHeaderSize, "the header");
    if (p == nullptr) return -1;
    const std::uint32_t magic = U32(p + kProfileMagicOffset);
    if (!IsProfileMagic(magic)) {
        reader.Fail("The file is not a settings profile (unknown header).");
        return -1;
    }
    summary.Utf8 = magic == kProfileMagicUtf8;
    summary.Flags = p[kProfileFlagsOffset];
    return 1;
}

int ReadNetworkSection(ProfileReader& reader, ProfileSummary& summary) {
    const std::uint8_t* p = reader.Take(kProfileNetworkSize, "the network block");
    if (p == nullptr) return -1;
    const bool utf8 = summary.Utf8;
    const NetworkLayout& layout = utf8 ? kUtf8Network : kCodePageNetwork;
    auto& out = summary.Network;
    out.push_back("Server Name     : " + Text(p, layout.name, kNameWidth, utf8));
    out.push_back("Server Comment  : " + Text(p, layout.comment, kCommentWidth, utf8));
    if (!utf8) out.push_back("Domain Name     : " + Text(p, layout.domainName, kDomainWidth, utf8));
    out.push_back("Domain User Name: " + Text(p, layout.domainUser, kDomainWidth, utf8));
    out.push_back("-------------- IP Setting --------------");
    out.push_back("   IP                       Mask                 Gateway");
    for (std::size_t i = 0; i < 3; ++i) {
        const std::uint8_t* entry = p + layout.addresses + i * kAddressEntrySize;
        out.push_back(Format("%-18s%-18s%-18s", Dotted(entry).c_str(), Dotted(entry + 4).c_str(),
                             Dotted(entry + 8).c_str()));
    }
    return 1;
}

int ReadBackupSection(ProfileReader& reader, ProfileSummary& summary) {
    const std::uint8_t* head = reader.Take(kProfileBackupHeadSize, "the backup block");
    if (head == nullptr) return -1;
    const std::uint32_t tapes = U32(head + 4);
    auto& out = summary.Backup;
    out.push_back("============= Tape Entry ===============");
    out.push_back("Tapes Count : " + std::to_string(tapes));
    if (!reader.Fits(tapes, kProfileTapeEntrySize, "tape entries")) return -1;
    if (tapes > 0) out.push_back(" ----- Volume Label ----- ");
    for (std::uint32_t t = 0; t < tapes; ++t) {
        const std::uint8_t* entry = reader.Take(kProfileTapeEntrySize, "a tape entry");
        if (entry == nullptr) return -1;
        const std::uint32_t extra = U32(entry);
        out.push_back(std::to_string(t + 1) + ".  " +
                      Text(entry, 16, kProfileTapeEntrySize - 16, summary.Utf8));
        const std::uint64_t rounded = (std::uint64_t{extra} + 3) / 4 * 4;
        if (!reader.Fits(rounded, 1, "bytes of tape data")) return -1;
        reader.Take(static_cast<std::size_t>(rounded), "tape data");
    }
    return 1;
}

int ReadUserSection(ProfileReader& reader, ProfileSummary& summary) {
    const std::uint8_t* head = reader.Take(kProfileUserHeadSize, "the user block");
    if (head == nullptr) return -1;
    const bool utf8 = summary.Utf8;
    const std::uint32_t users = U32(head + 22);
    auto& out = summary.Users;
    out.push_back("Domain Name : " + Text(head, 6, 16, utf8));
    out.push_back("User Count  : " + std::to_string(users));
    out.push_back("===================================");
    const std::size_t recordSize = utf8 ? kProfileUserUtf8Record : kProfileUserCodePageRecord;
    if (!reader.Fits(users, recordSize, "user records")) return -1;
    for (std::uint32_t u = 0; u < users; ++u) {
        const std::uint8_t* record = reader.Take(recordSize, "a user record");
        if (record == nullptr) return -1;
        const unsigned kind = (record[0] >> 1) & 0x1Fu;
        const unsigned n = u + 1;
        if (kind <= 3)
            out.push_back(
                Format("%u. User/Group Name: %s", n, Text(record, 93, kNameWidth, utf8).c_str()));
        else if (kind == 4)
            out.push_back(Format("%u. NFS User: %s", n, Dotted(record + 93).c_str()));
        else if (kind == 5 || kind == 6)
            out.push_back(Format("%u. Trust Domain User: %s\\%s", n,
                                 Text(record, 125, kDomainWidth, utf8).c_str(),
                                 Text(record, 93, kNameWidth, utf8).c_str()));
    }
    return 1;
}

int ReadAclSection(ProfileReader& reader, ProfileSummary& summary) {
    const std::uint8_t* head = reader.Take(kProfileAclHeadSize, "the access-list block");
    if (head == nullptr) return -1;
    const std::uint16_t points = U16(head + 6);
    auto& out = summary.Security;
    out.push_back("================ACL================");
    out.push_back("Backup Point Count: " + std::to_string(points));
    if (!reader.Fits(points, kProfileAclPointRecord, "backup points")) return -1;
    for (unsigned b = 0; b < points; ++b) {
        const std::uint8_t* point = reader.Take(kProfileAclPointRecord, "a backup point");
        if (point == nullptr) return -1;
        const std::uint16_t paths = U16(point + 2);
        out.push_back("Backup Path  : " + Text(point, 4, kProfileAclPointRecord - 4, summary.Utf8));
        if (!reader.Fits(paths, kProfileAclPathRecord, "access-list paths")) return -1;
        for (unsigned a = 0; a < paths; ++a) {
            const std::uint8_t* path = reader.Take(kProfileAclPathRecord, "an access-list path");
            if (path == nullptr) return -1;
            out.push_back(
                Format("ACL Path %u: %s", a + 1, Text(path, 8, 522 - 8, summary.Utf8).c_str()));
            if (reader.Take(AccessEntriesSize(U16(path + 522)), "access entries") == nullptr)
                return -1;
        }
    }
    return 1;
}

int ReadShareSection(ProfileReader& reader, ProfileSummary& summary) {
    const std::uint8_t* head = reader.Take(kProfileShareHeadSize, "the shares block");
    if (head == nullptr) return -1;
    const std::uint16_t groups = U16(head + 6);
    auto& out = summary.Security;
    out.push_back("===============SHARES===============");
    if (!reader.Fits(groups, kProfileShareGroupRecord, "share groups")) return -1;
    for (unsigned g = 0; g < groups; ++g) {
        const std::uint8_t* group = reader.Take(kProfileShareGroupRecord, "a share group");
        if (group == nullptr) return -1;
        const std::uint16_t shares = U16(group + 2);
        if (!reader.Fits(shares, kProfileShareRecord, "shares")) return -1;
        for (unsigned s = 0; s < shares; ++s) {
            const std::uint8_t* share = reader.Take(kProfileShareRecord, "a share");
            if (share == nullptr) return -1;
            const std::string comment = Text(share, 60, 256, summary.Utf8);
            out.push_back("Share Name   : " + Text(share, 28, kNameWidth, summary.Utf8));
            out.push_back("Share Comment: " + (comment.empty() ? " [No Comment] " : comment));
            if (reader.Take(AccessEntriesSize(U16(share + 6)), "access entries") == nullptr)
                return -1;
        }
    }
    return 1;
}

bool ParseProfileData(const std::uint8_t* data, std::size_t size, ProfileSummary& summary,
                      std::string& error) {
    summary = ProfileSummary{};
    ProfileReader reader(data, size);
    auto ok = [&](int result) { return result == 1 && !reader.Failed(); };
    bool good = ok(ReadProfileHeader(reader, summary));
    const std::uint8_t flags = summary.Flags;
    if (good && (flags & kProfileBlock1044) != 0)
        good = reader.Take(kProfileBlock1044Size, "the first block") != nullptr;
    if (good && (flags & kProfileNetwork) != 0) good = ok(ReadNetworkSection(reader, summary));
    if (good && (flags & kProfileBlock10240) != 0)
        good = reader.Take(kProfileBlock10240Size, "the second block") != nullptr;
    if (good && (flags & kProfileBackup) != 0) good = ok(ReadBackupSection(reader, summary));
    if (good) good = ok(ReadUserSection(reader, summary));
    if (good && (flags & (kProfileAcl | kProfileShares)) != 0) {
        const std::uint8_t* count = reader.Take(4, "the counted block");
        good = count != nullptr && reader.Fits(U32(count), kProfileCountedRecord, "records") &&
               reader.Take(std::size_t{U32(count)} * kProfileCountedRecord, "the counted block");
    }
    if (good && (flags & kProfileAcl) != 0) good = ok(ReadAclSection(reader, summary));
    if (good && (flags & kProfileShares) != 0) good = ok(ReadShareSection(reader, summary));
    if (good) return true;
    error = reader.Failed() ? reader.Error() : "The profile cannot be read.";
    return false;
}

bool ParseProfileFile(const std::string& path, ProfileSummary& summary, std::string& error) {
    constexpr std::uint64_t limit = kProfileHeaderSize + kMaxProfileBodySize;
    std::string data;
    // The size is checked before anything is read: a larger file is refused unread.
    switch (platform::ReadWholeFile(path, limit, data)) {
    case platform::WholeFileRead::Read:
        break;
    case platform::WholeFileRead::Missing:
        error = "The profile " + path + " cannot be opened.";
        return false;
    case platform::WholeFileRead::TooLarge:
        error = "The profile " + path + " is larger than a profile can be (" +
                std::to_string(limit) + " bytes).";
        return false;
    case platform::WholeFileRead::NotRegular:
        error = "The profile " + path + " is not a regular file.";
        return false;
    case platform::WholeFileRead::Failed:
        error = "The profile " + path + " cannot be read.";
        return false;
    }
    return ParseProfileData(reinterpret_cast<const std::uint8_t*>(data.data()), data.size(),
                            summary, error);
}
