#include "vcl/mouse.h"

#include <QCursor>

namespace vcl {

TPoint GetCursorPos() {
    QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

} // namespace vcl
