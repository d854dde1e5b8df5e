// TMaskEdit: a one-line edit whose input follows an edit mask in the original library's syntax,
// "mask;keep literals;blank character": 0 digit, 9 optional digit, # digit or sign, L letter,
// l optional letter, A letter or digit, a optional letter or digit, C any character, c optional
// any character, > upper case, < lower case, \ next character literal; any other character is a
// literal. OnChange follows every change of Text, by the user or by code.
#pragma once

#include "vcl/control.h"

#include <string>

namespace vcl {

class TMaskEdit : public TWinControl {
public:
    explicit TMaskEdit(TComponent* owner);
    ~TMaskEdit() override;

    std::string GetEditMask() const { return mask_; }
    void SetEditMask(const std::string& mask);
    // The text with the literals; blanks of unfilled positions are left out.
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    int GetMaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    void SelectAll();
    void Clear() { SetText(""); }

    TNotifyEvent OnChange;

    // The toolkit's input mask for an edit mask of the original syntax.
    static std::string ToolkitMask(const std::string& editMask);

protected:
    bool ClicksOnRelease() const override { return false; }

private:
    std::string mask_;
    int maxLength_ = 0;
};

} // namespace vcl
