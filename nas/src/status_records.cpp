#include "status_records.h"

#include "packet_header.h"
#include "text_codec.h"
#include "wire_bytes.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace nas {

namespace {

// Copies the text of a wire field into a caller field: at most outWidth - 1 bytes, up to the
// first zero, the rest of the caller field zero.
void CopyText(char* out, size_t outWidth, const uint8_t* wire, size_t wireWidth) {
    std::string_view text = FieldText(wire, std::min(wireWidth, outWidth - 1));
    std::memset(out, 0, outWidth);
    std::memcpy(out, text.data(), text.size());
}

} // namespace

size_t AnnouncedRecords(uint32_t dataLength, size_t wireSize, size_t cap) {
    return std::min<size_t>(dataLength / wireSize, cap);
}

std::optional<TaskHead> DecodeTaskHead(const uint8_t head[kTaskHeadSize]) {
    uint32_t dataLength = GetU32(head + kOffDataLength);
    if (dataLength < kTaskCountersSize) return std::nullopt;
    size_t records = (dataLength - kTaskCountersSize) / kTaskWireSize;
    if (records > NAS_TASK_INFO_MAX) return std::nullopt;
    TaskHead task;
    task.status = static_cast<int16_t>(GetU16(head + kOffStatus));
    task.taskCount = GetU32(head + kExtendedHeaderSize);
    task.value = GetU32(head + kExtendedHeaderSize + 4);
    task.records = records;
    return task;
}

void DecodeImgInfo(const uint8_t wire[kImgWireSize], NasImgInfo& out) {
    out.state = wire[0];
    out.fileSystem = wire[1];
    out.imageId = GetU32(wire + 4);
    out.value6 = GetU32(wire + 8);
    CopyText(out.name, sizeof out.name, wire + 12, 32);
    CopyText(out.text42, sizeof out.text42, wire + 44, 32);
    out.size = GetU32(wire + 76);
    CopyText(out.path, sizeof out.path, wire + 80, 112);
    out.flags = wire[192];
}

void DecodeShareInfo(const uint8_t wire[kShareWireSize], NasShareInfo& out) {
    CopyText(out.name, sizeof out.name, wire, 32);
    CopyText(out.text32, sizeof out.text32, wire + 32, 32);
    for (size_t i = 0; i < 8; ++i)
        out.values[i] = GetU32(wire + 64 + 4 * i);
    CopyText(out.text96, sizeof out.text96, wire + 104, 512);
}

void DecodeCDDrvInfo(const uint8_t wire[kCDDrvWireSize], NasCDDrvInfo& out) {
    out.typeMask = GetU32(wire);
    CopyText(out.name, sizeof out.name, wire + 4, 44);
    out.driveNumber = wire[48];
    std::memcpy(out.tail, wire + 49, sizeof out.tail);
}

void DecodeImgFolder(const uint8_t wire[kImgFolderWireSize], char out[NAS_IMG_FOLDER_SIZE]) {
    std::memcpy(out, wire, kImgFolderWireSize);
    out[NAS_IMG_FOLDER_SIZE - 1] = 0;
}

void DecodeCDBurningStat(const uint8_t data[kBurningStatDataSize], NasCDBurningStat& out) {
    // The record is the reply data from byte 8 on: bytes 8..95, then byte 96.
    const uint8_t* body = data + kSubHeaderSize;
    std::memcpy(out.bytes0, body, sizeof out.bytes0);
    out.jobCounter = GetU32(body + 4);
    std::memcpy(out.bytes8, body + 8, sizeof out.bytes8);
    out.percentDone = body[16];
    std::memcpy(out.bytes17, body + 17, sizeof out.bytes17);
    out.writerState = body[20];
    std::memcpy(out.bytes21, body + 21, sizeof out.bytes21);
    out.endReason = GetU32(body + 85);
}

bool DriveMatches(uint32_t driveMask, int wantedMask) {
    if (wantedMask <= 0 || wantedMask == 255) return true;
    return (driveMask & static_cast<uint32_t>(wantedMask)) != 0;
}

size_t FilterCDDrives(const uint8_t* wire, size_t count, int wantedMask, NasCDDrvInfo* out) {
    size_t stored = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* record = wire + i * kCDDrvWireSize;
        if (!DriveMatches(GetU32(record), wantedMask)) continue;
        DecodeCDDrvInfo(record, out[stored++]);
    }
    return stored;
}

} // namespace nas
