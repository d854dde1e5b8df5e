// The set-server request (352 bytes, or 460 with domain credentials) built from the caller's
// settings, and the reading of the 32-byte replies to it.
#pragma once

#include "nasapi.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace nas {

inline constexpr size_t kSetServerRequestSize = 352;
inline constexpr size_t kSetServerRequest2Size = 460;
inline constexpr size_t kSetServerReplySize = 32;

// The request; with credentials the longer form. None when a password is longer than its field.
std::optional<std::vector<uint8_t>> BuildSetServerRequest(const NasServerSetting& setting,
                                                          const NasServerSetting2* credentials);
// The reply command that answers a request made from this setting (256 in mode 2, else 3).
uint16_t ExpectedSetServerReply(const NasServerSetting& setting);

// What one datagram received after a broadcast request means.
enum class SetServerDatagram {
    Ignored, // not 32 bytes long: not a reply (the request itself, heard back, among them)
    Answer,  // the expected reply; its status is the result
    Foreign, // a 32-byte message for another command
};
// Classifies a datagram of size bytes; *status receives an answer's status (sign-extended).
SetServerDatagram ClassifySetServerDatagram(const uint8_t* data, size_t size, uint16_t expected,
                                            int* status);

} // namespace nas
