// Entry names of a container: the checks a display name must pass and the comparisons that find
// entries by name. Names are UTF-8.
#pragma once

#include "textcodec.h" // IsValidUtf8, Utf8Length: UTF-8 checks the name check uses

#include <cstddef>
#include <string>
#include <string_view>

// Results of the name check.
inline constexpr int kCisNameOk = 0;
inline constexpr int kCisNameTooLong = 8; // 256 characters or more
inline constexpr int kCisNameEmpty = 10;
inline constexpr int kCisNameBadCharacter = 11; // \ / : * ? " < > |, a control character, bytes
                                                // that are not UTF-8, or a leading or trailing
                                                // blank or dot

int CisValidateEntryName(std::string_view name);
// True when CisValidateEntryName gives 0.
bool IsValidCisFileName(std::string_view name);

// The name with a-z upper-cased; other bytes as they are.
std::string UpperCaseName(std::string_view name);
// Equal when equal after UpperCaseName.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
