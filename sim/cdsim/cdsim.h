// Simulated CD servers on loopback, for tests and demonstrations.
//
// A Server answers the discovery broadcast on its UDP port (after a delay of its own, to every
// query) and every request of the frame protocol over TCP, one request per connection, from its
// own tables. It records every datagram and request it receives and can be told to misbehave per
// command and occurrence. Several servers run in one process, each on its own 127.0.0.N address;
// servers that answer one broadcast share the UDP port.
//
// The simulator encodes and decodes every frame and record itself from explicit offsets: it shares
// no code with the client, so a layout error on either side shows as a failing test. Every address
// is a host-order IPv4 address and must lie in 127.0.0.0/8.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace cdsim {

using Bytes = std::vector<std::uint8_t>;

// Sizes on the wire.
inline constexpr std::size_t kHeaderSize = 14;
inline constexpr std::size_t kAnnounceSize = 344;
inline constexpr std::size_t kStatusSize = 90;
inline constexpr std::size_t kSlotSize = 128;
inline constexpr std::size_t kEntrySize = 52;
inline constexpr std::size_t kGroupSize = 24;
inline constexpr std::size_t kVolumeEntrySize = 128;
inline constexpr std::size_t kRaidEntrySize = 62;
inline constexpr std::size_t kTapeHeaderSize = 75087;
inline constexpr std::size_t kTapeFirstFrame = 49152;
inline constexpr std::size_t kPasswordBlockSize = 100;
inline constexpr std::size_t kEntryChangeSize = 56;
inline constexpr std::size_t kGroupChangeSize = 54;

// Commands.
inline constexpr std::uint16_t kQuery = 0;
inline constexpr std::uint16_t kAcknowledge = 1;
inline constexpr std::uint16_t kStatus = 5;
inline constexpr std::uint16_t kSlotInfo = 6;
inline constexpr std::uint16_t kSlotEntries = 8;
inline constexpr std::uint16_t kChangeEntry = 9;
inline constexpr std::uint16_t kGroups = 10;
inline constexpr std::uint16_t kChangeGroup = 11;
inline constexpr std::uint16_t kRestart = 17;
inline constexpr std::uint16_t kShutdown = 18;
inline constexpr std::uint16_t kPassword = 19;
inline constexpr std::uint16_t kVolumeTable = 26;
inline constexpr std::uint16_t kTapeHeader = 27;
inline constexpr std::uint16_t kTapeCatalog = 28;
inline constexpr std::uint16_t kRaidVolumes = 29;

constexpr std::uint32_t Ipv4(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a & 0xFFu) << 24 | (b & 0xFFu) << 16 | (c & 0xFFu) << 8 | (d & 0xFFu);
}
inline constexpr std::uint32_t kLoopbackBroadcast = Ipv4(127, 255, 255, 255);
std::string AddressText(std::uint32_t address);
// Ports free on every local address at the moment of the call.
std::uint16_t FreeTcpPort();
std::uint16_t FreeUdpPort();

// ---- Records, encoded field by field (texts cut to their field, unterminated when full) ----

struct StatusBlock {
    std::uint16_t memoryMb = 0;   // 0
    std::uint16_t cpuMhz = 0;     // 2
    std::uint16_t lanSpeed = 0;   // 4
    std::uint32_t clock = 0;      // 8, seconds since 1970
    std::string text36;           // 36, 18 bytes
    std::string text54;           // 54, 18 bytes
    std::uint16_t slotsInUse = 0; // 72
    std::uint16_t countA = 0;     // 74
    std::uint16_t countB = 0;     // 76
    std::uint16_t groupCount = 0; // 78
    std::uint32_t maskA = 0;      // 82
    std::uint32_t maskB = 0;      // 86
};
Bytes Encode(const StatusBlock& status);

// A slot block (command 6); a volume-table entry (command 26) adds its slot number, activity and
// media words.
struct SlotBlock {
    std::string label;            // 0, 18 bytes
    std::string status;           // 18, 42 bytes
    std::string state;            // 60, 20 bytes
    std::uint16_t kind = 0;       // 80
    std::uint16_t entryCount = 0; // 86
    std::uint8_t byte88 = 0;
    std::uint8_t byte89 = 0;    // low nibble: mode
    std::uint8_t byte90 = 0;    // high nibble: state
    std::uint32_t capacity = 0; // 92, sectors
    std::uint32_t free = 0;     // 100, sectors
    bool present = true;        // false: the first byte is 0
};
Bytes Encode(const SlotBlock& slot);

struct VolumeEntry {
    SlotBlock block;
    std::uint16_t slot = 0;     // 82
    std::uint32_t activity = 0; // 108
    std::uint32_t media = 0;    // 112 (bit 31: no tape device)
};
Bytes Encode(const VolumeEntry& entry);

struct Entry {
    std::string name; // 0, 34 bytes
    std::uint8_t byte34 = 0;
    std::uint8_t byte37 = 0;
    std::uint8_t kind = 0;     // 38
    std::uint8_t flags = 0;    // 39
    std::uint16_t id = 0;      // 40
    std::uint32_t sectors = 0; // 44
};
Bytes Encode(const Entry& entry);

struct Group {
    std::string name;       // 0, 18 bytes
    std::uint16_t id = 0;   // 18
    std::uint8_t kind = 0;  // 20
    std::uint8_t flags = 0; // 23
};
Bytes Encode(const Group& group);

struct RaidVolume {
    std::uint8_t level = 0;            // 4
    std::vector<std::uint8_t> members; // count at 5, numbers from 46
    std::uint32_t slotMask = 0;        // 20
    std::uint8_t state = 0;            // 26
    std::uint8_t kind = 0;             // 27
    std::uint32_t capacityMb = 0;      // 30
    std::uint32_t freeMb = 0;          // 34
    std::uint16_t entryCount = 0;      // 58
};
Bytes Encode(const RaidVolume& volume);

struct BackupSet {
    std::uint32_t sectors = 0; // 0
    std::string name;          // 5
};
struct TapeHeader {
    bool signature = true;       // "TAPE@CDH" at 0
    std::uint8_t kind = 0;       // 12
    std::uint16_t setCount = 0;  // 33
    std::uint16_t onTape = 0;    // 35
    std::uint16_t spanMode = 0;  // 39
    std::uint16_t firstSet = 0;  // 41
    std::vector<BackupSet> sets; // 75 bytes each from 80
    std::string name;            // 75043, 44 bytes
};
Bytes Encode(const TapeHeader& header); // kTapeHeaderSize bytes

struct TapeCatalog {
    bool valid = true;                      // byte 0 bit 0
    std::uint8_t scheduleKind = 0;          // byte 0 bits 1-2
    std::uint8_t hour = 0;                  // byte 0 bits 3-7
    std::uint8_t weekday = 0;               // byte 1 bits 0-2
    std::uint8_t day = 0;                   // byte 1 bits 3-7
    std::uint8_t minute = 0;                // byte 2 bits 0-5
    std::uint32_t count = 0;                // 3
    std::uint32_t backupType = 0;           // 7
    std::string label;                      // 11, 20 bytes
    std::optional<std::size_t> marker = 32; // where "////" stands; none: no marker
    std::vector<std::string> names;         // 17 bytes each after the marker
    std::size_t size = 0;                   // 0: as long as the content, else padded or cut
};
Bytes Encode(const TapeCatalog& catalog);

// ---- Frames ----

// Header (length = payload size, reserved 0), payload and, when trailer is set, CR LF.
Bytes EncodeFrame(std::uint16_t command, const Bytes& payload, bool trailer = true);

struct FrameHeader {
    std::uint32_t signature = 0;
    std::uint32_t tag = 0;
    std::uint16_t length = 0;
    std::uint16_t reserved = 0;
    std::uint16_t command = 0;
    bool valid() const { return signature == 0x2D44414Eu && tag == 0x06676663u && reserved == 0; }
};
std::optional<FrameHeader> DecodeHeader(const std::uint8_t* data, std::size_t size);

// The 16-byte digest a server compares: MD4 of PASSWORD + salt + PASSWORD, cut to 128 bytes.
std::array<std::uint8_t, 16> PasswordDigest(const std::string& password);
std::array<std::uint8_t, 16> Md4(const std::uint8_t* data, std::size_t size);
// Decodes RFC 4648 Base64 ("=" padding); none for a malformed text.
std::optional<std::string> Base64Decode(const std::string& text);

std::uint16_t GetU16(const std::uint8_t* p);
std::uint32_t GetU32(const std::uint8_t* p);

// ---- The server ----

struct ServerConfig {
    std::uint32_t address = Ipv4(127, 0, 0, 2);
    std::uint16_t tcpPort = 0; // 0: a free port
    std::uint16_t udpPort = 0; // 0: a free port

    // The discovery reply.
    std::array<std::uint8_t, 6> mac{};
    std::uint32_t announcedAddress = 0; // 0: the server's address
    std::uint32_t mask = Ipv4(255, 0, 0, 0);
    std::uint32_t gateway = 0;
    std::uint32_t capabilities = 0;
    std::uint32_t furtherFlags = 0;
    std::uint32_t valueA = 0;
    std::uint32_t valueB = 0;
    std::uint16_t firmwareMajor = 2;
    std::uint16_t firmwareMinor = 0;
    std::string text;           // 64 bytes
    std::string firmwareSuffix; // 16 bytes
    std::string name;           // 18 bytes
    std::string secondName;     // 18 bytes
    std::string description;    // 44 bytes
    std::uint16_t announceCommand = 2;
    std::chrono::milliseconds answerDelay{0}; // between a query and its reply
    bool answersDiscovery = true;
    std::size_t announceBytes = kAnnounceSize; // fewer: a cut reply
    bool announceBadReserved = false;
    bool listens = true; // false: connections to the TCP port are refused

    // Tables.
    StatusBlock status;
    std::array<std::optional<SlotBlock>, 8> slots;       // absent: an all-zero block
    std::map<std::uint32_t, std::vector<Entry>> entries; // command 8, by slot 0-11
    std::vector<Group> groups;
    std::vector<VolumeEntry> volumes;          // command 26, in this order (8 entries of 128 bytes)
    std::map<std::uint32_t, TapeHeader> tapes; // command 27, by slot (absent: zeros)
    std::map<std::uint32_t, TapeCatalog> catalogs; // command 28, by slot (absent: empty)
    std::array<std::optional<RaidVolume>, 4> raid; // command 29
    std::string adminPassword;
    std::string mirrorPassword;
    std::map<std::uint16_t, std::string> groupPasswords; // by group id
};

enum class FaultKind {
    Silence,           // reads the request, never answers; the connection stays open
    CloseWithoutReply, // reads the request and closes
    StallAfter,        // sends the first `bytes` reply bytes, then nothing; stays open
    CutAfter,          // sends the first `bytes` reply bytes, then closes
    BadSignature,      // the first reply frame's signature is altered
    BadTag,            // the first reply frame's protocol tag is altered
    NonZeroReserved,   // the first reply frame's reserved field is 1
    DeclaredLength,    // the first reply frame declares `declaredLength`, payload unchanged
    ReplacePayload,    // the first reply frame carries `payload` instead (length to match)
    OnlyFirstFrame,    // of a two-frame reply, only the first is sent
};

struct CommandFault {
    std::uint16_t command = 0; // 0: every command
    unsigned occurrence = 0;   // 1: the first matching request after adding, ...; 0: every one
    FaultKind kind = FaultKind::Silence;
    std::size_t bytes = 0;
    std::uint16_t declaredLength = 0;
    Bytes payload;
};

struct Datagram {
    std::uint32_t from = 0;
    std::uint16_t fromPort = 0;
    std::uint32_t to = 0; // destination address (a broadcast address for queries)
    Bytes bytes;
    std::chrono::steady_clock::time_point when;
};

struct Request {
    std::uint16_t command = 0;
    Bytes frame; // every byte received for it, trailer included
    Bytes payload;
    std::string problem; // empty when well-formed
};

class Server {
public:
    // Binds the sockets and starts the service thread; throws std::invalid_argument for an
    // address outside 127.0.0.0/8 and std::system_error when a socket cannot be bound.
    explicit Server(ServerConfig config);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint32_t address() const;
    std::uint16_t tcpPort() const;
    std::uint16_t udpPort() const;

    void addFault(CommandFault fault);
    void setAnswersDiscovery(bool answers);

    std::vector<Datagram> datagrams() const; // every query and acknowledgement received
    std::vector<Request> requests() const;
    std::size_t discoveryReplies() const; // discovery replies sent
    unsigned restarts() const;            // accepted restart requests
    unsigned shutdowns() const;           // accepted shut-down requests

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace cdsim
