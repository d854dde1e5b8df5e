// TForm_Central: the main window. It owns the navigation tree and the list view, the server list,
// the announcement socket and the settings record; this header is the table of contents of the
// window: its components (made by the form description), its state and its handlers. The list
// view fill, sorting and the server nodes are free functions of their own headers that take the
// window (listview_*.h, server_nodes*.h).
#pragma once

#include "folder_reader.h"
#include "inidata.h"
#include "nassvrnet.h"
#include "node_kinds.h"
#include "remote_prober.h"
#include "remotenas.h"

#include "vcl/dialogs.h"
#include "vcl/ext_controls.h"
#include "vcl/form.h"
#include "vcl/image_list.h"
#include "vcl/list_view.h"
#include "vcl/timer.h"
#include "vcl/tree_view.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vcl {
class TStatusBar;
class TToolBar;
class TToolButton;
class TSplitter;
class TPopupMenu;
class TMenuItem;
class THintWindow;
class TIniFile;
} // namespace vcl
class TDropFileTarget;
class ContainerTreeBinding;
struct _CDH_CIS_RECORD_;
struct _CDH_CIS_FILE_INFO_STRUCT_;
class TCDEvents;
class CNasServer;
class TFmWizard; // the wizard (commands_wizard.cpp)
class TWizardHost;
class TProfileSettingHost;
struct CommandTarget;
class TCdhSvr;

// Node kinds: a tree node's or list row's image index in ImageList_TreeView.
enum NodeKind : int {
    nkNone = 0,
    nkDesktop = 1,
    nkContainerSaved = 2,    // My Container, loaded or saved and unchanged
    nkContainerModified = 3, // My Container, changed since
    nkContainerEmpty = 4,    // My Container before the first container
    nkContainerFolder = 5,
    nkContainerFolderSelected = 6,
    nkContainerFileNoIcon = 7,
    nkCdhRoot = 14,
    nkMyComputer = 33,
    nkCdDrive = 34,
    nkDiscOther = 35,
    nkDiscData = 36,
    nkDiscVideo = 37,
    nkDiscAudio = 38,
    nkNasServers = 52,
    nkNasServer = 53,
    nkNasNetwork = 54,
    nkRemoteUnanswered = 55,
    nkNasServerFactory = 56, // a NAS server still at its factory address
    nkCdImage = 57,
    nkImageFolder = 58,
    nkRemoteServers = 59,
    nkFirstShellIcon = 60,
};

// One entry of the file-icon cache: a file extension and the image index given to its icon.
struct _SYS_ICON_USE {
    std::string Extension;
    int ImageIndex = 0;
};
inline constexpr int kFileIconCacheSize = 120;

class TForm_Central : public vcl::TForm {
public:
    // Makes the components (the form's description) and the window's own state.
    explicit TForm_Central(vcl::TComponent* Owner);
    ~TForm_Central() override;

    // Components, in the order the description makes them.
    vcl::TStatusBar* StatusBar = nullptr;
    vcl::TPanel* Panel_Top = nullptr;
    vcl::TPanel* Panel_MainMenu = nullptr;
    vcl::TPanel* Panel_AnimatorBorder = nullptr;
    vcl::TPanel* Panel_Animator = nullptr;
    vcl::TImage* Image_Animation = nullptr;
    vcl::TPanel* Panel_Menu = nullptr;
    vcl::TToolBar* ToolBar_Menu = nullptr;
    vcl::TToolButton *ToolButton_FileMenu = nullptr, *ToolButton_EditMenu = nullptr,
                     *ToolButton_ViewMenu = nullptr, *ToolButton_MirrorMenu = nullptr,
                     *ToolButton_ServerMenu = nullptr, *ToolButton_ToolMenu = nullptr,
                     *ToolButton_HelpMenu = nullptr;
    vcl::TPanel* Panel_MainTool = nullptr;
    vcl::TToolBar* ToolBar = nullptr;
    vcl::TToolButton *ToolButton_Refresh = nullptr, *ToolButton_Updir = nullptr,
                     *ToolButton1 = nullptr, *ToolButton_TreeMode = nullptr,
                     *ToolButton_ListMode = nullptr, *ToolButton2 = nullptr,
                     *ToolButton_SaveContainer = nullptr, *ToolButton_LoadContainer = nullptr,
                     *ToolButton3 = nullptr, *ToolButton_Mirror = nullptr,
                     *ToolButton_Build = nullptr, *ToolButton_ServerQuickSetup = nullptr,
                     *ToolButton4 = nullptr, *ToolButton_Wizard = nullptr,
                     *ToolButton_TaskManager = nullptr, *ToolButton5 = nullptr,
                     *ToolButton_HelpBook = nullptr, *ToolButton_VeskarWeb = nullptr;
    vcl::TPanel* Panel_MainArea = nullptr;
    vcl::TPanel* Panel_TreeView = nullptr;
    vcl::TTreeView* TreeView = nullptr;
    vcl::TSplitter* Splitter_Area = nullptr;
    vcl::TPanel* Panel_ListView = nullptr;
    vcl::TListView* ListView = nullptr;

    // Menus that the menu-bar buttons drop down, and the two that pop up on their own.
    vcl::TPopupMenu *PopupMenu_MenuFile = nullptr, *PopupMenu_MenuEdit = nullptr,
                    *PopupMenu_MenuView = nullptr, *PopupMenu_MenuMirror = nullptr,
                    *PopupMenu_MenuServer = nullptr, *PopupMenu_MenuTool = nullptr,
                    *PopupMenu_MenuHelp = nullptr, *PopupMenu_TreeModeButton = nullptr,
                    *PopupMenu_ListModeButton = nullptr, *PopupMenu_DragDrop = nullptr,
                    *PopupMenu_RightClick = nullptr;
    // File menu.
    vcl::TMenuItem *MenuItem_MenuNewFolder = nullptr, *MenuItem_MenuRename = nullptr,
                   *MenuItem_MenuDelete = nullptr, *RemoteNASList1 = nullptr,
                   *MenuItem_MenuProperty = nullptr, *MenuItem_MenuExit = nullptr;
    // Edit menu.
    vcl::TMenuItem *MenuItem_MenuCopy = nullptr, *MenuItem_MenuCut = nullptr,
                   *MenuItem_MenuPaste = nullptr, *MenuItem_MenuSelectAll = nullptr,
                   *MenuItem_MenuInverseSelect = nullptr;
    // View menu.
    vcl::TMenuItem *MenuItem_MenuRefresh = nullptr, *MenuItem_MenuUpDirectory = nullptr,
                   *MenuItem_MenuExpand = nullptr, *MenuItem_MenuShrink = nullptr,
                   *MenuItem_MenuLarge = nullptr, *MenuItem_MenuSmall = nullptr,
                   *MenuItem_MenuList = nullptr, *MenuItem_MenuDetail = nullptr,
                   *MenuItem_MenuStatusBar = nullptr, *MenuItem_MenuToolBar = nullptr;
    // Tree-mode and list-mode button menus.
    vcl::TMenuItem *MenuItem_ExpandByButton = nullptr, *MenuItem_ShrinkByButton = nullptr,
                   *MenuItem_LargeByButton = nullptr, *MenuItem_SmallByButton = nullptr,
                   *MenuItem_ListByButton = nullptr, *MenuItem_DetailByButton = nullptr;
    // Mirror menu.
    vcl::TMenuItem *MenuItem_MenuMirror = nullptr, *MenuItem_MenuBuild = nullptr,
                   *MenuItem_MenuBuildISO = nullptr, *MenuItem_MenuRecordCD = nullptr,
                   *MenuItem_MenuCDHImgConverter = nullptr, *MenuItem_MenuNewContainer = nullptr,
                   *MenuItem_MenuLoadContainer = nullptr, *MenuItem_MenuSaveContainer = nullptr,
                   *MenuItem_MenuSaveContainerAs = nullptr, *MenuItem_MenuValidate = nullptr;
    // Server menu.
    vcl::TMenuItem *MenuItem_MenuServerQuickSetup = nullptr, *MenuItem_MenuHdInitialize = nullptr,
                   *N1 = nullptr, *MenuItem_MenuShutdown = nullptr, *MenuItem_MenuReset = nullptr,
                   *MenuItem_MenuDisable = nullptr, *MenuItem_MenuBrowse = nullptr,
                   *MenuItem_MenuExplore = nullptr, *MenuItem_MenuExport = nullptr,
                   *MenuItem_MenuImport = nullptr;
    // Tools and Help menus.
    vcl::TMenuItem *MenuItem_MenuWizard = nullptr, *MenuItem_MenuTaskManager = nullptr,
                   *MenuItem_MenuApCfg = nullptr, *MenuItem_MenuHelpContent = nullptr,
                   *MenuItem_MenuHelpIndex = nullptr, *MenuItem_MenuVeskarWeb = nullptr,
                   *MenuItem_MenuVeskarEmail = nullptr, *MenuItem_MenuAbout = nullptr;
    // Drag-and-drop and right-click menus.
    vcl::TMenuItem *MenuItem_DragDropMove = nullptr, *MenuItem_DragDropCopy = nullptr,
                   *MenuItem_DragDropCancel = nullptr;
    vcl::TMenuItem *MenuItem_RightPaste = nullptr, *MenuItem_RightMirror = nullptr,
                   *MenuItem_RightExplore = nullptr, *MenuItem_RightBrowse = nullptr,
                   *MenuItem_RightServerQuickSetup = nullptr, *MenuItem_RightBuildImage = nullptr,
                   *MenuItem_RightValidate = nullptr, *MenuItem_RightNewFolder = nullptr,
                   *MenuItem_RightRename = nullptr, *MenuItem_RightDisable = nullptr,
                   *MenuItem_RightDelete = nullptr, *MenuItem_RightRefresh = nullptr,
                   *MenuItem_RightProperty = nullptr, *MenuItem_RightRecordCD = nullptr,
                   *MenuItem_RightExport = nullptr, *MenuItem_RightImport = nullptr,
                   *MenuItem_RightBrowseNAS = nullptr, *MenuItem_RightExplorNAS = nullptr;

    vcl::TOpenDialog* OpenDialog = nullptr;
    vcl::TSaveDialog* SaveDialog = nullptr;
    vcl::TTimer *Timer_GetDateTime = nullptr, *Timer_Refresh = nullptr,
                *Timer_CallFunction = nullptr, *Timer_AutoScroll = nullptr, *Timer_Hint = nullptr,
                *Timer_Animation = nullptr, *Timer_ABSENT = nullptr;
    TDropFileTarget *DropFileTarget_TreeView = nullptr, *DropFileTarget_ListView = nullptr;
    TCDEvents* CDEvent = nullptr;
    vcl::TImageList* ImageList_TreeView = nullptr;      // 16 x 16; index = node kind
    vcl::TImageList* ImageList_ListViewLarge = nullptr; // 32 x 32
    vcl::TImageList* ImageList_ToolBar = nullptr;       // 32 x 32

    // The server tool-tip window (owned by the form).
    vcl::THintWindow* ServerHintWindow = nullptr;

    // The skeleton of the tree (null until BuildTreeView made them).
    vcl::TTreeNode* DesktopNode = nullptr;
    vcl::TTreeNode* MyComputerNode = nullptr;
    vcl::TTreeNode* MyContainerNode = nullptr;
    vcl::TTreeNode* NasNetworkNode = nullptr;
    vcl::TTreeNode* NasServersNode = nullptr;
    vcl::TTreeNode* RemoteServersNode = nullptr;
    vcl::TTreeNode* CdhRootNode = nullptr; // the CD-server branch is never built

    CNASSvrNet NasSvrNet; // the server list
    _INI_DATA_ IniData;   // the settings record
    _SYS_ICON_USE FileIconCache[kFileIconCacheSize];
    int LastIconIndex = nkFirstShellIcon;

    // Selection, rename and busy state of the tree and the list.
    bool FormReady = true;         // false while starting and while drive nodes refill
    bool RenameAborted = false;    // set at close: a rename in progress is abandoned
    bool RenameInProgress = false; // an in-place rename of a container entry runs
    bool ListRefreshing = false;   // the selection pipeline runs
    bool PopupSelecting = false;   // a right-clicked node is selected for its menu only
    bool TreeLeftButtonDown = false;
    vcl::TTreeNode* RightClickNode = nullptr;
    vcl::TTreeNode* DraggedNode = nullptr;
    vcl::TTreeNode* HintedNode = nullptr; // the server node whose tool-tip was shown last
    int ShownListLayout = 0; // list layout of the node the selection last left; at start the
                             // Desktop's, whose columns the form description makes

    // Whether My Container was not loaded from a file (a new container): saving asks for a name.
    bool ContainerUntitled = true;

    // What later parts of the program hand the window (each may stay empty): the task manager's
    // task count and its stopping of every task (asked at close; when empty the window asks the
    // task manager itself).
    std::function<int()> TaskCount;
    std::function<void()> StopAllTasks;

    // ---- Life cycle and settings ----
    void FormCreate(vcl::TObject* Sender);
    void FormShow(vcl::TObject* Sender);
    // Ends the splash at the first paint; the remote list is taken from the tree once.
    void FormPaint(vcl::TObject* Sender);
    void FormCloseQuery(vcl::TObject* Sender, bool& CanClose);
    void FormClose(vcl::TObject* Sender, vcl::TCloseAction& Action);
    void FormDestroy(vcl::TObject* Sender);
    void SetDefaultSettings();
    // Reads the INI file; a settings folder that cannot be written to is told at start.
    void LoadSettings();
    // Writes the INI file; an error is raised, unless the folder was found unwritable at start
    // (the user was told then).
    void SaveSettings();
    // Builds the tree and binds the announcement socket; false when the port is taken (the
    // program then ends without asking or writing the INI file).
    bool InitNetwork();
    // The actions of the first idle moment (once per run).
    void ApplicationIdleStartup();
    // The INI file: the program folder's "brimlet.ini".
    static std::string IniFilePath();

    // ---- The tree ----
    void BuildTreeView();
    void TreeViewChange(vcl::TObject* Sender, vcl::TTreeNode* Node);
    void TreeViewChanging(vcl::TObject* Sender, vcl::TTreeNode* Node, bool& AllowChange);
    void TreeViewClick(vcl::TObject* Sender);
    void TreeViewMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift,
                           int X, int Y);
    void TreeViewMouseUp(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift,
                         int X, int Y);
    void TreeViewMouseMove(vcl::TObject* Sender, vcl::TShiftState Shift, int X, int Y);
    void TreeViewKeyDown(vcl::TObject* Sender, vcl::TKey& Key, vcl::TShiftState Shift);
    // Runs a menu command as its key does, when the command's menu would offer it now.
    void RunCommand(vcl::TMenuItem* Item, vcl::TObject* Sender);
    void TreeViewExpanding(vcl::TObject* Sender, vcl::TTreeNode* Node, bool& AllowExpansion);
    void TreeViewCompare(vcl::TObject* Sender, vcl::TTreeNode* Node1, vcl::TTreeNode* Node2,
                         int Data, int& Compare);
    void CDEventAfterArrival(vcl::TObject* Sender, char Letter);
    void CDEventAfterRemove(vcl::TObject* Sender, char Letter);
    // The selection pipeline for the current selection.
    void MyTreeViewChange();
    void CheckCdromDisc();
    void RefreshAllCdrom();
    void RefreshCdromView();
    void RefreshCdrom(char Letter);
    vcl::TTreeNode* AddNodeCdrom(char Letter);
    void UpdateNodeCdrom(vcl::TTreeNode* Node, char Letter);
    void BuildListMyComputer();
    void BuildListCdrom(char Letter);
    static int NodeKindToListLayout(int Kind);
    void RefreshTreeNode(vcl::TTreeNode* Node);
    // Look-ups (they never process pending events).
    vcl::TTreeNode* FindChildNodeByData(vcl::TTreeNode* Parent, const void* Data) const;
    vcl::TTreeNode* FindChildNodeByText(vcl::TTreeNode* Parent, const std::string& Text) const;
    // The child of Parent that shows Server's unit (its handle), else one of the same name and
    // LAN 1 address; null when none does.
    vcl::TTreeNode* FindServerNode(vcl::TTreeNode* Parent, const CNasServer& Server) const;
    // The listed unit that a tree node's or list row's data names (a share); empty when the data
    // names no listed unit.
    CNASSvrNet::ServerPtr UnitOf(const void* Data) const;
    void UpdateWindowCaption();
    // The server tool-tip text; Width its longest line in characters, Height in pixels.
    std::string ServerInfoToHint(const CNasServer& Server, int& Width, int& Height);
    // Status bar text for the selected node.
    void UpdateTreeStatusBar();
    // The first panel takes the status bar's width but 350.
    void StatusBarResize(vcl::TObject* Sender);
    // A server is about to go: every pointer of the window to its nodes is cleared, and its rows
    // leave the list.
    void ForgetServer(NasUnitHandle Unit);
    // True, after telling the user, when a unit that a command held across a box or a prompt
    // has left the server lists meanwhile.
    bool UnitGone(NasUnitHandle Unit, const std::string& Name);
    // A tree node is about to go: pointers of the window to it are cleared (the tree's
    // OnDeletion, TreeViewDeletion, calls it for every node deleted).
    void ForgetNode(vcl::TTreeNode* Node);
    void TreeViewDeletion(vcl::TObject* Sender, vcl::TTreeNode* Node);
    // Deletes a node; when the selection goes with it, the node's parent is selected first.
    void DeleteTreeNode(vcl::TTreeNode* Node);

    // ---- Timers ----
    void Timer_GetDateTimeTimer(vcl::TObject* Sender);
    void Timer_HintTimer(vcl::TObject* Sender);

    // ---- Commands the life cycle needs ----
    // Saves My Container; true when it was written (or there was nothing to save).
    bool SaveContainer();
    void MenuItem_MenuSaveContainerClick(vcl::TObject* Sender);
    void MenuItem_MenuExitClick(vcl::TObject* Sender);
    void MenuItem_MenuNASListClick(vcl::TObject* Sender);

    // ---- List view and server nodes ----
    vcl::TListItem* RightClickItem = nullptr;
    bool ListLeftButtonDown = false;
    bool ListDragging = false;
    // The records of the image rows in the list (each row's data points at one); replaced by the
    // next image list fill, after the list has been emptied.
    std::vector<NasImgInfo> ListedImages;
    // List events (listview_events.cpp): a header click sorts by the column, rows compare by the
    // column's kind of content, a double click opens the row's node.
    void ListViewColumnClick(vcl::TObject* Sender, vcl::TListColumn* Column);
    void ListViewCompare(vcl::TObject* Sender, vcl::TListItem* Item1, vcl::TListItem* Item2,
                         int Data, int& Compare);
    void ListViewDblClick(vcl::TObject* Sender);
    // A press notes the row under a right press and the point of a left press (the row a double
    // click opens); a right release pops up the right-click menu.
    void ListViewMouseDown(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift,
                           int X, int Y);
    void ListViewMouseUp(vcl::TObject* Sender, vcl::TMouseButton Button, vcl::TShiftState Shift,
                         int X, int Y);
    vcl::TPoint ListPressPoint; // client point of the last left press in the list
    int ClockPanelWidth = 0;    // what the date and time have needed in the status bar so far
    // ---- end of list view and server nodes ----

    // ---- Commands II, command state and CD-server nodes (command_state.cpp, status_text.cpp,
    // commands_wizard.cpp, commands_tools.cpp, cdserver_nodes.cpp) ----
    // The kind rules with this window's shell kinds, and the two that need the window: Paste
    // (both drop targets hold files) and Record CD (the image folder's unit has a CD drive).
    KindRules Kinds() const { return KindRules{LastIconIndex}; }
    bool KindAllowsPaste(int kind) const;
    bool KindAllowsRecordCd(int kind) const;
    // What a main-menu command acts on: case 1 the tree's node, 2 one list row, 3 several rows,
    // 4 the tree's node with the list focused and empty-handed, 5 nothing (kind 0).
    struct ActingSelection {
        int Case = 5;
        int Kind = 0;
        std::vector<int> Kinds; // case 3: the kinds of the selected rows, in order
    };
    ActingSelection GetActingSelection() const;
    void PopupMenu_MenuFilePopup(vcl::TObject* Sender);
    void PopupMenu_MenuEditPopup(vcl::TObject* Sender);
    void PopupMenu_MenuViewPopup(vcl::TObject* Sender);
    void PopupMenu_MenuMirrorPopup(vcl::TObject* Sender);
    void PopupMenu_MenuServerPopup(vcl::TObject* Sender);
    void PopupMenu_MenuToolPopup(vcl::TObject* Sender);
    void PopupMenu_MenuHelpPopup(vcl::TObject* Sender);
    void PopupMenu_RightClickPopup(vcl::TObject* Sender);
    void ListViewChange(vcl::TObject* Sender, vcl::TListItem* Item, vcl::TItemChange Change);
    // Status text of the list selection (the tree's text without one).
    void UpdateListStatusBar();
    // Refresh of one node by its kind (View > Refresh).
    void RefreshByNodeKind(vcl::TTreeNode* Node);
    void ToolButton_RefreshClick(vcl::TObject* Sender);
    // Commands that open the wizard (commands_wizard.cpp).
    void MenuItem_MenuMirrorClick(vcl::TObject* Sender);
    void MenuItem_MenuBuildClick(vcl::TObject* Sender);
    void MenuItem_MenuBuildFromISOClick(vcl::TObject* Sender);
    void MenuItem_MenuRecordCDClick(vcl::TObject* Sender);
    void MenuItem_MenuCDHImgConverterClick(vcl::TObject* Sender);
    void MenuItem_MenuServerQuickSetupClick(vcl::TObject* Sender);
    void MenuItem_MenuHdInitializeClick(vcl::TObject* Sender);
    void MenuItem_MenuWizardClick(vcl::TObject* Sender);
    // Server, tool and help commands (commands_tools.cpp).
    void MenuItem_MenuImportExportSetClick(vcl::TObject* Sender);
    void MenuItem_RightImportExportClick(vcl::TObject* Sender);
    // "Can't open ADDRESS": what the web page and share commands say when nothing opened it.
    void CannotOpen(const std::string& Address);
    void MenuItem_MenuBrowseClick(vcl::TObject* Sender);
    void MenuItem_MenuExploreClick(vcl::TObject* Sender);
    void MenuItem_MenuValidateClick(vcl::TObject* Sender);
    // Validates "My Container"; a command of the user's says so when there is nothing in it.
    void ValidateMyContainer(bool sayWhenEmpty);
    void MenuItem_MenuPropertyClick(vcl::TObject* Sender);
    void MenuItem_MenuShutdownClick(vcl::TObject* Sender);
    void MenuItem_MenuResetClick(vcl::TObject* Sender);
    void MenuItem_MenuApCfgClick(vcl::TObject* Sender);
    void MenuItem_MenuTaskManagerClick(vcl::TObject* Sender);
    void MenuItem_MenuAboutClick(vcl::TObject* Sender);
    void MenuItem_MenuVeskarWebClick(vcl::TObject* Sender);
    void MenuItem_MenuVeskarEmailClick(vcl::TObject* Sender);
    void MenuItem_MenuHelpContentClick(vcl::TObject* Sender);
    void MenuItem_MenuHelpIndexClick(vcl::TObject* Sender);
    void MenuItem_MenuOnlineHelpClick(vcl::TObject* Sender);
    // The CD-server branch (cdserver_nodes.cpp). Its root, CdhRootNode, is never built: each
    // operation checks it first and returns what it gives without a branch.
    int ShowCdhResult(int Result, const std::string& Text);
    int BuildCdhServerTree(); // server node count; -1 without root or found none, -2
    int RefreshCdhServers();  // 0 without root
    int RefreshCdhServerNode(TCdhSvr* Server);  // -1 without root or node
    int RefreshCdhDeviceNodes(TCdhSvr* Server); // -1 without root or node, 0 failed
    vcl::TTreeNode* BuildCdhServerNode(TCdhSvr* Server);
    void UpdateCdhServerNode(vcl::TTreeNode* Node, TCdhSvr* Server);
    void DeleteCdhServerNode(TCdhSvr* Server);
    void PruneServerNodes();
    // A device node (slot 0-7, RAID volume 8-11) below the server's node: made, or brought up
    // to date with the server's record; null or false when the slot holds no device.
    vcl::TTreeNode* BuildCdhDeviceNode(TCdhSvr* Server, int Slot);
    bool UpdateCdhDeviceNode(vcl::TTreeNode* Node);
    // Step 2 of the selection pipeline: re-reads the selected CD-server node's server, device
    // or share list; may change the selection.
    void RefreshSelectedNode();
    // The list of the CD-server branch's nodes (cdserver_lists.cpp): the servers (layout 4), a
    // server's devices (5), a device's entries or backup sets (6), the share folders (7).
    void ListCdhServers();
    void ListCdhDevices(TCdhSvr* Server);
    void ListCdhImages(TCdhSvr* Server, vcl::TTreeNode* Device);
    void ListCdhSystemItems(TCdhSvr* Server);
    // Shut down (or restart) the CD server a command targets.
    void ShutdownCdhServer(const CommandTarget& Target, bool Restart);
    // The property sheet of a kind with its data and its parent's data.
    void ShowPropertyDialog(int Kind, void* Data, void* ParentData);
    // The wizard, made on first use with this window as its host; null when it cannot be made.
    TFmWizard* Wizard();
    // A disc arrived or went: the shown wizard's drive list is built again.
    void WizardDrivesChanged();
    // The refresh timer's part for the shown wizard: page 8's server list is filled again.
    void RefreshWizardServerDetail();
    // ---- end of commands II, command state and CD-server nodes ----
    // ---- Timers and announcement listener (central_timers.cpp, announce_listener.cpp) ----
    void Timer_RefreshTimer(vcl::TObject* Sender);
    void Timer_AutoScrollTimer(vcl::TObject* Sender);
    void Timer_ABSENTTimer(vcl::TObject* Sender);
    // Takes one datagram that reached the announcement port from sender (host order): what it
    // proves about its unit changes the server list, the tree, the list and the open forms.
    void TakeAnnouncement(std::span<const std::uint8_t> Datagram, std::uint32_t Sender);
    // True for a repeat of the last sender within 10 s; renews the last-sender record.
    bool IsDuplicateAnnouncement(std::span<const std::uint8_t> Datagram);
    // The open wizard lets go of a server that went off-line (called once its node is gone).
    void DropAnnouncedServer(CNasServer* Server, const std::string& Text);
    // Rebuilds the "NAS Servers" branch from the found list as it stands (no discovery) and
    // fills the list again when it shows the units or a unit's folders, or the selection moved;
    // never an image folder's list, which would ask the unit.
    void ShowServersAsListed();
    // Has the image folders of a found unit with CD images read away from the GUI thread.
    void QueueFolderRead(const CNasServer& Server);
    // Found units whose image folders are queued or being read, or not yet shown.
    std::size_t FolderReadsPending() const;
    // A found unit's image folders, read away from the GUI thread, reach its object and node
    // (nothing when the unit has gone meanwhile).
    void ImageFoldersRead(const TFolderReader::Answer& Answer);
    // Queues the probe of a remote NAS list address; false when it could not be queued.
    bool QueueRemoteProbe(std::uint32_t Address);
    // Remote NAS list addresses queued or being asked.
    std::size_t RemoteProbesPending() const;
    // The answer of a remote address (server_nodes.cpp): its node under "Remote Servers" shows
    // the unit, or the address as unanswered; a unit that discovery finds leaves the list.
    void RemoteServerAnswered(const TRemoteProber::Answer& Answer);
    // Frees the retired units that nothing shares. Controls hold units by handle, so this runs
    // at every tick, also while a box, the wizard or the settings-profile window is open.
    void SweepRetiredServers();
    bool TreeDragging = false;     // a drag started in the tree is in progress
    int RefreshTicks = 0;          // refresh timer ticks since the last refresh
    int QuietPolls = 0;            // announcement polls that found nothing since the last release
    bool TimerWorkRunning = false; // a refresh or a listener tick is at work
    // ---- end of timers and announcement listener ----

    // ---- My Container: view, adding host files, commands, dragging (container_*.cpp,
    // tree_drag.cpp) ----
    using CisRecord = _CDH_CIS_RECORD_;
    using CisFileInfo = _CDH_CIS_FILE_INFO_STRUCT_;
    // Bits of the current add, paste, drop or move run.
    static constexpr std::uint32_t kDropReplaceAll = 0x1, kDropSkipAllConflicts = 0x2,
                                   kDropReplaceNone = 0x100, kDropAbort = 0x1000;
    std::uint32_t DropFlags = 0;
    // The container of the file (empty: a new one) into My Container, with its folder nodes.
    void LoadContainerTree(const std::string& FileName);
    void RefreshContainerTree();
    void RebuildContainerTree();
    vcl::TTreeNode* RebuildContainerSubtree(vcl::TTreeNode* Parent, CisRecord* Record);
    vcl::TTreeNode* AddContainerSubtree(vcl::TTreeNode* Parent, CisRecord* Record);
    void SortNodeRecursive(vcl::TTreeNode* Node);
    vcl::TTreeNode* AddContainerFolderNode(vcl::TTreeNode* Parent, CisRecord* Record);
    void SetContainerNodeText(vcl::TTreeNode* Node);
    void MarkContainerModified();
    void BuildListContainer(vcl::TTreeNode* Node);
    vcl::TListItem* AddContainerListItem(CisRecord* Record);
    void UpdateContainerListItem(vcl::TListItem* Item);
    int ContainerListCompare(vcl::TListItem* Item1, vcl::TListItem* Item2);
    // Moves one entry (a folder node or a list row) into the folder of Target.
    bool DropFilesOnContainer(vcl::TTreeNode* SourceNode, vcl::TListItem* SourceItem,
                              vcl::TTreeNode* Target);
    bool CanDropOnNode(int DraggedKind, int TargetKind) const;
    bool IsContainerEntryKind(int Kind) const;
    bool RenameContainerNode(vcl::TTreeNode* Node);
    bool RenameContainerItem(vcl::TListItem* Item);
    bool CheckContainerMirroring(const std::string& Text);
    void PasteToContainerNode(vcl::TTreeNode* Node);
    void PasteToContainerItem(vcl::TListItem* Item);
    // The container folder node that a paste or drop on a list row (or none) goes to.
    vcl::TTreeNode* ContainerTargetOfItem(vcl::TListItem* Item);
    // Adds the host paths under the folder node, with the wait page and the window disabled.
    void AddPathsToContainer(vcl::TTreeNode* Target, const std::vector<std::string>& Paths);
    void ClearContainer();
    void DeleteContainerNode(vcl::TTreeNode* Node);
    void DropFileTarget_TreeViewDragOver(vcl::TObject* Sender, vcl::TShiftState Shift,
                                         const vcl::TPoint& Point, int& Effect);
    void DropFileTarget_TreeViewDrop(vcl::TObject* Sender, vcl::TShiftState Shift,
                                     const vcl::TPoint& Point, int& Effect);
    void DropFileTarget_TreeViewLeave(vcl::TObject* Sender);
    void DropFileTarget_ListViewDragOver(vcl::TObject* Sender, vcl::TShiftState Shift,
                                         const vcl::TPoint& Point, int& Effect);
    void DropFileTarget_ListViewDrop(vcl::TObject* Sender, vcl::TShiftState Shift,
                                     const vcl::TPoint& Point, int& Effect);
    // Adding host files (container_add.cpp).
    void AddFilesToContainer(vcl::TTreeNode* FolderNode, const std::string& Path);
    bool AskReplaceEntry(CisRecord* Existing, const CisFileInfo& Info);
    bool AskReplaceEntryByRecord(CisRecord* Existing, const CisRecord* Record);
    int GetFileIconIndex(const CisRecord* Record);
    bool IsValidFileSource(const std::string& Path, CisFileInfo& Info);
    // Commands (container_commands.cpp).
    void MenuItem_MenuNewFolderClick(vcl::TObject* Sender);
    void MenuItem_MenuRenameClick(vcl::TObject* Sender);
    void MenuItem_MenuDeleteClick(vcl::TObject* Sender);
    void MenuItem_MenuPasteClick(vcl::TObject* Sender);
    void MenuItem_MenuSelectAllClick(vcl::TObject* Sender);
    void MenuItem_MenuInverseSelectClick(vcl::TObject* Sender);
    void MenuItem_MenuRefreshClick(vcl::TObject* Sender);
    void MenuItem_MenuUpDirectoryClick(vcl::TObject* Sender);
    void MenuItem_MenuExpandClick(vcl::TObject* Sender);
    void MenuItem_MenuLargeClick(vcl::TObject* Sender);
    void MenuItem_MenuStatusBarClick(vcl::TObject* Sender);
    void MenuItem_MenuToolBarClick(vcl::TObject* Sender);
    void MenuItem_MenuNewContainerClick(vcl::TObject* Sender);
    void MenuItem_MenuLoadContainerClick(vcl::TObject* Sender);
    void MenuItem_MenuSaveContainerAsClick(vcl::TObject* Sender);
    void MenuItem_DragDropMoveClick(vcl::TObject* Sender);
    void MenuItem_DragDropCopyClick(vcl::TObject* Sender);
    void MenuItem_DragDropCancelClick(vcl::TObject* Sender);
    // 0 use the name, -1 give up, -2 ask again.
    int PrepareSaveFileName(std::string& Name, const std::string& Extension);
    bool SaveContainerAs();
    void DeleteContainerTreeNode(vcl::TTreeNode* Node);
    void DeleteSelectedListItems();
    // Asks the question, then deletes the selected image rows' images from their unit.
    void DeleteSelectedImages(const std::string& Question);
    // Deletes the images of those identifiers from the unit, 50 to a request, asking its
    // password as needed; stops with a message when the unit goes meanwhile.
    void DeleteCdImages(CNASSvrNet::ServerPtr Server, const std::vector<std::uint32_t>& Ids);
    int DragDropMode = 0;
    // Tree and list events of editing, selection, keys and dragging.
    void TreeViewEditing(vcl::TObject* Sender, vcl::TTreeNode* Node, bool& AllowEdit);
    void ListViewEditing(vcl::TObject* Sender, vcl::TListItem* Item, bool& AllowEdit);
    void ListViewKeyDown(vcl::TObject* Sender, vcl::TKey& Key, vcl::TShiftState Shift);
    void TreeViewStartDrag(vcl::TObject* Sender);
    void TreeViewEndDrag(vcl::TObject* Sender, vcl::TObject* Target, int X, int Y);
    void TreeViewDragOver(vcl::TObject* Sender, vcl::TObject* Source, int X, int Y,
                          vcl::TDragState State, bool& Accept);
    void TreeViewDragDrop(vcl::TObject* Sender, vcl::TObject* Source, int X, int Y);
    void ListViewStartDrag(vcl::TObject* Sender);
    void ListViewEndDrag(vcl::TObject* Sender, vcl::TObject* Target, int X, int Y);
    void ListViewDragOver(vcl::TObject* Sender, vcl::TObject* Source, int X, int Y,
                          vcl::TDragState State, bool& Accept);
    void ListViewDragDrop(vcl::TObject* Sender, vcl::TObject* Source, int X, int Y);
    // A drop of the tree's dragged node or the list's selected rows on a container folder node.
    void DropOnNode(vcl::TTreeNode* Target, vcl::TObject* Source);
    // Rows that go take the window's pointers to them along.
    void ListViewDeletion(vcl::TObject* Sender, vcl::TListItem* Item);
    vcl::TListItem* ListDropRow = nullptr; // the row under an internal drag over the list
    // ---- end of My Container ----

    // Made by the description's constructor after the components: the window's own state.
    void InitState();
    // Whether the announcement port was taken at start (the program then ends at once).
    bool PortTaken() const { return portTaken_; }
    int AnnounceSocket() const { return announceSocket_; }

protected:
    void Notification(vcl::TComponent* component, vcl::TOperation operation) override;

private:
    class RemoteHost;
    void SetTexts();
    // The selection pipeline; checkNode: stop when Node is no longer the selection.
    void RunPipeline(vcl::TTreeNode* Node, bool checkNode);
    // Drive nodes: update or add the letter's node; re-run the pipeline when My Computer or that
    // drive is selected (without the disc warning); delete every child of a node.
    void UpdateOrAddDriveNode(char Letter);
    void ShowDriveChange(char Letter);
    void DeleteChildrenOf(vcl::TTreeNode* Node);
    void CloseAnnounceSocket();
    // False once the window is being destroyed (for calls posted to the event loop).
    std::shared_ptr<bool> Alive() const;

    std::shared_ptr<RemoteHost> remoteHost_; // what the remote NAS list sees of the window
    std::shared_ptr<ContainerTreeBinding> treeBinding_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    int announceSocket_ = -1;                     // the announcement port; closed at FormClose
    std::unique_ptr<TFolderReader> folderReader_; // image folders of found units
    std::unique_ptr<TRemoteProber> remoteProber_; // records of the remote NAS list's units
    bool settingsUnwritable_ = false; // the settings folder was found unwritable at start
    void WriteSettings(vcl::TIniFile& ini);
    bool aboutMissingTold_ = false;
    // The remote list form last synchronised; its destruction clears it (free notification), so
    // that a new form is never taken for a freed one.
    vcl::TComponent* syncedRemoteForm_ = nullptr;
    bool portTaken_ = false;
    int hintTicks_ = 0;
    vcl::TTreeNode* popupPrevious_ = nullptr; // the selection to return to after the popup
    bool popupFillPending_ = false; // a refresh from the popup emptied the list: fill it after
    // Commands II: what the wizard and the settings-profile dialog see of the window.
    std::shared_ptr<TWizardHost> wizardHost_;
    std::shared_ptr<TProfileSettingHost> profileHost_;
};

extern TForm_Central* Form_Central;
// The UDP port the window binds for announcements (1999).
extern std::uint16_t AnnouncementPort;
// True until the first idle moment of the run has been handled.
extern bool FirstIdlePending;
