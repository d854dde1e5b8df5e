// TMemo: a text box of several lines. OnChange follows every change of the text, by the user or
// by code. ReadOnly boxes show texts the user may select and copy but not change.
#pragma once

#include "vcl/control.h"

#include <string>
#include <vector>

namespace vcl {

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TMemo : public TWinControl {
public:
    explicit TMemo(TComponent* owner);
    ~TMemo() override;

    // The whole text, lines separated by line feeds.
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    std::vector<std::string> Lines() const;
    void SetLines(const std::vector<std::string>& lines);
    void AddLine(const std::string& line);
    bool GetReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool GetWordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap);
    TScrollStyle GetScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle bars);
    void Clear() { SetText(""); }

    TNotifyEvent OnChange;

protected:
    bool ClicksOnRelease() const override { return false; }
    bool WantsKey(TKey key) const override;
    void FontChanged() override;

private:
    bool readOnly_ = false;
    bool wordWrap_ = true;
    TScrollStyle scrollBars_ = ssNone;
};

} // namespace vcl
