// TForm_Password: the modal dialog that asks for a server's password, or for a user name and a
// password, laid out around its prompt by SetPrompt.
#pragma once

#include "vcl/form.h"
#include "vcl/std_controls.h"

#include <string>

class TCdhSvr;

class TForm_Password : public vcl::TForm {
public:
    static constexpr int PasswordMaxLength = 20;
    static constexpr int UserNameMaxLength = 15;
    // SetPrompt modes.
    static constexpr int ModePassword = 1;
    static constexpr int ModeUserAndPassword = 2;

    // Makes the components (the form's description).
    explicit TForm_Password(vcl::TComponent* Owner);
    ~TForm_Password() override;

    vcl::TButton* Button_Ok = nullptr;
    vcl::TButton* Button_Cancel = nullptr;
    vcl::TLabel* Label_Prompt = nullptr;
    vcl::TEdit* Edit_Password = nullptr;
    vcl::TEdit* Edit_UserName = nullptr;
    vcl::TLabel* Label_Password = nullptr;
    vcl::TLabel* Label_UserName = nullptr;

    // Sets the caption, the prompt and the user-name label, empties both edits and lays the
    // dialog out for mode 1 (password) or 2 (user name and password).
    void SetPrompt(const std::string& caption, int mode, const std::string& prompt,
                   const std::string& userLabel);

    // Asks a CD server's administrator (kind 0), mirror (1) or share-folder password (2, of the
    // group at groupIndex) until the server accepts one; the kept passwords are tried first.
    // False when the user gives up, on a communication error or for another kind.
    bool QueryServerPassword(TCdhSvr* server, int kind, int groupIndex);

    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    // Enter presses OK unless Shift or Alt is held or a mouse button or a double click is.
    void Edit_PasswordKeyDown(vcl::TObject* Sender, vcl::TKey& Key, vcl::TShiftState Shift);

private:
    // Right edge of the user-name edit - left of its label + 30.
    int ClientWidthForEdits() const;
};

extern TForm_Password* Form_Password;
