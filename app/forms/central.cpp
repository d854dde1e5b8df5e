// The main window: a status bar at the bottom; at the top the menu bar (menu buttons that drop
// their menus down) and the tool bar; below them the tree on the left, a splitter and the list on
// the right. Menus, timers, dialogs, drop targets, the drive events and the image lists follow.
#include "central.h"

#include "cdevents.h"
#include "droptarget_kinds.h"
#include "icons.h"

#include "vcl/menus.h"
#include "vcl/splitter.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

using namespace vcl;

namespace {

TMenuItem* Item(TComponent* owner, TMenuItem* parent, const char* name, const char* caption) {
    auto* item = new TMenuItem(owner);
    item->Name = name;
    item->SetCaption(caption);
    parent->Add(item);
    return item;
}

TPopupMenu* Menu(TComponent* owner, const char* name) {
    auto* menu = new TPopupMenu(owner);
    menu->Name = name;
    return menu;
}

TToolButton* Button(TComponent* owner, TToolBar* bar, const char* name, int image,
                    TToolButtonStyle style = tbsButton) {
    auto* button = Make<TToolButton>(owner, bar, name);
    button->SetStyle(style);
    button->SetImageIndex(image);
    return button;
}

TTimer* Timer(TComponent* owner, const char* name, unsigned interval, bool enabled) {
    auto* timer = new TTimer(owner);
    timer->Name = name;
    timer->SetInterval(interval);
    timer->SetEnabled(enabled);
    return timer;
}

} // namespace

TForm_Central::TForm_Central(TComponent* Owner) : TForm(Owner) {
    Name = "Form_Central";
    SetBounds(216, 105, 793, 514);
    SetClientWidth(785);
    SetClientHeight(491);
    SetCaption("Quorvik");
    SetShowHint(true);

    ImageList_TreeView = new TImageList(this);
    ImageList_TreeView->Name = "ImageList_TreeView";
    ImageList_TreeView->SetSize(16, 16);
    AddNodeKindIcons(ImageList_TreeView);
    ImageList_ListViewLarge = new TImageList(this);
    ImageList_ListViewLarge->Name = "ImageList_ListViewLarge";
    ImageList_ListViewLarge->SetSize(32, 32);
    AddNodeKindIcons(ImageList_ListViewLarge);
    ImageList_ToolBar = new TImageList(this);
    ImageList_ToolBar->Name = "ImageList_ToolBar";
    ImageList_ToolBar->SetSize(32, 32);

    StatusBar = Make<TStatusBar>(this, this, "StatusBar");
    StatusBar->SetAlign(alBottom);
    StatusBar->AddPanel()->SetWidth(455);
    TStatusPanel* clock = StatusBar->AddPanel();
    clock->SetWidth(200);
    clock->SetAlignment(taCenter);
    TStatusPanel* last = StatusBar->AddPanel();
    last->SetWidth(150);
    last->SetAlignment(taRightJustify);

    Panel_Top = Make<TPanel>(this, this, "Panel_Top");
    Panel_Top->SetAlign(alTop);
    Panel_Top->SetHeight(58);
    Panel_Top->SetBevelOuter(bvNone);

    Panel_MainMenu = Make<TPanel>(this, Panel_Top, "Panel_MainMenu");
    Panel_MainMenu->SetAlign(alTop);
    Panel_MainMenu->SetHeight(24);
    Panel_MainMenu->SetBevelOuter(bvNone);
    Panel_AnimatorBorder = Make<TPanel>(this, Panel_MainMenu, "Panel_AnimatorBorder");
    Panel_AnimatorBorder->SetAlign(alRight);
    Panel_AnimatorBorder->SetWidth(26);
    Panel_AnimatorBorder->SetBevelOuter(bvLowered);
    // It frames an animation that nothing runs: an empty sunken box at the end of the menu row
    // otherwise.
    Panel_AnimatorBorder->SetVisible(false);
    Panel_Animator = Make<TPanel>(this, Panel_AnimatorBorder, "Panel_Animator");
    Panel_Animator->SetAlign(alClient);
    Panel_Animator->SetBevelOuter(bvNone);
    Image_Animation = Make<TImage>(this, Panel_Animator, "Image_Animation");
    Image_Animation->SetAlign(alClient);
    Panel_Menu = Make<TPanel>(this, Panel_MainMenu, "Panel_Menu");
    Panel_Menu->SetAlign(alClient);
    Panel_Menu->SetBevelOuter(bvNone);
    ToolBar_Menu = Make<TToolBar>(this, Panel_Menu, "ToolBar_Menu");
    ToolBar_Menu->SetAlign(alClient);
    ToolBar_Menu->ShowCaptions = true;
    ToolBar_Menu->SetButtonSize(60, 22);
    ToolButton_FileMenu = Button(this, ToolBar_Menu, "ToolButton_FileMenu", -1);
    ToolButton_EditMenu = Button(this, ToolBar_Menu, "ToolButton_EditMenu", -1);
    ToolButton_ViewMenu = Button(this, ToolBar_Menu, "ToolButton_ViewMenu", -1);
    ToolButton_MirrorMenu = Button(this, ToolBar_Menu, "ToolButton_MirrorMenu", -1);
    ToolButton_ServerMenu = Button(this, ToolBar_Menu, "ToolButton_ServerMenu", -1);
    ToolButton_ToolMenu = Button(this, ToolBar_Menu, "ToolButton_ToolMenu", -1);
    ToolButton_HelpMenu = Button(this, ToolBar_Menu, "ToolButton_HelpMenu", -1);
    for (TToolButton* b :
         {ToolButton_FileMenu, ToolButton_EditMenu, ToolButton_ViewMenu, ToolButton_MirrorMenu,
          ToolButton_ServerMenu, ToolButton_ToolMenu, ToolButton_HelpMenu})
        b->Grouped = true;

    Panel_MainTool = Make<TPanel>(this, Panel_Top, "Panel_MainTool");
    Panel_MainTool->SetAlign(alClient);
    Panel_MainTool->SetBevelOuter(bvNone);
    ToolBar = Make<TToolBar>(this, Panel_MainTool, "ToolBar");
    ToolBar->SetAlign(alClient);
    ToolBar->SetImages(ImageList_TreeView);
    ToolBar->SetButtonSize(28, 28);
    ToolButton_Refresh = Button(this, ToolBar, "ToolButton_Refresh", nkNasNetwork);
    ToolButton_Updir = Button(this, ToolBar, "ToolButton_Updir", nkContainerFolder);
    ToolButton1 = Button(this, ToolBar, "ToolButton1", -1, tbsSeparator);
    ToolButton_TreeMode = Button(this, ToolBar, "ToolButton_TreeMode", nkDesktop, tbsDropDown);
    ToolButton_ListMode =
        Button(this, ToolBar, "ToolButton_ListMode", nkContainerFileNoIcon, tbsDropDown);
    ToolButton2 = Button(this, ToolBar, "ToolButton2", -1, tbsSeparator);
    ToolButton_SaveContainer = Button(this, ToolBar, "ToolButton_SaveContainer", nkContainerSaved);
    ToolButton_LoadContainer =
        Button(this, ToolBar, "ToolButton_LoadContainer", nkContainerModified);
    ToolButton3 = Button(this, ToolBar, "ToolButton3", -1, tbsSeparator);
    ToolButton_Mirror = Button(this, ToolBar, "ToolButton_Mirror", nkDiscData);
    ToolButton_Build = Button(this, ToolBar, "ToolButton_Build", nkCdImage);
    ToolButton_ServerQuickSetup =
        Button(this, ToolBar, "ToolButton_ServerQuickSetup", nkNasServerFactory);
    ToolButton4 = Button(this, ToolBar, "ToolButton4", -1, tbsSeparator);
    ToolButton_Wizard = Button(this, ToolBar, "ToolButton_Wizard", nkImageFolder);
    ToolButton_TaskManager = Button(this, ToolBar, "ToolButton_TaskManager", nkNasServer);
    ToolButton5 = Button(this, ToolBar, "ToolButton5", -1, tbsSeparator);
    ToolButton_HelpBook = Button(this, ToolBar, "ToolButton_HelpBook", nkContainerFileNoIcon);
    ToolButton_VeskarWeb = Button(this, ToolBar, "ToolButton_VeskarWeb", nkRemoteServers);

    Panel_MainArea = Make<TPanel>(this, this, "Panel_MainArea");
    Panel_MainArea->SetAlign(alClient);
    Panel_MainArea->SetBevelOuter(bvNone);
    Panel_TreeView = Make<TPanel>(this, Panel_MainArea, "Panel_TreeView");
    Panel_TreeView->SetAlign(alLeft);
    Panel_TreeView->SetWidth(250);
    Panel_TreeView->SetBevelOuter(bvNone);
    TreeView = Make<TTreeView>(this, Panel_TreeView, "TreeView");
    TreeView->SetAlign(alClient);
    TreeView->SetImages(ImageList_TreeView);
    TreeView->SetHideSelection(false);
    TreeView->SetRightClickSelect(false);
    Splitter_Area = Make<TSplitter>(this, Panel_MainArea, "Splitter_Area");
    Splitter_Area->SetAlign(alLeft);
    Splitter_Area->SetLeft(250);
    Panel_ListView = Make<TPanel>(this, Panel_MainArea, "Panel_ListView");
    Panel_ListView->SetAlign(alClient);
    Panel_ListView->SetBevelOuter(bvNone);
    ListView = Make<TListView>(this, Panel_ListView, "ListView");
    ListView->SetAlign(alClient);
    ListView->SetViewStyle(vsReport);
    ListView->SetMultiSelect(true);
    ListView->SetRowSelect(true);
    ListView->SetHideSelection(false);
    ListView->SetLargeImages(ImageList_ListViewLarge);
    ListView->SetSmallImages(ImageList_TreeView);
    ListView->Columns()->Add()->SetCaption("Name");
    ListView->Columns()->Add()->SetCaption("Description");

    // Menus.
    PopupMenu_MenuFile = Menu(this, "PopupMenu_MenuFile");
    TMenuItem* m = PopupMenu_MenuFile->Items();
    MenuItem_MenuNewFolder = Item(this, m, "MenuItem_MenuNewFolder", "New Folder");
    MenuItem_MenuRename = Item(this, m, "MenuItem_MenuRename", "Rename");
    MenuItem_MenuDelete = Item(this, m, "MenuItem_MenuDelete", "Delete");
    Item(this, m, "N2", "-");
    RemoteNASList1 = Item(this, m, "RemoteNASList1", "Remote NAS List");
    MenuItem_MenuProperty = Item(this, m, "MenuItem_MenuProperty", "Property");
    Item(this, m, "N3", "-");
    MenuItem_MenuExit = Item(this, m, "MenuItem_MenuExit", "Exit");

    PopupMenu_MenuEdit = Menu(this, "PopupMenu_MenuEdit");
    m = PopupMenu_MenuEdit->Items();
    MenuItem_MenuCopy = Item(this, m, "MenuItem_MenuCopy", "Copy");
    MenuItem_MenuCut = Item(this, m, "MenuItem_MenuCut", "Cut");
    MenuItem_MenuPaste = Item(this, m, "MenuItem_MenuPaste", "Paste");
    Item(this, m, "N4", "-");
    MenuItem_MenuSelectAll = Item(this, m, "MenuItem_MenuSelectAll", "Select All");
    MenuItem_MenuInverseSelect = Item(this, m, "MenuItem_MenuInverseSelect", "Inverse Selection");

    PopupMenu_MenuView = Menu(this, "PopupMenu_MenuView");
    m = PopupMenu_MenuView->Items();
    MenuItem_MenuRefresh = Item(this, m, "MenuItem_MenuRefresh", "Refresh");
    MenuItem_MenuUpDirectory = Item(this, m, "MenuItem_MenuUpDirectory", "Up Directory");
    MenuItem_MenuExpand = Item(this, m, "MenuItem_MenuExpand", "Expand");
    MenuItem_MenuShrink = Item(this, m, "MenuItem_MenuShrink", "Shrink");
    Item(this, m, "N5", "-");
    MenuItem_MenuLarge = Item(this, m, "MenuItem_MenuLarge", "Large Icon");
    MenuItem_MenuSmall = Item(this, m, "MenuItem_MenuSmall", "Small Icon");
    MenuItem_MenuList = Item(this, m, "MenuItem_MenuList", "List");
    MenuItem_MenuDetail = Item(this, m, "MenuItem_MenuDetail", "Detail");
    Item(this, m, "N6", "-");
    MenuItem_MenuStatusBar = Item(this, m, "MenuItem_MenuStatusBar", "Status Bar");
    MenuItem_MenuStatusBar->SetChecked(true);
    MenuItem_MenuToolBar = Item(this, m, "MenuItem_MenuToolBar", "Tool Bar");
    MenuItem_MenuToolBar->SetChecked(true);

    PopupMenu_TreeModeButton = Menu(this, "PopupMenu_TreeModeButton");
    m = PopupMenu_TreeModeButton->Items();
    MenuItem_ExpandByButton = Item(this, m, "MenuItem_ExpandByButton", "Expand");
    MenuItem_ShrinkByButton = Item(this, m, "MenuItem_ShrinkByButton", "Shrink");
    PopupMenu_ListModeButton = Menu(this, "PopupMenu_ListModeButton");
    m = PopupMenu_ListModeButton->Items();
    MenuItem_LargeByButton = Item(this, m, "MenuItem_LargeByButton", "Large Icon");
    MenuItem_SmallByButton = Item(this, m, "MenuItem_SmallByButton", "Small Icon");
    MenuItem_ListByButton = Item(this, m, "MenuItem_ListByButton", "List");
    MenuItem_DetailByButton = Item(this, m, "MenuItem_DetailByButton", "Detail");

    PopupMenu_MenuMirror = Menu(this, "PopupMenu_MenuMirror");
    m = PopupMenu_MenuMirror->Items();
    MenuItem_MenuMirror = Item(this, m, "MenuItem_MenuMirror", "Mirror CD/DVD");
    MenuItem_MenuBuild = Item(this, m, "MenuItem_MenuBuild", "Build Image");
    MenuItem_MenuBuildISO = Item(this, m, "MenuItem_MenuBuildISO", "Upload ISO");
    MenuItem_MenuRecordCD = Item(this, m, "MenuItem_MenuRecordCD", "Record CD/DVD");
    MenuItem_MenuCDHImgConverter = Item(this, m, "MenuItem_MenuCDHImgConverter", "Convert Images");
    Item(this, m, "N7", "-");
    MenuItem_MenuNewContainer = Item(this, m, "MenuItem_MenuNewContainer", "New Container");
    MenuItem_MenuLoadContainer = Item(this, m, "MenuItem_MenuLoadContainer", "Load Container");
    MenuItem_MenuSaveContainer = Item(this, m, "MenuItem_MenuSaveContainer", "Save Container");
    MenuItem_MenuSaveContainerAs =
        Item(this, m, "MenuItem_MenuSaveContainerAs", "Save Container As");
    MenuItem_MenuValidate = Item(this, m, "MenuItem_MenuValidate", "Validate Container");

    PopupMenu_MenuServer = Menu(this, "PopupMenu_MenuServer");
    m = PopupMenu_MenuServer->Items();
    MenuItem_MenuServerQuickSetup =
        Item(this, m, "MenuItem_MenuServerQuickSetup", "Server Quick Setup");
    MenuItem_MenuHdInitialize = Item(this, m, "MenuItem_MenuHdInitialize", "Initialize HD");
    N1 = Item(this, m, "N1", "-");
    MenuItem_MenuShutdown = Item(this, m, "MenuItem_MenuShutdown", "Shutdown");
    MenuItem_MenuReset = Item(this, m, "MenuItem_MenuReset", "Reset");
    MenuItem_MenuDisable = Item(this, m, "MenuItem_MenuDisable", "Not Share");
    Item(this, m, "N8", "-");
    MenuItem_MenuBrowse = Item(this, m, "MenuItem_MenuBrowse", "Admin Page");
    MenuItem_MenuExplore = Item(this, m, "MenuItem_MenuExplore", "Explore");
    MenuItem_MenuExport = Item(this, m, "MenuItem_MenuExport", "Export System Settings");
    MenuItem_MenuImport = Item(this, m, "MenuItem_MenuImport", "Import System Settings");

    PopupMenu_MenuTool = Menu(this, "PopupMenu_MenuTool");
    m = PopupMenu_MenuTool->Items();
    MenuItem_MenuWizard = Item(this, m, "MenuItem_MenuWizard", "Wizard");
    MenuItem_MenuTaskManager = Item(this, m, "MenuItem_MenuTaskManager", "Task Manager");
    Item(this, m, "N9", "-");
    MenuItem_MenuApCfg = Item(this, m, "MenuItem_MenuApCfg", "Options");

    PopupMenu_MenuHelp = Menu(this, "PopupMenu_MenuHelp");
    m = PopupMenu_MenuHelp->Items();
    MenuItem_MenuHelpContent = Item(this, m, "MenuItem_MenuHelpContent", "Help Content");
    MenuItem_MenuHelpIndex = Item(this, m, "MenuItem_MenuHelpIndex", "Help Index");
    Item(this, m, "N10", "-");
    MenuItem_MenuVeskarWeb = Item(this, m, "MenuItem_MenuVeskarWeb", "Home Page");
    MenuItem_MenuVeskarEmail = Item(this, m, "MenuItem_MenuVeskarEmail", "Support Email");
    Item(this, m, "N11", "-");
    MenuItem_MenuAbout = Item(this, m, "MenuItem_MenuAbout", "About");

    PopupMenu_DragDrop = Menu(this, "PopupMenu_DragDrop");
    m = PopupMenu_DragDrop->Items();
    MenuItem_DragDropMove = Item(this, m, "MenuItem_DragDropMove", "Move");
    MenuItem_DragDropCopy = Item(this, m, "MenuItem_DragDropCopy", "Copy");
    Item(this, m, "N12", "-");
    MenuItem_DragDropCancel = Item(this, m, "MenuItem_DragDropCancel", "Cancel");

    PopupMenu_RightClick = Menu(this, "PopupMenu_RightClick");
    m = PopupMenu_RightClick->Items();
    MenuItem_RightPaste = Item(this, m, "MenuItem_RightPaste", "Paste");
    MenuItem_RightMirror = Item(this, m, "MenuItem_RightMirror", "Mirror");
    MenuItem_RightExplore = Item(this, m, "MenuItem_RightExplore", "Explore");
    MenuItem_RightBrowse = Item(this, m, "MenuItem_RightBrowse", "Admin Page");
    MenuItem_RightServerQuickSetup =
        Item(this, m, "MenuItem_RightServerQuickSetup", "Server Quick Setup");
    MenuItem_RightBuildImage = Item(this, m, "MenuItem_RightBuildImage", "Build Image");
    MenuItem_RightValidate = Item(this, m, "MenuItem_RightValidate", "Validate");
    MenuItem_RightNewFolder = Item(this, m, "MenuItem_RightNewFolder", "New Folder");
    MenuItem_RightRename = Item(this, m, "MenuItem_RightRename", "Rename");
    MenuItem_RightDisable = Item(this, m, "MenuItem_RightDisable", "Not Share");
    MenuItem_RightDelete = Item(this, m, "MenuItem_RightDelete", "Delete");
    MenuItem_RightRefresh = Item(this, m, "MenuItem_RightRefresh", "Refresh");
    MenuItem_RightRecordCD = Item(this, m, "MenuItem_RightRecordCD", "Record CD/DVD");
    MenuItem_RightExport = Item(this, m, "MenuItem_RightExport", "Export System Settings");
    MenuItem_RightImport = Item(this, m, "MenuItem_RightImport", "Import System Settings");
    MenuItem_RightBrowseNAS = Item(this, m, "MenuItem_RightBrowseNAS", "Admin Page");
    MenuItem_RightExplorNAS = Item(this, m, "MenuItem_RightExplorNAS", "Explore");
    Item(this, m, "N13", "-");
    MenuItem_RightProperty = Item(this, m, "MenuItem_RightProperty", "Property");

    ToolButton_FileMenu->DropdownMenu = PopupMenu_MenuFile;
    ToolButton_EditMenu->DropdownMenu = PopupMenu_MenuEdit;
    ToolButton_ViewMenu->DropdownMenu = PopupMenu_MenuView;
    ToolButton_MirrorMenu->DropdownMenu = PopupMenu_MenuMirror;
    ToolButton_ServerMenu->DropdownMenu = PopupMenu_MenuServer;
    ToolButton_ToolMenu->DropdownMenu = PopupMenu_MenuTool;
    ToolButton_HelpMenu->DropdownMenu = PopupMenu_MenuHelp;
    ToolButton_TreeMode->DropdownMenu = PopupMenu_TreeModeButton;
    ToolButton_ListMode->DropdownMenu = PopupMenu_ListModeButton;

    OpenDialog = new TOpenDialog(this);
    OpenDialog->Name = "OpenDialog";
    SaveDialog = new TSaveDialog(this);
    SaveDialog->Name = "SaveDialog";

    Timer_GetDateTime = Timer(this, "Timer_GetDateTime", 1000, true);
    Timer_Refresh = Timer(this, "Timer_Refresh", 10000, true);
    Timer_CallFunction = Timer(this, "Timer_CallFunction", 200, false);
    Timer_AutoScroll = Timer(this, "Timer_AutoScroll", 50, true);
    Timer_Hint = Timer(this, "Timer_Hint", 500, true);
    Timer_Animation = Timer(this, "Timer_Animation", 100, false);
    Timer_ABSENT = Timer(this, "Timer_ABSENT", 1000, false);

    DropFileTarget_TreeView = new TDropFileTarget(this);
    DropFileTarget_TreeView->Name = "DropFileTarget_TreeView";
    DropFileTarget_TreeView->Dragtypes = {dtCopy};
    DropFileTarget_ListView = new TDropFileTarget(this);
    DropFileTarget_ListView->Name = "DropFileTarget_ListView";
    DropFileTarget_ListView->Dragtypes = {dtCopy};

    CDEvent = new TCDEvents(this);
    CDEvent->Name = "CDEvent";
    CDEvent->Options()->SetAutoRun(false);

    // Events.
    OnCreate = Method(this, &TForm_Central::FormCreate);
    OnShow = Method(this, &TForm_Central::FormShow);
    OnPaint = Method(this, &TForm_Central::FormPaint);
    OnCloseQuery = Method(this, &TForm_Central::FormCloseQuery);
    OnClose = Method(this, &TForm_Central::FormClose);
    OnDestroy = Method(this, &TForm_Central::FormDestroy);
    StatusBar->OnResize = Method(this, &TForm_Central::StatusBarResize);
    TreeView->OnChange = Method(this, &TForm_Central::TreeViewChange);
    TreeView->OnChanging = Method(this, &TForm_Central::TreeViewChanging);
    TreeView->OnClick = Method(this, &TForm_Central::TreeViewClick);
    TreeView->OnMouseDown = Method(this, &TForm_Central::TreeViewMouseDown);
    TreeView->OnMouseUp = Method(this, &TForm_Central::TreeViewMouseUp);
    TreeView->OnMouseMove = Method(this, &TForm_Central::TreeViewMouseMove);
    TreeView->OnKeyDown = Method(this, &TForm_Central::TreeViewKeyDown);
    TreeView->OnExpanding = Method(this, &TForm_Central::TreeViewExpanding);
    TreeView->OnCompare = Method(this, &TForm_Central::TreeViewCompare);
    TreeView->OnDeletion = Method(this, &TForm_Central::TreeViewDeletion);
    ListView->OnColumnClick = Method(this, &TForm_Central::ListViewColumnClick);
    ListView->OnCompare = Method(this, &TForm_Central::ListViewCompare);
    ListView->OnDblClick = Method(this, &TForm_Central::ListViewDblClick);
    ListView->OnMouseDown = Method(this, &TForm_Central::ListViewMouseDown);
    ListView->OnMouseUp = Method(this, &TForm_Central::ListViewMouseUp);
    CDEvent->AfterArrival = Method(this, &TForm_Central::CDEventAfterArrival);
    CDEvent->AfterRemove = Method(this, &TForm_Central::CDEventAfterRemove);
    Timer_GetDateTime->OnTimer = Method(this, &TForm_Central::Timer_GetDateTimeTimer);
    Timer_Hint->OnTimer = Method(this, &TForm_Central::Timer_HintTimer);
    MenuItem_MenuSaveContainer->OnClick =
        Method(this, &TForm_Central::MenuItem_MenuSaveContainerClick);
    ToolButton_SaveContainer->OnClick =
        Method(this, &TForm_Central::MenuItem_MenuSaveContainerClick);
    MenuItem_MenuExit->OnClick = Method(this, &TForm_Central::MenuItem_MenuExitClick);
    RemoteNASList1->OnClick = Method(this, &TForm_Central::MenuItem_MenuNASListClick);
    // My Container: editing, drops, the container and view commands.
    TreeView->OnEditing = Method(this, &TForm_Central::TreeViewEditing);
    ListView->OnEditing = Method(this, &TForm_Central::ListViewEditing);
    ListView->OnKeyDown = Method(this, &TForm_Central::ListViewKeyDown);
    DropFileTarget_TreeView->OnDragOver =
        Method(this, &TForm_Central::DropFileTarget_TreeViewDragOver);
    DropFileTarget_TreeView->OnDrop = Method(this, &TForm_Central::DropFileTarget_TreeViewDrop);
    DropFileTarget_TreeView->OnLeave = Method(this, &TForm_Central::DropFileTarget_TreeViewLeave);
    DropFileTarget_ListView->OnDragOver =
        Method(this, &TForm_Central::DropFileTarget_ListViewDragOver);
    DropFileTarget_ListView->OnDrop = Method(this, &TForm_Central::DropFileTarget_ListViewDrop);
    for (TMenuItem* item : {MenuItem_MenuNewFolder, MenuItem_RightNewFolder})
        item->OnClick = Method(this, &TForm_Central::MenuItem_MenuNewFolderClick);
    for (TMenuItem* item : {MenuItem_MenuRename, MenuItem_RightRename})
        item->OnClick = Method(this, &TForm_Central::MenuItem_MenuRenameClick);
    for (TMenuItem* item :
         {MenuItem_MenuDelete, MenuItem_RightDelete, MenuItem_MenuDisable, MenuItem_RightDisable})
        item->OnClick = Method(this, &TForm_Central::MenuItem_MenuDeleteClick);
    for (TMenuItem* item : {MenuItem_MenuPaste, MenuItem_RightPaste})
        item->OnClick = Method(this, &TForm_Central::MenuItem_MenuPasteClick);
    MenuItem_MenuSelectAll->OnClick = Method(this, &TForm_Central::MenuItem_MenuSelectAllClick);
    MenuItem_MenuInverseSelect->OnClick =
        Method(this, &TForm_Central::MenuItem_MenuInverseSelectClick);
    for (TMenuItem* item : {MenuItem_MenuRefresh, MenuItem_RightRefresh})
        item->OnClick = Method(this, &TForm_Central::MenuItem_MenuRefreshClick);
    MenuItem_MenuUpDirectory->OnClick = Method(this, &TForm_Central::MenuItem_MenuUpDirectoryClick);
    ToolButton_Updir->OnClick = Method(this, &TForm_Central::MenuItem_MenuUpDirectoryClick);
    for (TMenuItem* item : {MenuItem_MenuExpand, MenuItem_ExpandByButton, MenuItem_MenuShrink,
                            MenuItem_ShrinkByButton})
        item->OnClick = Method(this, &TForm_Central::MenuItem_MenuExpandClick);
    ToolButton_TreeMode->OnClick = Method(this, &TForm_Central::MenuItem_MenuExpandClick);
    for (TMenuItem* item : {MenuItem_MenuLarge, MenuItem_MenuSmall, MenuItem_MenuList,
                            MenuItem_MenuDetail, MenuItem_LargeByButton, MenuItem_SmallByButton,
                            MenuItem_ListByButton, MenuItem_DetailByButton})
        item->OnClick = Method(this, &TForm_Central::MenuItem_MenuLargeClick);
    ToolButton_ListMode->OnClick = Method(this, &TForm_Central::MenuItem_MenuLargeClick);
    MenuItem_MenuStatusBar->OnClick = Method(this, &TForm_Central::MenuItem_MenuStatusBarClick);
    MenuItem_MenuToolBar->OnClick = Method(this, &TForm_Central::MenuItem_MenuToolBarClick);
    MenuItem_MenuNewContainer->OnClick =
        Method(this, &TForm_Central::MenuItem_MenuNewContainerClick);
    MenuItem_MenuLoadContainer->OnClick =
        Method(this, &TForm_Central::MenuItem_MenuLoadContainerClick);
    ToolButton_LoadContainer->OnClick =
        Method(this, &TForm_Central::MenuItem_MenuLoadContainerClick);
    MenuItem_MenuSaveContainerAs->OnClick =
        Method(this, &TForm_Central::MenuItem_MenuSaveContainerAsClick);
    MenuItem_DragDropMove->OnClick = Method(this, &TForm_Central::MenuItem_DragDropMoveClick);
    MenuItem_DragDropCopy->OnClick = Method(this, &TForm_Central::MenuItem_DragDropCopyClick);
    MenuItem_DragDropCancel->OnClick = Method(this, &TForm_Central::MenuItem_DragDropCancelClick);
    TreeView->DragMode = dmAutomatic;
    ListView->DragMode = dmAutomatic;
    TreeView->OnStartDrag = Method(this, &TForm_Central::TreeViewStartDrag);
    TreeView->OnEndDrag = Method(this, &TForm_Central::TreeViewEndDrag);
    TreeView->OnDragOver = Method(this, &TForm_Central::TreeViewDragOver);
    TreeView->OnDragDrop = Method(this, &TForm_Central::TreeViewDragDrop);
    ListView->OnStartDrag = Method(this, &TForm_Central::ListViewStartDrag);
    ListView->OnEndDrag = Method(this, &TForm_Central::ListViewEndDrag);
    ListView->OnDragOver = Method(this, &TForm_Central::ListViewDragOver);
    ListView->OnDragDrop = Method(this, &TForm_Central::ListViewDragDrop);
    ListView->OnDeletion = Method(this, &TForm_Central::ListViewDeletion);
    // Timers and the announcement listener.
    Timer_Refresh->OnTimer = Method(this, &TForm_Central::Timer_RefreshTimer);
    Timer_AutoScroll->OnTimer = Method(this, &TForm_Central::Timer_AutoScrollTimer);
    Timer_ABSENT->OnTimer = Method(this, &TForm_Central::Timer_ABSENTTimer);

    // Commands II and command state: the menus' OnPopup, the mirror, server, tool and help
    // commands, the tool bar's refresh, the list's selection status; items without a command
    // of their own stay hidden, and the tool buttons show their hints as tool-tips.
    PopupMenu_MenuFile->OnPopup = Method(this, &TForm_Central::PopupMenu_MenuFilePopup);
    PopupMenu_MenuEdit->OnPopup = Method(this, &TForm_Central::PopupMenu_MenuEditPopup);
    PopupMenu_MenuView->OnPopup = Method(this, &TForm_Central::PopupMenu_MenuViewPopup);
    PopupMenu_MenuMirror->OnPopup = Method(this, &TForm_Central::PopupMenu_MenuMirrorPopup);
    PopupMenu_MenuServer->OnPopup = Method(this, &TForm_Central::PopupMenu_MenuServerPopup);
    PopupMenu_MenuTool->OnPopup = Method(this, &TForm_Central::PopupMenu_MenuToolPopup);
    PopupMenu_MenuHelp->OnPopup = Method(this, &TForm_Central::PopupMenu_MenuHelpPopup);
    PopupMenu_RightClick->OnPopup = Method(this, &TForm_Central::PopupMenu_RightClickPopup);
    ListView->OnChange = Method(this, &TForm_Central::ListViewChange);
    ToolButton_Refresh->OnClick = Method(this, &TForm_Central::ToolButton_RefreshClick);
    const auto bind = [](std::initializer_list<TComponent*> controls, TNotifyEvent event) {
        for (TComponent* control : controls) {
            if (auto* item = dynamic_cast<TMenuItem*>(control))
                item->OnClick = event;
            else if (auto* button = dynamic_cast<TToolButton*>(control))
                button->OnClick = event;
        }
    };
    bind({MenuItem_MenuMirror, MenuItem_RightMirror, ToolButton_Mirror},
         Method(this, &TForm_Central::MenuItem_MenuMirrorClick));
    bind({MenuItem_MenuBuild, MenuItem_RightBuildImage, ToolButton_Build},
         Method(this, &TForm_Central::MenuItem_MenuBuildClick));
    bind({MenuItem_MenuBuildISO}, Method(this, &TForm_Central::MenuItem_MenuBuildFromISOClick));
    bind({MenuItem_MenuRecordCD, MenuItem_RightRecordCD},
         Method(this, &TForm_Central::MenuItem_MenuRecordCDClick));
    bind({MenuItem_MenuCDHImgConverter},
         Method(this, &TForm_Central::MenuItem_MenuCDHImgConverterClick));
    bind({MenuItem_MenuServerQuickSetup, MenuItem_RightServerQuickSetup,
          ToolButton_ServerQuickSetup},
         Method(this, &TForm_Central::MenuItem_MenuServerQuickSetupClick));
    bind({MenuItem_MenuHdInitialize}, Method(this, &TForm_Central::MenuItem_MenuHdInitializeClick));
    bind({MenuItem_MenuWizard, ToolButton_Wizard},
         Method(this, &TForm_Central::MenuItem_MenuWizardClick));
    bind({MenuItem_MenuExport, MenuItem_MenuImport},
         Method(this, &TForm_Central::MenuItem_MenuImportExportSetClick));
    bind({MenuItem_RightExport, MenuItem_RightImport},
         Method(this, &TForm_Central::MenuItem_RightImportExportClick));
    bind({MenuItem_MenuBrowse, MenuItem_RightBrowse},
         Method(this, &TForm_Central::MenuItem_MenuBrowseClick));
    bind({MenuItem_MenuExplore, MenuItem_RightExplore},
         Method(this, &TForm_Central::MenuItem_MenuExploreClick));
    bind({MenuItem_MenuValidate, MenuItem_RightValidate},
         Method(this, &TForm_Central::MenuItem_MenuValidateClick));
    bind({MenuItem_MenuProperty, MenuItem_RightProperty},
         Method(this, &TForm_Central::MenuItem_MenuPropertyClick));
    bind({MenuItem_MenuShutdown}, Method(this, &TForm_Central::MenuItem_MenuShutdownClick));
    bind({MenuItem_MenuReset}, Method(this, &TForm_Central::MenuItem_MenuResetClick));
    bind({MenuItem_MenuApCfg}, Method(this, &TForm_Central::MenuItem_MenuApCfgClick));
    bind({MenuItem_MenuTaskManager, ToolButton_TaskManager},
         Method(this, &TForm_Central::MenuItem_MenuTaskManagerClick));
    bind({MenuItem_MenuAbout}, Method(this, &TForm_Central::MenuItem_MenuAboutClick));
    bind({MenuItem_MenuVeskarWeb, ToolButton_VeskarWeb},
         Method(this, &TForm_Central::MenuItem_MenuVeskarWebClick));
    bind({MenuItem_MenuVeskarEmail}, Method(this, &TForm_Central::MenuItem_MenuVeskarEmailClick));
    bind({MenuItem_MenuHelpContent}, Method(this, &TForm_Central::MenuItem_MenuHelpContentClick));
    bind({MenuItem_MenuHelpIndex}, Method(this, &TForm_Central::MenuItem_MenuHelpIndexClick));
    bind({ToolButton_HelpBook}, Method(this, &TForm_Central::MenuItem_MenuOnlineHelpClick));
    for (TMenuItem* hidden :
         {MenuItem_MenuCopy, MenuItem_MenuCut, MenuItem_MenuHelpContent, MenuItem_MenuVeskarWeb,
          MenuItem_MenuVeskarEmail, MenuItem_RightExport, MenuItem_RightImport,
          MenuItem_RightBrowseNAS, MenuItem_RightExplorNAS})
        hidden->SetVisible(false);
    ToolButton_VeskarWeb->SetVisible(false);
    for (TToolButton* button :
         {ToolButton_Refresh,   ToolButton_Updir,         ToolButton_TreeMode,
          ToolButton_ListMode,  ToolButton_SaveContainer, ToolButton_LoadContainer,
          ToolButton_Mirror,    ToolButton_Build,         ToolButton_ServerQuickSetup,
          ToolButton_Wizard,    ToolButton_TaskManager,   ToolButton_HelpBook,
          ToolButton_VeskarWeb, ToolButton_FileMenu,      ToolButton_EditMenu,
          ToolButton_ViewMenu,  ToolButton_MirrorMenu,    ToolButton_ServerMenu,
          ToolButton_ToolMenu,  ToolButton_HelpMenu})
        button->SetShowHint(true);

    InitState();
}
