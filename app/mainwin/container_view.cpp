// "My Container" in the main window: its node and folder nodes, which always follow the records
// of the container; the container rows of the list; the in-place rename of folders and rows; the
// move of entries dragged inside the window; and the adding of host files pasted or dropped from
// a file manager.
#include "central.h"

#include "container.h"
#include "container_names.h"
#include "container_text.h"
#include "display_text.h"
#include "droptarget_kinds.h"
#include "fmmsg.h"
#include "kinddialog.h"
#include "message_format.h"
#include "msgbox.h"
#include "startup_notes.h"
#include "utils.h"

#include "vcl/application.h"
#include "vcl/dragdrop.h"
#include "vcl/mouse.h"
#include "vcl/screen.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using Record = _CDH_CIS_RECORD_;

namespace {

Record* RecordOf(vcl::TTreeNode* node) {
    return node ? static_cast<Record*>(node->GetData()) : nullptr;
}
Record* RecordOf(vcl::TListItem* item) {
    return item ? static_cast<Record*>(item->GetData()) : nullptr;
}

std::vector<std::string> FilesOf(const vcl::TStringList& list) {
    std::vector<std::string> files;
    for (int i = 0; i < list.Count(); ++i)
        files.push_back(list.Strings(i));
    return files;
}

bool IsContainerNodeKind(int kind) {
    return kind == nkContainerSaved || kind == nkContainerModified || kind == nkContainerEmpty;
}
// A node that takes files: My Container or one of its folders.
bool IsContainerTargetKind(int kind) {
    return IsContainerNodeKind(kind) || kind == nkContainerFolder;
}

class TreeUpdate {
public:
    explicit TreeUpdate(vcl::TTreeView* tree) : items_(tree->Items()) { items_->BeginUpdate(); }
    ~TreeUpdate() { items_->EndUpdate(); }
    TreeUpdate(const TreeUpdate&) = delete;
    TreeUpdate& operator=(const TreeUpdate&) = delete;

private:
    vcl::TTreeNodes* items_;
};

class ListUpdate {
public:
    explicit ListUpdate(vcl::TListView* list) : items_(list->Items()) { items_->BeginUpdate(); }
    ~ListUpdate() { items_->EndUpdate(); }
    ListUpdate(const ListUpdate&) = delete;
    ListUpdate& operator=(const ListUpdate&) = delete;

private:
    vcl::TListItems* items_;
};

// Characters of code 0-32 off both ends; then dots at the end, each time with what blanks that
// leaves.
std::string TrimName(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    std::string name = text.substr(begin, end - begin);
    while (!name.empty() && name.back() == '.') {
        name.pop_back();
        while (!name.empty() && static_cast<unsigned char>(name.back()) <= 32)
            name.pop_back();
    }
    return name;
}

// The wait page of the message window for a scope (not while a rename runs, which has its own
// editor up).
class WaitPage {
public:
    explicit WaitPage(bool show) : shown_(show) {
        if (!shown_) return;
        if (!FmMsg && vcl::Application) FmMsg = vcl::MakeForm<TFmMsg>(vcl::Application);
        if (!FmMsg) return;
        FmMsg->PageControl_Msg->SetActivePage(FmMsg->TabSheet_Msg);
        FmMsg->ShowMessagePage("Quorvik", GetMessageText(888), 140, TFmMsg::DefaultWidth,
                               TFmMsg::IconWait, false, true, false, false);
    }
    ~WaitPage() {
        if (shown_ && FmMsg) FmMsg->Close();
    }
    WaitPage(const WaitPage&) = delete;
    WaitPage& operator=(const WaitPage&) = delete;

private:
    bool shown_;
};

} // namespace

bool TForm_Central::IsContainerEntryKind(int Kind) const {
    return (Kind >= nkContainerFolder && Kind <= 13) ||
           (Kind >= nkFirstShellIcon && Kind <= LastIconIndex);
}

void TForm_Central::MarkContainerModified() {
    if (!MyContainerNode) return;
    if (MyContainerNode->GetImageIndex() == nkContainerModified &&
        MyContainerNode->GetSelectedIndex() == nkContainerModified)
        return;
    MyContainerNode->SetImageIndex(nkContainerModified);
    MyContainerNode->SetSelectedIndex(nkContainerModified);
}

// ---- Loading and building the folder nodes

namespace {

// What a container file's load found, told in a box; while the program starts, once its window
// is up.
void TellLoadNote(bool formReady, const std::string& text) {
    if (formReady)
        ShowKindMessage(text, 52);
    else
        AddStartupNote(text);
}

} // namespace

void TForm_Central::LoadContainerTree(const std::string& FileName) {
    TreeUpdate update(TreeView);
    if (MyContainerNode) {
        MyContainerNode->DeleteChildren();
        MainContainer.Clear();
        MyContainerNode->SetData(nullptr);
        MyContainerNode->SetText(GetMessageText(809));
    } else {
        if (!DesktopNode) return;
        MyContainerNode = TreeView->Items()->AddChild(DesktopNode, GetMessageText(809));
        if (!MyContainerNode) {
            ShowKindMessage(GetMessageText(62), 1);
            return;
        }
        MyContainerNode->SetImageIndex(nkContainerSaved);
        MyContainerNode->SetSelectedIndex(nkContainerSaved);
    }
    int result = kCisOpenError;
    if (!FileName.empty()) {
        vcl::THourGlass hourglass;
        result = MainContainer.LoadFile(FileName);
    }
    if (result == kCisOk) {
        ContainerUntitled = false;
        IniData.DefaultContainer = FileName;
        MyContainerNode->SetImageIndex(nkContainerSaved);
        MyContainerNode->SetSelectedIndex(nkContainerSaved);
        RebuildContainerTree();
        // Texts of a code-page file holding bytes of no character: loaded, shown marked, told.
        if (const std::size_t marked = MainContainer.LastLoadReport().undecodableTexts; marked > 0)
            TellLoadNote(FormReady,
                         FormatMessageText(GetMessageText(962),
                                           {FileName, std::to_string(marked), AnsiCodePageName()}));
    } else {
        MainContainer.Clear();
        MyContainerNode->SetData(MainContainer.NewContainer());
        if (!MyContainerNode->GetData()) {
            ShowKindMessage(GetMessageText(63), 1);
            return;
        }
        ContainerUntitled = true;
        if (result == kCisCaseTwins) {
            // Told whenever it happens, at start too: the file holds what an import refuses.
            const CisLoadReport& twins = MainContainer.LastLoadReport();
            TellLoadNote(FormReady, FormatMessageText(GetMessageText(963),
                                                      {FileName, twins.twinFolder, twins.twinFirst,
                                                       twins.twinSecond}));
        } else if (FormReady && !FileName.empty()) {
            int kind = 0;
            switch (result) {
            case kCisNoMemory:
                kind = 1;
                break;
            case kCisBadFormat:
                kind = 6;
                break;
            case kCisReadError:
                kind = 4;
                break;
            case kCisOpenError:
                kind = 2;
                break;
            case kCisCloseError:
                kind = 3;
                break;
            default:
                kind = 8;
                break;
            }
            ShowKindMessage(GetMessageText(64) + FileName, kind);
        }
    }
    SortNodeRecursive(MyContainerNode);
}

void TForm_Central::RebuildContainerTree() {
    if (!MyContainerNode) return;
    MyContainerNode->DeleteChildren();
    Record* root = MainContainer.GetRoot();
    MyContainerNode->SetData(root);
    if (!root) return;
    vcl::THourGlass hourglass;
    for (Record* child = MainContainer.GetFirstChild(root); child;
         child = MainContainer.GetNextSibling(child))
        if (MainContainer.IsFolder(child)) RebuildContainerSubtree(MyContainerNode, child);
}

vcl::TTreeNode* TForm_Central::RebuildContainerSubtree(vcl::TTreeNode* Parent, Record* Rec) {
    vcl::TTreeNode* node = AddContainerFolderNode(Parent, Rec);
    if (!node) return nullptr;
    for (Record* child = MainContainer.GetFirstChild(Rec); child;
         child = MainContainer.GetNextSibling(child))
        if (MainContainer.IsFolder(child)) RebuildContainerSubtree(node, child);
    return node;
}

void TForm_Central::RefreshContainerTree() {
    if (!MyContainerNode) return;
    Record* root = MainContainer.GetRoot();
    MyContainerNode->SetData(root);
    if (root) {
        TreeUpdate update(TreeView);
        for (int i = MyContainerNode->Count() - 1; i >= 0; --i) {
            vcl::TTreeNode* node = MyContainerNode->Item(i);
            if (!MainContainer.HasChild(RecordOf(node), root)) {
                node->Delete();
                MarkContainerModified();
            }
        }
        RebuildContainerTree();
        SortNodeRecursive(MyContainerNode);
    }
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (selected && (IsContainerNodeKind(selected->GetImageIndex()) ||
                     selected->GetImageIndex() == nkContainerFolder ||
                     selected->GetImageIndex() == nkContainerFolderSelected))
        TreeViewChange(TreeView, selected);
}

vcl::TTreeNode* TForm_Central::AddContainerSubtree(vcl::TTreeNode* Parent, Record* Rec) {
    if (!Parent || !Rec) return nullptr;
    vcl::TTreeNode* node = FindChildNodeByData(Parent, Rec);
    if (!node) {
        node = AddContainerFolderNode(Parent, Rec);
        if (!node) return nullptr;
    } else {
        TreeUpdate update(TreeView);
        for (int i = Parent->Count() - 1; i >= 0; --i) {
            vcl::TTreeNode* other = Parent->Item(i);
            if (other != node && other->GetData() == Rec) {
                other->Delete();
                MarkContainerModified();
            }
        }
        if (!MainContainer.IsFolder(Rec)) {
            MarkContainerModified();
            node->Delete();
            return nullptr;
        }
        const std::string name = DisplayText(MainContainer.GetDisplayName(Rec));
        if (node->GetText() != name) {
            node->SetText(name);
            MarkContainerModified();
        }
    }
    {
        TreeUpdate update(TreeView);
        for (int i = node->Count() - 1; i >= 0; --i) {
            vcl::TTreeNode* child = node->Item(i);
            if (!MainContainer.HasChild(RecordOf(child), Rec)) {
                child->Delete();
                MarkContainerModified();
            }
        }
        for (Record* child = MainContainer.GetFirstChild(Rec); child;
             child = MainContainer.GetNextSibling(child))
            if (MainContainer.IsFolder(child)) AddContainerSubtree(node, child);
    }
    return node;
}

void TForm_Central::SortNodeRecursive(vcl::TTreeNode* Node) {
    if (Node && Node->HasChildren()) Node->AlphaSort(true);
}

vcl::TTreeNode* TForm_Central::AddContainerFolderNode(vcl::TTreeNode* Parent, Record* Rec) {
    if (!Parent || !Rec) return nullptr;
    vcl::TTreeNode* node =
        TreeView->Items()->AddChild(Parent, DisplayText(MainContainer.GetDisplayName(Rec)));
    if (!node) {
        ShowKindMessage(GetMessageText(65), 1);
        return nullptr;
    }
    node->SetData(Rec);
    node->SetImageIndex(nkContainerFolder);
    node->SetSelectedIndex(nkContainerFolderSelected);
    Rec->node = node;
    return node;
}

void TForm_Central::SetContainerNodeText(vcl::TTreeNode* Node) {
    if (Record* rec = RecordOf(Node)) Node->SetText(DisplayText(MainContainer.GetDisplayName(rec)));
}

// ---- The container list

void TForm_Central::BuildListContainer(vcl::TTreeNode* Node) {
    Record* folder = RecordOf(Node);
    if (!folder) {
        ListUpdate update(ListView);
        ListView->Items()->Clear();
        return;
    }
    {
        ListUpdate update(ListView);
        ListView->Items()->Clear();
        for (Record* child = MainContainer.GetFirstChild(folder); child;
             child = MainContainer.GetNextSibling(child)) {
            vcl::TListItem* item = ListView->Items()->Add();
            if (!item) {
                ListView->Items()->Clear();
                ShowKindMessage(GetMessageText(66), 30);
                return;
            }
            item->SetData(child);
            UpdateContainerListItem(item);
        }
        ListView->CustomSort([this](vcl::TListItem* a, vcl::TListItem* b,
                                    intptr_t) { return ContainerListCompare(a, b); },
                             0);
    }
}

vcl::TListItem* TForm_Central::AddContainerListItem(Record* Rec) {
    vcl::TListItem* item = ListView->Items()->Add();
    if (!item) {
        ShowKindMessage(GetMessageText(66), 1);
        return nullptr;
    }
    item->SetData(Rec);
    UpdateContainerListItem(item);
    return item;
}

void TForm_Central::UpdateContainerListItem(vcl::TListItem* Item) {
    Record* rec = RecordOf(Item);
    if (!rec) return;
    const bool folder = MainContainer.IsFolder(rec);
    Item->SetCaption(DisplayText(MainContainer.GetDisplayName(rec)));
    const int icon = GetFileIconIndex(rec);
    Item->SetImageIndex(icon >= nkFirstShellIcon && icon >= ImageList_ListViewLarge->Count()
                            ? nkContainerFileNoIcon
                            : icon);
    const std::string texts[] = {
        GetMessageText(folder ? 94 : 95),
        utils::FormatScaledSize(0, static_cast<std::int64_t>(MainContainer.GetTotalSize(rec))),
        FileTimeToDateTime(MainContainer.GetTime(rec), kContainerTimeFormat),
        AttributesToText(MainContainer.GetAttributes(rec)),
        utils::FormatScaledSize(0, static_cast<std::int64_t>(MainContainer.GetAllocatedSize(rec))),
        DisplayText(MainContainer.GetSourcePath(rec)),
    };
    auto* sub = Item->SubItems();
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        if (static_cast<int>(i) < sub->Count())
            sub->SetStrings(static_cast<int>(i), texts[i]);
        else
            sub->Add(texts[i]);
    }
    while (sub->Count() > static_cast<int>(std::size(texts)))
        sub->Delete(sub->Count() - 1);
}

int TForm_Central::ContainerListCompare(vcl::TListItem* Item1, vcl::TListItem* Item2) {
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (!Item1 || !Item2 || !selected) return 0;
    const int kind = selected->GetImageIndex();
    if (kind < nkContainerSaved || kind > nkContainerFolderSelected) return 0;
    const std::string t1 = Item1->SubItems()->Count() > 0 ? Item1->SubItems()->Strings(0) : "";
    const std::string t2 = Item2->SubItems()->Count() > 0 ? Item2->SubItems()->Strings(0) : "";
    // Folders ("Folder") before files ("File"): the greater type text goes first.
    if (t1 != t2) return t1 > t2 ? -1 : 1;
    const std::string u1 = UpperCaseName(Item1->GetCaption());
    const std::string u2 = UpperCaseName(Item2->GetCaption());
    if (u1 != u2) return u1 < u2 ? -1 : 1;
    return Item1->GetCaption() > Item2->GetCaption() ? 1 : 0;
}

// ---- Clearing and deleting

void TForm_Central::ClearContainer() {
    Record* root = MainContainer.GetRoot();
    if (!MyContainerNode) return;
    TreeUpdate update(TreeView);
    if (root)
        while (Record* child = MainContainer.GetFirstChild(root))
            MainContainer.DeleteEntry(child);
    MyContainerNode->DeleteChildren();
    MarkContainerModified();
}

void TForm_Central::DeleteContainerNode(vcl::TTreeNode* Node) {
    Record* rec = RecordOf(Node);
    if (!rec) return;
    TreeUpdate update(TreeView);
    MainContainer.DeleteEntry(rec);
    DeleteTreeNode(Node);
    MarkContainerModified();
}

// ---- The mirroring check

bool TForm_Central::CheckContainerMirroring(const std::string& Text) {
    // A build task counts itself as a reader of the container it builds from until it ends.
    if (MainContainer.PendingCount() == 0) return false;
    vcl::Application->MessageBox(Text + GetMessageText(147), GetMessageText(15),
                                 vcl::MB_OK | vcl::MB_ICONEXCLAMATION);
    return true;
}

// ---- Renaming

namespace {

// Gives a container entry the name typed for it, or asks about the reason it cannot take it:
// nothing when the entry was renamed, else the answer (Yes: edit the name again).
std::optional<int> RenameContainerRecord(Record* rec, const std::string& name) {
    if (!IsValidFileName(name)) return ShowKindMessage("' " + name + " '", 10);
    if (Utf8Length(name) > 221)
        return vcl::Application->MessageBox(std::string(GetMessageText(75)) + GetMessageText(76),
                                            GetMessageText(15),
                                            vcl::MB_YESNO | vcl::MB_ICONEXCLAMATION);
    if (MainContainer.FindSiblingByName(rec, name)) return ShowKindMessage("' " + name + " '", 11);
    if (MainContainer.RenameEntry(rec, name) != 0) return ShowKindMessage("' " + name + " '", 10);
    return std::nullopt;
}

} // namespace

bool TForm_Central::RenameContainerNode(vcl::TTreeNode* Node) {
    if (!Node || Node->GetImageIndex() != nkContainerFolder) return false;
    if (CheckContainerMirroring(GetMessageText(74)) || RenameInProgress) return false;
    Record* rec = RecordOf(Node);
    if (!rec) return false;
    RenameAborted = false;
    RenameInProgress = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{RenameInProgress};
    const std::string old = DisplayText(MainContainer.GetDisplayName(rec));
    auto restore = [&] {
        if (TreeView->Items()->Count() > 0 && RecordOf(Node) == rec) Node->SetText(old);
    };
    for (;;) {
        // The node's editor; the loop waits (letting events run) until it closes.
        Node->EditText();
        while (TreeView->EditingNode() == Node && !RenameAborted)
            vcl::Application->HandleMessage();
        if (RenameAborted) {
            Node->EndEdit(true);
            restore();
            return false;
        }
        const std::string name = TrimName(Node->GetText());
        Node->SetText(name);
        if (name == old) return false;
        const std::optional<int> answer = RenameContainerRecord(rec, name);
        if (!answer) {
            MarkContainerModified();
            if (vcl::TTreeNode* parent = Node->Parent()) parent->AlphaSort(false);
            if (Node->Parent() && Node->Parent() == TreeView->GetSelected()) {
                for (int i = 0; i < ListView->Items()->Count(); ++i) {
                    vcl::TListItem* item = ListView->Items()->Item(i);
                    if (item->GetData() == rec) {
                        UpdateContainerListItem(item);
                        BuildListContainer(TreeView->GetSelected());
                        break;
                    }
                }
            }
            return true;
        }
        if (*answer != vcl::mrYes || RenameAborted) {
            restore();
            return false;
        }
    }
}

bool TForm_Central::RenameContainerItem(vcl::TListItem* Item) {
    vcl::TTreeNode* start = TreeView->GetSelected();
    if (!Item || !start) return false;
    if (CheckContainerMirroring("Can't rename container.") || RenameInProgress) return false;
    if (!IsContainerEntryKind(Item->GetImageIndex())) return false;
    Record* rec = RecordOf(Item);
    if (!rec) return false;
    RenameAborted = false;
    RenameInProgress = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{RenameInProgress};
    const std::string old = DisplayText(MainContainer.GetDisplayName(rec));
    vcl::TListItems* rows = ListView->Items();
    auto alive = [&] { return rows->IndexOf(Item) >= 0 && Item->GetData() == rec; };
    auto restore = [&] {
        if (alive()) Item->SetCaption(old);
    };
    for (;;) {
        if (TreeView->GetSelected() != start) {
            TreeView->SetSelected(start);
            if (!alive()) return false;
        }
        Item->EditCaption();
        while (ListView->EditingItem() == Item && !RenameAborted)
            vcl::Application->HandleMessage();
        if (!alive()) return false;
        if (RenameAborted) {
            Item->EndEdit(true);
            restore();
            return false;
        }
        const std::string name = TrimName(Item->GetCaption());
        Item->SetCaption(name);
        if (name == old) return false;
        const std::optional<int> answer = RenameContainerRecord(rec, name);
        if (!answer) {
            MarkContainerModified();
            if (!alive()) return true;
            Item->SetImageIndex(GetFileIconIndex(rec));
            if (TreeView->GetSelected() == start)
                ListView->CustomSort([this](vcl::TListItem* a, vcl::TListItem* b,
                                            intptr_t) { return ContainerListCompare(a, b); },
                                     0);
            if (vcl::TTreeNode* node = FindChildNodeByData(start, rec)) {
                node->SetText(DisplayText(MainContainer.GetDisplayName(rec)));
                start->AlphaSort(false);
            }
            return true;
        }
        if (*answer != vcl::mrYes || RenameAborted) {
            restore();
            return false;
        }
    }
}

void TForm_Central::TreeViewEditing(vcl::TObject*, vcl::TTreeNode* Node, bool& AllowEdit) {
    if (RenameInProgress) return;
    TreeLeftButtonDown = false;
    AllowEdit = Node && Node->GetImageIndex() == nkContainerFolder;
    if (AllowEdit) RenameContainerNode(Node);
}

void TForm_Central::ListViewEditing(vcl::TObject*, vcl::TListItem* Item, bool& AllowEdit) {
    if (RenameInProgress) return;
    ListLeftButtonDown = false;
    AllowEdit = Item && IsContainerEntryKind(Item->GetImageIndex());
    if (AllowEdit) RenameContainerItem(Item);
}

// ---- Moving entries inside the container

bool TForm_Central::CanDropOnNode(int DraggedKind, int TargetKind) const {
    return IsContainerEntryKind(DraggedKind) &&
           (TargetKind == nkContainerSaved || TargetKind == nkContainerModified ||
            TargetKind == nkContainerFolder);
}

bool TForm_Central::DropFilesOnContainer(vcl::TTreeNode* SourceNode, vcl::TListItem* SourceItem,
                                         vcl::TTreeNode* Target) {
    if (DropFlags & kDropAbort) return false;
    Record* target = RecordOf(Target);
    if (!target) return false;
    vcl::TTreeNode* movedNode = nullptr;
    vcl::TListItem* movedItem = nullptr;
    Record* rec = nullptr;
    int kind = 0;
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (SourceNode) {
        movedNode = SourceNode;
        rec = RecordOf(SourceNode);
        kind = SourceNode->GetImageIndex();
    } else if (SourceItem) {
        rec = RecordOf(SourceItem);
        kind = SourceItem->GetImageIndex();
        if (kind == nkContainerFolder || kind == nkContainerFolderSelected) {
            movedNode = FindChildNodeByData(selected, rec);
            if (!movedNode) movedNode = AddContainerFolderNode(selected, rec);
            if (!movedNode) return false;
            kind = movedNode->GetImageIndex();
        } else {
            movedItem = SourceItem;
        }
    } else {
        return false;
    }
    if (!rec || !IsContainerEntryKind(kind)) return false;
    if (MainContainer.HasChild(rec, target)) {
        ShowKindMessage("", 14);
        DropFlags |= kDropAbort;
        return false;
    }
    auto rowOf = [this](const Record* r) -> vcl::TListItem* {
        for (int i = 0; i < ListView->Items()->Count(); ++i)
            if (ListView->Items()->Item(i)->GetData() == r) return ListView->Items()->Item(i);
        return nullptr;
    };
    Record* existing = MainContainer.FindChildByName(target, MainContainer.GetDisplayName(rec));
    if (!existing) {
        if (!MainContainer.MoveEntry(rec, target)) return false;
        TreeUpdate treeUpdate(TreeView);
        ListUpdate listUpdate(ListView);
        if (movedItem) {
            movedItem->Delete();
        } else if (movedNode) {
            AddContainerSubtree(Target, rec);
            vcl::TTreeNode* parent = movedNode->Parent();
            if (vcl::TListItem* row = parent == selected ? rowOf(rec) : nullptr) row->Delete();
            if (movedNode != FindChildNodeByData(Target, rec)) movedNode->Delete();
        }
        if (Target == TreeView->GetSelected() && !rowOf(rec)) AddContainerListItem(rec);
        Target->AlphaSort(false);
        MarkContainerModified();
        return true;
    }
    if (!AskReplaceEntryByRecord(existing, rec)) return false;
    if (!MainContainer.IsFolder(rec)) {
        if (!MainContainer.UpdateEntryFromRecord(existing, rec)) return false;
        if (movedItem) movedItem->Delete();
        MainContainer.DeleteEntry(rec);
    } else {
        // Folders of the same name are merged: what the moved folder holds goes into the existing
        // one, and the moved folder goes only when nothing is left in it.
        vcl::TTreeNode* existingNode = FindChildNodeByData(Target, existing);
        if (existingNode)
            SetContainerNodeText(existingNode);
        else
            existingNode = AddContainerSubtree(Target, existing);
        if (!existingNode) return false;
        Record* child = MainContainer.GetFirstChild(rec);
        while (child) {
            Record* next = MainContainer.GetNextSibling(child);
            if (!MainContainer.IsFolder(child)) {
                Record* namesake =
                    MainContainer.FindChildByName(existing, MainContainer.GetDisplayName(child));
                if (!namesake) {
                    MainContainer.MoveEntry(child, existing);
                } else if (AskReplaceEntryByRecord(namesake, child)) {
                    if (MainContainer.UpdateEntryFromRecord(namesake, child))
                        MainContainer.DeleteEntry(child);
                } else if (DropFlags & kDropAbort) {
                    break;
                }
            } else {
                vcl::TTreeNode* childNode = FindChildNodeByData(movedNode, child);
                if (!childNode) childNode = AddContainerSubtree(movedNode, child);
                if (childNode) DropFilesOnContainer(childNode, nullptr, existingNode);
                if (DropFlags & kDropAbort) break;
            }
            child = next;
        }
        AddContainerSubtree(Target, existing);
        if (!MainContainer.GetFirstChild(rec)) {
            vcl::TTreeNode* parent = movedNode ? movedNode->Parent() : nullptr;
            if (vcl::TListItem* row =
                    parent && parent == TreeView->GetSelected() ? rowOf(rec) : nullptr)
                row->Delete();
            MainContainer.DeleteEntry(rec);
            if (movedNode) DeleteTreeNode(movedNode);
        } else if (movedNode) {
            AddContainerSubtree(movedNode->Parent(), rec);
        }
    }
    if (Target == TreeView->GetSelected()) {
        if (vcl::TListItem* row = rowOf(existing))
            UpdateContainerListItem(row);
        else
            AddContainerListItem(existing);
    }
    Target->AlphaSort(false);
    MarkContainerModified();
    return true;
}

// ---- Paste and drops from a file manager

vcl::TTreeNode* TForm_Central::ContainerTargetOfItem(vcl::TListItem* Item) {
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (!selected) return nullptr;
    if (!Item) return IsContainerTargetKind(selected->GetImageIndex()) ? selected : nullptr;
    const int kind = Item->GetImageIndex();
    if (kind >= nkContainerSaved && kind <= nkContainerFolderSelected) {
        if (IsContainerNodeKind(kind)) return MyContainerNode;
        return FindChildNodeByData(selected, Item->GetData());
    }
    if (IsContainerEntryKind(kind)) return selected;
    return nullptr;
}

void TForm_Central::AddPathsToContainer(vcl::TTreeNode* Target,
                                        const std::vector<std::string>& Paths) {
    if (!Target) return;
    const bool treeFocused = TreeView->Focused(), listFocused = ListView->Focused();
    {
        WaitPage wait(!RenameInProgress);
        SetEnabled(false);
        DropFlags = 0;
        for (const std::string& path : Paths) {
            if (DropFlags & kDropAbort) break;
            AddFilesToContainer(Target, path);
        }
        if (TreeView->Items()->Count() > 0) SortNodeRecursive(MyContainerNode);
        DropFlags = 0;
        if (TreeView->GetSelected()) TreeViewChange(TreeView, TreeView->GetSelected());
        SetEnabled(true);
    }
    // The wait page took the keyboard: the window and the control that had it get it back.
    BringToFront();
    if (treeFocused && TreeView->CanFocus()) TreeView->SetFocus();
    if (listFocused && ListView->CanFocus()) ListView->SetFocus();
}

void TForm_Central::PasteToContainerNode(vcl::TTreeNode* Node) {
    if (RenameInProgress) return;
    if (CheckContainerMirroring(GetMessageText(161))) return;
    if (!Node || !IsContainerTargetKind(Node->GetImageIndex())) return;
    const std::vector<std::string> files = FilesOf(DropFileTarget_TreeView->Files);
    AddPathsToContainer(Node, files);
}

void TForm_Central::PasteToContainerItem(vcl::TListItem* Item) {
    if (RenameInProgress) return;
    if (CheckContainerMirroring(GetMessageText(161))) return;
    vcl::TTreeNode* target = ContainerTargetOfItem(Item);
    if (!target) return;
    const std::vector<std::string> files = FilesOf(DropFileTarget_ListView->Files);
    AddPathsToContainer(target, files);
}

namespace {
// The My Container row of the Desktop list: its image and its counts.
void UpdateContainerRow(TForm_Central& w, vcl::TListItem* row, vcl::TTreeNode* node) {
    const Record* root = MainContainer.GetRoot();
    row->SetImageIndex(node->GetImageIndex());
    const std::string text =
        std::to_string(root ? MainContainer.GetTotalFolderCount(root) : 0) + GetMessageText(138) +
        std::to_string(root ? MainContainer.GetTotalFileCount(root) : 0) + GetMessageText(139);
    if (row->SubItems()->Count() > 0)
        row->SubItems()->SetStrings(0, text);
    else
        row->SubItems()->Add(text);
    (void)w;
}
} // namespace

void TForm_Central::DropFileTarget_TreeViewDragOver(vcl::TObject*, vcl::TShiftState,
                                                    const vcl::TPoint& Point, int& Effect) {
    Effect = vcl::DROPEFFECT_NONE;
    vcl::TTreeNode* node = TreeView->GetNodeAt(Point.X, Point.Y);
    if (TreeView->GetDropTarget() != node) TreeView->SetDropTarget(node);
    if (node && IsContainerTargetKind(node->GetImageIndex()))
        Effect = vcl::DROPEFFECT_COPY | vcl::DROPEFFECT_SCROLL;
}

void TForm_Central::DropFileTarget_TreeViewLeave(vcl::TObject*) {
    TreeView->SetDropTarget(nullptr);
}

void TForm_Central::DropFileTarget_TreeViewDrop(vcl::TObject*, vcl::TShiftState, const vcl::TPoint&,
                                                int&) {
    vcl::TTreeNode* node = TreeView->GetDropTarget();
    TreeView->SetDropTarget(nullptr);
    if (CheckContainerMirroring(GetMessageText(161))) return;
    if (!node || !IsContainerTargetKind(node->GetImageIndex())) return;
    const std::vector<std::string> files = FilesOf(DropFileTarget_TreeView->Files);
    void* data = node->GetData();
    const bool containerNode = node == MyContainerNode;
    AddPathsToContainer(node, files);
    // The dropped-on node's row in the list shown beside it.
    vcl::TTreeNode* selected = TreeView->GetSelected();
    for (int i = 0; selected && i < ListView->Items()->Count(); ++i) {
        vcl::TListItem* row = ListView->Items()->Item(i);
        if (containerNode && selected == DesktopNode && MyContainerNode &&
            IsContainerNodeKind(row->GetImageIndex()))
            UpdateContainerRow(*this, row, MyContainerNode);
        else if (!containerNode && row->GetData() == data &&
                 row->GetImageIndex() == nkContainerFolder)
            UpdateContainerListItem(row);
    }
}

void TForm_Central::DropFileTarget_ListViewDragOver(vcl::TObject*, vcl::TShiftState,
                                                    const vcl::TPoint& Point, int& Effect) {
    Effect = vcl::DROPEFFECT_NONE;
    vcl::TListItem* row = ListView->GetItemAt(Point.X, Point.Y);
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (selected && IsContainerTargetKind(selected->GetImageIndex()))
        Effect = vcl::DROPEFFECT_COPY | vcl::DROPEFFECT_SCROLL;
    else if (row && IsContainerNodeKind(row->GetImageIndex()))
        Effect = vcl::DROPEFFECT_COPY | vcl::DROPEFFECT_SCROLL;
}

void TForm_Central::DropFileTarget_ListViewDrop(vcl::TObject*, vcl::TShiftState,
                                                const vcl::TPoint& Point, int&) {
    vcl::TListItem* row = ListView->GetItemAt(Point.X, Point.Y);
    if (CheckContainerMirroring(GetMessageText(161))) return;
    vcl::TTreeNode* target = ContainerTargetOfItem(row);
    if (!target) return;
    const std::vector<std::string> files = FilesOf(DropFileTarget_ListView->Files);
    void* data = row ? row->GetData() : nullptr;
    const int kind = row ? row->GetImageIndex() : 0;
    AddPathsToContainer(target, files);
    if (!row || kind < nkContainerSaved || kind > nkContainerFolderSelected) return;
    // The row may have gone with the refill: find it again by its data.
    for (int i = 0; i < ListView->Items()->Count(); ++i) {
        vcl::TListItem* r = ListView->Items()->Item(i);
        if (r->GetData() != data) continue;
        if (IsContainerNodeKind(kind) && MyContainerNode)
            UpdateContainerRow(*this, r, MyContainerNode);
        else if (kind == nkContainerFolder)
            UpdateContainerListItem(r);
    }
}
