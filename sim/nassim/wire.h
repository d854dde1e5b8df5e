// Byte-level encoding helpers and the message layouts the simulated unit reads and writes.
// Every field is written and read at an explicit offset, little-endian unless named otherwise.
#pragma once

#include "nassim.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nassim::wire {

inline constexpr char kSignature[8] = {'P', 'E', 'L', 'Q', 'U', 'A', 'N', 'E'};
inline constexpr std::uint16_t kVersion = 0x0100;

// Header field offsets.
inline constexpr std::size_t kOffVersion = 8;
inline constexpr std::size_t kOffTime = 12;
inline constexpr std::size_t kOffFlags = 18;
inline constexpr std::size_t kOffPayloadLength = 20;
inline constexpr std::size_t kOffCommand = 24;
inline constexpr std::size_t kOffOne = 26;
inline constexpr std::size_t kOffArgument = 30;
inline constexpr std::size_t kOffSubCode = 32;
inline constexpr std::size_t kOffDataLength = 36;

void PutU16(std::vector<std::uint8_t>& b, std::size_t off, std::uint16_t v);
void PutU32(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v);
void PutU32Net(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v); // big-endian
// Copies the bytes of text into a field of width bytes; the rest of the field stays zero.
void PutText(std::vector<std::uint8_t>& b, std::size_t off, std::size_t width,
             std::string_view text);
std::uint16_t GetU16(const std::uint8_t* p);
std::uint32_t GetU32(const std::uint8_t* p);
std::uint32_t GetU32Net(const std::uint8_t* p); // big-endian

// A 32-byte header (40 bytes when extended) with signature, version, time and the "one" word.
std::vector<std::uint8_t> MakeHeader(std::size_t total_size, std::uint16_t command,
                                     std::uint16_t flags, std::int16_t argument, bool extended);

// Why a request is not well-formed for its command, or an empty text.
std::string CheckServerInfoRequest(const std::vector<std::uint8_t>& bytes, const Header& h);
std::string CheckAck(const std::vector<std::uint8_t>& bytes, const Header& h);

} // namespace nassim::wire
