#include "tovexcdh_svr.h"

#include "base64.h"
#include "tcpsocket.h"
#include "tovexcdh_config.h"
#include "tovexcdh_digest.h"
#include "tovexcdh_records.h"

#include <arpa/inet.h>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <vector>

namespace {

// Digests the text in a 16-byte field and writes the digest over it.
void DigestInPlace(std::uint8_t* field, char* keptText = nullptr) {
    char text[kCdhPwTextWidth + 1] = {};
    std::memcpy(text, field, kCdhPwTextWidth);
    const CdhDigest digest = CdhPasswordDigest(text, kCdhPwTextWidth);
    if (keptText != nullptr) {
        // The upper-cased text, cut to what a kept password holds (15 characters).
        std::memcpy(keptText, text, 15);
        keptText[15] = '\0';
    }
    std::memcpy(field, digest.data(), digest.size());
}

// Writes the digest of a kept password into a 16-byte field.
void DigestOf(const char* password, std::uint8_t* field) {
    char text[kCdhPwTextWidth + 1] = {};
    std::strncpy(text, password, kCdhPwTextWidth);
    const CdhDigest digest = CdhPasswordDigest(text, kCdhPwTextWidth);
    std::memcpy(field, digest.data(), digest.size());
}

void SlotPayload(std::uint8_t* payload, std::uint32_t slot) {
    CdhPutU32(payload, slot);
}

} // namespace

int TCdhSvr::Exchange(std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                      ReplyPart* parts, std::size_t partCount) {
    TTcpSocket* manager = TcpSocketManager;
    if (manager == nullptr) return kCdhNoManager;
    const CdhNetConfig& config = CurrentCdhConfig();
    TTcpSession* session = nullptr;
    if (manager->CreateSession(AF_INET, SOCK_STREAM, 0, &session) != kTcpOk) return kCdhNoSocket;

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(config.tcpPort);
    std::memcpy(&to.sin_addr.s_addr, IpAddress, 4);

    int result = kCdhOk;
    if (session->Connect(reinterpret_cast<const sockaddr*>(&to), sizeof to, config.connectWaitMs) !=
        0) {
        result = kCdhConnectFailed;
    } else if (CdhSendFrame(session->Handle, command, payload, length, config.sendWaitMs) < 0) {
        result = kCdhSendFailed;
    } else {
        for (std::size_t i = 0; i < partCount; ++i) {
            parts[i].received = CdhReceiveFrame(session->Handle, nullptr, parts[i].buffer,
                                                parts[i].capacity, config.replyWaitMs);
            if (parts[i].received < 0) {
                result = kCdhBadReply;
                break;
            }
        }
    }
    if (manager->ReleaseSession(session) != kTcpOk && result == kCdhOk) result = kCdhReleaseFailed;
    return result;
}

int TCdhSvr::StatusExchange(std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                            bool& accepted) {
    std::uint8_t reply[kCdhPasswordBlockSize] = {};
    ReplyPart part{reply, sizeof reply};
    const int result = Exchange(command, payload, length, &part, 1);
    if (result != kCdhOk) return result;
    if (part.received < static_cast<int>(kCdhStatusReplySize)) return kCdhBadReply;
    accepted = CdhGetU32(reply) == 0;
    return kCdhOk;
}

int TCdhSvr::ReadStatus(std::uint8_t* status) {
    std::uint8_t reply[kCdhStatusSize];
    ReplyPart part{reply, sizeof reply};
    const int result = Exchange(kCdhStatus, nullptr, 0, &part, 1);
    if (result != kCdhOk) return Keep(result);
    if (part.received != static_cast<int>(kCdhStatusSize)) return Keep(kCdhBadReply);
    std::memcpy(status, reply, kCdhStatusSize);
    CdhRecountStatus(status);
    return Keep(kCdhOk);
}

int TCdhSvr::ReadSlotInfo(std::uint32_t slot, std::uint8_t* block) {
    std::memset(block, 0, kCdhSlotInfoSize);
    std::uint8_t payload[kCdhSlotRequestSize];
    SlotPayload(payload, slot);
    ReplyPart part{block, kCdhSlotInfoSize};
    const int result = Exchange(kCdhSlotInfo, payload, sizeof payload, &part, 1);
    if (result != kCdhOk) return Keep(result);
    if (part.received != static_cast<int>(kCdhSlotInfoSize)) {
        std::memset(block, 0, kCdhSlotInfoSize);
        return Keep(kCdhBadReply);
    }
    return Keep(kCdhOk);
}

int TCdhSvr::ReadList(std::uint16_t command, const std::uint8_t* payload, std::size_t length,
                      std::uint8_t* buffer, std::size_t& size) {
    if (size > 0) std::memset(buffer, 0, size);
    ReplyPart part{buffer, size};
    const int result = Exchange(command, payload, length, &part, 1);
    size = result == kCdhOk ? static_cast<std::size_t>(part.received) : 0;
    return Keep(result);
}

int TCdhSvr::ReadSlotEntries(std::uint32_t slot, std::uint8_t* buffer, std::size_t& size) {
    std::uint8_t payload[kCdhSlotRequestSize];
    SlotPayload(payload, slot);
    return ReadList(kCdhSlotEntries, payload, sizeof payload, buffer, size);
}

int TCdhSvr::WriteSlotEntries(std::uint32_t slot, std::uint8_t* block, std::size_t length) {
    if (length != kCdhEntryChangeSize) return Keep(kCdhSendFailed);
    block[kCdhEcOffSlot] = static_cast<std::uint8_t>(slot);
    DigestOf(Password, block + kCdhEcOffDigest);
    bool accepted = false;
    int result = StatusExchange(kCdhChangeEntry, block, length, accepted);
    if (result != kCdhOk) return Keep(result);
    if (accepted) return Keep(kCdhOk);
    if ((block[kCdhEcOffFlags] & kCdhEcSecondPassword) == 0) return Keep(kCdhPasswordRefused);
    // Entries of a mirror may be changed with the mirror password.
    DigestOf(SecondPassword, block + kCdhEcOffDigest);
    result = StatusExchange(kCdhChangeEntry, block, length, accepted);
    if (result != kCdhOk) return Keep(result);
    return Keep(accepted ? kCdhOk : kCdhSecondRefused);
}

int TCdhSvr::ReadGroupList(std::uint8_t* buffer, std::size_t& size) {
    return ReadList(kCdhGroups, nullptr, 0, buffer, size);
}

int TCdhSvr::WriteGroupEntries(std::uint8_t* block, std::size_t length) {
    if (length != kCdhGroupChangeSize) return Keep(kCdhSendFailed);
    DigestInPlace(block + kCdhGcOffText);
    bool accepted = false;
    const int result = StatusExchange(kCdhChangeGroup, block, length, accepted);
    if (result != kCdhOk) return Keep(result);
    return Keep(accepted ? kCdhOk : kCdhChangeRefused);
}

int TCdhSvr::SettlePassword(bool accepted, const char* text, std::uint32_t flag, char* kept,
                            int refused) {
    if (!accepted) {
        Flags &= ~flag;
        return Keep(refused);
    }
    Flags |= flag;
    std::memcpy(kept, text, sizeof Password);
    return Keep(kCdhOk);
}

int TCdhSvr::PasswordCommand(std::uint16_t command, std::uint8_t* block) {
    char text[16];
    DigestInPlace(block + kCdhPwOffText, text);
    bool accepted = false;
    const int result = StatusExchange(command, block, kCdhPasswordBlockSize, accepted);
    if (result != kCdhOk) return Keep(result);
    return SettlePassword(accepted, text, kCdhFlagFirstPassword, Password, kCdhPasswordRefused);
}

int TCdhSvr::Restart(std::uint8_t* block) {
    return PasswordCommand(kCdhRestart, block);
}

int TCdhSvr::Shutdown(std::uint8_t* block) {
    return PasswordCommand(kCdhShutdown, block);
}

int TCdhSvr::SendPassword(std::uint8_t* block) {
    const std::uint16_t kind = CdhGetU16(block + kCdhPwOffKind);
    if (kind > 2) return Keep(kCdhSendFailed);
    char text[16];
    DigestInPlace(block + kCdhPwOffText, text);
    // The text at the extra field travels as Base64 in its place.
    const std::string extra = CdhFieldText(block + kCdhPwOffExtra, kCdhPwExtraTextMax, false);
    const std::string encoded =
        nas::Base64Encode(reinterpret_cast<const std::uint8_t*>(extra.data()),
                          static_cast<std::uint16_t>(extra.size()));
    std::memset(block + kCdhPwOffExtra, 0, kCdhPwExtraWidth);
    std::memcpy(block + kCdhPwOffExtra, encoded.data(), encoded.size());

    bool accepted = false;
    const int result = StatusExchange(kCdhPassword, block, kCdhPasswordBlockSize, accepted);
    if (result != kCdhOk) return Keep(result);
    switch (kind) {
    case 0:
        return SettlePassword(accepted, text, kCdhFlagFirstPassword, Password, kCdhPasswordRefused);
    case 1:
        return SettlePassword(accepted, text, kCdhFlagSecondPassword, SecondPassword,
                              kCdhSecondRefused);
    default:
        return Keep(accepted ? kCdhOk : kCdhChangeRefused);
    }
}

int TCdhSvr::ReadTable(std::uint16_t command, std::size_t capacity, TableApply apply) {
    std::vector<std::uint8_t> reply(capacity);
    ReplyPart part{reply.data(), reply.size()};
    const int result = Exchange(command, nullptr, 0, &part, 1);
    if (result != kCdhOk) return Keep(result);
    apply(*this, reply.data(), static_cast<std::size_t>(part.received));
    return Keep(kCdhOk);
}

int TCdhSvr::ReadVolumeTable() {
    return ReadTable(kCdhVolumeTable, kCdhVolumeTableSize, CdhApplyVolumeTable);
}

int TCdhSvr::ReadTapeHeader(std::uint32_t slot) {
    auto header = std::make_unique<std::uint8_t[]>(kCdhTapeHeaderSize);
    std::uint8_t payload[kCdhSlotRequestSize];
    SlotPayload(payload, slot);
    ReplyPart parts[2] = {{header.get(), kCdhTapeHeaderFirst},
                          {header.get() + kCdhTapeHeaderFirst, kCdhTapeHeaderSecond}};
    const int result = Exchange(kCdhTapeHeader, payload, sizeof payload, parts, 2);
    if (result != kCdhOk) return Keep(result);
    if (parts[0].received != static_cast<int>(kCdhTapeHeaderFirst) ||
        parts[1].received != static_cast<int>(kCdhTapeHeaderSecond))
        return Keep(kCdhBadReply);
    std::memcpy(TapeHeader.data(), header.get(), kCdhTapeHeaderSize);
    return Keep(kCdhOk);
}

int TCdhSvr::ReadTapeCatalog(std::uint32_t slot) {
    auto reply = std::make_unique<std::uint8_t[]>(kCdhTapeCatalogMax);
    std::uint8_t payload[kCdhSlotRequestSize];
    SlotPayload(payload, slot);
    ReplyPart part{reply.get(), kCdhTapeCatalogMax};
    const int result = Exchange(kCdhTapeCatalog, payload, sizeof payload, &part, 1);
    if (result != kCdhOk) return Keep(result);
    if (part.received == 0) return Keep(kCdhBadReply);
    CdhApplyTapeCatalog(*this, slot, reply.get(), static_cast<std::size_t>(part.received));
    return Keep(kCdhOk);
}

int TCdhSvr::ReadRaidVolumes() {
    return ReadTable(kCdhRaidVolumes, kCdhRaidTableSize, CdhApplyRaidVolumes);
}
