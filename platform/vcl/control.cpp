#include "vcl/control.h"

#include "detail/hooks.h"
#include "vcl/application.h"
#include "vcl/exception.h"
#include "vcl/form.h"
#include "vcl/std_controls.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>

namespace vcl {

namespace detail {

QString ToQt(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string FromQt(const QString& s) {
    return s.toStdString();
}

QColor ToQColor(TColor color) {
    if (color == clDefault) return QColor();
    if (color & static_cast<TColor>(0x80000000)) {
        const QPalette p = QGuiApplication::palette();
        switch (color) {
        case clBtnFace:
            return p.color(QPalette::Button);
        case clWindow:
            return p.color(QPalette::Base);
        case clWindowText:
            return p.color(QPalette::WindowText);
        case clBtnText:
            return p.color(QPalette::ButtonText);
        case clHighlight:
            return p.color(QPalette::Highlight);
        case clHighlightText:
            return p.color(QPalette::HighlightedText);
        case clInfoBk:
            return p.color(QPalette::ToolTipBase);
        case clGrayText:
            return p.color(QPalette::Disabled, QPalette::Text);
        default:
            return p.color(QPalette::Window);
        }
    }
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

QFont ToQFont(const TFont& font) {
    QFont f = QApplication::font();
    if (!font.GetName().empty()) f.setFamily(ToQt(font.GetName()));
    if (font.GetPitch() == fpFixed) {
        f.setFamily(QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        f.setStyleHint(QFont::Monospace);
        f.setFixedPitch(true);
    }
    if (font.PixelHeight() > 0)
        f.setPixelSize(font.PixelHeight());
    else
        f.setPointSize(font.GetSize());
    const TFontStyles s = font.GetStyle();
    f.setBold(s.Contains(fsBold));
    f.setItalic(s.Contains(fsItalic));
    f.setUnderline(s.Contains(fsUnderline));
    f.setStrikeOut(s.Contains(fsStrikeOut));
    return f;
}

QCursor ToQCursor(TCursor cursor) {
    switch (cursor) {
    case crArrow:
        return QCursor(Qt::ArrowCursor);
    case crCross:
        return QCursor(Qt::CrossCursor);
    case crIBeam:
        return QCursor(Qt::IBeamCursor);
    case crHourGlass:
        return QCursor(Qt::WaitCursor);
    case crHSplit:
        return QCursor(Qt::SplitHCursor);
    case crNo:
        return QCursor(Qt::ForbiddenCursor);
    case crAppStart:
        return QCursor(Qt::BusyCursor);
    case crHandPoint:
        return QCursor(Qt::PointingHandCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

TRect FromQRect(const QRect& r) {
    return {r.left(), r.top(), r.right() + 1, r.bottom() + 1};
}

void ApplyBackground(QWidget* w, TColor color, bool fill) {
    QPalette p = w->palette();
    const QColor c = ToQColor(color);
    if (c.isValid()) {
        p.setColor(QPalette::Window, c);
        p.setColor(QPalette::Base, c);
        p.setColor(QPalette::Button, c);
    } else {
        const QPalette base = QApplication::palette(w);
        p.setColor(QPalette::Window, base.color(QPalette::Window));
        p.setColor(QPalette::Base, base.color(QPalette::Base));
        p.setColor(QPalette::Button, base.color(QPalette::Button));
    }
    w->setPalette(p);
    w->setAutoFillBackground(fill);
}

QString StripAccelerators(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                out += QLatin1Char('&');
                ++i;
            }
            continue;
        }
        out += text[i];
    }
    return out;
}

TControl* ControlOf(const QWidget* w) {
    for (; w; w = w->parentWidget())
        if (auto* hook = dynamic_cast<const HookBase*>(w); hook && hook->control)
            return hook->control;
    return nullptr;
}

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
    TShiftState s;
    if (mods & Qt::ShiftModifier) s << ssShift;
    if (mods & Qt::ControlModifier) s << ssCtrl;
    if (mods & Qt::AltModifier) s << ssAlt;
    if (buttons & Qt::LeftButton) s << ssLeft;
    if (buttons & Qt::RightButton) s << ssRight;
    if (buttons & Qt::MiddleButton) s << ssMiddle;
    return s;
}

TKey VirtualKey(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<TKey>('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<TKey>('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<TKey>(VK_F1 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Pause:
        return VK_PAUSE;
    case Qt::Key_CapsLock:
        return VK_CAPITAL;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Menu:
        return VK_APPS;
    default:
        return 0;
    }
}

bool ButtonOf(Qt::MouseButton b, TMouseButton& out) {
    switch (b) {
    case Qt::LeftButton:
        out = mbLeft;
        return true;
    case Qt::RightButton:
        out = mbRight;
        return true;
    case Qt::MiddleButton:
        out = mbMiddle;
        return true;
    default:
        return false;
    }
}

bool KeyEvent(TControl* c, QEvent* e, const NativeEvent& native) {
    auto* wc = dynamic_cast<TWinControl*>(c);
    if (!wc || !ControlAccess::CanRaise(*c)) return native(e);
    auto* ke = static_cast<QKeyEvent*>(e);
    const TShiftState shift = ShiftOf(ke->modifiers(), QGuiApplication::mouseButtons());
    TKey key = VirtualKey(ke->key());
    if (e->type() == QEvent::KeyRelease) {
        if (key != 0) {
            ControlAccess::KeyUp(*wc, key, shift);
            if (key == 0) {
                e->accept();
                return true;
            }
        }
        native(e);
        e->accept();
        return true;
    }
    if (key != 0 && ControlAccess::KeyDown(*wc, key, shift)) {
        e->accept();
        return true;
    }
    const QString text = ke->text();
    if (!text.isEmpty() && key != VK_TAB) {
        const QList<uint> ucs = text.toUcs4();
        char32_t ch = ucs.isEmpty() ? 0 : static_cast<char32_t>(ucs.front());
        const char32_t typed = ch;
        if (typed != 0 && ControlAccess::KeyPress(*wc, ch)) {
            e->accept();
            return true;
        }
        if (ch != typed) {
            // The handler typed another character in place of this one.
            const char32_t replacement[1] = {ch};
            QKeyEvent copy(ke->type(), ke->key(), ke->modifiers(),
                           QString::fromUcs4(replacement, 1), ke->isAutoRepeat(),
                           static_cast<ushort>(ke->count()));
            native(&copy);
            e->accept();
            return true;
        }
    }
    native(e);
    // Keys stop at the control that had them, as they do in the original library.
    e->accept();
    return true;
}

// The drag inside the program: its source, where it was pressed, the control it is over and
// whether that control accepts.
struct InternalDrag {
    TControl* candidate = nullptr; // pressed with dmAutomatic, not moved far enough yet
    TControl* source = nullptr;    // the drag in progress
    QPoint pressGlobal;
    QPoint pressLocal;
    TControl* target = nullptr;
    bool accepted = false;
};
InternalDrag& Drag() {
    static InternalDrag drag;
    return drag;
}

// The control under a screen point in the window of w, and the point in its view's coordinates.
TControl* ControlUnder(QWidget* w, const QPoint& global, QPoint& local) {
    QWidget* window = w->window();
    QWidget* child = window->childAt(window->mapFromGlobal(global));
    if (!child) child = window;
    local = child->mapFromGlobal(global);
    return ControlOf(child);
}

void TellTarget(TControl* target, TControl* source, const QPoint& local, TDragState state,
                bool& accept) {
    accept = false;
    if (!target || !target->OnDragOver) return;
    Raise(target, [&] { target->OnDragOver(target, source, local.x(), local.y(), state, accept); });
}

// A move of the pressed control: starts the drag or carries it on. True when the move belongs to
// the drag (the control's own handling is skipped).
bool DragMove(TControl* c, QMouseEvent* me) {
    InternalDrag& d = Drag();
    const QPoint global = me->globalPosition().toPoint();
    if (!d.source) {
        if (d.candidate != c || !(me->buttons() & Qt::LeftButton)) return false;
        if ((global - d.pressGlobal).manhattanLength() < QApplication::startDragDistance())
            return false;
        d.source = c;
        d.candidate = nullptr;
        d.target = nullptr;
        d.accepted = false;
        Raise(c, [c] {
            if (c->OnStartDrag) c->OnStartDrag(c);
        });
        if (d.source != c) return true; // ended from the handler
    }
    // The moves of a drag belong to it whichever widget the toolkit hands them to.
    c = d.source;
    QPoint local;
    TControl* target = ControlUnder(c->Widget(), global, local);
    if (target != d.target) {
        bool ignored = false;
        if (d.target) TellTarget(d.target, c, local, dsDragLeave, ignored);
        d.target = target;
        TellTarget(target, c, local, dsDragEnter, d.accepted);
    } else {
        TellTarget(target, c, local, dsDragMove, d.accepted);
    }
    return true;
}

// The release of the pressed control: drops and ends a drag in progress. True when there was one.
bool DragRelease(TControl* c, QMouseEvent* me) {
    InternalDrag& d = Drag();
    d.candidate = nullptr;
    if (!d.source) return false;
    c = d.source;
    QPoint local;
    const QPoint global = me->globalPosition().toPoint();
    TControl* target = ControlUnder(c->Widget(), global, local);
    if (target != d.target) TellTarget(target, c, local, dsDragMove, d.accepted);
    const bool drop = target && d.accepted;
    d = InternalDrag{};
    if (drop)
        Raise(target, [&] {
            if (target->OnDragDrop) target->OnDragDrop(target, c, local.x(), local.y());
        });
    Raise(c, [&] {
        if (c->OnEndDrag) c->OnEndDrag(c, drop ? target : nullptr, local.x(), local.y());
    });
    return true;
}

bool MouseEvent(TControl* c, QEvent* e, const NativeEvent& native) {
    if (!ControlAccess::CanRaise(*c)) return native(e);
    auto* me = static_cast<QMouseEvent*>(e);
    const QPoint pos = me->position().toPoint();
    if (e->type() == QEvent::MouseMove && DragMove(c, me)) return true;
    if (e->type() == QEvent::MouseButtonRelease && me->button() == Qt::LeftButton)
        DragRelease(c, me);
    if (e->type() == QEvent::MouseButtonPress && me->button() == Qt::LeftButton &&
        c->DragMode == dmAutomatic) {
        Drag().candidate = c;
        Drag().pressGlobal = me->globalPosition().toPoint();
        Drag().pressLocal = pos;
    }
    TMouseButton button = mbLeft;
    const bool known = ButtonOf(me->button(), button);
    const TShiftState shift = ShiftOf(me->modifiers(), me->buttons());
    // Presses, releases and double clicks of other buttons only get the native handling.
    if (!known && e->type() != QEvent::MouseMove) return native(e);
    // The native handling of a button event, skipped for right presses where the control asks.
    const auto buttonNative = [&] {
        const bool skip = button == mbRight && !ControlAccess::NativeRightPress(*c);
        return skip ? (e->accept(), true) : native(e);
    };
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
        const bool result = buttonNative();
        if (button == mbLeft) ControlAccess::Pressed(*c) = true;
        ControlAccess::MouseDown(*c, button, shift, pos.x(), pos.y());
        return result;
    }
    case QEvent::MouseButtonRelease: {
        const bool result = buttonNative();
        if (button == mbLeft && ControlAccess::Pressed(*c)) {
            ControlAccess::Pressed(*c) = false;
            if (ControlAccess::ClicksOnRelease(*c) && c->ClientRect().Contains({pos.x(), pos.y()}))
                c->Click();
        }
        ControlAccess::MouseUp(*c, button, shift, pos.x(), pos.y());
        return result;
    }
    case QEvent::MouseButtonDblClick: {
        const bool result = buttonNative();
        if (button == mbLeft) ControlAccess::DblClick(*c);
        ControlAccess::MouseDown(*c, button, shift + TShiftState{ssDouble}, pos.x(), pos.y());
        return result;
    }
    case QEvent::MouseMove: {
        const bool result = native(e);
        ControlAccess::MouseMove(*c, shift, pos.x(), pos.y());
        return result;
    }
    default:
        return native(e);
    }
}

} // namespace

bool Dispatch(QWidget* widget, TControl* c, QEvent* e, const NativeEvent& native) {
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return KeyEvent(c, e, native);
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return MouseEvent(c, e, native);
    case QEvent::Resize: {
        const bool result = native(e);
        ControlAccess::Resized(*c);
        return result;
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut: {
        const bool result = native(e);
        if (auto* wc = dynamic_cast<TWinControl*>(c)) {
            if (e->type() == QEvent::FocusIn)
                Raise(wc, [wc] {
                    if (wc->OnEnter) wc->OnEnter(wc);
                });
            else
                Raise(wc, [wc] {
                    if (wc->OnExit) wc->OnExit(wc);
                });
        }
        return result;
    }
    case QEvent::Paint: {
        const bool result = native(e);
        if (auto* form = dynamic_cast<TForm*>(c); form && widget->isWindow())
            ControlAccess::Painted(*form);
        return result;
    }
    case QEvent::Close:
        if (auto* form = dynamic_cast<TForm*>(c)) {
            e->ignore();
            if (ControlAccess::CanRaise(*c)) ControlAccess::UserClose(*form);
            return true;
        }
        return native(e);
    case QEvent::Move: {
        const bool result = native(e);
        if (auto* form = dynamic_cast<TForm*>(c); form && widget->isWindow())
            ControlAccess::Moved(*form);
        return result;
    }
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate: {
        const bool result = native(e);
        if (auto* form = dynamic_cast<TForm*>(c))
            ControlAccess::Activated(*form, e->type() == QEvent::WindowActivate);
        return result;
    }
    default:
        return native(e);
    }
}

bool DispatchViewport(QWidget*, TControl* c, QEvent* e, const NativeEvent& native) {
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return MouseEvent(c, e, native);
    default:
        return native(e);
    }
}

} // namespace detail

using detail::ControlAccess;
using detail::Raise;

TControl::TControl(TComponent* owner, QWidget* widget) : TComponent(owner), widget_(widget) {
    if (auto* hook = dynamic_cast<detail::HookBase*>(widget_)) hook->control = this;
    widget_->hide();
    font_.OnChange = [this] { FontChanged(); };
    widget_->setFont(detail::ToQFont(font_));
    const QSize hint = widget_->sizeHint();
    width_ = std::max(0, hint.width());
    height_ = std::max(0, hint.height());
}

bool TControl::Dragging() const {
    return detail::Drag().source == this;
}

TPoint TControl::DragStartPoint() {
    return {detail::Drag().pressLocal.x(), detail::Drag().pressLocal.y()};
}

TControl::~TControl() {
    // A drag never outlives its source or its target.
    if (detail::Drag().candidate == this || detail::Drag().source == this)
        detail::Drag() = detail::InternalDrag{};
    if (detail::Drag().target == this) detail::Drag().target = nullptr;
    stopped_ = true;
    if (parent_) {
        TWinControl* parent = parent_;
        LeaveSiblings();
        parent->ChildRemoved(this);
        parent_ = nullptr;
        if (align_ != alNone && !parent->stopped_) parent->Realign();
    }
    if (auto* hook = dynamic_cast<detail::HookBase*>(widget_)) hook->control = nullptr;
    delete widget_;
}

bool TControl::CanRaise() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (c->stopped_ || c->Destroying()) return false;
    return true;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    for (const TControl* p = parent; p; p = p->parent_)
        if (p == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (parent_) {
        TWinControl* old = parent_;
        LeaveSiblings();
        parent_ = nullptr;
        old->ChildRemoved(this);
        if (align_ != alNone) old->Realign();
    }
    parent_ = parent;
    if (!parent_) {
        widget_->hide();
        widget_->setParent(nullptr);
        return;
    }
    parent_->controls_.push_back(this);
    if (auto* self = dynamic_cast<TWinControl*>(this)) parent_->tabChain_.push_back(self);
    parent_->ChildAdded(this);
    ApplyBounds();
    ApplyVisible();
    if (align_ != alNone) parent_->Realign();
}

void TControl::LeaveSiblings() {
    auto& siblings = parent_->controls_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    auto& chain = parent_->tabChain_;
    chain.erase(std::remove(chain.begin(), chain.end(), this), chain.end());
}

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->parent_)
        c = c->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::SetAlign(TAlign align) {
    if (align == align_) return;
    align_ = align;
    if (parent_) parent_->Realign();
}

void TControl::SetBounds(int left, int top, int width, int height) {
    ChangeBounds(left, top, width, height, true);
}

void TControl::ChangeBounds(int left, int top, int width, int height, bool realignParent) {
    width = std::max(0, width);
    height = std::max(0, height);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    const bool resized = width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    ApplyBounds();
    if (realignParent && parent_ && align_ != alNone) parent_->Realign();
    if (resized) SizeChanged();
}

void TControl::SizeChanged() {
    if (auto* self = dynamic_cast<TWinControl*>(this)) self->Realign();
    Raise(this, [this] {
        if (OnResize) OnResize(this);
    });
}

void TControl::StoreBounds(int left, int top, int width, int height) {
    ChangeBounds(left, top, width, height, true);
}

void TControl::Resized() {
    const QSize size = widget_->size();
    if (size.width() != GetClientWidth() || size.height() != GetClientHeight())
        ResizedByUser(size.width(), size.height());
}

void TControl::ResizedByUser(int width, int height) {
    // Store without moving the widget again: it has this size already.
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    SizeChanged();
}

void TControl::SetClientWidth(int width) {
    SetWidth(width + (width_ - GetClientWidth()));
}

void TControl::SetClientHeight(int height) {
    SetHeight(height + (height_ - GetClientHeight()));
}

TPoint TControl::ClientToScreen(TPoint p) const {
    const QPoint q = widget_->mapToGlobal(QPoint(p.X, p.Y));
    return {q.x(), q.y()};
}

TPoint TControl::ScreenToClient(TPoint p) const {
    const QPoint q = widget_->mapFromGlobal(QPoint(p.X, p.Y));
    return {q.x(), q.y()};
}

void TControl::ApplyBounds() {
    widget_->setGeometry(left_, top_, width_, height_);
}

void TControl::ApplyVisible() {
    widget_->setVisible(visible_ && parent_ != nullptr);
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    ApplyVisible();
    if (parent_ && align_ != alNone) parent_->Realign();
}

bool TControl::Showing() const {
    if (!visible_) return false;
    if (!parent_) return dynamic_cast<const TForm*>(this) != nullptr && widget_->isVisible();
    return parent_->Showing();
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    widget_->setEnabled(enabled);
}

void TControl::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    TextChanged();
}

void TControl::SetHint(const std::string& hint) {
    hint_ = hint;
    ApplyHint();
}

void TControl::SetShowHint(bool show) {
    showHint_ = show;
    ApplyHint();
}

void TControl::ApplyHint() {
    const std::string shown = showHint_ ? hint_.substr(0, hint_.find('|')) : std::string();
    widget_->setToolTip(detail::ToQt(shown));
}

void TControl::FontChanged() {
    widget_->setFont(detail::ToQFont(font_));
    QPalette p = widget_->palette();
    const QColor c = detail::ToQColor(font_.GetColor());
    if (c.isValid()) {
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Text, c);
        p.setColor(QPalette::ButtonText, c);
    }
    widget_->setPalette(p);
}

void TControl::ColorChanged() {
    detail::ApplyBackground(widget_, color_, color_ != clDefault);
}

void TControl::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    ColorChanged();
}

void TControl::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    if (cursor == crDefault)
        widget_->unsetCursor();
    else
        widget_->setCursor(detail::ToQCursor(cursor));
}

void TControl::Invalidate() {
    widget_->update();
}

void TControl::Repaint() {
    widget_->repaint();
}

void TControl::BringToFront() {
    widget_->raise();
}

void TControl::SendToBack() {
    widget_->lower();
}

void TControl::Click() {
    Raise(this, [this] {
        if (OnClick) OnClick(this);
    });
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    Raise(this, [&] {
        if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
    });
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    Raise(this, [&] {
        if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
    });
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    Raise(this, [&] {
        if (OnMouseMove) OnMouseMove(this, shift, x, y);
    });
}

void TControl::DblClick() {
    Raise(this, [this] {
        if (OnDblClick) OnDblClick(this);
    });
}

TWinControl::TWinControl(TComponent* owner, QWidget* widget) : TControl(owner, widget) {
    widget->setFocusPolicy(Qt::StrongFocus);
}

TWinControl::~TWinControl() {
    StopEvents();
    while (!controls_.empty())
        delete controls_.back();
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount()) return nullptr;
    return controls_[static_cast<size_t>(index)];
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->GetParent())
        if (!c->GetVisible() || !c->GetEnabled()) return false;
    return ParentForm() != nullptr;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    if (TForm* form = ParentForm(); form && form != this && form->Showing())
        form->Widget()->activateWindow();
    Widget()->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::Focused() const {
    return Widget()->hasFocus();
}

int TWinControl::GetTabOrder() const {
    TWinControl* parent = GetParent();
    if (!parent) return -1;
    const auto& chain = parent->tabChain_;
    const auto it = std::find(chain.begin(), chain.end(), this);
    return it == chain.end() ? -1 : static_cast<int>(it - chain.begin());
}

void TWinControl::SetTabOrder(int order) {
    TWinControl* parent = GetParent();
    if (!parent) return;
    auto& chain = parent->tabChain_;
    chain.erase(std::remove(chain.begin(), chain.end(), this), chain.end());
    order = std::clamp(order, 0, static_cast<int>(chain.size()));
    chain.insert(chain.begin() + order, this);
    if (TForm* form = ParentForm()) form->ChainTabOrder();
}

void TWinControl::SetTabStop(bool stop) {
    tabStop_ = stop;
    if (Widget()->focusPolicy() != Qt::NoFocus)
        Widget()->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
}

void TWinControl::ChainTabOrder() {
    // The toolkit keeps one focus chain per window: lay it out depth first, each parent's
    // children in their tab order.
    std::vector<QWidget*> order;
    std::function<void(const TWinControl*)> walk = [&](const TWinControl* c) {
        for (TWinControl* child : c->tabChain_) {
            if (child->Widget()->focusPolicy() != Qt::NoFocus) order.push_back(child->Widget());
            walk(child);
        }
    };
    walk(this);
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TWinControl::EnableAlign() {
    if (alignLock_ > 0 && --alignLock_ == 0) Realign();
}

void TWinControl::Realign() {
    if (alignLock_ > 0 || aligning_ || stopped_) return;
    aligning_ = true;
    try {
        AlignControls();
    } catch (...) {
        aligning_ = false;
        throw;
    }
    aligning_ = false;
}

void TWinControl::AlignControls() {
    AlignWithin(ClientRect());
}

void TWinControl::AlignWithin(TRect rect) {
    auto collect = [&](TAlign align) {
        std::vector<TControl*> list;
        for (TControl* c : controls_)
            if (c->align_ == align && c->visible_) list.push_back(c);
        return list;
    };
    auto place = [](TControl* c, int l, int t, int w, int h) {
        c->ChangeBounds(l, t, std::max(0, w), std::max(0, h), false);
    };
    auto tops = collect(alTop);
    std::stable_sort(tops.begin(), tops.end(),
                     [](TControl* a, TControl* b) { return a->top_ < b->top_; });
    for (TControl* c : tops) {
        place(c, rect.Left, rect.Top, rect.Width(), c->height_);
        rect.Top += c->height_;
    }
    auto bottoms = collect(alBottom);
    std::stable_sort(bottoms.begin(), bottoms.end(), [](TControl* a, TControl* b) {
        return a->top_ + a->height_ > b->top_ + b->height_;
    });
    for (TControl* c : bottoms) {
        place(c, rect.Left, rect.Bottom - c->height_, rect.Width(), c->height_);
        rect.Bottom -= c->height_;
    }
    auto lefts = collect(alLeft);
    std::stable_sort(lefts.begin(), lefts.end(),
                     [](TControl* a, TControl* b) { return a->left_ < b->left_; });
    for (TControl* c : lefts) {
        place(c, rect.Left, rect.Top, c->width_, rect.Height());
        rect.Left += c->width_;
    }
    auto rights = collect(alRight);
    std::stable_sort(rights.begin(), rights.end(), [](TControl* a, TControl* b) {
        return a->left_ + a->width_ > b->left_ + b->width_;
    });
    for (TControl* c : rights) {
        place(c, rect.Right - c->width_, rect.Top, c->width_, rect.Height());
        rect.Right -= c->width_;
    }
    for (TControl* c : collect(alClient))
        place(c, rect.Left, rect.Top, rect.Width(), rect.Height());
}

void TWinControl::ChildAdded(TControl* child) {
    child->Widget()->setParent(ClientWidget());
}

void TWinControl::ChildRemoved(TControl* child) {
    child->Widget()->hide();
    child->Widget()->setParent(nullptr);
}

bool TWinControl::WantsKey(TKey) const {
    return false;
}

bool TWinControl::KeyDown(TKey& key, TShiftState shift) {
    TForm* form = ParentForm();
    const bool plain =
        !shift.Contains(ssShift) && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt);
    if (form && plain && (key == VK_RETURN || key == VK_ESCAPE) && !WantsKey(key) &&
        form->DialogKey(key))
        return true;
    if (form && form != this && form->GetKeyPreview() && form->OnKeyDown) {
        Raise(form, [&] { form->OnKeyDown(form, key, shift); });
        if (key == 0) return true;
    }
    if (OnKeyDown) {
        Raise(this, [&] { OnKeyDown(this, key, shift); });
        if (key == 0) return true;
    }
    return false;
}

bool TWinControl::KeyPress(char32_t& key) {
    TForm* form = ParentForm();
    if (form && form != this && form->GetKeyPreview() && form->OnKeyPress) {
        Raise(form, [&] { form->OnKeyPress(form, key); });
        if (key == 0) return true;
    }
    if (OnKeyPress) {
        Raise(this, [&] { OnKeyPress(this, key); });
        if (key == 0) return true;
    }
    return false;
}

void TWinControl::KeyUp(TKey& key, TShiftState shift) {
    TForm* form = ParentForm();
    if (form && form != this && form->GetKeyPreview() && form->OnKeyUp) {
        Raise(form, [&] { form->OnKeyUp(form, key, shift); });
        if (key == 0) return;
    }
    if (OnKeyUp) Raise(this, [&] { OnKeyUp(this, key, shift); });
}

} // namespace vcl
