// What the user types reaches the unit as the unit keeps its texts: UTF-8 on units of
// text-encoding kind 1 and 2, the code page of the message language on kind 0. One table of
// passwords (set by quick setup, then typed at the account prompt), image labels (typed on the
// volume names page of a mirror) and image folders (the unit's own names, chosen by the wizard),
// on units of each kind under English (CP1252) and Traditional Chinese (CP950): the bytes the
// simulated unit received, or the box that refused the text where it was typed.
#include "../tasks/task_fixtures.h"
#include "wizard_fixture.h"

#include "form1.h"
#include "netconfig.h"
#include "password.h"
#include "taskman.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;

enum class What { Password, Label };

struct TextCase {
    What what;
    std::string typed; // UTF-8, as the user types it
    std::uint32_t kind;
    int language; // 0 English (CP1252), 1 Traditional Chinese (CP950)
    // The bytes the unit received: the password it keeps after quick setup, or the image name of
    // the mirror request. None: refused where it was typed.
    std::optional<std::string> received;
    std::string refusal; // part of the refusing box: the characters the unit lacks
    // Labels only: the unit's one image folder (its own bytes) and the share name it received.
    std::string folder = "ISO";
    std::string share = "";
};

const std::string kCafe = "Caf\xC3\xA9";              // Café
const std::string kPass = "p\xC3\xA4sswort";          // pässwort
const std::string kMima = "\xE5\xAF\x86\xE7\xA2\xBC"; // 密碼
const std::string kTest = "\xE6\xB8\xAC\xE8\xA9\xA6"; // 測試
const std::string kTestBig5 = "\xB4\xFA\xB8\xD5";
// Fifteen characters: 45 bytes of UTF-8, 30 of Big5.
std::string Fifteen(const std::string& two) {
    std::string out;
    for (int i = 0; i < 15; ++i)
        out += two.substr(3 * (i % 2), 3);
    return out;
}
std::string FifteenBig5() {
    std::string out;
    for (int i = 0; i < 15; ++i)
        out += kTestBig5.substr(2 * (i % 2), 2);
    return out;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char two[4];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x ", c);
        out += two;
    }
    return out;
}

std::string Text(const Bytes& b, std::size_t at, std::size_t width) {
    const char* p = reinterpret_cast<const char*>(b.data() + at);
    return std::string(p, strnlen(p, width));
}

class WizardUnitTextTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        savedConfig_ = *nas::CurrentNetConfig();
        Window();
        FmTaskMan->Timer_RefreshTaskStatus->SetInterval(10);
    }
    void TearDown() override {
        if (FmTaskMan) PumpUntil([] { return FmTaskMan->GetTaskCount() == 0; });
        WizardTest::TearDown();
        WizardRefreshInfo.Forget();
        nas::SetNetConfig(savedConfig_);
    }

    // The message language and the library's code page, as a start in that locale sets them.
    void UseLanguage(int language) {
        LanguageIndex = language;
        nas::NetConfig config = *nas::CurrentNetConfig();
        config.ansiCodePage = language == 1 ? "CP950" : "CP1252";
        nas::SetNetConfig(config);
    }

    Unit& TextUnit(const TextCase& c) {
        nassim::UnitConfig config;
        config.name = "TEXTS";
        config.workgroup = "WORKGROUP";
        config.encodingKind = c.kind;
        config.extendedReply = c.kind == 2;
        config.extendedName = "WORKGROUP";
        config.status = 1;
        config.capabilities = 1;
        config.lan[0].mask = 0xFF000000u;
        const std::string mac = "00:11:22:33:55:" + std::to_string(10 + nextMac_++);
        config.hardwareAddress = {};
        std::copy(mac.begin(), mac.end(), config.hardwareAddress.begin());
        config.state.adminPassword = "secret";
        config.state.users = {{"admin", "pw"}};
        config.state.imageFolders = {c.folder};
        Unit& unit = StartUnit(config);
        FindUnits();
        EXPECT_TRUE(unit.server) << "discovery did not find the unit";
        if (!unit.server) throw std::runtime_error("unit not found");
        unit.server->RemoteFlag = 1;
        return unit;
    }

    // Types text into an edit as a user does, one key event per character.
    static void Type(vcl::TEdit* edit, const std::string& text) {
        QWidget* w = FocusTarget(edit);
        w->setFocus();
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w, Qt::Key_Delete);
        for (const QChar ch : QString::fromStdString(text)) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(w, &press);
            QApplication::sendEvent(w, &release);
        }
    }
    static void Tick(vcl::TControl* control) {
        QTest::mouseClick(W(control), Qt::LeftButton, Qt::NoModifier,
                          QPoint(8, W(control)->height() / 2));
    }
    void ExpectPrompt(const std::string& password, const std::string& user = "") {
        Responder().ExpectModal("Form_Password", [password, user](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            if (!user.empty()) dialog.Edit_UserName->SetText(user);
            dialog.Edit_Password->SetText(password);
            dialog.Button_Ok->Click();
        });
    }
    void ExpectKindBox(const std::string& part) {
        Responder().ExpectModal("Form1", [part](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm1&>(form);
            EXPECT_NE(dialog.Label1->GetCaption().find(part), std::string::npos)
                << "shown: " << dialog.Label1->GetCaption();
            for (int n = 1; n <= 5; ++n)
                if (dialog.ButtonNumber(n)->GetVisible()) {
                    dialog.ButtonNumber(n)->Click();
                    return;
                }
        });
    }

    // Quick setup of the unit with the typed password as its new administrator password, then
    // the account prompt with the same typing.
    void RunPassword(const TextCase& c, Unit& unit) {
        TFmWizard& w = Wizard();
        WizardRefreshInfo.Take(*unit.server);
        w.PreselectedServer = unit.server->UnitHandle;
        w.StartJob(kJobSetupPreselected);
        ASSERT_EQ(Kind(), kPageIpAddress);
        w.bbNext->Click();
        w.bbNext->Click();
        ASSERT_EQ(Kind(), kPagePassword);
        Tick(w.CheckBox_ChangeAdminPass);
        Type(w.Edit_AdminPass, c.typed);
        Type(w.Edit_AdminConfirm, c.typed);
        if (c.received) {
            ExpectPrompt("secret");
            ExpectKindBox(GetMessageText(197));
        } else {
            Responder().ExpectBox(c.refusal, vcl::IDOK);
        }
        w.bbOk->Click();
        vcl::TCloseAction action = vcl::caHide;
        w.FormClose(&w, action);
        const std::optional<std::string> kept = unit.sim->state().adminPassword;
        if (!c.received) {
            EXPECT_TRUE(unit.sim->requestsFor(nassim::kCommandSetServer).empty());
            EXPECT_EQ(kept, "secret");
            // The prompt refuses the same typing before anything goes to the unit.
            Responder().ExpectModal("Form_Password", [&](vcl::TForm& form) {
                auto& dialog = dynamic_cast<TForm_Password&>(form);
                dialog.Edit_Password->SetText(c.typed);
                dialog.Button_Ok->Click();
            });
            Responder().ExpectBox(c.refusal, vcl::IDOK);
            Responder().ExpectModal("Form_Password", vcl::mrCancel);
            EXPECT_FALSE(unit.server->Authenticate(kAuthAdministrator));
            EXPECT_TRUE(unit.sim->requestsFor(nassim::kCommandCheckPassword).empty());
            return;
        }
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(Hex(*kept), Hex(*c.received));
        // The prompt sends the same typing as the same bytes: the unit accepts it.
        ExpectPrompt(c.typed);
        EXPECT_TRUE(unit.server->Authenticate(kAuthAdministrator));
        EXPECT_EQ(unit.server->LastResult, 0);
    }

    // A mirror of drive D: to the unit with the typed label; the task runs to its end.
    void RunLabel(const TextCase& c, Unit& unit) {
        TFmWizard& w = Wizard();
        w.SourceDriveLetter = 'D';
        w.PreselectedServer = unit.server->UnitHandle;
        w.StartJob(kJobMirrorPreselected);
        Responder().ExpectModal("FmWizard", [&](vcl::TForm&) {
            ASSERT_EQ(Kind(), kPageDestination);
            AddDestination(unit);
            Click(w.bbNext);
            ASSERT_EQ(Kind(), kPageVolumeName);
            Tick(w.RadioButton_UserDefineVolume);
            Type(w.Edit_UserDefineVolume, c.typed);
            if (!c.received) {
                Responder().ExpectBox(c.refusal, vcl::IDOK);
                Click(w.bbUpdateVolume);
                EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, "MY_DISC");
                w.SetModalResult(vcl::mrCancel);
                return;
            }
            Click(w.bbUpdateVolume);
            for (int page = 0; page < 6 && w.bbNext->GetVisible(); ++page)
                Click(w.bbNext);
            ASSERT_TRUE(w.bbOk->GetVisible());
            ExpectPrompt("pw", "admin");
            Click(w.bbOk);
        });
        Wizard().ShowModal();
        if (!c.received) {
            EXPECT_TRUE(unit.sim->sessions().empty());
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (FmTaskMan->GetTaskCount() > 0 && std::chrono::steady_clock::now() < deadline) {
            vcl::Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const auto sessions = unit.sim->sessions();
        ASSERT_EQ(sessions.size(), 1u);
        const Bytes& r = sessions[0].startRequest;
        ASSERT_EQ(r.size(), 420u);
        EXPECT_EQ(Hex(Text(r, 212, 32)), Hex(*c.received)) << "image name";
        EXPECT_EQ(Hex(Text(r, 244, 32)), Hex(c.share)) << "share name";
        EXPECT_EQ(Hex(Text(r, 56, 112)), Hex(c.folder)) << "image folder";
        EXPECT_STREQ(nassim::SessionEndName(sessions[0].end),
                     nassim::SessionEndName(nassim::SessionEnd::Completed));
    }

    nas::NetConfig savedConfig_;
    tasktest::ManualWaits waits_;
    int nextMac_ = 0;
};

TEST_F(WizardUnitTextTest, TypedTextsReachEachKindOfUnitAsItKeepsThemOrAreRefused) {
    const std::string big5Label = FifteenBig5();
    const std::string fifteen = Fifteen(kTest);
    const std::vector<TextCase> cases = {
        // Passwords: the code page on kind 0, UTF-8 on kinds 1 and 2; refused where the unit's
        // encoding lacks a character, at quick setup and at the prompt alike.
        {What::Password, kPass, 0, 0, "p\xE4sswort", ""},
        {What::Password, kPass, 1, 0, kPass, ""},
        {What::Password, kPass, 2, 1, kPass, ""},
        {What::Password, kPass, 0, 1, std::nullopt, "\xC3\xA4"},
        {What::Password, kMima, 0, 1, "\xB1\x4B\xBD\x58", ""},
        {What::Password, kMima, 0, 0, std::nullopt, "\xE5\xAF\x86 \xE7\xA2\xBC"},
        {What::Password, kMima, 1, 0, kMima, ""},
        // Labels (and the default share name that follows them) and the unit's own folder.
        {What::Label, kCafe, 0, 0, "Caf\xE9", "", "ISO", "Caf\xE9"},
        {What::Label, kCafe, 1, 1, kCafe, "", "ISO", kCafe},
        {What::Label, kCafe, 2, 0, kCafe, "", kTest, kCafe},
        {What::Label, "M\xC3\xA9nage", 0, 1, std::nullopt, "\xC3\xA9"},
        {What::Label, kTest, 0, 0, std::nullopt, "\xE6\xB8\xAC \xE8\xA9\xA6"},
        // Fifteen characters fit a Big5 unit's 31 bytes whole (the share name's 17 take 8);
        // in UTF-8 they are cut after the tenth.
        {What::Label, fifteen, 0, 1, big5Label, "", kTestBig5, big5Label.substr(0, 16)},
        {What::Label, fifteen, 1, 1, fifteen.substr(0, 30), "", kTest, fifteen.substr(0, 15)},
    };
    AddDrives(200, "MY_DISC");
    for (const TextCase& c : cases) {
        SCOPED_TRACE((c.what == What::Password ? "password " : "label ") + c.typed + " kind " +
                     std::to_string(c.kind) + " language " + std::to_string(c.language));
        UseLanguage(c.language);
        Unit& unit = TextUnit(c);
        if (c.what == What::Password)
            RunPassword(c, unit);
        else
            RunLabel(c, unit);
        StopUnits();
        LanguageIndex = 0;
    }
}

} // namespace
