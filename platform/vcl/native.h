// For the form layer's own code in platform/ only: the toolkit widget behind a control, so that
// drag-and-drop and clipboard helpers written against the toolkit can attach to it. Application
// code never includes this.
#pragma once

#include "vcl/control.h"

class QWidget;

namespace vcl {

inline QWidget* NativeWidget(TControl* control) {
    return control ? control->Widget() : nullptr;
}

} // namespace vcl
