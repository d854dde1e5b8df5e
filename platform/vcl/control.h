// Controls: TControl (a visible element with bounds, texts, font and mouse events) and TWinControl
// (a control that takes the keyboard focus and holds child controls, which it lays out by Align).
//
// A control sits in its Parent's client area; without a parent it is not shown. Destroying a
// TWinControl destroys its child controls first, as the original library does. No event is raised
// while a control or its form is being destroyed.
#pragma once

#include "vcl/component.h"
#include "vcl/events.h"
#include "vcl/graphics.h"
#include "vcl/keys.h"
#include "vcl/set.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget; // only the form layer's own sources (platform/) use the native widget

namespace vcl {

class TWinControl;
class TForm;
namespace detail {
struct ControlAccess;
}

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftFlag>;

// Key is a virtual-key code (keys.h); setting it to 0 stops the key's further handling.
using TKeyEvent = std::function<void(TObject* Sender, TKey& Key, TShiftState Shift)>;
// Key is the typed character; 0 suppresses it, another character is typed in its place.
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

// Dragging inside the program (between controls of one window): with DragMode dmAutomatic a left
// press moved by the desktop's drag distance starts a drag (OnStartDrag on the source); while
// it moves, the control under the cursor is asked by OnDragOver (enter, move, leave) whether it
// accepts; the release drops on an accepting target (OnDragDrop) and ends the drag (OnEndDrag on
// the source, with the target or null). Points are in the coordinates of the control's view
// (the viewport of a scrolling control). While a drag runs the moves select nothing.
enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
using TStartDragEvent = std::function<void(TObject* Sender)>;
using TDragOverEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y,
                                          TDragState State, bool& Accept)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = std::function<void(TObject* Sender, TObject* Target, int X, int Y)>;

class TControl : public TComponent {
public:
    ~TControl() override;

    TWinControl* GetParent() const { return parent_; }
    // Places the control in parent's client area at its current bounds; null takes it out.
    virtual void SetParent(TWinControl* parent);
    // The form the control sits on (the form itself for a form), or null.
    TForm* ParentForm() const;

    TAlign GetAlign() const { return align_; }
    void SetAlign(TAlign align);
    // Bounds in the parent's client coordinates (for a form: on the screen, frame included).
    int GetLeft() const { return left_; }
    int GetTop() const { return top_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
    void SetTop(int top) { SetBounds(left_, top, width_, height_); }
    void SetWidth(int width) { SetBounds(left_, top_, width, height_); }
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    // The client area (the whole control but for forms and group boxes).
    virtual int GetClientWidth() const { return width_; }
    virtual int GetClientHeight() const { return height_; }
    void SetClientWidth(int width);
    void SetClientHeight(int height);
    TRect ClientRect() const { return {0, 0, GetClientWidth(), GetClientHeight()}; }
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;

    bool GetVisible() const { return visible_; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and every parent up to a shown form visible too.
    virtual bool Showing() const;
    bool GetEnabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);

    // Caption and Text are one property under two names, as in the original library.
    std::string GetCaption() const { return GetText(); }
    void SetCaption(const std::string& text) { SetText(text); }
    virtual std::string GetText() const { return text_; }
    virtual void SetText(const std::string& text);

    // The hint shows as a tool tip while ShowHint is set; only the part before a '|' is shown.
    std::string GetHint() const { return hint_; }
    void SetHint(const std::string& hint);
    bool GetShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    TFont* Font() { return &font_; }
    const TFont* Font() const { return &font_; }
    // clDefault: the desktop's colour for this kind of control.
    TColor GetColor() const { return color_; }
    void SetColor(TColor color);
    TCursor GetCursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

    intptr_t Tag = 0;

    void Invalidate();
    // Paints the control now.
    void Repaint();
    void Update() { Repaint(); }
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();

    // Does what a click does: runs OnClick (buttons also set the form's ModalResult first).
    virtual void Click();

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    // Raised after the control's own handling of the press or release.
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnResize;
    TDragMode DragMode = dmManual;
    TStartDragEvent OnStartDrag;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;
    // Whether this control is the source of the drag in progress.
    bool Dragging() const;
    // The press that started the drag in progress, in the source's coordinates.
    static TPoint DragStartPoint();

    // The native widget, for the form layer's own code.
    QWidget* Widget() const { return widget_; }

protected:
    // Takes ownership of widget. Bounds start as the widget's size hint at 0,0.
    TControl(TComponent* owner, QWidget* widget);

    // False while the control or its form is being destroyed: events are not raised then.
    bool CanRaise() const;
    // Called by the destructor of the most derived class of the form layer that raises events
    // while it tears down.
    void StopEvents() { stopped_ = true; }

    // Hooks for derived classes.
    virtual void TextChanged() {}
    virtual void FontChanged();
    virtual void ColorChanged();
    virtual void ResizedByUser(int width, int height);
    // Moves the widget to the stored bounds.
    virtual void ApplyBounds();
    virtual void ApplyVisible();
    // Stores bounds that the widget took on its own (a form resized by the user) and realigns.
    void StoreBounds(int left, int top, int width, int height);

    // Mouse hooks called by the widget after its own handling; they raise the events.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void DblClick();
    // Whether a left press and release inside the control count as a click (labels, panels,
    // images: yes; buttons and check boxes click by their own means).
    virtual bool ClicksOnRelease() const { return true; }
    // Whether a right press gets the widget's own handling (views answer no: a right press does
    // not select natively; the control's events still see it).
    virtual bool NativeRightPress() const { return true; }

private:
    friend class TWinControl;
    friend class TForm;
    friend struct detail::ControlAccess;

    void ApplyHint();
    // Stores and applies new bounds; the parent realigns when realignParent is set.
    void ChangeBounds(int left, int top, int width, int height, bool realignParent);
    // The widget's size changed on its own (a stack or the user).
    void Resized();
    // After a change of size: realigns the children and raises OnResize.
    void SizeChanged();
    // Takes the control out of its parent's child list and tab chain.
    void LeaveSiblings();

    QWidget* widget_;
    TWinControl* parent_ = nullptr;
    TAlign align_ = alNone;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    bool stopped_ = false;
    bool pressed_ = false; // a left press inside the control waits for its release
    std::string text_;
    std::string hint_;
    bool showHint_ = false;
    TFont font_;
    TColor color_ = clDefault;
    TCursor cursor_ = crDefault;
};

class TWinControl : public TControl {
public:
    // Destroys the child controls first.
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    // The child control at index in insertion order, or null.
    TControl* Controls(int index) const;

    void SetFocus();
    bool Focused() const;
    bool CanFocus() const;
    // The position in the parent's tab chain; setting it moves the siblings behind it along.
    int GetTabOrder() const;
    void SetTabOrder(int order);
    bool GetTabStop() const { return tabStop_; }
    void SetTabStop(bool stop);

    // Lays out the aligned children now; DisableAlign/EnableAlign bracket many changes.
    void Realign();
    void DisableAlign() { ++alignLock_; }
    void EnableAlign();

    // Key events: the form's dialog keys (Enter for the default button, Escape for the cancel
    // button) come first unless the control wants the key; then the form's OnKeyDown when it
    // has KeyPreview; then this OnKeyDown; a Key set to 0 ends the handling there. OnKeyPress
    // follows for typed characters in the same order.
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    TWinControl(TComponent* owner, QWidget* widget);

    // The widget that holds the child widgets (the control's own by default).
    virtual QWidget* ClientWidget() const { return Widget(); }
    // Children placed into this control; a page control only takes tab sheets.
    virtual void ChildAdded(TControl* child);
    virtual void ChildRemoved(TControl* child);
    // Places the aligned children in the client area: top, bottom, left, right, then client.
    virtual void AlignControls();
    // The same inside rect (client coordinates), for controls with borders.
    void AlignWithin(TRect rect);
    // Whether the control handles this key itself, so that the form does not take it as a
    // dialog key (multi-line editors want Enter, lists want arrows...).
    virtual bool WantsKey(TKey key) const;

    // Lays out the window's focus chain from the tab orders below this control.
    void ChainTabOrder();
    // The key pipeline; true when the key was handled (the native handling is skipped then).
    bool KeyDown(TKey& key, TShiftState shift);
    bool KeyPress(char32_t& key);
    void KeyUp(TKey& key, TShiftState shift);

private:
    friend class TControl;
    friend struct detail::ControlAccess;

    std::vector<TControl*> controls_; // children in insertion order
    std::vector<TWinControl*> tabChain_;
    bool tabStop_ = true;
    int alignLock_ = 0;
    bool aligning_ = false;
};

// Makes a control of class T owned by owner and placed in parent, with its name; for form
// descriptions.
template <class T> T* Make(TComponent* owner, TWinControl* parent, const char* name) {
    T* control = new T(owner);
    control->Name = name;
    if (parent) control->SetParent(parent);
    return control;
}

} // namespace vcl
