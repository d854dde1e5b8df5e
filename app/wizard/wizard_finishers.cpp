// The finishers that OK runs: each destination of the job becomes one task of the task manager
// (mirror, build image, upload ISO; one record task for job 9), after the destination's unit
// accepted an account. Every task gets its own copy of the unit's server object and its own
// destination's recording choices. A build task of a disc takes the container its destination
// read from the disc (the wizard lets go of it); one of "My Container" reads the main window's.
#include "fmwizard.h"

#include "build_worker.h"
#include "cdrom.h"
#include "container.h"
#include "mirror_worker.h"
#include "msgbox.h"
#include "nasserver.h"
#include "nassvrnet.h"
#include "record_worker.h"
#include "taskman.h"
#include "upload_worker.h"
#include "wizard_requests.h"

#include <ctime>
#include <optional>

namespace {

// The wall time of a local date and time; nothing for a date that does not exist.
std::optional<platform::WallTime> LocalWallTime(const WizardTime& t) {
    std::tm tm{};
    tm.tm_year = t.Year - 1900;
    tm.tm_mon = t.Month - 1;
    tm.tm_mday = t.Day;
    tm.tm_hour = t.Hour;
    tm.tm_min = t.Minute;
    tm.tm_sec = t.Second;
    tm.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&tm);
    if (seconds == static_cast<std::time_t>(-1) || tm.tm_mday != t.Day ||
        tm.tm_mon != t.Month - 1 || tm.tm_year != t.Year - 1900)
        return std::nullopt;
    return std::chrono::system_clock::from_time_t(seconds);
}

} // namespace

void TWizardHost::ShowTaskManager() {
    if (FmTaskMan) FmTaskMan->Show();
}

void TFmWizard::FinishMirror() {
    FinishTasks(task_kind::Mirror);
}

void TFmWizard::FinishBuildImage() {
    FinishTasks(task_kind::Build);
}

void TFmWizard::FinishUploadIso() {
    FinishTasks(task_kind::Upload);
}

void TFmWizard::FinishRecordCd() {
    FinishTasks(task_kind::Record);
}

void TFmWizard::FinishTasks(std::uint8_t kind) {
    const int job = WzdInfo.Job;
    TaskHandler execute = MirrorTaskExecute;
    TaskHandler finish = TaskFinished;
    if (kind == task_kind::Build) execute = BuildTaskExecute;
    if (kind == task_kind::Upload) execute = UploadTaskExecute;
    if (kind == task_kind::Record) {
        execute = RecordTaskExecute;
        finish = RecordTaskFinished;
    }
    CDH_LOGICAL_CDROM_CLASS* drives = host_ ? host_->Drives() : nullptr;
    const std::string discLabel = drives && WzdInfo.SourceLetter
                                      ? drives->GetVolumeLabel(WzdInfo.SourceLetter)
                                      : std::string();
    const bool autoShare = CheckBox_AutoShare->GetChecked();
    std::optional<platform::WallTime> startTime;
    if (WzdInfo.Scheduled) {
        startTime = LocalWallTime(WzdInfo.StartTime);
        // The schedule page lets no impossible date through; should one come, nothing starts at
        // a time the user did not choose.
        if (!startTime) {
            ErrorBox(GetMessageText(479));
            return;
        }
    }

    int added = 0;
    bool allocated = true;
    for (const auto& owned : WzdInfo.Jobs) {
        WizardJobEntry& entry = *owned;
        // The destination's unit as the server lists hold it now.
        const auto target = Target(entry);
        if (target == nullptr) {
            ErrorBox(std::string(GetMessageText(437)) + "\n" + entry.TargetName);
            continue;
        }
        // The password prompt lets refreshes run: they update the unit's object in place (a new
        // address is the one the account is checked at) or retire it; the share held here keeps
        // the object while the prompt is up. The unit is looked up again once the prompt is
        // answered, and the task gets its own copy of it as it is then.
        const std::string unitName = target->GetName();
        const bool accepted = target->Authenticate(kAuthTaskAccount);
        const auto now = Target(entry);
        if (now == nullptr) ErrorBox(UnitGoneText(unitName));
        if (now == nullptr || !accepted) {
            if (kind == task_kind::Build && entry.Container)
                entry.Container->ReleaseTreeBindingIfUsed();
            continue;
        }
        auto copy = std::make_shared<CNasServer>();
        copy->Assign(*target); // the account typed
        copy->Info = now->Info;
        TaskRecord* task = FmTaskMan ? FmTaskMan->CreateTask({}, finish, execute) : nullptr;
        if (task == nullptr) {
            vcl::MessageBox(GetMessageText(433), GetWizardJobText(job, 0),
                            vcl::MB_OK | vcl::MB_ICONSTOP);
            allocated = false;
            break;
        }
        task->kind = kind;
        task->nas = std::move(copy);
        if (startTime) {
            task->scheduled.store(1);
            task->startTime = *startTime;
        }
        const bool fromDisc = kind == task_kind::Build && IsContainerJob(job);
        std::string description;
        switch (kind) {
        case task_kind::Mirror:
        case task_kind::Record:
            task->drive = entry.SourceDrive;
            task->lockDoor = entry.LockDoor != 0;
            task->eject = entry.EjectDisc != 0;
            description = DriveDescription(job, discLabel);
            break;
        case task_kind::Build:
            task->container = entry.Container.get();
            task->containerOwner = entry.Container;
            task->containerKind = fromDisc ? container_kind::FromDisc : container_kind::HostFiles;
            task->volumeLabel = entry.VolumeLabel;
            if (fromDisc) {
                task->drive = entry.SourceDrive;
                task->lockDoor = entry.LockDoor != 0;
                task->eject = entry.EjectDisc != 0;
            }
            description = fromDisc ? discLabel : entry.VolumeLabel;
            // The disc's entries its container could not take: the report says so, and the
            // task does not report plain success.
            if (!entry.LeftOut.empty()) task->notes.push_back(entry.LeftOut);
            break;
        case task_kind::Upload:
            task->imagePath = WzdInfo.IsoFilePath;
            task->imageSizeKb = WzdInfo.IsoFileSize;
            break;
        default:
            break;
        }
        task->request = MakeMirrorRequest(entry, *task->nas, autoShare, description);
        // Each destination records, erases and deletes by its own choices.
        const RecordSettings settings =
            MakeRecordSettings(entry, kind == task_kind::Record && startTime.has_value());
        task->writer = settings.writer;
        task->speedIndex = settings.speed;
        task->recordFlags = settings.flags;
        task->jobWord = 0;
        FmTaskMan->AddTask(task);
        ++added;
    }

    // The accounts stay with the tasks' copies only (also when a task could not be made).
    for (const auto& entry : WzdInfo.Jobs)
        if (const auto target = Target(*entry)) target->ClearCredentials();
    if (kind == task_kind::Build || kind == task_kind::Upload) {
        // The tasks hold the container now.
        discContainer_.reset();
        container_.reset();
    }
    if (allocated && added > 0 && host_) host_->ShowTaskManager();
}
