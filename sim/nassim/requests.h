// The layouts of the requests a unit receives, with their checks. Each Decode function returns an
// empty text when the request is well-formed for its command, else what is wrong with it; the
// fields it returns are valid only then. Offsets of session request data count from byte 40.
#pragma once

#include "nassim.h"

#include <array>
#include <string>

namespace nassim::requests {

using Digest = std::array<std::uint8_t, 16>;

// Payload bytes that follow the 32-byte header on the wire, which differ from the declared
// length for three requests: an abort declares 8 and sends none; a 352-byte set-server request
// declares 256 for its modes 0 and 1; a configuration write of a file under 256 bytes still
// sends a whole first block of 256.
std::uint32_t PayloadOnWire(const Header& h);

struct Password {
    std::uint16_t length = 0;
    Digest digest{};
};
struct Account {
    std::string user;
    Digest digest{};
};

struct Admin { // password check (6) and shut-down (7)
    Password admin;
    std::int16_t argument = 0;
};
struct ConfigRead {
    std::string password; // decoded
};
struct ConfigWrite {
    Password admin;
    std::string password; // decoded configuration password
    std::uint32_t value = 0;
    Bytes file;
};
struct SetServer {
    Password admin;
    std::string newPassword; // decoded
    bool domainForm = false; // mode-2 lengths, or the 460-byte request
    // The settings a unit stores. Texts as sent, read up to their field's width; the workgroup
    // comes in the plain form only, the extended (domain) name in the domain form only.
    std::string name, workgroup, comment, extendedName;
    std::array<LanPort, 3> lan{};                                     // host order
    std::array<std::uint8_t, kHardwareAddressSize> hardwareAddress{}; // the unit it is meant for
    std::uint16_t teamingMode = 0;
    std::uint32_t addressFlags = 0; // 0x10 BOOTP, 0x20 RARP, 0x40 DHCP
    std::uint32_t optionWord = 0;   // bit 0: domain mode
};
struct MirrorStart {
    Account account;
    std::uint32_t checksum = 0;
    std::string folder;
    std::string imageName;
};
struct TransferStart {
    Account account;
    std::string folder;
    std::string fileName;
    std::uint32_t number = 0, size = 0, count = 0;
};
struct TransferDone {
    std::string nextName;
    std::uint32_t further = 0;
    std::uint32_t nextSize = 0;
    bool allZero = false;
};
struct Convert {
    Account account;
    std::string folder;
};
struct Delete {
    Account account;
    std::uint32_t count = 0;             // as sent; the unit takes at most 50
    std::vector<std::uint32_t> imageIds; // the first min(count, 50) identifiers
};
struct Record {
    Account account;
    std::uint32_t imageId = 0;
    std::string imageName;
    std::uint8_t writer = 0;
    std::uint8_t flags = 0;
    std::uint32_t host = 0; // host order
};
struct RecordingQuery {
    std::uint32_t job0 = 0, job1 = 0;
};

std::string CheckList(const Bytes& b, const Header& h); // the bare 32-byte list request
std::string CheckAbort(const Bytes& b, const Header& h);
// A session request: header, sub-header with sub-code and data length, data of size bytes (any
// size when size is none).
std::string CheckSession(const Bytes& b, const Header& h, std::uint32_t subCode,
                         std::optional<std::size_t> size);

std::string DecodeAdmin(const Bytes& b, const Header& h, Admin& out);
std::string DecodeConfigRead(const Bytes& b, const Header& h, ConfigRead& out);
std::string DecodeConfigWrite(const Bytes& b, const Header& h, ConfigWrite& out);
std::string DecodeSetServer(const Bytes& b, const Header& h, SetServer& out);
// Why a unit refuses the values of a well-formed set-server request (a missing or malformed
// text, a mask that is not contiguous, a gateway outside its network, an unknown teaming mode, a
// password too long), or an empty text. utf8: the unit keeps its texts in UTF-8.
std::string SetServerRefusal(const SetServer& s, bool utf8);
std::string DecodeUserCheck(const Bytes& b, const Header& h, Account& out);
std::string DecodeMirrorStart(const Bytes& b, const Header& h, MirrorStart& out);
std::string DecodeMirrorTable(const Bytes& b, const Header& h);
std::string DecodeTransferStart(const Bytes& b, const Header& h, TransferStart& out);
std::string DecodeTransferDone(const Bytes& b, const Header& h, TransferDone& out);
std::string DecodeConvert(const Bytes& b, const Header& h, Convert& out);
std::string DecodeDelete(const Bytes& b, const Header& h, Delete& out);
std::string DecodeRecord(const Bytes& b, const Header& h, Record& out);
std::string DecodeRecordingQuery(const Bytes& b, const Header& h, RecordingQuery& out);

} // namespace nassim::requests
