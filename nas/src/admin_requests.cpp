#include "admin_requests.h"
#include "call_deadline.h"

#include "nasapi.h"
#include "netconfig.h"
#include "packet_header.h"
#include "password_digest.h"
#include "transport.h"
#include "wire_bytes.h"

#include <cstring>

namespace nas {

namespace {

constexpr uint32_t kPasswordSubCode = 3;
constexpr uint32_t kUserCheckSubCode = 16;
constexpr size_t kOffPasswordLength = 42;
constexpr size_t kOffPasswordDigest = 44;
constexpr size_t kOffUserDigest = 32;
static_assert(kOffPasswordDigest + kMd4DigestSize == kPasswordRequestSize);
static_assert(kOffUserDigest + kMd4DigestSize + 4 == kUserCheckDataSize);
static_assert(NAS_PASSWORD_MAX == kMaxPasswordLength && NAS_USER_NAME_MAX == kMaxUserNameLength);

int PasswordRequest(const uint32_t addrs[3], uint16_t commandCode, int16_t argument,
                    const char* password) {
    if (!addrs || !password) return -1;
    auto request = BuildPasswordRequest(commandCode, argument, password);
    if (!request) return -1;
    return OneShotRequest(addrs, request->data(), request->size(), commandCode,
                          CurrentNetConfig()->oneShotReplyMs);
}

} // namespace

std::optional<std::array<uint8_t, kPasswordRequestSize>>
BuildPasswordRequest(uint16_t commandCode, int16_t argument, std::string_view password) {
    std::array<uint8_t, kPasswordRequestSize> request{};
    if (DigestPassword(password, request.data() + kOffPasswordDigest) != 0) return std::nullopt;
    PacketHeader header;
    InitHeader(header, commandCode, 1, kPasswordRequestSize - kHeaderSize);
    header.status = argument;
    header.subCode = kPasswordSubCode;
    header.dataLength = kPasswordRequestSize - kExtendedHeaderSize;
    EncodeExtendedHeader(header, request.data());
    PutU16(request.data() + kOffPasswordLength, static_cast<uint16_t>(password.size()));
    return request;
}

std::optional<std::array<uint8_t, kUserCheckDataSize>>
BuildUserCheckData(std::string_view user, std::string_view password) {
    if (user.size() > kMaxUserNameLength || user.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::array<uint8_t, kUserCheckDataSize> data{};
    if (DigestPassword(password, data.data() + kOffUserDigest) != 0) return std::nullopt;
    std::memcpy(data.data(), user.data(), user.size());
    return data;
}

} // namespace nas

using namespace nas;

int NasApiCheckPassword(const uint32_t addrs[3], const char* password) {
    CallDeadline deadline;
    return PasswordRequest(addrs, command::kCheckPassword, 0, password);
}

int NasApiShutdown(const uint32_t addrs[3], int mode, const char* password) {
    CallDeadline deadline;
    return PasswordRequest(addrs, command::kShutdown, static_cast<int16_t>(mode), password);
}

int NasApiCheckUserPassword(const uint32_t addrs[3], const char* user, const char* password) {
    CallDeadline deadline;
    if (!addrs || !user || !password) return -1;
    auto data = BuildUserCheckData(user, password);
    if (!data) return -1;
    int fd = OpenSession(addrs);
    if (fd <= 0) return -1;
    Socket session(fd);
    if (SendRequest(fd, command::kCheckUserPassword, data->data(), data->size(),
                    kUserCheckSubCode) != static_cast<long>(data->size()))
        return -1;
    int status = 0;
    if (RecvReply(fd, nullptr, command::kCheckUserPassword, nullptr, 0, &status) == 0) return 0;
    return status != 0 ? status : -1;
}
