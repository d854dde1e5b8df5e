// TDropTarget: makes one windowed control accept drags (and clipboard pastes) on behalf of its
// owner: it filters the offered drop effects, chooses one by the Shift and Ctrl keys, scrolls the
// control while the cursor rests near an edge, and raises OnEnter, OnDragOver, OnLeave and OnDrop.
// The kinds of data it takes are its subclasses' (droptarget_kinds.h). Every entry point runs on
// the GUI thread.
#pragma once

#include "vcl/component.h"
#include "vcl/control.h"
#include "vcl/dragdrop.h"
#include "vcl/events.h"

#include <functional>
#include <optional>

namespace vcl {
class TTimer;
}

enum TDragType { dtCopy, dtMove, dtLink };
using TDragTypes = vcl::TSet<TDragType>;
enum TScrollDirection { sdHorizontal, sdVertical };
using TScrollDirections = vcl::TSet<TScrollDirection>;

// Point in the target control's client coordinates; Effect a DROPEFFECT_* mask the handler may
// change: the value it leaves is the answer to the drag source.
using TDropTargetEvent = std::function<void(vcl::TObject* Sender, vcl::TShiftState ShiftState,
                                            const vcl::TPoint& Point, int& Effect)>;

class TDropTarget : public vcl::TComponent, private vcl::TDropSink {
public:
    static constexpr unsigned kScrollIntervalMs = 100;

    // GetDataOnEnter false, ShowImage true, no Dragtypes.
    explicit TDropTarget(vcl::TComponent* owner);
    // Unregisters.
    ~TDropTarget() override;

    // Makes this the drop target of control (moving the registration from another control).
    // vcl::Exception "Failed to Register " + the control's Name when the control has another
    // drop target; nothing stays registered then.
    void Register(vcl::TWinControl* control);
    // vcl::Exception "Failed to Unregister " + the control's Name when the registration is
    // refused. A target whose control was destroyed has nothing left to unregister.
    void Unregister();
    vcl::TWinControl* Target() const { return target_; }

    // Takes the clipboard's data as if it had been dropped; returns the drop effect. Here: the
    // effect the clipboard prefers (cut: move, copy: copy), 0 when it says nothing.
    virtual int PasteFromClipboard();

    // The drag image is drawn by the desktop's drag machinery from what the source gives it;
    // the property is kept for the components' stored settings.
    bool GetShowImage() const { return showImage_; }
    void SetShowImage(bool show) { showImage_ = show; }

    TDragTypes Dragtypes;
    bool GetDataOnEnter = false;
    TDropTargetEvent OnEnter, OnDragOver, OnDrop, OnGetDropEffect;
    vcl::TNotifyEvent OnLeave;

protected:
    virtual void DoEnter(vcl::TShiftState shift, vcl::TPoint point, int& effect);
    virtual void DoDragOver(vcl::TShiftState shift, vcl::TPoint point, int& effect);
    virtual void DoDrop(vcl::TShiftState shift, vcl::TPoint point, int& effect);
    virtual void DoLeave();
    // Takes the data of the drag in progress (Data()) into the target's results.
    virtual bool DoGetData() = 0;
    virtual void ClearData() = 0;
    virtual bool HasValidFormats(const vcl::TDragData& data) const = 0;
    // The offered effect limited to Dragtypes, then OnGetDropEffect's choice or one effect by
    // the keys (Shift+Ctrl link, Shift move, else copy, move, link in that order), plus the
    // scroll bit when the point lies within the scroll margin of a scrolling side.
    virtual int GetValidDropEffect(vcl::TShiftState shift, vcl::TPoint point, int offered);

    // The data of the drag in progress; null when no drag is over the control.
    const vcl::TDragData* Data() const { return data_ ? &*data_ : nullptr; }

private:
    int DragEnter(const vcl::TDragData& data, vcl::TShiftState shift, vcl::TPoint point,
                  int offered) override;
    int DragOver(vcl::TShiftState shift, vcl::TPoint point, int offered) override;
    void DragLeave() override;
    int Drop(const vcl::TDragData& data, vcl::TShiftState shift, vcl::TPoint point,
             int offered) override;
    void ControlDestroyed() override;
    void DoTargetScroll();

    std::optional<vcl::TDragData> data_;
    vcl::TWinControl* target_ = nullptr;
    bool showImage_ = true;
    vcl::TPoint lastPoint_;
    int scrollMargin_ = 0;
    TScrollDirections scrollDirections_;
    vcl::TTimer* scrollTimer_; // owned as a component
};
