// The hard-disk initialisation page (page 14): a CD server's drive slots and RAID volumes, each
// marked for initialisation as Mirror, File or No Init. The servers are the CD servers of the
// CD-server facade, whose slot questions need CD-server records; the job entries name a server
// by its hardware-address text.
#include "fmwizard.h"

#include "cdh_net.h"
#include "kinddialog.h"
#include "message_format.h"
#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/screen.h"

namespace {

constexpr int kMaxTasks = 16;

// Message id and row images of a slot mode (1 No Init, 2 Mirror, 3 File), for slots and for
// RAID volumes; 0 for a mode with no row.
int ModeTextId(int slotMode) {
    switch (slotMode) {
    case 1:
        return 269;
    case 2:
        return 256;
    case 3:
        return 95;
    default:
        return 0;
    }
}
int ModeImage(int slotMode, bool raid) {
    static const int kSlot[] = {20, 18, 19};
    static const int kRaid[] = {44, 42, 43};
    return slotMode >= 1 && slotMode <= 3 ? (raid ? kRaid : kSlot)[slotMode - 1] : -1;
}
// The text of an initialisation mode (0 No Init, 1 Mirror, 2 File).
std::string InitModeText(int mode) {
    static const int kIds[] = {269, 256, 95};
    return GetMessageText(kIds[mode]);
}

} // namespace

// The CD server of the selected combo item, when the facade still lists it.
static TCdhSvr* ChosenCdhServer(vcl::TComboBox* combo, CDH_NET_CLASS* net) {
    const int chosen = combo->GetItemIndex();
    auto* server = chosen >= 0 ? static_cast<TCdhSvr*>(combo->Items()->Objects(chosen)) : nullptr;
    if (server == nullptr || net == nullptr) return nullptr;
    for (int i = 0; i < net->GetServerCount(); ++i)
        if (net->GetServer(i) == server) return server;
    return nullptr;
}

static void FillCdhServerCombo(vcl::TComboBox* combo, CDH_NET_CLASS* net) {
    const int chosen = combo->GetItemIndex();
    const std::string remembered = chosen >= 0 ? combo->Items()->Strings(chosen) : "";
    combo->Items()->BeginUpdate();
    combo->Items()->Clear();
    for (int i = 0; net && i < net->GetServerCount(); ++i)
        if (TCdhSvr* server = net->GetServer(i))
            combo->Items()->AddObject(net->GetServerName(server), server);
    if (combo->Items()->Count() == 0) combo->Items()->Add(GetMessageText(491));
    combo->Items()->EndUpdate();
    combo->SetItemIndex(0);
    if (!remembered.empty()) {
        const int at = combo->Items()->IndexOf(remembered);
        if (at >= 0) combo->SetItemIndex(at);
    }
}

int TFmWizard::InitialHdListPage(int mode) {
    CDH_NET_CLASS* net = host_ ? host_->CdhNet() : nullptr;
    if (mode == 0) {
        ClearJobList();
        ListView_HdInitial->Items()->Clear();
        ListView_HdDetail->Items()->Clear();
        ComboBox_HdInitialServer->Items()->Clear();
        vcl::Application->ProcessMessages();
        FillCdhServerCombo(ComboBox_HdInitialServer, net);
        ComboBox_HdInitialServerChange(nullptr);
        if (PreselectedDevice >= 0) {
            bool found = false;
            for (int i = 0; i < ListView_HdDetail->Items()->Count(); ++i) {
                vcl::TListItem* row = ListView_HdDetail->Items()->Item(i);
                if (reinterpret_cast<std::intptr_t>(row->GetData()) == PreselectedDevice) {
                    ListView_HdDetail->ClearSelection();
                    row->SetSelected(true);
                    row->SetFocused(true);
                    found = true;
                    break;
                }
            }
            if (!found) PreselectedDevice = -1;
        }
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (WzdInfo.Jobs.empty() || ListView_HdInitial->Items()->Count() == 0) {
        ShowKindMessage("", 40);
        return 1;
    }
    if (static_cast<std::size_t>(ListView_HdInitial->Items()->Count()) != WzdInfo.Jobs.size()) {
        ShowKindMessage("", 8);
        return 1;
    }
    return 0;
}

void TFmWizard::ComboBox_HdInitialServerChange(vcl::TObject*) {
    CDH_NET_CLASS* net = host_ ? host_->CdhNet() : nullptr;
    for (;;) {
        TCdhSvr* server = ChosenCdhServer(ComboBox_HdInitialServer, net);
        if (server == nullptr) {
            ListView_HdDetail->Items()->Clear();
            return;
        }
        int refreshed;
        {
            host_->SetFormReady(false);
            vcl::THourGlass hourglass;
            refreshed = host_->RefreshCdhServerNode(server);
            host_->SetFormReady(true);
        }
        if (refreshed >= 0) {
            FillHdDetail(server);
            return;
        }
        // A server that cannot be read is dropped from the choice.
        ComboBox_HdInitialServer->Items()->Delete(ComboBox_HdInitialServer->GetItemIndex());
        if (ComboBox_HdInitialServer->Items()->Count() == 0) {
            ListView_HdDetail->Items()->Clear();
            return;
        }
        ComboBox_HdInitialServer->SetItemIndex(0);
    }
}

void TFmWizard::FillHdDetail(TCdhSvr* server) {
    CDH_NET_CLASS* net = host_ ? host_->CdhNet() : nullptr;
    ListView_HdDetail->Items()->BeginUpdate();
    ListView_HdDetail->Items()->Clear();
    auto addRow = [&](int slot, bool raid) {
        const int slotMode = net->GetSlotMode(server, slot);
        const int textId = ModeTextId(slotMode);
        if (textId == 0) return;
        vcl::TListItem* row = ListView_HdDetail->Items()->Add();
        row->SetCaption(net->GetSlotLabel(server, slot));
        row->SetImageIndex(ModeImage(slotMode, raid));
        row->SetData(reinterpret_cast<void*>(static_cast<std::intptr_t>(slot)));
        row->SubItems()->Add(GetMessageText(textId));
        row->SubItems()->Add(std::to_string(net->GetSlotEntryCount(server, slot)));
        row->SubItems()->Add(net->GetSlotCapacityText(server, slot));
        row->SubItems()->Add(net->GetSlotFreeText(server, slot));
        row->SubItems()->Add(net->GetVolumeStateText(server, slot));
    };
    if (net && server) {
        const std::uint32_t mask = net->GetSlotMaskB(server);
        for (int slot = 0; slot < net->GetMaxSlots(); ++slot)
            if ((mask >> slot & 1u) != 0 && net->SlotExists(server, slot) &&
                net->GetSlotKind(server, slot) == 1)
                addRow(slot, false);
        for (int slot = CDH_NET_CLASS::kFirstRaidSlot; slot <= CDH_NET_CLASS::kLastRaidSlot; ++slot)
            if (net->IsRaidVolume(server, slot)) addRow(slot, true);
    }
    ListView_HdDetail->AlphaSort();
    ListView_HdDetail->Items()->EndUpdate();
}

void TFmWizard::AddHdInitial(int mode) {
    if (mode < 0 || mode > 2) return;
    CDH_NET_CLASS* net = host_ ? host_->CdhNet() : nullptr;
    if (ComboBox_HdInitialServer->GetItemIndex() < 0) return;
    TCdhSvr* server = ChosenCdhServer(ComboBox_HdInitialServer, net);
    auto errorBox = [&](const std::string& text) {
        vcl::MessageBox(text, GetMessageText(9), vcl::MB_OK | vcl::MB_ICONERROR);
    };
    if (server == nullptr) return errorBox(GetMessageText(437));
    if (ListView_HdDetail->Items()->Count() == 0) return errorBox(GetMessageText(438));
    if (ListView_HdDetail->SelCount() == 0) return errorBox(GetMessageText(487));
    if (net->CheckFirmware(server) < 0) return;

    // Rows whose slot is gone or is of another kind leave the list.
    std::vector<int> slots;
    ListView_HdDetail->Items()->BeginUpdate();
    for (int i = ListView_HdDetail->Items()->Count() - 1; i >= 0; --i) {
        vcl::TListItem* row = ListView_HdDetail->Items()->Item(i);
        if (!row->GetSelected()) continue;
        const int slot = static_cast<int>(reinterpret_cast<std::intptr_t>(row->GetData()));
        const int kind = net->GetSlotKind(server, slot);
        if ((!net->SlotExists(server, slot) && !net->IsRaidVolume(server, slot)) ||
            (kind != 1 && kind != 5)) {
            ListView_HdDetail->Items()->Delete(i);
            continue;
        }
        slots.insert(slots.begin(), slot);
    }
    ListView_HdDetail->Items()->EndUpdate();
    if (slots.empty()) return errorBox(GetMessageText(438));
    const std::string mac = net->GetMacText(server);
    for (int slot : slots) {
        if (net->IsTapeSlot(server, slot)) return errorBox(GetMessageText(487));
        if (mode == 0 && net->GetSlotKind(server, slot) == 5)
            return errorBox(
                FormatMessageText(GetMessageText(489), {net->GetSlotLabel(server, slot)}));
        for (const auto& entry : WzdInfo.Jobs)
            if (entry->TargetMac == mac && entry->HdInitDevice == slot)
                return errorBox(GetMessageText(490));
    }
    const int tasks = host_->TaskCount();
    const int listed = static_cast<int>(WzdInfo.Jobs.size());
    if (tasks + listed >= kMaxTasks || static_cast<int>(slots.size()) + listed + tasks > kMaxTasks)
        return errorBox(GetMessageText(440));
    for (int slot : slots) {
        auto entry = std::make_unique<WizardJobEntry>();
        entry->TargetMac = mac;
        entry->TargetName = net->GetServerName(server);
        entry->HdInitDevice = static_cast<std::uint8_t>(slot);
        entry->HdInitMode = static_cast<std::uint8_t>(mode);
        vcl::TListItem* row = ListView_HdInitial->Items()->Add();
        row->SetCaption(entry->TargetName);
        row->SetData(entry.get());
        row->SubItems()->Add(net->GetSlotLabel(server, slot));
        row->SubItems()->Add(InitModeText(mode));
        WzdInfo.Jobs.push_back(std::move(entry));
    }
}

void TFmWizard::Button_MirrorPartitionClick(vcl::TObject*) {
    AddHdInitial(1);
}
void TFmWizard::Button_FilePartitionClick(vcl::TObject*) {
    AddHdInitial(2);
}
void TFmWizard::Button_NoInitPartitionClick(vcl::TObject*) {
    AddHdInitial(0);
}

void TFmWizard::Button_RemoveHdInitialClick(vcl::TObject*) {
    while (vcl::TListItem* row = ListView_HdInitial->GetSelected()) {
        auto* entry = static_cast<WizardJobEntry*>(row->GetData());
        std::erase_if(WzdInfo.Jobs, [entry](const auto& e) { return e.get() == entry; });
        ListView_HdInitial->Items()->Delete(ListView_HdInitial->Items()->IndexOf(row));
    }
}

void TFmWizard::Button_RefreshHdInitialServerClick(vcl::TObject*) {
    ClearJobList();
    int result;
    {
        vcl::THourGlass hourglass;
        result = host_ ? host_->RefreshCdhServers() : -1;
    }
    if (result < 0) {
        bbCancelClick(nullptr);
        SetModalResult(vcl::mrCancel);
        return;
    }
    FillCdhServerCombo(ComboBox_HdInitialServer, host_->CdhNet());
    ComboBox_HdInitialServerChange(nullptr);
    ListView_HdInitial->Items()->Clear();
}
