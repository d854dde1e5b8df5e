// THintWindow: a small tool-tip window of its own that a form shows at a screen rectangle with a
// text of several lines, and hides again.
#pragma once

#include "vcl/component.h"
#include "vcl/graphics.h"

#include <memory>
#include <string>

namespace vcl {

class THintWindow : public TComponent {
public:
    explicit THintWindow(TComponent* owner);
    ~THintWindow() override;

    TColor GetColor() const { return color_; }
    void SetColor(TColor color);
    // Shows text in rect (screen co-ordinates).
    void ActivateHint(const TRect& rect, const std::string& text);
    void ReleaseHandle(); // hides it
    bool GetVisible() const;
    std::string GetText() const { return text_; }
    TRect GetRect() const { return rect_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    TColor color_ = clInfoBk;
    std::string text_;
    TRect rect_{};
};

} // namespace vcl
