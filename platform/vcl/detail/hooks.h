// Private to the form layer's sources (never included by a public header): the bridge between a
// control and its toolkit widget. A hooked widget hands its events to the control's pipeline,
// which keeps the original library's order (keys before the native handling, mouse events after).
#pragma once

#include "vcl/application.h"
#include "vcl/control.h"
#include "vcl/form.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QColor>
#include <QCursor>
#include <QEvent>
#include <QFont>
#include <QModelIndex>
#include <QPalette>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>

namespace vcl::detail {

// What every hooked widget carries: its control (null once the control is gone).
struct HookBase {
    virtual ~HookBase() = default;
    TControl* control = nullptr;
};

using NativeEvent = std::function<bool(QEvent*)>;

// The pipeline of a control for one event that reached its widget; native runs the widget's own
// handling.
bool Dispatch(QWidget* widget, TControl* control, QEvent* event, const NativeEvent& native);
// The same for the events of a scroll area's viewport (item views), whose coordinates are the
// viewport's.
bool DispatchViewport(QWidget* viewport, TControl* control, QEvent* event,
                      const NativeEvent& native);

template <class Base> class Hooked : public Base, public HookBase {
public:
    template <class... A> explicit Hooked(A&&... args) : Base(std::forward<A>(args)...) {}

protected:
    bool event(QEvent* e) override {
        if (!control) return Base::event(e);
        return Dispatch(this, control, e, [this](QEvent* ev) { return Base::event(ev); });
    }
};

// For item views: the viewport's mouse events go through the control too, and the control hears
// when an in-place editor opens (started, with its index) and closes (ended).
template <class Base> class HookedView : public Hooked<Base> {
public:
    using Hooked<Base>::Hooked;
    using Base::edit;
    std::function<void(const QModelIndex&)> editStarted;
    std::function<void()> editEnded;

    // Opens the editor of index; true when one is open afterwards.
    bool OpenEditor(const QModelIndex& index) {
        return edit(index, QAbstractItemView::AllEditTriggers, nullptr) &&
               this->state() == QAbstractItemView::EditingState;
    }
    // Closes the editor of index, keeping (commit) or dropping what was typed.
    void CloseEditorOf(const QModelIndex& index, bool commit) {
        if (QWidget* editor = this->indexWidget(index)) {
            if (commit) this->commitData(editor);
            this->closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }

protected:
    bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger,
              QEvent* event) override {
        const bool wasEditing = this->state() == QAbstractItemView::EditingState;
        const bool result = Base::edit(index, trigger, event);
        if (result && !wasEditing && this->state() == QAbstractItemView::EditingState &&
            editStarted)
            editStarted(index);
        return result;
    }
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        Base::closeEditor(editor, hint);
        // Ended only when no editor is left open (a stale editor may close late).
        if (editEnded && this->state() != QAbstractItemView::EditingState) editEnded();
    }
    bool viewportEvent(QEvent* e) override {
        if (!this->control) return Base::viewportEvent(e);
        return DispatchViewport(this->viewport(), this->control, e,
                                [this](QEvent* ev) { return Base::viewportEvent(ev); });
    }
};

// The control whose widget is w or holds w, or null.
TControl* ControlOf(const QWidget* w);

QString ToQt(const std::string& s);
std::string FromQt(const QString& s);
// The colour, or an invalid colour for clDefault.
QColor ToQColor(TColor color);
QFont ToQFont(const TFont& font);
QCursor ToQCursor(TCursor cursor);
// The toolkit's rectangle (right and bottom inside it) as a TRect (right and bottom outside).
TRect FromQRect(const QRect& r);
// Sets the palette role of w to color (clDefault: the style's own) and fills the background when
// fill is set.
void ApplyBackground(QWidget* w, TColor color, bool fill);
// A caption with "&x" accelerators shown as plain text ("&&" gives "&").
QString StripAccelerators(const QString& text);

// Access to the protected parts of controls for the form layer's sources.
struct ControlAccess {
    static void SetWidget(TControl& c, QWidget* w) { c.widget_ = w; }
    static void StoreBounds(TControl& c, int l, int t, int w, int h) { c.StoreBounds(l, t, w, h); }
    static bool KeyDown(TWinControl& c, TKey& key, TShiftState shift) {
        return c.KeyDown(key, shift);
    }
    static bool KeyPress(TWinControl& c, char32_t& key) { return c.KeyPress(key); }
    static void KeyUp(TWinControl& c, TKey& key, TShiftState shift) { c.KeyUp(key, shift); }
    static bool WantsKey(const TWinControl& c, TKey key) { return c.WantsKey(key); }
    static bool CanRaise(const TControl& c) { return c.CanRaise(); }
    static void ChainTabOrder(TWinControl& c) { c.ChainTabOrder(); }
    static const std::vector<TControl*>& Children(const TWinControl& c) { return c.controls_; }
    static const std::vector<TWinControl*>& TabChain(const TWinControl& c) { return c.tabChain_; }
    static void MouseDown(TControl& c, TMouseButton b, TShiftState s, int x, int y) {
        c.MouseDown(b, s, x, y);
    }
    static void MouseUp(TControl& c, TMouseButton b, TShiftState s, int x, int y) {
        c.MouseUp(b, s, x, y);
    }
    static void MouseMove(TControl& c, TShiftState s, int x, int y) { c.MouseMove(s, x, y); }
    static void DblClick(TControl& c) { c.DblClick(); }
    static bool ClicksOnRelease(const TControl& c) { return c.ClicksOnRelease(); }
    static bool NativeRightPress(const TControl& c) { return c.NativeRightPress(); }
    static bool& Pressed(TControl& c) { return c.pressed_; }
    static void Resized(TControl& c) { c.Resized(); }
    static void Painted(TForm& f) { f.Painted(); }
    static void Activated(TForm& f, bool active) { f.Activated(active); }
    static void UserClose(TForm& f) { f.UserClose(); }
    static void Moved(TForm& f) { f.Moved(); }
};

// Raises an event handler if the control may raise events; what it throws goes to the application.
template <class F> void Raise(TControl* control, F&& call) {
    if (!control || !ControlAccess::CanRaise(*control)) return;
    Guarded(control, std::forward<F>(call));
}

} // namespace vcl::detail
