// The password dialog: its texts, limits, pixel layout in both modes, and its Enter key.
#include "../platform/app_fixture.h"

#include "msgbox.h"
#include "password.h"

#include "vcl/keys.h"
#include "vcl/testing/scripted_responder.h"

#include <string>

namespace {

int Bottom(const vcl::TControl* control) {
    return control->GetTop() + control->GetHeight();
}

class PasswordTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(Form_Password);
    }
    void TearDown() override {
        delete Form_Password;
        LanguageIndex = savedLanguage_;
        AppTest::TearDown();
    }
    int savedLanguage_ = 0;
};

TEST_F(PasswordTest, CreationSetsTextsAndLimits) {
    TForm_Password& f = *Form_Password;
    EXPECT_EQ(f.GetCaption(), "Password");
    EXPECT_EQ(f.Button_Ok->GetCaption(), "&Ok");
    EXPECT_EQ(f.Button_Cancel->GetCaption(), "&Cancel");
    EXPECT_EQ(f.Label_Prompt->GetCaption(), "Please input password");
    EXPECT_EQ(f.Edit_Password->GetMaxLength(), 20);
    EXPECT_EQ(f.Edit_Password->GetPasswordChar(), '*');
    EXPECT_EQ(f.Edit_UserName->GetMaxLength(), 15);
    EXPECT_EQ(f.Edit_UserName->GetPasswordChar(), 0);
    EXPECT_TRUE(f.Edit_Password->Font()->GetStyle().Contains(vcl::fsBold));
    EXPECT_EQ(f.Button_Ok->GetModalResult(), vcl::mrOk);
    EXPECT_EQ(f.Button_Cancel->GetModalResult(), vcl::mrCancel);
}

TEST_F(PasswordTest, PasswordModeCentresTheBoxBetweenPromptAndButtons) {
    TForm_Password& f = *Form_Password;
    f.Edit_UserName->SetText("stale");
    f.Edit_Password->SetText("stale");
    f.SetPrompt("NAS1", TForm_Password::ModePassword, "Admin", "User:");

    EXPECT_EQ(f.GetCaption(), "NAS1");
    EXPECT_EQ(f.Label_Prompt->GetTop(), 0);
    EXPECT_EQ(f.Label_Prompt->GetHeight(), 40); // one short line still gets 40 pixels
    EXPECT_EQ(f.Button_Ok->GetTop(), 110);
    EXPECT_EQ(f.Button_Ok->GetHeight(), 29);
    EXPECT_EQ(f.Button_Cancel->GetTop(), 110);
    EXPECT_EQ(f.GetClientHeight(), 110 + 29 + 10);
    EXPECT_FALSE(f.Edit_UserName->GetVisible());
    EXPECT_FALSE(f.Label_UserName->GetVisible());
    EXPECT_EQ(f.Edit_Password->GetTop(), (40 + 110) / 2 - 10);
    EXPECT_EQ(f.Edit_Password->GetHeight(), 20);
    EXPECT_EQ(f.Label_Password->GetTop(), f.Edit_Password->GetTop());
    EXPECT_EQ(f.Label_Password->GetCaption(), "Password:");
    EXPECT_EQ(f.GetClientWidth(), f.Edit_UserName->GetLeft() + f.Edit_UserName->GetWidth() -
                                      f.Label_UserName->GetLeft() + 30);
    EXPECT_EQ(f.Edit_UserName->GetText(), "");
    EXPECT_EQ(f.Edit_Password->GetText(), "");
}

TEST_F(PasswordTest, UserModeStacksTheTwoRowsUnderATallPrompt) {
    TForm_Password& f = *Form_Password;
    std::string prompt = "line";
    for (int i = 0; i < 5; ++i)
        prompt += "\nline";
    f.SetPrompt("Domain", TForm_Password::ModeUserAndPassword, prompt, "Account:");

    const int promptBottom = Bottom(f.Label_Prompt);
    EXPECT_GT(f.Label_Prompt->GetHeight(), 40); // six lines are taller than the minimum
    EXPECT_TRUE(f.Edit_UserName->GetVisible());
    EXPECT_TRUE(f.Label_UserName->GetVisible());
    EXPECT_EQ(f.Label_UserName->GetCaption(), "Account:");
    EXPECT_EQ(f.Edit_UserName->GetTop(), promptBottom + 10);
    EXPECT_EQ(f.Label_UserName->GetTop(), promptBottom + 10);
    EXPECT_EQ(f.Edit_Password->GetTop(), Bottom(f.Edit_UserName) + 10);
    EXPECT_EQ(f.Label_Password->GetTop(), f.Edit_Password->GetTop());
    EXPECT_EQ(f.Button_Ok->GetTop(), promptBottom + 70);
    EXPECT_EQ(f.GetClientHeight(), Bottom(f.Button_Ok) + 10);

    // Back to a short prompt: the minimum height holds again.
    f.SetPrompt("NAS1", TForm_Password::ModePassword, "Admin", "");
    EXPECT_EQ(f.Label_Prompt->GetHeight(), 40);
    EXPECT_EQ(f.Button_Ok->GetTop(), 110);
}

TEST_F(PasswordTest, AnotherModeKeepsVisibilityAndPlace) {
    TForm_Password& f = *Form_Password;
    f.SetPrompt("NAS1", TForm_Password::ModeUserAndPassword, "Admin", "User:");
    const int passwordTop = f.Edit_Password->GetTop();
    f.SetPrompt("NAS1", 3, "Admin", "User:");
    EXPECT_TRUE(f.Edit_UserName->GetVisible());
    EXPECT_EQ(f.Edit_Password->GetTop(), passwordTop);
}

TEST_F(PasswordTest, EnterPressesOkUnlessShiftAltOrAMouseButtonIsHeld) {
    struct Case {
        vcl::TShiftState shift;
        bool pressesOk;
    };
    const Case cases[] = {
        {{}, true},
        {{vcl::ssCtrl}, true},
        {{vcl::ssRight}, true},
        {{vcl::ssShift}, false},
        {{vcl::ssAlt}, false},
        {{vcl::ssLeft}, false},
        {{vcl::ssMiddle}, false},
        {{vcl::ssDouble}, false},
    };
    TForm_Password& f = *Form_Password;
    for (const Case& c : cases) {
        f.SetModalResult(vcl::mrNone);
        vcl::TKey key = vcl::VK_RETURN;
        f.Edit_PasswordKeyDown(f.Edit_Password, key, c.shift);
        EXPECT_EQ(f.GetModalResult(), c.pressesOk ? vcl::mrOk : vcl::mrNone)
            << "shift bits " << c.shift.Bits();
        EXPECT_EQ(key, c.pressesOk ? 0 : vcl::VK_RETURN);
    }
    f.SetModalResult(vcl::mrNone);
    vcl::TKey other = 'A';
    f.Edit_PasswordKeyDown(f.Edit_UserName, other, {});
    EXPECT_EQ(f.GetModalResult(), vcl::mrNone);
}

TEST_F(PasswordTest, EachShowingEmptiesOnlyThePassword) {
    TForm_Password& f = *Form_Password;
    f.SetPrompt("NAS1", TForm_Password::ModeUserAndPassword, "Account", "User:");
    vcl::testing::ScriptedResponder responder;
    responder.ExpectModal("Form_Password", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm_Password&>(form);
        EXPECT_EQ(dialog.GetActiveControl(), dialog.Edit_UserName);
        dialog.Edit_UserName->SetText("admin");
        dialog.Edit_Password->SetText("wrong");
        dialog.Button_Ok->Click();
    });
    responder.ExpectModal("Form_Password", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm_Password&>(form);
        EXPECT_EQ(dialog.Edit_UserName->GetText(), "admin");
        EXPECT_EQ(dialog.Edit_Password->GetText(), "");
        dialog.Button_Cancel->Click();
    });
    EXPECT_EQ(f.ShowModal(), vcl::mrOk);
    EXPECT_EQ(f.ShowModal(), vcl::mrCancel);

    f.SetPrompt("NAS1", TForm_Password::ModePassword, "Admin", "");
    responder.ExpectModal("Form_Password", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm_Password&>(form);
        EXPECT_EQ(dialog.GetActiveControl(), dialog.Edit_Password);
        dialog.Close();
    });
    EXPECT_EQ(f.ShowModal(), vcl::mrCancel);
}

} // namespace
