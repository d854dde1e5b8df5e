#include "server_record.h"

#include "packet_header.h"
#include "wire_bytes.h"

#include <algorithm>
#include <cstring>

namespace nas {

namespace {

constexpr size_t kDiscoveryRequestPayload = 36;
constexpr uint32_t kExtendedEncodingKind = 2;

// Reply offsets.
constexpr size_t kOffEncodingKind = 40;
constexpr size_t kOffMirrorWord = 52;
constexpr size_t kOffFirmwareVersion = 56;
constexpr size_t kOffFirmwareBuild = 64;
constexpr size_t kOffHardwareAddress = 112;
constexpr size_t kOffWord130 = 130;
constexpr size_t kOffCapabilities = 132;
constexpr size_t kOffValue140 = 140;
constexpr size_t kOffOptionWord = 144;
constexpr size_t kOffValue148 = 148;
constexpr size_t kOffUnitStatus = 152;
constexpr size_t kOffWord160 = 160;
constexpr size_t kOffWord162 = 162;
constexpr size_t kOffValue164 = 164;
constexpr size_t kOffComment = 168;
constexpr size_t kOffAddresses = 200;
constexpr size_t kOffGateways = 212;
constexpr size_t kOffMasks = 224;
constexpr size_t kOffName = 236;
constexpr size_t kOffWorkgroup = 252;
constexpr size_t kOffExtraText = 268;
constexpr size_t kOffExtendedName = 284;
static_assert(kOffExtendedName + sizeof(NasServerInfo::extendedName) == kServerReplyMaxSize);
static_assert(kOffExtraText + sizeof(NasServerInfo::extraText) == kServerReplyMinSize);

} // namespace

bool IsAcceptableReplySize(size_t size) {
    return size >= kServerReplyMinSize && size <= kServerReplyMaxSize;
}

size_t DeclaredServerReplySize(const uint8_t* reply, size_t got) {
    std::optional<PacketHeader> header = DecodeHeader(reply, got);
    if (!header || !HasSignature(reply, got)) return got;
    const uint64_t declared = uint64_t{kHeaderSize} + header->payloadLength;
    return IsAcceptableReplySize(declared) ? static_cast<size_t>(declared) : got;
}

bool IsValidReply(const uint8_t* reply, size_t size) {
    std::optional<PacketHeader> header = DecodeHeader(reply, size);
    return header && HasSignature(reply, size) && header->version == kProtocolVersion &&
           header->payloadLength != kDiscoveryRequestPayload;
}

void ReplyToServerInfo(NasServerInfo& record, const uint8_t* reply, size_t size) {
    uint8_t b[kServerReplyMaxSize] = {};
    if (size != 0) std::memcpy(b, reply, std::min(size, sizeof b));
    if (size == kServerReplyMaxSize) PutU32(b + kOffEncodingKind, kExtendedEncodingKind);

    std::memset(&record, 0, sizeof record);
    std::memcpy(record.name, b + kOffName, sizeof record.name);
    std::memcpy(record.workgroup, b + kOffWorkgroup, sizeof record.workgroup);
    std::memcpy(record.comment, b + kOffComment, sizeof record.comment);
    std::memcpy(record.extraText, b + kOffExtraText, sizeof record.extraText);
    for (int i = 0; i < 3; ++i) {
        record.ipAddress[i] = GetU32Net(b + kOffAddresses + 4 * i);
        record.subnetMask[i] = GetU32Net(b + kOffMasks + 4 * i);
        record.gateway[i] = GetU32Net(b + kOffGateways + 4 * i);
    }
    std::memcpy(record.hardwareAddress, b + kOffHardwareAddress, kHardwareAddressSize);
    record.word134 = GetU16(b + kOffWord130);
    for (int i = 0; i < 4; ++i)
        record.firmwareVersion[i] = GetU16(b + kOffFirmwareVersion + 2 * i);
    std::memcpy(record.firmwareBuild, b + kOffFirmwareBuild, sizeof record.firmwareBuild);
    record.value160 = GetU32(b + kOffValue140);
    record.optionWord = GetU32(b + kOffOptionWord);
    record.unitStatus = GetU32(b + kOffUnitStatus);
    record.capabilityFlags = GetU32(b + kOffCapabilities);
    auto mirrorWord = static_cast<int32_t>(GetU32(b + kOffMirrorWord));
    if (mirrorWord >= 0 && (mirrorWord & 1)) record.capabilityFlags |= 1u;
    record.value176 = GetU32(b + kOffValue148);
    record.word180 = GetU16(b + kOffWord160);
    record.word182 = GetU16(b + kOffWord162);
    record.value184 = GetU32(b + kOffValue164);
    record.textEncodingKind = GetU32(b + kOffEncodingKind);
    std::memcpy(record.extendedName, b + kOffExtendedName, sizeof record.extendedName);
}

bool DecodeServerReply(const uint8_t* reply, size_t size, NasServerInfo& record) {
    if (!IsAcceptableReplySize(size) || !IsValidReply(reply, size)) return false;
    ReplyToServerInfo(record, reply, size);
    return true;
}

bool SameServerKey(const NasServerInfo& a, const NasServerInfo& b) {
    return std::memcmp(a.hardwareAddress, b.hardwareAddress, kHardwareAddressSize) == 0;
}

} // namespace nas
