#include "vcl/splitter.h"

#include "detail/hooks.h"

#include <QFrame>

#include <algorithm>

namespace vcl {

TSplitter::TSplitter(TComponent* owner) : TControl(owner, new detail::Hooked<QFrame>()) {
    SetBounds(0, 0, 3, 100);
    SetAlign(alLeft);
    SetCursor(crHSplit);
}

TControl* TSplitter::Neighbour() const {
    TWinControl* parent = GetParent();
    if (!parent) return nullptr;
    TControl* best = nullptr;
    for (TControl* c : detail::ControlAccess::Children(*parent)) {
        if (c == this || !c->GetVisible() || c->GetAlign() != GetAlign()) continue;
        bool touches = false;
        switch (GetAlign()) {
        case alLeft:
            touches = c->GetLeft() + c->GetWidth() == GetLeft();
            break;
        case alRight:
            touches = c->GetLeft() == GetLeft() + GetWidth();
            break;
        case alTop:
            touches = c->GetTop() + c->GetHeight() == GetTop();
            break;
        case alBottom:
            touches = c->GetTop() == GetTop() + GetHeight();
            break;
        default:
            break;
        }
        if (touches) best = c;
    }
    return best;
}

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TControl* neighbour = Neighbour();
    if (button == mbLeft && neighbour) {
        TPoint p = ClientToScreen({x, y});
        dragging_ = true;
        startScreen_ = Horizontal() ? p.X : p.Y;
        startSize_ = Horizontal() ? neighbour->GetWidth() : neighbour->GetHeight();
    }
    TControl::MouseDown(button, shift, x, y);
}

void TSplitter::MouseMove(TShiftState shift, int x, int y) {
    TControl* neighbour = Neighbour();
    if (dragging_ && neighbour) {
        TPoint p = ClientToScreen({x, y});
        int delta = (Horizontal() ? p.X : p.Y) - startScreen_;
        if (GetAlign() == alRight || GetAlign() == alBottom) delta = -delta;
        int size = std::max(MinSize, startSize_ + delta);
        if (Horizontal())
            neighbour->SetWidth(size);
        else
            neighbour->SetHeight(size);
    }
    TControl::MouseMove(shift, x, y);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft && dragging_) {
        dragging_ = false;
        if (OnMoved) OnMoved(this);
    }
    TControl::MouseUp(button, shift, x, y);
}

} // namespace vcl
