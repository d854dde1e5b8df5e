#include "vcl/form.h"

#include "detail/hooks.h"
#include "vcl/application.h"
#include "vcl/exception.h"
#include "vcl/modal_host.h"
#include "vcl/screen.h"
#include "vcl/std_controls.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>

namespace vcl {

using detail::Raise;

namespace {

std::atomic<unsigned long long> nextSerial{1};

// The nominal frame of a bordered window (see form.h).
constexpr int kFrameSide = 4;
constexpr int kCaption = 19;

// Modal forms now up, in the order they began; message boxes and file dialogs are found through
// the toolkit.
std::vector<QPointer<QWidget>> modalForms;
// Windows that opened beneath a modal window; they come up again when the last one ends.
std::vector<QPointer<QWidget>> openedBeneath;

bool IsTextField(const QWidget* w) {
    if (!w) return false;
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) return !line->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(w)) return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(w)) return !plain->isReadOnly();
    if (const auto* combo = qobject_cast<const QComboBox*>(w)) return combo->isEditable();
    return qobject_cast<const QAbstractSpinBox*>(w) != nullptr;
}

// The window that the user's input belongs to while another one opens: a modal window (it
// takes every click and key until it closes, so a window above it would only swallow them), or
// the window of a text field that has the focus. Null when the opening window may take the
// input.
QWidget* InputHolder(const QWidget* opening) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != opening) return modal;
    QWidget* focus = QApplication::focusWidget();
    if (IsTextField(focus) && focus->window() != opening) return focus->window();
    return nullptr;
}

// Puts the modal windows back above the others, the innermost last, without moving the
// activation.
void RaiseModalWindows() {
    for (const QPointer<QWidget>& modal : modalForms)
        if (modal && modal->isVisible()) modal->raise();
    if (QWidget* top = QApplication::activeModalWidget()) top->raise();
}

// Shows w without the activation; beneath the modal windows when holder is one of them (they
// keep every click and key, so w above them would only swallow them). Over a text field's
// window it stays in view, without the focus.
void ShowBeneath(QWidget* w, QWidget* holder) {
    const bool was = w->testAttribute(Qt::WA_ShowWithoutActivating);
    w->setAttribute(Qt::WA_ShowWithoutActivating, true);
    w->show();
    w->raise();
    w->setAttribute(Qt::WA_ShowWithoutActivating, was);
    if (holder->isModal() || QApplication::activeModalWidget()) {
        std::erase_if(openedBeneath, [](const QPointer<QWidget>& p) { return p.isNull(); });
        if (std::find(openedBeneath.begin(), openedBeneath.end(), w) == openedBeneath.end())
            openedBeneath.emplace_back(w);
        RaiseModalWindows();
    }
}

template <class Pred> TButton* FindButton(const TWinControl* parent, Pred pred) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* c = parent->Controls(i);
        if (auto* b = dynamic_cast<TButton*>(c); b && pred(b)) return b;
        if (auto* w = dynamic_cast<TWinControl*>(c))
            if (TButton* found = FindButton(w, pred)) return found;
    }
    return nullptr;
}

} // namespace

TForm::TForm(TComponent* owner)
    : TWinControl(owner, new detail::Hooked<QWidget>(nullptr, Qt::Window)), serial_(nextSerial++) {
    Widget()->setFocusPolicy(Qt::NoFocus);
    Widget()->setAttribute(Qt::WA_QuitOnClose, false);
    visible_ = false;
    SetBounds(0, 0, 320, 240);
    if (Application) Application->FormCreated(this);
}

void TForm::BeforeDestruction() {
    if (destroyRaised_) return;
    destroyRaised_ = true;
    TNotifyEvent handler = std::move(OnDestroy);
    OnDestroy = nullptr; // raised once, also for a derived destructor that looks at it
    Raise(this, [&] {
        if (handler) handler(this);
    });
}

TForm::~TForm() {
    // OnDestroy ran in BeforeDestruction, while the derived form still existed; a form deleted
    // without Free raises none (its handler would reach a form whose derived part is gone).
    StopEvents();
    if (Application) Application->FormDestroyed(this);
    Widget()->hide();
}

void TForm::AfterConstruction() {
    if (created_) return;
    created_ = true;
    Raise(this, [this] {
        if (OnCreate) OnCreate(this);
    });
}

int TForm::FrameWidth() const {
    return borderStyle_ == bsNone ? 0 : 2 * kFrameSide;
}

int TForm::FrameHeight() const {
    return borderStyle_ == bsNone ? 0 : 2 * kFrameSide + kCaption;
}

int TForm::GetClientWidth() const {
    return std::max(0, GetWidth() - FrameWidth());
}

int TForm::GetClientHeight() const {
    return std::max(0, GetHeight() - FrameHeight());
}

void TForm::SetBounds(int left, int top, int width, int height) {
    TWinControl::SetBounds(left, top, std::max(width, FrameWidth()),
                           std::max(height, FrameHeight()));
}

void TForm::ApplyBounds() {
    QWidget* w = Widget();
    w->move(GetLeft(), GetTop());
    const QSize client(GetClientWidth(), GetClientHeight());
    const bool sizeable = borderStyle_ == bsSizeable || borderStyle_ == bsSizeToolWin;
    if (sizeable) {
        w->setMinimumSize(0, 0);
        w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        w->resize(client);
    } else {
        w->setFixedSize(client);
    }
}

void TForm::ResizedByUser(int width, int height) {
    // Only a shown window is resized by its user; what the window system reports for a hidden
    // one is its last geometry, not a change.
    if (!visible_ || !Widget()->isVisible()) {
        ApplyBounds();
        return;
    }
    TControl::ResizedByUser(width + FrameWidth(), height + FrameHeight());
}

void TForm::Moved() {
    if (!visible_ || !Widget()->isVisible()) return;
    const QPoint p = Widget()->pos();
    left_ = p.x();
    top_ = p.y();
}

void TForm::ApplyVisible() {
    // A form shows and hides through SetVisible only.
}

void TForm::TextChanged() {
    Widget()->setWindowTitle(detail::ToQt(GetText()));
}

QWidget* TForm::ClientWidget() const {
    return Widget();
}

void TForm::SetBorderStyle(TFormBorderStyle style) {
    if (style == borderStyle_) return;
    // The client area stays; the outer size follows the frame.
    const int cw = GetClientWidth();
    const int ch = GetClientHeight();
    borderStyle_ = style;
    ApplyWindowFlags();
    TWinControl::SetBounds(GetLeft(), GetTop(), cw + FrameWidth(), ch + FrameHeight());
    ApplyBounds();
}

void TForm::SetBorderIcons(TBorderIcons icons) {
    borderIcons_ = icons;
    ApplyWindowFlags();
}

void TForm::SetPosition(TPosition position) {
    position_ = position;
}

void TForm::SetFormStyle(TFormStyle style) {
    formStyle_ = style;
    ApplyWindowFlags();
}

void TForm::ApplyWindowFlags() {
    Qt::WindowFlags flags = Qt::Window;
    switch (borderStyle_) {
    case bsNone:
        flags |= Qt::FramelessWindowHint;
        break;
    case bsDialog:
        flags = Qt::Dialog;
        break;
    case bsToolWindow:
    case bsSizeToolWin:
        flags = Qt::Tool;
        break;
    default:
        break;
    }
    if (borderStyle_ != bsNone) {
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (borderIcons_.Contains(biSystemMenu)) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
            const bool dialog = borderStyle_ == bsDialog || borderStyle_ == bsToolWindow ||
                                borderStyle_ == bsSizeToolWin;
            if (!dialog && borderIcons_.Contains(biMinimize)) flags |= Qt::WindowMinimizeButtonHint;
            if (!dialog && borderIcons_.Contains(biMaximize)) flags |= Qt::WindowMaximizeButtonHint;
        }
    }
    if (formStyle_ == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
    QWidget* w = Widget();
    if (w->windowFlags() == flags) return;
    const bool wasVisible = w->isVisible();
    w->setWindowFlags(flags); // hides the window
    if (wasVisible) w->show();
}

TWindowState TForm::GetWindowState() const {
    const Qt::WindowStates s = Widget()->windowState();
    if (s & Qt::WindowMinimized) return wsMinimized;
    if (s & Qt::WindowMaximized) return wsMaximized;
    return wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
    Qt::WindowStates s = Widget()->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (state == wsMinimized) s |= Qt::WindowMinimized;
    if (state == wsMaximized) s |= Qt::WindowMaximized;
    Widget()->setWindowState(s);
}

void TForm::PlaceForShow() {
    int w = GetWidth();
    int h = GetHeight();
    auto centreOn = [&](int left, int top, int width, int height) {
        SetBounds(left + (width - w) / 2, top + (height - h) / 2, w, h);
    };
    auto onScreen = [&] {
        if (Screen) centreOn(0, 0, Screen->Width(), Screen->Height());
    };
    TForm* over = nullptr;
    switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
        onScreen();
        break;
    case poMainFormCenter:
        over = Application ? Application->MainForm() : nullptr;
        break;
    case poOwnerFormCenter:
        over = dynamic_cast<TForm*>(Owner());
        break;
    default:
        break;
    }
    if (position_ == poMainFormCenter || position_ == poOwnerFormCenter) {
        if (over && over != this && over->GetVisible())
            centreOn(over->GetLeft(), over->GetTop(), over->GetWidth(), over->GetHeight());
        else
            onScreen();
    }
}

void TForm::SetVisible(bool visible) {
    if (visible == visible_) return;
    QWidget* w = Widget();
    if (visible) {
        visible_ = true;
        showing_ = true;
        Raise(this, [this] {
            if (OnShow) OnShow(this);
        });
        showing_ = false;
        if (!visible_) return; // hidden again by OnShow
        ApplyWindowFlags();
        PlaceForShow();
        ApplyBounds();
        ChainTabOrder();
        // A window that opens while the user's input belongs to another one does not take it.
        if (QWidget* holder = modal_ ? nullptr : InputHolder(w)) {
            ShowBeneath(w, holder);
            return;
        }
        w->show();
        w->raise();
        w->activateWindow();
    } else {
        visible_ = false;
        w->hide();
        Raise(this, [this] {
            if (OnHide) OnHide(this);
        });
    }
}

void TForm::Show() {
    SetVisible(true);
    BringToFront();
}

void TForm::BringToFront() {
    if (!Widget()->isVisible()) return;
    // Not over a window that the user's input belongs to (see SetVisible).
    if (!modal_ && InputHolder(Widget())) return;
    Widget()->raise();
    Widget()->activateWindow();
}

bool TForm::Active() const {
    return Widget()->isActiveWindow();
}

bool TForm::CloseQuery() {
    bool canClose = true;
    Raise(this, [&] {
        if (OnCloseQuery) OnCloseQuery(this, canClose);
    });
    return canClose;
}

void TForm::DoClose(TCloseAction& action) {
    Raise(this, [&] {
        if (OnClose) OnClose(this, action);
    });
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    TCloseAction action = caHide;
    DoClose(action);
    if (action == caNone) return;
    if (Application && Application->MainForm() == this) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case caHide:
        Hide();
        break;
    case caMinimize:
        SetWindowState(wsMinimized);
        break;
    case caFree:
        Release();
        break;
    default:
        break;
    }
}

void TForm::UserClose() {
    Close();
}

void TForm::Painted() {
    Raise(this, [this] {
        if (OnPaint) OnPaint(this);
    });
}

void TForm::Activated(bool active) {
    // A window blocked by a modal one takes no input, so it must not hold the activation either
    // (some desktops activate every window that maps): the modal window gets it back, with its
    // focus where the user left it.
    if (active && !modal_) {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (modal && modal != Widget())
            QMetaObject::invokeMethod(
                modal,
                [modal] {
                    if (modal && modal->isVisible()) modal->activateWindow();
                },
                Qt::QueuedConnection);
    }
    Raise(this, [&] {
        if (active && OnActivate) OnActivate(this);
        if (!active && OnDeactivate) OnDeactivate(this);
    });
}

void TForm::Release() {
    if (releasePosted_) return;
    releasePosted_ = true;
    if (!Application) return;
    const unsigned long long serial = serial_;
    TForm* self = this;
    Application->Post([self, serial] {
        if (!Application) return;
        for (int i = 0; i < Application->FormCount(); ++i)
            if (Application->Forms(i) == self && self->serial_ == serial) {
                Free(self);
                return;
            }
    });
}

TModalResult TForm::ShowModal() {
    if (visible_ || modal_ || !GetEnabled())
        throw EInvalidOperation("Cannot make a visible window modal");
    TModalScope modal;
    return ModalHost().RunModal(*this);
}

void TForm::BeginModal() {
    if (visible_ || modal_) throw EInvalidOperation("Cannot make a visible window modal");
    modal_ = true;
    modalResult_ = mrNone;
    Widget()->setWindowModality(Qt::ApplicationModal);
    modalForms.emplace_back(Widget());
    Show();
}

bool TForm::ModalDone() {
    if (!modal_) return true;
    if (Application && Application->Terminated()) {
        if (modalResult_ == mrNone) modalResult_ = mrCancel;
        return true;
    }
    if (modalResult_ == mrNone) return false;
    TCloseAction action = caNone;
    if (CloseQuery()) {
        action = caHide;
        DoClose(action);
    }
    if (action == caNone) {
        modalResult_ = mrNone;
        return false;
    }
    if (action == caFree) Release();
    return true;
}

void TForm::EndModal() {
    if (!modal_) return;
    modal_ = false;
    if (visible_) {
        visible_ = false;
        Widget()->hide();
        Raise(this, [this] {
            if (OnHide) OnHide(this);
        });
    }
    Widget()->setWindowModality(Qt::NonModal);
    std::erase_if(modalForms,
                  [this](const QPointer<QWidget>& p) { return p.isNull() || p == Widget(); });
    // The windows that opened beneath the modal windows come up once the last has ended, in the
    // order they opened, without taking the activation.
    if (!modalForms.empty() || QApplication::activeModalWidget()) return;
    std::vector<QPointer<QWidget>> beneath;
    beneath.swap(openedBeneath);
    for (const QPointer<QWidget>& w : beneath)
        if (w && w->isVisible()) w->raise();
}

TWinControl* TForm::GetActiveControl() const {
    TControl* c = detail::ControlOf(Widget()->focusWidget());
    if (c == this) return nullptr;
    return dynamic_cast<TWinControl*>(c);
}

void TForm::SetActiveControl(TWinControl* control) {
    if (control) control->SetFocus();
}

TButton* TForm::DefaultButton() const {
    return FindButton(this, [](TButton* b) { return b->GetDefault(); });
}

TButton* TForm::CancelButton() const {
    return FindButton(this, [](TButton* b) { return b->GetCancel(); });
}

bool TForm::DialogKey(TKey key) {
    TButton* target = nullptr;
    if (key == VK_RETURN) {
        auto* focused = dynamic_cast<TButton*>(GetActiveControl());
        target = focused ? focused : DefaultButton();
    } else if (key == VK_ESCAPE) {
        target = CancelButton();
    }
    if (!target || !target->CanFocus()) return false;
    target->Click();
    return true;
}

} // namespace vcl
