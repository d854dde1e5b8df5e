// The status text of the list selection, the refresh of one node by its kind and the tool bar's
// refresh of everything.
#include "central.h"

#include "cdh_net.h"
#include "cdrom.h"
#include "cdserver_devices.h"
#include "container.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "server_nodes.h"
#include "utils.h"

#include "vcl/application.h"
#include "vcl/screen.h"
#include "vcl/status_bar.h"

#include <cstdint>

namespace {

char LetterOf(const void* data) {
    return static_cast<char>(reinterpret_cast<std::intptr_t>(data));
}

} // namespace

void TForm_Central::ListViewChange(vcl::TObject*, vcl::TListItem*, vcl::TItemChange Change) {
    if (Change != vcl::ctState || ListRefreshing || RenameInProgress || !ListView->Focused())
        return;
    UpdateListStatusBar();
}

void TForm_Central::UpdateListStatusBar() {
    vcl::TTreeNode* node = TreeView->GetSelected();
    if (!node) return;
    const int selected = ListView->SelCount();
    if (selected == 0) {
        UpdateTreeStatusBar();
        return;
    }
    const std::string count = std::to_string(selected);
    std::string text;
    switch (node->GetImageIndex()) {
    case 1:
    case 54:
        text = count + GetMessageText(175);
        break;
    case 2:
    case 3:
    case 5:
    case 6: {
        std::uint32_t folders = 0, files = 0;
        std::uint64_t bytes = 0;
        for (vcl::TListItem* item = ListView->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected});
             item; item = ListView->GetNextItem(item, vcl::sdAll, {vcl::isSelected})) {
            auto* record = static_cast<MIRROR_CONTAINER::Record*>(item->GetData());
            if (!record) continue;
            if (MainContainer.IsFolder(record))
                ++folders;
            else
                ++files;
            bytes += MainContainer.GetTotalSize(record);
        }
        text = std::to_string(folders) + GetMessageText(138) + std::to_string(files) +
               GetMessageText(503) + utils::FormatScaledSize(0, static_cast<std::int64_t>(bytes));
        break;
    }
    case 14:
    case 52:
    case 59:
        text = count + GetMessageText(140);
        break;
    case 15:
        text = count + GetMessageText(175);
        break;
    case 29:
        text = count + GetMessageText(185);
        break;
    case 33:
        text = count + GetMessageText(137);
        break;
    case 34: {
        CDH_LOGICAL_CDROM_CLASS& drives = CdromTable();
        const char letter = LetterOf(node->GetData());
        text = GetMessageText(189) + utils::FormatScaledSize(0, drives.IsDiscReady(letter)
                                                                    ? drives.GetDiscBytes(letter)
                                                                    : 0);
        break;
    }
    default: {
        // A device's selected images or backup sets: their count and size.
        if (!IsCdhImageListKind(node->GetImageIndex())) break;
        auto* server = static_cast<TCdhSvr*>(node->Parent() ? node->Parent()->GetData() : nullptr);
        CDH_NET_CLASS net;
        std::int64_t bytes = 0;
        for (vcl::TListItem* item = ListView->GetNextItem(nullptr, vcl::sdAll, {vcl::isSelected});
             item; item = ListView->GetNextItem(item, vcl::sdAll, {vcl::isSelected})) {
            const int index = static_cast<int>(reinterpret_cast<std::intptr_t>(item->GetData()));
            bytes += node->GetImageIndex() == kCdhTape ? net.GetBackupSetSize(server, index)
                                                       : net.GetEntrySize(server, index);
        }
        text = count + GetMessageText(188) + utils::FormatScaledSize(0, bytes);
        break;
    }
    }
    StatusBar->Panels(0)->SetText(count + GetMessageText(190) + text);
}

void TForm_Central::RefreshByNodeKind(vcl::TTreeNode* Node) {
    if (!Node) return;
    if (PopupSelecting) popupFillPending_ = true; // filled again once the selection is back
    const bool timer = Timer_ABSENT->GetEnabled();
    Timer_ABSENT->SetEnabled(false);
    switch (Node->GetImageIndex()) {
    case nkMyComputer:
        RefreshCdromView();
        break;
    case nkCdDrive:
        RefreshCdrom(LetterOf(Node->GetData()));
        break;
    case nkCdhRoot:
        RefreshCdhServers();
        break;
    case 15:
    case 16:
    case 17:
        RefreshCdhServerNode(static_cast<TCdhSvr*>(Node->GetData()));
        break;
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
    case 29:
    case 41:
    case 42:
    case 43:
    case 44:
        // A device's and the share folders' server is their parent's data (a device's own data
        // is its slot number).
        if (Node->Parent()) RefreshCdhServerNode(static_cast<TCdhSvr*>(Node->Parent()->GetData()));
        break;
    case nkNasServers:
    case nkRemoteServers:
        // The list's rows point at the servers the refresh may free: they go first, and the
        // selected node's list is made again afterwards.
        ListView->Items()->BeginUpdate();
        ListView->Items()->Clear();
        ListView->Items()->EndUpdate();
        if (Node->GetImageIndex() == nkNasServers)
            RefreshServerTree(*this);
        else
            RefreshRemoteServers(*this);
        TreeViewChange(TreeView, TreeView->GetSelected());
        break;
    default:
        break;
    }
    Timer_ABSENT->SetEnabled(timer);
}

void TForm_Central::ToolButton_RefreshClick(vcl::TObject*) {
    std::string serverText;
    if (vcl::TTreeNode* selected = TreeView->GetSelected()) {
        const int kind = selected->GetImageIndex();
        if (kind == nkNasServer || kind == nkNasServerFactory) serverText = selected->GetText();
    }
    if (RenameInProgress) return;
    Timer_ABSENT->SetEnabled(false);
    vcl::THourGlass hourglass(vcl::crDefault);
    // The list's rows point at servers the refresh may free: they go before it.
    ListView->Items()->BeginUpdate();
    ListView->Items()->Clear();
    ListView->Items()->EndUpdate();
    RefreshAllCdrom();
    if (vcl::Application) vcl::Application->ProcessMessages();
    RefreshServerTree(*this);
    RefreshRemoteServers(*this);
    TreeViewChange(TreeView, TreeView->GetSelected());
    Timer_ABSENT->SetEnabled(true);
    if (serverText.empty()) return;
    vcl::TTreeNode* found =
        NasServersNode ? FindChildNodeByText(NasServersNode, serverText) : nullptr;
    if (!found && RemoteServersNode) found = FindChildNodeByText(RemoteServersNode, serverText);
    if (!found || !found->Parent()) return;
    found->Parent()->Expand(false);
    TreeView->SetSelected(found);
}
