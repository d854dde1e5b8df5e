// A splitter between aligned controls: dragging it with the left button resizes the control
// aligned on the same side just before it (left/right: width; top/bottom: height).
#pragma once

#include "vcl/control.h"

namespace vcl {

class TSplitter : public TControl {
public:
    // Aligned left, 3 wide.
    explicit TSplitter(TComponent* owner);

    // The neighbour never gets smaller than this.
    int MinSize = 30;
    // The control the splitter resizes now, or null.
    TControl* Neighbour() const;
    TNotifyEvent OnMoved;

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    bool ClicksOnRelease() const override { return false; }

private:
    bool Horizontal() const { return GetAlign() == alLeft || GetAlign() == alRight; }
    bool dragging_ = false;
    int startScreen_ = 0;
    int startSize_ = 0;
};

} // namespace vcl
