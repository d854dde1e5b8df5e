// Private to the form layer's sources: what a TPicture holds.
#pragma once

#include "vcl/graphics.h"

#include <QImage>

namespace vcl {

struct TPicture::Impl {
    QImage image;
};

} // namespace vcl
