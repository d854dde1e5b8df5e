// The validation dialog: the entry's path at the top, the original and the new source below it,
// and a row of five buttons at the bottom; the timer that starts the walk once shown.
#include "validate_form.h"

using namespace vcl;

namespace {

TButton* MakeChoiceButton(TForm_Validate* form, TPanel* panel, const char* name, int left) {
    TButton* button = Make<TButton>(form, panel, name);
    button->SetBounds(left, 8, 85, 25);
    return button;
}

TLabel* MakeSourceLabel(TForm_Validate* form, const char* name, int top, int indent, int height,
                        bool wrap) {
    TLabel* label = Make<TLabel>(form, form->Panel_Source, name);
    label->SetAutoSize(false);
    label->SetWordWrap(wrap);
    label->SetBounds(indent, top, 489 - indent, height);
    return label;
}

} // namespace

TForm_Validate::TForm_Validate(TComponent* Owner) : TForm(Owner) {
    Name = "Form_Validate";
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetPosition(poDesigned);
    SetClientWidth(497);
    SetClientHeight(380);

    Panel_Buttons = Make<TPanel>(this, this, "Panel_Buttons");
    Panel_Buttons->SetAlign(alBottom);
    Panel_Buttons->SetBevelOuter(bvNone);
    Panel_Buttons->SetHeight(41);
    Button_Yes = MakeChoiceButton(this, Panel_Buttons, "Button_Yes", 16);
    Button_YesAll = MakeChoiceButton(this, Panel_Buttons, "Button_YesAll", 111);
    Button_No = MakeChoiceButton(this, Panel_Buttons, "Button_No", 206);
    Button_NoAll = MakeChoiceButton(this, Panel_Buttons, "Button_NoAll", 301);
    Button_Cancel = MakeChoiceButton(this, Panel_Buttons, "Button_Cancel", 396);

    Panel_Client = Make<TPanel>(this, this, "Panel_Client");
    Panel_Client->SetAlign(alClient);
    Panel_Client->SetBevelOuter(bvNone);

    Label_ItemName = Make<TLabel>(this, Panel_Client, "Label_ItemName");
    Label_ItemName->SetAlign(alTop);
    Label_ItemName->SetAutoSize(false);
    Label_ItemName->SetWordWrap(true);
    Label_ItemName->SetLayout(tlCenter);
    Label_ItemName->SetShowAccelChar(false); // a path, shown as it is
    Label_ItemName->SetShowHint(true);
    Label_ItemName->SetHeight(ItemNameHeight);

    Panel_Source = Make<TPanel>(this, Panel_Client, "Panel_Source");
    Panel_Source->SetAlign(alClient);
    Panel_Source->SetBevelOuter(bvNone);
    Label_OldSourceTitle = MakeSourceLabel(this, "Label_OldSourceTitle", 4, 8, 16, false);
    Label_OldSource = MakeSourceLabel(this, "Label_OldSource", 22, 24, 130, true);
    Label_NewSourceTitle = MakeSourceLabel(this, "Label_NewSourceTitle", 158, 8, 16, false);
    Label_NewSource = MakeSourceLabel(this, "Label_NewSource", 176, 24, 130, true);

    Timer_Auto = new TTimer(this);
    Timer_Auto->Name = "Timer_Auto";
    Timer_Auto->SetEnabled(false); // enabled by FormShow
    Timer_Auto->SetInterval(100);

    OnCreate = Method(this, &TForm_Validate::FormCreate);
    OnShow = Method(this, &TForm_Validate::FormShow);
    OnClose = Method(this, &TForm_Validate::FormClose);
    Button_Yes->OnClick = Method(this, &TForm_Validate::Button_YesClick);
    Button_YesAll->OnClick = Method(this, &TForm_Validate::Button_YesAllClick);
    Button_No->OnClick = Method(this, &TForm_Validate::Button_NoClick);
    Button_NoAll->OnClick = Method(this, &TForm_Validate::Button_NoAllClick);
    Button_Cancel->OnClick = Method(this, &TForm_Validate::Button_CancelClick);
    Label_ItemName->OnMouseMove = Method(this, &TForm_Validate::Label_ItemNameMouseMove);
    Timer_Auto->OnTimer = Method(this, &TForm_Validate::Timer_AutoTimer);
}
