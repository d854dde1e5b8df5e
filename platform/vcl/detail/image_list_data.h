// Private to the form layer's sources: what a TImageList holds.
#pragma once

#include "vcl/image_list.h"

#include <QImage>

#include <vector>

namespace vcl {

struct TImageList::Impl {
    std::vector<QImage> images; // each of the list's size
};

} // namespace vcl
