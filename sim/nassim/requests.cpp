#include "requests.h"

#include "base64.h"
#include "records.h"
#include "wire.h"

#include <algorithm>

namespace nassim::requests {

using wire::GetU16;
using wire::GetU32;

namespace {

// Sub-codes.
constexpr std::uint32_t kSubSetServer = 2, kSubAdmin = 3, kSubConfigWrite = 5, kSubConfigRead = 6,
                        kSubMirrorStart = 13, kSubMirrorTable = 14, kSubUser = 16, kSubRecord = 19,
                        kSubRecordingQuery = 20, kSubTransferStart = 25, kSubTransferData = 26,
                        kSubConvert = 27, kSubDelete = 28;

// Password check and shut-down (60 bytes).
constexpr std::size_t kAdminSize = 60, kAdminZero = 40, kAdminLength = 42, kAdminDigest = 44;
static_assert(kAdminDigest + 16 == kAdminSize);

// Configuration read (106 bytes).
constexpr std::size_t kConfigReadSize = 106, kConfigReadLength = 40, kConfigReadText = 42;
static_assert(kConfigReadText + 64 == kConfigReadSize);

// Configuration write record (130 bytes), then the file.
constexpr std::size_t kConfigWriteRecord = 130, kConfigWriteZero = 40, kConfigWriteAdminLength = 42,
                      kConfigWriteDigest = 44, kConfigWriteLength = 60, kConfigWriteText = 62,
                      kConfigWriteValue = 126;
constexpr std::uint32_t kConfigWritePayloadExtra = 98, kConfigWriteDataExtra = 90;
static_assert(kConfigWriteText + 64 == kConfigWriteValue);
static_assert(kConfigWriteValue + 4 == kConfigWriteRecord);
static_assert(kHeaderSize + kConfigWritePayloadExtra == kConfigWriteRecord);

// Set-server (352 bytes; 460 with the credentials block).
constexpr std::size_t kSetServerSize = 352, kSetServerDomainSize = 460, kSetServerAdminLength = 40,
                      kSetServerDigest = 42, kSetServerNewLength = 58, kSetServerNewText = 60,
                      kSetServerHardware = 124, kSetServerTeaming = 142, kSetServerGap = 148,
                      kSetServerFlags = 152, kSetServerOptions = 156, kSetServerComment = 172,
                      kSetServerAddresses = 204, kSetServerGateways = 216, kSetServerMasks = 228,
                      kSetServerName = 240, kSetServerWorkgroup = 256, kSetServerZero = 272,
                      kSetServerExtendedName = 288;
constexpr std::size_t kSetServerNameWidth = 16, kSetServerCommentWidth = 32,
                      kSetServerExtendedNameWidth = 64, kSetServerPasswordMax = 15;
constexpr std::uint16_t kTeamingModes = 4; // fault tolerance, load balancing, aggregation, alone
constexpr std::uint32_t kSetServerPayload = 256, kSetServerData = 248,
                        kSetServerDomainPayload = 320, kSetServerDomainData = 312,
                        kSetServerLongPayload = 428;
static_assert(kSetServerNewText + 64 == kSetServerHardware);
static_assert(kSetServerHardware + kHardwareAddressSize == kSetServerTeaming);
static_assert(kSetServerComment + kSetServerCommentWidth == kSetServerAddresses);
static_assert(kSetServerAddresses + 12 == kSetServerGateways &&
              kSetServerGateways + 12 == kSetServerMasks);
static_assert(kSetServerMasks + 12 == kSetServerName);
static_assert(kSetServerName + kSetServerNameWidth == kSetServerWorkgroup);
static_assert(kSetServerExtendedName + kSetServerExtendedNameWidth == kSetServerSize);
static_assert(kHeaderSize + kSetServerDomainPayload == kSetServerSize);
static_assert(kHeaderSize + kSetServerLongPayload == kSetServerDomainSize);

// Session request data, offsets from the start of the data.
constexpr std::size_t kUserSize = 52, kAccountUser = 0, kAccountDigest = 32, kAccountZero = 48;
constexpr std::size_t kMirrorSize = 420, kMirrorChecksum = 52, kMirrorFolder = 56,
                      kMirrorImageName = 212, kMirrorZero = 284, kMirrorMode = 286;
constexpr std::size_t kTransferSize = 512, kTransferFolder = 56, kTransferFile = 168,
                      kTransferNumber = 233, kTransferBytes = 237, kTransferCount = 241,
                      kTransferEnd = 245;
constexpr std::size_t kDoneSize = 333, kDoneName = 0, kDoneNameEnd = 64, kDoneFurther = 65,
                      kDoneNextSize = 69, kDoneEnd = 73;
constexpr std::size_t kConvertSize = 200, kConvertFolder = 52, kConvertEnd = 164;
constexpr std::size_t kDeleteSize = 512, kDeleteCount = 52, kDeleteIds = 56, kDeleteEnd = 256;
constexpr std::uint32_t kDeleteMaxIds = 50;
static_assert(kDeleteIds + 4 * kDeleteMaxIds == kDeleteEnd);
constexpr std::size_t kRecordSize = 96, kRecordId = 52, kRecordName = 56, kRecordWriter = 88,
                      kRecordFlags = 89, kRecordHost = 90, kRecordEnd = 94;
constexpr std::size_t kQuerySize = 32;
constexpr std::size_t kTableCount = 1, kTableEnd = 810;
static_assert(kMirrorFolder + 112 == 168 && kMirrorImageName + 32 == 244);
static_assert(kTransferFolder + 112 == kTransferFile && kTransferFile + 65 == kTransferNumber);
static_assert(kDoneNextSize + 4 == kDoneEnd && kConvertFolder + 112 == kConvertEnd);
static_assert(kRecordName + 32 == kRecordWriter && kRecordHost + 4 == kRecordEnd);
static_assert(kTableEnd + 2 == kCdTableSize);

constexpr std::uint8_t kRecordFlagAlways = 0x04, kRecordFlagsSent = 0x03;

std::string Mismatch(const char* field, long long got, long long want) {
    return std::string(field) + " is " + std::to_string(got) + ", expected " + std::to_string(want);
}

std::string Offset(std::size_t off) {
    return std::to_string(off);
}

// The header fields every request shares: signature, version, the word at 26 and the flags.
std::string CheckBase(const Header& h, std::uint16_t flags) {
    if (!h.signatureOk) return "bad signature";
    if (h.version != wire::kVersion) return Mismatch("version", h.version, wire::kVersion);
    if (h.one != 1) return Mismatch("word at 26", h.one, 1);
    if (h.flags != flags) return Mismatch("flags", h.flags, flags);
    return {};
}

// Fixed size, header, payload and extended fields of a request with data.
std::string CheckFixed(const Bytes& b, const Header& h, std::size_t size, std::uint32_t subCode,
                       std::optional<std::int16_t> argument) {
    if (b.size() != size) return Mismatch("size", static_cast<long long>(b.size()), size);
    std::string p = CheckBase(h, 1);
    if (!p.empty()) return p;
    if (h.payloadLength != size - kHeaderSize)
        return Mismatch("payload length", h.payloadLength, size - kHeaderSize);
    if (argument && h.argument != *argument) return Mismatch("argument", h.argument, *argument);
    if (h.subCode != subCode) return Mismatch("sub-code", h.subCode, subCode);
    if (h.dataLength != size - kExtendedHeaderSize)
        return Mismatch("data length", h.dataLength, size - kExtendedHeaderSize);
    return {};
}

// Bytes [from, to) of p must be zero.
std::string Zero(const std::uint8_t* p, std::size_t from, std::size_t to, const char* where) {
    for (std::size_t i = from; i < to; ++i)
        if (p[i] != 0)
            return std::string(where) + " byte " + Offset(i) + " is " + std::to_string(p[i]) +
                   ", expected 0";
    return {};
}

// A text that the requester writes zero-terminated into a zeroed field of width bytes (a text
// that fills the field has no terminator); the bytes after the terminator must stay zero.
std::string Base64Field(const std::uint8_t* p, std::size_t width, std::uint16_t length,
                        const char* where, std::string& out) {
    const std::string text = records::TextAt(p, width);
    std::string problem = Zero(p, text.size(), width, where);
    if (!problem.empty()) return problem;
    const auto decoded = crypto::Base64Decode(text);
    if (!decoded) return std::string(where) + " is not Base64: \"" + text + "\"";
    if (decoded->size() != length)
        return std::string(where) + " decodes to " + std::to_string(decoded->size()) +
               " bytes, its length field says " + std::to_string(length);
    out.assign(decoded->begin(), decoded->end());
    return {};
}

Password PasswordAt(const std::uint8_t* p, std::size_t length_off, std::size_t digest_off) {
    Password out;
    out.length = GetU16(p + length_off);
    std::copy_n(p + digest_off, 16, out.digest.begin());
    return out;
}

Account AccountAt(const std::uint8_t* d) {
    Account a;
    a.user = records::TextAt(d + kAccountUser, 32);
    std::copy_n(d + kAccountDigest, 16, a.digest.begin());
    return a;
}

} // namespace

std::uint32_t PayloadOnWire(const Header& h) {
    if ((h.command == kCommandMirrorAbort || h.command == kCommandImageAbort) &&
        h.payloadLength == 8)
        return 0;
    if (h.command == kCommandSetServer && h.flags == 1 && h.payloadLength == kSetServerPayload)
        return kSetServerDomainPayload;
    if (h.command == kCommandSetConfig && h.payloadLength >= kConfigWritePayloadExtra) {
        const std::uint32_t file = h.payloadLength - kConfigWritePayloadExtra;
        if (file < kConfigBlockSize) return h.payloadLength + (kConfigBlockSize - file);
    }
    return h.payloadLength;
}

std::string CheckList(const Bytes& b, const Header& h) {
    if (b.size() != kHeaderSize)
        return Mismatch("size", static_cast<long long>(b.size()), kHeaderSize);
    std::string p = CheckBase(h, 1);
    if (!p.empty()) return p;
    if (h.payloadLength != 0) return Mismatch("payload length", h.payloadLength, 0);
    if (h.argument != 0) return Mismatch("argument", h.argument, 0);
    return {};
}

std::string CheckAbort(const Bytes& b, const Header& h) {
    if (b.size() != kHeaderSize)
        return Mismatch("size", static_cast<long long>(b.size()), kHeaderSize);
    std::string p = CheckBase(h, 1);
    if (!p.empty()) return p;
    // Units take the abort as it has always been sent: a bare header that declares 8 bytes.
    if (h.payloadLength != 8) return Mismatch("payload length", h.payloadLength, 8);
    return {};
}

std::string CheckSession(const Bytes& b, const Header& h, std::uint32_t subCode,
                         std::optional<std::size_t> size) {
    if (b.size() < kExtendedHeaderSize)
        return Mismatch("size", static_cast<long long>(b.size()), kExtendedHeaderSize);
    std::string p = CheckBase(h, 1);
    if (!p.empty()) return p;
    if (h.argument != 0) return Mismatch("argument", h.argument, 0);
    if (h.subCode != subCode) return Mismatch("sub-code", h.subCode, subCode);
    if (h.payloadLength != h.dataLength + 8)
        return Mismatch("payload length", h.payloadLength, h.dataLength + 8LL);
    if (b.size() != kExtendedHeaderSize + h.dataLength)
        return Mismatch("size", static_cast<long long>(b.size()),
                        kExtendedHeaderSize + static_cast<long long>(h.dataLength));
    if (size && h.dataLength != *size) return Mismatch("data length", h.dataLength, *size);
    return {};
}

std::string DecodeAdmin(const Bytes& b, const Header& h, Admin& out) {
    std::string p = CheckFixed(b, h, kAdminSize, kSubAdmin,
                               h.command == kCommandCheckPassword ? std::optional<std::int16_t>(0)
                                                                  : std::nullopt);
    if (p.empty()) p = Zero(b.data(), kAdminZero, kAdminLength, "request");
    if (!p.empty()) return p;
    out.admin = PasswordAt(b.data(), kAdminLength, kAdminDigest);
    out.argument = h.argument;
    return {};
}

std::string DecodeConfigRead(const Bytes& b, const Header& h, ConfigRead& out) {
    std::string p = CheckFixed(b, h, kConfigReadSize, kSubConfigRead, 0);
    if (!p.empty()) return p;
    const std::uint8_t* field = b.data() + kConfigReadText;
    // The text carries its terminator: it can't fill the 64-byte field.
    if (std::find(field, field + 64, 0) == field + 64) return "password text is not terminated";
    return Base64Field(field, 64, GetU16(&b[kConfigReadLength]), "password text", out.password);
}

std::string DecodeConfigWrite(const Bytes& b, const Header& h, ConfigWrite& out) {
    std::string p = CheckBase(h, 1);
    if (!p.empty()) return p;
    if (h.payloadLength < kConfigWritePayloadExtra)
        return "payload length " + std::to_string(h.payloadLength) + " is below " +
               std::to_string(kConfigWritePayloadExtra);
    const std::size_t file = h.payloadLength - kConfigWritePayloadExtra;
    const std::size_t on_wire = kConfigWriteRecord + std::max(file, kConfigBlockSize);
    if (b.size() != on_wire) return Mismatch("size", static_cast<long long>(b.size()), on_wire);
    if (h.argument != 1) return Mismatch("argument", h.argument, 1);
    if (h.subCode != kSubConfigWrite) return Mismatch("sub-code", h.subCode, kSubConfigWrite);
    if (h.dataLength != file + kConfigWriteDataExtra)
        return Mismatch("data length", h.dataLength, file + kConfigWriteDataExtra);
    p = Zero(b.data(), kConfigWriteZero, kConfigWriteAdminLength, "record");
    if (p.empty())
        p = Base64Field(&b[kConfigWriteText], 64, GetU16(&b[kConfigWriteLength]),
                        "configuration password text", out.password);
    // A file shorter than the first block is sent with the block's rest zero.
    if (p.empty()) p = Zero(b.data(), kConfigWriteRecord + file, on_wire, "first block");
    if (!p.empty()) return p;
    out.admin = PasswordAt(b.data(), kConfigWriteAdminLength, kConfigWriteDigest);
    out.value = GetU32(&b[kConfigWriteValue]);
    out.file.assign(b.begin() + kConfigWriteRecord, b.begin() + kConfigWriteRecord + file);
    return {};
}

std::string DecodeSetServer(const Bytes& b, const Header& h, SetServer& out) {
    const bool long_form = h.flags == 2;
    const std::size_t size = long_form ? kSetServerDomainSize : kSetServerSize;
    if (b.size() != size) return Mismatch("size", static_cast<long long>(b.size()), size);
    std::string p = CheckBase(h, long_form ? 2 : 1);
    if (!p.empty()) return p;
    if (h.subCode != kSubSetServer) return Mismatch("sub-code", h.subCode, kSubSetServer);
    if (long_form) {
        if (h.payloadLength != kSetServerLongPayload)
            return Mismatch("payload length", h.payloadLength, kSetServerLongPayload);
        if (h.dataLength != kSetServerDomainData)
            return Mismatch("data length", h.dataLength, kSetServerDomainData);
        out.domainForm = true;
    } else if (h.payloadLength == kSetServerPayload || h.payloadLength == kSetServerDomainPayload) {
        out.domainForm = h.payloadLength == kSetServerDomainPayload;
        const std::uint32_t data = out.domainForm ? kSetServerDomainData : kSetServerData;
        if (h.dataLength != data) return Mismatch("data length", h.dataLength, data);
    } else {
        return "payload length is " + std::to_string(h.payloadLength) + ", expected " +
               std::to_string(kSetServerPayload) + " or " + std::to_string(kSetServerDomainPayload);
    }
    p = Zero(b.data(), kSetServerGap, kSetServerGap + 4, "request");
    if (p.empty()) p = Zero(b.data(), kSetServerZero, kSetServerExtendedName, "request");
    if (p.empty() && out.domainForm)
        p = Zero(b.data(), kSetServerWorkgroup, kSetServerZero, "request (no workgroup)");
    if (p.empty() && !out.domainForm)
        p = Zero(b.data(), kSetServerExtendedName, kSetServerSize, "request (no extended name)");
    if (p.empty())
        p = Base64Field(&b[kSetServerNewText], 64, GetU16(&b[kSetServerNewLength]), "password text",
                        out.newPassword);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data();
    out.admin = PasswordAt(d, kSetServerAdminLength, kSetServerDigest);
    std::copy_n(d + kSetServerHardware, kHardwareAddressSize, out.hardwareAddress.begin());
    out.teamingMode = GetU16(d + kSetServerTeaming);
    out.addressFlags = GetU32(d + kSetServerFlags);
    out.optionWord = GetU32(d + kSetServerOptions);
    out.comment = records::TextAt(d + kSetServerComment, kSetServerCommentWidth);
    for (std::size_t i = 0; i < out.lan.size(); ++i) {
        out.lan[i].address = wire::GetU32Net(d + kSetServerAddresses + 4 * i);
        out.lan[i].gateway = wire::GetU32Net(d + kSetServerGateways + 4 * i);
        out.lan[i].mask = wire::GetU32Net(d + kSetServerMasks + 4 * i);
    }
    out.name = records::TextAt(d + kSetServerName, kSetServerNameWidth);
    if (out.domainForm)
        out.extendedName = records::TextAt(d + kSetServerExtendedName, kSetServerExtendedNameWidth);
    else
        out.workgroup = records::TextAt(d + kSetServerWorkgroup, kSetServerNameWidth);
    return {};
}

namespace {

// One well-formed UTF-8 sequence after another (no overlong forms, no surrogates, at most
// U+10FFFF).
bool IsUtf8(const std::string& text) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const std::uint8_t c = p[i];
        std::size_t more = 0;
        std::uint32_t cp = 0, least = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0) {
            more = 1, cp = c & 0x1F, least = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, cp = c & 0x0F, least = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, cp = c & 0x07, least = 0x10000;
        } else {
            return false;
        }
        if (n - i <= more) return false;
        for (std::size_t k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (p[i + k] & 0x3F);
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

std::string TextRefusal(const std::string& text, const char* what, bool required, bool utf8) {
    if (required && text.empty()) return std::string(what) + " is empty";
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return std::string(what) + " holds control character " + std::to_string(c);
    if (utf8 && !IsUtf8(text)) return std::string(what) + " is not UTF-8";
    return {};
}

bool ContiguousMask(std::uint32_t mask) {
    const std::uint32_t hosts = ~mask;
    return (hosts & (hosts + 1)) == 0;
}

} // namespace

std::string SetServerRefusal(const SetServer& s, bool utf8) {
    std::string p = TextRefusal(s.name, "name", true, utf8);
    if (p.empty()) p = TextRefusal(s.comment, "comment", false, utf8);
    if (p.empty() && s.domainForm) p = TextRefusal(s.extendedName, "domain name", true, utf8);
    if (p.empty() && !s.domainForm) p = TextRefusal(s.workgroup, "workgroup", true, utf8);
    if (!p.empty()) return p;
    for (std::size_t i = 0; i < s.lan.size(); ++i) {
        const LanPort& l = s.lan[i];
        const std::string lan = "LAN " + std::to_string(i) + " ";
        if (l.address == 0) continue; // a port without an address is not used
        if (l.address == 0xFFFFFFFFu) return lan + "address is 255.255.255.255";
        if (l.mask == 0 || !ContiguousMask(l.mask)) return lan + "mask " + AddressText(l.mask);
        if (l.gateway != 0 && (l.gateway & l.mask) != (l.address & l.mask))
            return lan + "gateway " + AddressText(l.gateway) + " lies outside its network";
    }
    if (s.teamingMode >= kTeamingModes)
        return "teaming mode " + std::to_string(s.teamingMode) + " is unknown";
    if (s.newPassword.size() > kSetServerPasswordMax)
        return "new password of " + std::to_string(s.newPassword.size()) + " characters";
    return {};
}

std::string DecodeUserCheck(const Bytes& b, const Header& h, Account& out) {
    std::string p = CheckSession(b, h, kSubUser, kUserSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    if (d[31] != 0) return "user name is not terminated within 32 bytes";
    out = AccountAt(d);
    p = Zero(d, out.user.size(), 32, "user name field");
    if (p.empty()) p = Zero(d, kAccountZero, kUserSize, "data");
    return p;
}

std::string DecodeMirrorStart(const Bytes& b, const Header& h, MirrorStart& out) {
    std::string p = CheckSession(b, h, kSubMirrorStart, kMirrorSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    p = Zero(d, kAccountZero, kMirrorChecksum, "data");
    if (p.empty()) p = Zero(d, kMirrorZero, kMirrorMode, "data");
    if (p.empty()) p = Zero(d, kMirrorMode + 1, kMirrorSize, "data");
    if (p.empty() && d[kMirrorMode] == 0) p = "mode byte at " + Offset(kMirrorMode) + " is 0";
    if (!p.empty()) return p;
    out.account = AccountAt(d);
    out.checksum = GetU32(d + kMirrorChecksum);
    out.folder = records::TextAt(d + kMirrorFolder, 112);
    out.imageName = records::TextAt(d + kMirrorImageName, 32);
    return {};
}

std::string DecodeMirrorTable(const Bytes& b, const Header& h) {
    std::string p = CheckSession(b, h, kSubMirrorTable, kCdTableSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    // An upload sends the table all zero.
    if (std::all_of(d, d + kCdTableSize, [](std::uint8_t v) { return v == 0; })) return {};
    if (d[0] != 1 || d[9] != 1) return "table bytes 0 and 9 are not 1";
    if (d[kTableCount] > 99) return Mismatch("track count", d[kTableCount], 99);
    return Zero(d, kTableEnd, kCdTableSize, "table");
}

std::string DecodeTransferStart(const Bytes& b, const Header& h, TransferStart& out) {
    std::string p = CheckSession(b, h, kSubTransferStart, kTransferSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    p = Zero(d, kAccountZero, kTransferFolder, "data");
    if (p.empty()) p = Zero(d, kTransferEnd, kTransferSize, "data");
    if (!p.empty()) return p;
    out.account = AccountAt(d);
    out.folder = records::TextAt(d + kTransferFolder, kTransferFile - kTransferFolder);
    out.fileName = records::TextAt(d + kTransferFile, kTransferNumber - kTransferFile);
    out.number = GetU32(d + kTransferNumber);
    out.size = GetU32(d + kTransferBytes);
    out.count = GetU32(d + kTransferCount);
    return {};
}

std::string DecodeTransferDone(const Bytes& b, const Header& h, TransferDone& out) {
    std::string p = CheckSession(b, h, kSubTransferData, kDoneSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    p = Zero(d, kDoneNameEnd, kDoneFurther, "data");
    if (p.empty()) p = Zero(d, kDoneEnd, kDoneSize, "data");
    if (!p.empty()) return p;
    out.nextName = records::TextAt(d + kDoneName, kDoneNameEnd);
    out.further = GetU32(d + kDoneFurther);
    out.nextSize = GetU32(d + kDoneNextSize);
    out.allZero = std::all_of(d, d + kDoneSize, [](std::uint8_t v) { return v == 0; });
    return {};
}

std::string DecodeConvert(const Bytes& b, const Header& h, Convert& out) {
    std::string p = CheckSession(b, h, kSubConvert, kConvertSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    p = Zero(d, kAccountZero, kConvertFolder, "data");
    if (p.empty()) p = Zero(d, kConvertEnd, kConvertSize, "data");
    if (!p.empty()) return p;
    out.account = AccountAt(d);
    out.folder = records::TextAt(d + kConvertFolder, kConvertEnd - kConvertFolder);
    return {};
}

std::string DecodeDelete(const Bytes& b, const Header& h, Delete& out) {
    std::string p = CheckSession(b, h, kSubDelete, kDeleteSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    p = Zero(d, kAccountZero, kDeleteCount, "data");
    if (p.empty()) p = Zero(d, kDeleteEnd, kDeleteSize, "data");
    if (!p.empty()) return p;
    out.account = AccountAt(d);
    out.count = GetU32(d + kDeleteCount);
    for (std::uint32_t i = 0; i < std::min(out.count, kDeleteMaxIds); ++i)
        out.imageIds.push_back(GetU32(d + kDeleteIds + 4 * i));
    return {};
}

std::string DecodeRecord(const Bytes& b, const Header& h, Record& out) {
    std::string p = CheckSession(b, h, kSubRecord, kRecordSize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    p = Zero(d, kAccountZero, kRecordId, "data");
    if (p.empty()) p = Zero(d, kRecordEnd, kRecordSize, "data");
    if (p.empty() && (d[kRecordFlags] & kRecordFlagAlways) == 0)
        p = "flags byte at " + Offset(kRecordFlags) + " lacks bit 2";
    if (p.empty() && (d[kRecordFlags] & ~(kRecordFlagAlways | kRecordFlagsSent)) != 0)
        p = "flags byte at " + Offset(kRecordFlags) + " has bits other than 0, 1 and 2";
    if (!p.empty()) return p;
    out.account = AccountAt(d);
    out.imageId = GetU32(d + kRecordId);
    out.imageName = records::TextAt(d + kRecordName, 32);
    out.writer = d[kRecordWriter];
    out.flags = d[kRecordFlags];
    out.host = std::uint32_t{d[kRecordHost]} << 24 | std::uint32_t{d[kRecordHost + 1]} << 16 |
               std::uint32_t{d[kRecordHost + 2]} << 8 | d[kRecordHost + 3];
    return {};
}

std::string DecodeRecordingQuery(const Bytes& b, const Header& h, RecordingQuery& out) {
    std::string p = CheckSession(b, h, kSubRecordingQuery, kQuerySize);
    if (!p.empty()) return p;
    const std::uint8_t* d = b.data() + kExtendedHeaderSize;
    p = Zero(d, 8, kQuerySize, "data");
    if (!p.empty()) return p;
    out.job0 = GetU32(d);
    out.job1 = GetU32(d + 4);
    return {};
}

} // namespace nassim::requests
