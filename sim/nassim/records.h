// The unit's wire records: list records, the recording status and the mirror reply, encoded at
// explicit offsets. With unterminated set, the bytes after every text up to its field's end are
// 'X' instead of zero.
#pragma once

#include "nassim.h"

namespace nassim::records {

Bytes EncodeImage(const ImageRecord& image, bool unterminated);
Bytes EncodeShare(const ShareRecord& share, bool unterminated);
Bytes EncodeCdDrive(const CdDriveRecord& drive, bool unterminated);
Bytes EncodeImageFolder(const std::string& name, bool unterminated);

// The 89 bytes of a writer's recording state, placed after the two job words of the reply data.
Bytes EncodeRecordingStatus(std::uint32_t job0, std::uint32_t job1, std::uint32_t jobCounter,
                            const WriterStep& step);

// The 428 data bytes of the mirror start reply: the image name the unit gave at 220 and a u16
// at 292.
inline constexpr std::size_t kMirrorReplySize = 428;
Bytes EncodeMirrorReply(const std::string& imageName, std::uint16_t value, bool unterminated);

// Reads a text of at most width bytes (up to the first zero byte).
std::string TextAt(const std::uint8_t* p, std::size_t width);

} // namespace nassim::records
