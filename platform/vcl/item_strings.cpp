#include "vcl/item_strings.h"

namespace vcl {

int TItemStrings::IndexOf(std::string_view text) const {
    for (int i = 0; i < Count(); ++i)
        if (Strings(i) == text) return i;
    return -1;
}

int TItemStrings::IndexOfObject(const void* object) const {
    for (int i = 0; i < Count(); ++i)
        if (Objects(i) == object) return i;
    return -1;
}

} // namespace vcl
