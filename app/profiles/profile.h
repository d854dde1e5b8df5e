// The settings profile file (".cfg"): a 256-byte header followed by a password-protected zip
// archive with one entry, the unit's plain settings body. The program strips the header, extracts
// the entry, puts the header back in front of it and parses the result (profile_sections.h); it
// never writes a zip and never changes a profile's content.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::size_t kProfileHeaderSize = 256;
inline constexpr std::size_t kProfileMagicOffset = 0;
inline constexpr std::size_t kProfileFlagsOffset = 122;
static_assert(kProfileFlagsOffset < kProfileHeaderSize);
inline constexpr std::uint32_t kProfileMagicUtf8 = 0x18A94CF2;     // body texts are UTF-8
inline constexpr std::uint32_t kProfileMagicCodePage = 0x17A84BF1; // body texts in the ANSI page
// The largest plain body the program extracts and parses.
inline constexpr std::uint64_t kMaxProfileBodySize = 64ull * 1024 * 1024;
// The largest profile file taken: a header and an archive that stores the largest body
// uncompressed, with room for the archive's own records.
inline constexpr std::uint64_t kMaxProfileFileSize =
    kProfileHeaderSize + kMaxProfileBodySize + 1024 * 1024;

// Section flags (header byte 122): which blocks the body holds.
enum ProfileSectionFlags : std::uint8_t {
    kProfileBlock1044 = 0x01,
    kProfileNetwork = 0x02,
    kProfileUsersItem = 0x04, // the user-accounts item can be applied
    kProfileAcl = 0x08,
    kProfileShares = 0x10,
    kProfileBackup = 0x20,
    kProfileBlock10240 = 0x40,
};

using ProfileHeader = std::array<std::uint8_t, kProfileHeaderSize>;

// The header's magic (little-endian u32 at 0).
std::uint32_t ProfileMagic(const ProfileHeader& header);
// True for either of the two magic values.
bool IsProfileMagic(std::uint32_t magic);

// Reads the header into header and writes the rest of the file to archivePath. 0, or -1 when the
// file cannot be read, is shorter than a header, or the archive cannot be written (no archive is
// left then).
int StripProfileHeader(const std::string& profilePath, ProfileHeader& header,
                       const std::string& archivePath);
// Writes the 256 header bytes, then the body file, to outputPath. 0, or -1 (no output is left).
int AddProfileHeader(const ProfileHeader& header, const std::string& bodyPath,
                     const std::string& outputPath);
// True when the file opens, holds at least a header and the header's magic is one of the two.
bool IsProfileFile(const std::string& path);
// Empty when the file is no larger than limit; else the reason, naming the file and its size, for
// the user. Asked before anything of the file is read or copied.
std::string ProfileSizeProblem(const std::string& path, std::uint64_t limit = kMaxProfileFileSize);
// Extracts the archive's single entry to outputPath. 1 when extracted; 0 otherwise, after the
// reason was shown to the user.
int UnzipSingleEntry(const std::string& archivePath, const std::string& password,
                     const std::string& outputPath);
