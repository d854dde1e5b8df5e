// The local CD/DVD drives under My Computer: their nodes kept in step with the drive table and
// with disc arrival and removal, and the two drive lists.
#include "central.h"

#include "cdrom.h"
#include "display_text.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "utils.h"

#include "vcl/application.h"
#include "vcl/screen.h"

using vcl::TTreeNode;

namespace {

// The upper-case letter; false (after the operation's own error text) for any other character.
bool CheckLetter(char& letter, const char* operation) {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter >= 'A' && letter <= 'Z') return true;
    vcl::Application->MessageBox(std::string(operation) + "(),input error!", "", vcl::MB_OK);
    return false;
}

void* LetterData(char letter) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(letter));
}

int DiscKind(const std::string& format) {
    if (format == "CD-Data" || format == "CD-Data(M)") return nkDiscData;
    if (format == "CD-Video" || format == "CD-Video(M)") return nkDiscVideo;
    if (format == "CD-Audio" || format == "CD-Audio(M)") return nkDiscAudio;
    return nkDiscOther;
}

} // namespace

void TForm_Central::RefreshAllCdrom() {
    if (!MyComputerNode) return;
    vcl::THourGlass hourglass(vcl::crDefault);
    vcl::TTreeNodes* nodes = TreeView->Items();
    nodes->BeginUpdate();
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    if (!drives.Rescan()) {
        ShowKindMessage("", 21);
        DeleteChildrenOf(MyComputerNode);
        nodes->EndUpdate();
        return;
    }
    for (TTreeNode* child = MyComputerNode->GetFirstChild(); child;) {
        TTreeNode* next = child->GetNextSibling();
        char letter = static_cast<char>(reinterpret_cast<std::intptr_t>(child->GetData()));
        if (!drives.IsCdDrive(letter)) DeleteTreeNode(child);
        child = next;
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        TTreeNode* node = FindChildNodeByData(MyComputerNode, LetterData(letter));
        if (!drives.IsCdDrive(letter)) {
            if (node) DeleteTreeNode(node);
        } else if (node) {
            UpdateNodeCdrom(node, letter);
        } else {
            AddNodeCdrom(letter);
        }
    }
    nodes->EndUpdate();
}

void TForm_Central::DeleteChildrenOf(TTreeNode* Node) {
    while (Node && Node->GetFirstChild())
        DeleteTreeNode(Node->GetFirstChild());
}

void TForm_Central::RefreshCdromView() {
    RefreshAllCdrom();
    TTreeNode* selected = TreeView->GetSelected();
    int kind = selected ? selected->GetImageIndex() : nkNone;
    if (kind == nkDesktop || kind == nkMyComputer || kind == nkCdDrive)
        TreeViewChange(TreeView, selected);
}

void TForm_Central::ShowDriveChange(char Letter) {
    FormReady = false;
    TTreeNode* selected = TreeView->GetSelected();
    if (selected && selected == MyComputerNode)
        TreeViewChange(TreeView, selected);
    else if (selected && selected == FindChildNodeByData(MyComputerNode, LetterData(Letter)))
        TreeViewChange(TreeView, selected);
    FormReady = true;
}

void TForm_Central::UpdateOrAddDriveNode(char Letter) {
    if (!MyComputerNode) return;
    if (TTreeNode* node = FindChildNodeByData(MyComputerNode, LetterData(Letter)))
        UpdateNodeCdrom(node, Letter);
    else if (CdromTable().IsCdDrive(Letter))
        AddNodeCdrom(Letter);
}

void TForm_Central::RefreshCdrom(char Letter) {
    if (!CheckLetter(Letter, "RefreshCdrom")) return;
    {
        vcl::THourGlass hourglass(vcl::crDefault);
        CdromTable().RefreshLetter(Letter);
    }
    UpdateOrAddDriveNode(Letter);
    ShowDriveChange(Letter);
}

TTreeNode* TForm_Central::AddNodeCdrom(char Letter) {
    if (!CheckLetter(Letter, "AddNodeCdrom") || !MyComputerNode) return nullptr;
    vcl::TTreeNodes* nodes = TreeView->Items();
    nodes->BeginUpdate();
    TTreeNode* node = nullptr;
    try {
        node = nodes->AddChild(MyComputerNode, "");
    } catch (const std::bad_alloc&) {
        node = nullptr;
    }
    if (!node)
        ShowKindMessage(GetMessageText(165), 1);
    else
        UpdateNodeCdrom(node, Letter);
    nodes->EndUpdate();
    return node;
}

void TForm_Central::UpdateNodeCdrom(TTreeNode* Node, char Letter) {
    if (!Node) {
        vcl::Application->MessageBox("UpdateNodeCdrom(),input error!", "", vcl::MB_OK);
        return;
    }
    if (!CheckLetter(Letter, "UpdateNodeCdrom")) return;
    Node->SetText(DisplayText(CdromTable().GetDriveCaption(Letter)));
    Node->SetImageIndex(nkCdDrive);
    Node->SetSelectedIndex(nkCdDrive);
    Node->SetData(LetterData(Letter));
    MyComputerNode->CustomSort(
        [this](TTreeNode* a, TTreeNode* b, intptr_t) {
            int c = 0;
            TreeViewCompare(TreeView, a, b, 0, c);
            return c;
        },
        0);
}

void TForm_Central::CDEventAfterArrival(vcl::TObject*, char Letter) {
    if (!CheckLetter(Letter, "CDEventAfterArrival")) return;
    RefreshCdrom(Letter);
    WizardDrivesChanged();
}

void TForm_Central::CDEventAfterRemove(vcl::TObject*, char Letter) {
    if (!CheckLetter(Letter, "CDEventAfterRemove")) return;
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    drives.SetMediaChanged(Letter);
    drives.InvalidateCache(Letter);
    UpdateOrAddDriveNode(Letter);
    ShowDriveChange(Letter);
    WizardDrivesChanged();
}

void TForm_Central::BuildListMyComputer() {
    vcl::TListItems* rows = ListView->Items();
    rows->BeginUpdate();
    rows->Clear();
    if (MyComputerNode && MyComputerNode->HasChildren()) {
        CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            if (!drives.IsCdDrive(letter)) continue;
            vcl::TListItem* row = rows->Add();
            row->SetCaption(DisplayText(drives.GetDriveCaption(letter)));
            row->SetData(LetterData(letter));
            row->SetImageIndex(nkCdDrive);
            row->SubItems()->Add(DisplayText(drives.GetMediaKindName(letter)));
            row->SubItems()->Add(DisplayText(drives.GetDeviceName(letter)));
        }
    }
    rows->EndUpdate();
}

void TForm_Central::BuildListCdrom(char Letter) {
    if (!CheckLetter(Letter, "BuildListCdrom")) return;
    vcl::TListItems* rows = ListView->Items();
    rows->BeginUpdate();
    rows->Clear();
    CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
    if (drives.IsDiscReady(Letter)) {
        const std::string format = drives.GetDiscFormatName(Letter);
        vcl::TListItem* row = rows->Add();
        row->SetCaption(DisplayText(drives.GetVolumeLabel(Letter), 64));
        row->SetData(LetterData(Letter));
        row->SetImageIndex(DiscKind(format));
        row->SubItems()->Add(format);
        row->SubItems()->Add(utils::FormatScaledSize(0, drives.GetDiscBytes(Letter)));
    }
    rows->EndUpdate();
}
