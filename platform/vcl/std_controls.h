// The standard controls: label, button, edit, check box, radio button, group box.
#pragma once

#include "vcl/control.h"
#include "vcl/form.h"

#include <string>

namespace vcl {

enum TTextLayout { tlTop, tlCenter, tlBottom };

// A text that never takes the focus. Texts are shown as plain text; with ShowAccelChar (the
// default) "&x" shows x underlined and "&&" shows "&". With AutoSize (the default) the label
// takes the size of its text: without WordWrap width and height, with WordWrap the height for
// its width.
class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner);

    bool GetAutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    bool GetWordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap);
    TAlignment GetAlignment() const { return alignment_; }
    void SetAlignment(TAlignment alignment);
    TTextLayout GetLayout() const { return layout_; }
    void SetLayout(TTextLayout layout);
    // A transparent label shows its parent's background; an opaque one fills with Color.
    bool GetTransparent() const { return transparent_; }
    void SetTransparent(bool transparent);
    bool GetShowAccelChar() const { return showAccelChar_; }
    void SetShowAccelChar(bool show);
    // Blank pixels kept inside the label's edges around the text.
    int GetMargin() const { return margin_; }
    void SetMargin(int margin);

    void SetBounds(int left, int top, int width, int height) override;
    // The size the caption takes as shown, margins included: with WordWrap at the label's width
    // (a word wider than the label is broken between its characters), else one line per line
    // feed.
    int TextWidth() const;
    int TextHeight() const;

protected:
    void TextChanged() override;
    void FontChanged() override;
    void ColorChanged() override;

private:
    void ApplyText();
    // The width that the text may take: the label's less its margins.
    int TextRoom() const;
    void ApplyAlignment();
    void AdjustSize();

    bool autoSize_ = true;
    bool wordWrap_ = false;
    TAlignment alignment_ = taLeftJustify;
    TTextLayout layout_ = tlTop;
    bool transparent_ = false;
    bool showAccelChar_ = true;
    int margin_ = 0;
};

// A push button. Click sets the parent form's ModalResult to the button's ModalResult, then raises
// OnClick. Default: Enter on the form clicks it; Cancel: Escape on the form clicks it.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* owner);

    TModalResult GetModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    bool GetDefault() const { return default_; }
    void SetDefault(bool isDefault);
    bool GetCancel() const { return cancel_; }
    void SetCancel(bool cancel) { cancel_ = cancel; }

    void Click() override;

protected:
    bool ClicksOnRelease() const override { return false; }
    bool WantsKey(TKey key) const override;
    void TextChanged() override;

private:
    TModalResult modalResult_ = mrNone;
    bool default_ = false;
    bool cancel_ = false;
};

// A one-line edit. OnChange follows every change of Text, by the user or by code.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* owner);

    std::string GetText() const override;
    void SetText(const std::string& text) override;
    // The most characters the user may type; 0 for no limit. Text set by code is not cut.
    int GetMaxLength() const { return maxLength_; }
    void SetMaxLength(int length);
    // 0 shows the text; any other character masks it.
    char GetPasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char masking);
    bool GetReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    void SelectAll();
    int GetSelStart() const;
    void SetSelStart(int start);
    int GetSelLength() const;
    void SetSelLength(int length);
    std::string GetSelText() const;
    void Clear() { SetText(""); }

    TNotifyEvent OnChange;

protected:
    bool ClicksOnRelease() const override { return false; }
    void FontChanged() override;

private:
    friend struct detail::ControlAccess;
    void Changed();

    int maxLength_ = 0;
    char passwordChar_ = 0;
    bool readOnly_ = false;
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A check box. Changing Checked, by the user or by code, raises OnClick.
class TCheckBox : public TWinControl {
public:
    explicit TCheckBox(TComponent* owner);

    bool GetChecked() const { return state_ == cbChecked; }
    void SetChecked(bool checked) { SetState(checked ? cbChecked : cbUnchecked); }
    TCheckBoxState GetState() const { return state_; }
    void SetState(TCheckBoxState state);
    bool GetAllowGrayed() const { return allowGrayed_; }
    void SetAllowGrayed(bool allow);

protected:
    bool ClicksOnRelease() const override { return false; }
    void TextChanged() override;

private:
    friend struct detail::ControlAccess;
    void Toggled();

    TCheckBoxState state_ = cbUnchecked;
    bool allowGrayed_ = false;
};

// A radio button; the radio buttons of one parent exclude each other. Becoming checked, by the
// user or by code, raises OnClick.
class TRadioButton : public TWinControl {
public:
    explicit TRadioButton(TComponent* owner);

    bool GetChecked() const { return checked_; }
    void SetChecked(bool checked);

protected:
    bool ClicksOnRelease() const override { return false; }
    void TextChanged() override;

private:
    friend struct detail::ControlAccess;
    void Toggled(bool checked);

    bool checked_ = false;
};

// A frame with a caption around its child controls.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(TComponent* owner);

protected:
    void TextChanged() override;
    void AlignControls() override;
};

} // namespace vcl
