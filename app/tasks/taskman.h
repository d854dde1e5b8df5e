// TFmTaskMan: the task manager window. Lists the tasks (one row each, refreshed every second from
// the workers' bytes), runs each task's worker on its own TBMThread, and offers Start and Delete
// (Pause and Stop exist but stay hidden). Made once at start-up; lives until the program ends.
#pragma once

#include "task_record.h"

#include "vcl/com_controls.h"
#include "vcl/form.h"
#include "vcl/image_list.h"
#include "vcl/list_view.h"
#include "vcl/menus.h"
#include "vcl/timer.h"
#include "vcl/tool_bar.h"

#include <functional>
#include <memory>
#include <string>

#include "linklist.h"

// A task's handler: its update, finish (GUI thread) or execute (worker thread) event.
using TaskHandler = std::function<void(TaskRecord& task)>;

class TFmTaskMan : public vcl::TForm {
public:
    // Image indexes of ImageList_TaskStatus.
    enum { ImageWaiting = 4, ImagePaused = 5, ImageStopping = 6, ImageComplete = 7 };

    // Makes the components (the form's description).
    explicit TFmTaskMan(vcl::TComponent* Owner);
    ~TFmTaskMan() override;

    vcl::TToolBar* ToolBar1 = nullptr;
    vcl::TToolButton* tbPlay = nullptr;
    vcl::TToolButton* tbPause = nullptr;
    vcl::TToolButton* tbStop = nullptr;
    vcl::TToolButton* ToolButton_Delete = nullptr;
    vcl::TListView* ListView_Task = nullptr;
    vcl::TPopupMenu* PopupMenu1 = nullptr;
    vcl::TMenuItem* PlayTask1 = nullptr;
    vcl::TMenuItem* PauseTask1 = nullptr;
    vcl::TMenuItem* StopTask1 = nullptr;
    vcl::TMenuItem* MenuItem_RightDelete = nullptr;
    vcl::TTimer* Timer_RefreshTaskStatus = nullptr;
    vcl::TImageList* ImageList_TaskStatus = nullptr;
    vcl::TImageList* ImageList_TaskToolButton = nullptr;

    // A new zeroed task with its worker bound to the handlers; not yet listed or started.
    TaskRecord* CreateTask(TaskHandler update, TaskHandler finish, TaskHandler execute);
    // Lists the task and starts its worker; a build task's container counts it as a reader
    // until the task's finish event. Returns 1.
    int AddTask(TaskRecord* task);
    int GetTaskCount() const;
    // Stops every task and handles events until the list is empty; the number of tasks listed.
    int StopAllTasks();
    int ResumeTask(TaskRecord* task);
    int StopTask(TaskRecord* task);
    int PauseTask(TaskRecord* task);
    // Only for run state 5 after the task's finish event ran: destroys the worker, deletes the
    // row, unlists and frees the task. Returns 1.
    int RemoveFinishedTask(TaskRecord* task);
    void UpdateCaption();
    // The task of a listed row.
    TaskRecord* TaskAt(int index) const;
    // The listed task of that serial number; null when it has left the list.
    TaskRecord* TaskBySerial(std::uint64_t serial) const;

    // Handlers.
    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    void FormDestroy(vcl::TObject* Sender);
    void tbPlayClick(vcl::TObject* Sender);
    void tbPauseClick(vcl::TObject* Sender);
    void tbStopClick(vcl::TObject* Sender);
    void ToolButton_DeleteClick(vcl::TObject* Sender);
    void Timer_RefreshTaskStatusTimer(vcl::TObject* Sender);
    void ListView_TaskDblClick(vcl::TObject* Sender);
    void ListView_TaskMouseUp(vcl::TObject* Sender, vcl::TMouseButton Button,
                              vcl::TShiftState Shift, int X, int Y);
    void PopupMenu1Popup(vcl::TObject* Sender);

private:
    // Runs command on every selected row's task. The tasks are taken by serial number and each
    // is looked up again before its command: a box that one command shows lets the refresh
    // remove tasks that finished meanwhile.
    void ForEachSelected(const std::function<void(TaskRecord*)>& command);
    // The serial numbers of the selected rows' tasks, in row order.
    std::vector<std::uint64_t> SelectedSerials() const;
    // Stop on the tasks of serials that are still in the list, in turn.
    void StopTasks(const std::vector<std::uint64_t>& serials);
    // Refreshes one row; false when the task was removed.
    bool RefreshRow(TaskRecord* task);
    std::string Description(const TaskRecord& task) const;
    std::string StatusText(TaskRecord& task, int& image);
    void FreeTask(TaskRecord* task);
    // Widens columns to their texts and the window to its columns.
    void FitColumns();

    std::unique_ptr<TLinkList> taskList_;
    std::uint64_t lastSerial_ = 0;
    int taskAnimFrame_ = 0;
    int taskAbortPasses_ = 0;
    bool refreshing_ = false;
};

extern TFmTaskMan* FmTaskMan;

// The finish events (GUI thread): the result report on the message form. TaskFinished also
// releases a build task's hold on its container.
void TaskFinished(TaskRecord& task);
void RecordTaskFinished(TaskRecord& task);
