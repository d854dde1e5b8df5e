// Where the mouse cursor is, in screen co-ordinates.
#pragma once

#include "vcl/graphics.h"

namespace vcl {

TPoint GetCursorPos();

} // namespace vcl
