// The password dialog: a prompt over a user-name row and a password row, OK and Cancel below.
#include "password.h"

using namespace vcl;

namespace {

TEdit* MakeSecretEdit(TForm_Password* form, const char* name, int top, int maxLength) {
    TEdit* edit = Make<TEdit>(form, form, name);
    edit->SetBounds(120, top, 150, 20);
    edit->SetMaxLength(maxLength);
    edit->Font()->SetName("Monospace");
    edit->Font()->SetPitch(fpFixed);
    edit->Font()->SetStyle({fsBold});
    return edit;
}

} // namespace

TForm_Password::TForm_Password(TComponent* Owner) : TForm(Owner) {
    Name = "Form_Password";
    SetBorderStyle(bsDialog);
    SetBorderIcons({});
    SetPosition(poDesktopCenter);
    SetClientWidth(284);
    SetClientHeight(149);

    Button_Ok = Make<TButton>(this, this, "Button_Ok");
    Button_Ok->SetBounds(56, 110, 75, 29);
    Button_Ok->SetCaption("&Ok");
    Button_Ok->SetModalResult(mrOk);

    Button_Cancel = Make<TButton>(this, this, "Button_Cancel");
    Button_Cancel->SetBounds(153, 110, 75, 29);
    Button_Cancel->SetCaption("&Cancel");
    Button_Cancel->SetModalResult(mrCancel);
    Button_Cancel->SetCancel(true);

    Label_Prompt = Make<TLabel>(this, this, "Label_Prompt");
    Label_Prompt->SetAlign(alTop);
    Label_Prompt->SetAlignment(taCenter);
    Label_Prompt->SetWordWrap(true);
    Label_Prompt->SetShowAccelChar(false);
    Label_Prompt->SetBounds(0, 0, 284, 40);

    Edit_Password = MakeSecretEdit(this, "Edit_Password", 80, PasswordMaxLength);
    Edit_Password->SetPasswordChar('*');
    Edit_UserName = MakeSecretEdit(this, "Edit_UserName", 50, UserNameMaxLength);

    Label_Password = Make<TLabel>(this, this, "Label_Password");
    Label_Password->SetAutoSize(false);
    Label_Password->SetLayout(tlCenter);
    Label_Password->SetBounds(16, 80, 96, 20);
    Label_Password->SetCaption("Password:");

    Label_UserName = Make<TLabel>(this, this, "Label_UserName");
    Label_UserName->SetAutoSize(false);
    Label_UserName->SetLayout(tlCenter);
    Label_UserName->SetBounds(16, 50, 96, 20);
    Label_UserName->SetCaption("User Name:");

    // Tab goes from the user name to the password, then to the buttons.
    Edit_UserName->SetTabOrder(0);
    Edit_Password->SetTabOrder(1);
    Button_Ok->SetTabOrder(2);
    Button_Cancel->SetTabOrder(3);

    OnCreate = Method(this, &TForm_Password::FormCreate);
    OnShow = Method(this, &TForm_Password::FormShow);
    Edit_Password->OnKeyDown = Method(this, &TForm_Password::Edit_PasswordKeyDown);
    Edit_UserName->OnKeyDown = Method(this, &TForm_Password::Edit_PasswordKeyDown);
}
