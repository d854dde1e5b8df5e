// A status bar of panels side by side, each with a text, a width and an alignment; the last
// panel takes what is left.
#pragma once

#include "vcl/control.h"

#include <memory>
#include <string>
#include <vector>

namespace vcl {

class TStatusBar;

class TStatusPanel {
public:
    std::string GetText() const { return text_; }
    void SetText(const std::string& text);
    int GetWidth() const { return width_; }
    void SetWidth(int width);
    TAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);

private:
    friend class TStatusBar;
    explicit TStatusPanel(TStatusBar* bar) : bar_(bar) {}
    TStatusBar* bar_;
    std::string text_;
    int width_ = 50;
    TAlignment alignment_ = taLeftJustify;
};

class TStatusBar : public TWinControl {
public:
    // Aligned to the bottom, 19 high.
    explicit TStatusBar(TComponent* owner);
    ~TStatusBar() override;

    TStatusPanel* AddPanel();
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    // The panel at index; EListError out of range.
    TStatusPanel* Panels(int index) const;
    // The text a panel shows now (for tests and screenshots).
    std::string ShownText(int index) const;
    // The width in pixels that text takes in a panel, frame and margins included (what the
    // bar's canvas measures), so that a panel can be made wide enough for it.
    int PanelWidthFor(const std::string& text) const;

protected:
    void ApplyBounds() override;

private:
    friend class TStatusPanel;
    void Apply();

    std::vector<std::unique_ptr<TStatusPanel>> panels_;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vcl
