#include "password.h"

#include "msgbox.h"

TForm_Password* Form_Password = nullptr;

namespace {

constexpr int kMinPromptHeight = 40;
constexpr int kEditHeight = 20;
constexpr int kButtonHeight = 29;

int Bottom(const vcl::TControl* control) {
    return control->GetTop() + control->GetHeight();
}

} // namespace

TForm_Password::~TForm_Password() {
    if (Form_Password == this) Form_Password = nullptr;
}

void TForm_Password::FormCreate(vcl::TObject*) {
    SetCaption(GetMessageText(129));
    Button_Ok->SetCaption(GetMessageText(577));
    Button_Cancel->SetCaption(GetMessageText(578));
    Label_Prompt->SetCaption(GetMessageText(590));
}

void TForm_Password::FormShow(vcl::TObject*) {
    if (Edit_UserName->GetVisible())
        Edit_UserName->SetFocus();
    else
        Edit_Password->SetFocus();
    Edit_Password->SetText("");
}

void TForm_Password::Edit_PasswordKeyDown(vcl::TObject*, vcl::TKey& Key, vcl::TShiftState Shift) {
    if (Key != vcl::VK_RETURN) return;
    const vcl::TShiftState blocking{vcl::ssShift, vcl::ssAlt, vcl::ssLeft, vcl::ssMiddle,
                                    vcl::ssDouble};
    if (!(Shift * blocking).Empty()) return;
    Key = 0;
    Button_Ok->Click();
}

void TForm_Password::SetPrompt(const std::string& caption, int mode, const std::string& prompt,
                               const std::string& userLabel) {
    SetCaption(caption);
    // The width depends only on the user-name row, which does not move: set it first, so that the
    // prompt wraps at the dialog's final width.
    SetClientWidth(ClientWidthForEdits());

    // The prompt takes the height of its text, at least 40 pixels.
    Label_Prompt->SetAutoSize(true);
    Label_Prompt->SetTop(0);
    Label_Prompt->SetLeft(0);
    Label_Prompt->SetCaption(prompt);
    if (Label_Prompt->GetHeight() < kMinPromptHeight) {
        Label_Prompt->SetAutoSize(false);
        Label_Prompt->SetHeight(kMinPromptHeight);
    }

    Label_Password->SetCaption(std::string(GetMessageText(129)) + ":");
    Label_UserName->SetCaption(userLabel);

    const int promptBottom = Bottom(Label_Prompt);
    Edit_UserName->SetBounds(Edit_UserName->GetLeft(), promptBottom + 10, Edit_UserName->GetWidth(),
                             kEditHeight);
    Label_UserName->SetBounds(Label_UserName->GetLeft(), Edit_UserName->GetTop(),
                              Label_UserName->GetWidth(), kEditHeight);
    Button_Ok->SetBounds(Button_Ok->GetLeft(), promptBottom + 70, Button_Ok->GetWidth(),
                         kButtonHeight);
    Button_Cancel->SetBounds(Button_Cancel->GetLeft(), Button_Ok->GetTop(),
                             Button_Cancel->GetWidth(), kButtonHeight);
    SetClientHeight(Bottom(Button_Ok) - Label_Prompt->GetTop() + 10);

    Edit_UserName->SetText("");
    Edit_Password->SetText("");

    if (mode == ModePassword) {
        Edit_UserName->SetVisible(false);
        Label_UserName->SetVisible(false);
        Edit_Password->SetBounds(Edit_Password->GetLeft(),
                                 (promptBottom + Button_Ok->GetTop()) / 2 - 10,
                                 Edit_Password->GetWidth(), kEditHeight);
    } else if (mode == ModeUserAndPassword) {
        Edit_UserName->SetVisible(true);
        Label_UserName->SetVisible(true);
        Edit_Password->SetBounds(Edit_Password->GetLeft(), Bottom(Edit_UserName) + 10,
                                 Edit_Password->GetWidth(), kEditHeight);
    }
    Label_Password->SetBounds(Label_Password->GetLeft(), Edit_Password->GetTop(),
                              Label_Password->GetWidth(), Edit_Password->GetHeight());

    SetClientWidth(ClientWidthForEdits());
}

int TForm_Password::ClientWidthForEdits() const {
    return Edit_UserName->GetLeft() + Edit_UserName->GetWidth() - Label_UserName->GetLeft() + 30;
}
