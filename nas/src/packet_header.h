// The packet header that starts every request and reply: 32 bytes, extended to 40 by a sub-code
// and a data length. Encoded and decoded field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace nas {

inline constexpr size_t kHeaderSize = 32;
inline constexpr size_t kExtendedHeaderSize = 40;
inline constexpr size_t kSubHeaderSize = 8; // sub-code and data length after a 32-byte header
inline constexpr char kSignature[8] = {'P', 'E', 'L', 'Q', 'U', 'A', 'N', 'E'};
inline constexpr uint16_t kProtocolVersion = 0x0100;

// Field offsets.
inline constexpr size_t kOffVersion = 8;
inline constexpr size_t kOffTime = 12;
inline constexpr size_t kOffFlags = 18;
inline constexpr size_t kOffPayloadLength = 20;
inline constexpr size_t kOffCommand = 24;
inline constexpr size_t kOffOne = 26;
inline constexpr size_t kOffStatus = 30; // argument in requests, status in replies
inline constexpr size_t kOffSubCode = 32;
inline constexpr size_t kOffDataLength = 36;
static_assert(kOffStatus + 2 == kHeaderSize && kOffDataLength + 4 == kExtendedHeaderSize);

namespace command {
inline constexpr uint16_t kServerInfo = 1; // discovery and remote information
inline constexpr uint16_t kAck = 2;
inline constexpr uint16_t kSetServer = 3;
inline constexpr uint16_t kGetConfig = 4;
inline constexpr uint16_t kSetConfig = 5;
inline constexpr uint16_t kCheckPassword = 6;
inline constexpr uint16_t kShutdown = 7;
inline constexpr uint16_t kServerReady = 8;   // announcement
inline constexpr uint16_t kServerOffline = 9; // announcement
inline constexpr uint16_t kDiskInfo = 10;
inline constexpr uint16_t kVolInfo = 11;
inline constexpr uint16_t kTaskInfo = 12;
inline constexpr uint16_t kImgFolders = 13;
inline constexpr uint16_t kImgList = 14;
inline constexpr uint16_t kMirrorStart = 15;
inline constexpr uint16_t kMirrorTable = 16;
inline constexpr uint16_t kMirrorData = 17;
inline constexpr uint16_t kMirrorComplete = 18;
inline constexpr uint16_t kMirrorAbort = 19;
inline constexpr uint16_t kCheckUserPassword = 20;
inline constexpr uint16_t kShareList = 21;
inline constexpr uint16_t kCDDrvList = 22;
inline constexpr uint16_t kRemoteCDBurning = 23;
inline constexpr uint16_t kCDBurningStat = 24;
inline constexpr uint16_t kImgTransfer = 29; // start and data blocks
inline constexpr uint16_t kImgTransferComplete = 30;
inline constexpr uint16_t kImgTransferAbort = 31;
inline constexpr uint16_t kImgConvert = 32;
inline constexpr uint16_t kDeleteImage = 33;
inline constexpr uint16_t kSetServerModeTwoReply = 256; // reply to a mode-2 set-server request
} // namespace command

struct PacketHeader {
    uint16_t version = kProtocolVersion;
    uint32_t time = 0;
    uint16_t flags = 0;
    uint32_t payloadLength = 0; // bytes after the 32-byte header
    uint16_t command = 0;
    uint16_t one = 1;
    int16_t status = 0; // argument in requests
    uint32_t subCode = 0;
    uint32_t dataLength = 0; // bytes after the 40-byte header
};

// Signature, version 256, the clock's time, the given fields, one = 1, the rest 0.
void InitHeader(PacketHeader& header, uint16_t command, uint16_t flags, uint32_t payloadLength);
// The bare 32-byte request of the list queries: flags 1, payload length 0.
PacketHeader BuildCommandHeader(uint16_t command);
// The acknowledgement of a discovery reply: command 2, flags 0, payload length 0.
PacketHeader BuildAck();

void EncodeHeader(const PacketHeader& header, uint8_t* out32);
void EncodeExtendedHeader(const PacketHeader& header, uint8_t* out40);
// Decodes a header; none when size < 32. The sub-code and data length only when size >= 40.
// The signature is not checked here (HasSignature).
std::optional<PacketHeader> DecodeHeader(const uint8_t* data, size_t size);
bool HasSignature(const uint8_t* data, size_t size);

} // namespace nas
