// The announcement listener: a timer polls the UDP socket on which NAS units announce that they
// are ready or going off-line, and merges each announcement into the server list, the tree, the
// list view, the open wizard and the settings-profile window. A repeat of the last sender within
// 10 seconds is dropped.
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

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
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
    // is skipped: the datagram waits in the socket for the next one.
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
        std::array<std::uint8_t, 1024> buffer{};
        pollfd poller{announceSocket_, POLLIN, 0};
        int ready = ::poll(&poller, 1, 0);
        if (ready <= 0 || (poller.revents & POLLIN) == 0) {
            // A quiet poll: the last-sender record goes after more than five of them.
            LAST_ANNOUNCEMENT* last = NasSvrNet.LastAnnouncement();
            if (last && last->Time != 0 && QuietPolls > 5) {
                QuietPolls = 0;
                NasSvrNet.FreeScratch();
                StatusBar->Panels(1)->SetText("");
            }
            ++QuietPolls;
            return;
        }
        if (!NasSvrNet.LastAnnouncement()) {
            NasSvrNet.AllocScratch();
            if (!NasSvrNet.LastAnnouncement())
                vcl::Application->MessageBox("Last Server tmp error", "", vcl::MB_OK);
        }
        socklen_t length = sizeof NasSvrNet.SenderAddress;
        const ssize_t got =
            ::recvfrom(announceSocket_, buffer.data(), buffer.size(), MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&NasSvrNet.SenderAddress), &length);
        if (got != static_cast<ssize_t>(kNasAnnouncementSize)) return;
        const std::span<const std::uint8_t> datagram(buffer.data(), kNasAnnouncementSize);
        const int type = NasAnnouncementType(datagram);
        if (type != kNasAnnouncementReady && type != kNasAnnouncementOffline) return;
        if (IsDuplicateAnnouncement(datagram)) return;
        const std::string name = AnnouncedName(datagram);

        if (type == kNasAnnouncementOffline) {
            const std::string text = Formatted(849, name);
            StatusBar->Panels(1)->SetText(text);
            CNasServer* found = NasSvrNet.FindByMac(datagram);
            if (!found) return;
            // Held across the box that closing the settings-profile window shows.
            CNASSvrNet::ServerPtr server = NasSvrNet.Share(found->UnitHandle);
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
            NasSvrNet.Remove(server.get(), node ? &treeItem : nullptr, CNASSvrNet::kFoundList,
                             nullptr);
            TreeView->Items()->EndUpdate();
            if (FmWizard && FmWizard->GetVisible()) DropAnnouncedServer(server.get(), text);
            server.reset(); // the retired unit goes now unless something else shares it
            SweepRetiredServers();
            return;
        }

        StatusBar->Panels(1)->SetText(Formatted(848, name));
        if (CNasServer* known = NasSvrNet.FindByMac(datagram)) {
            // The same unit, perhaps under a new name or address: its node follows.
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
    } catch (const std::exception& e) {
        vcl::Application->MessageBox("Timer_ABSENTTimer", "", vcl::MB_OK);
        vcl::Application->ShowException(e);
    }
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
