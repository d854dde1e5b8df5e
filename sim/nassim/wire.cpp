#include "wire.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace nassim {
namespace wire {

namespace {

// Server reply layout: offsets in the 284-byte reply (348 bytes when extended).
constexpr std::size_t kReplyEncodingKind = 40;
constexpr std::size_t kReplyMirrorWord = 52;
constexpr std::size_t kReplyFirmwareVersion = 56; // 4 x u16
constexpr std::size_t kReplyFirmwareBuild = 64;   // 16 bytes
constexpr std::size_t kReplyHardwareAddress = 112;
constexpr std::size_t kReplyHalf130 = 130;
constexpr std::size_t kReplyCapabilities = 132;
constexpr std::size_t kReplyWord140 = 140;
constexpr std::size_t kReplyOptionWord = 144;
constexpr std::size_t kReplyWord148 = 148;
constexpr std::size_t kReplyStatus = 152;
constexpr std::size_t kReplyHalf160 = 160;
constexpr std::size_t kReplyHalf162 = 162;
constexpr std::size_t kReplyWord164 = 164;
constexpr std::size_t kReplyComment = 168;   // 32 bytes
constexpr std::size_t kReplyAddresses = 200; // 3 x u32, network order
constexpr std::size_t kReplyGateways = 212;  // 3 x u32, network order
constexpr std::size_t kReplyMasks = 224;     // 3 x u32, network order
constexpr std::size_t kReplyName = 236;      // 16 bytes
constexpr std::size_t kReplyWorkgroup = 252; // 16 bytes
constexpr std::size_t kReplyExtraText = 268; // 16 bytes
constexpr std::size_t kReplyExtendedName = 284;
constexpr std::size_t kExtendedNameSize = 64;
static_assert(kReplyExtraText + 16 == kServerReplySize);
static_assert(kReplyExtendedName + kExtendedNameSize == kExtendedServerReplySize);
static_assert(kReplyHardwareAddress + kHardwareAddressSize == kReplyHalf130);
static_assert(kReplyComment + 32 == kReplyAddresses);

// Server-information request layout.
constexpr std::size_t kRequestZero0 = 40;
constexpr std::size_t kRequestZero1 = 44;
constexpr std::uint32_t kRequestPayload = 36;
constexpr std::uint32_t kRequestDataLength = 28;
static_assert(kHeaderSize + kRequestPayload == kDiscoveryRequestSize);
static_assert(kExtendedHeaderSize + kRequestDataLength == kDiscoveryRequestSize);

std::string Mismatch(const char* field, long got, long want) {
    return std::string(field) + " is " + std::to_string(got) + ", expected " + std::to_string(want);
}

// The header rules every request shares.
std::string CheckCommon(const Header& h, std::uint16_t flags, std::uint32_t payload) {
    if (!h.signatureOk) return "bad signature";
    if (h.version != kVersion) return Mismatch("version", h.version, kVersion);
    if (h.flags != flags) return Mismatch("flags", h.flags, flags);
    if (h.payloadLength != payload) return Mismatch("payload length", h.payloadLength, payload);
    if (h.one != 1) return Mismatch("word at 26", h.one, 1);
    if (h.argument != 0) return Mismatch("argument", h.argument, 0);
    return {};
}

} // namespace

void PutU16(std::vector<std::uint8_t>& b, std::size_t off, std::uint16_t v) {
    b.at(off + 1);
    b[off] = static_cast<std::uint8_t>(v);
    b[off + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v) {
    b.at(off + 3);
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutU32Net(std::vector<std::uint8_t>& b, std::size_t off, std::uint32_t v) {
    b.at(off + 3);
    for (int i = 0; i < 4; ++i)
        b[off + i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

void PutText(std::vector<std::uint8_t>& b, std::size_t off, std::size_t width,
             std::string_view text) {
    b.at(off + width - 1);
    std::copy_n(text.begin(), std::min(width, text.size()), b.begin() + off);
}

std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t GetU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint32_t GetU32Net(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

std::vector<std::uint8_t> MakeHeader(std::size_t total_size, std::uint16_t command,
                                     std::uint16_t flags, std::int16_t argument, bool extended) {
    std::vector<std::uint8_t> b(total_size, 0);
    std::memcpy(b.data(), kSignature, sizeof kSignature);
    PutU16(b, kOffVersion, kVersion);
    PutU32(b, kOffTime, static_cast<std::uint32_t>(std::time(nullptr)));
    PutU16(b, kOffFlags, flags);
    PutU32(b, kOffPayloadLength, static_cast<std::uint32_t>(total_size - kHeaderSize));
    PutU16(b, kOffCommand, command);
    PutU16(b, kOffOne, 1);
    PutU16(b, kOffArgument, static_cast<std::uint16_t>(argument));
    if (extended) {
        PutU32(b, kOffSubCode, 0);
        PutU32(b, kOffDataLength, static_cast<std::uint32_t>(total_size - kExtendedHeaderSize));
    }
    return b;
}

std::string CheckServerInfoRequest(const std::vector<std::uint8_t>& bytes, const Header& h) {
    if (bytes.size() != kDiscoveryRequestSize)
        return Mismatch("size", static_cast<long>(bytes.size()), kDiscoveryRequestSize);
    std::string problem = CheckCommon(h, 1, kRequestPayload);
    if (!problem.empty()) return problem;
    if (h.subCode != 0) return Mismatch("sub-code", h.subCode, 0);
    if (h.dataLength != kRequestDataLength)
        return Mismatch("data length", h.dataLength, kRequestDataLength);
    if (GetU32(&bytes[kRequestZero0]) != 0 || GetU32(&bytes[kRequestZero1]) != 0)
        return "bytes 40..47 are not zero";
    return {};
}

std::string CheckAck(const std::vector<std::uint8_t>& bytes, const Header& h) {
    if (bytes.size() != kHeaderSize)
        return Mismatch("size", static_cast<long>(bytes.size()), kHeaderSize);
    return CheckCommon(h, 0, 0);
}

} // namespace wire

using namespace wire;

std::string AddressText(std::uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string(a >> 16 & 0xFF) + "." +
           std::to_string(a >> 8 & 0xFF) + "." + std::to_string(a & 0xFF);
}

const char* FaultName(Fault fault) {
    switch (fault) {
    case Fault::None:
        return "none";
    case Fault::Refuse:
        return "refuse";
    case Fault::Stall:
        return "stall";
    case Fault::Silence:
        return "silence";
    case Fault::CloseAfterRequest:
        return "close";
    case Fault::Fragment:
        return "fragment";
    case Fault::WrongSignature:
        return "wrong-signature";
    case Fault::WrongVersion:
        return "wrong-version";
    case Fault::ShortReply:
        return "short";
    case Fault::ForeignSubnet:
        return "foreign-subnet";
    case Fault::TcpSilence:
        return "tcp-silence";
    }
    return "?";
}

std::optional<Header> DecodeHeader(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size < kHeaderSize) return std::nullopt;
    Header h;
    h.signatureOk = std::memcmp(data, kSignature, sizeof kSignature) == 0;
    h.version = GetU16(data + kOffVersion);
    h.time = GetU32(data + kOffTime);
    h.flags = GetU16(data + kOffFlags);
    h.payloadLength = GetU32(data + kOffPayloadLength);
    h.command = GetU16(data + kOffCommand);
    h.one = GetU16(data + kOffOne);
    h.argument = static_cast<std::int16_t>(GetU16(data + kOffArgument));
    if (size >= kExtendedHeaderSize) {
        h.extended = true;
        h.subCode = GetU32(data + kOffSubCode);
        h.dataLength = GetU32(data + kOffDataLength);
    }
    return h;
}

std::vector<std::uint8_t> EncodeServerReply(const UnitConfig& c) {
    const std::size_t size = c.extendedReply ? kExtendedServerReplySize : kServerReplySize;
    std::vector<std::uint8_t> b = MakeHeader(size, kCommandServerInfo, 0, c.replyStatus, true);
    PutU32(b, kReplyEncodingKind, c.encodingKind);
    PutU32(b, kReplyMirrorWord, static_cast<std::uint32_t>(c.mirrorWord));
    for (std::size_t i = 0; i < c.firmwareVersion.size(); ++i)
        PutU16(b, kReplyFirmwareVersion + 2 * i, c.firmwareVersion[i]);
    PutText(b, kReplyFirmwareBuild, 16, c.firmwareBuild);
    std::copy(c.hardwareAddress.begin(), c.hardwareAddress.end(),
              b.begin() + kReplyHardwareAddress);
    PutU16(b, kReplyHalf130, c.half130);
    PutU32(b, kReplyCapabilities, c.capabilities);
    PutU32(b, kReplyWord140, c.word140);
    PutU32(b, kReplyOptionWord, c.optionWord);
    PutU32(b, kReplyWord148, c.word148);
    PutU32(b, kReplyStatus, c.status);
    PutU16(b, kReplyHalf160, c.half160);
    PutU16(b, kReplyHalf162, c.half162);
    PutU32(b, kReplyWord164, c.word164);
    PutText(b, kReplyComment, 32, c.comment);
    for (std::size_t i = 0; i < c.lan.size(); ++i) {
        PutU32Net(b, kReplyAddresses + 4 * i, c.lan[i].address);
        PutU32Net(b, kReplyGateways + 4 * i, c.lan[i].gateway);
        PutU32Net(b, kReplyMasks + 4 * i, c.lan[i].mask);
    }
    PutText(b, kReplyName, 16, c.name);
    PutText(b, kReplyWorkgroup, 16, c.workgroup);
    PutText(b, kReplyExtraText, 16, c.extraText);
    if (c.extendedReply) PutText(b, kReplyExtendedName, kExtendedNameSize, c.extendedName);
    return b;
}

} // namespace nassim
