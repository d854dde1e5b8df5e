// The server reply to a discovery or remote-information request, and its decode into the 256-byte
// NasServerInfo record that identifies a unit.
#pragma once

#include "nasapi.h"

#include <cstddef>
#include <cstdint>

namespace nas {

inline constexpr size_t kServerReplyMinSize = 284;
inline constexpr size_t kServerReplyMaxSize = 348; // the extended form, with a 64-byte long name
inline constexpr size_t kServerInfoSize = NAS_SERVER_INFO_SIZE;
inline constexpr size_t kHardwareAddressSize = 18;
static_assert(sizeof(NasServerInfo) == kServerInfoSize);
static_assert(sizeof(NasServerInfo::hardwareAddress) == kHardwareAddressSize);

bool IsAcceptableReplySize(size_t size);
// The size a server reply over TCP declares in its header (32 + payload length) when that is an
// acceptable size, else got: a 348-byte reply that arrives in two segments is waited for whole
// instead of being taken for the 284-byte form.
size_t DeclaredServerReplySize(const uint8_t* reply, size_t got);
// Signature, version 256, and a payload length other than 36 (that of a discovery request, which
// a broadcaster hears again). False for fewer than 32 bytes.
bool IsValidReply(const uint8_t* reply, size_t size);
// Field by field; bytes the reply does not reach read as zero. A 348-byte reply has encoding
// kind 2.
void ReplyToServerInfo(NasServerInfo& record, const uint8_t* reply, size_t size);
// Both checks, then the decode: true with record filled, else record untouched.
bool DecodeServerReply(const uint8_t* reply, size_t size, NasServerInfo& record);
// The hardware address fields are equal.
bool SameServerKey(const NasServerInfo& a, const NasServerInfo& b);

} // namespace nas
