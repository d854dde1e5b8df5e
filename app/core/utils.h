// Text utilities shared by the windows and the server model: directory paths, work file names,
// byte counts as text and back, IPv4 addresses as text. Stateless; callable from any thread.
//
// Numbers in size texts use the separators of the number locale: digits grouped in threes with its
// thousands separator, decimals after its decimal point. It is "C" (1,234.5) until the program sets
// the user's; the global C++ locale is left alone, so that other formatting stays plain.
#pragma once

#include <cstdint>
#include <locale>
#include <string>
#include <string_view>

namespace utils {

constexpr std::int64_t KB = 1024;
constexpr std::int64_t MB = 1024 * KB;
constexpr std::int64_t GB = 1024 * MB;

// Makes the user's locale (from the environment: LC_ALL, LC_NUMERIC, LANG) the number locale.
// Called once at program start; an unknown locale leaves the number locale as it was.
void UseUserLocale();
// Sets the number locale (tests pin it with this).
void SetNumberLocale(const std::locale& locale);

// The path with exactly one trailing separator; the empty text for a path that is empty or only
// blanks. Host folders use '/' (the default); a path inside a container passes '\\'. A path made
// only of separators gives the root, one separator.
std::string NormalizeDirPath(std::string_view path, char separator = '/');

// A file path in the process's private work folder: the prefix, the current time in seconds since
// 1970, ".tmp" and, when extension is not empty, "." and the extension. The file is not made; two
// calls with one prefix in the same second give the same name, so each work file has its own
// prefix.
std::string MakeTempFileName(std::string_view prefix, std::string_view extension);

// A byte count grouped with a unit: mode 0 chooses by size, 1 bytes, 2 KB, 3 MB, 4 GB, 5 MB with
// up to two decimals, 6 GB with up to two decimals. Empty for a negative count, an unknown mode or
// (mode 0) a count of 2^50 and more.
std::string FormatByteCount(int mode, std::int64_t count);

// A byte count scaled to a unit without grouping: mode 0 chooses by size, 2 KB, 3 MB, 4 GB; any
// other mode the count and " BYTE(S)".
std::string FormatScaledSize(int mode, std::int64_t count);

// The byte count of a size text as FormatScaledSize makes it ("1.5 GB", "12 KB", "1536 BYTE(S)").
// 0 when the text holds no unit or the part before the unit is not a number: list sorting calls it
// on any cell text, so it never throws. The number passes through single precision, as list
// sorting has always compared sizes.
std::int64_t SizeTextToBytes(std::string_view text);
// The same function under the name the list view's sorting uses.
inline std::int64_t ParseSizeText(std::string_view text) {
    return SizeTextToBytes(text);
}

// An IPv4 address given in host byte order as dotted decimal text, most significant byte first.
std::string IpToText(std::uint32_t address);

} // namespace utils
