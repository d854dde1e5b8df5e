// The destinations of the disc jobs as a user meets them, up to the units' tasks: a Video CD whose
// files the container cannot all take (each one named on Add and again in the task's report),
// the disc read again for each Add and after Back with another disc, and each destination's own
// recording choices reaching its own unit.
#include "../containers/container_fixtures.h"
#include "../tasks/task_fixtures.h"
#include "wizard_fixture.h"

#include "container_log.h"
#include "devices/mounts.h"
#include "fmmsg.h"
#include "password.h"
#include "task_report.h"
#include "taskman.h"

#include <QTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace fs = std::filesystem;

namespace {

class WizardDestinationsTest : public WizardTest {
protected:
    void TearDown() override {
        WizardTest::TearDown();
        mounts_.reset();
    }

    static void Click(vcl::TControl* control) { QTest::mouseClick(W(control), Qt::LeftButton); }
    // A check box takes a click on its indicator (at its left).
    static void Tick(vcl::TControl* control) {
        QTest::mouseClick(W(control), Qt::LeftButton, Qt::NoModifier,
                          QPoint(8, W(control)->height() / 2));
    }
    void ExpectAccount(const std::string& unit) {
        Responder().ExpectModal("Form_Password", [unit](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            dialog.Edit_UserName->SetText("admin");
            dialog.Edit_Password->SetText("pw-" + unit);
            dialog.Button_Ok->Click();
        });
    }
    vcl::TModalResult Show(std::function<void(TFmWizard&)> drive) {
        Responder().ExpectModal(
            "FmWizard", [drive](vcl::TForm& form) { drive(dynamic_cast<TFmWizard&>(form)); });
        return Wizard().ShowModal();
    }
    bool TasksDone() {
        return PumpUntil([&] { return FmTaskMan->GetTaskCount() == 0; });
    }
    // Selects the drive of a letter on the drive page.
    void ChooseDrive(char letter) {
        TFmWizard& w = Wizard();
        const std::string prefix = std::string("(") + letter + ":)";
        for (int i = 0; i < w.ListView_LocalCdrom->Items()->Count(); ++i) {
            vcl::TListItem* row = w.ListView_LocalCdrom->Items()->Item(i);
            row->SetSelected(row->GetCaption().rfind(prefix, 0) == 0);
        }
    }

    // Discs are folders of the program's (each disc's root, its files below MPEGAV); the one in
    // E: is the folder the mount table names as the mount of the simulated drive. Putting
    // another disc in the drive mounts another folder.
    fs::path DiscFolder(const std::string& disc) const { return fs::path(home_) / "discs" / disc; }
    void MakeDisc(const std::string& disc, const std::vector<std::string>& files) {
        for (const std::string& file : files) {
            const fs::path path = DiscFolder(disc) / "MPEGAV" / file;
            fs::create_directories(path.parent_path());
            std::ofstream(path) << std::string(40000, 'v');
        }
    }
    void Mount(const std::string& disc) {
        mounts_.reset();
        mounts_.emplace("40 30 11:1 / " + DiscFolder(disc).string() +
                        " ro,relatime - iso9660 sim:VIDEO ro\n");
    }

    // The workers' waits move a manual clock on instead of waiting.
    tasktest::ManualWaits waits_;
    std::optional<platform::devices::ScopedMountTable> mounts_;
};

TEST_F(WizardDestinationsTest, EveryDiscFileTheContainerRefusesIsNamedOnAddAndInTheReport) {
    // The first disc: one file the container takes, one name it refuses, one folder with a
    // file; the second disc (after Back): two files and one refused name.
    MakeDisc("first", {"AVSEQ01.DAT", "BAD:NAME.DAT", "SUB/INNER.DAT"});
    MakeDisc("second", {"AVSEQ01.DAT", "AVSEQ02.DAT", "OTHER?.DAT"});
    Mount("first");
    AddDrives();
    Unit& unit = AddUnit("PLAIN", 1, false);
    TFmWizard& w = Wizard();
    w.StartJob(kJobMirror);
    std::string noteOfTask;
    std::uint32_t filesInTask = 0;
    bool lockDoor = false;
    const vcl::TModalResult result = Show([&](TFmWizard& w) {
        ChooseDrive('E');
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageDestination);
        ASSERT_EQ(WzdInfo.Job, kJobMirrorContainer);
        Responder().ExpectBox("1 item(s) could not be added to the container:", vcl::IDOK);
        AddDestination(unit);
        ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
        const std::string box = Responder().Boxes().back().Request.Text;
        EXPECT_NE(box.find("BAD:NAME.DAT - "), std::string::npos) << box;
        EXPECT_NE(box.find(ImportReasonText(CisImportReason::NameCharacter)), std::string::npos)
            << box;
        // The whole list is kept in the log the box names.
        const std::string log = (fs::path(home_) / "TEMP.log").string();
        EXPECT_NE(box.find("The whole list is in " + log), std::string::npos) << box;
        std::ifstream logFile(log);
        const std::string logged((std::istreambuf_iterator<char>(logFile)),
                                 std::istreambuf_iterator<char>());
        EXPECT_NE(logged.find("BAD:NAME.DAT\t"), std::string::npos) << logged;
        auto first = WzdInfo.Jobs[0]->Container;
        EXPECT_EQ(first->GetTotalFileCount(first->GetRoot()), 2u);

        // Back, another disc in the drive: the destination reads the disc now in it.
        Click(w.bbBack);
        ASSERT_EQ(Kind(), kPageLocalCdrom);
        Mount("second");
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageDestination);
        EXPECT_TRUE(WzdInfo.Jobs.empty());
        Responder().ExpectBox("OTHER?.DAT - ", vcl::IDOK);
        AddDestination(unit);
        ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
        auto second = WzdInfo.Jobs[0]->Container;
        ASSERT_NE(second, first);
        EXPECT_EQ(second->GetTotalFileCount(second->GetRoot()), 2u);
        // The video folder's files are at the container's root.
        EXPECT_NE(second->FindChildByName(second->GetRoot(), "AVSEQ02.DAT"), nullptr);

        // On to the volume names and back: the destination keeps its container.
        Click(w.bbNext);
        Click(w.bbBack);
        ASSERT_EQ(Kind(), kPageDestination);
        ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
        for (int i = 0; i < 3; ++i)
            Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageOptions);
        // The disc is read from the drive: the door option reaches the task.
        Tick(w.CheckBox_LockCdrom);
        ExpectAccount("PLAIN");
        Click(w.bbOk);
        ASSERT_EQ(FmTaskMan->GetTaskCount(), 1);
        const TaskRecord& task = *FmTaskMan->TaskAt(0);
        lockDoor = task.lockDoor;
        filesInTask = task.container->GetTotalFileCount(task.container->GetRoot());
        noteOfTask = task.notes.empty() ? "" : task.notes[0];
    });
    EXPECT_EQ(result, vcl::mrOk);
    EXPECT_EQ(filesInTask, 2u);
    EXPECT_TRUE(lockDoor);
    EXPECT_NE(noteOfTask.find("OTHER?.DAT - "), std::string::npos) << noteOfTask;
    ASSERT_TRUE(TasksDone());
    ASSERT_EQ(unit.sim->sessions().size(), 1u);
    EXPECT_EQ(unit.sim->sessions()[0].end, nassim::SessionEnd::Completed);
    // The report says what was left out, not plain success.
    const std::string report = LastReport();
    EXPECT_NE(report.find("1 item(s) could not be added to the container:"), std::string::npos)
        << report;
    EXPECT_NE(report.find("OTHER?.DAT - "), std::string::npos) << report;
    TaskRecord done;
    done.kind = task_kind::Build;
    done.containerKind = container_kind::FromDisc;
    done.status.store(task_status::Done);
    done.notes.push_back(noteOfTask);
    EXPECT_EQ(ComposeTaskReport(done, 0).icon, report_icon::Warning);
}

TEST_F(WizardDestinationsTest, BackToADataDiscMirrorsItSectorBySectorAgain) {
    MakeDisc("first", {"AVSEQ01.DAT"});
    Mount("first");
    AddDrives();
    Unit& unit = AddUnit("PLAIN", 1, false);
    TFmWizard& w = Wizard();
    w.StartJob(kJobMirror);
    ChooseDrive('E');
    w.bbNext->Click();
    ASSERT_EQ(WzdInfo.Job, kJobMirrorContainer);
    AddDestination(unit);
    w.bbBack->Click();
    ChooseDrive('D');
    w.bbNext->Click();
    ASSERT_EQ(Kind(), kPageDestination);
    EXPECT_EQ(WzdInfo.Job, kJobMirror);
    AddDestination(unit);
    ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
    EXPECT_EQ(WzdInfo.Jobs[0]->Container, nullptr);
    EXPECT_EQ(WzdInfo.SourceLetter, 'D');
}

TEST_F(WizardDestinationsTest, EachUnitRecordsWithItsOwnEraseAndDeleteChoices) {
    AddDrives(2000, "SMALL");
    Unit& erase = AddUnit("ERASE", 1, true);
    Unit& remove = AddUnit("REMOVE", 2, true);
    Unit& none = AddUnit("NONE", 3, true);
    for (Unit* unit : {&erase, &remove, &none})
        unit->sim->setWriterScript({{5, 50, 0}, {0, 100, 0}});
    TFmWizard& w = Wizard();
    w.SourceDriveLetter = 'D';
    w.StartJob(kJobMirrorPreselected);
    std::vector<std::uint8_t> flags;
    Show([&](TFmWizard& w) {
        for (Unit* unit : {&erase, &remove, &none})
            AddDestination(*unit);
        Click(w.bbNext);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageCdRecording);
        ASSERT_EQ(w.ListView_CdrOption->Items()->Count(), 3);
        auto chooseRow = [&](int i) {
            w.ListView_CdrOption->ClearSelection();
            w.ListView_CdrOption->Items()->Item(i)->SetSelected(true);
            w.ListView_CdrOptionClick(w.ListView_CdrOption);
        };
        // ERASE: erase first. REMOVE: delete the image afterwards. NONE: no option added, its
        // Erase box ticked last.
        chooseRow(0);
        Tick(w.CheckBox_EraseCDRW);
        Click(w.Button_AddCdrOption);
        chooseRow(1);
        EXPECT_FALSE(w.CheckBox_EraseCDRW->GetChecked());
        Tick(w.CheckBox_DelImage);
        Click(w.Button_AddCdrOption);
        chooseRow(2);
        Tick(w.CheckBox_EraseCDRW);
        ASSERT_EQ(w.EraseRewritable, 1);
        // Each row shows its own choices whatever the boxes show now.
        w.CdRecordingPage(0);
        EXPECT_EQ(w.ListView_CdrOption->Items()->Item(0)->SubItems()->Strings(2),
                  "ERASE WRITER,Erase");
        EXPECT_EQ(w.ListView_CdrOption->Items()->Item(1)->SubItems()->Strings(2),
                  "REMOVE WRITER,Delete Image");
        EXPECT_EQ(w.ListView_CdrOption->Items()->Item(2)->SubItems()->Strings(2), "");
        chooseRow(2);
        Tick(w.CheckBox_EraseCDRW);
        Tick(w.CheckBox_DelImage);
        Click(w.bbNext);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageOptions);
        for (const char* name : {"ERASE", "REMOVE", "NONE"})
            ExpectAccount(name);
        Click(w.bbOk);
        ASSERT_EQ(FmTaskMan->GetTaskCount(), 3);
        for (int i = 0; i < 3; ++i)
            flags.push_back(FmTaskMan->TaskAt(i)->recordFlags);
    });
    EXPECT_EQ(flags, (std::vector<std::uint8_t>{1 | 2, 1 | 16, 0}));
    ASSERT_TRUE(TasksDone());
    // On the wire: bit 0 erase first, bit 1 delete afterwards.
    const auto erased = erase.sim->recordings();
    ASSERT_EQ(erased.size(), 1u);
    EXPECT_EQ(erased[0].flags & 3, 1);
    const auto removed = remove.sim->recordings();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].flags & 3, 2);
    EXPECT_TRUE(none.sim->recordings().empty());
    for (Unit* unit : {&erase, &remove, &none})
        EXPECT_EQ(unit->sim->sessions().size(), 1u) << unit->server->GetName();
}

} // namespace
