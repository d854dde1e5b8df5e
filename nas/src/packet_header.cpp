#include "packet_header.h"

#include "netconfig.h"
#include "wire_bytes.h"

#include <cstring>

namespace nas {

void InitHeader(PacketHeader& header, uint16_t command, uint16_t flags, uint32_t payloadLength) {
    header = PacketHeader{};
    header.time = CurrentNetConfig()->clock.calendarSeconds();
    header.flags = flags;
    header.payloadLength = payloadLength;
    header.command = command;
}

PacketHeader BuildCommandHeader(uint16_t command) {
    PacketHeader header;
    InitHeader(header, command, 1, 0);
    return header;
}

PacketHeader BuildAck() {
    PacketHeader header;
    InitHeader(header, command::kAck, 0, 0);
    return header;
}

void EncodeHeader(const PacketHeader& header, uint8_t* out) {
    std::memset(out, 0, kHeaderSize);
    std::memcpy(out, kSignature, sizeof kSignature);
    PutU16(out + kOffVersion, header.version);
    PutU32(out + kOffTime, header.time);
    PutU16(out + kOffFlags, header.flags);
    PutU32(out + kOffPayloadLength, header.payloadLength);
    PutU16(out + kOffCommand, header.command);
    PutU16(out + kOffOne, header.one);
    PutU16(out + kOffStatus, static_cast<uint16_t>(header.status));
}

void EncodeExtendedHeader(const PacketHeader& header, uint8_t* out) {
    EncodeHeader(header, out);
    PutU32(out + kOffSubCode, header.subCode);
    PutU32(out + kOffDataLength, header.dataLength);
}

std::optional<PacketHeader> DecodeHeader(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) return std::nullopt;
    PacketHeader header;
    header.version = GetU16(data + kOffVersion);
    header.time = GetU32(data + kOffTime);
    header.flags = GetU16(data + kOffFlags);
    header.payloadLength = GetU32(data + kOffPayloadLength);
    header.command = GetU16(data + kOffCommand);
    header.one = GetU16(data + kOffOne);
    header.status = static_cast<int16_t>(GetU16(data + kOffStatus));
    if (size >= kExtendedHeaderSize) {
        header.subCode = GetU32(data + kOffSubCode);
        header.dataLength = GetU32(data + kOffDataLength);
    }
    return header;
}

bool HasSignature(const uint8_t* data, size_t size) {
    return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
}

} // namespace nas
