// Moving the unit's configuration file: the read request and the write record, and the readers
// of their replies. The file's content is the unit's; the library streams it unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace nas {

inline constexpr size_t kGetConfigRequestSize = 106;
inline constexpr size_t kSetConfigRecordSize = 130;
inline constexpr size_t kConfigBlockSize = 256;   // the file's first block travels on its own
inline constexpr size_t kConfigReadChunk = 4096;  // most file bytes taken per receive
inline constexpr size_t kConfigWriteChunk = 2048; // file bytes per send
// The largest configuration file a read takes; no unit's settings come near it. A reply that
// announces more is refused before the file is touched.
inline constexpr uint32_t kMaxConfigFileSize = 64u << 20;
// Its Base64 text and a terminator fill the request's 64-byte field.
inline constexpr size_t kMaxConfigPasswordLength = 45;

// Failed steps of a configuration read, as the notifier reports them.
namespace config_step {
inline constexpr int kNoAddress = 1;
inline constexpr int kNoSocket = 2;
inline constexpr int kBlock = 5;
inline constexpr int kWait = 7;
inline constexpr int kStream = 8;
} // namespace config_step

// Command 4: extended header (sub-code 6, data length 66), the password's length at 40 and its
// Base64 text with a terminator at 42. None for a password too long for the field.
std::optional<std::array<uint8_t, kGetConfigRequestSize>>
BuildGetConfigRequest(std::string_view configPassword);

// Command 5 with argument 1: extended header whose lengths count the file, the administrator
// password's length and digest, the configuration password's length and Base64 text, and value.
// None for a password too long or a file too large for the length fields.
std::optional<std::array<uint8_t, kSetConfigRecordSize>>
BuildSetConfigRecord(std::string_view adminPassword, std::string_view configPassword, int32_t value,
                     uint64_t fileSize);

// After the read request: the reply header, the first block and the rest of the file, written to
// path. Results as NasApiGetConfig.
int ReadConfigReply(int fd, const char* path);
// The unit's final answer to a configuration write: its status for command 5, else -1; -3 when
// none comes in time.
int ReadSetConfigReply(int fd);

} // namespace nas
