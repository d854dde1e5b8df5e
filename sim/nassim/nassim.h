// Simulated NAS units on loopback, for tests, benchmarks and demonstrations.
//
// A Unit answers the discovery broadcast on its UDP port and every request of the protocol over
// TCP (lists, passwords, configuration files, set-server, mirror, image-transfer and recording
// sessions; set-server by broadcast too). It records every request it receives (acknowledgements
// included) and can be told to misbehave: for every request (Fault) or per command and occurrence
// (CommandFault). Several units run in one process at once, each on its own 127.0.0.N address;
// units that should answer one broadcast share the UDP port, units of one test usually share the
// TCP port.
//
// The simulator encodes and decodes every message itself from explicit offsets: it shares no code
// with the access library, so a layout error on either side shows as a failing test.
// Every address is a host-order IPv4 address and must lie in 127.0.0.0/8.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace nassim {

// Message sizes on the wire.
inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kExtendedHeaderSize = 40;
inline constexpr std::size_t kDiscoveryRequestSize = 68;
inline constexpr std::size_t kServerReplySize = 284;
inline constexpr std::size_t kExtendedServerReplySize = 348;
inline constexpr std::size_t kHardwareAddressSize = 18;

using Bytes = std::vector<std::uint8_t>;

// Command codes.
inline constexpr std::uint16_t kCommandServerInfo = 1; // discovery / server-information request
inline constexpr std::uint16_t kCommandAck = 2;        // acknowledgement of a server reply
inline constexpr std::uint16_t kCommandSetServer = 3;  // 352-byte (flags 1) or 460-byte (flags 2)
inline constexpr std::uint16_t kCommandGetConfig = 4;
inline constexpr std::uint16_t kCommandSetConfig = 5;
inline constexpr std::uint16_t kCommandCheckPassword = 6;
inline constexpr std::uint16_t kCommandShutdown = 7;
inline constexpr std::uint16_t kCommandReady = 8;   // announcement: the unit is ready
inline constexpr std::uint16_t kCommandOffline = 9; // announcement: the unit goes off-line
inline constexpr std::uint16_t kCommandDiskList = 10;
inline constexpr std::uint16_t kCommandVolumeList = 11;
inline constexpr std::uint16_t kCommandTaskList = 12;
inline constexpr std::uint16_t kCommandImageFolderList = 13;
inline constexpr std::uint16_t kCommandImageList = 14;
inline constexpr std::uint16_t kCommandMirrorStart = 15;
inline constexpr std::uint16_t kCommandMirrorTable = 16;
inline constexpr std::uint16_t kCommandMirrorData = 17;
inline constexpr std::uint16_t kCommandMirrorComplete = 18;
inline constexpr std::uint16_t kCommandMirrorAbort = 19; // 32 bytes that declare a payload of 8
inline constexpr std::uint16_t kCommandCheckUser = 20;
inline constexpr std::uint16_t kCommandShareList = 21;
inline constexpr std::uint16_t kCommandCdDriveList = 22;
inline constexpr std::uint16_t kCommandRecord = 23;
inline constexpr std::uint16_t kCommandRecordingStatus = 24;
inline constexpr std::uint16_t kCommandImageTransfer = 29; // sub-code 25 start, 26 data
inline constexpr std::uint16_t kCommandImageComplete = 30;
inline constexpr std::uint16_t kCommandImageAbort = 31; // 32 bytes that declare a payload of 8
inline constexpr std::uint16_t kCommandConvert = 32;
inline constexpr std::uint16_t kCommandDeleteImage = 33;
// Reply command of a set-server request in the domain form (mode 2, and the 460-byte request).
inline constexpr std::uint16_t kSetServerDomainReply = 256;

// Wire record sizes of the lists and fixed blocks.
inline constexpr std::size_t kDiskRecordSize = 170;
inline constexpr std::size_t kVolumeRecordSize = 192;
inline constexpr std::size_t kTaskRecordSize = 96;
inline constexpr std::size_t kImageFolderRecordSize = 128;
inline constexpr std::size_t kImageRecordSize = 196;
inline constexpr std::size_t kShareRecordSize = 616;
inline constexpr std::size_t kCdDriveRecordSize = 52;
inline constexpr std::size_t kRecordingStatusSize = 97; // reply data of the recording status
inline constexpr std::size_t kCdTableSize = 812;
inline constexpr std::size_t kConfigBlockSize = 256; // first block of a configuration file
inline constexpr std::size_t kSha256Size = 32;

// Statuses the unit answers with when it refuses a request by itself (faults can send any).
// No such image, folder or drive; a deletion of 0 or more than 50 images.
inline constexpr std::int16_t kStatusInvalidOption = 4;
inline constexpr std::int16_t kStatusInvalidBlock =
    5; // an image's size differs from its announcement
inline constexpr std::int16_t kStatusInvalidPassword = 6; // wrong digest or configuration password
inline constexpr std::int16_t kStatusImageExists = 10;    // a mirror or transfer of a name held
inline constexpr std::int16_t kStatusInvalidUser = 12;    // unknown account
inline constexpr std::int16_t kStatusNoRecordingJob = 16; // status asked of a writer with no job
// The store (UnitConfig::storeFolder) can't take an image: 14 when it is full (no space, quota,
// file size limit), 13 when it refuses to be written (no permission, read-only, not a folder).
inline constexpr std::int16_t kStatusPermissionDenied = 13;
inline constexpr std::int16_t kStatusNoFreeSpace = 14;

// Builds the host-order address a.b.c.d.
constexpr std::uint32_t Ipv4(unsigned a, unsigned b, unsigned c, unsigned d) {
    return (a & 0xFFu) << 24 | (b & 0xFFu) << 16 | (c & 0xFFu) << 8 | (d & 0xFFu);
}
inline constexpr std::uint32_t kLoopbackBroadcast = Ipv4(127, 255, 255, 255);
constexpr bool IsLoopback(std::uint32_t address) {
    return (address >> 24) == 127;
}
std::string AddressText(std::uint32_t address); // "127.0.0.2"

// A port that is free on every local address at the moment of the call (bound to the wildcard
// address by the kernel and released again).
std::uint16_t FreeTcpPort();
std::uint16_t FreeUdpPort();

// Ways to misbehave. Unless noted, a fault applies to both the UDP and the TCP exchange.
enum class Fault {
    None,
    Refuse,            // TCP: nothing listens on the unit's address, connections are refused
    Stall,             // TCP: the accept queue is full, SYNs are dropped, a connect hangs
    Silence,           // reads requests and never answers; the TCP connection stays open
    CloseAfterRequest, // TCP: reads the request, then closes without answering; UDP: no answer
    Fragment,          // TCP: writes the reply one byte at a time, fragmentPause between bytes
    WrongSignature,    // the reply's 8-byte signature is altered
    WrongVersion,      // the reply's version is 0x0101 instead of 0x0100
    ShortReply,        // only the first shortReplyBytes bytes of the reply are sent
    ForeignSubnet,     // UDP: the reply is sent from foreignAddress instead of the unit's address
    TcpSilence,        // TCP only: reads requests and never answers (discovery is answered)
};
const char* FaultName(Fault fault);

// A misbehaviour for chosen requests of one command. Several fields may be set at once; unset
// fields leave the reply as the unit would send it. Rules are tried in the order they were added;
// the first that matches a request applies to it.
struct CommandFault {
    std::uint16_t command = 0; // the request's command; 0 matches every command
    // Only requests with this sub-code (command 29: 25 start, 26 data).
    std::optional<std::uint32_t> subCode{};
    // 1: the first matching request after the rule was added, 2: the second, ...; 0: every one.
    unsigned occurrence = 0;

    std::optional<std::int16_t> status{};        // replaces the reply's status word (offset 30)
    std::optional<std::uint16_t> replyCommand{}; // replaces the reply's command (offset 24)
    // Replaces the declared data length (offset 36) of a reply with a 40-byte header: shorter or
    // longer than the records that follow ("short" or "inflated" lengths). Records are sent as
    // they are.
    std::optional<std::uint32_t> dataLength{};
    // Replaces the declared payload length (offset 20) of the reply; the bytes are sent as they
    // are, so the header declares more or less than follows it.
    std::optional<std::uint32_t> payloadLength{};
    // Appends this many bytes (0x5A) to the reply, beyond what its header declares.
    std::size_t extraBytes = 0;
    // The texts of list records and of the mirror reply fill their whole field with no
    // terminator: the bytes after a text are 'X' instead of zero.
    bool unterminated = false;
    std::chrono::milliseconds delay{0}; // wait before the reply goes out
    std::size_t fragmentBytes = 0; // send the reply in pieces of this size, fragmentPause apart
    // Send the first n reply bytes, then close the connection.
    std::optional<std::size_t> cutAfter{};
    // Send the first n reply bytes, then nothing more; the connection stays open.
    std::optional<std::size_t> stallAfter{};
    // Read only the first n payload bytes of the request, then stop reading the connection (it
    // stays open until the peer closes it or the unit stops); no reply. A peer that stops reading.
    std::optional<std::size_t> stopReadingAfter{};
    // Send this many 32-byte replies with another command (3, or 256 when the answer is 3) before
    // the answer, as other units answering a broadcast would.
    unsigned strayRepliesFirst = 0;
};

// One image of the unit's image list (196 bytes on the wire; texts cut to their field width).
struct ImageRecord {
    std::uint8_t state = 1;      // wire 0 (1 ready)
    std::uint8_t fileSystem = 1; // wire 1
    std::uint32_t id = 0;        // wire 4: image identifier
    std::uint32_t value8 = 0;    // wire 8
    std::string name;            // wire 12, 32 bytes
    std::string text44;          // wire 44, 32 bytes
    std::uint32_t size = 0;      // wire 76: size in 2048-byte sectors
    std::string path;            // wire 80, 112 bytes: folder name, "/", image name
    std::uint8_t flags = 0;      // wire 192
    std::uint8_t filler = 0;     // written into the unused wire bytes 2-3 and 193-195
};

// One share (616 bytes on the wire).
struct ShareRecord {
    std::string name;                      // wire 0, 32 bytes
    std::string text32;                    // wire 32, 32 bytes
    std::array<std::uint32_t, 8> values{}; // wire 64
    std::string path;                      // wire 104, 512 bytes
    std::uint8_t filler = 0;               // written into the unused wire bytes 96-103
};

// One CD drive of the unit (52 bytes on the wire).
struct CdDriveRecord {
    std::uint32_t typeMask = 0;         // wire 0
    std::string name;                   // wire 4, 44 bytes
    std::array<std::uint8_t, 4> tail{}; // wire 48; tail[0] is the drive number
};

// One step of the scripted recording state of a writer: the recording-status reply after a
// recording request walks through the script one query at a time and stays on its last step.
struct WriterStep {
    std::uint8_t state = 0;      // status byte 20: 0 done, 1-2 waiting, 3-4/9 blanking, 5-8 writing
    std::uint8_t percent = 0;    // status byte 16
    std::uint32_t endReason = 0; // status u32 at 85 (4096 aborted, 15 write error)
    // When not 0, the status bytes no field names (0-3, 8-15, 17-19, 21-84) carry filler + their
    // offset; else they are zero.
    std::uint8_t filler = 0;
};

// What the unit holds and checks. A check against a list applies only while that list is not
// empty (no users: any account; no folders: any folder; no images: any image id; no drives: any
// writer); a password that is not set is not checked. Refusals are replies with a status:
// kStatusInvalidPassword for a wrong administrator or configuration password or a wrong account
// digest, kStatusInvalidUser for an unknown account, kStatusInvalidOption for an unknown folder,
// image id (recording, deletion) or writer (the drive whose tail[0] is the writer number),
// kStatusImageExists for a mirror or transfer of a name the image list holds, kStatusInvalidBlock
// for a transfer completion whose file differs from its announced size, kStatusNoRecordingJob for
// the recording status of a writer with no job. A refused request, or one whose answer a fault
// gives a non-zero status, changes nothing. A completed mirror and each completed transfer file
// add an image (id nextImageId, path folder "/" name); a deletion removes the listed images.
// A set-server request is taken only with the unit's own hardware address (another one is
// refused with kStatusInvalidOption by TCP and goes unanswered by broadcast); values a unit can't
// hold (an empty name, a mask that is not contiguous, ...) are refused with kStatusInvalidOption.
// A request taken stores its name, workgroup (plain form) or extended name (domain form),
// comment, LAN ports, teaming mode (half130), address protocols (word140) and option word in the
// unit's configuration, which later server-information replies report, and its new password as
// the administrator password.
struct UnitState {
    std::vector<Bytes> disks;              // raw records of kDiskRecordSize bytes
    std::vector<Bytes> volumes;            // raw records of kVolumeRecordSize bytes
    std::vector<Bytes> tasks;              // raw records of kTaskRecordSize bytes
    std::uint32_t taskCount = 0;           // task reply offset 40
    std::uint32_t taskValue = 0;           // task reply offset 44
    std::vector<std::string> imageFolders; // each a 128-byte record, the folder name at byte 8
    std::vector<ImageRecord> images;
    std::vector<ShareRecord> shares;
    std::vector<CdDriveRecord> cdDrives;
    std::vector<WriterStep> writerScript{{1, 0, 0}, {5, 50, 0}, {0, 100, 0}};

    std::optional<std::string> adminPassword;  // password check, shut-down, set-server, set config
    std::optional<std::string> configPassword; // configuration read and write
    std::map<std::string, std::string> users;  // accounts: user check and every session request
    Bytes configFile;              // returned by a configuration read (padded to 256 bytes)
    std::uint32_t configValue = 0; // the value that the last configuration write carried
    std::uint32_t nextImageId = 1; // given to the image that a completed mirror or transfer adds
};

// Hashes and digests computed by the simulator's own code.
std::array<std::uint8_t, kSha256Size> Sha256(const std::uint8_t* data, std::size_t size);
std::string Sha256Hex(const Bytes& data); // lower-case hex
// The 16-byte digest a password travels as: MD4 of password + salt + password, cut to 128 bytes.
std::array<std::uint8_t, 16> PasswordDigest(const std::string& password);
// The checksum of an 812-byte CD table: sum of the 99 track starts and the lead-out start, with
// byte 1 ORed into the top byte.
std::uint32_t CdTableChecksum(const Bytes& table);

// Polls condition every few milliseconds until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

struct LanPort {
    std::uint32_t address = 0; // host order
    std::uint32_t mask = 0;
    std::uint32_t gateway = 0;
};

// Everything a unit says about itself, and where and how it runs. Texts are sent as their bytes,
// cut to the field width (a text that fills its field has no terminator).
struct UnitConfig {
    std::uint32_t address = Ipv4(127, 0, 0, 2); // the unit listens and answers from here
    std::uint16_t tcpPort = 0;                  // 0: a free port, read it back with Unit::tcpPort
    std::uint16_t udpPort = 0;                  // 0: a free port, read it back with Unit::udpPort
    // Source of discovery replies under Fault::ForeignSubnet; 0 means 127.0.1.<last byte of
    // address>, which lies outside a 127.0.0.0/24 local network.
    std::uint32_t foreignAddress = 0;

    std::string name;             // 16 bytes
    std::string workgroup;        // 16 bytes
    std::string comment;          // 32 bytes
    std::string extraText;        // 16 bytes, the further text after the workgroup
    std::array<LanPort, 3> lan{}; // addresses, masks and gateways of the three LAN ports
    std::array<std::uint8_t, kHardwareAddressSize> hardwareAddress{}; // the unit's identity
    std::array<std::uint16_t, 4> firmwareVersion{};                   // major, minor, two parts
    std::string firmwareBuild;                                        // 16 bytes
    std::uint32_t optionWord = 0;
    std::uint32_t status = 0;       // state of the unit (0 not ready)
    std::uint32_t capabilities = 0; // capability flags (bit 0: CD mirror and image folders)
    std::int32_t mirrorWord = 0;    // a further word whose bit 0 also announces the mirror
    std::uint32_t encodingKind = 0; // text-encoding kind (1 or 2: names are UTF-8)
    // Values the receiver keeps unchanged, named by their offset in the reply.
    std::uint16_t half130 = 0;
    std::uint32_t word140 = 0;
    std::uint32_t word148 = 0;
    std::uint16_t half160 = 0;
    std::uint16_t half162 = 0;
    std::uint32_t word164 = 0;

    bool extendedReply = false;   // 348-byte reply whose last 64 bytes carry extendedName
    std::string extendedName;     // 64 bytes
    std::int16_t replyStatus = 0; // status word of the server-information reply

    Fault fault = Fault::None; // initial fault, see Unit::setFault
    std::size_t shortReplyBytes = 200;
    std::chrono::milliseconds fragmentPause{1};

    UnitState state;              // lists, passwords and files; see the Unit::set... calls
    bool keepSessionData = true;  // keep the data bytes of sessions in memory (Session::data)
    bool hashSessionData = false; // SHA-256 of each received file (SessionFile::sha256)
    // When not empty, each received image (mirror, image transfer) is written to
    // storeFolder/FOLDER/NAME once it is complete ("NAME.1"... when that name is taken).
    std::string storeFolder;
    // Record every session data block (its header in requests(), its size in blockSizes); a
    // long-running unit leaves them out so that its records don't grow with the data.
    bool recordDataBlocks = true;
    bool logImages = false; // write one line on stdout for each image received
    // Reply command to set-server: 0 answers 256 to the domain form (a 352-byte request with the
    // mode-2 lengths, or the 460-byte request) and 3 otherwise; any other value is sent as it is.
    std::uint16_t setServerReplyCommand = 0;
    bool answersSetServerBroadcast = true; // answer set-server requests that arrive by broadcast
    bool logProblems = false; // also write every problem on stderr, for a person watching
};

// The fixed 32-byte header and, when present, the two words that extend it to 40 bytes.
struct Header {
    bool signatureOk = false; // the 8 bytes at 0 are the protocol's signature
    std::uint16_t version = 0;
    std::uint32_t time = 0;
    std::uint16_t flags = 0;
    std::uint32_t payloadLength = 0;
    std::uint16_t command = 0;
    std::uint16_t one = 0;
    std::int16_t argument = 0; // argument in requests, status in replies
    bool extended = false;     // at least 40 bytes: the two words below are read
    std::uint32_t subCode = 0;
    std::uint32_t dataLength = 0;
};
std::optional<Header> DecodeHeader(const std::uint8_t* data, std::size_t size); // none if < 32

// The reply the unit sends to a server-information request when no fault is set.
std::vector<std::uint8_t> EncodeServerReply(const UnitConfig& config);

enum class Via { Udp, Tcp };

// One message that reached the unit.
struct Request {
    Via via = Via::Udp;
    std::uint32_t from = 0; // sender, host order
    std::uint16_t fromPort = 0;
    std::uint32_t to = 0; // destination: the unit's address, the foreign address or a broadcast
    std::vector<std::uint8_t> bytes;
    std::chrono::steady_clock::time_point when;
    std::optional<Header> header;
    // Empty when the message is well-formed for its command and came in its session order, else
    // why not; such a request gets no answer, and over TCP its connection is closed.
    std::string problem;
};
// Session data blocks (commands 17, and 29 with sub-code 26) are recorded with their 40 header
// bytes only: their data is in Session::data.

enum class SessionKind { Mirror, ImageTransfer };
enum class SessionEnd {
    Open,         // still running
    Completed,    // mirror: confirmed complete; transfer: the last (all-zero) completion confirmed
    Aborted,      // the abort request arrived (abortReason holds its argument)
    Refused,      // the unit refused the start (status != 0) or a step; the connection stays
    Broken,       // a malformed or out-of-order request: the unit recorded a problem and closed
    Disconnected, // the peer closed the connection before complete or abort
};
const char* SessionEndName(SessionEnd end);

// One file that arrived in a session: a mirrored disc, or one image of a transfer.
struct SessionFile {
    std::string name; // mirror: the image name the unit gave; transfer: the file name
    std::uint32_t announcedSize = 0; // transfer: the size announced for it; mirror: 0
    std::uint64_t offset = 0;        // where its bytes start in Session::data
    std::uint64_t size = 0;          // bytes received for it
    bool complete = false;           // its completion was confirmed
    std::string sha256;   // hex digest of its bytes once complete (UnitConfig::hashSessionData)
    std::string storedAs; // its copy under UnitConfig::storeFolder once complete
};

// One mirror or image-transfer session, from its start request on.
struct Session {
    SessionKind kind = SessionKind::Mirror;
    std::uint32_t from = 0;
    std::uint16_t fromPort = 0;
    Bytes startRequest; // data of the start request: 420-byte mirror or 512-byte transfer request
    Bytes table;        // mirror: the 812-byte CD table
    std::vector<std::size_t> blockSizes; // every data block, in order
    Bytes data;                  // every data byte (empty unless UnitConfig::keepSessionData)
    std::uint64_t dataBytes = 0; // number of data bytes received
    std::vector<SessionFile> files;
    std::vector<Bytes> completions; // data of each complete request (333 bytes for a transfer)
    SessionEnd end = SessionEnd::Open;
    std::int16_t abortReason = 0;
    bool peerClosed = false; // the peer closed its side (after the end, or instead of one)
};

// One recording request the unit took.
struct RecordingJob {
    std::string user;
    std::uint32_t imageId = 0;
    std::string imageName;
    std::uint8_t writer = 0;
    std::uint8_t flags = 0;       // as sent, bit 2 included
    std::uint32_t host = 0;       // the requester's address field, host order
    std::uint32_t jobCounter = 0; // the writer's job counter after this request (sent back at 12)
};

// One reply the unit sent (or began to send).
struct Reply {
    Via via = Via::Udp;
    std::uint32_t from = 0; // source address of the reply
    std::uint32_t to = 0;
    std::uint16_t toPort = 0;
    std::uint16_t command = 0;
    std::size_t size = 0;
    std::chrono::steady_clock::time_point when;
};

// One simulated unit. The constructor binds its sockets and starts its thread (it throws
// std::invalid_argument for an address outside 127.0.0.0/8 and std::system_error when a socket
// can't be bound); the destructor stops it and joins every thread.
class Unit {
public:
    explicit Unit(UnitConfig config);
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // As given, with the ports and foreign address in use and the settings that set-server
    // requests stored since.
    UnitConfig config() const;
    std::uint32_t address() const;
    std::uint16_t tcpPort() const;
    std::uint16_t udpPort() const;

    // Changes the behaviour from the next request on; Refuse and Stall close or reopen the TCP
    // listener before setFault returns.
    void setFault(Fault fault);
    Fault fault() const;

    // Snapshots of what the unit received and sent, oldest first.
    std::vector<Request> requests() const;
    std::vector<Request> acks() const; // the requests with command 2
    std::vector<Reply> replies() const;
    void clearRecords(); // requests, replies, problems, sessions and recordings

    // Wait until at least count acknowledgements / requests have arrived, or the time is up.
    bool waitForAcks(std::size_t count, std::chrono::milliseconds timeout) const;
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

    // Sends the unit's announcement (kCommandReady or kCommandOffline: the 284-byte body of its
    // server-information reply with that command) to to:port from the address its replies come
    // from (its own, or the loopback address a set-server request moved it to), as a unit
    // announces itself; it is recorded among replies(). False when it could not be sent;
    // std::invalid_argument for a destination outside 127.0.0.0/8.
    bool announce(std::uint16_t command, std::uint32_t to, std::uint16_t port);

    // Per-command misbehaviour; see CommandFault.
    void addCommandFault(CommandFault rule);
    void clearCommandFaults();

    // The unit's state. Setters apply from the next request on; raw records of the wrong size
    // throw std::invalid_argument.
    UnitState state() const; // snapshot, with what requests changed (images, configuration file)
    void setState(UnitState state);
    void setDisks(std::vector<Bytes> records);
    void setVolumes(std::vector<Bytes> records);
    void setTasks(std::vector<Bytes> records, std::uint32_t count, std::uint32_t value);
    void setImageFolders(std::vector<std::string> names);
    void setImages(std::vector<ImageRecord> images);
    void setShares(std::vector<ShareRecord> shares);
    void setCdDrives(std::vector<CdDriveRecord> drives);
    void setWriterScript(std::vector<WriterStep> steps);
    void setAdminPassword(std::optional<std::string> password);
    void setConfigPassword(std::optional<std::string> password);
    void setUsers(std::map<std::string, std::string> users);
    void setConfigFile(Bytes file);

    // Recorded data, oldest first.
    std::vector<Request> requestsFor(std::uint16_t command) const;
    // The problem of every malformed or out-of-order request, and of every request cut short.
    std::vector<std::string> problems() const;
    std::vector<Session> sessions() const;
    std::vector<RecordingJob> recordings() const;
    Bytes configFile() const; // as the last configuration write stored it (or as set)
    // Wait until at least count sessions have ended (end != Open), or the time is up.
    bool waitForSessionsEnded(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace nassim
