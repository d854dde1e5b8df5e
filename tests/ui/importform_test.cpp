// The Import System Settings dialog against simulated units: a profile read from one unit and
// written to the dialog's unit, a profile file written byte for byte, targets chosen from a long
// server list, the item mask, and every refusal on the source page, with the busy flag and the
// please-wait form cleared on every way out.
#include "../platform/ui_fixture.h"
#include "../servers/nas_unit_fixture.h"
#include "../profiles/profile_builder.h"

#include "fmmsg.h"
#include "importform.h"
#include "msgbox.h"
#include "password.h"

#include "vcl/keys.h"
#include "vcl/tree_view.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace profiletest;
namespace fs = std::filesystem;

class TestHost : public TProfileSettingHost {
public:
    vcl::TTreeNode* nasNode = nullptr;
    vcl::TTreeNode* remoteNode = nullptr;
    bool busy = false;
    int busyCalls = 0;

    // The units the tree's nodes name by handle, as the main window's server list keeps them.
    std::vector<std::shared_ptr<CNasServer>> units;

    vcl::TTreeNode* NasServersNode() override { return nasNode; }
    vcl::TTreeNode* RemoteServersNode() override { return remoteNode; }
    std::shared_ptr<CNasServer> UnitOf(const void* data) override {
        for (const auto& unit : units)
            if (unit->UnitHandle.Data() == data) return unit;
        return {};
    }
    void SetBusy(bool b) override {
        busy = b;
        ++busyCalls;
    }
};

std::vector<std::string> BoxLines(vcl::TMemo* box) {
    return box->Lines();
}

std::vector<std::string> BoxLines(vcl::TListView* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->Items()->Count(); ++i)
        out.push_back(list->Items()->Item(i)->GetCaption());
    return out;
}

std::vector<std::string> BoxLines(vcl::TComboBox* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->Items()->Count(); ++i)
        out.push_back(box->Items()->Strings(i));
    return out;
}

class ImportFormTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        vcl::Application->CreateForm(Form_ProfileSetting);
        Form_ProfileSetting->SetHost(&host_);
        window_ = vcl::MakeForm<vcl::TForm>(nullptr);
        tree_ = vcl::Make<vcl::TTreeView>(window_, window_, "TreeView");
        host_.nasNode = tree_->Items()->Add(nullptr, "NAS Servers");
        host_.remoteNode = tree_->Items()->Add(nullptr, "Remote Servers");
        std::string dir = (fs::temp_directory_path() / "importform_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        dir_ = dir;
    }
    void TearDown() override {
        delete Form_ProfileSetting;
        delete Form_Password;
        delete FmMsg;
        FmMsg = nullptr;
        delete window_;
        fs::remove_all(dir_);
        TargetListsShowing = 0;
        LanguageIndex = savedLanguage_;
        UiTest::TearDown();
    }

    // A unit with an administrator password, holding the profile as its configuration; a unit
    // without one checks the configuration password of the writes it takes.
    std::unique_ptr<nassim::Unit> Unit(const std::string& password, const Bytes& config = {}) {
        nassim::UnitConfig config_;
        config_.state.adminPassword = password;
        if (config.empty()) config_.state.configPassword = kPassword;
        config_.state.configFile = config;
        return servertest::StartUnit(config_);
    }
    // A server object of the unit (or of no unit), listed under the NAS Servers node unless
    // node is null.
    CNasServer* Server(const nassim::Unit* unit, const std::string& name, int encoding,
                       vcl::TTreeNode* node, std::uint32_t capabilities = 0) {
        auto server = std::make_shared<CNasServer>();
        if (unit) servertest::PointAt(*server, *unit, capabilities);
        server->Info.capabilityFlags = capabilities;
        server->Info.textEncodingKind = static_cast<std::uint32_t>(encoding);
        servertest::PutText(server->Info.name, sizeof server->Info.name, name);
        server->UnitHandle = NasUnitHandle(NasUnitHandle::kTag | (host_.units.size() + 1));
        if (node) tree_->Items()->AddChild(node, name)->SetData(server->UnitHandle.Data());
        host_.units.push_back(server);
        return server.get();
    }
    void ExpectPassword(const std::string& password) {
        Responder().ExpectModal("Form_Password", [password](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            dialog.Edit_Password->SetText(password);
            dialog.Button_Ok->Click();
        });
    }
    // Shows the dialog modally; drive runs while it is shown.
    int Show(CNasServer* server, std::function<void(TForm_ProfileSetting&)> drive) {
        Responder().ExpectModal("Form_ProfileSetting", [drive](vcl::TForm& form) {
            drive(dynamic_cast<TForm_ProfileSetting&>(form));
        });
        Form_ProfileSetting->SetServer(server);
        return Form_ProfileSetting->ShowModal();
    }
    std::string WriteProfile(const std::string& name, const Bytes& bytes) {
        const std::string path = dir_ + "/" + name;
        WriteFile(path, bytes);
        return path;
    }
    // Nothing of the dialog is left working.
    void ExpectIdle() {
        EXPECT_FALSE(host_.busy);
        EXPECT_TRUE(!FmMsg || !FmMsg->GetVisible());
    }
    static void ChooseFile(TForm_ProfileSetting& d, vcl::testing::ScriptedResponder& responder,
                           const std::string& path) {
        responder.ExpectFileDialog({path});
        d.RBtn_FromFile->SetChecked(true); // opens the file choice at once
        EXPECT_EQ(d.Edit_FileName->GetText(), path);
    }

    TestHost host_;
    vcl::TForm* window_ = nullptr;
    vcl::TTreeView* tree_ = nullptr;
    std::string dir_;
    int savedLanguage_ = 0;
};

TEST_F(ImportFormTest, ProfileFromAUnitGoesToTheDialogsUnit) {
    const Bytes profile = MakeProfileFile(dir_, true, 0x3F);
    auto source = Unit("apw", profile);
    auto target = Unit("bpw");
    ASSERT_TRUE(source && target);
    Server(source.get(), "SRC", 1, host_.nasNode);
    CNasServer* dialogServer = Server(target.get(), "DST", 1, nullptr);

    std::string received;
    const int result = Show(dialogServer, [&](TForm_ProfileSetting& d) {
        EXPECT_EQ(d.GetCaption(), "Import System Settings");
        ASSERT_EQ(
            BoxLines(d.ComboBoxServerList),
            std::vector<std::string>{"SRC   [" + nassim::AddressText(source->address()) + "]"});
        ExpectPassword("apw");
        d.Btn_Next->Click();
        // The targets page is skipped: the dialog's unit is the target.
        EXPECT_EQ(d.PageIndex(), 2);
        EXPECT_EQ(d.SourceKind(), 1);
        EXPECT_TRUE(d.Btn_Ok->GetVisible());
        EXPECT_FALSE(d.Btn_Next->GetVisible());
        EXPECT_EQ(d.PageControl_NASServerInfo->GetHeight(), TForm_ProfileSetting::kItemsPageHeight);
        ExpectIdle();
        const Lines expected = ExpectedLines(true, 0x3F);
        EXPECT_EQ(BoxLines(d.RichEdit_NetworkSet), expected.network);
        EXPECT_EQ(BoxLines(d.RichEdit_Backup), expected.backup);
        EXPECT_EQ(BoxLines(d.RichEdit_UDB), expected.users);
        EXPECT_EQ(BoxLines(d.RichEdit_Security), expected.security);
        for (vcl::TCheckBox* box : {d.ChkBox_Network, d.ChkBox_PreserveIP, d.ChkBox_UDB,
                                    d.ChkBox_Security, d.ChkBox_Backup})
            EXPECT_TRUE(box->GetChecked()) << box->Name;
        EXPECT_TRUE(d.ChkBox_PreserveIP->GetEnabled());
        received = d.ReceivedProfilePath();
        EXPECT_EQ(ReadFile(received), profile);
        ExpectPassword("bpw");
        d.Btn_Ok->Click();
    });
    EXPECT_EQ(result, vcl::mrOk);
    EXPECT_EQ(target->configFile(), profile);
    EXPECT_EQ(target->state().configValue, 0x1u | 0x10000u | 0x2u | 0x4u | 0x8u);
    EXPECT_FALSE(fs::exists(received));
    EXPECT_EQ(Form_ProfileSetting->Server(), nullptr);
    ExpectIdle();
}

TEST_F(ImportFormTest, ProfileFromAFileIsStoredByteForByteWithTheChosenItems) {
    const Bytes profile = MakeProfileFile(dir_, false, 0x02);
    const std::string path = WriteProfile("site settings.cfg", profile);
    auto unit = Unit("pw");
    ASSERT_TRUE(unit);
    CNasServer* dialogServer = Server(unit.get(), "DST", 0, host_.nasNode);

    const int result = Show(dialogServer, [&](TForm_ProfileSetting& d) {
        ChooseFile(d, Responder(), path);
        d.Btn_Next->Click();
        ASSERT_EQ(d.PageIndex(), 2);
        EXPECT_EQ(d.SourceKind(), 0);
        // Back goes to the source page (the targets page is skipped), and Next again reads the
        // file anew.
        d.Btn_Back->Click();
        EXPECT_EQ(d.PageIndex(), 0);
        EXPECT_FALSE(d.Btn_Back->GetEnabled());
        EXPECT_TRUE(d.Btn_Next->GetVisible());
        EXPECT_EQ(d.PageControl_NASServerInfo->GetHeight(),
                  TForm_ProfileSetting::kSourcePageHeight);
        d.Btn_Next->Click();
        ASSERT_EQ(d.PageIndex(), 2);
        EXPECT_EQ(BoxLines(d.RichEdit_NetworkSet), ExpectedLines(false, 0x02).network);
        EXPECT_FALSE(d.ChkBox_UDB->GetChecked());
        // Without the network item the keep-address box is disabled and adds nothing.
        d.ChkBox_Network->SetChecked(false);
        EXPECT_FALSE(d.ChkBox_PreserveIP->GetEnabled());
        EXPECT_TRUE(d.ChkBox_PreserveIP->GetChecked());
        d.ChkBox_UDB->SetChecked(true);
        EXPECT_EQ(d.ProfileItemMask(), 0x2);
        ExpectPassword("pw");
        d.Btn_Ok->Click();
    });
    EXPECT_EQ(result, vcl::mrOk);
    EXPECT_EQ(unit->configFile(), profile);
    EXPECT_EQ(unit->state().configValue, 0x2u);
    ExpectIdle();
}

TEST_F(ImportFormTest, NothingIsSentForAZeroMaskAndAFailedWriteIsShown) {
    const std::string path = WriteProfile("a.cfg", MakeProfileFile(dir_, true, 0x3F));
    auto unit = Unit("pw");
    ASSERT_TRUE(unit);
    CNasServer* dialogServer = Server(unit.get(), "DST", 2, nullptr);

    const int first = Show(dialogServer, [&](TForm_ProfileSetting& d) {
        ChooseFile(d, Responder(), path);
        d.Btn_Next->Click();
        ASSERT_EQ(d.PageIndex(), 2);
        for (vcl::TCheckBox* box :
             {d.ChkBox_Network, d.ChkBox_UDB, d.ChkBox_Security, d.ChkBox_Backup})
            box->SetChecked(false);
        Responder().ExpectBox("Please check one or more check-box!", vcl::IDOK);
        d.Btn_Ok->Click();
    });
    EXPECT_EQ(first, vcl::mrOk);
    EXPECT_EQ(servertest::RequestCount(*unit, nassim::kCommandSetConfig), 0u);

    // The unit refuses the write: its result is shown, nothing is stored.
    nassim::CommandFault refuse;
    refuse.command = nassim::kCommandSetConfig;
    refuse.status = 6;
    unit->addCommandFault(refuse);
    std::string received;
    Show(dialogServer, [&](TForm_ProfileSetting& d) {
        ChooseFile(d, Responder(), path);
        d.Btn_Next->Click();
        ASSERT_EQ(d.PageIndex(), 2);
        received = d.ReceivedProfilePath();
        ExpectPassword("pw");
        Responder().ExpectBox("DST: ", vcl::IDOK);
        d.Btn_Ok->Click();
    });
    ASSERT_FALSE(Responder().Boxes().empty());
    const std::string text = Responder().Boxes().back().Request.Text;
    EXPECT_GT(text.size(), std::string("DST: ").size()) << text;
    EXPECT_EQ(Responder().Boxes().back().Request.Icon, vcl::TBoxIcon::Stop);
    EXPECT_EQ(servertest::RequestCount(*unit, nassim::kCommandSetConfig), 1u);
    EXPECT_TRUE(unit->configFile().empty());
    // Closing deleted the work files all the same.
    EXPECT_FALSE(fs::exists(received));
    ExpectIdle();
}

TEST_F(ImportFormTest, SourcePageRefusalsStayOnThePage) {
    const std::string text = WriteProfile("notes.cfg", Bytes(300, 'x'));
    Bytes damaged = MakeProfileFile(dir_, true, 0);
    damaged.resize(damaged.size() - 40);
    const std::string damagedPath = WriteProfile("damaged.cfg", damaged);
    const std::string utf8Path = WriteProfile("utf8.cfg", MakeProfileFile(dir_, true, 0));
    // A sound archive whose body ends inside the user records.
    Bytes shortBody = Body(false, 0);
    shortBody.resize(shortBody.size() - 100);
    WriteArchive(dir_ + "/short.zip", {{"c", shortBody}}, kPassword);
    const std::string shortPath =
        WriteProfile("short.cfg", Profile(false, 0, ReadFile(dir_ + "/short.zip")));
    auto unit = Unit("pw");
    ASSERT_TRUE(unit);
    CNasServer* codePageServer = Server(unit.get(), "CP", 0, nullptr);

    const int result = Show(codePageServer, [&](TForm_ProfileSetting& d) {
        // No usable server: the only choice, and Next does nothing with it.
        EXPECT_EQ(BoxLines(d.ComboBoxServerList), std::vector<std::string>{"-- No Server --"});
        d.Btn_Next->Click();
        EXPECT_EQ(d.PageIndex(), 0);

        struct Case {
            std::string file;
            std::string box;
        };
        const Case cases[] = {
            {"", "Not valid file name."},
            {dir_ + "/missing.cfg", "Not valid file name."},
            {dir_, "Not valid file name."},
            {text, "Incorrect file format."},
            {damagedPath, "Error unzipping..."},
            {shortPath, "Incorrect file format.\nThe profile declares 4 user records"},
            {utf8Path, "Please check F/W kernel version"},
        };
        ChooseFile(d, Responder(), text);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.file);
            d.Edit_FileName->SetText("  " + c.file + " ");
            Responder().ExpectBox(c.box, vcl::IDOK);
            d.Btn_Next->Click();
            EXPECT_EQ(d.PageIndex(), 0);
            EXPECT_FALSE(d.Btn_Back->GetEnabled());
            EXPECT_EQ(d.PageControl_NASServerInfo->GetHeight(),
                      TForm_ProfileSetting::kSourcePageHeight);
            ExpectIdle();
        }
        EXPECT_EQ(d.Edit_FileName->GetText(), utf8Path); // trimmed
        d.Btn_Cancel->Click();
    });
    EXPECT_EQ(result, vcl::mrCancel);
    EXPECT_EQ(Responder().Boxes().back().Request.Caption, "Quorvik Warning");

    // A unit that refuses the configuration read: its result is shown, the form goes away.
    nassim::CommandFault refuse;
    refuse.command = nassim::kCommandGetConfig;
    refuse.status = 6;
    unit->addCommandFault(refuse);
    Server(unit.get(), "SRC", 0, host_.nasNode);
    Show(codePageServer, [&](TForm_ProfileSetting& d) {
        ExpectPassword("pw");
        Responder().ExpectBox("", vcl::IDOK);
        d.Btn_Next->Click();
        EXPECT_EQ(d.PageIndex(), 0);
        ExpectIdle();
        d.Btn_Cancel->Click();
    });
    EXPECT_GE(host_.busyCalls, 2);
    ExpectIdle();
}

TEST_F(ImportFormTest, WithoutAServerOfItsOwnTheProfileGoesToEveryChosenTarget) {
    const Bytes profile = MakeProfileFile(dir_, false, 0x22);
    const std::string path = WriteProfile("b.cfg", profile);
    auto first = Unit("p1");
    auto second = Unit("p2");
    ASSERT_TRUE(first && second);
    // Many servers: more than the fixed tables of old held.
    for (int i = 0; i < 58; ++i)
        Server(nullptr, "IDLE" + std::to_string(i), 0, host_.nasNode, 0x80000000u);
    Server(first.get(), "ONE", 0, host_.nasNode);
    Server(second.get(), "TWO", 0, host_.nasNode);

    const int result = Show(nullptr, [&](TForm_ProfileSetting& d) {
        ChooseFile(d, Responder(), path);
        d.Btn_Next->Click();
        ASSERT_EQ(d.PageIndex(), 1);
        EXPECT_EQ(TargetListsShowing, 1);
        ASSERT_EQ(d.ListView_SelTarget->Items()->Count(), 60);
        EXPECT_EQ(d.ListView_SelTarget->Columns()->Count(), 8);

        Responder().ExpectBox("Please select at least one server as destination.", vcl::IDOK);
        d.Btn_Next->Click();
        EXPECT_EQ(d.PageIndex(), 1);

        vcl::TKey key = 'A';
        d.ListViewKeyDown(d.ListView_SelTarget, key, vcl::TShiftState{} << vcl::ssCtrl);
        for (int i = 0; i < 60; ++i) {
            EXPECT_TRUE(d.ListView_SelTarget->Items()->Item(i)->GetSelected());
            d.ListView_SelTarget->Items()->Item(i)->SetSelected(i >= 58);
        }
        ExpectPassword("p1");
        ExpectPassword("p2");
        d.Btn_AddClick(nullptr);
        EXPECT_EQ(BoxLines(d.ListView_SelectedServer), (std::vector<std::string>{"ONE", "TWO"}));
        EXPECT_TRUE(d.TargetsEdited());
        // A timer refresh keeps the chosen targets.
        d.RefreshTargetLists();
        EXPECT_EQ(d.ListView_SelectedServer->Items()->Count(), 2);

        d.Btn_Next->Click();
        ASSERT_EQ(d.PageIndex(), 2);
        EXPECT_EQ(TargetListsShowing, 0);
        EXPECT_EQ(d.Targets().size(), 2u);
        EXPECT_EQ(BoxLines(d.RichEdit_Backup), ExpectedLines(false, 0x22).backup);
        d.Btn_Ok->Click();
    });
    EXPECT_EQ(result, vcl::mrOk);
    EXPECT_EQ(first->configFile(), profile);
    EXPECT_EQ(second->configFile(), profile);
    EXPECT_EQ(first->state().configValue, 0x1u | 0x10000u | 0x8u);
    ExpectIdle();
}

// A profile goes to a unit with its administrator password: a stored password of a local
// account (as the tasks leave it) is not that, so the administrator's is asked for; a stored
// administrator password is used as it is.
TEST_F(ImportFormTest, AStoredAccountPasswordIsNotSentAsTheAdministrators) {
    const Bytes profile = MakeProfileFile(dir_, false, 0x02);
    const std::string path = WriteProfile("c.cfg", profile);
    struct Case {
        const char* user;
        const char* stored;
        bool asked;
    };
    for (const Case& c :
         {Case{"clerk", "clerkpw", true}, Case{"", "", true}, Case{"", "adminpw", false}}) {
        SCOPED_TRACE(std::string("stored user \"") + c.user + "\"");
        auto unit = Unit("adminpw");
        ASSERT_TRUE(unit);
        CNasServer* dialogServer = Server(unit.get(), "DST", 0, nullptr);
        servertest::PutText(dialogServer->UserName, sizeof dialogServer->UserName, c.user);
        servertest::PutText(dialogServer->Password, sizeof dialogServer->Password, c.stored);
        const int result = Show(dialogServer, [&](TForm_ProfileSetting& d) {
            ChooseFile(d, Responder(), path);
            d.Btn_Next->Click();
            ASSERT_EQ(d.PageIndex(), 2);
            if (c.asked) ExpectPassword("adminpw");
            d.Btn_Ok->Click();
        });
        EXPECT_EQ(result, vcl::mrOk);
        EXPECT_EQ(unit->configFile(), profile);
        EXPECT_STREQ(dialogServer->Password, "adminpw");
        EXPECT_STREQ(dialogServer->UserName, "");
        ExpectIdle();
    }
}

} // namespace
