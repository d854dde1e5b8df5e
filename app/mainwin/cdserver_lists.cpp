// The list of the CD-server branch's nodes: the servers below the root, a server's devices, a
// device's entries or a tape's backup sets, and the share folders. Every text from a server is
// shown bounded and as valid UTF-8; every count is bounded by what was received.
#include "cdserver_devices.h"
#include "central.h"
#include "display_text.h"
#include "listview_sort.h"

#include "cdh_net.h"
#include "kinddialog.h"
#include "msgbox.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace {

// What a device list shows where the device has no value.
constexpr char kNoValue[] = "- - - -";

struct ListUpdate {
    explicit ListUpdate(vcl::TListView* list) : items(list->Items()) { items->BeginUpdate(); }
    ~ListUpdate() { items->EndUpdate(); }
    vcl::TListItems* items;
};

// Adds a row; a row that cannot be made stops the fill with message 66.
vcl::TListItem* AddRow(vcl::TListView* list, const std::string& caption, int kind, void* data,
                       std::initializer_list<std::string> subItems) {
    vcl::TListItem* row = list->Items()->Add();
    if (!row) {
        ShowKindMessage(GetMessageText(66), 30);
        return nullptr;
    }
    row->SetCaption(caption);
    row->SetImageIndex(kind);
    row->SetData(data);
    for (const std::string& text : subItems)
        row->SubItems()->Add(text);
    return row;
}

std::string OrNoValue(const std::string& text) {
    return text.empty() ? kNoValue : text;
}

void* IndexData(int index) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(index));
}

} // namespace

void TForm_Central::ListCdhServers() {
    ListUpdate update(ListView);
    ListView->Items()->Clear();
    if (!CdhRootNode) return;
    CDH_NET_CLASS net;
    for (int i = 0; i < CdhRootNode->Count(); ++i) {
        vcl::TTreeNode* child = CdhRootNode->Item(i);
        const auto* server = static_cast<const TCdhSvr*>(child->GetData());
        if (!AddRow(ListView, child->GetText(), child->GetImageIndex(), child->GetData(),
                    {DisplayText(net.GetWorkgroupText(server)), net.GetIpText(server), "",
                     DisplayText(net.GetFirmwareText(server)),
                     DisplayText(net.GetCommentText(server))}))
            return;
    }
    SortListRows(ListView);
}

void TForm_Central::ListCdhDevices(TCdhSvr* Server) {
    ListUpdate update(ListView);
    ListView->Items()->Clear();
    if (!CdhRootNode || !Server) return;
    CDH_NET_CLASS net;
    for (const CdhDevice& device : CdhDevicesOf(net, Server)) {
        const int slot = device.Slot;
        if (!AddRow(ListView, DisplayText(CdhDeviceText(net, Server, slot)), device.Kind,
                    CdhSlotData(slot),
                    {DisplayText(CdhDeviceTypeText(net, Server, slot)),
                     std::to_string(net.GetSlotEntryCount(Server, slot)), kNoValue,
                     OrNoValue(net.GetSlotCapacityText(Server, slot)),
                     OrNoValue(net.GetSlotFreeText(Server, slot))}))
            return;
    }
    if (!AddRow(
            ListView, GetMessageText(101), kCdhShares, Server,
            {kNoValue, kNoValue, std::to_string(net.GetGroupCount(Server)), kNoValue, kNoValue}))
        return;
    SortListRows(ListView);
}

void TForm_Central::ListCdhImages(TCdhSvr* Server, vcl::TTreeNode* Device) {
    ListUpdate update(ListView);
    ListView->Items()->Clear();
    if (!CdhRootNode || !Server || !Device) return;
    CDH_NET_CLASS net;
    const int slot = CdhSlotOf(Device->GetData());
    if (Device->GetImageIndex() == kCdhTape) {
        const int sets = CdhListedBackupSetCount(net, Server);
        for (int i = 0; i < sets; ++i) {
            const int kind = CdhBackupSetRowKind(net.GetBackupSetKind(Server, i),
                                                 net.GetBackupSetPlace(Server, i));
            if (!AddRow(ListView, DisplayText(net.GetBackupSetName(Server, i)), kind, IndexData(i),
                        {net.GetBackupSetKindText(Server, i), net.GetBackupSetSizeText(Server, i),
                         net.GetBackupSetPlaceText(Server, i)}))
                return;
        }
    } else {
        const int entries = CdhListedEntryCount(net, Server, slot);
        for (int i = 0; i < entries; ++i) {
            const std::string kindText = net.GetEntryKindText(Server, i);
            // Byte 34 of an entry is set while the server mirrors it.
            const std::string status =
                net.GetEntryByte34(Server, i) != 0 ? GetMessageText(112) : "";
            if (!AddRow(ListView, DisplayText(net.GetEntryName(Server, i)),
                        CdhEntryRowKind(kindText), IndexData(i),
                        {kindText, net.GetEntrySizeText(Server, i), status}))
                return;
        }
    }
    SortListRows(ListView);
}

void TForm_Central::ListCdhSystemItems(TCdhSvr* Server) {
    ListUpdate update(ListView);
    ListView->Items()->Clear();
    if (!CdhRootNode || !Server) return;
    CDH_NET_CLASS net;
    const int groups = std::min(net.GetGroupCount(Server), net.GetGroupCountLoaded(Server));
    for (int i = 0; i < groups; ++i) {
        const std::string kindText = net.GetGroupKindText(Server, i);
        // A group of no known kind is shown as a system group, whose row changes nothing.
        const int kind = kindText == "Grouping" ? kCdhGroupingRow
                         : kindText == "Volume" ? kCdhVolumeRow
                                                : kCdhSystemRow;
        if (!AddRow(ListView, DisplayText(net.GetGroupName(Server, i)), kind, IndexData(i),
                    {kindText, net.GetGroupFlagText(Server, i)}))
            return;
    }
    SortListRows(ListView);
}
