// The sections of a settings profile's plain body, read into the four text summaries that the
// import dialog shows. The input is the header followed by the plain body. Every count is checked
// against the bytes that follow it: a body that ends early or declares more than it holds stops
// the parse with a reason, never with partial summaries.
#pragma once

#include "profile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Fixed sizes of the body's blocks and records.
inline constexpr std::size_t kProfileBlock1044Size = 1044;
inline constexpr std::size_t kProfileNetworkSize = 10240;
inline constexpr std::size_t kProfileNetworkUtf8Record = 9465;
inline constexpr std::size_t kProfileNetworkCodePageRecord = 7612;
inline constexpr std::size_t kProfileBlock10240Size = 10240;
inline constexpr std::size_t kProfileBackupHeadSize = 32;
inline constexpr std::size_t kProfileTapeEntrySize = 256;
inline constexpr std::size_t kProfileUserHeadSize = 64;
inline constexpr std::size_t kProfileUserUtf8Record = 2820;
inline constexpr std::size_t kProfileUserCodePageRecord = 1536;
inline constexpr std::size_t kProfileCountedRecord = 516;
inline constexpr std::size_t kProfileAclHeadSize = 8;
inline constexpr std::size_t kProfileAclPointRecord = 516;
inline constexpr std::size_t kProfileAclPathRecord = 540;
inline constexpr std::size_t kProfileShareHeadSize = 8;
inline constexpr std::size_t kProfileShareGroupRecord = 516;
inline constexpr std::size_t kProfileShareRecord = 632;
inline constexpr std::size_t kProfileAccessEntrySize = 5;
static_assert(kProfileNetworkUtf8Record < kProfileNetworkSize);
static_assert(kProfileNetworkCodePageRecord < kProfileNetworkSize);

// What a profile shows: its encoding, its section flags and the summary lines.
struct ProfileSummary {
    bool Utf8 = false; // the header's magic says UTF-8 texts
    std::uint8_t Flags = 0;
    std::vector<std::string> Network;
    std::vector<std::string> Backup;
    std::vector<std::string> Users;
    std::vector<std::string> Security;
};

// A cursor over the bytes of a profile; the first failure is kept as the reason.
class ProfileReader {
public:
    ProfileReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Left() const { return size_ - pos_; }
    std::size_t Position() const { return pos_; }
    // The next n bytes (null and a reason when fewer are left); what of moves past them.
    const std::uint8_t* Take(std::size_t n, const char* what);
    // Checks that count records of size bytes each can follow; a reason when not.
    bool Fits(std::uint64_t count, std::size_t size, const char* what);
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    void Fail(std::string reason);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::string error_;
};

// Section readers: 1, or -1 with the reader's reason. Each reads its block from the reader's
// position and appends to the summary.
int ReadProfileHeader(ProfileReader& reader, ProfileSummary& summary);
int ReadNetworkSection(ProfileReader& reader, ProfileSummary& summary);
int ReadBackupSection(ProfileReader& reader, ProfileSummary& summary);
int ReadUserSection(ProfileReader& reader, ProfileSummary& summary);
int ReadAclSection(ProfileReader& reader, ProfileSummary& summary);
int ReadShareSection(ProfileReader& reader, ProfileSummary& summary);

// Header and every section in the body's order. True with the summary; false with the reason.
bool ParseProfileData(const std::uint8_t* data, std::size_t size, ProfileSummary& summary,
                      std::string& error);
// Reads a header-plus-body file (at most a header and kMaxProfileBodySize bytes) and parses it.
bool ParseProfileFile(const std::string& path, ProfileSummary& summary, std::string& error);
