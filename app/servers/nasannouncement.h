// NasAnnouncement: the 284-byte datagram by which a NAS unit announces itself on UDP port 1999.
// It starts with the 32-byte packet header (type at offset 24: 8 ready, 9 off-line) and carries
// the unit's identity, addresses, names, firmware and state at fixed offsets.
#pragma once

#include "nasapi.h"

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr std::size_t kNasAnnouncementSize = 284;
inline constexpr std::size_t kNasAnnouncementTypeOffset = 24;
inline constexpr std::size_t kNasAnnouncementHardwareOffset = 112;
inline constexpr std::size_t kNasHardwareAddressSize = 18;
inline constexpr int kNasAnnouncementReady = 8;
inline constexpr int kNasAnnouncementOffline = 9;

// The announcement type (u16 at 24); -1 when the datagram is not exactly 284 bytes.
int NasAnnouncementType(std::span<const std::uint8_t> datagram);
// The 18-byte hardware address at offset 112; an empty span when the datagram is not 284 bytes.
std::span<const std::uint8_t>
NasAnnouncementHardwareAddress(std::span<const std::uint8_t> datagram);
// True when address (host order, not 0) is one of the three LAN addresses the datagram names
// for its unit: a datagram proves that much about its sender, nothing more.
bool NasAnnouncementNamesAddress(std::span<const std::uint8_t> datagram, std::uint32_t address);
// Copies the announced fields into record (addresses, masks and gateways to host order; texts
// as sent; the encoding kind and extended name left as they are). False, record untouched, when
// the datagram is not exactly 284 bytes.
bool ParseNasAnnouncement(std::span<const std::uint8_t> datagram, NasServerInfo& record);
