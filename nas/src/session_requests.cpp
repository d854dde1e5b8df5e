#include "session_requests.h"

#include "request_texts.h"
#include "wire_bytes.h"

#include <cstring>

namespace nas {

namespace {

// Offsets shared by the requests: the account name, then the password's digest.
constexpr size_t kOffUser = 0;
constexpr size_t kUserWidth = 32;
constexpr size_t kOffDigest = 32;

// Mirror request.
constexpr size_t kOffChecksum = 52;
constexpr size_t kOffFolder = 56;
constexpr size_t kOffMirrorValues = 168; // three u32
constexpr size_t kOffSourceLabel = 180;
constexpr size_t kOffImageName = 212;
constexpr size_t kOffShareName = 244;
constexpr size_t kOffSectorCount2 = 276;
constexpr size_t kOffFileSystem = 280;
constexpr size_t kOffMode = 286;
constexpr size_t kMirrorTextWidth = 32;
static_assert(kOffFolder + sizeof(NasMirrorInfo::folderName) == kOffMirrorValues);
static_assert(kOffShareName + kMirrorTextWidth == kOffSectorCount2);
static_assert(kOffMode < kMirrorRequestSize);

// Mirror-start reply data.
constexpr size_t kOffReplyImageName = 220;
constexpr size_t kOffReplyWord = 292;
static_assert(kOffReplyWord + 2 <= kMirrorReplySize);

// Recording request.
constexpr size_t kOffImageId = 52;
constexpr size_t kOffBurnImageName = 56;
constexpr size_t kOffWriter = 88;
constexpr size_t kOffBurnFlags = 89;
constexpr size_t kOffHostAddress = 90;
constexpr uint8_t kSentBurnFlags = 0x03;
constexpr uint8_t kAlwaysBurnFlag = 0x04;
static_assert(kOffHostAddress + 4 + 2 == kBurnRequestSize);

// Image transfer request.
constexpr size_t kOffTransferFolder = 56;
constexpr size_t kOffTransferFile = 168;
constexpr size_t kOffImageNumber = 233;
constexpr size_t kOffImageSize = 237;
constexpr size_t kOffImageCount = 241;
static_assert(kOffTransferFolder + 112 == kOffTransferFile);
static_assert(kOffTransferFile + 65 == kOffImageNumber);

// Conversion and deletion requests.
constexpr size_t kOffConvertFolder = 52;
constexpr size_t kOffDeleteCount = 52;
constexpr size_t kOffDeleteIds = 56;
static_assert(kOffDeleteIds + 4 * NAS_IMG_DELETE_MAX <= kDeleteRequestSize);

// Completion data.
constexpr size_t kDoneNameWidth = 64;
constexpr size_t kOffMoreImages = 65;
constexpr size_t kOffNextFileSize = 69;

} // namespace

std::optional<std::array<uint8_t, kMirrorRequestSize>> BuildMirrorRequest(const NasMirrorInfo& info,
                                                                          uint32_t tocChecksum,
                                                                          int textEncodingKind,
                                                                          bool utf8Folder) {
    std::array<uint8_t, kMirrorRequestSize> request{};
    uint8_t* out = request.data();
    PutText(out + kOffUser, kUserWidth, info.userName, sizeof info.userName);
    if (PutPasswordDigest(out + kOffDigest, info.password, sizeof info.password) != 0)
        return std::nullopt;
    PutU32(out + kOffChecksum, tocChecksum);

    // The folder is a name the unit listed: it goes back byte for byte, whatever the kind.
    (void)utf8Folder;
    PutText(out + kOffFolder, sizeof info.folderName, info.folderName, sizeof info.folderName);
    PutU32(out + kOffMirrorValues, info.sectorCount);
    PutU32(out + kOffMirrorValues + 4, info.discKind);
    PutU32(out + kOffMirrorValues + 8, info.methodBits);
    // The caller's own texts, in the unit's encoding.
    PutUnitText(out + kOffSourceLabel, kMirrorTextWidth, info.sourceLabel, sizeof info.sourceLabel,
                textEncodingKind);
    PutUnitText(out + kOffImageName, kMirrorTextWidth, info.imageName, sizeof info.imageName,
                textEncodingKind);
    PutUnitText(out + kOffShareName, kMirrorTextWidth, info.shareName, sizeof info.shareName,
                textEncodingKind);
    PutU32(out + kOffSectorCount2, info.sectorCount2);
    PutU32(out + kOffFileSystem, info.fileSystem);
    out[kOffMode] = info.mode == 0 ? 1 : info.mode;
    return request;
}

void ApplyMirrorReply(NasMirrorInfo& info, const uint8_t* reply) {
    // The text may be unterminated: it is bounded by the reply's end and by the record's field,
    // and the field is always terminated.
    const char* text = reinterpret_cast<const char*>(reply + kOffReplyImageName);
    std::string_view name = RecordText(text, kMirrorReplySize - kOffReplyImageName);
    size_t length = std::min(name.size(), sizeof info.imageName - 1);
    std::memset(info.imageName, 0, sizeof info.imageName);
    std::memcpy(info.imageName, name.data(), length);
    info.replyWord = GetU16(reply + kOffReplyWord);
}

std::optional<std::array<uint8_t, kBurnRequestSize>>
BuildBurnRequest(const NasBurnInfo& info, int textEncodingKind, uint32_t hostAddress) {
    std::array<uint8_t, kBurnRequestSize> request{};
    uint8_t* out = request.data();
    PutText(out + kOffUser, kUserWidth, info.userName, sizeof info.userName);
    if (PutPasswordDigest(out + kOffDigest, info.password, sizeof info.password) != 0)
        return std::nullopt;
    PutU32(out + kOffImageId, info.imageId);
    // The image's name as the unit gave it (its list, or the reply to a mirror): byte for byte.
    (void)textEncodingKind;
    PutText(out + kOffBurnImageName, sizeof info.imageName, info.imageName, sizeof info.imageName);
    out[kOffWriter] = info.writer;
    out[kOffBurnFlags] = static_cast<uint8_t>((info.flags & kSentBurnFlags) | kAlwaysBurnFlag);
    PutU32Net(out + kOffHostAddress, hostAddress);
    return request;
}

std::optional<std::array<uint8_t, kTransferRequestSize>>
BuildTransferRequest(const NasImgRequest& request) {
    const auto& in = request.transfer;
    std::array<uint8_t, kTransferRequestSize> data{};
    uint8_t* out = data.data();
    PutText(out + kOffUser, kUserWidth, in.userName, sizeof in.userName);
    if (PutPasswordDigest(out + kOffDigest, in.password, sizeof in.password) != 0)
        return std::nullopt;
    PutText(out + kOffTransferFolder, sizeof in.folderName, in.folderName, sizeof in.folderName);
    PutText(out + kOffTransferFile, sizeof in.imageFileName, in.imageFileName,
            sizeof in.imageFileName);
    PutU32(out + kOffImageNumber, in.imageNumber);
    PutU32(out + kOffImageSize, in.imageSize);
    PutU32(out + kOffImageCount, in.imageCount);
    return data;
}

std::optional<std::array<uint8_t, kConvertRequestSize>>
BuildConvertRequest(const NasImgRequest& request) {
    const auto& in = request.conversion;
    std::array<uint8_t, kConvertRequestSize> data{};
    uint8_t* out = data.data();
    PutText(out + kOffUser, kUserWidth, in.userName, sizeof in.userName);
    if (PutPasswordDigest(out + kOffDigest, in.password, sizeof in.password) != 0)
        return std::nullopt;
    PutText(out + kOffConvertFolder, sizeof in.folderName, in.folderName, sizeof in.folderName);
    return data;
}

std::optional<std::array<uint8_t, kDeleteRequestSize>>
BuildDeleteRequest(const NasImgRequest& request) {
    const auto& in = request.deletion;
    std::array<uint8_t, kDeleteRequestSize> data{};
    uint8_t* out = data.data();
    PutText(out + kOffUser, kUserWidth, in.userName, sizeof in.userName);
    if (PutPasswordDigest(out + kOffDigest, in.password, sizeof in.password) != 0)
        return std::nullopt;
    PutU32(out + kOffDeleteCount, in.imageCount);
    for (size_t i = 0; i < NAS_IMG_DELETE_MAX; ++i)
        PutU32(out + kOffDeleteIds + 4 * i, in.imageIds[i]);
    return data;
}

std::array<uint8_t, kTransferDoneSize> BuildTransferDone(const NasImgDone* done) {
    std::array<uint8_t, kTransferDoneSize> data{};
    if (!done) return data;
    PutText(data.data(), kDoneNameWidth, done->nextFileName, sizeof done->nextFileName);
    PutU32(data.data() + kOffMoreImages, done->moreImages);
    PutU32(data.data() + kOffNextFileSize, done->nextFileSize);
    return data;
}

} // namespace nas
