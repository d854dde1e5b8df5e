#include "rmtnasip_mask.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace ipbox {

namespace {

constexpr int kGroups = 4;
constexpr int kPlaces = 3;
constexpr int kDotPlace = 3;
constexpr int kMaxGroupValue = 255;
constexpr std::size_t kMaxAddressChars = 15;

bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}

bool IsDotPosition(int position) {
    return position % kGroupWidth == kDotPlace;
}

bool IsBoxText(std::string_view text) {
    if (text.size() != static_cast<std::size_t>(kTextLength)) return false;
    for (int i = 0; i < kTextLength; ++i) {
        const char c = text[static_cast<std::size_t>(i)];
        if (IsDotPosition(i) ? c != '.' : !(IsDigit(static_cast<unsigned char>(c)) || c == ' '))
            return false;
    }
    return true;
}

// The number that the places of a group show (blanks left out); none for an empty group.
std::optional<int> GroupNumber(std::string_view text, int group) {
    int value = 0;
    bool any = false;
    for (int place = 0; place < kPlaces; ++place) {
        const char c = text[static_cast<std::size_t>(group * kGroupWidth + place)];
        if (c == ' ') continue;
        value = value * 10 + (c - '0');
        any = true;
    }
    return any ? std::optional<int>(value) : std::nullopt;
}

// Puts the digit at position when its group's number stays within 255.
bool PlaceDigit(std::string& text, int position, char digit) {
    std::string trial = text;
    trial[static_cast<std::size_t>(position)] = digit;
    if (GroupNumber(trial, position / kGroupWidth).value_or(0) > kMaxGroupValue) return false;
    text = std::move(trial);
    return true;
}

int Clamp(int caret) {
    return std::clamp(caret, 0, kTextLength);
}

KeyResult TypeDigit(BoxState& box, char digit) {
    int position = box.caret;
    if (position >= kTextLength) return KeyResult::Refused;
    // A digit typed before a dot belongs to the next group: step over the dot first, so that
    // the group limit applies to the group the digit lands in.
    if (IsDotPosition(position)) ++position;
    if (!PlaceDigit(box.text, position, digit)) {
        const int group = position / kGroupWidth;
        const bool lastPlace = position % kGroupWidth == kPlaces - 1;
        if (!lastPlace || group == kGroups - 1) return KeyResult::Refused;
        // The number is complete: the digit starts the next group.
        position = (group + 1) * kGroupWidth;
        if (!PlaceDigit(box.text, position, digit)) return KeyResult::Refused;
    }
    int caret = position + 1;
    if (caret < kTextLength && IsDotPosition(caret)) ++caret;
    box.caret = caret;
    return KeyResult::Applied;
}

KeyResult TypeDot(BoxState& box) {
    const int caret = box.caret;
    if (caret >= kTextLength) return KeyResult::Refused;
    const int place = caret % kGroupWidth;
    if (place == kDotPlace) {
        box.caret = caret + 1;
        return KeyResult::Applied;
    }
    const int group = caret / kGroupWidth;
    if (place == 0 || group == kGroups - 1) return KeyResult::Refused;
    box.caret = (group + 1) * kGroupWidth;
    return KeyResult::Applied;
}

KeyResult Backspace(BoxState& box) {
    // Left over blanks and dots to the nearest digit, which becomes a blank.
    int caret = box.caret;
    while (caret > 0 && box.text[static_cast<std::size_t>(caret - 1)] == ' ')
        --caret;
    while (caret > 0 &&
           !IsDigit(static_cast<unsigned char>(box.text[static_cast<std::size_t>(caret - 1)])))
        --caret;
    if (caret == 0) return KeyResult::Refused;
    box.text[static_cast<std::size_t>(caret - 1)] = ' ';
    box.caret = caret - 1;
    return KeyResult::Applied;
}

} // namespace

std::string EmptyText() {
    return "   .   .   .   ";
}

std::optional<std::uint32_t> ParseAddressText(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ' ') s += c;
    if (s.empty() || s.size() > kMaxAddressChars) return std::nullopt;

    int dots = 0;
    for (char c : s) {
        if (c == '.')
            ++dots;
        else if (!IsDigit(static_cast<unsigned char>(c)) || dots >= kGroups)
            return std::nullopt;
    }
    if (IsDigit(static_cast<unsigned char>(s.back())) && dots != kGroups - 1) return std::nullopt;

    std::array<std::uint32_t, kGroups> numbers{};
    std::size_t start = 0;
    for (int i = 0; i < kGroups; ++i) {
        const std::size_t end = std::min(s.find('.', start), s.size());
        if (end == start || start > s.size()) return std::nullopt; // missing or empty part
        std::uint32_t value = 0;
        for (std::size_t k = start; k < end; ++k) {
            value = value * 10 + static_cast<std::uint32_t>(s[k] - '0');
            if (value > static_cast<std::uint32_t>(kMaxGroupValue)) return std::nullopt;
        }
        numbers[static_cast<std::size_t>(i)] = value;
        start = end + 1;
    }
    return numbers[0] << 24 | numbers[1] << 16 | numbers[2] << 8 | numbers[3];
}

std::string AddressBoxText(std::uint32_t address) {
    std::string text;
    for (int i = 0; i < kGroups; ++i) {
        std::string number = std::to_string((address >> (24 - 8 * i)) & 0xFFu);
        number.resize(kPlaces, ' ');
        if (i > 0) text += '.';
        text += number;
    }
    return text;
}

std::string NormalizeBoxText(std::string_view text, std::string_view previous) {
    if (IsBoxText(text)) return std::string(text);

    // One range deleted from the previous box text: blank the places it held.
    if (IsBoxText(previous) && text.size() < previous.size()) {
        const std::size_t removed = previous.size() - text.size();
        std::size_t prefix = 0;
        while (prefix < text.size() && text[prefix] == previous[prefix])
            ++prefix;
        if (previous.substr(prefix + removed) == text.substr(prefix)) {
            std::string result(previous);
            for (std::size_t i = prefix; i < prefix + removed; ++i)
                if (result[i] != '.') result[i] = ' ';
            return result;
        }
    }

    // Anything else: the digits of the first four dot-separated parts, three at most each.
    std::string result;
    std::size_t start = 0;
    for (int i = 0; i < kGroups; ++i) {
        std::string digits;
        std::size_t k = start;
        for (; k < text.size() && text[k] != '.'; ++k)
            if (IsDigit(static_cast<unsigned char>(text[k])) && digits.size() < kPlaces)
                digits += text[k];
        digits.resize(kPlaces, ' ');
        if (i > 0) result += '.';
        result += digits;
        start = k < text.size() ? k + 1 : text.size();
    }
    return result;
}

KeyResult TypeKey(BoxState& box, char32_t key,
                  const std::function<std::optional<std::string>()>& clipboardText) {
    box.text = NormalizeBoxText(box.text, "");
    box.caret = Clamp(box.caret);
    if (IsDigit(key)) return TypeDigit(box, static_cast<char>(key));
    switch (key) {
    case '.':
        return TypeDot(box);
    case kBackspace:
        return Backspace(box);
    case kCtrlV: {
        const std::optional<std::string> clip = clipboardText ? clipboardText() : std::nullopt;
        const std::optional<std::uint32_t> address = clip ? ParseAddressText(*clip) : std::nullopt;
        if (!address) return KeyResult::Refused;
        box.text = AddressBoxText(*address);
        box.caret = kTextLength;
        return KeyResult::Applied;
    }
    case kCtrlX: {
        const int group = std::min(box.caret / kGroupWidth, kGroups - 1);
        return GroupNumber(box.text, group).value_or(0) <= kMaxGroupValue ? KeyResult::Passed
                                                                          : KeyResult::Refused;
    }
    default:
        return KeyResult::Refused;
    }
}

KeyResult DeleteKey(BoxState& box) {
    box.text = NormalizeBoxText(box.text, "");
    box.caret = Clamp(box.caret);
    if (box.caret >= kTextLength) return KeyResult::Refused;
    char& at = box.text[static_cast<std::size_t>(box.caret)];
    if (at == '.' || at == ' ') return KeyResult::Refused;
    at = ' ';
    return KeyResult::Applied;
}

} // namespace ipbox
