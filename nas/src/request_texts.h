// Text and password fields of the requests that the set-server and session calls build from their
// callers' records. Every text is read up to its terminator or the end of its field, never beyond.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace nas {

// The text of a caller's field: its bytes up to the first zero, or all width bytes.
std::string_view RecordText(const char* field, size_t width);
// True when the field holds a terminated text (a zero within its width).
bool IsTerminated(const char* field, size_t width);

// Copies the text of a caller's field unchanged into a request field: at most width bytes, the
// rest of the request field zero.
void PutText(uint8_t* out, size_t width, const char* field, size_t fieldWidth);
// The same, the text converted from the configured ANSI code page to UTF-8 (characters that don't
// convert become '?') and cut at a UTF-8 character boundary.
void PutUtf8Text(uint8_t* out, size_t width, const char* field, size_t fieldWidth);
// A caller's text for a unit of the given text-encoding kind, which the caller has put in the
// unit's encoding: for kinds 1 and 2 its UTF-8 (a byte that starts no character becomes '?', a
// character cut off by the field's end is left out) cut at a UTF-8 character boundary to at most
// width bytes; for any other kind its bytes unchanged (the code page of the unit), at most width.
// The rest of the request field is zero.
void PutUnitText(uint8_t* out, size_t width, const char* field, size_t fieldWidth,
                 int textEncodingKind);
// The UTF-8 form of a caller's text, as PutUtf8Text converts it, uncut.
std::string RecordTextUtf8(const char* field, size_t fieldWidth);

// The salted digest (16 bytes) of the password in a caller's field: 0, or -1 when the password
// fills its field without a terminator (longer than the field allows).
int PutPasswordDigest(uint8_t* out16, const char* field, size_t fieldWidth);

} // namespace nas
