// The wizard from its form description, shown modally and driven as a user drives it, up to OK:
// the finishers ask each destination's unit for an account (the password dialog, scripted), make
// one task per destination in the task manager, and the tasks run against the simulated units.
// Job 6 with two units (one records the image on its writer, at a scheduled time), a cancelled
// password, a server list refreshed under the chosen destinations, and one run each of jobs 2, 9
// and 11.
#include "../containers/container_fixtures.h"
#include "../tasks/task_fixtures.h"
#include "wizard_fixture.h"

#include "fmmsg.h"
#include "password.h"
#include "taskman.h"

#include "devices/mounts.h"

#include <QTest>

#include <condition_variable>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>

namespace {

// A field of the library's packed record, read by value (it may lie unaligned).
template <typename T> T Value(T field) {
    return field;
}

std::string Field(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

// What a task held when the finisher had made it, as its worker waits for its start.
struct CapturedTask {
    std::uint8_t kind = 0;
    std::uint8_t scheduled = 0;
    platform::WallTime startTime{};
    std::string unit;
    std::string user, password;
    bool lockDoor = false, eject = false;
    bool hasDrive = false;
    NasMirrorInfo request{};
    std::uint16_t writer = 0;
    std::uint8_t speed = 0, flags = 0;
    std::uint32_t jobWord = 0;
};

class WizardFinishTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        // The Video CD of E: is mounted at discDir_.
        const std::string folder = discDir_ / "MPEGAV";
        std::filesystem::create_directories(folder);
        std::ofstream(folder + "/AVSEQ01.DAT") << std::string(50000, 'v');
        mounts_.emplace("40 30 0:52 / " + discDir_.path() + " ro - iso9660 sim:VIDEO ro\n");
        Window();
        taskMan_ = FmTaskMan;
        taskMan_->Timer_RefreshTaskStatus->SetInterval(10);
        // Every worker wait passes at once on the manual clock; while the gate is shut the
        // workers wait for the test.
        waits_.hook = [this](TaskRecord&, std::uint32_t) {
            std::unique_lock lock(gateMutex_);
            if (open_) return;
            ++parked_;
            gateOpen_.wait(lock, [this] { return open_; });
            --parked_;
        };
    }
    void TearDown() override {
        OpenGate();
        if (taskMan_) PumpUntil([&] { return taskMan_->GetTaskCount() == 0; });
        WizardTest::TearDown();
        mounts_.reset();
    }

    void CloseGate() {
        std::lock_guard lock(gateMutex_);
        open_ = false;
    }
    // Waits until count workers wait at the shut gate: what they wrote before is theirs no more.
    bool Parked(int count) {
        return PumpUntil([&] {
            std::lock_guard lock(gateMutex_);
            return parked_ >= count;
        });
    }
    void OpenGate() {
        {
            std::lock_guard lock(gateMutex_);
            open_ = true;
        }
        gateOpen_.notify_all();
    }

    // A check box or radio button takes a click on its indicator (at its left).
    static void Tick(vcl::TControl* control) {
        QTest::mouseClick(W(control), Qt::LeftButton, Qt::NoModifier,
                          QPoint(8, W(control)->height() / 2));
    }
    static void Type(vcl::TEdit* edit, const std::string& text) {
        edit->SetText("");
        QTest::keyClicks(W(edit), QString::fromStdString(text));
    }
    // The password dialog answered with the unit's account, or cancelled.
    void ExpectAccount(const std::string& unit) {
        Responder().ExpectModal("Form_Password", [unit](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm_Password&>(form);
            EXPECT_EQ(dialog.GetCaption(), unit);
            dialog.Edit_UserName->SetText("admin");
            dialog.Edit_Password->SetText("pw-" + unit);
            dialog.Button_Ok->Click();
        });
    }
    void ExpectCancelledAccount() { Responder().ExpectModal("Form_Password", vcl::mrCancel); }
    // Shows the wizard modally (as the main window does after StartJob); drive runs while it is
    // up and ends it.
    vcl::TModalResult Show(std::function<void(TFmWizard&)> drive) {
        Responder().ExpectModal(
            "FmWizard", [drive](vcl::TForm& form) { drive(dynamic_cast<TFmWizard&>(form)); });
        return Wizard().ShowModal();
    }
    // Every task the finisher made, as it made it.
    std::vector<CapturedTask> Captured() const {
        std::vector<CapturedTask> tasks;
        for (int i = 0; i < taskMan_->GetTaskCount(); ++i) {
            const TaskRecord& t = *taskMan_->TaskAt(i);
            CapturedTask c;
            c.kind = t.kind;
            c.scheduled = t.scheduled.load();
            c.startTime = t.startTime;
            c.unit = t.nas ? t.nas->GetName() : "";
            c.user = t.nas ? Field(t.nas->UserName, sizeof t.nas->UserName) : "";
            c.password = t.nas ? Field(t.nas->Password, sizeof t.nas->Password) : "";
            c.lockDoor = t.lockDoor;
            c.eject = t.eject;
            c.hasDrive = t.drive != nullptr;
            c.request = t.request;
            c.writer = t.writer;
            c.speed = t.speedIndex;
            c.flags = t.recordFlags;
            c.jobWord = t.jobWord;
            tasks.push_back(c);
        }
        return tasks;
    }
    // Waits until every task has run and left the task manager. The watchdog leaves room for
    // two discs of 650 MB through the sanitizers on a machine whose cores are all busy.
    bool TasksDone() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(12);
        while (taskMan_->GetTaskCount() > 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            vcl::Application->ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    static bool HasImage(const Unit& unit, const std::string& name) {
        for (const nassim::ImageRecord& image : unit.sim->state().images)
            if (image.name == name) return true;
        return false;
    }
    static std::string Report() { return LastReport(); }
    fixtures::TempDir discDir_;
    std::optional<platform::devices::ScopedMountTable> mounts_;

    tasktest::ManualWaits waits_;
    TFmTaskMan* taskMan_ = nullptr;
    std::mutex gateMutex_;
    std::condition_variable gateOpen_;
    bool open_ = true;
    int parked_ = 0;
};

TEST_F(WizardFinishTest, MirrorJobMakesOneTaskPerUnitAndBothUnitsStoreTheImage) {
    // 330,000 sectors: over 640 MB and under 720 MB, so the recording option warns.
    AddDrives(330000, "MY_DISC");
    Unit& writer = AddUnit("WRITER", 1, true);
    Unit& plain = AddUnit("PLAIN", 2, false);
    writer.sim->setWriterScript({{1, 0, 0}, {5, 50, 0}, {0, 100, 0}});
    TFmWizard& w = Wizard();
    w.SourceDriveLetter = 'D';
    w.PreselectedServer = writer.server->UnitHandle;
    w.StartJob(kJobMirrorPreselected);

    // Two minutes from now (the manual clock), in local time.
    const std::time_t at = std::chrono::system_clock::to_time_t(platform::Now()) + 120;
    std::tm when{};
    localtime_r(&at, &when);
    std::vector<CapturedTask> captured;
    bool shown = false;
    const vcl::TModalResult result = Show([&](TFmWizard& w) {
        ASSERT_EQ(Kind(), kPageDestination);
        AddDestination(writer);
        AddDestination(plain);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageVolumeName);
        // The writer's label: refused with a colon, then corrected.
        Tick(w.RadioButton_UserDefineVolume);
        Type(w.Edit_UserDefineVolume, "BAD:LABEL");
        Responder().ExpectBox("Invalid volume label.", vcl::IDOK);
        Click(w.bbUpdateVolume);
        EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, "MY_DISC");
        Type(w.Edit_UserDefineVolume, "HOLIDAY 2026");
        Click(w.bbUpdateVolume);
        EXPECT_EQ(WzdInfo.Jobs[0]->VolumeLabel, "HOLIDAY 2026");
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageCdRecording);
        ASSERT_EQ(w.ListView_CdrOption->Items()->Count(), 1);
        w.ComboBox_RecordSpeed->SetItemIndex(4); // 8X
        Tick(w.CheckBox_DelImage);
        Responder().ExpectBox("Source size is over 640MB. Recording may fail", vcl::IDOK);
        Click(w.Button_AddCdrOption);
        EXPECT_EQ(w.ListView_CdrOption->Items()->Item(0)->SubItems()->Strings(2),
                  "WRITER WRITER,Delete Image");
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageSchedule);
        Tick(w.RadioButton_StartSchedule);
        w.CSpinEdit_Year->SetValue(when.tm_year + 1900);
        w.CSpinEdit_Mon->SetValue(when.tm_mon + 1);
        w.CSpinEdit_Day->SetValue(when.tm_mday);
        w.CSpinEdit_Hour->SetValue(when.tm_hour);
        w.CSpinEdit_Min->SetValue(when.tm_min);
        w.CSpinEdit_Sec->SetValue(when.tm_sec);
        Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageOptions);
        Tick(w.CheckBox_AutoShare);
        Tick(w.CheckBox_LockCdrom);
        ASSERT_TRUE(w.bbOk->GetVisible());
        ExpectAccount("WRITER");
        ExpectAccount("PLAIN");
        // Both workers stop at their first wait, for the scheduled start.
        CloseGate();
        Click(w.bbOk);
        ASSERT_TRUE(Parked(2));
        captured = Captured();
        shown = taskMan_->GetVisible();
    });
    OpenGate();
    EXPECT_EQ(result, vcl::mrOk);
    EXPECT_TRUE(shown);
    // Closing reset the wizard.
    EXPECT_EQ(WzdInfo.Job, 0);
    EXPECT_TRUE(WzdInfo.Jobs.empty());
    EXPECT_EQ(WzdInfo.Scheduled, 0);
    // The wizard's server objects kept no account; each task has its own copy.
    for (const auto& unit : units_)
        EXPECT_EQ(unit->server->UserName[0], '\0');

    ASSERT_EQ(captured.size(), 2u);
    const platform::WallTime start = std::chrono::system_clock::from_time_t(at);
    for (const CapturedTask& c : captured) {
        SCOPED_TRACE(c.unit);
        const bool hasWriter = c.unit == "WRITER";
        EXPECT_EQ(c.kind, task_kind::Mirror);
        EXPECT_EQ(c.scheduled, 1);
        EXPECT_EQ(c.startTime, start);
        EXPECT_EQ(c.user, "admin");
        EXPECT_EQ(c.password, "pw-" + c.unit);
        EXPECT_TRUE(c.lockDoor);
        EXPECT_FALSE(c.eject);
        EXPECT_TRUE(c.hasDrive);
        const NasMirrorInfo& r = c.request;
        EXPECT_EQ(Field(r.userName, sizeof r.userName), "admin");
        EXPECT_EQ(Field(r.password, sizeof r.password), "pw-" + c.unit);
        EXPECT_EQ(Field(r.folderName, sizeof r.folderName), "ISO"); // "Automatically Select"
        EXPECT_EQ(Value(r.sectorCount), 0u);
        EXPECT_EQ(Value(r.discKind), 0u);
        EXPECT_EQ(Value(r.methodBits), 0x10u); // smart, with auto share
        EXPECT_EQ(Field(r.sourceLabel, sizeof r.sourceLabel), "MY_DISC");
        EXPECT_EQ(Field(r.imageName, sizeof r.imageName), hasWriter ? "HOLIDAY 2026" : "MY_DISC");
        EXPECT_EQ(Field(r.shareName, sizeof r.shareName), hasWriter ? "HOLIDAY 2026" : "MY_DISC");
        EXPECT_EQ(Value(r.sectorCount2), 0u);
        EXPECT_EQ(Value(r.fileSystem), 0u);
        EXPECT_EQ(Value(r.replyWord), 0u);
        EXPECT_EQ(Value(r.mode), 1); // the worker's: from a disc
        // The recording settings: only the unit with the writer records, after the mirror.
        EXPECT_EQ(c.writer, hasWriter ? 3 : 0);
        EXPECT_EQ(c.speed, hasWriter ? 8 : 0);
        EXPECT_EQ(c.flags, hasWriter ? 1 | 16 : 0);
        EXPECT_EQ(c.jobWord, 0u);
    }

    ASSERT_TRUE(TasksDone());
    for (Unit* unit : {&writer, &plain}) {
        SCOPED_TRACE(unit->server->GetName());
        const auto sessions = unit->sim->sessions();
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_STREQ(nassim::SessionEndName(sessions[0].end),
                     nassim::SessionEndName(nassim::SessionEnd::Completed));
        EXPECT_EQ(sessions[0].dataBytes, 330000ull * 2048);
    }
    EXPECT_TRUE(HasImage(writer, "HOLIDAY 2026"));
    EXPECT_TRUE(HasImage(plain, "MY_DISC"));
    // The writer unit was asked to record the image, deleting it afterwards.
    const auto jobs = writer.sim->recordings();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].imageName, "HOLIDAY 2026");
    EXPECT_EQ(jobs[0].writer, 3);
    EXPECT_EQ(jobs[0].flags & 3, 2); // no erase, delete after
    EXPECT_EQ(jobs[0].user, "admin");
    EXPECT_TRUE(plain.sim->recordings().empty());
}

TEST_F(WizardFinishTest, ACancelledPasswordLeavesThatUnitWithoutATaskAfterARefresh) {
    AddDrives(2000, "SMALL");
    Unit& writer = AddUnit("WRITER", 1, false);
    Unit& plain = AddUnit("PLAIN", 2, false);
    TFmWizard& w = Wizard();
    w.SourceDriveLetter = 'D';
    w.StartJob(kJobMirrorPreselected);
    Show([&](TFmWizard& w) {
        AddDestination(writer);
        AddDestination(plain);
        // The window's refresh runs discovery again while the destinations are chosen.
        W().TreeView->SetSelected(W().NasServersNode);
        RefreshTick();
        ASSERT_EQ(WzdInfo.Jobs.size(), 2u);
        EXPECT_EQ(w.ComboBox_ServerList->Items()->Count(), 2);
        for (int i = 0; i < 3; ++i)
            Click(w.bbNext);
        ASSERT_TRUE(w.bbOk->GetVisible());
        ExpectCancelledAccount();
        ExpectAccount("PLAIN");
        Click(w.bbOk);
        EXPECT_EQ(taskMan_->GetTaskCount(), 1);
        EXPECT_TRUE(taskMan_->GetVisible());
    });
    ASSERT_TRUE(TasksDone());
    EXPECT_TRUE(writer.sim->sessions().empty());
    ASSERT_EQ(plain.sim->sessions().size(), 1u);
    EXPECT_TRUE(HasImage(plain, "SMALL"));
    EXPECT_NE(Report().find("Mirror CD/DVD completed !!"), std::string::npos) << Report();
}

TEST_F(WizardFinishTest, AVideoCdBecomesBuildTasksEachWithTheContainerReadFromTheDisc) {
    AddDrives();
    Unit& writer = AddUnit("WRITER", 1, false);
    Unit& plain = AddUnit("PLAIN", 2, false);
    TFmWizard& w = Wizard();
    w.SourceDriveLetter = 'E';
    w.StartJob(kJobMirrorPreselected);
    std::weak_ptr<MIRROR_CONTAINER> containers[2];
    Show([&](TFmWizard& w) {
        ASSERT_EQ(WzdInfo.Job, kJobMirrorContainerPreselected);
        AddDestination(writer);
        AddDestination(plain);
        ASSERT_EQ(WzdInfo.Jobs.size(), 2u);
        for (int i = 0; i < 2; ++i)
            containers[i] = WzdInfo.Jobs[static_cast<std::size_t>(i)]->Container;
        for (int i = 0; i < 3; ++i)
            Click(w.bbNext);
        ASSERT_EQ(Kind(), kPageOptions);
        ExpectAccount("WRITER");
        ExpectAccount("PLAIN");
        Click(w.bbOk);
        ASSERT_EQ(taskMan_->GetTaskCount(), 2);
        for (int i = 0; i < 2; ++i) {
            const TaskRecord& task = *taskMan_->TaskAt(i);
            EXPECT_EQ(task.kind, task_kind::Build);
            EXPECT_EQ(task.containerKind, container_kind::FromDisc);
            EXPECT_EQ(task.container, containers[i].lock().get());
            EXPECT_NE(task.drive, nullptr);
        }
        EXPECT_EQ(taskMan_->ListView_Task->Items()->Item(0)->GetCaption(), "Mirror CD/DVD");
    });
    // The wizard has let go of the containers: each task holds its own.
    EXPECT_EQ(w.Container(), nullptr);
    for (const auto& container : containers)
        EXPECT_EQ(container.use_count(), 1);
    ASSERT_TRUE(TasksDone());
    EXPECT_NE(Report().find("Mirror CD/DVD completed !!"), std::string::npos) << Report();
    EXPECT_NE(Report().find("Source: E: [VIDEOCD]"), std::string::npos) << Report();
    // The tasks freed them.
    for (const auto& container : containers)
        EXPECT_TRUE(container.expired());
    for (Unit* unit : {&writer, &plain}) {
        const auto sessions = unit->sim->sessions();
        ASSERT_EQ(sessions.size(), 1u);
        EXPECT_STREQ(nassim::SessionEndName(sessions[0].end),
                     nassim::SessionEndName(nassim::SessionEnd::Completed));
    }
}

TEST_F(WizardFinishTest, BuildRecordAndUploadJobsEachCompleteARun) {
    fixtures::TempDir dir;
    fixtures::ProgramHome home(dir.path());
    AddDrives();
    Unit& writer = AddUnit("WRITER", 1, true);
    Unit& plain = AddUnit("PLAIN", 2, false);
    TFmWizard& w = Wizard();

    // Job 2: "My Container" with one file becomes an image on the plain unit.
    {
        std::ofstream(dir / "notes.txt") << std::string(10000, 'n');
        MyContainer().ImportHostPath(MyContainer().GetRoot(), nullptr, dir / "notes.txt");
        w.StartJob(kJobBuildImage);
        Show([&](TFmWizard& w) {
            ASSERT_EQ(Kind(), kPageContainer);
            Click(w.bbNext);
            AddDestination(plain);
            Click(w.bbNext);
            ASSERT_EQ(Kind(), kPageVolumeName);
            Type(w.Edit_UserDefineVolume, "BUILD1");
            Click(w.bbUpdateVolume);
            Click(w.bbNext);
            EXPECT_EQ(Kind(), kPageSchedule); // no writer: the recording page is passed over
            Click(w.bbNext);
            ExpectAccount("PLAIN");
            Click(w.bbOk);
            ASSERT_EQ(taskMan_->GetTaskCount(), 1);
            const TaskRecord& task = *taskMan_->TaskAt(0);
            EXPECT_EQ(task.kind, task_kind::Build);
            EXPECT_EQ(task.containerKind, container_kind::HostFiles);
            EXPECT_EQ(task.container, &MyContainer());
            EXPECT_EQ(Field(task.request.imageName, 32), "BUILD1");
            EXPECT_EQ(Field(task.request.sourceLabel, 32), "BUILD1");
        });
        ASSERT_TRUE(TasksDone());
        EXPECT_TRUE(HasImage(plain, "BUILD1"));
        EXPECT_NE(Report().find("Build container completed !!"), std::string::npos) << Report();
        EXPECT_EQ(MyContainer().PendingCount(), 0u);
    }

    // Job 9: the image selected in the main window is recorded on the writer.
    {
        writer.sim->setWriterScript({{5, 50, 0}, {0, 100, 0}});
        SelectImage(writer, "IMAGE1", 1000, 7);
        w.StartJob(kJobRecordCd);
        Show([&](TFmWizard& w) {
            ASSERT_EQ(Kind(), kPageCdRecording);
            w.ComboBox_RecordSpeed->SetItemIndex(2); // 4X
            Click(w.Button_AddCdrOption);
            Click(w.bbNext);
            ASSERT_EQ(Kind(), kPageSchedule);
            ExpectAccount("WRITER");
            Click(w.bbOk);
            ASSERT_EQ(taskMan_->GetTaskCount(), 1);
            const TaskRecord& task = *taskMan_->TaskAt(0);
            EXPECT_EQ(task.kind, task_kind::Record);
            EXPECT_EQ(Field(task.request.imageName, 32), "IMAGE1");
            EXPECT_EQ(Field(task.request.sourceLabel, 32), "NO_TITLE");
            EXPECT_EQ(task.writer, 3);
            EXPECT_EQ(task.speedIndex, 4);
            EXPECT_EQ(task.recordFlags, 1);
        });
        ASSERT_TRUE(TasksDone());
        const auto jobs = writer.sim->recordings();
        ASSERT_EQ(jobs.size(), 1u);
        EXPECT_EQ(jobs[0].imageId, 7u);
        EXPECT_EQ(jobs[0].writer, 3);
        EXPECT_NE(Report().find("Remote record completed !!"), std::string::npos) << Report();
    }

    // Job 11: an ISO file goes to the plain unit; its path is longer than 300 bytes and is
    // kept whole.
    {
        const std::string folder = dir / (std::string(150, 'a') + "/" + std::string(150, 'b'));
        std::filesystem::create_directories(folder);
        const std::string iso = folder + "/disc.iso";
        ASSERT_GT(iso.size(), 300u);
        std::ofstream(iso) << std::string(100000, 'i');
        w.StartJob(kJobUploadIso);
        Show([&](TFmWizard& w) {
            ASSERT_EQ(Kind(), kPageDestination);
            Type(w.Edit_ISOSourceName, iso);
            AddDestination(plain);
            Click(w.bbNext);
            ASSERT_EQ(Kind(), kPageVolumeName);
            Type(w.Edit_UserDefineVolume, "UPLOAD1");
            Click(w.bbUpdateVolume);
            Click(w.bbNext);
            Click(w.bbNext);
            ASSERT_EQ(Kind(), kPageOptions);
            ExpectAccount("PLAIN");
            Click(w.bbOk);
            ASSERT_EQ(taskMan_->GetTaskCount(), 1);
            const TaskRecord& task = *taskMan_->TaskAt(0);
            EXPECT_EQ(task.kind, task_kind::Upload);
            EXPECT_EQ(task.imagePath, iso);
            EXPECT_EQ(task.imageSizeKb, 97u);
        });
        ASSERT_TRUE(TasksDone());
        EXPECT_TRUE(HasImage(plain, "UPLOAD1"));
        EXPECT_NE(Report().find("ISO File was uploaded"), std::string::npos) << Report();
    }
}

} // namespace
