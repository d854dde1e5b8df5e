// TRichEdit: a text box of several lines in which each line has a text colour of its own. Lines
// are added in a colour; the next line starts in the window-text colour again.
#pragma once

#include "vcl/control.h"
#include "vcl/graphics.h"
#include "vcl/memo.h"

#include <string>
#include <vector>

namespace vcl {

class TRichEdit : public TWinControl {
public:
    explicit TRichEdit(TComponent* owner);
    ~TRichEdit() override;

    // The whole text, lines separated by line feeds.
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& lines);
    // Adds a line in a colour (clWindowText: the desktop's text colour).
    void AddLine(const std::string& line, TColor color = clWindowText);
    bool GetReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    TScrollStyle GetScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle bars);
    void Clear() { SetText(""); }

protected:
    bool ClicksOnRelease() const override { return false; }
    bool WantsKey(TKey key) const override;

private:
    bool readOnly_ = false;
    bool hasLines_ = false; // an empty text has no line, one empty line has one
    TScrollStyle scrollBars_ = ssNone;
};

} // namespace vcl
