#include "vcl/spin_edit.h"

#include "detail/hooks.h"

#include <QSpinBox>

#include <algorithm>

namespace vcl {

using detail::Raise;

namespace {
QSpinBox* SpinOf(const TCSpinEdit* s) {
    return static_cast<QSpinBox*>(s->Widget());
}
} // namespace

TCSpinEdit::TCSpinEdit(TComponent* owner) : TWinControl(owner, new detail::Hooked<QSpinBox>()) {
    QSpinBox* s = SpinOf(this);
    s->setKeyboardTracking(true);
    ApplyRange();
    s->setValue(value_);
    QObject::connect(s, &QSpinBox::valueChanged, s, [this](int v) { ValueChanged(v); });
    SetBounds(0, 0, 121, 22);
}

void TCSpinEdit::ApplyRange() {
    QSpinBox* s = SpinOf(this);
    // The toolkit holds the value inside the range and reports a value it moved.
    s->setRange(min_, std::max(min_, max_));
}

void TCSpinEdit::ValueChanged(int value) {
    if (value == value_) return;
    value_ = value;
    Raise(this, [this] {
        if (OnChange) OnChange(this);
    });
}

void TCSpinEdit::SetMinValue(int min) {
    min_ = min;
    ApplyRange();
}

void TCSpinEdit::SetMaxValue(int max) {
    max_ = max;
    ApplyRange();
}

void TCSpinEdit::SetValue(int value) {
    SpinOf(this)->setValue(std::clamp(value, min_, std::max(min_, max_)));
}

void TCSpinEdit::SetIncrement(int increment) {
    increment_ = std::max(1, increment);
    SpinOf(this)->setSingleStep(increment_);
}

bool TCSpinEdit::WantsKey(TKey key) const {
    return key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT;
}

void TCSpinEdit::ColorChanged() {
    detail::ApplyBackground(Widget(), GetColor(), false);
}

TCSpinEdit::~TCSpinEdit() {
    StopEvents();
    // The widget outlives this part of the control: its signals must not reach it any more.
    QObject::disconnect(SpinOf(this), nullptr, nullptr, nullptr);
}

} // namespace vcl
