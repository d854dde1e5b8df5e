// What the user types on its way to a unit. A unit of text-encoding kind 1 or 2 keeps its texts
// in UTF-8; one of any other kind in the code page of the message language (the one the access
// library converts with too). Every password, label and name the program sends a unit takes its
// unit form here, so that a text typed the same way reaches the unit as the same bytes on every
// path, and a text the unit cannot hold is refused where it is typed, naming what it lacks.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// True for the kinds that keep UTF-8 (1 and 2).
bool UnitKeepsUtf8(int kind);
// The name of a unit's character set as the user is shown it: "UTF-8" or the code page ("CP950").
const char* UnitCharsetName(int kind);

// The characters of a UTF-8 text that the unit's encoding has no form for, each once, in the
// order they first occur; an invalid byte counts as a character the unit lacks. Empty when the
// unit can hold the whole text.
std::string CharactersUnitLacks(std::string_view utf8, int kind);
// The text as the unit keeps it; none when the unit lacks one of its characters.
std::optional<std::string> ToUnitText(std::string_view utf8, int kind);
// The longest prefix of a UTF-8 text, ending at a character, whose unit form takes at most
// maxBytes bytes (characters the unit lacks end it).
std::string_view CutForUnit(std::string_view utf8, int kind, std::size_t maxBytes);

// The unit form of a UTF-8 text for a field of maxBytes bytes: converted first, then cut at a
// character boundary of the unit's encoding. A character the unit lacks becomes '?' (texts the
// user typed were refused before they get here).
std::string UnitFieldText(std::string_view utf8, int kind, std::size_t maxBytes);

// The message that names the characters of a UTF-8 text the unit lacks.
std::string UnitLacksText(std::string_view utf8, int kind);

// The unit form of a text the user typed for a field, or none with *why set to the message that
// names the characters the unit lacks, or says that the text is too long for maxBytes bytes in
// the unit's encoding.
std::optional<std::string> TypedTextForUnit(std::string_view typed, int kind, std::size_t maxBytes,
                                            std::string* why);
