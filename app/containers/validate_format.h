// Texts of the container validation: file sizes, file dates, attribute letters and the time
// stamps of the validate log.
#pragma once

#include "container_record.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

// A byte count as utils::FormatByteCount shows it in the given mode ("1,234 bytes" in mode 1);
// empty for a count beyond the signed 64-bit range.
std::string FormatFileSize(std::uint64_t size, int mode);
// The file time in local time, in a date-time format of the tokens yyyy, yy, mm, dd, hh, nn,
// ss and AM/PM (which switches hh to the 12-hour clock); other characters stand as they are.
std::string FormatFileDate(CisFileTime time, std::string_view format);
// "_._._._._._" with A (archive), D (directory), H (hidden), R (read-only), S (system) and
// I (made in the container) in the places of their attributes.
std::string FormatFileAttributes(std::uint32_t attributes);
// The local time in the form "Wed Dec 09 09:05:31 2026" (English names, whatever the locale).
std::string ValidateTimeText(std::chrono::system_clock::time_point now);
