// TForm: a top-level window with its creation, show, close and modal life cycle.
//
// Width and Height of a form count a nominal window frame (4 pixels each side and a 19-pixel
// caption, none for bsNone), so that layouts written in outer sizes keep their client areas;
// the client area is what the toolkit shows, and the desktop adds its real frame around it.
//
// ShowModal goes through the modal host (modal_host.h): the desktop runs a nested event loop,
// tests script the answer. A modal form ends when ModalResult becomes non-zero and the close is
// allowed (OnCloseQuery, then OnClose with an Action other than caNone).
#pragma once

#include "vcl/control.h"
#include "vcl/set.h"

#include <functional>
#include <string>
#include <utility>

namespace vcl {

class TButton;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;
inline constexpr TModalResult mrNoToAll = 9;
inline constexpr TModalResult mrYesToAll = 10;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TForm : public TWinControl {
public:
    // A hidden form of 320 x 240 with a sizeable border. The form joins Application's form list.
    explicit TForm(TComponent* owner);
    // Raises OnDestroy once; the owner and Free call it before the destructors run.
    void BeforeDestruction() override;
    // Destroys the controls and leaves the form list.
    ~TForm() override;

    // Raises OnCreate, once. MakeForm and TApplication::CreateForm call it after the constructor
    // (that is, after the form description has made the controls and bound the events).
    void AfterConstruction();

    TFormBorderStyle GetBorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style);
    TBorderIcons GetBorderIcons() const { return borderIcons_; }
    void SetBorderIcons(TBorderIcons icons);
    TPosition GetPosition() const { return position_; }
    void SetPosition(TPosition position);
    TFormStyle GetFormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle style);
    TWindowState GetWindowState() const;
    void SetWindowState(TWindowState state);
    bool GetKeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool preview) { keyPreview_ = preview; }
    // Kept for the descriptions; the toolkit scales for the screen by itself.
    int PixelsPerInch = 96;
    bool Scaled = true;

    int GetClientWidth() const override;
    int GetClientHeight() const override;
    void SetBounds(int left, int top, int width, int height) override;

    // Shows the form (OnShow first) and brings it to the front; not modal. A form that opens
    // while a modal window is up opens beneath it and never holds the activation: the modal
    // window keeps its clicks and keys, and the forms opened beneath it come up when the last
    // modal window ends. One that opens while a text field of another window has the focus
    // opens without taking the focus.
    void Show();
    void SetVisible(bool visible) override;
    // Asks to close: modal forms set ModalResult to mrCancel; others run CloseQuery and OnClose
    // and hide, free or minimise by the Action. Closing the main form ends the application.
    void Close();
    // OnCloseQuery's answer (true when unassigned).
    bool CloseQuery();
    // Shows the form modally through the modal host and returns ModalResult.
    TModalResult ShowModal();
    // Frees the form once the events being handled now are done.
    void Release();
    // Does nothing while the user's input belongs to another window (see Show).
    void BringToFront();
    // The active window of the application.
    bool Active() const;
    bool Modal() const { return modal_; }

    TModalResult GetModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }

    // The control with the input focus inside the form, or null.
    TWinControl* GetActiveControl() const;
    void SetActiveControl(TWinControl* control);

    // The buttons of the form with Default (Enter) and Cancel (Escape) set, or null.
    TButton* DefaultButton() const;
    TButton* CancelButton() const;

    // For modal hosts: BeginModal positions and shows the form modally (OnShow, OnActivate) with
    // ModalResult mrNone; ModalDone checks ModalResult and, when set, tries to close (OnCloseQuery,
    // OnClose) and answers whether the form has ended (hidden again); EndModal ends it at once
    // whatever it answers.
    void BeginModal();
    bool ModalDone();
    void EndModal();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;
    // Raised when the form paints its background, before its controls paint.
    TNotifyEvent OnPaint;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;

protected:
    QWidget* ClientWidget() const override;
    void ApplyBounds() override;
    void ApplyVisible() override;
    void TextChanged() override;
    void ResizedByUser(int width, int height) override;
    bool ClicksOnRelease() const override { return true; }

private:
    friend struct detail::ControlAccess;
    friend class TWinControl;

    // Enter clicks the focused or default button, Escape the cancel button; true when clicked.
    bool DialogKey(TKey key);
    int FrameWidth() const;
    int FrameHeight() const;
    void ApplyWindowFlags();
    void PlaceForShow();
    // The close of a non-modal form after CloseQuery has allowed it.
    void DoClose(TCloseAction& action);
    void Painted();
    void Activated(bool active);
    void UserClose(); // the desktop's close button
    void Moved();     // the desktop moved the window

    TFormBorderStyle borderStyle_ = bsSizeable;
    TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
    TPosition position_ = poDesigned;
    TFormStyle formStyle_ = fsNormal;
    bool keyPreview_ = false;
    bool created_ = false;
    bool modal_ = false;
    bool showing_ = false; // inside SetVisible(true): OnShow raised, widget about to show
    bool releasePosted_ = false;
    bool destroyRaised_ = false;
    unsigned long long serial_ = 0; // tells a released form from a later one at its address
    TModalResult modalResult_ = mrNone;
};

// Makes a form of class T and raises its OnCreate.
template <class T, class... Args> T* MakeForm(Args&&... args) {
    T* form = new T(std::forward<Args>(args)...);
    form->AfterConstruction();
    return form;
}

} // namespace vcl
