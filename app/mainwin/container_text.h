// Small texts of the container views: the name check, shortened texts, attribute letters and
// entry times.
#pragma once

#include "container_record.h"

#include <cstdint>
#include <string>
#include <string_view>

// The date-time format of the container views.
inline constexpr char kContainerTimeFormat[] = "yyyy/mm/dd AM/PM hh:nn";

// 1 to 255 characters, none of \ / : * ? " < > | nor a control character, valid UTF-8, and
// neither a blank nor a dot at either end.
bool IsValidFileName(std::string_view name);
// The text cut to its first 40 (shortText) or 100 characters with "..." after, when longer.
std::string TruncateWithEllipsis(std::string_view text, bool shortText);
// "_._._._._._" with A (0x20), D (0x10), H (0x2), R (0x1), S (0x4) and I (0x10000, made in the
// container) at positions 1, 3, 5, 7, 9 and 11 for the bits that are set.
std::string AttributesToText(std::uint32_t attributes);
// The file time in local time, in the format "yyyy/mm/dd AM/PM hh:nn" (the only one the views
// use).
std::string FileTimeToDateTime(CisFileTime time, std::string_view format);
