// The CD-server frame protocol: every message is a frame that starts with "NAD-". Requests go
// over TCP, one request per connection; discovery is a 344-byte datagram. All integers are
// little-endian; records are read and written field by field at their offsets.
#pragma once

#include <cstddef>
#include <cstdint>

// Frame header: signature, protocol tag, payload length, reserved (0), command.
inline constexpr std::size_t kCdhHeaderSize = 14;
inline constexpr std::size_t kCdhTrailerSize = 2; // CR LF after the payload, TCP only
inline constexpr std::size_t kCdhOffSignature = 0;
inline constexpr std::size_t kCdhOffTag = 4;
inline constexpr std::size_t kCdhOffLength = 8;
inline constexpr std::size_t kCdhOffReserved = 10;
inline constexpr std::size_t kCdhOffCommand = 12;
inline constexpr std::uint32_t kCdhSignature = 0x2D44414Eu;   // "NAD-"
inline constexpr std::uint32_t kCdhProtocolTag = 0x06676663u; // "cfg" 0x06
inline constexpr std::uint16_t kCdhCommandMask = 0x7FFF;      // bit 15 is never sent
static_assert(kCdhOffCommand + 2 == kCdhHeaderSize);

// Commands.
enum CdhCommand : std::uint16_t {
    kCdhDiscover = 0, // discovery query; 1 in the acknowledgement
    kCdhAcknowledge = 1,
    kCdhStatus = 5,       // -> 90-byte status block
    kCdhSlotInfo = 6,     // u32 slot -> 128-byte slot block
    kCdhSlotEntries = 8,  // u32 slot -> 52-byte entries
    kCdhChangeEntry = 9,  // 56-byte entry change -> u32 status
    kCdhGroups = 10,      // -> 24-byte group entries
    kCdhChangeGroup = 11, // 54-byte group change -> u32 status
    kCdhRestart = 17,     // 100-byte password block -> u32 status
    kCdhShutdown = 18,    // 100-byte password block -> u32 status
    kCdhPassword = 19,    // 100-byte password block -> 100 bytes, u32 status first
    kCdhVolumeTable = 26, // -> 8 entries of 128 bytes
    kCdhTapeHeader = 27,  // u32 slot -> two frames of 49152 and 25935 bytes
    kCdhTapeCatalog = 28, // u32 slot -> at most 26000 bytes
    kCdhRaidVolumes = 29, // -> 4 entries of 62 bytes
};

// Payload sizes.
inline constexpr std::size_t kCdhSlotRequestSize = 4;
inline constexpr std::size_t kCdhStatusSize = 90;
inline constexpr std::size_t kCdhSlotInfoSize = 128;
inline constexpr std::size_t kCdhSlotCount = 8; // drive slots 0-7
inline constexpr std::size_t kCdhEntrySize = 52;
inline constexpr std::size_t kCdhGroupSize = 24;
inline constexpr std::size_t kCdhEntryChangeSize = 56;
inline constexpr std::size_t kCdhGroupChangeSize = 54;
inline constexpr std::size_t kCdhPasswordBlockSize = 100;
inline constexpr std::size_t kCdhStatusReplySize = 4; // u32 status, 0 = accepted
inline constexpr std::size_t kCdhVolumeEntrySize = 128;
inline constexpr std::size_t kCdhVolumeEntries = 8;
inline constexpr std::size_t kCdhVolumeTableSize = kCdhVolumeEntrySize * kCdhVolumeEntries;
inline constexpr std::size_t kCdhTapeHeaderFirst = 49152;
inline constexpr std::size_t kCdhTapeHeaderSecond = 25935;
inline constexpr std::size_t kCdhTapeHeaderSize = kCdhTapeHeaderFirst + kCdhTapeHeaderSecond;
inline constexpr std::size_t kCdhTapeCatalogMax = 26000;
inline constexpr std::size_t kCdhRaidEntrySize = 62;
inline constexpr std::size_t kCdhRaidEntries = 4;
inline constexpr std::size_t kCdhRaidTableSize = kCdhRaidEntrySize * kCdhRaidEntries;
static_assert(kCdhVolumeTableSize == 1024);
static_assert(kCdhTapeHeaderSize == 75087);
static_assert(kCdhRaidTableSize == 248);

// Password blocks (commands 17, 18, 19).
inline constexpr std::size_t kCdhPwOffKind = 0;     // u16, command 19
inline constexpr std::size_t kCdhPwOffArgument = 2; // u16, command 19
inline constexpr std::size_t kCdhPwOffText = 4;     // the password text, then its digest
inline constexpr std::size_t kCdhPwTextWidth = 16;
inline constexpr std::size_t kCdhPwOffExtra = 36; // command 19: a text, sent as Base64
inline constexpr std::size_t kCdhPwExtraWidth = kCdhPasswordBlockSize - kCdhPwOffExtra;
// The longest extra text whose Base64 and a terminator fit the field.
inline constexpr std::size_t kCdhPwExtraTextMax = (kCdhPwExtraWidth - 1) / 4 * 3;
static_assert((kCdhPwExtraTextMax + 2) / 3 * 4 < kCdhPwExtraWidth);

// Entry change (command 9) and group change (command 11).
inline constexpr std::size_t kCdhEcOffSlot = 3;
inline constexpr std::size_t kCdhEcOffFlags = 5;
inline constexpr std::size_t kCdhEcOffDigest = 40;
inline constexpr std::uint8_t kCdhEcSecondPassword = 0x10; // flags: retry with the second one
inline constexpr std::size_t kCdhGcOffText = 38;           // third password, then its digest
static_assert(kCdhEcOffDigest + 16 == kCdhEntryChangeSize);
static_assert(kCdhGcOffText + 16 == kCdhGroupChangeSize);

// Discovery datagram: the frame header with length 344 and no trailer.
inline constexpr std::size_t kCdhAnnounceSize = 344;
inline constexpr std::size_t kCdhDatagramMax = 1500;
inline constexpr std::size_t kCdhQueryOffTick = 14;    // u32, the sender's tick count
inline constexpr std::size_t kCdhQueryOffAddress = 34; // sender's IPv4, network order
inline constexpr std::size_t kCdhQueryOff82 = 82;      // u32 2048
inline constexpr std::size_t kCdhQueryOff90 = 90;      // u32 1
inline constexpr std::size_t kCdhQueryOff106 = 106;    // u32 0xFFFFFFFF
// Reply fields.
inline constexpr std::size_t kCdhAnnOffMac = 18;          // 16 bytes, 6 used
inline constexpr std::size_t kCdhAnnOffAddress = 34;      // 16 bytes, 4 used
inline constexpr std::size_t kCdhAnnOffMask = 50;         // 16 bytes, 4 used
inline constexpr std::size_t kCdhAnnOffGateway = 66;      // 16 bytes, 4 used
inline constexpr std::size_t kCdhAnnOffCapabilities = 82; // u32
inline constexpr std::size_t kCdhAnnOffValueA = 90;       // u32
inline constexpr std::size_t kCdhAnnOffValueB = 106;      // u32
inline constexpr std::size_t kCdhAnnOffText = 110;        // 64 bytes
inline constexpr std::size_t kCdhAnnOffFwMajor = 174;     // u16
inline constexpr std::size_t kCdhAnnOffFwMinor = 176;     // u16
inline constexpr std::size_t kCdhAnnOffFwSuffix = 178;    // 16 bytes
inline constexpr std::size_t kCdhAnnOffName = 194;        // 18 bytes
inline constexpr std::size_t kCdhAnnOffSecondName = 212;  // 18 bytes
inline constexpr std::size_t kCdhAnnOffDescription = 262; // 44 bytes
inline constexpr std::size_t kCdhAnnOffFurther = 340;     // u32
inline constexpr std::size_t kCdhAddressFieldSize = 16;
static_assert(kCdhAnnOffFurther + 4 == kCdhAnnounceSize);

// Little-endian field access.
std::uint16_t CdhGetU16(const std::uint8_t* p);
std::uint32_t CdhGetU32(const std::uint8_t* p);
void CdhPutU16(std::uint8_t* p, std::uint16_t v);
void CdhPutU32(std::uint8_t* p, std::uint32_t v);

struct CdhFrameHeader {
    std::uint16_t length = 0;
    std::uint16_t command = 0; // without bit 15
};

// Writes a header with this command (bit 15 clear) and length.
void CdhEncodeHeader(std::uint8_t* out, std::uint16_t command, std::uint16_t length);
// Reads a header: false unless the signature, the protocol tag and the reserved field match.
bool CdhDecodeHeader(const std::uint8_t* data, std::size_t size, CdhFrameHeader& header);

// The discovery query: command 0, the tick count, the own address (4 bytes, network order).
void CdhBuildQuery(std::uint8_t* out, std::uint32_t tick, const std::uint8_t* ownAddress);

// Sends header, payload and CR LF within waitMs: the frame's size, or -1 (failed send, time-out,
// or a payload longer than a frame can declare).
int CdhSendFrame(int fd, std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                 int waitMs);
// Receives exactly count bytes within waitMs from the call: count, or -1 on time-out, a failed
// receive or a connection closed early.
int CdhReadExact(int fd, std::uint8_t* buffer, std::size_t count, int waitMs);
// Receives one frame: the header (validated), the payload into buffer and the two trailer bytes
// (not checked); each of the three reads within waitMs. The payload length, or -1 for an invalid
// header, a payload longer than the buffer (refused unread), a short or late reply.
int CdhReceiveFrame(int fd, std::uint16_t* command, std::uint8_t* buffer, std::size_t bufferSize,
                    int waitMs);
