#include "records.h"

#include "wire.h"

#include <algorithm>

namespace nassim {
namespace records {

using wire::PutU16;
using wire::PutU32;

namespace {

// Image record (196 bytes).
constexpr std::size_t kImageState = 0, kImageFileSystem = 1, kImageUnused0 = 2, kImageId = 4,
                      kImageValue8 = 8, kImageName = 12, kImageText44 = 44, kImageSize = 76,
                      kImagePath = 80, kImageFlags = 192, kImageUnused1 = 193;
constexpr std::size_t kImageNameWidth = 32, kImageText44Width = 32, kImagePathWidth = 112;
static_assert(kImageName + kImageNameWidth == kImageText44);
static_assert(kImageText44 + kImageText44Width == kImageSize);
static_assert(kImagePath + kImagePathWidth == kImageFlags);
static_assert(kImageUnused1 + 3 == kImageRecordSize);

// Share record (616 bytes).
constexpr std::size_t kShareName = 0, kShareText32 = 32, kShareValues = 64, kShareUnused = 96,
                      kSharePath = 104;
constexpr std::size_t kSharePathWidth = 512;
static_assert(kShareValues + 8 * 4 == kShareUnused);
static_assert(kSharePath + kSharePathWidth == kShareRecordSize);

// CD drive record (52 bytes).
constexpr std::size_t kDriveMask = 0, kDriveName = 4, kDriveNameWidth = 44, kDriveTail = 48;
static_assert(kDriveName + kDriveNameWidth == kDriveTail);
static_assert(kDriveTail + 4 == kCdDriveRecordSize);

// Recording status reply data (97 bytes): two job words, then the 89-byte state, whose offsets
// below count from its start.
constexpr std::size_t kStatusJobWords = 8, kStateCounter = 4, kStatePercent = 16, kStateWriter = 20,
                      kStateEndReason = 85;
static_assert(kStatusJobWords + kStateEndReason + 4 == kRecordingStatusSize);

// Mirror start reply data.
constexpr std::size_t kMirrorReplyName = 220, kMirrorReplyNameWidth = 64, kMirrorReplyValue = 292;
static_assert(kMirrorReplyName + kMirrorReplyNameWidth <= kMirrorReplyValue);
static_assert(kMirrorReplyValue + 2 <= kMirrorReplySize);

void Text(Bytes& b, std::size_t off, std::size_t width, const std::string& text,
          bool unterminated) {
    wire::PutText(b, off, width, text);
    if (unterminated)
        std::fill(b.begin() + off + std::min(width, text.size()), b.begin() + off + width, 'X');
}

} // namespace

Bytes EncodeImage(const ImageRecord& r, bool unterminated) {
    Bytes b(kImageRecordSize, 0);
    b[kImageState] = r.state;
    b[kImageFileSystem] = r.fileSystem;
    b[kImageUnused0] = b[kImageUnused0 + 1] = r.filler;
    PutU32(b, kImageId, r.id);
    PutU32(b, kImageValue8, r.value8);
    Text(b, kImageName, kImageNameWidth, r.name, unterminated);
    Text(b, kImageText44, kImageText44Width, r.text44, unterminated);
    PutU32(b, kImageSize, r.size);
    Text(b, kImagePath, kImagePathWidth, r.path, unterminated);
    b[kImageFlags] = r.flags;
    std::fill(b.begin() + kImageUnused1, b.end(), r.filler);
    return b;
}

Bytes EncodeShare(const ShareRecord& r, bool unterminated) {
    Bytes b(kShareRecordSize, 0);
    Text(b, kShareName, 32, r.name, unterminated);
    Text(b, kShareText32, 32, r.text32, unterminated);
    for (std::size_t i = 0; i < r.values.size(); ++i)
        PutU32(b, kShareValues + 4 * i, r.values[i]);
    std::fill(b.begin() + kShareUnused, b.begin() + kSharePath, r.filler);
    Text(b, kSharePath, kSharePathWidth, r.path, unterminated);
    return b;
}

Bytes EncodeCdDrive(const CdDriveRecord& r, bool unterminated) {
    Bytes b(kCdDriveRecordSize, 0);
    PutU32(b, kDriveMask, r.typeMask);
    Text(b, kDriveName, kDriveNameWidth, r.name, unterminated);
    std::copy(r.tail.begin(), r.tail.end(), b.begin() + kDriveTail);
    return b;
}

// The unit keeps 8 bytes of its own in front of the folder name, which fills the rest.
constexpr std::size_t kFolderName = 8;

Bytes EncodeImageFolder(const std::string& name, bool unterminated) {
    Bytes b(kImageFolderRecordSize, 0);
    Text(b, kFolderName, kImageFolderRecordSize - kFolderName, name, unterminated);
    return b;
}

Bytes EncodeRecordingStatus(std::uint32_t job0, std::uint32_t job1, std::uint32_t counter,
                            const WriterStep& step) {
    Bytes b(kRecordingStatusSize, 0);
    for (std::size_t i = 0; step.filler != 0 && i < kStateEndReason; ++i)
        b[kStatusJobWords + i] = static_cast<std::uint8_t>(step.filler + i);
    PutU32(b, 0, job0);
    PutU32(b, 4, job1);
    PutU32(b, kStatusJobWords + kStateCounter, counter);
    b[kStatusJobWords + kStatePercent] = step.percent;
    b[kStatusJobWords + kStateWriter] = step.state;
    PutU32(b, kStatusJobWords + kStateEndReason, step.endReason);
    return b;
}

Bytes EncodeMirrorReply(const std::string& name, std::uint16_t value, bool unterminated) {
    Bytes b(kMirrorReplySize, 0);
    Text(b, kMirrorReplyName, kMirrorReplyNameWidth, name, unterminated);
    PutU16(b, kMirrorReplyValue, value);
    return b;
}

std::string TextAt(const std::uint8_t* p, std::size_t width) {
    const std::uint8_t* end = std::find(p, p + width, 0);
    return std::string(p, end);
}

} // namespace records

std::uint32_t CdTableChecksum(const Bytes& table) {
    constexpr std::size_t kFirstStart = 13, kEntrySize = 8, kEntries = 99, kLeadOutStart = 805;
    static_assert(kFirstStart + kEntrySize * (kEntries - 1) + 4 <= kLeadOutStart);
    static_assert(kLeadOutStart + 4 <= kCdTableSize);
    if (table.size() < kCdTableSize) return 0;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kEntries; ++i)
        sum += wire::GetU32(&table[kFirstStart + kEntrySize * i]);
    sum += wire::GetU32(&table[kLeadOutStart]);
    return sum | std::uint32_t{table[1]} << 24;
}

} // namespace nassim
