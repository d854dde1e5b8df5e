#include "taskman.h"

#include "bmthread.h"
#include "build_worker.h"
#include "container.h"
#include "elapsed.h"
#include "fmmsg.h"
#include "linklist.h"
#include "msgbox.h"
#include "nasserver.h"
#include "task_codes.h"
#include "task_report.h"

#include "shell/shell.h"
#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/screen.h"

#include <algorithm>
#include <ctime>
#include <vector>

TFmTaskMan* FmTaskMan = nullptr;

namespace {

constexpr int kListCapacity = 8;
constexpr int kAbortPassLimit = 5;
// A transfer whose progress and remaining time have not changed for this long shows its
// remaining time as unknown: a unit that stopped answering leaves no stale estimate on screen.
constexpr std::uint32_t kStalledMs = 10000;
// The list's frame and vertical scroll bar beside its columns.
constexpr int kListChrome = 28;
constexpr char kImagesPage[] =
    "/admin/index.php?fuseaction=cdserver&item=cdsvr_item_images&php_token=5178";
constexpr char kRecordingPage[] =
    "/admin/index.php?fuseaction=cdserver&item=cdsvr_item_recording&php_token=5172";

bool InRecordingPhase(std::uint8_t status) {
    return status >= task_status::WaitRecording && status <= task_status::RecordAborted;
}

// Each report opens a message form of its own and stays until the user acknowledges it: a
// second task that ends at once does not replace the first report, and a progress shown on the
// shared message form keeps its Cancel.
void ShowReport(const TaskRecord& task) {
    if (vcl::Application == nullptr) return;
    const TaskReport report = ComposeTaskReport(task, platform::GetTickCount());
    TFmMsg::OpenReport(report.caption, report.text, report.icon);
}

} // namespace

TFmTaskMan::~TFmTaskMan() {
    if (FmTaskMan == this) FmTaskMan = nullptr;
}

TaskRecord* TFmTaskMan::CreateTask(TaskHandler update, TaskHandler finish, TaskHandler execute) {
    auto* task = new (std::nothrow) TaskRecord;
    if (task == nullptr) return nullptr;
    auto* worker = new TBMThread(this);
    worker->SetTimeInterval(1000);
    if (update)
        worker->OnUpdate = [task, update](vcl::TObject*, TBMExecuteThread*, void*&, int) {
            update(*task);
        };
    worker->OnTerminate = [task, finish](vcl::TObject*, TBMExecuteThread*, void*&) {
        task->finishEventRan = true;
        if (finish) finish(*task);
    };
    worker->OnExecute = [task, execute](vcl::TObject*, TBMExecuteThread*, void*&) {
        if (execute) execute(*task);
    };
    task->worker = worker;
    return task;
}

int TFmTaskMan::AddTask(TaskRecord* task) {
    task->serial = ++lastSerial_;
    ListView_Task->Items()->BeginUpdate();
    vcl::TListItem* row = ListView_Task->Items()->Add();
    row->SetCaption(TaskKindText(TaskKindSlot(*task)));
    row->SetImageIndex(0);
    for (int i = 0; i < 4; ++i)
        row->SubItems()->Add("");
    row->SetData(task);
    ListView_Task->Items()->EndUpdate();
    task->row = row;
    // A build reads its container from now until its finish event: validation and edits wait.
    if (task->kind == task_kind::Build && task->container != nullptr) {
        task->container->IncrementPending();
        task->countsAsReader = true;
    }
    if (taskList_) taskList_->Add(task);
    task->worker->Start(task);
    UpdateCaption();
    Timer_RefreshTaskStatus->SetEnabled(true);
    Timer_RefreshTaskStatusTimer(Timer_RefreshTaskStatus);
    return 1;
}

int TFmTaskMan::GetTaskCount() const {
    return taskList_ ? taskList_->Count() : 0;
}

TaskRecord* TFmTaskMan::TaskAt(int index) const {
    return taskList_ ? static_cast<TaskRecord*>(taskList_->Item(index)) : nullptr;
}

int TFmTaskMan::StopAllTasks() {
    const int count = GetTaskCount();
    for (int i = 0; i < count; ++i)
        StopTask(TaskAt(i));
    while (GetTaskCount() > 0)
        vcl::Application->HandleMessage();
    return count;
}

int TFmTaskMan::ResumeTask(TaskRecord* task) {
    if (task->runState.load() == run_state::Running) return 1;
    task->SetPaused(false);
    if (task->scheduled.load() != 0) {
        task->scheduled.store(0);
        task->ChangeFrom(run_state::Waiting, run_state::Running);
    }
    return 1;
}

int TFmTaskMan::StopTask(TaskRecord* task) {
    task->RequestStop();
    return 1;
}

int TFmTaskMan::PauseTask(TaskRecord* task) {
    task->SetPaused(true);
    return 1;
}

int TFmTaskMan::RemoveFinishedTask(TaskRecord* task) {
    if (task->State() != run_state::Removable || !task->finishEventRan) return 0;
    if (task->row) task->row->Delete();
    task->row = nullptr;
    if (taskList_) taskList_->RemoveItem(task);
    FreeTask(task);
    UpdateCaption();
    return 1;
}

void TFmTaskMan::FreeTask(TaskRecord* task) {
    // A worker still running is stopped and waited for; it raises no finish event then.
    task->RequestStop();
    task->SetPaused(false);
    delete task->worker;
    task->worker = nullptr;
    if (task->countsAsReader && task->container) task->container->DecrementPending();
    delete task;
}

void TFmTaskMan::UpdateCaption() {
    // The count is that of the rows the window lists.
    SetCaption(FormatText(GetMessageText(300), GetMessageText(508),
                          static_cast<unsigned>(ListView_Task->Items()->Count())));
}

void TFmTaskMan::FormCreate(vcl::TObject*) {
    try {
        taskList_ = std::make_unique<TLinkList>(kListCapacity);
    } catch (const std::exception&) {
        vcl::Application->MessageBox(GetMessageText(287), GetMessageText(9),
                                     vcl::MB_OK | vcl::MB_ICONSTOP);
    }
    SetCaption(GetMessageText(560));
    tbPlay->SetHint(GetMessageText(591));
    tbPause->SetHint(GetMessageText(592));
    tbStop->SetHint(GetMessageText(593));
    ToolButton_Delete->SetHint(GetMessageText(594));
    PlayTask1->SetCaption(GetMessageText(819));
    PlayTask1->SetHint(GetMessageText(591));
    PauseTask1->SetHint(GetMessageText(592));
    StopTask1->SetCaption(GetMessageText(593));
    MenuItem_RightDelete->SetCaption(GetMessageText(817));
    MenuItem_RightDelete->SetHint(GetMessageText(594));
    const int titles[] = {804, 115, 805, 806, 135};
    for (int i = 0; i < 5; ++i)
        ListView_Task->Columns()->Items(i)->SetCaption(GetMessageText(titles[i]));
    LoadTaskKindTexts();
}

void TFmTaskMan::FormShow(vcl::TObject*) {
    if (vcl::TForm* main = vcl::Application->MainForm(); main != nullptr && main != this) {
        const int height = main->GetHeight() / 2;
        int top = main->GetTop() + height + 20;
        if (vcl::Screen && vcl::Screen->Height() - 50 < top) top = 0;
        SetBounds(main->GetLeft() + 20, top, main->GetWidth() - 200, height);
    }
    FitColumns();
    UpdateCaption();
}

void TFmTaskMan::FitColumns() {
    // Each column as wide as its widest text, never narrower than it is shown now (the design
    // width, or the user's).
    vcl::TListColumns* columns = ListView_Task->Columns();
    int total = 0;
    for (int i = 0; i < columns->Count(); ++i) {
        vcl::TListColumn* column = columns->Items(i);
        const int shown = column->GetWidth();
        column->SetWidth(-1); // as wide as its texts
        column->SetWidth(std::max(shown, column->GetWidth()));
        total += column->GetWidth();
    }
    // The window shows every column whole (with room for a scroll bar), as far as the screen
    // allows.
    const int needed = total + kListChrome + (GetWidth() - GetClientWidth());
    const int screen = vcl::Screen ? vcl::Screen->Width() : needed;
    if (GetWidth() < needed) SetWidth(std::min(needed, screen));
}

void TFmTaskMan::FormDestroy(vcl::TObject*) {
    Timer_RefreshTaskStatus->SetEnabled(false);
    if (!taskList_) return;
    while (taskList_->Count() > 0) {
        auto* task = static_cast<TaskRecord*>(taskList_->Item(0));
        taskList_->Remove(0);
        FreeTask(task);
    }
    taskList_.reset();
}

TaskRecord* TFmTaskMan::TaskBySerial(std::uint64_t serial) const {
    for (int i = 0; i < GetTaskCount(); ++i)
        if (TaskRecord* task = TaskAt(i); task && task->serial == serial) return task;
    return nullptr;
}

std::vector<std::uint64_t> TFmTaskMan::SelectedSerials() const {
    std::vector<std::uint64_t> selected;
    for (vcl::TListItem* row = ListView_Task->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected});
         row != nullptr; row = ListView_Task->GetNextItem(row, vcl::sdAll, {vcl::isSelected}))
        if (auto* task = static_cast<TaskRecord*>(row->GetData())) selected.push_back(task->serial);
    return selected;
}

void TFmTaskMan::ForEachSelected(const std::function<void(TaskRecord*)>& command) {
    for (std::uint64_t serial : SelectedSerials())
        if (TaskRecord* task = TaskBySerial(serial)) command(task);
}

void TFmTaskMan::tbPlayClick(vcl::TObject*) {
    ForEachSelected([this](TaskRecord* task) { ResumeTask(task); });
}

void TFmTaskMan::tbPauseClick(vcl::TObject*) {
    ForEachSelected([this](TaskRecord* task) { PauseTask(task); });
}

void TFmTaskMan::tbStopClick(vcl::TObject*) {
    StopTasks(SelectedSerials());
}

void TFmTaskMan::StopTasks(const std::vector<std::uint64_t>& serials) {
    for (std::uint64_t serial : serials) {
        TaskRecord* task = TaskBySerial(serial);
        if (!task) continue;
        // A recording runs on the unit: the task that follows it is not stopped, unless it
        // still waits for its schedule.
        const bool recording =
            task->kind == task_kind::Record ||
            ((task->kind == task_kind::Mirror || task->kind == task_kind::Build) &&
             InRecordingPhase(task->status.load()));
        if (recording && task->runState.load() != run_state::Waiting) {
            vcl::Application->MessageBox(std::string(GetMessageText(159)) + GetMessageText(886),
                                         GetMessageText(292), vcl::MB_OK | vcl::MB_ICONINFORMATION);
            continue;
        }
        StopTask(task);
    }
}

void TFmTaskMan::ToolButton_DeleteClick(vcl::TObject*) {
    // The tasks are the rows selected when the user asked: the refresh goes on while the
    // question is up and may take a task that ended meanwhile out of the list.
    const std::vector<std::uint64_t> serials = SelectedSerials();
    if (serials.empty()) return;
    if (vcl::Application->MessageBox(GetMessageText(288), GetMessageText(289),
                                     vcl::MB_YESNO | vcl::MB_ICONINFORMATION) != vcl::IDYES)
        return;
    // A task that ended while the question was up is not there to delete; the user is told.
    const auto gone = std::count_if(serials.begin(), serials.end(),
                                    [this](std::uint64_t serial) { return !TaskBySerial(serial); });
    StopTasks(serials);
    if (gone != 0)
        vcl::Application->MessageBox(GetMessageText(975), GetMessageText(292),
                                     vcl::MB_OK | vcl::MB_ICONINFORMATION);
}

std::string TFmTaskMan::Description(const TaskRecord& task) const {
    const std::string e = GetTaskEndpointNames(task);
    const bool high = task.status.load() >= task_status::Busy;
    const unsigned writer = task.writer + 1u;
    const std::string server = task.nas ? task.nas->GetName() : std::string();
    const bool fromDisc =
        task.kind == task_kind::Mirror ||
        (task.kind == task_kind::Build && task.containerKind == container_kind::FromDisc);
    if (fromDisc) {
        const std::string label = SourceLabel(task);
        return high ? FormatText("%s >>> CDR%u [%s]", e.c_str(), writer, label.c_str())
                    : FormatText("%c:[%s] >>> %s", SourceLetter(task), label.c_str(), e.c_str());
    }
    switch (task.kind) {
    case task_kind::Build:
        if (task.containerKind != container_kind::HostFiles) return {};
        return FormatText(high ? "[%s] >>> %s : %s" : "[%s] >>> %s: %s", GetMessageText(809),
                          server.c_str(), e.c_str());
    case task_kind::Record:
        return FormatText(
            "%s >>> CD Writer%u [%s]", e.c_str(), writer,
            RequestText(task, task.request.imageName, sizeof task.request.imageName).c_str());
    case task_kind::Upload:
        return FormatText("[%s] >>> %s: %s", GetMessageText(916), server.c_str(), e.c_str());
    default:
        return {};
    }
}

std::string TFmTaskMan::StatusText(TaskRecord& task, int& image) {
    if (task.IsPaused()) return GetMessageText(293);
    switch (task.State()) {
    case run_state::Waiting: {
        image = ImageWaiting;
        const std::time_t when = std::chrono::system_clock::to_time_t(task.startTime);
        const std::time_t now = std::chrono::system_clock::to_time_t(platform::Now());
        std::tm at{}, today{};
        localtime_r(&when, &at);
        localtime_r(&now, &today);
        if (at.tm_year == today.tm_year && at.tm_mon == today.tm_mon && at.tm_mday == today.tm_mday)
            return FormatText(GetMessageText(294), at.tm_hour, at.tm_min, at.tm_sec);
        return FormatText(GetMessageText(295), at.tm_year + 1900, at.tm_mon + 1, at.tm_mday,
                          at.tm_hour, at.tm_min, at.tm_sec);
    }
    case run_state::Running: {
        const std::uint8_t status = task.status.load();
        if (status != task_status::Sending) return GetTaskStatusText(status);
        const std::uint32_t remaining = task.remainingMs.load();
        const std::uint8_t progress = task.progress.load();
        const std::uint32_t now = platform::GetTickCount();
        if (task.seenChangeTick == 0 || remaining != task.seenRemainingMs ||
            progress != task.seenProgress) {
            task.seenRemainingMs = remaining;
            task.seenProgress = progress;
            task.seenChangeTick = now == 0 ? 1 : now;
        } else if (TickDiff(task.seenChangeTick, now) >= kStalledMs) {
            return FormatText(GetMessageText(296), GetTaskStatusText(task_status::Sending).c_str());
        }
        const std::uint32_t seconds = (remaining + 999) / 1000;
        return seconds > 0 ? FormatText(GetMessageText(296), FormatSeconds(seconds).c_str())
                           : std::string();
    }
    case run_state::StopRequested:
        image = ImageStopping;
        if (++taskAbortPasses_ > kAbortPassLimit) {
            task.ChangeFrom(run_state::StopRequested, run_state::Finished);
            taskAbortPasses_ = 0;
        }
        return GetMessageText(298);
    case run_state::Finished:
        taskAbortPasses_ = 0;
        image = ImageComplete;
        task.SetRunState(run_state::Removable);
        return GetMessageText(299);
    case run_state::Removable:
        taskAbortPasses_ = 0;
        image = ImageComplete;
        return GetMessageText(299);
    default:
        return {};
    }
}

bool TFmTaskMan::RefreshRow(TaskRecord* task) {
    if (task->State() == run_state::Removable && task->finishEventRan) {
        RemoveFinishedTask(task);
        return false;
    }
    vcl::TListItem* row = task->row;
    if (row == nullptr) return true;
    int image = task->IsPaused() ? ImagePaused : taskAnimFrame_;
    row->SubItems()->SetStrings(0, Description(*task));
    row->SubItems()->SetStrings(1, FormatText("%u%%", unsigned{task->progress.load()}));
    row->SubItems()->SetStrings(2, ElapsedText(*task, platform::GetTickCount()));
    const std::string status = StatusText(*task, image);
    row->SetImageIndex(image);
    row->SubItems()->SetStrings(3, status);
    return true;
}

void TFmTaskMan::Timer_RefreshTaskStatusTimer(vcl::TObject*) {
    if (refreshing_) return;
    refreshing_ = true;
    if (GetTaskCount() == 0) {
        taskAnimFrame_ = 0;
        Timer_RefreshTaskStatus->SetEnabled(false);
        refreshing_ = false;
        return;
    }
    for (int i = 0; i < GetTaskCount();) {
        if (RefreshRow(TaskAt(i)))
            ++i;
        else
            i = 0; // a row went: the walk starts again
    }
    taskAnimFrame_ = (taskAnimFrame_ + 1) % 4;
    FitColumns();
    UpdateCaption();
    refreshing_ = false;
}

void TFmTaskMan::ListView_TaskDblClick(vcl::TObject*) {
    vcl::TListItem* row = ListView_Task->GetSelected();
    auto* task = row ? static_cast<TaskRecord*>(row->GetData()) : nullptr;
    if (task == nullptr || !task->nas) return;
    const std::uint8_t status = task->status.load();
    const char* page = status == task_status::Sending     ? kImagesPage
                       : status == task_status::Recording ? kRecordingPage
                                                          : nullptr;
    const std::string address = task->nas->GetIpText();
    if (page == nullptr || address == "0.0.0.0") return; // no page, or no address answers
    vcl::THourGlass hourglass(vcl::crDefault);
    platform::ShellOpen("http://" + address + page);
}

void TFmTaskMan::ListView_TaskMouseUp(vcl::TObject*, vcl::TMouseButton Button, vcl::TShiftState,
                                      int X, int Y) {
    if (Button != vcl::mbRight) return;
    const vcl::TPoint at = ListView_Task->ClientToScreen({X, Y});
    PopupMenu1->Popup(at.X, at.Y);
}

void TFmTaskMan::PopupMenu1Popup(vcl::TObject*) {}

void TaskFinished(TaskRecord& task) {
    if (task.kind == task_kind::Build) {
        BuildTaskTerminate(task);
        if (task.countsAsReader && task.container != nullptr) {
            task.countsAsReader = false;
            task.container->DecrementPending();
            // A container read from a disc is shared by the wizard and its tasks: this task lets
            // go of it, and the last holder frees it.
            if (task.containerOwner) {
                task.containerOwner.reset();
                task.container = nullptr;
            }
        }
    }
    ShowReport(task);
}

void RecordTaskFinished(TaskRecord& task) {
    ShowReport(task);
}
