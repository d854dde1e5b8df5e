#include "vcl/ext_controls.h"

#include "detail/hooks.h"
#include "detail/picture.h"

#include <QFrame>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>

namespace vcl {

using detail::ToQt;

namespace {

void DrawBevel(QPainter& p, QRect r, TPanelBevel bevel, int width, const QPalette& pal) {
    if (bevel == bvNone || bevel == bvSpace) return;
    const QColor light = pal.color(QPalette::Light);
    const QColor dark = pal.color(QPalette::Dark);
    const QColor topLeft = bevel == bvRaised ? light : dark;
    const QColor bottomRight = bevel == bvRaised ? dark : light;
    for (int i = 0; i < width; ++i) {
        const QRect k = r.adjusted(i, i, -i, -i);
        p.setPen(topLeft);
        p.drawLine(k.topLeft(), k.topRight());
        p.drawLine(k.topLeft(), k.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(k.bottomLeft(), k.bottomRight());
        p.drawLine(k.topRight(), k.bottomRight());
    }
}

// A panel paints its bevels and centred caption itself.
class PanelWidget : public detail::Hooked<QWidget> {
protected:
    void paintEvent(QPaintEvent*) override {
        auto* panel = static_cast<TPanel*>(control);
        if (!panel) return;
        QPainter p(this);
        QRect r = rect();
        if (panel->GetBorderStyle() == bsSingle) {
            p.setPen(palette().color(QPalette::WindowText));
            p.drawRect(r.adjusted(0, 0, -1, -1));
            r.adjust(1, 1, -1, -1);
        }
        const int w = panel->GetBevelWidth();
        DrawBevel(p, r, panel->GetBevelOuter(), w, palette());
        if (panel->GetBevelOuter() != bvNone) r.adjust(w, w, -w, -w);
        DrawBevel(p, r, panel->GetBevelInner(), w, palette());
        const QString text = detail::StripAccelerators(ToQt(panel->GetCaption()));
        if (text.isEmpty()) return;
        const Qt::Alignment h = panel->GetAlignment() == taCenter         ? Qt::AlignHCenter
                                : panel->GetAlignment() == taRightJustify ? Qt::AlignRight
                                                                          : Qt::AlignLeft;
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r, static_cast<int>(h | Qt::AlignVCenter), text);
    }
};

class ImageWidget : public detail::Hooked<QWidget> {
protected:
    void paintEvent(QPaintEvent*) override {
        auto* image = static_cast<TImage*>(control);
        if (!image || image->Picture()->Empty()) return;
        const QImage& img = image->Picture()->Data().image;
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        QRect target(QPoint(0, 0), img.size());
        if (image->GetStretch()) {
            QSize size = rect().size();
            if (image->GetProportional()) size = img.size().scaled(size, Qt::KeepAspectRatio);
            target = QRect(QPoint(0, 0), size);
        } else if (image->GetProportional() && (img.width() > width() || img.height() > height())) {
            target = QRect(QPoint(0, 0), img.size().scaled(rect().size(), Qt::KeepAspectRatio));
        }
        if (image->GetCenter()) target.moveCenter(rect().center());
        p.drawImage(target, img);
    }
};

class BevelWidget : public detail::Hooked<QWidget> {
protected:
    void paintEvent(QPaintEvent*) override {
        auto* bevel = static_cast<TBevel*>(control);
        if (!bevel || bevel->GetShape() == bsSpacer) return;
        QPainter p(this);
        const QColor light = palette().color(QPalette::Light);
        const QColor dark = palette().color(QPalette::Dark);
        const QColor first = bevel->GetStyle() == bsLowered ? dark : light;
        const QColor second = bevel->GetStyle() == bsLowered ? light : dark;
        const QRect r = rect().adjusted(0, 0, -1, -1);
        auto line = [&](QPoint a, QPoint b, QPoint shift) {
            p.setPen(first);
            p.drawLine(a, b);
            p.setPen(second);
            p.drawLine(a + shift, b + shift);
        };
        switch (bevel->GetShape()) {
        case bsBox:
        case bsFrame:
            p.setPen(first);
            p.drawRect(r.adjusted(0, 0, -1, -1));
            p.setPen(second);
            p.drawRect(r.adjusted(1, 1, 0, 0));
            break;
        case bsTopLine:
            line(r.topLeft(), r.topRight(), {0, 1});
            break;
        case bsBottomLine:
            line(r.bottomLeft() - QPoint(0, 1), r.bottomRight() - QPoint(0, 1), {0, 1});
            break;
        case bsLeftLine:
            line(r.topLeft(), r.bottomLeft(), {1, 0});
            break;
        case bsRightLine:
            line(r.topRight() - QPoint(1, 0), r.bottomRight() - QPoint(1, 0), {1, 0});
            break;
        case bsSpacer:
            break;
        }
    }
};

} // namespace

// ---- TPanel

TPanel::TPanel(TComponent* owner) : TWinControl(owner, new PanelWidget()) {
    Widget()->setFocusPolicy(Qt::NoFocus);
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TPanelBevel bevel) {
    bevelOuter_ = bevel;
    Realign();
    Invalidate();
}

void TPanel::SetBevelInner(TPanelBevel bevel) {
    bevelInner_ = bevel;
    Realign();
    Invalidate();
}

void TPanel::SetBevelWidth(int width) {
    bevelWidth_ = std::max(1, width);
    Realign();
    Invalidate();
}

void TPanel::SetBorderStyle(TFormBorderStyle style) {
    borderStyle_ = style == bsSingle ? bsSingle : bsNone;
    Realign();
    Invalidate();
}

void TPanel::SetAlignment(TAlignment alignment) {
    alignment_ = alignment;
    Invalidate();
}

int TPanel::BorderWidth() const {
    int w = borderStyle_ == bsSingle ? 1 : 0;
    if (bevelOuter_ != bvNone) w += bevelWidth_;
    if (bevelInner_ != bvNone) w += bevelWidth_;
    return w;
}

void TPanel::TextChanged() {
    Invalidate();
}

void TPanel::ColorChanged() {
    detail::ApplyBackground(Widget(), GetColor(), true);
}

void TPanel::AlignControls() {
    const int b = BorderWidth();
    AlignWithin({b, b, std::max(b, GetClientWidth() - b), std::max(b, GetClientHeight() - b)});
}

// ---- TImage

TImage::TImage(TComponent* owner) : TControl(owner, new ImageWidget()) {
    picture_.OnChange = [this] { PictureChanged(); };
    SetBounds(0, 0, 105, 105);
}

void TImage::PictureChanged() {
    if (autoSize_ && !picture_.Empty())
        SetBounds(GetLeft(), GetTop(), picture_.Width(), picture_.Height());
    Invalidate();
}

void TImage::SetStretch(bool stretch) {
    stretch_ = stretch;
    Invalidate();
}

void TImage::SetCenter(bool center) {
    center_ = center;
    Invalidate();
}

void TImage::SetProportional(bool proportional) {
    proportional_ = proportional;
    Invalidate();
}

void TImage::SetTransparent(bool transparent) {
    transparent_ = transparent;
    Invalidate();
}

void TImage::SetAutoSize(bool autoSize) {
    autoSize_ = autoSize;
    PictureChanged();
}

// ---- TBevel

TBevel::TBevel(TComponent* owner) : TControl(owner, new BevelWidget()) {
    SetBounds(0, 0, 50, 50);
}

void TBevel::SetShape(TBevelShape shape) {
    shape_ = shape;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle style) {
    style_ = style;
    Invalidate();
}

} // namespace vcl
