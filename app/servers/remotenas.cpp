#include "remotenas.h"

#include "msgbox.h"
#include "nasserver.h"
#include "nassvrnet.h"
#include "rmtnasip.h"
#include "rmtnasip_mask.h"
#include "unit_call.h"
#include "utils.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/screen.h"
#include "vcl/tree_view.h"

#include <algorithm>
#include <memory>
#include <optional>

TForm_RemoteNAS* Form_RemoteNAS = nullptr;

namespace {

void ShowStopBox(const std::string& text, const std::string& caption) {
    vcl::Application->MessageBox(text, caption, vcl::MB_OK | vcl::MB_ICONSTOP);
}

// The name of a record that no server object holds yet, decoded as a server would decode it.
std::string RecordName(const NasServerInfo& record) {
    auto probe = std::make_unique<CNasServer>();
    probe->Info = record;
    return probe->GetName();
}

// The address an entry rebuilt from a reachable unit's node keeps: the one that answers now,
// else the unit's first configured address, so that a unit that is away for the moment does
// not turn the stored entry into 0.0.0.0.
std::uint32_t EntryAddressOf(const CNasServer& server) {
    if (const std::uint32_t valid = server.GetValidIp()) return valid;
    for (const std::uint32_t address : server.Info.ipAddress)
        if (address != 0) return address;
    return 0;
}

} // namespace

TForm_RemoteNAS::~TForm_RemoteNAS() {
    FreeEntries();
    if (Form_RemoteNAS == this) Form_RemoteNAS = nullptr;
}

void TForm_RemoteNAS::FormCreate(vcl::TObject*) {
    SetCaption(GetMessageText(822));
    Label1->SetCaption(std::string(GetMessageText(822)) + ":");
    btNASAdd->SetCaption(GetMessageText(825));
    btNASDelete->SetCaption(GetMessageText(817));
    btNASClose->SetCaption(GetMessageText(826));
    NASListView->Columns()->Items(0)->SetCaption(GetMessageText(827));
    NASListView->Columns()->Items(1)->SetCaption(GetMessageText(828));
    NASListView->SetViewStyle(vcl::vsReport);
}

void TForm_RemoteNAS::FormShow(vcl::TObject*) {
    vcl::TListItems* rows = NASListView->Items();
    rows->BeginUpdate();
    rows->Clear();
    for (RMT_NAS_DATA* entry = head_; entry; entry = entry->Next)
        AddRow(entry);
    rows->EndUpdate();
}

void TForm_RemoteNAS::btNASAddClick(vcl::TObject*) {
    if (!Form_AddNASIP) Form_AddNASIP = vcl::MakeForm<TForm_AddNASIP>(vcl::Application);
    Form_AddNASIP->ResetInput();
    Form_AddNASIP->ShowModal();
    std::uint32_t address = 0;
    if (!Form_AddNASIP->GetAddress(address)) return;

    vcl::THourGlass hourglass;
    auto asked = std::make_shared<NasServerInfo>();
    const int answer = RunUnitCall(
        utils::IpToText(address),
        [asked, address] {
            const std::uint32_t addresses[NAS_ADDRESS_COUNT] = {address, 0, 0};
            return NasApiGetRemoteInfo(addresses, asked.get());
        },
        static_cast<int>(NAS_RESULT_TIMEOUT));
    if (answer != 0) {
        ShowStopBox(std::string(GetMessageText(820)) + " : " + utils::IpToText(address),
                    GetMessageText(9));
        return;
    }
    const NasServerInfo record = *asked; // the call finished: the worker is done with it
    if (!host_) return;                  // no server list to hold the unit
    CNASSvrNet& servers = host_->ServerList();
    if (servers.FindInList(record, CNASSvrNet::kFoundList) ||
        servers.FindInList(record, CNASSvrNet::kRemoteList)) {
        ShowStopBox(std::string(GetMessageText(884)) + " : " + RecordName(record), kProductWord);
        return;
    }
    CNasServer* server = servers.AddRemote(record);
    if (!server) return;

    RMT_NAS_DATA* entry = AddEntry(address);
    entry->Name = server->GetName();
    entry->Unit = server->UnitHandle;
    NASListView->Items()->BeginUpdate();
    AddRow(entry);
    NASListView->Items()->EndUpdate();
    changed_ = true;
}

void TForm_RemoteNAS::btNASDeleteClick(vcl::TObject*) {
    vcl::TListItem* row = NASListView->GetSelected();
    if (!row) return;
    auto* entry = static_cast<RMT_NAS_DATA*>(row->GetData());
    NASListView->Items()->BeginUpdate();
    // RemoveEntry deletes the row with the entry.
    if (RemoveEntry(entry) == 0) changed_ = true;
    NASListView->Items()->EndUpdate();
}

void TForm_RemoteNAS::btNASCloseClick(vcl::TObject*) {
    Close();
}

RMT_NAS_DATA* TForm_RemoteNAS::AddEntry(std::uint32_t address) {
    auto* entry = new RMT_NAS_DATA;
    entry->Address = address;
    entry->Next = head_;
    head_ = entry;
    if (!tail_) tail_ = entry;
    return entry;
}

RMT_NAS_DATA* TForm_RemoteNAS::AppendEntry(std::uint32_t address, std::string name,
                                           NasUnitHandle unit) {
    auto* entry = new RMT_NAS_DATA;
    entry->Address = address;
    entry->Name = std::move(name);
    entry->Unit = unit;
    if (tail_)
        tail_->Next = entry;
    else
        head_ = entry;
    tail_ = entry;
    return entry;
}

int TForm_RemoteNAS::RemoveEntry(RMT_NAS_DATA* entry) {
    if (!entry) return -1;
    RMT_NAS_DATA* previous = nullptr;
    RMT_NAS_DATA* at = head_;
    while (at && at != entry) {
        previous = at;
        at = at->Next;
    }
    if (!at) return -1;

    if (previous)
        previous->Next = entry->Next;
    else
        head_ = entry->Next;
    if (tail_ == entry) tail_ = previous;
    entry->Next = nullptr;

    if (vcl::TListItem* row = RowOf(entry)) row->Delete();

    // Two addresses may lead to one unit; its server stays while another entry uses it.
    bool shared = false;
    for (const RMT_NAS_DATA* other = head_; other && entry->Unit; other = other->Next)
        shared = shared || other->Unit == entry->Unit;
    if (!shared) {
        DeleteTreeNodeOf(entry);
        if (entry->Unit && host_) {
            host_->RemoteServerGoing(entry->Unit);
            CNASSvrNet& servers = host_->ServerList();
            if (const CNASSvrNet::ServerPtr server = servers.Share(entry->Unit))
                servers.Remove(server.get(), nullptr, CNASSvrNet::kRemoteList, nullptr);
        }
    }
    delete entry;
    return 0;
}

int TForm_RemoteNAS::EntryCount() const {
    int count = 0;
    for (const RMT_NAS_DATA* entry = head_; entry; entry = entry->Next)
        ++count;
    return count;
}

void TForm_RemoteNAS::SyncFromTree() {
    if (head_ || !host_) return;
    vcl::TTreeNode* node = host_->RemoteServersNode();
    if (!node) return;
    for (vcl::TTreeNode* child = node->GetFirstChild(); child; child = child->GetNextSibling()) {
        const NasUnitHandle unit = NasUnitHandle::FromData(child->GetData());
        if (const CNASSvrNet::ServerPtr server = host_->ServerList().Share(unit)) {
            AppendEntry(EntryAddressOf(*server), server->GetName(), unit);
        } else if (unit) {
            continue; // a node whose unit is no longer listed names no entry
        } else if (const std::optional<std::uint32_t> address =
                       ipbox::ParseAddressText(child->GetText())) {
            AppendEntry(*address, child->GetText(), {});
        }
    }
}

vcl::TListItem* TForm_RemoteNAS::RowOf(const RMT_NAS_DATA* entry) const {
    vcl::TListItems* rows = NASListView->Items();
    for (int i = 0; i < rows->Count(); ++i)
        if (rows->Item(i)->GetData() == entry) return rows->Item(i);
    return nullptr;
}

void TForm_RemoteNAS::AddRow(RMT_NAS_DATA* entry) {
    int index = 0;
    for (const RMT_NAS_DATA* at = head_; at && at != entry; at = at->Next)
        ++index;
    vcl::TListItems* rows = NASListView->Items();
    vcl::TListItem* row = rows->Insert(std::min(index, rows->Count()));
    row->SetCaption(utils::IpToText(entry->Address));
    row->SubItems()->Add(entry->Name);
    row->SetData(entry);
}

void TForm_RemoteNAS::DeleteTreeNodeOf(const RMT_NAS_DATA* entry) {
    vcl::TTreeNode* node = host_ ? host_->RemoteServersNode() : nullptr;
    if (!node) return;
    const std::string text = utils::IpToText(entry->Address);
    for (vcl::TTreeNode* child = node->GetFirstChild(); child; child = child->GetNextSibling()) {
        const bool shows = entry->Unit ? child->GetData() == entry->Unit.Data()
                                       : !child->GetData() && child->GetText() == text;
        if (shows) {
            child->Delete();
            return;
        }
    }
}

void TForm_RemoteNAS::FreeEntries() {
    while (head_) {
        RMT_NAS_DATA* next = head_->Next;
        delete head_;
        head_ = next;
    }
    tail_ = nullptr;
}
