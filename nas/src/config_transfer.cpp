#include "config_transfer.h"
#include "call_deadline.h"

#include "base64.h"
#include "nasapi.h"
#include "netconfig.h"
#include "packet_header.h"
#include "password_digest.h"
#include "transport.h"
#include "wire_bytes.h"

#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

namespace nas {

namespace {

constexpr uint32_t kGetConfigSubCode = 6;
constexpr uint32_t kSetConfigSubCode = 5;
constexpr int16_t kSetConfigArgument = 1;
constexpr size_t kOffGetPasswordLength = 40;
constexpr size_t kOffGetPasswordText = 42;
constexpr size_t kOffAdminLength = 42;
constexpr size_t kOffAdminDigest = 44;
constexpr size_t kOffConfigLength = 60;
constexpr size_t kOffConfigText = 62;
constexpr size_t kConfigTextWidth = 64;
constexpr size_t kOffValue = 126;
static_assert(kOffGetPasswordText + kConfigTextWidth == kGetConfigRequestSize);
static_assert(kOffAdminDigest + kMd4DigestSize == kOffConfigLength);
static_assert(kOffConfigText + kConfigTextWidth == kOffValue);
static_assert(kOffValue + 4 == kSetConfigRecordSize);
static_assert((kMaxConfigPasswordLength + 2) / 3 * 4 < kConfigTextWidth);
static_assert(NAS_CONFIG_PASSWORD_MAX == kMaxConfigPasswordLength);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Base64 of a configuration password into a zeroed field of the request; false when too long.
bool PutConfigPassword(uint8_t* lengthField, uint8_t* textField, std::string_view password) {
    if (password.size() > kMaxConfigPasswordLength) return false;
    std::string text = Base64Encode(reinterpret_cast<const uint8_t*>(password.data()),
                                    static_cast<uint16_t>(password.size()));
    PutU16(lengthField, static_cast<uint16_t>(password.size()));
    std::memcpy(textField, text.data(), text.size());
    return true;
}

// After a receive that failed: NAS_RESULT_TIMEOUT when the unit is still connected but fell
// silent, -1 when it closed or the connection failed.
int ReceiveFailure(int fd) {
    return WaitReadable(fd, 0) == 0 ? NAS_RESULT_TIMEOUT : -1;
}

void Notify(int step) {
    auto config = CurrentNetConfig();
    if (config->notifier) config->notifier(step);
}

// Streams the file's bytes after its first block into file: 0 once all arrived; -1 when the
// stream ends early or fails, -3 when it stops arriving in time, NAS_RESULT_FILE_ERROR when the
// file can't be written.
int StreamIntoFile(int fd, uint64_t left, std::FILE* file) {
    const int waitMs = CurrentNetConfig()->configReadWaitMs;
    uint8_t chunk[kConfigReadChunk];
    while (left > 0) {
        int ready = WaitReadable(fd, waitMs);
        if (ready < 0) {
            Notify(config_step::kWait);
            return -1;
        }
        if (ready == 0) return NAS_RESULT_TIMEOUT;
        size_t want = static_cast<size_t>(std::min<uint64_t>(left, sizeof chunk));
        ssize_t got = ::recv(fd, chunk, want, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
        if (got <= 0) {
            Notify(config_step::kStream);
            return -1;
        }
        if (std::fwrite(chunk, 1, static_cast<size_t>(got), file) != static_cast<size_t>(got))
            return NAS_RESULT_FILE_ERROR;
        left -= static_cast<uint64_t>(got);
    }
    return 0;
}

// Sends size bytes of file after its first block, each piece within the write wait: 0, -1 when
// the unit stops taking data, NAS_RESULT_FILE_ERROR when the file ends early or can't be read.
int StreamFromFile(int fd, std::FILE* file, uint64_t size) {
    const int waitMs = CurrentNetConfig()->configWriteWritableMs;
    uint8_t block[kConfigBlockSize] = {};
    size_t first = static_cast<size_t>(std::min<uint64_t>(size, kConfigBlockSize));
    if (std::fread(block, 1, first, file) != first) return NAS_RESULT_FILE_ERROR;
    if (SendWithin(fd, block, sizeof block, waitMs) != static_cast<long>(sizeof block)) return -1;
    uint8_t chunk[kConfigWriteChunk];
    for (uint64_t left = size - first; left > 0;) {
        size_t piece = static_cast<size_t>(std::min<uint64_t>(left, sizeof chunk));
        if (std::fread(chunk, 1, piece, file) != piece) return NAS_RESULT_FILE_ERROR;
        if (SendWithin(fd, chunk, piece, waitMs) != static_cast<long>(piece)) return -1;
        left -= piece;
    }
    return 0;
}

} // namespace

std::optional<std::array<uint8_t, kGetConfigRequestSize>>
BuildGetConfigRequest(std::string_view configPassword) {
    std::array<uint8_t, kGetConfigRequestSize> request{};
    if (!PutConfigPassword(request.data() + kOffGetPasswordLength,
                           request.data() + kOffGetPasswordText, configPassword))
        return std::nullopt;
    PacketHeader header;
    InitHeader(header, command::kGetConfig, 1, kGetConfigRequestSize - kHeaderSize);
    header.subCode = kGetConfigSubCode;
    header.dataLength = kGetConfigRequestSize - kExtendedHeaderSize;
    EncodeExtendedHeader(header, request.data());
    return request;
}

std::optional<std::array<uint8_t, kSetConfigRecordSize>>
BuildSetConfigRecord(std::string_view adminPassword, std::string_view configPassword, int32_t value,
                     uint64_t fileSize) {
    constexpr uint64_t kPayloadBeforeFile = kSetConfigRecordSize - kHeaderSize;
    if (fileSize > std::numeric_limits<uint32_t>::max() - kPayloadBeforeFile) return std::nullopt;
    std::array<uint8_t, kSetConfigRecordSize> record{};
    if (DigestPassword(adminPassword, record.data() + kOffAdminDigest) != 0) return std::nullopt;
    if (!PutConfigPassword(record.data() + kOffConfigLength, record.data() + kOffConfigText,
                           configPassword))
        return std::nullopt;
    PacketHeader header;
    InitHeader(header, command::kSetConfig, 1,
               static_cast<uint32_t>(fileSize + kPayloadBeforeFile));
    header.status = kSetConfigArgument;
    header.subCode = kSetConfigSubCode;
    header.dataLength =
        static_cast<uint32_t>(fileSize + kSetConfigRecordSize - kExtendedHeaderSize);
    EncodeExtendedHeader(header, record.data());
    PutU16(record.data() + kOffAdminLength, static_cast<uint16_t>(adminPassword.size()));
    PutU32(record.data() + kOffValue, static_cast<uint32_t>(value));
    return record;
}

int ReadConfigReply(int fd, const char* path) {
    auto config = CurrentNetConfig();
    // The unit gathers its settings before it answers.
    int ready = WaitReadable(fd, config->readinessWaitMs);
    if (ready < 0) return -1;
    if (ready == 0) return NAS_RESULT_TIMEOUT;
    uint8_t head[kExtendedHeaderSize];
    if (RecvWithin(fd, head, sizeof head, config->readinessWaitMs) !=
        static_cast<long>(sizeof head))
        return ReceiveFailure(fd);
    PacketHeader header = *DecodeHeader(head, sizeof head);
    // A refusal carries no file: the file at path is left alone.
    if (header.dataLength < kConfigBlockSize) return header.status != 0 ? header.status : -1;
    // A length no configuration reaches is refused as a broken stream, the file left alone.
    if (header.dataLength > kMaxConfigFileSize) {
        Notify(config_step::kStream);
        return -1;
    }

    uint8_t block[kConfigBlockSize];
    if (RecvWithin(fd, block, sizeof block, config->readinessWaitMs) !=
        static_cast<long>(sizeof block)) {
        Notify(config_step::kBlock);
        return ReceiveFailure(fd);
    }
    File file(path ? std::fopen(path, "wb") : nullptr);
    if (!file) return NAS_RESULT_FILE_ERROR;
    if (std::fwrite(block, 1, sizeof block, file.get()) != sizeof block)
        return NAS_RESULT_FILE_ERROR;
    // What arrived stays in the file, also when the rest does not come.
    int streamed = StreamIntoFile(fd, header.dataLength - kConfigBlockSize, file.get());
    if (std::fclose(file.release()) != 0 && streamed == 0) return NAS_RESULT_FILE_ERROR;
    return streamed != 0 ? streamed : header.status;
}

int ReadSetConfigReply(int fd) {
    const int waitMs = CurrentNetConfig()->configWriteReplyMs;
    int ready = WaitReadable(fd, waitMs);
    if (ready < 0) return -1;
    if (ready == 0) return NAS_RESULT_TIMEOUT;
    uint8_t head[kHeaderSize];
    if (RecvWithin(fd, head, sizeof head, waitMs) != static_cast<long>(sizeof head)) return -1;
    PacketHeader header = *DecodeHeader(head, sizeof head);
    return header.command == command::kSetConfig ? header.status : -1;
}

} // namespace nas

using namespace nas;

namespace {

// The connect race; its winner's connection carries the transfer. Reports the failed step.
Socket ConnectForTransfer(const uint32_t addrs[3], bool notify) {
    auto config = CurrentNetConfig();
    RaceResult race = ConnectRace(addrs, config->tcpPort, config->connectRaceMs);
    if (race.outcome != RaceOutcome::Won && notify)
        Notify(race.outcome == RaceOutcome::NoWinner ? config_step::kNoAddress
                                                     : config_step::kNoSocket);
    return std::move(race.socket);
}

} // namespace

int NasApiGetConfig(const uint32_t addrs[3], const char* path, const char* configPassword) {
    CallDeadline deadline;
    if (!addrs) return -1;
    if (!path || *path == '\0') return NAS_RESULT_FILE_ERROR; // no file could ever be made
    auto request = BuildGetConfigRequest(configPassword ? configPassword : "");
    if (!request) return -1;
    Socket connection = ConnectForTransfer(addrs, true);
    if (!connection.valid()) return -1;
    if (SendWithin(connection.get(), request->data(), request->size(),
                   CurrentNetConfig()->readinessWaitMs) != static_cast<long>(request->size()))
        return -1;
    return ReadConfigReply(connection.get(), path);
}

int NasApiSetConfig(const uint32_t addrs[3], const char* adminPassword, const char* configPassword,
                    int value, const char* path) {
    CallDeadline deadline;
    if (!addrs || !adminPassword || !configPassword) return -1;
    // The file is opened before the unit hears of the transfer, so a missing file sends nothing.
    if (!path) return NAS_RESULT_FILE_ERROR;
    File file(std::fopen(path, "rb"));
    struct stat info {};
    if (!file || ::fstat(::fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        return NAS_RESULT_FILE_ERROR;
    const auto size = static_cast<uint64_t>(info.st_size);
    auto record = BuildSetConfigRecord(adminPassword, configPassword, value, size);
    if (!record) return -1;

    Socket connection = ConnectForTransfer(addrs, false);
    if (!connection.valid()) return -1;
    if (SendWithin(connection.get(), record->data(), record->size(),
                   CurrentNetConfig()->configWriteWritableMs) != static_cast<long>(record->size()))
        return -1;
    int sent = StreamFromFile(connection.get(), file.get(), size);
    if (sent != 0) return sent;
    file.reset();
    return ReadSetConfigReply(connection.get());
}
