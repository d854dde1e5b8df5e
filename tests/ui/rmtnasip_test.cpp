// The add-address dialog: the address parser, the address box's key filter and editing, and the
// dialog driven by real keys and its OK button.
#include "../platform/ui_fixture.h"

#include "msgbox.h"
#include "rmtnasip.h"
#include "rmtnasip_mask.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

#include <cstdint>
#include <optional>
#include <string>

namespace {

constexpr char kEmpty[] = "   .   .   .   ";

TEST(AddressText, ParsesDottedAddressesOnly) {
    struct Case {
        const char* text;
        std::optional<std::uint32_t> address;
    };
    const Case cases[] = {
        {"192.168.1.1", 0xC0A80101u},
        {"192.168.1  .1  ", 0xC0A80101u}, // blanks of the empty places
        {"127.000.000.001", 0x7F000001u},
        {"0.0.0.0", 0u},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"1.2.3.4.", 0x01020304u}, // a trailing fourth dot: the first four parts count
        {kEmpty, std::nullopt},
        {"", std::nullopt},
        {"256.1.1.1", std::nullopt},
        {"1.2.3.1000", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.", std::nullopt},
        {"1..2.3", std::nullopt},
        {".1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt}, // a digit after a fourth dot
        {"1.2.3.a", std::nullopt},
        {"1.2.3.-4", std::nullopt},
        {"001.002.003.0004", std::nullopt}, // 16 characters
    };
    for (const Case& c : cases)
        EXPECT_EQ(ipbox::ParseAddressText(c.text), c.address) << '"' << c.text << '"';
    EXPECT_EQ(ipbox::AddressBoxText(0x0A000107u), "10 .0  .1  .7  ");
}

TEST(AddressBox, KeyFilterAndEditing) {
    using ipbox::KeyResult;
    struct Case {
        const char* text;
        int caret;
        char32_t key;
        KeyResult result;
        const char* after; // text afterwards
        int caretAfter;
    };
    const Case cases[] = {
        // Digits overwrite their place and the caret steps over the dot.
        {kEmpty, 0, '1', KeyResult::Applied, "1  .   .   .   ", 1},
        {"12 .   .   .   ", 2, '3', KeyResult::Applied, "123.   .   .   ", 4},
        {"123.   .   .   ", 0, '0', KeyResult::Applied, "023.   .   .   ", 1},
        // Above 255 at the last place of groups 0-2: the digit starts the next group.
        {"25 .   .   .   ", 2, '6', KeyResult::Applied, "25 .6  .   .   ", 5},
        {"1  .30 .   .   ", 6, '0', KeyResult::Applied, "1  .30 .0  .   ", 9},
        // ... but not when it would make that group too large, nor in the last group.
        {"30 . 99.   .   ", 2, '7', KeyResult::Refused, "30 . 99.   .   ", 2},
        {"1  .1  .1  .25 ", 14, '6', KeyResult::Refused, "1  .1  .1  .25 ", 14},
        // Above 255 at another place: refused.
        {" 99.   .   .   ", 0, '3', KeyResult::Refused, " 99.   .   .   ", 0},
        {"25 .   .   .   ", 1, '9', KeyResult::Applied, "29 .   .   .   ", 2},
        // At a dot the digit goes to the next group, under that group's limit.
        {"12 .   .   .   ", 3, '5', KeyResult::Applied, "12 .5  .   .   ", 5},
        {"12 . 60.   .   ", 3, '5', KeyResult::Refused, "12 . 60.   .   ", 3},
        {"1  .1  .1  .1  ", 15, '1', KeyResult::Refused, "1  .1  .1  .1  ", 15},
        // A dot ends a group that has digits before the caret.
        {"1  .   .   .   ", 1, '.', KeyResult::Applied, "1  .   .   .   ", 4},
        {"123.   .   .   ", 4, '.', KeyResult::Refused, "123.   .   .   ", 4},
        {"1  .1  .1  .1  ", 13, '.', KeyResult::Refused, "1  .1  .1  .1  ", 13},
        // Backspace moves left over blanks (and dots) and blanks the nearest digit.
        {"12 .   .   .   ", 3, ipbox::kBackspace, KeyResult::Applied, "1  .   .   .   ", 1},
        {"123.   .   .   ", 4, ipbox::kBackspace, KeyResult::Applied, "12 .   .   .   ", 2},
        {"1  .   .   .   ", 10, ipbox::kBackspace, KeyResult::Applied, kEmpty, 0},
        {kEmpty, 0, ipbox::kBackspace, KeyResult::Refused, kEmpty, 0},
        {kEmpty, 9, ipbox::kBackspace, KeyResult::Refused, kEmpty, 9},
        // Cut passes while the group's number is within 255.
        {"25 .   .   .   ", 1, ipbox::kCtrlX, KeyResult::Passed, "25 .   .   .   ", 1},
        {"999.   .   .   ", 1, ipbox::kCtrlX, KeyResult::Refused, "999.   .   .   ", 1},
        // Anything else is not for the box.
        {kEmpty, 0, 'a', KeyResult::Refused, kEmpty, 0},
        {kEmpty, 0, ' ', KeyResult::Refused, kEmpty, 0},
        {kEmpty, 0, ipbox::kEnter, KeyResult::Refused, kEmpty, 0},
    };
    for (const Case& c : cases) {
        ipbox::BoxState box{c.text, c.caret};
        EXPECT_EQ(ipbox::TypeKey(box, c.key, nullptr), c.result)
            << '"' << c.text << "\" at " << c.caret << " key " << static_cast<int>(c.key);
        EXPECT_EQ(box.text, c.after) << '"' << c.text << "\" at " << c.caret;
        EXPECT_EQ(box.caret, c.caretAfter) << '"' << c.text << "\" at " << c.caret;
    }
}

TEST(AddressBox, PasteTakesOnlyAnAddress) {
    struct Case {
        std::optional<std::string> clipboard;
        ipbox::KeyResult result;
        const char* after;
    };
    const Case cases[] = {
        {"10.0.0.7", ipbox::KeyResult::Applied, "10 .0  .0  .7  "},
        {" 192.168.001.010 ", ipbox::KeyResult::Applied, "192.168.1  .10 "},
        {"10.0.0", ipbox::KeyResult::Refused, "1  .   .   .   "},
        {"10.0.0.7\nrm -rf", ipbox::KeyResult::Refused, "1  .   .   .   "},
        {std::nullopt, ipbox::KeyResult::Refused, "1  .   .   .   "},
    };
    for (const Case& c : cases) {
        ipbox::BoxState box{"1  .   .   .   ", 1};
        int asked = 0;
        const auto clipboard = [&]() {
            ++asked;
            return c.clipboard;
        };
        EXPECT_EQ(ipbox::TypeKey(box, ipbox::kCtrlV, clipboard), c.result);
        EXPECT_EQ(box.text, c.after);
        EXPECT_EQ(asked, 1);
    }
}

TEST(AddressBox, DeletionsAndForeignTextsKeepTheLayout) {
    // A cut of "168.1" blanks those places and keeps the dots.
    EXPECT_EQ(ipbox::NormalizeBoxText("192.  .1  ", "192.168.1  .1  "), "192.   .   .1  ");
    EXPECT_EQ(ipbox::NormalizeBoxText("10.1.2.3", kEmpty), "10 .1  .2  .3  ");
    EXPECT_EQ(ipbox::NormalizeBoxText("x1234.5", kEmpty), "123.5  .   .   ");
    EXPECT_EQ(ipbox::NormalizeBoxText("", kEmpty), kEmpty);

    ipbox::BoxState box{"192.168.1  .1  ", 4};
    EXPECT_EQ(ipbox::DeleteKey(box), ipbox::KeyResult::Applied);
    EXPECT_EQ(box.text, "192. 68.1  .1  ");
    EXPECT_EQ(box.caret, 4);
    box.caret = 3;
    EXPECT_EQ(ipbox::DeleteKey(box), ipbox::KeyResult::Refused);
}

class AddNasIpTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(Form_AddNASIP);
    }
    void TearDown() override {
        delete Form_AddNASIP;
        LanguageIndex = savedLanguage_;
        UiTest::TearDown();
    }
    int savedLanguage_ = 0;
};

TEST_F(AddNasIpTest, CreationShowsOnlyTheSingleAddressBox) {
    TForm_AddNASIP& f = *Form_AddNASIP;
    EXPECT_EQ(f.GetCaption(), "Add a Remote NAS");
    EXPECT_EQ(f.Label1->GetCaption(), "Please input the IP address:");
    EXPECT_EQ(f.AddOK->GetCaption(), "OK");
    EXPECT_EQ(f.AddCancel->GetCaption(), "Cancel");
    EXPECT_EQ(f.RBtn_GroupIP->GetCaption(), "IP address &range");
    EXPECT_TRUE(f.MaskEdit_IP_Single->GetVisible());
    for (vcl::TControl* c :
         std::initializer_list<vcl::TControl*>{f.RBtn_OneIP, f.RBtn_GroupIP, f.Label_From,
                                               f.Label_To, f.MaskEdit_IPG01, f.MaskEdit_IPG02})
        EXPECT_FALSE(c->GetVisible()) << c->Name;
    std::uint32_t address = 1;
    EXPECT_FALSE(f.GetAddress(address));
    EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), kEmpty);
}

TEST_F(AddNasIpTest, OkRefusesATextThatIsNoAddressAndStaysOpen) {
    TForm_AddNASIP& f = *Form_AddNASIP;
    Responder().ExpectModal("Form_AddNASIP", [&](vcl::TForm&) {
        EXPECT_EQ(f.GetActiveControl(), f.MaskEdit_IP_Single);
        EXPECT_EQ(f.MaskEdit_IP_Single->GetSelStart(), 0);
        EXPECT_FALSE(f.MaskEdit_IPG01->GetEnabled());
        f.AddOK->Click(); // the empty box
        EXPECT_EQ(f.GetModalResult(), vcl::mrNone);
        f.MaskEdit_IP_Single->SetText("10 .1  .2  .   ");
        f.AddOK->Click();
        EXPECT_EQ(f.GetModalResult(), vcl::mrNone);
        f.MaskEdit_IP_Single->SetText("10 .1  .2  .3  ");
        f.AddOK->Click();
    });
    Responder().ExpectBox("IP address error", vcl::IDOK);
    Responder().ExpectBox("IP address error", vcl::IDOK);
    f.ResetInput();
    EXPECT_EQ(f.ShowModal(), vcl::mrOk);
    ASSERT_EQ(Responder().Boxes().size(), 2u);
    EXPECT_EQ(Responder().Boxes()[0].Request.Caption, "Error");
    EXPECT_EQ(Responder().Boxes()[0].Request.Icon, vcl::TBoxIcon::Stop);
    std::uint32_t address = 0;
    EXPECT_TRUE(f.GetAddress(address));
    EXPECT_EQ(address, 0x0A010203u);

    // The next showing starts empty and accepts nothing until OK.
    f.ResetInput();
    EXPECT_FALSE(f.GetAddress(address));
    EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), kEmpty);
    Responder().ExpectModal("Form_AddNASIP", [&](vcl::TForm&) { f.AddCancel->Click(); });
    f.ShowModal();
    EXPECT_FALSE(f.GetAddress(address));
}

TEST_F(AddNasIpTest, RealKeysTypeIntoTheLayout) {
    TForm_AddNASIP& f = *Form_AddNASIP;
    QWidget* box = W(f.MaskEdit_IP_Single);
    Responder().ExpectModal("Form_AddNASIP", [&](vcl::TForm&) {
        QTest::keyClicks(box, "1921681");
        EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), "192.168.1  .   ");
        QTest::keyClick(box, Qt::Key_Period);
        QTest::keyClicks(box, "1a ");
        EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), "192.168.1  .1  ");
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, "256"); // 25, then 6 cannot follow in the last group
        EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), "192.168.1  .25 ");

        // Paste takes an address and nothing else.
        QGuiApplication::clipboard()->setText("not an address");
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), "192.168.1  .25 ");
        QGuiApplication::clipboard()->setText("10.20.30.40");
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), "10 .20 .30 .40 ");

        // A cut takes the selected text to the clipboard and leaves blanks in the layout.
        f.MaskEdit_IP_Single->SetSelStart(4);
        f.MaskEdit_IP_Single->SetSelLength(6);
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "20 .30");
        EXPECT_EQ(f.MaskEdit_IP_Single->GetText(), "10 .   .   .40 ");

        // Enter with a text that is no address keeps the focus; with an address it goes to OK.
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(f.GetActiveControl(), f.MaskEdit_IP_Single);
        f.MaskEdit_IP_Single->SetText("10 .0  .0  .1  ");
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(f.GetActiveControl(), f.AddOK);
        EXPECT_EQ(f.GetModalResult(), vcl::mrNone);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    f.ResetInput();
    EXPECT_EQ(f.ShowModal(), vcl::mrCancel);
    std::uint32_t address = 0;
    EXPECT_FALSE(f.GetAddress(address));
}

} // namespace
