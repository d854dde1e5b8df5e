#include "nasannouncement.h"

#include <cstring>

namespace {

// Field offsets of the announcement.
constexpr std::size_t kOffFlags = 52;
constexpr std::size_t kOffFirmwareVersion = 56;
constexpr std::size_t kOffFirmwareBuild = 64;
constexpr std::size_t kOffWord130 = 130;
constexpr std::size_t kOffCapabilities = 132;
constexpr std::size_t kOffValue140 = 140;
constexpr std::size_t kOffOptionWord = 144;
constexpr std::size_t kOffValue148 = 148;
constexpr std::size_t kOffUnitStatus = 152;
constexpr std::size_t kOffWord160 = 160;
constexpr std::size_t kOffWord162 = 162;
constexpr std::size_t kOffValue164 = 164;
constexpr std::size_t kOffComment = 168;
constexpr std::size_t kOffAddresses = 200;
constexpr std::size_t kOffGateways = 212;
constexpr std::size_t kOffMasks = 224;
constexpr std::size_t kOffName = 236;
constexpr std::size_t kOffWorkgroup = 252;
constexpr std::size_t kOffExtraText = 268;
constexpr std::size_t kTextSize = 16;
constexpr std::size_t kCommentSize = 32;

static_assert(kOffExtraText + kTextSize == kNasAnnouncementSize);
static_assert(kNasAnnouncementHardwareOffset + kNasHardwareAddressSize == kOffWord130);
static_assert(kOffMasks + 12 == kOffName && kOffName + kTextSize == kOffWorkgroup);
static_assert(kOffComment + kCommentSize == kOffAddresses);
static_assert(sizeof(NasServerInfo::hardwareAddress) == kNasHardwareAddressSize);
static_assert(sizeof(NasServerInfo::name) == kTextSize &&
              sizeof(NasServerInfo::workgroup) == kTextSize);
static_assert(sizeof(NasServerInfo::comment) == kCommentSize);
static_assert(sizeof(NasServerInfo::extraText) == kTextSize);
static_assert(sizeof(NasServerInfo::firmwareBuild) == kTextSize);

// Little-endian integers of the packet.
std::uint16_t U16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
// An address in network byte order, read into host order.
std::uint32_t NetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

} // namespace

int NasAnnouncementType(std::span<const std::uint8_t> datagram) {
    if (datagram.size() != kNasAnnouncementSize) return -1;
    return U16(datagram.data() + kNasAnnouncementTypeOffset);
}

std::span<const std::uint8_t>
NasAnnouncementHardwareAddress(std::span<const std::uint8_t> datagram) {
    if (datagram.size() != kNasAnnouncementSize) return {};
    return datagram.subspan(kNasAnnouncementHardwareOffset, kNasHardwareAddressSize);
}

bool NasAnnouncementNamesAddress(std::span<const std::uint8_t> datagram, std::uint32_t address) {
    if (datagram.size() != kNasAnnouncementSize || address == 0) return false;
    for (std::size_t i = 0; i < NAS_ADDRESS_COUNT; ++i)
        if (NetU32(datagram.data() + kOffAddresses + 4 * i) == address) return true;
    return false;
}

bool ParseNasAnnouncement(std::span<const std::uint8_t> datagram, NasServerInfo& record) {
    if (datagram.size() != kNasAnnouncementSize) return false;
    const std::uint8_t* d = datagram.data();
    for (int i = 0; i < 4; ++i)
        record.firmwareVersion[i] = U16(d + kOffFirmwareVersion + 2 * static_cast<std::size_t>(i));
    std::memcpy(record.firmwareBuild, d + kOffFirmwareBuild, kTextSize);
    std::memcpy(record.hardwareAddress, d + kNasAnnouncementHardwareOffset,
                kNasHardwareAddressSize);
    record.word134 = U16(d + kOffWord130);
    record.capabilityFlags = U32(d + kOffCapabilities);
    if (d[kOffFlags] & 1u) record.capabilityFlags |= 1u;
    record.value160 = U32(d + kOffValue140);
    record.optionWord = U32(d + kOffOptionWord);
    record.value176 = U32(d + kOffValue148);
    record.unitStatus = U32(d + kOffUnitStatus);
    record.word180 = U16(d + kOffWord160);
    record.word182 = U16(d + kOffWord162);
    record.value184 = U32(d + kOffValue164);
    std::memcpy(record.comment, d + kOffComment, kCommentSize);
    for (std::size_t i = 0; i < NAS_ADDRESS_COUNT; ++i) {
        record.ipAddress[i] = NetU32(d + kOffAddresses + 4 * i);
        record.gateway[i] = NetU32(d + kOffGateways + 4 * i);
        record.subnetMask[i] = NetU32(d + kOffMasks + 4 * i);
    }
    std::memcpy(record.name, d + kOffName, kTextSize);
    std::memcpy(record.workgroup, d + kOffWorkgroup, kTextSize);
    std::memcpy(record.extraText, d + kOffExtraText, kTextSize);
    return true;
}
