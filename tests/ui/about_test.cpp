// The about form: branding read at creation, splash mode ended by the main window's first paint,
// links opened only in about-box mode and only for web and mail addresses.
#include "../platform/app_fixture.h"

#include "about.h"
#include "brandinfo.h"
#include "central.h"
#include "form1.h"
#include "msgbox.h"

#include "shell/shell.h"
#include "vcl/testing/scripted_responder.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string EnvRecord(const std::string& lines) {
    std::string bytes = "_ENV";
    const auto length = static_cast<std::uint32_t>(lines.size());
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    return bytes + lines;
}

class AboutTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        char folder[] = "/tmp/about-test-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        home_ = folder;
        setenv("BRIMLET_HOME", home_.c_str(), 1);
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        BrandInfo = TBrandInfo{};
    }
    void TearDown() override {
        delete Form_Central;
        delete Form_About;
        delete Form1;
        Form1 = nullptr;
        BrandInfo = TBrandInfo{};
        LanguageIndex = savedLanguage_;
        AppTest::TearDown();
        std::filesystem::remove_all(home_);
    }
    void WriteBranding(const std::string& lines) {
        std::ofstream out(home_ + "/Quorvik.abt", std::ios::binary);
        out << "_IMG" << std::string("\x04\0\0\0", 4) << "\x89PNG" << EnvRecord(lines);
    }
    // The about form as the program entry makes it: splash mode, shown.
    void MakeSplash() {
        Form_About = vcl::MakeForm<TForm_About>(vcl::Application);
        Form_About->Interactive = false;
        Form_About->Show();
        Form_About->Repaint();
    }
    std::string home_;
    int savedLanguage_ = 0;
};

TEST_F(AboutTest, CreationReadsTheBrandingFileOfTheProgramFolder) {
    WriteBranding("WEB=www.example.com\r\nEMAIL=info@example.com\r\nAPPNAME=Nimbus\r\n");
    MakeSplash();
    EXPECT_EQ(Form_About->Label_Web->GetCaption(), "www.example.com");
    EXPECT_EQ(Form_About->Label_Email->GetCaption(), "info@example.com");
    EXPECT_EQ(Form_About->Label_5->GetCaption(), "Dravelt Co., Ltd");
    EXPECT_EQ(Form_About->Label_Version->GetCaption(), "SW : 1.00");
    EXPECT_EQ(Form_About->VersionText(), "1.00");
    EXPECT_EQ(BrandInfo.APPNAME, "Nimbus");
    EXPECT_EQ(Form_About->GetClientWidth(), 500);
    EXPECT_EQ(Form_About->GetClientHeight(), 251);
    EXPECT_FALSE(Form_About->Image_About->Picture()->Empty());
    // Nothing is written: the picture record leaves no file behind.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(home_))
        ++files;
    EXPECT_EQ(files, 1);
    EXPECT_FALSE(std::filesystem::exists("tempimg.im_"));
}

TEST_F(AboutTest, WithoutABrandingFileTheLinksAreEmpty) {
    MakeSplash();
    EXPECT_EQ(Form_About->Label_Web->GetCaption(), "");
    EXPECT_EQ(Form_About->Label_Email->GetCaption(), "");
    EXPECT_EQ(BrandInfo.APPNAME, "Quorvik");
}

TEST_F(AboutTest, TheSplashRefusesToCloseAndIgnoresClicks) {
    WriteBranding("WEB=www.example.com\r\nEMAIL=info@example.com\r\n");
    MakeSplash();
    platform::RecordingShell shell;
    Form_About->Close();
    Form_About->Image_About->Click();
    Form_About->Label_Web->Click();
    Form_About->Label_Email->Click();
    EXPECT_TRUE(Form_About->GetVisible());
    EXPECT_TRUE(shell.Opened.empty());
}

TEST_F(AboutTest, TheMainWindowsFirstPaintEndsTheSplash) {
    MakeSplash();
    vcl::Application->CreateForm(Form_Central);
    Form_Central->Show();
    ASSERT_TRUE(PumpUntil([] { return !Form_About->GetVisible(); }));
    EXPECT_TRUE(Form_About->Interactive);
    EXPECT_TRUE(Form_Central->GetVisible());

    // Shown again, the about box sits in the middle of the main window.
    Form_Central->SetBounds(100, 80, 800, 600);
    Form_About->Show();
    EXPECT_EQ(Form_About->GetLeft(), 100 + (800 - Form_About->GetWidth()) / 2);
    EXPECT_EQ(Form_About->GetTop(), 80 + (600 - Form_About->GetHeight()) / 2);
}

TEST_F(AboutTest, WithoutTheAboutFormTheMainWindowSaysSoOnce) {
    vcl::Application->CreateForm(Form1);
    vcl::testing::ScriptedResponder responder;
    responder.ExpectModal("Form1", [](vcl::TForm& form) {
        auto& dialog = dynamic_cast<TForm1&>(form);
        EXPECT_EQ(dialog.Label1->GetCaption(),
                  "Can't create 'About Box'.\nSystem memory is not enough.");
        dialog.Button3->Click();
    });
    vcl::Application->CreateForm(Form_Central);
    Form_Central->Show();
    ASSERT_TRUE(PumpUntil([&] { return responder.Pending() == 0; }));
    Form_Central->Repaint();
    PumpFor(std::chrono::milliseconds(50)); // another paint shows no second box
}

TEST_F(AboutTest, TheAboutBoxOpensOnlyWebAndMailAddresses) {
    WriteBranding("WEB=www.example.com\r\nEMAIL=info@example.com\r\n");
    MakeSplash();
    Form_About->Interactive = true;
    platform::RecordingShell shell;
    Form_About->Label_Web->Click();
    Form_About->Label_Email->Click();
    ASSERT_EQ(shell.Opened.size(), 2u);
    EXPECT_EQ(shell.Opened[0], "http://www.example.com");
    EXPECT_EQ(shell.Opened[1], "mailto:info@example.com");

    BrandInfo.WEB = "file:///etc/passwd";
    BrandInfo.EMAIL = "x@y?attach=/etc/passwd";
    Form_About->Label_Web->Click();
    Form_About->Label_Email->Click();
    EXPECT_EQ(shell.Opened.size(), 2u);

    Form_About->Image_About->Click(); // closes the about box (hides it)
    EXPECT_FALSE(Form_About->GetVisible());
}

TEST_F(AboutTest, PressedLinksTurnRedUntilTheTimerAfterRelease) {
    MakeSplash();
    Form_About->Label_WebMouseDown(nullptr, vcl::mbLeft, {}, 1, 1);
    EXPECT_EQ(Form_About->Label_Web->Font()->GetColor(), vcl::clWhite); // splash: no change

    Form_About->Interactive = true;
    Form_About->Label_WebMouseDown(nullptr, vcl::mbLeft, {}, 1, 1);
    EXPECT_EQ(Form_About->Label_Web->Font()->GetColor(), vcl::clRed);
    Form_About->TimerTimer(nullptr);
    EXPECT_EQ(Form_About->Label_Web->Font()->GetColor(), vcl::clRed); // still held
    Form_About->Label_WebMouseUp(nullptr, vcl::mbLeft, {}, 1, 1);
    Form_About->TimerTimer(nullptr);
    EXPECT_EQ(Form_About->Label_Web->Font()->GetColor(), vcl::clWhite);
}

} // namespace
