// The main window's side of the wizard, through the window's own commands and events: a Video CD
// mirrored from its mounted disc's video folder, the drive list following discs that arrive and go,
// page 8's server list following the window's refreshes, the container page's buttons while a build
// task waits in the task manager, and the wizard shown at start when the settings ask for it.
#include "wizard_fixture.h"

#include "devices/mounts.h"
#include "vcl/ini_file.h"

#include <QTest>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Every file under root, by its path below root, with its bytes.
std::map<std::string, std::string> Files(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), root).string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

std::string Pattern(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

class WizardWindowTest : public WizardTest {
protected:
    void TearDown() override {
        WizardTest::TearDown();
        mounts_.reset();
    }

    // The account dialog answered with the unit's account.
    void ExpectAccount(const std::string& unit) {
        Responder().ExpectModal("Form_Password", [unit](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            dialog.Edit_UserName->SetText("admin");
            dialog.Edit_Password->SetText("pw-" + unit);
            dialog.Button_Ok->Click();
        });
    }
    // A tool button of the window clicked while the wizard it opens is driven by drive.
    void OpenWizardBy(vcl::TControl* button, std::function<void(TFmWizard&)> drive) {
        Responder().ExpectModal(
            "FmWizard", [drive](vcl::TForm& form) { drive(dynamic_cast<TFmWizard&>(form)); });
        Click(button);
    }
    bool TasksDone() {
        return PumpUntil([] { return FmTaskMan->GetTaskCount() == 0; });
    }
    // The rows of the wizard's drive list: "caption|format".
    Strings DriveRows() {
        Strings rows;
        vcl::TListItems* items = Wizard().ListView_LocalCdrom->Items();
        for (int i = 0; i < items->Count(); ++i)
            rows.push_back(items->Item(i)->GetCaption() + "|" +
                           items->Item(i)->SubItems()->Strings(0));
        return rows;
    }
    std::string ChosenDrive() {
        vcl::TListItem* row = Wizard().ListView_LocalCdrom->GetSelected();
        return row ? row->GetCaption() : "";
    }

    std::optional<platform::devices::ScopedMountTable> mounts_;
};

// The Video CD in E: is mounted (the mount table names the drive as the source of a folder): the
// Mirror command on its node becomes a build from the disc's video folder (found in any letter
// case), and the image the unit stores holds the files of that folder at its
// root, byte for byte; the disc's other folders stay out. The report is a mirror's.
TEST_F(WizardWindowTest, AVideoCdMirrorStoresTheVideoFilesAtTheImagesRoot) {
    const fs::path disc = fs::path(home_) / "mounted-vcd";
    for (const char* folder : {"mpegav", "VCD", "SEGMENT"})
        fs::create_directories(disc / folder);
    std::ofstream(disc / "mpegav" / "AVSEQ01.DAT", std::ios::binary) << Pattern(150000, 1);
    std::ofstream(disc / "mpegav" / "AVSEQ02.DAT", std::ios::binary) << Pattern(70000, 4);
    std::ofstream(disc / "VCD" / "INFO.VCD", std::ios::binary) << Pattern(2048, 2);
    std::ofstream(disc / "VCD" / "ENTRIES.VCD", std::ios::binary) << Pattern(2048, 3);
    std::ofstream(disc / "SEGMENT" / "ITEM0001.MPG", std::ios::binary) << Pattern(4096, 5);
    mounts_.emplace("40 30 11:1 / " + disc.string() + " ro,relatime - iso9660 sim:VIDEO ro\n");
    AddDrives();
    Unit& unit = AddUnit("PLAIN", 2, false);

    ClickNode(DriveNode('E'));
    ASSERT_TRUE(PumpUntil([&] { return W().TreeView->GetSelected() == DriveNode('E'); }));
    OpenWizardBy(W().ToolButton_Mirror, [&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageDestination);
        EXPECT_EQ(WzdInfo.Job, kJobMirrorContainerPreselected);
        AddDestination(unit);
        ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
        for (int i = 0; i < 3; ++i)
            Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageOptions);
        ExpectAccount("PLAIN");
        Click(w.bbOk);
        EXPECT_EQ(FmTaskMan->GetTaskCount(), 1);
    });
    ASSERT_TRUE(TasksDone());
    const auto sessions = unit.sim->sessions();
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].end, nassim::SessionEnd::Completed);
    EXPECT_EQ(LastReport().rfind("Mirror CD/DVD completed !!\n\nSource: E: [VIDEOCD]\n", 0), 0u)
        << LastReport();

    // The stored image read by a reader no one here wrote.
    const fs::path image = fs::path(home_) / "stored.iso";
    std::ofstream(image, std::ios::binary)
        .write(reinterpret_cast<const char*>(sessions[0].data.data()),
               static_cast<std::streamsize>(sessions[0].data.size()));
    const fs::path out = fs::path(home_) / "extracted";
    const std::string command = "xorriso -osirrox on -indev '" + image.string() + "' -extract / '" +
                                out.string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    EXPECT_EQ(Files(out), Files(disc / "mpegav"));
}

// A Video CD the wizard cannot read the video files of is refused with the drive and the reason,
// and nothing is added: a disc that is not mounted, and a mounted disc without its video folder
// (a file of that name does not count).
TEST_F(WizardWindowTest, AVideoCdWithoutItsVideoFolderAddsNoDestination) {
    const fs::path disc = fs::path(home_) / "mounted-vcd";
    fs::create_directories(disc / "VCD");
    std::ofstream(disc / "VCD" / "INFO.VCD", std::ios::binary) << Pattern(2048, 2);
    std::ofstream(disc / "MPEGAV", std::ios::binary) << Pattern(100, 3);
    AddDrives();
    Unit& unit = AddUnit("PLAIN", 2, false);
    const struct {
        std::string mountTable;
        int reason;
    } cases[] = {
        {"", 957},
        {"40 30 11:1 / " + disc.string() + " ro,relatime - iso9660 sim:VIDEO ro\n", 958},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("message " + std::to_string(c.reason));
        mounts_.reset();
        mounts_.emplace(c.mountTable);
        ClickNode(DriveNode('E'));
        ASSERT_TRUE(PumpUntil([&] { return W().TreeView->GetSelected() == DriveNode('E'); }));
        OpenWizardBy(W().ToolButton_Mirror, [&](TFmWizard& w) {
            ASSERT_EQ(Kind(), kPageDestination);
            Responder().ExpectModal("Form1", [&](vcl::TForm& form) {
                auto& dialog = dynamic_cast<TForm1&>(form);
                // The drive and why.
                EXPECT_NE(dialog.Label1->GetCaption().find("Can't read data from (E:)\n" +
                                                           std::string(GetMessageText(c.reason))),
                          std::string::npos)
                    << dialog.Label1->GetCaption();
                // Only OK: there is nothing to cancel.
                std::vector<vcl::TButton*> shown;
                for (int n = 1; n <= 5; ++n)
                    if (dialog.ButtonNumber(n)->GetVisible())
                        shown.push_back(dialog.ButtonNumber(n));
                ASSERT_EQ(shown.size(), 1u);
                std::string caption = shown[0]->GetCaption();
                std::erase(caption, '&');
                EXPECT_EQ(caption, GetMessageText(511));
                shown[0]->Click();
            });
            AddDestination(unit);
            EXPECT_TRUE(WzdInfo.Jobs.empty());
            w.bbCancel->Click();
        });
    }
    EXPECT_TRUE(unit.sim->sessions().empty());
}

// A disc removed from and put into a drive while the wizard shows its drive list: the window's
// disc events reach the list, and the drive the user chose stays chosen while it has a disc.
TEST_F(WizardWindowTest, TheDriveListFollowsDiscsThatGoAndArrive) {
    AddDrives(3000, "MY_DISC");
    AddUnit("PLAIN", 2, false);
    ClickNode(W().MyComputerNode);
    OpenWizardBy(W().ToolButton_Mirror, [&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageLocalCdrom);
        EXPECT_EQ(DriveRows(), (Strings{"(D:)MY_DISC|CD-Data", "(E:)VIDEOCD|CD-Video"}));
        EXPECT_EQ(ChosenDrive(), "(D:)MY_DISC");

        dataDrive_->setDisc(std::nullopt);
        W().CDEventAfterRemove(nullptr, 'D');
        EXPECT_EQ(DriveRows(), (Strings{"(D:)- Empty -|", "(E:)VIDEOCD|CD-Video"}));
        EXPECT_EQ(ChosenDrive(), "(E:)VIDEOCD");

        discsim::VolumeInfo volume;
        volume.volumeId = "NEW_DISC";
        dataDrive_->setDisc(discsim::MakeDataCd(2000, volume));
        // The drive poll raises the arrival again while the drive is still becoming ready.
        for (int i = 0; i < 3 && !CdromTable().IsDiscReady('D'); ++i)
            W().CDEventAfterArrival(nullptr, 'D');
        EXPECT_EQ(DriveRows(), (Strings{"(D:)NEW_DISC|CD-Data", "(E:)VIDEOCD|CD-Video"}));
        // The user's choice, E:, stays.
        EXPECT_EQ(ChosenDrive(), "(E:)VIDEOCD");
        // And the new disc is the one mirrored.
        w.ListView_LocalCdrom->ClearSelection();
        w.ListView_LocalCdrom->Items()->Item(0)->SetSelected(true);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageDestination);
        EXPECT_EQ(w.Edit_SourceName->GetText(), "(D:)NEW_DISC");
        w.bbCancel->Click();
    });
    // Closed, the wizard is left alone by disc events.
    dataDrive_->setDisc(std::nullopt);
    W().CDEventAfterRemove(nullptr, 'D');
    EXPECT_EQ(DriveRows(), (Strings{"(D:)NEW_DISC|CD-Data", "(E:)VIDEOCD|CD-Video"}));
}

// Page 8 of the quick setup lists the units as the window's refresh finds them, keeping the
// user's choice.
TEST_F(WizardWindowTest, TheServerListOfTheQuickSetupFollowsTheWindowsRefreshes) {
    AddUnit("ALPHA", 1, false);
    W().TreeView->SetSelected(W().NasServersNode);
    const auto names = [] {
        Strings rows;
        vcl::TListItems* items = FmWizard->ListView_ServerDetail->Items();
        for (int i = 0; i < items->Count(); ++i)
            rows.push_back(items->Item(i)->GetCaption() +
                           (items->Item(i)->GetSelected() ? "*" : ""));
        return rows;
    };
    OpenWizardBy(W().ToolButton_ServerQuickSetup, [&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageServerDetail);
        EXPECT_EQ(names(), (Strings{"ALPHA"}));
        w.ListView_ServerDetail->Items()->Item(0)->SetSelected(true);

        nassim::UnitConfig config;
        config.name = "BETA";
        config.status = 1;
        config.hardwareAddress[0] = 0xBE;
        StartUnit(config);
        // A refresh may end its collection before a busy unit answers; the next one finds it.
        RefreshTick();
        for (int i = 0; i < 4 && names().size() < 2; ++i)
            RefreshTick();
        EXPECT_EQ(names(), (Strings{"ALPHA*", "BETA"}));

        units_[0]->sim.reset();
        RefreshTick();
        for (int i = 0; i < 4 && names() != Strings{"BETA"}; ++i)
            RefreshTick();
        EXPECT_EQ(names(), (Strings{"BETA"}));
        w.bbCancel->Click();
    });
}

// While a build task waits in the task manager, My Container can neither be loaded nor validated
// from the container page; once it has gone, both can.
TEST_F(WizardWindowTest, TheContainerPageWaitsForABuildTask) {
    Unit& plain = AddUnit("PLAIN", 2, false);
    const fs::path file = fs::path(home_) / "notes.txt";
    std::ofstream(file) << std::string(5000, 'n');
    MyContainer().ImportHostPath(MyContainer().GetRoot(), nullptr, file.string());
    // The build goes without validating first.
    W().IniData.AutoValidate = 0;
    // A start in an hour (local time of the program's clock).
    const std::time_t at = std::chrono::system_clock::to_time_t(platform::Now()) + 3600;
    std::tm when{};
    localtime_r(&at, &when);

    OpenWizardBy(W().ToolButton_Build, [&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageContainer);
        EXPECT_TRUE(w.Button_ValidateContainer->GetEnabled());
        EXPECT_TRUE(w.Button_LoadContainer->GetEnabled());
        Click(w.bbNext);
        AddDestination(plain);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageVolumeName);
        w.Edit_UserDefineVolume->SetText("LATER");
        Click(w.bbUpdateVolume);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageSchedule);
        w.RadioButton_StartSchedule->SetChecked(true);
        w.CSpinEdit_Year->SetValue(when.tm_year + 1900);
        w.CSpinEdit_Mon->SetValue(when.tm_mon + 1);
        w.CSpinEdit_Day->SetValue(when.tm_mday);
        w.CSpinEdit_Hour->SetValue(when.tm_hour);
        w.CSpinEdit_Min->SetValue(when.tm_min);
        w.CSpinEdit_Sec->SetValue(when.tm_sec);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageOptions);
        ExpectAccount("PLAIN");
        Click(w.bbOk);
    });
    ASSERT_EQ(FmTaskMan->GetTaskCount(), 1);
    ASSERT_EQ(FmTaskMan->TaskAt(0)->kind, task_kind::Build);

    OpenWizardBy(W().ToolButton_Build, [&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageContainer);
        EXPECT_FALSE(w.Button_ValidateContainer->GetEnabled());
        EXPECT_FALSE(w.Button_LoadContainer->GetEnabled());
        w.bbCancel->Click();
    });
    FmTaskMan->StopAllTasks();
    ASSERT_TRUE(TasksDone());
    OpenWizardBy(W().ToolButton_Build, [&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageContainer);
        EXPECT_TRUE(w.Button_ValidateContainer->GetEnabled());
        EXPECT_TRUE(w.Button_LoadContainer->GetEnabled());
        w.bbCancel->Click();
    });
}

// "Show Wizard when ... starts": the wizard opens on its job list once the window is up; without
// the setting nothing opens (an unexpected form would fail the test).
TEST_F(WizardWindowTest, TheWizardOpensAtStartWhenTheSettingsSaySo) {
    {
        vcl::TIniFile ini(home_ + "/brimlet.ini");
        ini.WriteInteger("Option", "LoadWizard", 1);
    }
    bool shown = false;
    Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
        auto& w = dynamic_cast<TFmWizard&>(form);
        shown = true;
        EXPECT_EQ(w.CurrentPageKind(), kPageJobList);
        EXPECT_EQ(w.Host(), W().Wizard()->Host());
        w.bbCancel->Click();
    });
    Window();
    EXPECT_TRUE(shown);
    EXPECT_EQ(W().IniData.LoadWizard, 1);
}

TEST_F(WizardWindowTest, TheWizardStaysClosedAtStartByDefault) {
    Window();
    PumpFor(std::chrono::milliseconds(50));
    EXPECT_EQ(W().IniData.LoadWizard, 0);
    EXPECT_TRUE(FmWizard == nullptr || !FmWizard->GetVisible());
}

} // namespace
