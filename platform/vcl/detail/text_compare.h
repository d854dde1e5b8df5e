// Private to the form layer's sources: byte-wise text comparison that can ignore the case of
// ASCII letters (other bytes compare as they are), for sorting captions and matching names.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace vcl::detail {

inline unsigned char LowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// -1, 0 or 1; a text that is the start of the other sorts first.
inline int CompareText(std::string_view a, std::string_view b, bool ignoreCase = true) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ignoreCase) {
            ca = LowerAscii(ca);
            cb = LowerAscii(cb);
        }
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace vcl::detail
