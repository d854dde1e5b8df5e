// Texts of a NAS unit's record fields as the program holds them (UTF-8), and fixed-width fields
// filled from program texts. Record fields are read up to their first zero or their width, never
// further; conversions use storage of their own, so any thread may call them.
#pragma once

#include "textcodec.h" // CutUtf8 for the fields' texts

#include <cstddef>
#include <string>
#include <string_view>

// A field in the ANSI code page of the message language, as UTF-8; bytes that start no character
// of the code page become '?', a character cut off by the field's end is dropped.
std::string AnsiFieldText(const char* field, std::size_t width);
// A UTF-8 field: its valid characters; an invalid byte becomes '?', a character cut off by the
// field's end is dropped.
std::string Utf8FieldText(const char* field, std::size_t width);
// Writes text into a field of width bytes: cut at a character boundary to width - 1 bytes, the
// rest zero (so the field always ends with a zero).
void PutUtf8Field(char* field, std::size_t width, std::string_view text);
