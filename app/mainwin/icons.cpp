#include "icons.h"

#include "vcl/image_list.h"

#include <cstddef>

namespace nodeicons {
extern const unsigned char* const kIcons[kNodeKindIconCount];
extern const std::size_t kIconSizes[kNodeKindIconCount];
} // namespace nodeicons

int AddNodeKindIcons(vcl::TImageList* images) {
    if (!images || images->Count() != 0) return -1;
    for (int kind = 0; kind < kNodeKindIconCount; ++kind)
        images->AddFromBytes(nodeicons::kIcons[kind], nodeicons::kIconSizes[kind]);
    return images->Count();
}
