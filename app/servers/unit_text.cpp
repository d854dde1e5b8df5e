#include "unit_text.h"

#include "message_format.h"
#include "msgbox.h"
#include "textcodec.h"

namespace {

// Message texts: the characters a unit lacks, and a text too long for the unit's field.
constexpr int kMsgUnitLacks = 964;
constexpr int kMsgTooLongForUnit = 965;

// Calls take(characterBytes, unitForm) for each character of a UTF-8 text in order; unitForm is
// none for a character the unit lacks or a byte that starts no character. Stops when take
// returns false.
template <typename Take> void EachCharacter(std::string_view utf8, int kind, Take take) {
    const char* codePage = UnitKeepsUtf8(kind) ? nullptr : AnsiCodePageName();
    for (std::size_t i = 0; i < utf8.size();) {
        const int length = Utf8SequenceLength(utf8, i);
        const std::size_t n = length > 0 ? static_cast<std::size_t>(length) : 1;
        const std::string_view character = utf8.substr(i, n);
        std::optional<std::string> form;
        if (length > 0) form = codePage ? Utf8ToAnsi(character, codePage) : std::string(character);
        if (!take(character, form)) return;
        i += n;
    }
}

} // namespace

bool UnitKeepsUtf8(int kind) {
    return kind == 1 || kind == 2;
}

const char* UnitCharsetName(int kind) {
    return UnitKeepsUtf8(kind) ? "UTF-8" : AnsiCodePageName();
}

std::string CharactersUnitLacks(std::string_view utf8, int kind) {
    std::string lacking;
    EachCharacter(utf8, kind, [&](std::string_view character, const auto& form) {
        if (form) return true;
        // An invalid byte is shown as the replacement character, not as itself.
        const std::string shown = Utf8SequenceLength(character, 0) > 0
                                      ? std::string(character)
                                      : std::string("\xEF\xBF\xBD");
        const std::string spaced = " " + shown + " ";
        if ((" " + lacking + " ").find(spaced) == std::string::npos)
            lacking += (lacking.empty() ? "" : " ") + shown;
        return true;
    });
    return lacking;
}

std::optional<std::string> ToUnitText(std::string_view utf8, int kind) {
    std::string out;
    bool whole = true;
    EachCharacter(utf8, kind, [&](std::string_view, const auto& form) {
        if (!form) return whole = false;
        out += *form;
        return true;
    });
    if (!whole) return std::nullopt;
    return out;
}

std::string_view CutForUnit(std::string_view utf8, int kind, std::size_t maxBytes) {
    std::size_t taken = 0; // bytes of utf8
    std::size_t bytes = 0; // bytes of the unit form
    EachCharacter(utf8, kind, [&](std::string_view character, const auto& form) {
        if (!form || bytes + form->size() > maxBytes) return false;
        bytes += form->size();
        taken += character.size();
        return true;
    });
    return utf8.substr(0, taken);
}

std::string UnitFieldText(std::string_view utf8, int kind, std::size_t maxBytes) {
    std::string out;
    EachCharacter(utf8, kind, [&](std::string_view, const auto& form) {
        const std::string_view bytes = form ? std::string_view(*form) : std::string_view("?");
        if (out.size() + bytes.size() > maxBytes) return false;
        out += bytes;
        return true;
    });
    return out;
}

std::string UnitLacksText(std::string_view utf8, int kind) {
    return FormatMessageText(GetMessageText(kMsgUnitLacks),
                             {UnitCharsetName(kind), CharactersUnitLacks(utf8, kind)});
}

std::optional<std::string> TypedTextForUnit(std::string_view typed, int kind, std::size_t maxBytes,
                                            std::string* why) {
    std::optional<std::string> form = ToUnitText(typed, kind);
    std::string reason;
    if (!form)
        reason = UnitLacksText(typed, kind);
    else if (form->size() > maxBytes)
        reason = FormatMessageText(GetMessageText(kMsgTooLongForUnit),
                                   {std::to_string(maxBytes), UnitCharsetName(kind)});
    if (reason.empty()) return form;
    if (why) *why = reason;
    return std::nullopt;
}
