// The address box of the add-address dialog: an IPv4 address typed into the fixed layout
// "ddd.ddd.ddd.ddd" (15 characters, dots fixed, blanks for empty places), the parser of its text
// and the editing rules of its keys. Plain functions on text and caret, without the toolkit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ipbox {

inline constexpr int kTextLength = 15; // four groups of three places and three dots
inline constexpr int kGroupWidth = 4;  // three places and the dot that follows them

// Characters of the keys as the key-press event gives them.
inline constexpr char32_t kBackspace = 8;
inline constexpr char32_t kEnter = 13;
inline constexpr char32_t kCtrlV = 22;
inline constexpr char32_t kCtrlX = 24;
inline constexpr char32_t kEscape = 27;

// The empty box: "   .   .   .   ".
std::string EmptyText();

// The address of a text typed into the box or taken from the clipboard, in host byte order; none
// when it is not a dotted address. Blanks are removed first; the rest must have 1 to 15
// characters, each a digit or '.', no digit after a fourth '.', exactly three dots when it ends
// with a digit, and four leading parts that are each a decimal number from 0 to 255.
std::optional<std::uint32_t> ParseAddressText(std::string_view text);

// The box text of an address: each number left-aligned in its group ("192.168.1  .1  ").
std::string AddressBoxText(std::uint32_t address);

// Lays any text out in the box's form. A text made from previous (a box text) by deleting one
// range of characters, as a cut does, becomes previous with the digits of that range blanked;
// any other text is split at its dots and keeps the first three digits of each of its first four
// parts.
std::string NormalizeBoxText(std::string_view text, std::string_view previous);

// The box's text and the caret position (0 to kTextLength).
struct BoxState {
    std::string text;
    int caret = 0;
};

// What a key did.
enum class KeyResult {
    Applied, // the key changed the text or the caret; the toolkit must not handle it again
    Refused, // the key was dropped; nothing changed
    Passed,  // the key goes on to the toolkit unchanged (a cut that the filter lets through)
};

// Runs one typed key on the box: the key filter first, then the box's own editing.
// - The filter works on the group of the caret (caret / 4) and the place in it (caret % 4).
//   At a dot place nothing is filtered. A digit that would make its group's number exceed 255 is
//   refused; typed at the last place of groups 0 to 2 it is carried to the first place of the
//   next group instead (and checked there). Backspace first moves the caret left over blanks
//   until a digit or a dot precedes it. Ctrl+V pastes only a clipboard text that parses as an
//   address. Ctrl+X passes only while the group's number is 0 to 255.
// - Editing: a digit overwrites its place and the caret moves on, over a dot; a '.' moves the
//   caret to the next group when digits precede it in its own; Backspace blanks the digit before
//   the caret (stepping over dots to the nearest one); a pasted address replaces the whole text;
//   any other character is refused. Enter and Escape are the dialog's and are refused here.
// clipboardText is asked only for Ctrl+V.
KeyResult TypeKey(BoxState& box, char32_t key,
                  const std::function<std::optional<std::string>()>& clipboardText);

// The Delete key: blanks the digit at the caret; the caret stays.
KeyResult DeleteKey(BoxState& box);

} // namespace ipbox
