#include "set_server_request.h"

#include "base64.h"
#include "packet_header.h"
#include "request_texts.h"
#include "wire_bytes.h"

#include <cstring>

namespace nas {

namespace {

// Header values: payload and data lengths as the units expect them, which for the short forms
// are less than what is sent.
constexpr uint32_t kSubCode = 2;
constexpr uint32_t kShortPayload = 256;
constexpr uint32_t kShortDataLength = 248;
constexpr uint32_t kModeTwoPayload = 320;
constexpr uint32_t kLongPayload = 428;
constexpr uint32_t kLongDataLength = 312;
constexpr uint16_t kLongFlags = 2;

// Request offsets.
constexpr size_t kOffDigestLength = 40;
constexpr size_t kOffDigest = 42;
constexpr size_t kOffReadableLength = 58;
constexpr size_t kOffReadable = 60;
constexpr size_t kReadableWidth = 64;
constexpr size_t kOffHardware = 124; // hardware address (18 bytes) and teaming mode
constexpr size_t kOffTeaming = 142;
constexpr size_t kOffValue184 = 144;
constexpr size_t kOffAddressFlags = 152;
constexpr size_t kOffOptionFlags = 156;
constexpr size_t kOffValue188 = 160;
constexpr size_t kOffWord192 = 164;
constexpr size_t kOffWord194 = 166;
constexpr size_t kOffValue196 = 168;
constexpr size_t kOffComment = 172;
constexpr size_t kOffAddresses = 204;
constexpr size_t kOffGateways = 216;
constexpr size_t kOffMasks = 228;
constexpr size_t kOffName = 240;
constexpr size_t kOffWorkgroup = 256;
constexpr size_t kOffExtendedName = 288;
constexpr size_t kOffCredentials = 352;
constexpr size_t kOffCredentialUser = 364;
constexpr size_t kOffCredentialPassword = 428;
constexpr size_t kCredentialPasswordWidth = 32;

static_assert(kOffExtendedName + 64 == kSetServerRequestSize);
static_assert(kOffCredentialPassword + kCredentialPasswordWidth == kSetServerRequest2Size);
static_assert(kOffTeaming + 2 == kOffValue184 && kOffValue196 + 4 == kOffComment);
static_assert(kOffReadable + kReadableWidth == kOffHardware);

constexpr size_t kPasswordWidth = sizeof(NasServerSetting::newPassword);

void PutAddresses(uint8_t* out, const uint32_t (&values)[3]) {
    for (size_t i = 0; i < 3; ++i)
        PutU32Net(out + 4 * i, values[i]);
}

} // namespace

uint16_t ExpectedSetServerReply(const NasServerSetting& setting) {
    return setting.mode == 2 ? command::kSetServerModeTwoReply : command::kSetServer;
}

std::optional<std::vector<uint8_t>> BuildSetServerRequest(const NasServerSetting& setting,
                                                          const NasServerSetting2* credentials) {
    const bool extended = credentials != nullptr;
    // The long form always carries the mode-2 texts; the mode then only selects the reply.
    const bool modeTwoTexts = extended || setting.mode == 2;
    const bool utf8 = extended || setting.mode == 1 || setting.mode == 2;
    std::vector<uint8_t> request(extended ? kSetServerRequest2Size : kSetServerRequestSize, 0);
    uint8_t* out = request.data();

    PacketHeader header;
    if (extended) {
        InitHeader(header, command::kSetServer, kLongFlags, kLongPayload);
        header.dataLength = kLongDataLength;
    } else {
        InitHeader(header, command::kSetServer, 1, modeTwoTexts ? kModeTwoPayload : kShortPayload);
        header.dataLength = modeTwoTexts ? kLongDataLength : kShortDataLength;
    }
    header.status = static_cast<int16_t>(setting.argument);
    header.subCode = kSubCode;
    EncodeExtendedHeader(header, out);

    // The current password authenticates the request (digest); the new one must reach the unit
    // readable (Base64).
    if (PutPasswordDigest(out + kOffDigest, setting.currentPassword, kPasswordWidth) != 0)
        return std::nullopt;
    PutU16(out + kOffDigestLength,
           static_cast<uint16_t>(RecordText(setting.currentPassword, kPasswordWidth).size()));
    if (!IsTerminated(setting.newPassword, kPasswordWidth)) return std::nullopt;
    std::string_view newPassword = RecordText(setting.newPassword, kPasswordWidth);
    PutU16(out + kOffReadableLength, static_cast<uint16_t>(newPassword.size()));
    std::string readable = Base64Encode(reinterpret_cast<const uint8_t*>(newPassword.data()),
                                        static_cast<uint16_t>(newPassword.size()));
    std::memcpy(out + kOffReadable, readable.data(), readable.size()); // at most 20 of 64 bytes

    std::memcpy(out + kOffHardware, setting.hardwareAddress, sizeof setting.hardwareAddress);
    PutU16(out + kOffTeaming, setting.teamingMode);
    PutU32(out + kOffValue184, setting.value184);
    PutU32(out + kOffAddressFlags, setting.addressFlags);
    PutU32(out + kOffOptionFlags, setting.optionFlags);
    PutU32(out + kOffValue188, setting.value188);
    PutU16(out + kOffWord192, setting.word192);
    PutU16(out + kOffWord194, setting.word194);
    PutU32(out + kOffValue196, setting.value196);
    PutAddresses(out + kOffAddresses, setting.ipAddress);
    PutAddresses(out + kOffGateways, setting.gateway);
    PutAddresses(out + kOffMasks, setting.subnetMask);

    auto putText = utf8 ? PutUtf8Text : PutText;
    putText(out + kOffComment, 32, setting.comment, sizeof setting.comment);
    putText(out + kOffName, 16, setting.name, sizeof setting.name);
    if (modeTwoTexts)
        putText(out + kOffExtendedName, 64, setting.extendedName, sizeof setting.extendedName);
    else
        putText(out + kOffWorkgroup, 16, setting.workgroup, sizeof setting.workgroup);

    if (extended) {
        PutU32(out + kOffCredentials, credentials->value0);
        PutU32(out + kOffCredentials + 4, credentials->value4);
        PutU32(out + kOffCredentials + 8, credentials->accountGiven);
        PutUtf8Text(out + kOffCredentialUser, 64, credentials->userName,
                    sizeof credentials->userName);
        // A password cut to fit would be a different password: refuse it instead.
        if (!IsTerminated(credentials->password, sizeof credentials->password)) return std::nullopt;
        std::string password = RecordTextUtf8(credentials->password, sizeof credentials->password);
        if (password.size() >= kCredentialPasswordWidth) return std::nullopt;
        std::memcpy(out + kOffCredentialPassword, password.data(), password.size());
    }
    return request;
}

SetServerDatagram ClassifySetServerDatagram(const uint8_t* data, size_t size, uint16_t expected,
                                            int* status) {
    if (size != kSetServerReplySize) return SetServerDatagram::Ignored;
    PacketHeader header = *DecodeHeader(data, size);
    if (header.command != expected) return SetServerDatagram::Foreign;
    if (status) *status = header.status;
    return SetServerDatagram::Answer;
}

} // namespace nas
