#include "utils.h"

#include "clock/clock.h"
#include "paths/paths.h"

#include <clocale>
#include <cstdlib>
#include <limits>
#include <locale>
#include <mutex>
#include <stdexcept>

namespace utils {
namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

struct Separators {
    char thousands;
    char decimal;
};

std::mutex numberLocaleMutex;
std::locale numberLocale = std::locale::classic();

Separators LocaleSeparators() {
    std::lock_guard lock(numberLocaleMutex);
    const auto& punct = std::use_facet<std::numpunct<char>>(numberLocale);
    return {punct.thousands_sep(), punct.decimal_point()};
}

// count / factor rounded half away from zero to `decimals` (0 or 2) places, as text: the integer
// part grouped in threes when `group`, trailing zero decimals and a bare decimal point dropped.
// The count is not negative.
std::string FormatQuotient(std::int64_t count, std::int64_t factor, int decimals, bool group) {
    const Separators sep = LocaleSeparators();
    const __int128 scale = decimals == 2 ? 100 : 1;
    const __int128 scaled = (static_cast<__int128>(count) * scale + factor / 2) / factor;
    __int128 whole = scaled / scale;
    int fraction = static_cast<int>(scaled % scale);

    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(whole % 10)));
        whole /= 10;
    } while (whole > 0);
    std::string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (group && i > 0 && (digits.size() - i) % 3 == 0) text += sep.thousands;
        text += digits[i];
    }
    if (fraction > 0) {
        text += sep.decimal;
        text += static_cast<char>('0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    }
    return text;
}

// Reads a decimal number written with the locale's decimal point: optional sign, digits with at
// most one decimal point, optional exponent. Anything else is not a number.
bool ParseLocaleNumber(std::string_view text, double& value) {
    const char decimal = LocaleSeparators().decimal;
    std::string plain;
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') plain += '-';
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            plain += c;
            digits = true;
        } else if (c == decimal && !point) {
            plain += '.';
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) plain += text[i++];
        bool expDigits = false;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            plain += text[i];
            expDigits = true;
        }
        if (!expDigits) return false;
    }
    if (i != text.size()) return false;
    // The text is plain C syntax now; read it independently of the C library's locale.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    char* end = nullptr;
    value = strtod_l(plain.c_str(), &end, cLocale); // out of range: +-HUGE_VAL or 0
    return end == plain.c_str() + plain.size();
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

void UseUserLocale() {
    try {
        SetNumberLocale(std::locale(""));
    } catch (const std::runtime_error&) {
        // An unknown locale in the environment: keep the current separators.
    }
}

void SetNumberLocale(const std::locale& locale) {
    std::lock_guard lock(numberLocaleMutex);
    numberLocale = locale;
}

std::string NormalizeDirPath(std::string_view path, char separator) {
    if (Trim(path).empty()) return {};
    while (!path.empty() && path.back() == separator)
        path.remove_suffix(1);
    std::string result(path);
    result += separator;
    return result;
}

std::string MakeTempFileName(std::string_view prefix, std::string_view extension) {
    std::string folder = platform::WorkFolder();
    std::string name = folder.empty() ? std::string(".") : folder;
    name += '/';
    name += prefix;
    name += std::to_string(platform::UnixSeconds());
    name += ".tmp";
    if (!extension.empty()) {
        name += '.';
        name += extension;
    }
    return name;
}

std::string FormatByteCount(int mode, std::int64_t count) {
    if (count < 0) return {};
    if (mode == 0) {
        if (count < KB)
            mode = 1;
        else if (count < MB)
            mode = 2;
        else if (count < 100 * MB)
            mode = 5;
        else if (count < GB)
            mode = 3;
        else if (count < 100 * GB)
            mode = 6;
        else if (count < (std::int64_t{1} << 50))
            mode = 4;
        else
            return {};
    }
    switch (mode) {
    case 1:
        return FormatQuotient(count, 1, 0, true) + (count > 1 ? " bytes" : " byte");
    case 2:
        return FormatQuotient(count, KB, 0, true) + " KB";
    case 3:
        return FormatQuotient(count, MB, 0, true) + " MB";
    case 4:
        return FormatQuotient(count, GB, 0, true) + " GB";
    case 5:
        return FormatQuotient(count, MB, 2, true) + " MB";
    case 6:
        return FormatQuotient(count, GB, 2, true) + " GB";
    default:
        return {};
    }
}

std::string FormatScaledSize(int mode, std::int64_t count) {
    const bool automatic = mode == 0;
    if ((automatic && count >= 10 * GB) || mode == 4) return std::to_string(count / GB) + " GB";
    if (automatic && count >= GB) return FormatQuotient(count, GB, 2, false) + " GB";
    if ((automatic && count >= 10 * MB) || mode == 3) return std::to_string(count / MB) + " MB";
    if (automatic && count >= MB) return FormatQuotient(count, MB, 2, false) + " MB";
    if (automatic || mode == 2) {
        if (count >= KB) return std::to_string(count / KB) + " KB";
        return count == 0 ? "0 KB" : "1 KB";
    }
    return std::to_string(count) + " BYTE(S)";
}

std::int64_t SizeTextToBytes(std::string_view text) {
    static constexpr struct {
        std::string_view unit;
        float factor;
    } units[] = {{"GB", static_cast<float>(GB)},
                 {"MB", static_cast<float>(MB)},
                 {"KB", static_cast<float>(KB)},
                 {"BYTE(S)", 1.0f}};
    for (const auto& u : units) {
        size_t at = text.find(u.unit);
        if (at == std::string_view::npos) continue;
        std::string_view number = Trim(text.substr(0, at));
        double value = 0;
        if (!ParseLocaleNumber(number, value)) return 0;
        const float bytes = static_cast<float>(value) * u.factor;
        // Sizes beyond the range of the result are held at its ends.
        constexpr float limit = 9223372036854775807.0f; // rounds to 2^63
        if (bytes >= limit) return std::numeric_limits<std::int64_t>::max();
        if (bytes <= -limit) return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(bytes);
    }
    return 0;
}

std::string IpToText(std::uint32_t address) {
    return std::to_string(address >> 24) + '.' + std::to_string((address >> 16) & 0xFF) + '.' +
           std::to_string((address >> 8) & 0xFF) + '.' + std::to_string(address & 0xFF);
}

} // namespace utils
