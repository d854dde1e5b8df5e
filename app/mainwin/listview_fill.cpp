#include "listview_fill.h"

#include "cdh_net.h"
#include "cdserver_devices.h"
#include "central.h"
#include "container.h"
#include "kinddialog.h"
#include "listview_sort.h"
#include "msgbox.h"
#include "server_lists.h"

#include "shell/shell.h"
#include "vcl/screen.h"

#include <cstdint>
#include <string>

namespace {

struct ListUpdate {
    explicit ListUpdate(vcl::TListView* list) : items(list->Items()) { items->BeginUpdate(); }
    ~ListUpdate() { items->EndUpdate(); }
    vcl::TListItems* items;
};

void EmptyList(vcl::TListView* list) {
    ListUpdate update(list);
    list->Items()->Clear();
}

void ListServers(TForm_Central& form, vcl::TTreeNode* branch) {
    EmptyList(form.ListView);
    ListServersOfNode(form.NasSvrNet, form.ListView, branch, 1);
}

// The Desktop row's description of a child of Desktop; false when the child gets no row.
bool DesktopDescription(TForm_Central& form, vcl::TTreeNode* child, std::string& text) {
    switch (child->GetImageIndex()) {
    case nkContainerSaved:
    case nkContainerModified:
    case nkContainerEmpty: {
        const auto* root = static_cast<const MIRROR_CONTAINER::Record*>(child->GetData());
        text = std::to_string(root ? MainContainer.GetTotalFolderCount(root) : 0) +
               GetMessageText(138) +
               std::to_string(root ? MainContainer.GetTotalFileCount(root) : 0) +
               GetMessageText(139);
        return true;
    }
    case nkMyComputer:
        text = std::to_string(form.MyComputerNode ? form.MyComputerNode->Count() : 0) +
               GetMessageText(137);
        return true;
    case nkNasNetwork:
        text = "NAS Network";
        return true;
    case nkCdhRoot:
        text = std::to_string(CDH_NET_CLASS().GetSeenServerCount()) + GetMessageText(140);
        return true;
    default:
        return false;
    }
}

// Expands the selected node, selects target and, with expand, expands it too.
void Open(TForm_Central& form, vcl::TTreeNode* target, bool expand) {
    if (!target) return;
    if (vcl::TTreeNode* selected = form.TreeView->GetSelected()) selected->Expand(false);
    form.TreeView->SetSelected(target);
    if (expand) target->Expand(false);
}

// Opens a page of the web administration of the CD server of the selected device node.
void OpenCdhPage(vcl::TTreeNode* selected, const std::string& page) {
    const vcl::TTreeNode* serverNode = selected->Parent();
    if (!serverNode || !serverNode->GetData()) return;
    vcl::THourGlass hourglass(vcl::crDefault);
    platform::ShellOpen(
        "http://" + CDH_NET_CLASS().GetIpText(static_cast<TCdhSvr*>(serverNode->GetData())) + page);
}

} // namespace

void BuildListDesktop(TForm_Central& form) {
    if (!form.DesktopNode || !form.ListView) return;
    vcl::TListView* list = form.ListView;
    ListUpdate update(list);
    list->Items()->Clear();
    for (int i = 0; i < form.DesktopNode->Count(); ++i) {
        vcl::TTreeNode* child = form.DesktopNode->Item(i);
        std::string description;
        if (!DesktopDescription(form, child, description)) continue;
        vcl::TListItem* row = list->Items()->Add();
        if (!row) {
            list->Items()->Clear();
            ShowKindMessage(GetMessageText(66), 30);
            return;
        }
        row->SetCaption(child->GetText());
        row->SetImageIndex(child->GetImageIndex());
        row->SetData(child->GetData());
        row->SubItems()->Add(description);
    }
    SortListRows(list);
}

void FillListView(TForm_Central& form) {
    vcl::TTreeNode* node = form.TreeView ? form.TreeView->GetSelected() : nullptr;
    if (!node || !form.ListView) return;
    const bool timerWasOn = form.Timer_ABSENT && form.Timer_ABSENT->GetEnabled();
    if (form.Timer_ABSENT) form.Timer_ABSENT->SetEnabled(false);
    switch (node->GetImageIndex()) {
    case nkDesktop:
        BuildListDesktop(form);
        break;
    case nkMyComputer:
        form.BuildListMyComputer();
        break;
    case nkCdDrive:
        form.BuildListCdrom(static_cast<char>(reinterpret_cast<std::intptr_t>(node->GetData())));
        break;
    case nkNasServers:
        ListServers(form, form.NasServersNode);
        break;
    case nkNasServer:
        ListChildNodes(form, node);
        break;
    case nkNasNetwork:
        ListNasNetwork(form);
        break;
    case nkImageFolder:
        ListCdImages(form, node, false);
        break;
    case nkRemoteServers:
        ListServers(form, form.RemoteServersNode);
        break;
    case nkContainerSaved:
    case nkContainerModified:
    case nkContainerEmpty:
    case nkContainerFolder:
    case nkContainerFolderSelected:
        form.BuildListContainer(node);
        break;
    case nkCdhRoot:
        form.ListCdhServers();
        break;
    case kCdhServerRead:
        form.ListCdhDevices(static_cast<TCdhSvr*>(node->GetData()));
        break;
    case kCdhShares:
        form.ListCdhSystemItems(static_cast<TCdhSvr*>(node->GetData()));
        break;
    default:
        if (IsCdhImageListKind(node->GetImageIndex()))
            form.ListCdhImages(
                static_cast<TCdhSvr*>(node->Parent() ? node->Parent()->GetData() : nullptr), node);
        else
            EmptyList(form.ListView);
        break;
    }
    if (timerWasOn && form.Timer_ABSENT) form.Timer_ABSENT->SetEnabled(true);
}

void OpenListRow(TForm_Central& form, vcl::TListItem* row) {
    vcl::TTreeNode* selected = form.TreeView ? form.TreeView->GetSelected() : nullptr;
    if (!row || !selected) return;
    void* data = row->GetData();
    switch (row->GetImageIndex()) {
    case nkContainerSaved:
    case nkContainerModified:
    case nkContainerEmpty:
        Open(form, form.MyContainerNode, true);
        break;
    case nkContainerFolder:
    case nkContainerFolderSelected: {
        auto* record = static_cast<MIRROR_CONTAINER::Record*>(data);
        vcl::TTreeNode* target =
            record && record->node ? record->node : form.FindChildNodeByData(selected, data);
        Open(form, target, true);
        break;
    }
    case nkCdhRoot:
        Open(form, form.CdhRootNode, false);
        break;
    case 15:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
    case 24:
    case 29:
    case nkCdDrive:
    case 41:
    case 42:
    case 43:
    case 44:
        Open(form, form.FindChildNodeByData(selected, data), false);
        break;
    case nkMyComputer:
        Open(form, form.MyComputerNode, false);
        break;
    case nkNasServers:
        Open(form, form.NasServersNode, false);
        break;
    case nkNasNetwork:
        Open(form, form.NasNetworkNode, false);
        break;
    case nkRemoteServers:
        Open(form, form.RemoteServersNode, false);
        break;
    case nkNasServer:
    case nkNasServerFactory:
    case nkImageFolder:
        Open(form, form.FindChildNodeByData(selected, data), true);
        break;
    case nkRemoteUnanswered:
        Open(form,
             data ? form.FindChildNodeByData(form.RemoteServersNode, data)
                  : form.FindChildNodeByText(form.RemoteServersNode, row->GetCaption()),
             false);
        break;
    case kCdhFileRow:
    case kCdhTitleRow:
    case kCdhCacheRow:
        OpenCdhPage(selected, "/admin/shman.cgi?ShareVol");
        break;
    case kCdhSystemRow:
    case kCdhGroupingRow:
    case kCdhVolumeRow:
        form.MenuItem_MenuExploreClick(nullptr);
        break;
    case 45:
    case 46:
    case 47:
    case 48:
    case 49:
    case 50:
        OpenCdhPage(selected,
                    "/admin/devices.cgi?TapeStatus&" +
                        std::to_string(reinterpret_cast<std::intptr_t>(selected->GetData())));
        break;
    default:
        break;
    }
}

void ListViewDblClick(TForm_Central& form, int x, int y) {
    if (!form.ListView) return;
    OpenListRow(form, form.ListView->GetItemAt(x, y));
}
