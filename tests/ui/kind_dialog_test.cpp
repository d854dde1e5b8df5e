// The choice dialog shown by ShowKindMessage: every button of every button set, the texts,
// captions and geometry, offscreen through the scripted responder.
#include "../platform/app_fixture.h"
#include "../platform/modal_driver.h"

#include "form1.h"
#include "kinddialog.h"
#include "msgbox.h"

#include "vcl/dialog_host.h"
#include "vcl/testing/scripted_responder.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>

#include <string>
#include <vector>

namespace {

class KindDialogTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(Form1);
    }
    void TearDown() override {
        delete Form1;
        Form1 = nullptr;
        LanguageIndex = savedLanguage_;
        AppTest::TearDown();
    }
    int savedLanguage_ = 0;
};

struct Visible {
    int button;          // 1 to 5
    const char* caption; // English caption
    int result;          // what pressing it returns
};

struct KindCase {
    int kind;
    const char* argument;
    const char* caption;
    const char* text;
    std::vector<Visible> buttons; // in the order they sit, left to right
    int closedResult;             // the answer when closed without a button
};

const std::vector<KindCase>& Cases() {
    static const std::vector<KindCase> cases = {
        {0, "Backup", "Information", "Backup successfully.", {{3, "OK", 1}}, 1},
        {2, "a.cis", "Error", "Can't open a.cis", {{3, "Cancel", 2}}, 2},
        {9,
         "c.cis",
         "Warning",
         "c.cis has changed. Save it Now ?",
         {{2, "Yes", 6}, {4, "No", 7}},
         7},
        {15,
         "x.iso",
         "Confirmation",
         "x.iso already exist.\n\nOverWrite ?",
         {{2, "Yes", 6}, {4, "Cancel", 2}},
         2},
        {13,
         "attr.txt conflict",
         "Confirmation",
         "attr.txt conflict",
         {{1, "Yes To All", 10}, {3, "Yes", 6}, {5, "Cancel", 2}},
         2},
        {44,
         "abc",
         "Confirmation",
         "Do you want to remove abc ?",
         {{1, "Yes To All", 10},
          {2, "No To All", 9},
          {3, "Yes", 6},
          {4, "No", 7},
          {5, "Cancel", 2}},
         2},
        {24,
         "NAS1",
         "Warning",
         "NAS1  is not initialized.\nThis may cause some error while using the server.\n"
         "Setup the server now ?",
         {{2, "Yes", 6}, {4, "No", 7}},
         7},
    };
    return cases;
}

// The checks made while the dialog is up, then the press (0: closed without a button).
void CheckAndPress(vcl::TForm& shown, const KindCase& c, int press) {
    auto& form = dynamic_cast<TForm1&>(shown);
    EXPECT_EQ(form.GetCaption(), c.caption);
    EXPECT_EQ(form.Label1->GetCaption(), c.text);

    const int labelHeight = MessageTextHeight(c.text, form.Label1->Font()->GetSize());
    EXPECT_EQ(form.Label1->GetTop(), 0);
    EXPECT_EQ(form.Label1->GetHeight(), labelHeight);
    EXPECT_EQ(form.GetClientHeight(), labelHeight + form.Button1->GetHeight() + 8);
    const bool five = c.buttons.size() == 5;
    if (five)
        EXPECT_EQ(form.GetWidth(), 562);
    else
        EXPECT_EQ(form.GetClientWidth(), 453);

    const int w = form.GetClientWidth();
    const int designLefts[6] = {0, 4, 117, 230, 347, 458};
    for (int n = 1; n <= 5; ++n) {
        vcl::TButton* button = form.ButtonNumber(n);
        EXPECT_EQ(button->GetTop(), labelHeight) << "button " << n;
        const Visible* visible = nullptr;
        for (const Visible& v : c.buttons)
            if (v.button == n) visible = &v;
        EXPECT_EQ(button->GetVisible(), visible != nullptr) << "button " << n;
        if (!visible) continue;
        EXPECT_EQ(button->GetCaption(), visible->caption);
        int centre = 0;
        if (five) {
            EXPECT_EQ(button->GetLeft(), designLefts[n]);
            continue;
        }
        // One button in the middle; two at a quarter and three quarters; three at all three.
        const size_t index = static_cast<size_t>(&*visible - &c.buttons[0]);
        if (c.buttons.size() == 1)
            centre = w / 2;
        else if (c.buttons.size() == 2)
            centre = index == 0 ? w / 4 : w / 2 + w / 4;
        else
            centre = index == 0 ? w / 4 : index == 1 ? w / 2 : w / 2 + w / 4;
        EXPECT_EQ(button->GetLeft(), centre - button->GetWidth() / 2) << "button " << n;
    }

    if (press == 0)
        form.Close(); // the close key of the window
    else
        form.ButtonNumber(press)->Click();
}

TEST_F(KindDialogTest, EveryButtonOfEverySetAnswersItsResult) {
    for (const KindCase& c : Cases()) {
        for (const Visible& v : c.buttons) {
            SCOPED_TRACE("kind " + std::to_string(c.kind) + " button " + std::to_string(v.button));
            vcl::testing::ScriptedResponder responder;
            responder.ExpectModal("Form1",
                                  [&](vcl::TForm& form) { CheckAndPress(form, c, v.button); });
            EXPECT_EQ(ShowKindMessage(c.argument, c.kind), v.result);
            EXPECT_EQ(ChoiceResult, v.button);
        }
    }
}

TEST_F(KindDialogTest, ClosingWithoutAButtonAnswersTheSetsCancelOrNo) {
    for (const KindCase& c : Cases()) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        vcl::testing::ScriptedResponder responder;
        // A press in an earlier dialog must not answer for this one.
        responder.ExpectModal("Form1", [&](vcl::TForm& form) {
            dynamic_cast<TForm1&>(form).ButtonNumber(c.buttons.front().button)->Click();
        });
        ShowKindMessage(c.argument, c.kind);
        responder.ExpectModal("Form1", [&](vcl::TForm& form) { CheckAndPress(form, c, 0); });
        EXPECT_EQ(ShowKindMessage(c.argument, c.kind), c.closedResult);
    }
}

TEST_F(KindDialogTest, TheDesignLayoutIsRestoredAfterEachDialog) {
    vcl::testing::ScriptedResponder responder;
    responder.ExpectModal("Form1",
                          [](vcl::TForm& form) { dynamic_cast<TForm1&>(form).Button2->Click(); });
    ShowKindMessage("q", 9); // Yes and No moved, the other three hidden
    const int designLefts[6] = {0, 4, 117, 230, 347, 458};
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(Form1->ButtonNumber(n)->GetLeft(), designLefts[n]) << "button " << n;
        EXPECT_TRUE(Form1->ButtonNumber(n)->GetVisible()) << "button " << n;
    }
}

TEST_F(KindDialogTest, LongTextsGetATallLabel) {
    std::string text = "line";
    for (int i = 0; i < 11; ++i)
        text += "\nline";
    vcl::testing::ScriptedResponder responder;
    responder.ExpectModal("Form1", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm1&>(form);
        EXPECT_EQ(dialog.Label1->Font()->GetSize(), 8);
        EXPECT_EQ(dialog.Label1->GetHeight(), 280);
        EXPECT_EQ(dialog.Button3->GetTop(), 280);
        dialog.Button3->Click();
    });
    EXPECT_EQ(ShowKindMessage(text, 53), 1);
}

TEST_F(KindDialogTest, ChineseDialogsKeepTheFixedEnglishTexts) {
    LanguageIndex = 1;
    vcl::testing::ScriptedResponder responder;
    responder.ExpectModal("Form1", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm1&>(form);
        EXPECT_EQ(dialog.GetCaption(), GetMessageText(9));
        EXPECT_EQ(dialog.Label1->GetCaption(), "Mirror password error.  Retry ?");
        EXPECT_EQ(dialog.Button2->GetCaption(), GetMessageText(11));
        EXPECT_EQ(dialog.Button4->GetCaption(), GetMessageText(12));
        dialog.Button2->Click();
    });
    EXPECT_EQ(ShowKindMessage("", 27), 6);
}

TEST_F(KindDialogTest, WithoutTheDialogAPlainBoxAnswersZero) {
    delete Form1;
    Form1 = nullptr;
    vcl::testing::ScriptedResponder responder;
    responder.ExpectBox("Form1 not init!", vcl::IDOK);
    EXPECT_EQ(ShowKindMessage("x", 0), 0);
    ASSERT_EQ(responder.Boxes().size(), 1u);
    EXPECT_EQ(responder.Boxes()[0].Request.Text, "Form1 not init!");
}

// The plain message boxes show their buttons in the program's language, as the kind dialog does.
TEST_F(KindDialogTest, PlainBoxesLabelTheirButtonsInTheProgramsLanguage) {
    const vcl::TBoxButtonCaptions saved = vcl::BoxButtonCaptions();
    struct Case {
        int language;
        std::vector<std::string> okCancel, yesNo;
    };
    const Case cases[] = {
        {1, {"確定", "取消"}, {"是", "否"}},
        {2, {"确定", "取消"}, {"是", "否"}},
        {0, {"OK", "Cancel"}, {"Yes", "No"}},
    };
    for (const Case& c : cases) {
        LanguageIndex = c.language;
        LabelBoxButtons();
        std::vector<std::vector<std::string>> shown;
        ModalDriver driver;
        const auto record = [&](QWidget* window) {
            auto* box = static_cast<QMessageBox*>(window);
            std::vector<std::string> captions;
            for (QMessageBox::StandardButton b :
                 {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel})
                if (box->button(b)) captions.push_back(box->button(b)->text().toStdString());
            shown.push_back(captions);
            box->buttons().front()->click();
        };
        driver.OnBox(record).OnBox(record);
        ModalDriver::RunInLoop(
            [] {
                vcl::Application->MessageBox("?", "", vcl::MB_OKCANCEL);
                vcl::Application->MessageBox("?", "", vcl::MB_YESNO);
            },
            [&] { return shown.size() == 2; });
        EXPECT_EQ(shown, (std::vector<std::vector<std::string>>{c.okCancel, c.yesNo}))
            << "language " << c.language;
    }
    vcl::SetBoxButtonCaptions(saved);
}

// The toolkit's file dialogs speak the program's language once it is chosen: their labels and
// buttons come from the toolkit's translations for that language.
TEST_F(KindDialogTest, FileDialogsSpeakTheProgramsLanguage) {
    const vcl::TBoxButtonCaptions saved = vcl::BoxButtonCaptions();
    struct Case {
        int language;
        bool save;
        std::vector<std::string> texts; // look in, file name, files of type, then the buttons
    };
    const Case cases[] = {
        {1, false, {"尋找於：", "檔名(&N)：", "檔案型態：", "開啟(&O)", "取消"}},
        {1, true, {"尋找於：", "檔名(&N)：", "檔案型態：", "儲存(&S)", "取消"}},
        {2, false, {"查找范围：", "文件名称(&N)：", "文件类型：", "打开(&O)", "取消"}},
        {0, true, {"Look in:", "File &name:", "Files of type:", "&Save", "Cancel"}},
    };
    for (const Case& c : cases) {
        LanguageIndex = c.language;
        LabelBoxButtons();
        std::vector<std::string> shown;
        bool answered = false;
        ModalDriver driver;
        driver.OnForm("Pick", [&](QWidget* window) {
            for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
                auto* label = window->findChild<QLabel*>(name);
                shown.push_back(label ? label->text().toStdString() : std::string("?"));
            }
            if (auto* box = window->findChild<QDialogButtonBox*>("buttonBox"))
                for (QAbstractButton* b : box->buttons())
                    shown.push_back(b->text().toStdString());
            static_cast<QDialog*>(window)->reject();
            answered = true;
        });
        vcl::TFileDialogRequest request;
        request.Save = c.save;
        request.Title = "Pick";
        request.Filter = "Profile Files (*.cfg)|*.cfg";
        std::vector<std::string> files{"not cancelled"};
        ModalDriver::RunInLoop([&] { files = vcl::DialogHost().FileDialog(request); },
                               [&] { return answered; });
        EXPECT_TRUE(files.empty());
        EXPECT_EQ(shown, c.texts) << "language " << c.language;
    }
    vcl::SetBoxButtonCaptions(saved);
}

} // namespace
