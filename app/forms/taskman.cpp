// The task manager: a flat tool bar with Start, Pause, Stop and Delete at the top, the task list
// below it (report view, five columns), its popup menu, the status images and the one-second
// refresh timer (off until the first task is added).
#include "taskman.h"

#include <cstddef>

using namespace vcl;

namespace taskicons {
extern const unsigned char* const kIcons[4];
extern const std::size_t kIconSizes[4];
} // namespace taskicons

namespace {

TToolButton* Button(TComponent* owner, TToolBar* bar, const char* name, int image, bool visible) {
    auto* button = Make<TToolButton>(owner, bar, name);
    button->SetImageIndex(image);
    button->SetVisible(visible);
    button->SetShowHint(true);
    return button;
}

TMenuItem* Item(TComponent* owner, TPopupMenu* menu, const char* name, const char* caption,
                bool visible) {
    auto* item = new TMenuItem(owner);
    item->Name = name;
    item->SetCaption(caption);
    item->SetVisible(visible);
    menu->Items()->Add(item);
    return item;
}

TImageList* Images(TComponent* owner, const char* name, int size,
                   std::initializer_list<TStockIcon> icons) {
    auto* list = new TImageList(owner);
    list->Name = name;
    list->SetSize(size, size);
    for (TStockIcon icon : icons)
        list->AddStockIcon(icon);
    return list;
}

} // namespace

TFmTaskMan::TFmTaskMan(TComponent* Owner) : TForm(Owner) {
    FmTaskMan = this;
    Name = "FmTaskMan";
    SetBounds(200, 300, 720, 260);
    SetCaption("Task Manager");
    SetShowHint(true);

    // 0-3 the running frames, 4 waiting for the schedule, 5 paused, 6 stopping, 7 complete.
    ImageList_TaskStatus =
        Images(this, "ImageList_TaskStatus", 16,
               {siCdrom, siDrive, siCdrom, siDrive, siQuestion, siWarning, siError, siInformation});
    // Start, pause, stop and delete.
    ImageList_TaskToolButton = Images(this, "ImageList_TaskToolButton", 32, {});
    for (int i = 0; i < 4; ++i)
        ImageList_TaskToolButton->AddFromBytes(taskicons::kIcons[i], taskicons::kIconSizes[i]);

    ToolBar1 = Make<TToolBar>(this, this, "ToolBar1");
    ToolBar1->SetAlign(alTop);
    ToolBar1->SetImages(ImageList_TaskToolButton);
    ToolBar1->SetButtonSize(38, 38);
    tbPlay = Button(this, ToolBar1, "tbPlay", 0, true);
    tbPause = Button(this, ToolBar1, "tbPause", 1, false);
    tbStop = Button(this, ToolBar1, "tbStop", 2, false);
    ToolButton_Delete = Button(this, ToolBar1, "ToolButton_Delete", 3, true);

    PopupMenu1 = new TPopupMenu(this);
    PopupMenu1->Name = "PopupMenu1";
    PlayTask1 = Item(this, PopupMenu1, "PlayTask1", "Start", true);
    PauseTask1 = Item(this, PopupMenu1, "PauseTask1", "Pause", false);
    StopTask1 = Item(this, PopupMenu1, "StopTask1", "Stop Task", false);
    MenuItem_RightDelete = Item(this, PopupMenu1, "MenuItem_RightDelete", "Delete", true);

    ListView_Task = Make<TListView>(this, this, "ListView_Task");
    ListView_Task->SetAlign(alClient);
    ListView_Task->SetViewStyle(vsReport);
    ListView_Task->SetMultiSelect(true);
    ListView_Task->SetRowSelect(true);
    ListView_Task->SetReadOnly(true);
    ListView_Task->SetHideSelection(false);
    ListView_Task->SetSmallImages(ImageList_TaskStatus);
    const struct {
        const char* title;
        int width;
        TAlignment alignment;
    } columns[] = {{"Task Name", 120, taLeftJustify},
                   {"Description", 260, taLeftJustify},
                   {"Progress", 70, taRightJustify},
                   {"Time", 100, taRightJustify},
                   {"Status", 160, taLeftJustify}};
    for (const auto& c : columns) {
        TListColumn* column = ListView_Task->Columns()->Add();
        column->SetCaption(c.title);
        column->SetWidth(c.width);
        column->SetAlignment(c.alignment);
    }

    Timer_RefreshTaskStatus = new TTimer(this);
    Timer_RefreshTaskStatus->Name = "Timer_RefreshTaskStatus";
    Timer_RefreshTaskStatus->SetInterval(1000);
    Timer_RefreshTaskStatus->SetEnabled(false);

    OnCreate = Method(this, &TFmTaskMan::FormCreate);
    OnShow = Method(this, &TFmTaskMan::FormShow);
    OnDestroy = Method(this, &TFmTaskMan::FormDestroy);
    tbPlay->OnClick = Method(this, &TFmTaskMan::tbPlayClick);
    tbPause->OnClick = Method(this, &TFmTaskMan::tbPauseClick);
    tbStop->OnClick = Method(this, &TFmTaskMan::tbStopClick);
    ToolButton_Delete->OnClick = Method(this, &TFmTaskMan::ToolButton_DeleteClick);
    PlayTask1->OnClick = Method(this, &TFmTaskMan::tbPlayClick);
    PauseTask1->OnClick = Method(this, &TFmTaskMan::tbPauseClick);
    StopTask1->OnClick = Method(this, &TFmTaskMan::tbStopClick);
    MenuItem_RightDelete->OnClick = Method(this, &TFmTaskMan::ToolButton_DeleteClick);
    PopupMenu1->OnPopup = Method(this, &TFmTaskMan::PopupMenu1Popup);
    ListView_Task->OnDblClick = Method(this, &TFmTaskMan::ListView_TaskDblClick);
    ListView_Task->OnMouseUp = Method(this, &TFmTaskMan::ListView_TaskMouseUp);
    Timer_RefreshTaskStatus->OnTimer = Method(this, &TFmTaskMan::Timer_RefreshTaskStatusTimer);
}
