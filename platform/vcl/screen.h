// TScreen: the application's cursor and the screen's size.
#pragma once

#include "vcl/component.h"
#include "vcl/graphics.h"

namespace vcl {

class TForm;

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* owner) : TComponent(owner) {}
    ~TScreen() override;

    // crDefault lets each control show its own cursor; any other cursor shows everywhere (the
    // hourglass of a long operation).
    TCursor GetCursor() const { return cursor_; }
    void SetCursor(TCursor cursor);
    // The primary screen's size in pixels.
    int Width() const;
    int Height() const;
    // The active form, or null.
    TForm* ActiveForm() const;

private:
    TCursor cursor_ = crDefault;
};

// The screen object; made and freed with the application object.
extern TScreen* Screen;

// Shows the hourglass for the life of the object; afterwards the cursor set before it, or the
// one given.
class THourGlass {
public:
    THourGlass() : THourGlass(Screen ? Screen->GetCursor() : crDefault) {}
    explicit THourGlass(TCursor after) : after_(after) {
        if (Screen) Screen->SetCursor(crHourGlass);
    }
    ~THourGlass() {
        if (Screen) Screen->SetCursor(after_);
    }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;

private:
    TCursor after_;
};

} // namespace vcl
