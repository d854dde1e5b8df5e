// The announcement listener: a timer polls the UDP socket on which NAS units announce that they
// are ready or going off-line, and merges each announcement into the server list, the tree, the
// list view, the open wizard and the settings-profile window. Each tick reads what is queued, up to
// a batch; a datagram is taken only for what its sender proves, and a repeat of the last sender
// within 10 seconds is dropped.
#include "central.h"

#include "fmwizard.h"
#include "msgbox.h"
#include "nasannouncement.h"
#include "server_list_lock.h"
#include "server_lists.h"
#include "server_nodes.h"

#include "clock/clock.h"
#include "vcl/application.h"
#include "vcl/status_bar.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <iterator>
#include <mutex>
#include <string>

vcl::TCriticalSection ServerListLock;

// The settings-profile window closes when its server went off-line (central_timers.cpp).
void CloseProfileWindowOf(const CNasServer& server, const std::string& text);

namespace {

// The server name of an announcement: the text at offset 236 up to its terminator or the end.
std::string AnnouncedName(std::span<const std::uint8_t> datagram) {
    constexpr std::size_t kNameOffset = 236;
    const auto* begin = reinterpret_cast<const char*>(datagram.data()) + kNameOffset;
    const std::size_t room = datagram.size() - kNameOffset;
    return std::string(begin, strnlen(begin, room));
}

std::string Formatted(int messageId, const std::string& name) {
    const std::string format = GetMessageText(messageId);
    const auto at = format.find("%s");
    return at == std::string::npos ? format : format.substr(0, at) + name + format.substr(at + 2);
}

// A tree node handed to the server list for deletion together with its server.
class NodeItem : public TServerViewItem {
public:
    explicit NodeItem(vcl::TTreeNode* node) : node_(node) {}
    void DeleteItem() override {
        if (node_) node_->Delete();
    }

private:
    vcl::TTreeNode* node_;
};

// True when the unit was found at address (host order).
bool KnownAt(const CNasServer& server, std::uint32_t address) {
    return address != 0 &&
           std::find(std::begin(server.Info.ipAddress), std::end(server.Info.ipAddress), address) !=
               std::end(server.Info.ipAddress);
}

// Datagrams read from the announcement port at most per tick.
constexpr int kAnnouncementBatch = 256;

} // namespace

bool TForm_Central::IsDuplicateAnnouncement(std::span<const std::uint8_t> Datagram) {
    LAST_ANNOUNCEMENT* last = NasSvrNet.LastAnnouncement();
    const auto sender = NasAnnouncementHardwareAddress(Datagram);
    const auto now = static_cast<std::uint32_t>(platform::UnixSeconds());
    if (!last || sender.size() != kNasHardwareAddressSize) return false;
    const bool same = std::memcmp(last->HardwareAddress, sender.data(), sender.size()) == 0;
    const bool repeat = same && static_cast<std::uint32_t>(now - last->Time) < 10;
    last->Time = now;
    if (!repeat) std::memcpy(last->HardwareAddress, sender.data(), sender.size());
    return repeat;
}

void TForm_Central::DropAnnouncedServer(CNasServer* Server, const std::string& Text) {
    // The wizard keeps its destinations by the units' hardware addresses and finds them again in
    // the server lists: its combos of units are filled again, and the destinations whose unit
    // has gone leave its lists, the user told which. Server is the unit that announced going
    // off-line (retired, not yet freed); null after a refresh.
    if (!FmWizard) return;
    switch (WzdInfo.Job) {
    case 3:
    case 5:
        // Quick setup: page 8 lists the units as they now are; past it, a setup of the unit that
        // went off-line ends, the user told (once a box over the wizard has closed).
        if (Server) {
            RefreshWizardServerDetail();
            FmWizard->SetupUnitWentOffline(TFmWizard::MacOf(*Server), Text);
        } else {
            FmWizard->EndSetupOfOfflineUnit();
        }
        return;
    case 1:
    case 2:
    case 6:
    case 7:
    case 8:
    case 11:
        FmWizard->FillServerCombo(FmWizard->ComboBox_ServerList);
        FmWizard->ComboBox_ServerListChange(nullptr);
        break;
    case 10:
        FmWizard->FillServerCombo(FmWizard->ComboBox_ToNasServer);
        FmWizard->ComboBox_CDHImgToNasServerChange(nullptr);
        break;
    default:
        break;
    }
    FmWizard->DropVanishedDestinations();
}

void TForm_Central::Timer_ABSENTTimer(vcl::TObject*) {
    // A tick that comes while a refresh or another tick is at work (both let pending events run)
    // is skipped: the datagrams wait in the socket for the next one.
    if (TimerWorkRunning) return;
    TimerWorkRunning = true;
    struct Clear {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{TimerWorkRunning};
    std::lock_guard<vcl::TCriticalSection> lock(ServerListLock);
    try {
        if (announceSocket_ < 0) {
            Timer_ABSENT->SetEnabled(false);
            return;
        }
        // Everything queued is read, up to a batch per tick: a flood of datagrams that prove
        // nothing costs the genuine ones behind it no more than a tick.
        int taken = 0;
        for (; taken < kAnnouncementBatch; ++taken) {
            std::array<std::uint8_t, 1024> buffer{};
            socklen_t length = sizeof NasSvrNet.SenderAddress;
            const ssize_t got =
                ::recvfrom(announceSocket_, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                           reinterpret_cast<sockaddr*>(&NasSvrNet.SenderAddress), &length);
            if (got < 0) break; // nothing more queued (or the socket failed: a quiet poll)
            if (taken == 0 && !NasSvrNet.LastAnnouncement()) {
                NasSvrNet.AllocScratch();
                if (!NasSvrNet.LastAnnouncement())
                    vcl::Application->MessageBox("Last Server tmp error", "", vcl::MB_OK);
            }
            if (got != static_cast<ssize_t>(kNasAnnouncementSize) ||
                NasSvrNet.SenderAddress.sin_family != AF_INET)
                continue;
            TakeAnnouncement(std::span<const std::uint8_t>(buffer.data(), kNasAnnouncementSize),
                             ntohl(NasSvrNet.SenderAddress.sin_addr.s_addr));
            // A box shown meanwhile may have closed the window's socket.
            if (announceSocket_ < 0) return;
        }
        if (taken == 0) {
            // A quiet poll: the last-sender record goes after more than five of them.
            LAST_ANNOUNCEMENT* last = NasSvrNet.LastAnnouncement();
            if (last && last->Time != 0 && QuietPolls > 5) {
                QuietPolls = 0;
                NasSvrNet.FreeScratch();
                StatusBar->Panels(1)->SetText("");
            }
            ++QuietPolls;
        }
    } catch (const std::exception& e) {
        vcl::Application->MessageBox("Timer_ABSENTTimer", "", vcl::MB_OK);
        vcl::Application->ShowException(e);
    }
}

void TForm_Central::TakeAnnouncement(std::span<const std::uint8_t> datagram, std::uint32_t sender) {
    const int type = NasAnnouncementType(datagram);
    if (type != kNasAnnouncementReady && type != kNasAnnouncementOffline) return;
    // Any host on the LAN can send an announcement naming any unit and any address: one is
    // taken only from an address it names for its unit, and for a known unit only from one of
    // the addresses discovery found it at. So a datagram never moves a unit elsewhere (a unit
    // that changed its address is found there by the next discovery) nor removes one, and one
    // that proves nothing renews no last-sender record and shows no text.
    if (!NasAnnouncementNamesAddress(datagram, sender)) return;
    CNasServer* known = NasSvrNet.FindByMac(datagram);
    if (known && !KnownAt(*known, sender)) return;
    if (IsDuplicateAnnouncement(datagram)) return;
    const std::string name = AnnouncedName(datagram);

    if (type == kNasAnnouncementOffline) {
        const std::string text = Formatted(849, name);
        StatusBar->Panels(1)->SetText(text);
        if (!known) return;
        // Held across the box that closing the settings-profile window shows.
        CNASSvrNet::ServerPtr server = NasSvrNet.Share(known->UnitHandle);
        CloseProfileWindowOf(*server, text);
        // The unit is retired: whatever holds its handle finds it gone and says so.
        // Its node and rows go now; the selection moves to "NAS Servers" when it was there.
        vcl::TTreeNode* node = FindChildNodeByData(NasServersNode, server->UnitHandle.Data());
        vcl::TTreeNode* selected = TreeView->GetSelected();
        const bool selectionGoes =
            node && selected && (selected == node || selected->HasAsParent(node));
        if (selectionGoes) TreeView->SetSelected(NasServersNode);
        ForgetServer(server->UnitHandle);
        NodeItem treeItem(node);
        TreeView->Items()->BeginUpdate();
        NasSvrNet.Remove(server.get(), node ? &treeItem : nullptr, CNASSvrNet::kFoundList, nullptr);
        TreeView->Items()->EndUpdate();
        if (FmWizard && FmWizard->GetVisible()) DropAnnouncedServer(server.get(), text);
        server.reset(); // the retired unit goes now unless something else shares it
        SweepRetiredServers();
        return;
    }

    StatusBar->Panels(1)->SetText(Formatted(848, name));
    if (known) {
        // The same unit, perhaps under a new name: its node follows.
        NasSvrNet.UpdateFromAnnouncement(known, datagram);
        ShowServersAsListed();
        return;
    }
    CNasServer* added = NasSvrNet.AddFromAnnouncement(datagram);
    if (!added) {
        StatusBar->Panels(1)->SetText(std::string(GetMessageText(825)) + name +
                                      GetMessageText(140) + GetMessageText(9));
        return;
    }
    if (vcl::TTreeNode* node = AddServerNode(*this, added, NasServersNode)) {
        BuildImageFolderNodes(*this, node);
        if (TreeView->GetSelected() == NasServersNode) AppendServerListRow(*this, node);
    }
    SortChildrenByText(NasServersNode);
    // The unit's image folders are read away from the GUI thread; its node gets them when
    // the answer comes.
    QueueFolderRead(*added);
}

void TForm_Central::ShowServersAsListed() {
    std::vector<CNasServer*> servers;
    for (const auto& server : NasSvrNet.Found())
        servers.push_back(server.get());
    vcl::TTreeNode* before = TreeView->GetSelected();
    SyncServerNodes(*this, NasServersNode, servers);
    // The list shows what the selected node now holds: filled again when the selection moved,
    // or when it shows the units or a unit's folders (both from memory). An image folder's list
    // stays: filling it asks the unit, and an announcement never makes the window wait on one.
    vcl::TTreeNode* selected = TreeView->GetSelected();
    if (selected &&
        (selected != before || selected == NasServersNode || selected->Parent() == NasServersNode))
        MyTreeViewChange();
}

void TForm_Central::QueueFolderRead(const CNasServer& Server) {
    if (Server.HasCdMirror() && folderReader_) folderReader_->Queue(Server.Info);
}

std::size_t TForm_Central::FolderReadsPending() const {
    return folderReader_ ? folderReader_->Pending() : 0;
}

void TForm_Central::ImageFoldersRead(const TFolderReader::Answer& Answer) {
    CNasServer* server = NasSvrNet.FindFound(Answer.Record.hardwareAddress);
    if (!server || Answer.Result != 0) return;
    server->ImgFolderCount = std::clamp(Answer.Count, 0, CNasServer::kImgFolderMax);
    std::memcpy(server->ImgFolders, Answer.Folders.data(),
                std::min(Answer.Folders.size(), sizeof server->ImgFolders));
    ShowServersAsListed();
    // An open wizard offers the units with folders as they now are.
    if (FmWizard && FmWizard->GetVisible()) DropAnnouncedServer(nullptr, "");
}
