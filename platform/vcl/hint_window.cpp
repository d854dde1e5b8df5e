#include "vcl/hint_window.h"

#include "detail/hooks.h"

#include <QLabel>

#include <algorithm>

namespace vcl {

struct THintWindow::Impl {
    QLabel label;
};

THintWindow::THintWindow(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
    // A tool-tip shows, it takes nothing: the pointer and clicks go through it to the window
    // below (it sits near the pointer, often over what is clicked next), and it never takes the
    // focus.
    impl_->label.setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint |
                                Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus);
    impl_->label.setAttribute(Qt::WA_TransparentForMouseEvents);
    impl_->label.setAttribute(Qt::WA_ShowWithoutActivating);
    impl_->label.setMargin(2);
    impl_->label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetColor(clInfoBk);
}

THintWindow::~THintWindow() = default;

void THintWindow::SetColor(TColor color) {
    color_ = color;
    detail::ApplyBackground(&impl_->label, color, true);
}

void THintWindow::ActivateHint(const TRect& rect, const std::string& text) {
    text_ = text;
    impl_->label.setText(detail::ToQt(text));
    // The rectangle is the least the window covers: it grows to show the whole text in the font
    // it is drawn with, which the caller cannot measure.
    const QSize need = impl_->label.sizeHint();
    rect_ = {rect.Left, rect.Top, rect.Left + std::max(rect.Right - rect.Left, need.width()),
             rect.Top + std::max(rect.Bottom - rect.Top, need.height())};
    impl_->label.setGeometry(rect_.Left, rect_.Top, rect_.Width(), rect_.Height());
    impl_->label.show();
}

void THintWindow::ReleaseHandle() {
    impl_->label.hide();
}

bool THintWindow::GetVisible() const {
    return impl_->label.isVisible();
}

} // namespace vcl
