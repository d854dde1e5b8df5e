// The data of the session requests, built field by field from the callers' records, and the
// reading of the mirror-start reply.
#pragma once

#include "nasapi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace nas {

inline constexpr size_t kMirrorRequestSize = 420;
inline constexpr size_t kMirrorReplySize = 428;
inline constexpr size_t kBurnRequestSize = 96;
inline constexpr size_t kTransferRequestSize = 512;
inline constexpr size_t kConvertRequestSize = 200;
inline constexpr size_t kDeleteRequestSize = 512;
inline constexpr size_t kTransferDoneSize = 333;

// Sub-codes of the session requests.
namespace subcode {
inline constexpr uint32_t kMirrorStart = 13;
inline constexpr uint32_t kMirrorTable = 14;
inline constexpr uint32_t kMirrorData = 15; // data blocks and the completion
inline constexpr uint32_t kRemoteCDBurning = 19;
inline constexpr uint32_t kImgTransfer = 25;
inline constexpr uint32_t kImgData = 26; // data blocks and the completion
inline constexpr uint32_t kImgConvert = 27;
inline constexpr uint32_t kDeleteImage = 28;
} // namespace subcode

// Each builder gives none when the record's password is longer than its field.

// The mirror request: the caller's texts (source label, image name, share name) in the unit's
// encoding (PutUnitText), the account and the folder name (the unit's own) byte for byte, the
// table's checksum, mode 0 sent as 1. utf8Folder changes nothing: the folder is never converted.
std::optional<std::array<uint8_t, kMirrorRequestSize>> BuildMirrorRequest(const NasMirrorInfo& info,
                                                                          uint32_t tocChecksum,
                                                                          int textEncodingKind,
                                                                          bool utf8Folder);
// Takes the unit's image name (a text bounded by the reply and the field, always terminated) and
// its reply word from the 428 data bytes of the mirror-start reply.
void ApplyMirrorReply(NasMirrorInfo& info, const uint8_t* reply);

// The recording request; the image name (the unit's) goes byte for byte, hostAddress (host
// order) in network order.
std::optional<std::array<uint8_t, kBurnRequestSize>>
BuildBurnRequest(const NasBurnInfo& info, int textEncodingKind, uint32_t hostAddress);

std::optional<std::array<uint8_t, kTransferRequestSize>>
BuildTransferRequest(const NasImgRequest& request);
std::optional<std::array<uint8_t, kConvertRequestSize>>
BuildConvertRequest(const NasImgRequest& request);
std::optional<std::array<uint8_t, kDeleteRequestSize>>
BuildDeleteRequest(const NasImgRequest& request);
// The completion data of one image; all zero for no record.
std::array<uint8_t, kTransferDoneSize> BuildTransferDone(const NasImgDone* done);

} // namespace nas
