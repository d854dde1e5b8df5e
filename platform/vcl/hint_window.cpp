#include "vcl/hint_window.h"

#include "detail/hooks.h"

#include <QLabel>

namespace vcl {

struct THintWindow::Impl {
    QLabel label;
};

THintWindow::THintWindow(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
    impl_->label.setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
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
    rect_ = rect;
    impl_->label.setText(detail::ToQt(text));
    impl_->label.setGeometry(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
    impl_->label.show();
}

void THintWindow::ReleaseHandle() {
    impl_->label.hide();
}

bool THintWindow::GetVisible() const {
    return impl_->label.isVisible();
}

} // namespace vcl
