// The main window's commands of the File, Edit and View menus and the container commands of the
// Mirror menu: new folder, rename, delete, paste, select all, inverse selection, refresh, up,
// expand and shrink, the list styles, status bar and tool bar, and new, open, save and save as of
// "My Container".
#include "central.h"

#include "container.h"
#include "container_text.h"
#include "display_text.h"
#include "droptarget_kinds.h"
#include "fmmsg.h"
#include "kinddialog.h"
#include "listview_fill.h"
#include "msgbox.h"
#include "server_lists.h"
#include "unit_call.h"

#include "vcl/application.h"
#include "vcl/menus.h"
#include "vcl/mouse.h"
#include "vcl/screen.h"
#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

using Record = _CDH_CIS_RECORD_;

namespace {

Record* RecordOf(vcl::TTreeNode* node) {
    return node ? static_cast<Record*>(node->GetData()) : nullptr;
}

bool IsContainerNodeKind(int kind) {
    return kind == nkContainerSaved || kind == nkContainerModified || kind == nkContainerEmpty;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}
std::string FileOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
bool IsFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}
// The extension of a file name, upper-cased, with its dot; empty without one.
std::string UpperExtension(const std::string& name) {
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) return {};
    std::string extension = name.substr(dot);
    for (char& c : extension)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return extension;
}
std::string TrimControl(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return text.substr(begin, end - begin);
}

// The wait page of the message window for a scope, with the main window disabled. The automatic
// refresh and the announcement listener wait meanwhile: the run works on the list's rows.
class BusyRun {
public:
    explicit BusyRun(TForm_Central& window)
        : window_(window), timerWasRunning_(window.TimerWorkRunning) {
        window_.TimerWorkRunning = true;
        window_.SetEnabled(false);
        if (!FmMsg && vcl::Application) FmMsg = vcl::MakeForm<TFmMsg>(vcl::Application);
        if (!FmMsg) return;
        FmMsg->PageControl_Msg->SetActivePage(FmMsg->TabSheet_Msg);
        FmMsg->ShowMessagePage("Quorvik", GetMessageText(888), 140, TFmMsg::DefaultWidth,
                               TFmMsg::IconWait, false, true, false, false);
    }
    ~BusyRun() {
        if (FmMsg) FmMsg->Close();
        window_.TimerWorkRunning = timerWasRunning_;
        window_.SetEnabled(true);
        // The wait page took the keyboard: the window and its list get it back.
        window_.BringToFront();
        if (window_.ListView->CanFocus()) window_.ListView->SetFocus();
    }
    BusyRun(const BusyRun&) = delete;
    BusyRun& operator=(const BusyRun&) = delete;
    bool Cancelled() const { return FmMsg && FmMsg->IsCancelled(); }

private:
    TForm_Central& window_;
    bool timerWasRunning_;
};

} // namespace

// ---- File menu

void TForm_Central::MenuItem_MenuNewFolderClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    vcl::TTreeNode* target = nullptr;
    if (Sender == MenuItem_RightNewFolder) {
        if (TreeView->Focused())
            target = RightClickNode;
        else if (ListView->Focused() && ListView->SelCount() == 0)
            target = TreeView->GetSelected();
    } else {
        target = TreeView->GetSelected();
    }
    if (MyContainerNode && MyContainerNode->GetImageIndex() == nkContainerEmpty)
        MarkContainerModified();
    if (!target) return;
    const int kind = target->GetImageIndex();
    if (!IsContainerNodeKind(kind) && kind != nkContainerFolder) return;
    if (CheckContainerMirroring(GetMessageText(146))) return;
    Record* folder = RecordOf(target);
    if (!folder) return;
    std::string name = "NewFolder";
    for (int n = 1; MainContainer.FindChildByName(folder, name); ++n)
        name = "NewFolder(" + std::to_string(n) + ")";
    Record* created = MainContainer.NewFolder(folder, name);
    if (!created) return;
    MarkContainerModified();
    if (target == TreeView->GetSelected()) {
        vcl::TListItem* row = AddContainerListItem(created);
        if (!row) {
            MainContainer.DeleteEntry(created);
            return;
        }
        ListView->SetSelected(row);
        ListView->SetItemFocused(row);
        RenameContainerItem(row);
        if (MainContainer.HasChild(created, folder) && !FindChildNodeByData(target, created))
            AddContainerFolderNode(target, created);
        target->AlphaSort(false);
    } else {
        vcl::TTreeNode* node = AddContainerFolderNode(target, created);
        if (!node) {
            MainContainer.DeleteEntry(created);
            return;
        }
        target->Expand(false);
        RenameContainerNode(node);
    }
}

void TForm_Central::MenuItem_MenuRenameClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    const bool right = Sender == MenuItem_RightRename;
    if (TreeView->Focused()) {
        vcl::TTreeNode* node = right ? RightClickNode : TreeView->GetSelected();
        if (node && node->GetImageIndex() == nkContainerFolder) RenameContainerNode(node);
        return;
    }
    if (!ListView->Focused()) return;
    vcl::TListItem* row = right ? RightClickItem : nullptr;
    if (!right && ListView->SelCount() == 1) row = ListView->GetSelected();
    if (row && IsContainerEntryKind(row->GetImageIndex()) &&
        row->GetImageIndex() != nkContainerFolderSelected)
        RenameContainerItem(row);
}

void TForm_Central::MenuItem_MenuDeleteClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    const bool right = Sender == MenuItem_RightDelete || Sender == MenuItem_RightDisable;
    if (ListView->Focused()) {
        vcl::TListItem* first = ListView->GetSelected();
        if (!first || !TreeView->GetSelected()) return;
        const int kind = first->GetImageIndex();
        const bool fixed = (kind >= 21 && kind <= 24) || (kind >= 33 && kind <= 40) ||
                           (kind >= 52 && kind <= 59 && kind != nkCdImage);
        if (fixed) return;
        const bool disable = TreeView->GetSelected()->GetImageIndex() == 29;
        std::string question;
        if (ListView->SelCount() == 1)
            question =
                std::string(GetMessageText(disable ? 150 : 149)) + first->GetCaption() + "\" ?";
        else
            question = std::string(GetMessageText(disable ? 151 : 153)) +
                       std::to_string(ListView->SelCount()) + GetMessageText(disable ? 152 : 154);
        if (kind == nkCdImage) {
            DeleteSelectedImages(question);
            return;
        }
        if (ShowKindMessage(question, 51) != vcl::mrYes) return;
        DeleteSelectedListItems();
        return;
    }
    vcl::TTreeNode* node = right ? RightClickNode : TreeView->GetSelected();
    if (node) DeleteContainerTreeNode(node);
}

void TForm_Central::DeleteContainerTreeNode(vcl::TTreeNode* Node) {
    const int kind = Node ? Node->GetImageIndex() : 0;
    if (kind < nkContainerSaved || kind > nkContainerFolderSelected) return;
    if (CheckContainerMirroring(GetMessageText(148))) return;
    const std::string question = std::string(GetMessageText(149)) + Node->GetText() + "\" ?";
    if (ShowKindMessage(question, 51) != vcl::mrYes) return;
    MarkContainerModified();
    if (IsContainerNodeKind(kind)) {
        ClearContainer();
        if (TreeView->GetSelected()) TreeViewChange(TreeView, TreeView->GetSelected());
    } else {
        DeleteContainerNode(Node);
    }
}

void TForm_Central::DeleteSelectedListItems() {
    BusyRun busy(*this);
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (!selected) return;
    vcl::TListItems* rows = ListView->Items();
    // The rows are taken one after the other from the first selected one; a row that is not
    // deleted is stepped past, so that every selected row is handled once.
    vcl::TListItem* row = ListView->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected});
    bool listChanged = false;
    while (row) {
        vcl::Application->ProcessMessages();
        if (busy.Cancelled() || !FmMsg || !FmMsg->UpdateProgress(GetMessageText(888), 0)) break;
        vcl::TListItem* next = ListView->GetNextItem(row, vcl::sdAll, {vcl::isSelected});
        const int kind = row->GetImageIndex();
        const bool deletable = kind == nkContainerSaved || kind == nkContainerModified ||
                               (kind >= nkContainerFolder && kind <= 13) || kind == 25 ||
                               kind == 28 || kind == 31 || kind == 32 ||
                               (kind >= nkFirstShellIcon && kind <= LastIconIndex);
        if (!deletable) {
            ShowKindMessage(std::string(GetMessageText(kind == 30 ? 155 : 156)) +
                                row->GetCaption() + "\" !",
                            52);
        } else if (IsContainerNodeKind(kind)) {
            if (!CheckContainerMirroring(GetMessageText(157))) ClearContainer();
        } else if (kind == nkContainerFolder || kind == nkContainerFolderSelected) {
            auto* rec = static_cast<Record*>(row->GetData());
            vcl::TTreeNode* node = FindChildNodeByData(selected, rec);
            if (!CheckContainerMirroring(GetMessageText(158)) && node) {
                MainContainer.DeleteEntry(rec);
                row->Delete();
                DeleteTreeNode(node);
                MarkContainerModified();
                listChanged = true;
            }
        } else if (IsContainerEntryKind(kind)) {
            if (!CheckContainerMirroring(GetMessageText(158))) {
                MainContainer.DeleteEntry(static_cast<Record*>(row->GetData()));
                row->Delete();
                MarkContainerModified();
                listChanged = true;
            }
        }
        // The next selected row still in the list (a deletion may have taken others).
        row = next && rows->IndexOf(next) >= 0 ? next : nullptr;
    }
    (void)listChanged;
}

void TForm_Central::DeleteSelectedImages(const std::string& Question) {
    // The unit and the selected images are taken before the question: refreshes that run while
    // it is asked rebuild the list and may retire the unit.
    vcl::TTreeNode* folder = TreeView->GetSelected();
    if (!folder || !folder->Parent()) return;
    const CNASSvrNet::ServerPtr server = UnitOf(folder->Parent()->GetData());
    std::vector<std::uint32_t> ids;
    for (vcl::TListItem* r = ListView->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected}); r;
         r = ListView->GetNextItem(r, vcl::sdAll, {vcl::isSelected}))
        if (r->GetImageIndex() == nkCdImage && r->GetData()) {
            // The record is packed: its identifier is read byte for byte.
            std::uint32_t id = 0;
            std::memcpy(&id,
                        reinterpret_cast<const char*>(r->GetData()) + offsetof(NasImgInfo, imageId),
                        sizeof id);
            ids.push_back(id);
        }
    if (!server || ids.empty()) return;
    if (ShowKindMessage(Question, 51) != vcl::mrYes) return;
    {
        BusyRun busy(*this);
        DeleteCdImages(server, ids);
    }
    // The list shows the folder selected now (a refresh keeps it on the same one).
    vcl::TTreeNode* now = TreeView->GetSelected();
    if (now && now->GetImageIndex() == nkImageFolder) ListCdImages(*this, now, true);
}

void TForm_Central::DeleteCdImages(CNASSvrNet::ServerPtr server,
                                   const std::vector<std::uint32_t>& Ids) {
    // Held for the run: the password prompt and the progress let refreshes run, which may
    // retire the unit; it is looked up again after each.
    if (!server || Ids.empty()) return;
    const UnitCommand command; // its calls on the unit wait for it kUnitCommandWait in all
    const std::string name = server->GetName();
    const auto gone = [&] { return UnitGone(server->UnitHandle, name); };
    constexpr std::size_t kRound = 50;
    for (std::size_t at = 0; at < Ids.size(); at += kRound) {
        vcl::Application->ProcessMessages();
        if (FmMsg && (FmMsg->IsCancelled() || !FmMsg->UpdateProgress(GetMessageText(909), 0)))
            return;
        if (gone()) return;
        const bool accepted = server->Authenticate(kAuthDeleteImage);
        if (gone() || !accepted) return;
        NasImgRequest request{};
        std::memcpy(request.deletion.userName, server->UserName,
                    std::min(sizeof request.deletion.userName - 1,
                             strnlen(server->UserName, sizeof server->UserName)));
        std::memcpy(request.deletion.password, server->Password,
                    std::min(sizeof request.deletion.password - 1,
                             strnlen(server->Password, sizeof server->Password)));
        const std::size_t n = std::min(kRound, Ids.size() - at);
        request.deletion.imageCount = static_cast<std::uint32_t>(n);
        for (std::size_t k = 0; k < n; ++k)
            request.deletion.imageIds[k] = Ids[at + k];
        if (server->DeleteCdImage(&request) != 0) {
            vcl::Application->MessageBox("Deletecdimage ERrr", "", vcl::MB_OK);
            vcl::Application->MessageBox(server->GetLastResultText(), GetMessageText(15),
                                         vcl::MB_OK | vcl::MB_ICONEXCLAMATION);
            server->ClearCredentials();
            return;
        }
    }
}

// ---- Edit menu

void TForm_Central::MenuItem_MenuPasteClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    DropFileTarget_TreeView->PasteFromClipboard();
    DropFileTarget_ListView->PasteFromClipboard();
    if (Sender == MenuItem_RightPaste) {
        if (TreeView->Focused())
            PasteToContainerNode(RightClickNode);
        else if (RightClickItem)
            PasteToContainerItem(RightClickItem);
        else
            PasteToContainerNode(TreeView->GetSelected());
        return;
    }
    if (ListView->Focused() && ListView->SelCount() == 1)
        PasteToContainerItem(ListView->GetSelected());
    else if (!ListView->Focused() || ListView->SelCount() == 0)
        PasteToContainerNode(TreeView->GetSelected());
}

void TForm_Central::MenuItem_MenuSelectAllClick(vcl::TObject*) {
    if (RenameInProgress || !ListView->GetMultiSelect()) return;
    if (GetVisible() && !ListView->Focused() && ListView->CanFocus()) ListView->SetFocus();
    vcl::TListItems* rows = ListView->Items();
    rows->BeginUpdate();
    for (int i = 0; i < rows->Count(); ++i)
        rows->Item(i)->SetSelected(true);
    rows->EndUpdate();
    if (rows->Count() > 0 && !ListView->GetItemFocused()) ListView->SetItemFocused(rows->Item(0));
}

void TForm_Central::MenuItem_MenuInverseSelectClick(vcl::TObject*) {
    if (RenameInProgress || !ListView->GetMultiSelect()) return;
    vcl::TListItems* rows = ListView->Items();
    rows->BeginUpdate();
    for (int i = 0; i < rows->Count(); ++i)
        rows->Item(i)->SetSelected(!rows->Item(i)->GetSelected());
    rows->EndUpdate();
    vcl::TListItem* first = ListView->GetSelected();
    vcl::TListItem* focused = ListView->GetItemFocused();
    if (first && (!focused || !focused->GetSelected())) ListView->SetItemFocused(first);
}

// ---- View menu

void TForm_Central::MenuItem_MenuRefreshClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    const bool right = Sender == MenuItem_RightRefresh;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    vcl::TListItem* row =
        right ? RightClickItem
              : (ListView->Focused() && ListView->SelCount() == 1 ? ListView->GetSelected()
                                                                  : nullptr);
    if (TreeView->Focused() || !ListView->Focused()) {
        RefreshTreeNode(right && RightClickNode ? RightClickNode : selected);
        return;
    }
    if (!row) {
        RefreshTreeNode(selected);
        return;
    }
    // A row stands for its node below the selected one (or, without one, the selected node).
    vcl::TTreeNode* node = FindChildNodeByData(selected, row->GetData());
    RefreshTreeNode(node ? node : selected);
}

void TForm_Central::MenuItem_MenuUpDirectoryClick(vcl::TObject*) {
    if (RenameInProgress) return;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (selected && selected->Parent()) TreeView->SetSelected(selected->Parent());
}

void TForm_Central::MenuItem_MenuExpandClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (!selected) return;
    if (Sender == MenuItem_MenuExpand || Sender == MenuItem_ExpandByButton)
        selected->Expand(true);
    else if (Sender == MenuItem_MenuShrink || Sender == MenuItem_ShrinkByButton)
        selected->Collapse(true);
    else if (selected->GetExpanded())
        selected->Collapse(true);
    else
        selected->Expand(true);
}

void TForm_Central::MenuItem_MenuLargeClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    vcl::TViewStyle style = ListView->GetViewStyle();
    if (Sender == MenuItem_MenuLarge || Sender == MenuItem_LargeByButton)
        style = vcl::vsIcon;
    else if (Sender == MenuItem_MenuSmall || Sender == MenuItem_SmallByButton)
        style = vcl::vsSmallIcon;
    else if (Sender == MenuItem_MenuList || Sender == MenuItem_ListByButton)
        style = vcl::vsList;
    else if (Sender == MenuItem_MenuDetail || Sender == MenuItem_DetailByButton)
        style = vcl::vsReport;
    else
        switch (style) {
        case vcl::vsIcon:
            style = vcl::vsSmallIcon;
            break;
        case vcl::vsSmallIcon:
            style = vcl::vsList;
            break;
        case vcl::vsList:
            style = vcl::vsReport;
            break;
        default:
            style = vcl::vsIcon;
            break;
        }
    ListView->SetViewStyle(style);
    MenuItem_MenuLarge->SetChecked(style == vcl::vsIcon);
    MenuItem_LargeByButton->SetChecked(style == vcl::vsIcon);
    MenuItem_MenuSmall->SetChecked(style == vcl::vsSmallIcon);
    MenuItem_SmallByButton->SetChecked(style == vcl::vsSmallIcon);
    MenuItem_MenuList->SetChecked(style == vcl::vsList);
    MenuItem_ListByButton->SetChecked(style == vcl::vsList);
    MenuItem_MenuDetail->SetChecked(style == vcl::vsReport);
    MenuItem_DetailByButton->SetChecked(style == vcl::vsReport);
}

void TForm_Central::MenuItem_MenuStatusBarClick(vcl::TObject*) {
    MenuItem_MenuStatusBar->SetChecked(!MenuItem_MenuStatusBar->GetChecked());
    StatusBar->SetVisible(MenuItem_MenuStatusBar->GetChecked());
}

void TForm_Central::MenuItem_MenuToolBarClick(vcl::TObject*) {
    Panel_MainTool->SetVisible(!Panel_MainTool->GetVisible());
    MenuItem_MenuToolBar->SetChecked(Panel_MainTool->GetVisible());
}

void TForm_Central::MenuItem_DragDropMoveClick(vcl::TObject*) {
    DragDropMode = CheckContainerMirroring(GetMessageText(162)) ? 0 : 1;
}
void TForm_Central::MenuItem_DragDropCopyClick(vcl::TObject*) {
    DragDropMode = CheckContainerMirroring(GetMessageText(163)) ? 0 : 2;
}
void TForm_Central::MenuItem_DragDropCancelClick(vcl::TObject*) {
    DragDropMode = 0;
}

// ---- Container files

namespace {
// The save question before a container is replaced: false when the user wanted it saved and the
// save failed or was cancelled (the container then stays).
bool OfferSave(TForm_Central& w) {
    if (!w.MyContainerNode || !w.MyContainerNode->GetData() ||
        w.MyContainerNode->GetImageIndex() != nkContainerModified)
        return true;
    if (ShowKindMessage(GetMessageText(809), 9) != vcl::mrYes) return true;
    return w.SaveContainer();
}
} // namespace

void TForm_Central::MenuItem_MenuNewContainerClick(vcl::TObject*) {
    if (RenameInProgress || !MyContainerNode) return;
    if (CheckContainerMirroring(GetMessageText(168))) return;
    if (!OfferSave(*this)) return;
    {
        vcl::TTreeNodes* nodes = TreeView->Items();
        nodes->BeginUpdate();
        MyContainerNode->DeleteChildren();
        MainContainer.Clear();
        MyContainerNode->SetData(MainContainer.NewContainer());
        ContainerUntitled = true;
        MyContainerNode->SetImageIndex(nkContainerSaved);
        MyContainerNode->SetSelectedIndex(nkContainerSaved);
        nodes->EndUpdate();
    }
    if (TreeView->GetSelected() == MyContainerNode) TreeViewChange(TreeView, MyContainerNode);
}

void TForm_Central::MenuItem_MenuLoadContainerClick(vcl::TObject*) {
    if (RenameInProgress || !MyContainerNode) return;
    if (CheckContainerMirroring(GetMessageText(169))) return;
    if (!OfferSave(*this)) return;
    OpenDialog->Filter = GetMessageText(170);
    if (!OpenDialog->Execute() || OpenDialog->FileName.empty()) return;
    OpenDialog->InitialDir = FolderOf(OpenDialog->FileName);
    LoadContainerTree(OpenDialog->FileName);
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (selected == MyContainerNode || selected == DesktopNode) TreeViewChange(TreeView, selected);
    MyContainerNode->Expand(false);
}

void TForm_Central::MenuItem_MenuSaveContainerClick(vcl::TObject*) {
    if (RenameInProgress) return;
    SaveContainer();
}

void TForm_Central::MenuItem_MenuSaveContainerAsClick(vcl::TObject*) {
    SaveContainerAs();
}

namespace {
// Shows a failed save by the container file's result; nothing for success.
void ShowSaveResult(int result, const std::string& path) {
    const std::string shortPath = TruncateWithEllipsis(path, false);
    switch (result) {
    case kCisWriteError:
        ShowKindMessage(shortPath, 5);
        break;
    case kCisOpenError:
        ShowKindMessage(shortPath, 2);
        break;
    case kCisCloseError:
        ShowKindMessage(shortPath, 3);
        break;
    default:
        break;
    }
}
} // namespace

bool TForm_Central::SaveContainer() {
    if (!MyContainerNode) return false;
    if (ContainerUntitled) return SaveContainerAs();
    if (MyContainerNode->GetImageIndex() == nkContainerEmpty || !MainContainer.GetRoot()) {
        vcl::Application->MessageBox(GetMessageText(472), GetMessageText(9),
                                     vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    std::string path = MainContainer.GetSourcePath(MainContainer.GetRoot());
    std::string name = FileOf(path);
    const std::string folder = FolderOf(path);
    if (!IsValidFileName(name)) {
        if (ShowKindMessage(TruncateWithEllipsis(name, true), 10) == vcl::mrYes)
            return SaveContainerAs();
        return false;
    }
    if (UpperExtension(name) != ".CIS") name += ".CIS";
    if (!IsFolder(folder)) {
        if (ShowKindMessage(TruncateWithEllipsis(path, false), 10) == vcl::mrYes)
            return SaveContainerAs();
        return false;
    }
    SaveDialog->InitialDir = folder;
    path = folder + "/" + name;
    int result = 0;
    {
        vcl::THourGlass hourglass;
        result = MainContainer.SaveFile(path);
    }
    if (result != kCisOk) {
        ShowSaveResult(result, path);
        return false;
    }
    IniData.DefaultContainer = path;
    TreeView->Items()->BeginUpdate();
    MyContainerNode->SetImageIndex(nkContainerSaved);
    MyContainerNode->SetSelectedIndex(nkContainerSaved);
    TreeView->Items()->EndUpdate();
    if (TreeView->GetSelected() == MyContainerNode) TreeViewChange(TreeView, MyContainerNode);
    return true;
}

bool TForm_Central::SaveContainerAs() {
    if (!MyContainerNode) return false;
    if (MyContainerNode->GetImageIndex() == nkContainerEmpty || !MainContainer.GetRoot()) {
        vcl::Application->MessageBox(GetMessageText(472), GetMessageText(9),
                                     vcl::MB_OK | vcl::MB_ICONSTOP);
        return false;
    }
    std::string name;
    for (;;) {
        SaveDialog->Filter = GetMessageText(170);
        if (ContainerUntitled) {
            const std::string path = MainContainer.GetSourcePath(MainContainer.GetRoot());
            SaveDialog->FileName = path;
            SaveDialog->InitialDir = FolderOf(path);
        }
        if (!SaveDialog->Execute() || SaveDialog->FileName.empty()) return false;
        name = SaveDialog->FileName;
        const int prepared = PrepareSaveFileName(name, ".CIS");
        if (prepared == -1) return false;
        if (prepared == 0) break;
    }
    int result = 0;
    {
        vcl::THourGlass hourglass;
        result = MainContainer.SaveFile(name);
    }
    if (result != kCisOk) {
        ShowSaveResult(result, name);
        return false;
    }
    IniData.DefaultContainer = name;
    ContainerUntitled = false;
    MyContainerNode->SetImageIndex(nkContainerSaved);
    MyContainerNode->SetSelectedIndex(nkContainerSaved);
    if (TreeView->GetSelected() == MyContainerNode) TreeViewChange(TreeView, MyContainerNode);
    return true;
}

int TForm_Central::PrepareSaveFileName(std::string& Name, const std::string& Extension) {
    const std::string trimmed = TrimControl(Name);
    const std::string folder = FolderOf(trimmed);
    std::string file = FileOf(trimmed);
    while (!file.empty() && file.back() == '.') {
        file.pop_back();
        while (!file.empty() && static_cast<unsigned char>(file.back()) <= 32)
            file.pop_back();
    }
    if (!IsValidFileName(file))
        return ShowKindMessage(TruncateWithEllipsis(file, false), 10) == vcl::mrYes ? -2 : -1;
    if (UpperExtension(file) != UpperExtension(Extension)) file += Extension;
    Name = folder.empty() ? file : folder + "/" + file;
    if (Exists(Name) && ShowKindMessage(TruncateWithEllipsis(Name, false), 15) == vcl::mrCancel)
        return -2;
    return 0;
}

// ---- List events

void TForm_Central::ListViewKeyDown(vcl::TObject*, vcl::TKey& Key, vcl::TShiftState Shift) {
    if (Shift.Contains(vcl::ssShift) || Shift.Contains(vcl::ssAlt) || Shift.Contains(vcl::ssLeft) ||
        Shift.Contains(vcl::ssMiddle) || Shift.Contains(vcl::ssDouble))
        return;
    if (Key == vcl::VK_F2) {
        if (vcl::TListItem* row = ListView->GetSelected()) RenameContainerItem(row);
        Key = 0;
        return;
    }
    if (Shift.Contains(vcl::ssCtrl)) {
        switch (Key) {
        case 'A':
            MenuItem_MenuSelectAllClick(nullptr);
            Key = 0;
            return;
        case 'I':
            MenuItem_MenuInverseSelectClick(nullptr);
            Key = 0;
            return;
        case 'V': {
            Key = 0;
            const int selected = ListView->SelCount();
            if (selected >= 2) return;
            DropFileTarget_TreeView->PasteFromClipboard();
            DropFileTarget_ListView->PasteFromClipboard();
            if (selected == 1)
                PasteToContainerItem(ListView->GetSelected());
            else if (TreeView->GetSelected())
                PasteToContainerNode(TreeView->GetSelected());
            return;
        }
        default:
            break;
        }
    }
    // The rest as on the tree.
    TreeViewKeyDown(ListView, Key, Shift);
}
