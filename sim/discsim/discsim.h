// A simulated optical drive for tests, benchmarks and demonstrations.
//
// A Drive answers MMC command blocks the way an ATAPI CD/DVD/BD drive does: execute() takes the
// command block, the data direction and the caller's buffer, and returns a Completion with the
// SCSI status byte, fixed-format sense data and the number of bytes transferred. It holds one disc
// (or none), keeps a log of every command block it received and can be told to misbehave: sense
// conditions on chosen commands, read errors on chosen sectors, delays through an injectable
// sleeper, a becoming-ready period, unit attention after a disc change and commands that never
// complete until they are aborted.
//
// The simulator encodes every reply itself from the command set's byte layouts and shares no code
// with the program, so a layout error on either side shows as a failing test. Standard library
// only.
//
// Commands answered: INQUIRY (12h), TEST UNIT READY (00h), MODE SENSE(6) (1Ah) and (10) (5Ah) with
// the capabilities page 2Ah, GET CONFIGURATION (46h), READ CAPACITY (25h), READ TOC (43h) formats
// 0, 1 and 2 (format in byte 2 bits 0-3, or in byte 9 bits 6-7 when byte 2 is 0), READ TRACK
// INFORMATION (52h), READ DISC STRUCTURE (ADh), READ(10) (28h), READ CD (BEh), START STOP UNIT
// (1Bh) and PREVENT ALLOW MEDIUM REMOVAL (1Eh). Anything else is a check condition with sense
// 5/20/00 (illegal request, invalid command operation code). The LUN bits of byte 1 are ignored.
//
// Replies honour the allocation length of the command block and the buffer length: the reply is
// cut to the smaller of the two and the declared lengths inside it stay those of the whole reply.
//
// Raw-image description file (".disc"), a line-oriented text file; '#' starts a comment:
//
//     image <file>                     raw 2352-byte sectors; a relative path is taken from the
//                                      folder of the description file
//     session <n> [cdda|cdi|xa]        starts session n (1, 2, ... in order); the word is the disc
//                                      type of the session's TOC (default: xa when the session has
//                                      a mode2 track, else cdda)
//     track <n> audio|mode1|mode2 <lba> starts track n (consecutive numbers 1..99) at LBA lba
//     leadout <lba>                    ends the current session: the first LBA after its last track
//
// The image holds the sectors of every track back to back in track order: track n occupies
// (start of the next track, or the session's lead-out) - (its start) sectors. Sessions may leave
// gaps between them (lead-out and lead-in areas); these are not stored. The image size must equal
// the sum of the track lengths times 2352. Mode2 tracks hold CD-XA sectors (form 1 or form 2 by
// the subheader's submode byte). Sectors are returned as stored: READ CD delivers the stored raw
// bytes, READ(10) their user data.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace discsim {

inline constexpr std::size_t kSenseSize = 18;       // fixed-format sense data, response code 70h
inline constexpr std::size_t kRawSectorSize = 2352; // a whole CD sector
inline constexpr std::size_t kUserDataSize = 2048;  // mode 1 / mode 2 form 1 user data
inline constexpr std::size_t kForm2UserDataSize = 2324;
inline constexpr std::uint32_t kMsfOffset = 150;         // MSF 00:02:00 is LBA 0
inline constexpr std::uint32_t kFirstSessionGap = 11400; // lead-out + lead-in + pregap, session 1
inline constexpr std::uint32_t kNextSessionGap = 6900;   // the same after every later session

inline constexpr std::uint8_t kStatusGood = 0x00;
inline constexpr std::uint8_t kStatusCheckCondition = 0x02;
inline constexpr std::uint8_t kStatusBusy = 0x08;

// Profiles (GET CONFIGURATION).
inline constexpr std::uint16_t kProfileNone = 0x0000;
inline constexpr std::uint16_t kProfileCdRom = 0x0008;
inline constexpr std::uint16_t kProfileCdR = 0x0009;
inline constexpr std::uint16_t kProfileCdRw = 0x000A;
inline constexpr std::uint16_t kProfileDvdRom = 0x0010;
inline constexpr std::uint16_t kProfileDvdRSequential = 0x0011;
inline constexpr std::uint16_t kProfileDvdRam = 0x0012;
inline constexpr std::uint16_t kProfileDvdPlusRw = 0x001A;
inline constexpr std::uint16_t kProfileDvdPlusR = 0x001B;
inline constexpr std::uint16_t kProfileBdRom = 0x0040;
inline constexpr std::uint16_t kProfileBdRSequential = 0x0041;
inline constexpr std::uint16_t kProfileBdRRandom = 0x0042;
inline constexpr std::uint16_t kProfileBdRe = 0x0043;

enum class Direction { None, In, Out };

// The outcome of one command block.
struct Completion {
    std::uint8_t status = kStatusGood;
    std::array<std::uint8_t, kSenseSize> sense{}; // all zero unless status is check condition
    std::size_t transferred = 0;                  // bytes written into the caller's buffer
    bool aborted = false; // a command held by a hang fault, released by Drive::abortPending
    std::uint8_t senseKey() const { return sense[2] & 0x0F; }
    std::uint8_t asc() const { return sense[12]; }
    std::uint8_t ascq() const { return sense[13]; }
};

enum class TrackMode : std::uint8_t {
    Audio, // CD-DA, 2352 bytes of samples, control nibble 0
    Mode1, // 2048 bytes of user data, control nibble 4
    Mode2, // CD-XA mode 2 (form 1 unless the subheader says form 2), control nibble 4
};

// Disc type of a CD session, as the TOC's A0h descriptor carries it (PSEC).
enum class SessionFormat : std::uint8_t { CdDaOrRom = 0x00, CdI = 0x10, CdXa = 0x20 };

enum class MediumKind { Cd, Dvd, Bd };

struct Track {
    std::uint8_t number = 1;
    TrackMode mode = TrackMode::Mode1;
    std::uint32_t start = 0; // LBA of the first sector (index 1)
    bool form2 = false;      // Mode2 only: sectors not stored come out as form 2 (video) sectors
};

struct Session {
    std::uint8_t number = 1;
    SessionFormat format = SessionFormat::CdDaOrRom;
    std::vector<Track>
        tracks; // ascending; a track ends where the next one (or the lead-out) starts
    std::uint32_t leadOut = 0; // first LBA after the session's last track
};

// Texts of the ISO 9660 primary volume descriptor the builders write at LBA 16 of a data session
// (and the terminator at 17). Texts longer than their field are cut.
struct VolumeInfo {
    std::string volumeId = "SIMULATED_DISC"; // 32 bytes at user-data offset 40
    std::string systemId;                    // 32 bytes at offset 8
    std::string preparerId;                  // 128 bytes at offset 446
    std::string applicationId;               // 128 bytes at offset 574
    bool xaSignature = false;                // "CD-XA001" at offset 1024
    bool udfRecognition = false;             // "BEA01", "NSR02", "TEA01" at LBA 18, 19, 20
};

class ImageFile; // an open image file, shared by the copies of a Disc

struct Disc {
    MediumKind kind = MediumKind::Cd;
    std::vector<Session> sessions; // every medium kind: DVD and BD discs have one track per session
    std::uint16_t profile = kProfileCdRom; // current profile while the disc is loaded
    // MODE SENSE header byte 2 while the disc is loaded; the builders set 01h (data), 02h (audio),
    // 03h (data and audio) for CDs and 00h for DVDs and BDs.
    std::uint8_t mediumType = 0x01;
    // DVD: number of layers (1 or 2), opposite track path, sectors on layer 0.
    std::uint8_t layers = 1;
    bool oppositeTrackPath = false;
    std::uint32_t layer0Sectors = 0;
    // In-memory contents by LBA: the user data of a data sector (2048 bytes, 2324 in a form 2
    // track), the 2352 bytes of an audio sector; shorter entries are padded with zeros. Sectors not
    // present read as PatternByte(lba, offset) over the user data (or the whole audio sector).
    std::map<std::uint32_t, std::vector<std::uint8_t>> sectors;
    std::shared_ptr<ImageFile> image; // set by the loaders; takes precedence over `sectors`

    std::uint32_t capacity() const; // last session's lead-out (READ CAPACITY's last LBA + 1)
    const Track* findTrack(std::uint32_t lba, std::uint32_t* end = nullptr) const;
};

// Contents of sectors that a disc does not store.
std::uint8_t PatternByte(std::uint32_t lba, std::size_t offset);

// Builders. Track lengths are in sectors; consecutive tracks of one session touch. Data sessions
// get a primary volume descriptor at their start + 16 (multi-session: the volume id gets "_<n>"
// added).
Disc MakeDataCd(std::uint32_t sectors = 3000, VolumeInfo volume = {});
Disc MakeAudioCd(const std::vector<std::uint32_t>& trackLengths = {4500, 6000, 3000});
// One session: a mode 1 data track, then audio tracks.
Disc MakeMixedModeCd(std::uint32_t dataSectors = 3000,
                     const std::vector<std::uint32_t>& audioLengths = {4500, 3000});
// One session, format CD-XA, one mode 2 track with the XA signature in its volume descriptor.
Disc MakeXaCd(std::uint32_t sectors = 3000, VolumeInfo volume = {});
// CD-XA: a mode 2 data track (system id "CD-RTOS CD-BRIDGE", application id
// "CDI/CDI_VCD.APP;1") followed by mode 2 form 2 video tracks.
Disc MakeVideoCd(std::uint32_t dataSectors = 600,
                 const std::vector<std::uint32_t>& videoLengths = {4500});
// Two sessions: audio tracks, then (after kFirstSessionGap) one mode 2 data track, format CD-XA.
Disc MakeCdExtra(const std::vector<std::uint32_t>& audioLengths = {4500, 3000},
                 std::uint32_t dataSectors = 2000, VolumeInfo volume = {});
// One data track per session, sessions separated by the usual gaps. Mode2 makes CD-XA sessions.
Disc MakeMultiSessionCd(const std::vector<std::uint32_t>& sessionSectors = {2000, 1500},
                        TrackMode mode = TrackMode::Mode1, VolumeInfo volume = {});
// Any CD layout; data sessions get their volume descriptors, mediumType follows the track modes.
Disc MakeCd(std::vector<Session> sessions, VolumeInfo volume = {});
// DVD-ROM, one track; two layers split the sectors evenly unless layer0Sectors is given.
Disc MakeDvd(std::uint32_t sectors = 100000, std::uint8_t layers = 1,
             bool oppositeTrackPath = false, VolumeInfo volume = {},
             std::uint32_t layer0Sectors = 0);
Disc MakeBd(std::uint32_t sectors = 200000, VolumeInfo volume = {});

// Loaders. On failure they return nothing and put a clear message into *error (when given).
std::optional<Disc> LoadIsoImage(const std::string& path, std::string* error = nullptr); // 1 track
std::optional<Disc> LoadRawImage(const std::string& descriptionPath, std::string* error = nullptr);
// ".iso" (any case) as an ISO image, anything else as a raw-image description.
std::optional<Disc> LoadImage(const std::string& path, std::string* error = nullptr);

// What the drive says about itself.
struct DriveConfig {
    std::string vendor = "SIMDISC";        // INQUIRY bytes 8-15, blank padded
    std::string product = "OPTICAL DRIVE"; // bytes 16-31
    std::string revision = "1.00";         // bytes 32-35
    std::uint8_t deviceType = 5;           // byte 0 bits 0-4
    bool removable = true;                 // byte 1 bit 7
    std::uint8_t versionByte = 0x00;       // byte 2
    std::uint8_t formatByte = 0x02;        // byte 3 (response data format 2)
    std::uint8_t flagsByte = 0x00; // byte 7 (RelAdr, WBus32, WBus16, Sync, Linked, CmdQue, SftRe)
    // Profiles of the profile-list feature, in this order; a disc whose profile is missing is an
    // incompatible medium (2/30/00).
    std::vector<std::uint16_t> profiles = {
        kProfileCdRom,          kProfileCdR,       kProfileCdRw,     kProfileDvdRom,
        kProfileDvdRSequential, kProfileDvdPlusRw, kProfileDvdPlusR, kProfileBdRom,
        kProfileBdRSequential,  kProfileBdRRandom, kProfileBdRe};
    // Capabilities page 2Ah.
    bool dvdRomRead = true;            // byte 2 bit 3
    bool mode2Form1 = true;            // byte 4 bit 4
    bool mode2Form2 = true;            // byte 4 bit 5
    bool multiSession = true;          // byte 4 bit 6
    bool cddaCommands = true;          // byte 5 bit 0
    bool lockSupported = true;         // byte 6 bit 0 (bit 1 shows the current lock)
    bool ejectSupported = true;        // byte 6 bit 3
    std::uint8_t loadingMechanism = 1; // byte 6 bits 5-7 (1 tray)
    // The full TOC (READ TOC format 2) answers track numbers (POINT 01h-99h, A0h/A1h PMIN) and
    // every MSF field in BCD, as some drives do; formats 0 and 1 stay binary.
    bool tocInBcd = false;
};

// One entry of the command log.
struct LoggedCommand {
    std::vector<std::uint8_t> cdb;
    Direction direction = Direction::None;
    std::size_t bufferLength = 0;
};

// A condition answered in place of a command's normal reply.
struct Fault {
    int opcode = -1;                              // the command it applies to; -1 every command
    std::uint8_t status = kStatusCheckCondition;  // e.g. kStatusBusy
    std::uint8_t senseKey = 0, asc = 0, ascq = 0; // with check condition
    unsigned count = 1; // matching commands it answers; 0 every one, for ever
};

enum class TrayState { Open, ClosedEmpty, ClosedLoaded };

using Sleeper = std::function<void(std::chrono::milliseconds)>;
// Sees every data-in reply (for a failed read, the sectors delivered before the failure) before it
// is cut to the allocation length, and may change it: a damaged TOC, an odd configuration. Called
// without the drive's lock held.
using ReplyFilter =
    std::function<void(const std::vector<std::uint8_t>& cdb, std::vector<std::uint8_t>& reply)>;

class Drive {
public:
    // The tray is closed; a disc given here is loaded and ready, without unit attention. A disc
    // with no session, an empty session or sessions out of order reads as an incompatible medium.
    explicit Drive(std::optional<Disc> disc = std::nullopt, DriveConfig config = {});
    ~Drive(); // releases held commands (they complete as aborted)
    Drive(const Drive&) = delete;
    Drive& operator=(const Drive&) = delete;

    // Runs one command block (bytes past the 16th are ignored, and not logged). The reply goes
    // into buffer (at most bufferLength bytes, only with Direction::In). Safe to call from several
    // threads at once.
    Completion execute(const std::uint8_t* cdb, std::size_t cdbLength, Direction direction,
                       std::uint8_t* buffer, std::size_t bufferLength);

    const DriveConfig& config() const { return config_; }

    // Tray and disc, as an operator would handle them.
    TrayState trayState() const;
    bool locked() const; // PREVENT ALLOW MEDIUM REMOVAL state
    bool openTray();     // eject button: false (nothing happens) while the medium is locked
    void closeTray();    // loads the disc in the tray, if any (unit attention 6/28/00)
    // Puts a disc in the tray (replacing any) or takes it out (nullopt). With the tray closed this
    // is a disc change: a new disc raises unit attention 6/28/00.
    void setDisc(std::optional<Disc> disc);
    bool hasDisc() const;

    // Faults.
    void injectFault(const Fault& fault);     // rules are checked in the order given
    void addReadError(std::uint32_t lba);     // READ(10)/READ CD over lba: 3/11/00
    void setBecomingReady(unsigned commands); // the next medium commands answer 2/04/01
    // Unit attention (key 6) for the next command; INQUIRY and GET CONFIGURATION neither report
    // nor clear it.
    void raiseUnitAttention(std::uint8_t asc, std::uint8_t ascq);
    void setDelay(int opcode, std::chrono::milliseconds delay); // -1 every command
    void setSleeper(Sleeper sleeper); // default: std::this_thread::sleep_for
    void setReplyFilter(ReplyFilter filter);
    // The next `count` commands with this opcode (-1 any) block until abortPending() is called or
    // the drive is destroyed; they then complete with aborted set and nothing transferred.
    void hangCommands(int opcode, unsigned count = 1);
    void abortPending();
    std::size_t pendingCount() const; // commands currently held
    void clearFaults();               // faults, read errors, delays, hangs, becoming ready

    std::vector<LoggedCommand> commandLog() const;
    void clearLog();

private:
    struct Answer;
    Answer answer(const std::vector<std::uint8_t>& cdb, std::size_t capacity); // lock held
    Answer answerRead(const std::vector<std::uint8_t>& cdb, std::size_t capacity);
    bool mediumPresent() const;

    DriveConfig config_;
    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::optional<Disc> disc_;
    bool trayOpen_ = false;
    bool locked_ = false;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> unitAttention_;
    unsigned becomingReady_ = 0;
    std::vector<Fault> faults_;
    std::set<std::uint32_t> readErrors_;
    std::map<int, std::chrono::milliseconds> delays_;
    Sleeper sleeper_;
    ReplyFilter filter_;
    std::vector<std::pair<int, unsigned>> hangs_;
    std::size_t pending_ = 0;
    std::uint64_t abortGeneration_ = 0;
    bool closing_ = false;
    std::vector<LoggedCommand> log_;
};

} // namespace discsim
