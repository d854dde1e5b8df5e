#include "droptarget.h"

#include "vcl/exception.h"
#include "vcl/timer.h"

#include <cstdlib>

using vcl::DROPEFFECT_COPY;
using vcl::DROPEFFECT_LINK;
using vcl::DROPEFFECT_MOVE;
using vcl::DROPEFFECT_NONE;
using vcl::DROPEFFECT_SCROLL;

namespace {

// Runs a call when the scope ends, however it ends.
template <class F> class AtExit {
public:
    explicit AtExit(F f) : f_(std::move(f)) {}
    ~AtExit() { f_(); }
    AtExit(const AtExit&) = delete;
    AtExit& operator=(const AtExit&) = delete;

private:
    F f_;
};

} // namespace

TDropTarget::TDropTarget(vcl::TComponent* owner)
    : vcl::TComponent(owner), scrollTimer_(new vcl::TTimer(this)) {
    scrollTimer_->SetEnabled(false);
    scrollTimer_->SetInterval(kScrollIntervalMs);
    scrollTimer_->OnTimer = [this](vcl::TObject*) { DoTargetScroll(); };
}

TDropTarget::~TDropTarget() {
    try {
        Unregister();
    } catch (const std::exception&) {
        // A destructor reports nothing; the registration goes with the control in any case.
    }
    DestroyComponents();
}

void TDropTarget::Register(vcl::TWinControl* control) {
    if (control == target_) return;
    if (target_) Unregister();
    if (!control) return;
    if (!vcl::RegisterDropTarget(control, this))
        throw vcl::Exception("Failed to Register " + control->Name);
    target_ = control;
}

void TDropTarget::Unregister() {
    if (!target_) return;
    if (!vcl::RevokeDropTarget(target_))
        throw vcl::Exception("Failed to Unregister " + target_->Name);
    target_ = nullptr;
    scrollTimer_->SetEnabled(false);
    data_.reset();
}

void TDropTarget::ControlDestroyed() {
    target_ = nullptr;
    scrollTimer_->SetEnabled(false);
    data_.reset();
}

int TDropTarget::PasteFromClipboard() {
    return vcl::ClipboardData().preferredEffect;
}

void TDropTarget::DoEnter(vcl::TShiftState shift, vcl::TPoint point, int& effect) {
    if (OnEnter) OnEnter(this, shift, point, effect);
}

void TDropTarget::DoDragOver(vcl::TShiftState shift, vcl::TPoint point, int& effect) {
    if (OnDragOver) OnDragOver(this, shift, point, effect);
}

void TDropTarget::DoDrop(vcl::TShiftState shift, vcl::TPoint point, int& effect) {
    if (OnDrop) OnDrop(this, shift, point, effect);
}

void TDropTarget::DoLeave() {
    if (OnLeave) OnLeave(this);
}

int TDropTarget::GetValidDropEffect(vcl::TShiftState shift, vcl::TPoint point, int offered) {
    int effect = offered;
    if (!Dragtypes.Contains(dtCopy)) effect &= ~DROPEFFECT_COPY;
    if (!Dragtypes.Contains(dtMove)) effect &= ~DROPEFFECT_MOVE;
    if (!Dragtypes.Contains(dtLink)) effect &= ~DROPEFFECT_LINK;
    if (OnGetDropEffect) {
        OnGetDropEffect(this, shift, point, effect);
        return effect;
    }
    const bool shiftKey = shift.Contains(vcl::ssShift), ctrlKey = shift.Contains(vcl::ssCtrl);
    if (shiftKey && ctrlKey && (effect & DROPEFFECT_LINK))
        effect = DROPEFFECT_LINK;
    else if (shiftKey && !ctrlKey && (effect & DROPEFFECT_MOVE))
        effect = DROPEFFECT_MOVE;
    else if (effect & DROPEFFECT_COPY)
        effect = DROPEFFECT_COPY;
    else if (effect & DROPEFFECT_MOVE)
        effect = DROPEFFECT_MOVE;
    else if (effect & DROPEFFECT_LINK)
        effect = DROPEFFECT_LINK;
    else
        effect = DROPEFFECT_NONE;

    const vcl::TDropArea area = vcl::DropAreaOf(target_);
    const auto near = [this](int at, int size) {
        return at < scrollMargin_ || at > size - scrollMargin_;
    };
    if (scrollDirections_.Contains(sdHorizontal) && near(point.X, area.width))
        effect |= DROPEFFECT_SCROLL;
    else if (scrollDirections_.Contains(sdVertical) && near(point.Y, area.height))
        effect |= DROPEFFECT_SCROLL;
    return effect;
}

int TDropTarget::DragEnter(const vcl::TDragData& data, vcl::TShiftState shift, vcl::TPoint point,
                           int offered) {
    ClearData();
    data_ = data;
    lastPoint_ = point;
    if (!HasValidFormats(*data_)) {
        data_.reset();
        return DROPEFFECT_NONE;
    }
    scrollDirections_ = {};
    scrollMargin_ = target_ ? std::abs(target_->Font()->GetHeight()) : 0;
    const vcl::TDropArea area = vcl::DropAreaOf(target_);
    if (area.horizontalBar) scrollDirections_ << sdHorizontal;
    if (area.verticalBar) scrollDirections_ << sdVertical;
    if (GetDataOnEnter) DoGetData();
    int effect = GetValidDropEffect(shift, point, offered);
    DoEnter(shift, point, effect);
    return effect;
}

int TDropTarget::DragOver(vcl::TShiftState shift, vcl::TPoint point, int offered) {
    int effect = DROPEFFECT_NONE;
    if (!data_) {
        scrollTimer_->SetEnabled(false);
    } else {
        effect = GetValidDropEffect(shift, point, offered);
        DoDragOver(shift, point, effect);
        scrollTimer_->SetEnabled(!scrollDirections_.Empty() && (effect & DROPEFFECT_SCROLL));
    }
    lastPoint_ = point;
    return effect;
}

void TDropTarget::DragLeave() {
    ClearData();
    scrollTimer_->SetEnabled(false);
    data_.reset();
    DoLeave();
}

int TDropTarget::Drop(const vcl::TDragData& data, vcl::TShiftState shift, vcl::TPoint point,
                      int offered) {
    if (!data_) return DROPEFFECT_NONE;
    // The dropped data lives only while OnDrop runs, whatever the handler does.
    const AtExit release([this] {
        ClearData();
        data_.reset();
    });
    scrollTimer_->SetEnabled(false);
    data_ = data;
    lastPoint_ = point;
    int effect = GetValidDropEffect(shift, point, offered);
    if (!GetDataOnEnter && !DoGetData()) return DROPEFFECT_NONE;
    DoDrop(shift, point, effect);
    return effect;
}

void TDropTarget::DoTargetScroll() {
    if (!target_) return;
    const vcl::TDropArea area = vcl::DropAreaOf(target_);
    int dx = 0, dy = 0;
    if (lastPoint_.Y < scrollMargin_)
        dy = -1;
    else if (lastPoint_.Y > area.height - scrollMargin_)
        dy = 1;
    if (lastPoint_.X < scrollMargin_)
        dx = -1;
    else if (lastPoint_.X > area.width - scrollMargin_)
        dx = 1;
    vcl::ScrollDropArea(target_, dx, dy);
}
