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
// True for a name holding one of \ / : * ? " < > |, a control character or bytes that are not
// UTF-8 (the faults of code 11 besides a leading or trailing blank or dot).
bool CisNameHasBadCharacter(std::string_view name);
// True when CisValidateEntryName gives 0.
bool IsValidCisFileName(std::string_view name);
// The check a name read from a ".CIS" file passes: that of CisValidateEntryName, except that
// control characters are allowed (the file format allows them, and a file holding one is loaded;
// names typed or taken from the host are still held to the whole check).
bool IsLoadableCisName(std::string_view name);

// What keeps a valid name out of an ISO 9660 image. A directory record's length byte holds at
// most 255 with the 33 bytes before the identifier and the pad to an even length, so an identifier
// takes at most 221 bytes: a folder's name, or a file's name with the ";1" the image adds (219
// bytes of name). Readers take what follows a ';' in a folder's identifier as a version number
// and drop it, so a folder named "x;1" would come back as "x", beside or in place of another
// entry. File names may hold ';': only the ";1" added after them is taken as their version.
inline constexpr std::size_t kCisMaxImageFolderName = 221;
inline constexpr std::size_t kCisMaxImageFileName = 219;
enum class CisImageNameFault {
    None,
    TooLong,       // more bytes than a directory record holds
    FolderVersion, // a folder name holding ';'
};
CisImageNameFault CisImageNameCheck(std::string_view name, bool folder);

// The name with a-z upper-cased; other bytes as they are.
std::string UpperCaseName(std::string_view name);
// Equal when equal after UpperCaseName.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
