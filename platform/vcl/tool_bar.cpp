#include "vcl/tool_bar.h"

#include "detail/hooks.h"
#include "detail/image_list_data.h"
#include "vcl/menus.h"

#include <QIcon>
#include <QPixmap>
#include <QToolButton>

namespace vcl {

using detail::ToQt;

namespace {
constexpr int kSeparatorWidth = 8;
}

TToolButton::TToolButton(TComponent* owner) : TControl(owner, new detail::Hooked<QToolButton>()) {
    auto* button = static_cast<QToolButton*>(Widget());
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    SetBounds(0, 0, 23, 22);
}

void TToolButton::SetStyle(TToolButtonStyle style) {
    style_ = style;
    Apply();
    if (auto* bar = dynamic_cast<TToolBar*>(GetParent())) bar->Realign();
}

void TToolButton::SetImageIndex(int index) {
    imageIndex_ = index;
    Apply();
}

void TToolButton::SetDown(bool down) {
    down_ = down;
    Apply();
}

void TToolButton::TextChanged() {
    Apply();
}

void TToolButton::Apply() {
    auto* button = static_cast<QToolButton*>(Widget());
    bool separator = style_ == tbsSeparator || style_ == tbsDivider;
    button->setEnabled(!separator && GetEnabled());
    button->setCheckable(style_ == tbsCheck);
    button->setChecked(down_);
    auto* bar = dynamic_cast<TToolBar*>(GetParent());
    TImageList* images = bar ? bar->GetImages() : nullptr;
    QIcon icon;
    if (!separator && images && imageIndex_ >= 0 && imageIndex_ < images->Count())
        icon =
            QIcon(QPixmap::fromImage(images->Data().images[static_cast<std::size_t>(imageIndex_)]));
    button->setIcon(icon);
    if (icon.isNull() || (bar && bar->ShowCaptions)) {
        button->setText(separator ? QString() : detail::StripAccelerators(ToQt(GetCaption())));
        button->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly
                                                 : Qt::ToolButtonTextUnderIcon);
    } else {
        button->setText(QString());
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    if (images) button->setIconSize(QSize(images->GetWidth(), images->GetHeight()));
}

void TToolButton::Click() {
    if (style_ == tbsSeparator || style_ == tbsDivider || !GetEnabled()) return;
    if (style_ == tbsCheck) SetDown(!down_);
    if (OnClick) {
        OnClick(this);
        return;
    }
    if (DropdownMenu) {
        TPoint below = ClientToScreen({0, GetHeight()});
        DropdownMenu->Popup(below.X, below.Y);
    }
}

TToolBar::TToolBar(TComponent* owner) : TWinControl(owner, new detail::Hooked<QWidget>()) {
    Widget()->setFocusPolicy(Qt::NoFocus);
    SetBounds(0, 0, 150, 29);
}

void TToolBar::SetImages(TImageList* images) {
    if (images_) RemoveFreeNotification(images_);
    images_ = images;
    if (images) FreeNotification(images);
    for (TControl* child : detail::ControlAccess::Children(*this))
        if (auto* button = dynamic_cast<TToolButton*>(child)) button->Apply();
    Realign();
}

void TToolBar::SetButtonSize(int width, int height) {
    buttonWidth_ = width;
    buttonHeight_ = height;
    Realign();
}

void TToolBar::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component == images_) images_ = nullptr;
    TWinControl::Notification(component, operation);
}

void TToolBar::AlignControls() {
    int x = 0;
    for (TControl* child : detail::ControlAccess::Children(*this)) {
        if (!child->GetVisible()) continue;
        auto* button = dynamic_cast<TToolButton*>(child);
        if (!button) continue;
        bool separator = button->GetStyle() == tbsSeparator || button->GetStyle() == tbsDivider;
        int width = separator ? kSeparatorWidth : buttonWidth_;
        if (!separator && ShowCaptions && button->GetWidth() > width) width = button->GetWidth();
        button->SetBounds(x, 0, width, buttonHeight_);
        button->Apply();
        x += width;
    }
}

} // namespace vcl
