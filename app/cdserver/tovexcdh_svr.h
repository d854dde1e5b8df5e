// TCdhSvr: one CD server as the client knows it: what its discovery reply said, what its status,
// slot, volume, RAID and tape requests returned, and which of its passwords were accepted. Each
// request operation opens a connection, exchanges one request and closes it again.
#pragma once

#include "tovexcdh_frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Result codes of the frame layer (kept in the record's last error).
enum CdhCode : int {
    kCdhOk = 0,
    kCdhPasswordRefused = 6, // commands 9, 17, 18, 19 kind 0
    kCdhChangeRefused = 7,   // command 11, command 19 kind 2
    kCdhSecondRefused = 8,   // command 9 retry, command 19 kind 1
    kCdhNoManager = 9,       // the socket manager could not be created
    kCdhNoSocket = 13,
    kCdhBindFailed = 14,
    kCdhBroadcastFailed = 15,
    kCdhQueryNotSent = 16,
    kCdhReceiveFailed = 17,
    kCdhConnectFailed = 18,
    kCdhReleaseFailed = 19,
    kCdhSendFailed = 21, // also: a password block of an unknown kind
    kCdhBadReply = 22,   // missing, late, short or invalid reply
};

// Flag bits of a record.
inline constexpr std::uint32_t kCdhFlagFirstPassword = 0x01;
inline constexpr std::uint32_t kCdhFlagSecondPassword = 0x02;
inline constexpr std::uint32_t kCdhFlagSeen = 0x80;

struct CdhTapeCatalog {
    std::uint32_t slot = 0;
    std::uint8_t valid = 0;
    std::uint32_t fields[7] = {}; // schedule kind, minute, hour, weekday, day, count, type
    char label[21] = {};
    char names[1000][17] = {};
};

class TCdhSvr {
public:
    TCdhSvr() = default;
    TCdhSvr(const TCdhSvr&) = delete;
    TCdhSvr& operator=(const TCdhSvr&) = delete;

    // Requests. Each returns 0 or a CdhCode and keeps it in LastError.
    int ReadStatus(std::uint8_t* status);                      // 5: 90 bytes, masks recounted
    int ReadSlotInfo(std::uint32_t slot, std::uint8_t* block); // 6: 128 bytes
    // 8: entries of a slot into buffer; size in: the buffer's size, out: the bytes received.
    int ReadSlotEntries(std::uint32_t slot, std::uint8_t* buffer, std::size_t& size);
    // 9: a 56-byte entry change; the digests are put in here.
    int WriteSlotEntries(std::uint32_t slot, std::uint8_t* block, std::size_t length);
    int ReadGroupList(std::uint8_t* buffer, std::size_t& size);     // 10
    int WriteGroupEntries(std::uint8_t* block, std::size_t length); // 11: 54 bytes
    int Restart(std::uint8_t* block);                               // 17: 100-byte password block
    int Shutdown(std::uint8_t* block);                              // 18: 100-byte password block
    int SendPassword(std::uint8_t* block);                          // 19: 100-byte password block
    int ReadVolumeTable();                                          // 26
    int ReadTapeHeader(std::uint32_t slot);                         // 27
    int ReadTapeCatalog(std::uint32_t slot);                        // 28
    int ReadRaidVolumes();                                          // 29

    int LastError = 0;
    std::uint32_t Flags = 0;
    char Password[16] = {};       // accepted administrator password, upper case
    char SecondPassword[16] = {}; // accepted mirror password
    char ThirdPassword[16] = {};  // password accepted for a share folder
    std::uint32_t ValueA = 0;
    std::uint32_t ValueB = 0;
    std::uint32_t Capabilities = 0;
    std::uint32_t FurtherFlags = 0;
    std::uint16_t FirmwareMajor = 0;
    std::uint16_t FirmwareMinor = 0; // shown in hexadecimal: 1.10 is major 1, minor 0x10
    // Texts of the discovery reply, each with room for its terminator.
    char Text[64] = {};
    char FirmwareSuffix[16] = {};
    char Name[19] = {};
    char SecondName[19] = {};
    char Description[45] = {};
    std::uint8_t HardwareAddress[16] = {};
    std::uint8_t IpAddress[16] = {}; // 4 used, network order
    std::uint8_t SubnetMask[16] = {};
    std::uint8_t Gateway[16] = {};

    std::uint8_t Status[kCdhStatusSize] = {};
    std::uint8_t SlotInfo[kCdhSlotCount][kCdhSlotInfoSize] = {};
    // Entries of the slot loaded last, and how many of their bytes arrived.
    std::vector<std::uint8_t> SlotEntries;
    std::size_t SlotEntryBytes = 0;
    std::vector<std::uint8_t> GroupEntries;
    std::size_t GroupEntryBytes = 0;
    std::uint32_t VolumeTableCount = 0;
    std::uint8_t VolumeTable[kCdhVolumeEntries][kCdhVolumeEntrySize] = {};
    std::array<std::uint8_t, kCdhTapeHeaderSize> TapeHeader = {};
    CdhTapeCatalog TapeCatalog;
    std::uint32_t RaidVolumeCount = 0;
    std::uint8_t RaidVolumes[kCdhRaidEntries][kCdhRaidEntrySize] = {};

private:
    struct ReplyPart {
        std::uint8_t* buffer;
        std::size_t capacity;
        int received = -1;
    };
    // Connects, sends one frame, receives partCount reply frames, closes. 0, 9, 13, 18, 19, 21
    // or 22 (a reply part that could not be read).
    int Exchange(std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                 ReplyPart* parts, std::size_t partCount);
    // A request whose reply is a u32 status: 0 accepted, 1 refused, or a failure code.
    int StatusExchange(std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                       bool& accepted);
    // Reads a list reply of up to size bytes into buffer; size out: the bytes received.
    int ReadList(std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                 std::uint8_t* buffer, std::size_t& size);
    // Reads a table of up to capacity bytes and hands what arrived to apply.
    using TableApply = void (*)(TCdhSvr&, const std::uint8_t*, std::size_t);
    int ReadTable(std::uint16_t command, std::size_t capacity, TableApply apply);
    // Sends a 100-byte password block whose status decides the administrator password.
    int PasswordCommand(std::uint16_t command, std::uint8_t* block);
    // Keeps text in kept and sets flag when accepted; clears flag and returns refused if not.
    int SettlePassword(bool accepted, const char* text, std::uint32_t flag, char* kept,
                       int refused);
    int Keep(int code) { return LastError = code; }
};
