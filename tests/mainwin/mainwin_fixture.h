// The main window, offscreen, in a program folder of its own, with the access library pointed at
// simulated units on loopback: units made before the window answer the discovery that building
// the tree runs (a unit whose answer came after discovery stopped collecting, as happens under
// load, is found by refreshing until every answering unit is in the tree). Every unit listens on
// a shared free TCP port of an address 127.0.66.N; units that answer discovery share a free UDP
// port.
#pragma once

#include "../platform/ui_fixture.h"

#include "about.h"
#include "central.h"
#include "form1.h"
#include "listview_sort.h"
#include "nassim.h"
#include "netconfig.h"
#include "remotenas.h"
#include "server_nodes.h"

#include "vcl/menus.h"
#include "vcl/tree_view.h"

#include <QHeaderView>
#include <QTest>
#include <QTreeView>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Chooses nothing, or a command, from popup menus; records the tree's selection while shown.
class PopupScript : public vcl::TPopupHost {
public:
    PopupScript() : previous_(vcl::SetPopupHost(this)) {}
    ~PopupScript() override { vcl::SetPopupHost(previous_); }
    vcl::TMenuItem* Choose(vcl::TPopupMenu& menu, vcl::TPoint) override {
        shown.push_back(menu.Name);
        if (during) during();
        return choose;
    }
    std::vector<std::string> shown;
    std::function<void()> during;
    vcl::TMenuItem* choose = nullptr;

private:
    vcl::TPopupHost* previous_;
};

class MainWindowTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        char dir[] = "/tmp/brimlet-mainwin-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home_ = dir;
        setenv("BRIMLET_HOME", home_.c_str(), 1);
        udpPort_ = nassim::FreeUdpPort();
        tcpPort_ = nassim::FreeTcpPort();
        nas::NetConfig config = nas::NetConfig::Defaults();
        config.broadcastAddress = nassim::kLoopbackBroadcast;
        config.localInterfaces =
            std::vector<nas::LocalInterface>{{nassim::Ipv4(127, 0, 0, 1), 0xFF000000u}};
        config.hostName = "brimlet-test";
        config.discoveryLocalPort = 0;
        config.udpPort = udpPort_;
        config.tcpPort = tcpPort_;
        config.connectRaceMs = 2000;
        config.readinessWaitMs = 2000;
        config.discoveryCollectMs = 1500;
        nas::SetNetConfig(config);
        AnnouncementPort = nassim::FreeUdpPort();
        SortColumn = 0;
        SortDirection = 1;
    }
    void TearDown() override {
        if (Form_Central) {
            // The window's own tests cover its destruction; here it only has to go.
            Form_Central->OnDestroy = nullptr;
            delete Form_Central;
        }
        Form_Central = nullptr;
        delete Form_RemoteNAS;
        Form_RemoteNAS = nullptr;
        if (ownSplash_) {
            delete Form_About;
            Form_About = nullptr;
        }
        units_.clear();
        nas::ResetNetConfig();
        UiTest::TearDown();
        std::filesystem::remove_all(home_);
    }

    // A unit on 127.0.66.n; discoverable units answer the broadcast, the others only by address.
    nassim::Unit& AddUnit(unsigned n, const std::string& name, bool discoverable = true,
                          std::vector<std::string> folders = {},
                          std::vector<nassim::ImageRecord> images = {}) {
        nassim::UnitConfig config;
        config.address = nassim::Ipv4(127, 0, 66, n);
        config.udpPort = discoverable ? udpPort_ : 0;
        config.tcpPort = tcpPort_;
        config.name = name;
        config.workgroup = "LAB";
        config.comment = "unit " + std::to_string(n);
        config.status = 1;
        config.capabilities = folders.empty() ? 0 : 1;
        config.hardwareAddress[0] = static_cast<std::uint8_t>(n);
        config.hardwareAddress[1] = 0x5A;
        config.lan[0].address = config.address;
        config.state.imageFolders = std::move(folders);
        config.state.images = std::move(images);
        units_.push_back(std::make_unique<nassim::Unit>(config));
        return *units_.back();
    }
    static nassim::ImageRecord Image(const std::string& path, std::uint32_t blocks = 0) {
        nassim::ImageRecord image;
        image.path = path;
        image.name = path.substr(path.find('/') + 1);
        image.size = blocks;
        return image;
    }

    // Sends the datagram to the window's announcement port from the address from (host order)
    // and waits until the window's socket holds something to read. By default it comes from the
    // address the datagram names for LAN 0 (offset 200, network order), as a unit sends it, or
    // from 127.0.0.1 when it is too short to name one.
    void SendDatagram(const std::vector<std::uint8_t>& datagram, std::uint32_t from = 0) {
        if (from == 0)
            from = datagram.size() >= 204
                       ? static_cast<std::uint32_t>(datagram[200]) << 24 |
                             static_cast<std::uint32_t>(datagram[201]) << 16 |
                             static_cast<std::uint32_t>(datagram[202]) << 8 | datagram[203]
                       : nassim::Ipv4(127, 0, 0, 1);
        const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(sender, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(from);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(AnnouncementPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool bound = ::bind(sender, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        const ssize_t sent = bound ? ::sendto(sender, datagram.data(), datagram.size(), 0,
                                              reinterpret_cast<sockaddr*>(&to), sizeof to)
                                   : -1;
        ::close(sender);
        ASSERT_TRUE(bound) << "cannot send from " << nassim::AddressText(from);
        ASSERT_EQ(sent, static_cast<ssize_t>(datagram.size()));
        pollfd p{W().AnnounceSocket(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 10000), 1) << "the datagram never arrived";
    }

    // Makes the window from its own description (its tree is built, discovery included) and
    // shows it, with every unit that answers discovery in its tree. Nothing is wired here: the
    // window's events are the ones its description binds. Image folders of the units found come
    // from the background reader: unless told otherwise, the test starts once they have come.
    TForm_Central& MakeWindow(bool waitForFolders = true) {
        if (!Form_About) {
            // The splash the program shows before the window (the first paint ends it): events
            // run while the folders come.
            Form_About = vcl::MakeForm<TForm_About>(nullptr);
            Form_About->Interactive = false;
            ownSplash_ = true;
        }
        vcl::Application->CreateForm(Form_Central);
        Form_Central->SetBounds(0, 0, 1800, 900);
        Form_Central->Show();
        RefreshUntilAllFound();
        if (waitForFolders) SettleFolderReads();
        return *Form_Central;
    }
    // Waits until the image folders of every found unit queued for reading have reached their
    // nodes (after building the window, a refresh or an announcement).
    void SettleFolderReads() {
        if (Form_Central->FolderReadsPending() == 0) return; // nothing on its way: no events run
        EXPECT_TRUE(PumpUntil([] { return Form_Central->FolderReadsPending() == 0; }))
            << "image folders still being read";
        vcl::Application->ProcessMessages();
    }
    // The simulated units the test runs; a fixture that keeps units of its own names them.
    virtual std::vector<const nassim::Unit*> RunningUnits() const {
        std::vector<const nassim::Unit*> units;
        for (const auto& unit : units_)
            units.push_back(unit.get());
        return units;
    }
    // Whether the unit answers the window's discovery: it shares the fixture's UDP port and no
    // fault keeps its answer away or makes the library refuse it.
    bool AnswersDiscovery(const nassim::Unit& unit) const {
        if (unit.udpPort() != udpPort_) return false;
        switch (unit.fault()) {
        case nassim::Fault::None:
        case nassim::Fault::Refuse:
        case nassim::Fault::Stall:
        case nassim::Fault::Fragment:
            return true;
        default:
            return false;
        }
    }
    // Whether the "NAS Servers" branch has a node of the unit (by its hardware address).
    bool InTree(const nassim::Unit& unit) {
        const auto mac = unit.config().hardwareAddress;
        for (const auto& server : W().NasSvrNet.Found())
            if (std::memcmp(server->Info.hardwareAddress, mac.data(), kNasHardwareAddressSize) == 0)
                return W().FindChildNodeByData(W().NasServersNode, server->UnitHandle.Data());
        return false;
    }
    // Refreshes the server tree (as the window's refresh does) until every unit that answers
    // discovery is in it; discovery stops collecting after a short quiet time, which a loaded
    // machine can let pass before a unit answers. The watchdog only catches a unit that never
    // answers.
    void RefreshUntilAllFound() {
        if (!Form_Central || !W().NasServersNode) return; // a window without its tree
        const auto allFound = [this] {
            for (const nassim::Unit* unit : RunningUnits())
                if (AnswersDiscovery(*unit) && !InTree(*unit)) return false;
            return true;
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!allFound()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline)
                << "a simulated unit never answered discovery";
            RefreshServerTree(W());
        }
    }
    TForm_Central& W() { return *Form_Central; }

    std::vector<std::string> ColumnTitles() {
        std::vector<std::string> titles;
        auto* columns = W().ListView->Columns();
        for (int i = 0; i < columns->Count(); ++i)
            titles.push_back(columns->Items(i)->GetCaption());
        return titles;
    }
    // Each row as "caption|sub-item|sub-item...".
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        auto* items = W().ListView->Items();
        for (int i = 0; i < items->Count(); ++i) {
            vcl::TListItem* item = items->Item(i);
            std::string row = item->GetCaption();
            for (int k = 0; k < item->SubItems()->Count(); ++k)
                row += "|" + item->SubItems()->Strings(k);
            rows.push_back(row);
        }
        return rows;
    }
    std::vector<std::string> Captions() {
        std::vector<std::string> captions;
        auto* items = W().ListView->Items();
        for (int i = 0; i < items->Count(); ++i)
            captions.push_back(items->Item(i)->GetCaption());
        return captions;
    }
    static std::vector<std::string> ChildTexts(vcl::TTreeNode* node) {
        std::vector<std::string> texts;
        for (int i = 0; node && i < node->Count(); ++i)
            texts.push_back(node->Item(i)->GetText());
        return texts;
    }
    static vcl::TTreeNode* Child(vcl::TTreeNode* node, const std::string& text) {
        for (int i = 0; node && i < node->Count(); ++i)
            if (node->Item(i)->GetText() == text) return node->Item(i);
        return nullptr;
    }

    // Answers the kind dialog (Form1) by the button with that caption.
    static std::function<void(vcl::TForm&)> Press(const std::string& caption) {
        return [caption](vcl::TForm& form) {
            auto& dialog = dynamic_cast<TForm1&>(form);
            std::string seen;
            for (int n = 1; n <= 5; ++n) {
                vcl::TButton* b = dialog.ButtonNumber(n);
                std::string text = b->GetCaption();
                std::erase(text, '&');
                if (b->GetVisible() && text == caption) {
                    b->Click();
                    return;
                }
                if (b->GetVisible()) seen += " [" + text + "]";
            }
            ADD_FAILURE() << "no button " << caption << "; there are" << seen;
            form.SetModalResult(vcl::mrCancel);
        };
    }

    // A real click on a node of the tree.
    void ClickNode(vcl::TTreeNode* node) {
        node->MakeVisible();
        const vcl::TRect r = node->DisplayRect(true);
        QTest::mouseClick(Viewport(W().TreeView), Qt::LeftButton, {},
                          QPoint(r.Left + 3, (r.Top + r.Bottom) / 2));
    }
    // A real click on a column header of the list.
    void ClickHeader(int column) {
        auto* view = static_cast<QTreeView*>(FocusTarget(W().ListView));
        QHeaderView* header = view->header();
        // In the middle of the section: near its edges a press starts resizing a column.
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        ASSERT_LT(x, header->viewport()->width());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }

    std::string home_;
    bool ownSplash_ = false; // Form_About was made by MakeWindow
    std::uint16_t udpPort_ = 0;
    std::uint16_t tcpPort_ = 0;
    std::vector<std::unique_ptr<nassim::Unit>> units_;
};
