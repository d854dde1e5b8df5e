// The wizard as the program runs it: the real main window built from its form description (in a
// program folder of its own, the access library pointed at loopback), simulated units that the
// window's own discovery finds, simulated optical drives in the drive table the program uses, the
// task manager and the message form made as the program makes them at start. The wizard is the
// one the window makes, with the window as its host.
#pragma once

#include "../drives/sim_machine.h"
#include "../mainwin/mainwin_fixture.h"
#include "../servers/nas_unit_fixture.h"

#include "about.h"
#include "cdrom.h"
#include "container.h"
#include "fmmsg.h"
#include "fmwizard.h"
#include "form1.h"
#include "msgbox.h"
#include "nasannouncement.h"
#include "nasserver.h"
#include "nassim.h"
#include "nassvrnet.h"
#include "password.h"
#include "server_nodes.h"
#include "taskman.h"
#include "upload_worker.h"
#include "wizard_jobs.h"

#include "vcl/tree_view.h"

#include <QApplication>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class WizardTest : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;

    // A simulated unit and what the window holds of it: its server object (shared with the
    // window's server list) and its node under NAS Servers, as of the last refresh.
    struct Unit {
        std::unique_ptr<nassim::Unit> sim;
        std::shared_ptr<CNasServer> server;
        vcl::TTreeNode* node = nullptr;
    };

    void SetUp() override {
        MainWindowTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        // Loopback units answer at once: a shorter collection keeps the refreshes quick, with
        // room for a machine busy with other tests.
        nas::NetConfig config = *nas::CurrentNetConfig();
        config.discoveryCollectMs = 1000;
        nas::SetNetConfig(config);
        // This machine's drives, D: and E:, empty until AddDrives: the drive table finds its
        // drives once, when it is first scanned, so every test has the same two.
        machine_ = std::make_unique<SimMachine>();
        auto& adapter = machine_->AddAdapter("ATAPI SIM");
        dataDrive_ = machine_->AddDrive(adapter, 0, 0, "DATA", std::nullopt);
        videoDrive_ = machine_->AddDrive(adapter, 1, 0, "VIDEO", std::nullopt);
        machine_->Start().SetSleeper([](std::uint32_t) {});
        // The splash the program shows before the window: the first paint ends it.
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = false;
    }
    void TearDown() override {
        if (FmTaskMan) FmTaskMan->StopAllTasks();
        delete FmWizard;
        FmWizard = nullptr;
        if (Form_Central) {
            Form_Central->OnDestroy = nullptr;
            delete Form_Central;
            Form_Central = nullptr;
        }
        delete FmTaskMan;
        FmTaskMan = nullptr;
        for (TFmMsg* report : TFmMsg::OpenReports())
            delete report;
        delete FmMsg;
        FmMsg = nullptr;
        delete Form_Password;
        delete Form1;
        Form1 = nullptr;
        delete Form_About;
        Form_About = nullptr;
        units_.clear();
        MainWindowTest::TearDown();
        machine_.reset();
        LanguageIndex = savedLanguage_;
    }

    // The text of the newest task report still open (each finished task opens its own).
    static std::string LastReport() {
        const std::vector<TFmMsg*> reports = TFmMsg::OpenReports();
        return reports.empty() ? std::string() : reports.back()->Label_Inform->GetCaption();
    }

    // The main window, made (with the forms the program makes beside it) on first use; its
    // tree's discovery finds the units started so far. The test drives the timers itself.
    TForm_Central& Window() {
        if (Form_Central) return *Form_Central;
        if (!Form1) Form1 = vcl::MakeForm<TForm1>(nullptr);
        // Each window of a test is a program start: its first idle step runs.
        FirstIdlePending = true;
        TForm_Central& w = MakeWindow();
        if (!FmMsg) vcl::Application->CreateForm(FmMsg);
        if (!FmTaskMan) vcl::Application->CreateForm(FmTaskMan);
        EXPECT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
        QApplication::setActiveWindow(W(&w));
        w.Timer_ABSENT->SetEnabled(false);
        w.Timer_Refresh->SetEnabled(false);
        w.IniData.RefreshEnable = 1;
        BindUnits();
        return w;
    }

    // A unit with image folders "ISO" and "Movies" and the account admin / pw-NAME, found by the
    // window's discovery; with a writer when writer is set.
    Unit& AddUnit(const std::string& name, std::uint8_t macLast, bool writer, bool dvd = false) {
        nassim::UnitConfig config;
        config.name = name;
        config.capabilities = 1;
        config.status = 1;
        config.hardwareAddress = {};
        const std::string mac = "00:11:22:33:44:" + std::to_string(10 + macLast);
        std::copy(mac.begin(), mac.end(), config.hardwareAddress.begin());
        config.state.imageFolders = {"ISO", "Movies"};
        if (writer) {
            nassim::CdDriveRecord drive;
            drive.typeMask = 0x02;
            drive.name = name + " WRITER";
            drive.tail[0] = 3;
            config.state.cdDrives = {drive};
        }
        (void)dvd;
        Unit& unit = StartUnit(config);
        unit.sim->setUsers({{"admin", "pw-" + name}});
        FindUnits();
        return unit;
    }

    // Starts a unit of config on the window's ports at an address of its own (127.0.66.N); the
    // window finds it at its next discovery (FindUnits).
    Unit& StartUnit(nassim::UnitConfig config, bool reportAddress = true) {
        config.address = nassim::Ipv4(127, 0, 66, nextAddress_++);
        config.udpPort = udpPort_;
        config.tcpPort = tcpPort_;
        if (reportAddress) config.lan[0].address = config.address;
        auto unit = std::make_unique<Unit>();
        unit->sim = std::make_unique<nassim::Unit>(config);
        units_.push_back(std::move(unit));
        return *units_.back();
    }

    // The window's discovery runs (the window is made when there is none yet) and each unit is
    // bound to the window's object and node of it; a unit whose answer came too late for the
    // collection is found by the window's next refresh. The watchdog only catches a unit that
    // never answers.
    void FindUnits() {
        Window();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!AllFound() && std::chrono::steady_clock::now() < deadline) {
            RefreshServerTree(W());
            SettleFolderReads();
            BindUnits();
        }
        EXPECT_TRUE(AllFound()) << "a simulated unit never answered discovery";
    }
    bool AllFound() const {
        for (const auto& unit : units_)
            if (unit->sim && !unit->node) return false;
        return true;
    }
    void BindUnits() {
        for (auto& unit : units_) {
            unit->server = nullptr;
            unit->node = nullptr;
            if (!unit->sim) continue;
            for (const auto& server : W().NasSvrNet.Found())
                if (std::memcmp(server->Info.hardwareAddress,
                                unit->sim->config().hardwareAddress.data(),
                                kNasHardwareAddressSize) == 0)
                    unit->server = server;
            if (unit->server)
                unit->node =
                    W().FindChildNodeByData(W().NasServersNode, unit->server->UnitHandle.Data());
        }
    }
    // Stops every unit; the window lets them go at its next discovery.
    void StopUnits() {
        units_.clear();
        if (Form_Central) FindUnits();
    }

    // The unit's announcement that it goes off-line reaches the window's listener, which takes it
    // at once.
    void AnnounceOffline(const Unit& unit) {
        std::vector<std::uint8_t> d(kNasAnnouncementSize, 0);
        d[24] = 9;
        const auto& mac = unit.sim->config().hardwareAddress;
        std::copy(mac.begin(), mac.begin() + kNasHardwareAddressSize,
                  d.begin() + kNasAnnouncementHardwareOffset);
        const std::uint32_t address = unit.sim->address();
        for (int k = 0; k < 4; ++k)
            d[200 + k] = static_cast<std::uint8_t>(address >> (24 - 8 * k));
        const std::string name = unit.sim->config().name;
        std::memcpy(&d[236], name.data(), std::min<std::size_t>(name.size(), 15));
        // Sent from the unit's own address, as a unit sends it.
        const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(sender, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(address);
        if (::bind(sender, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
            ::close(sender);
            FAIL() << "cannot send from the unit's address";
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(AnnouncementPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto sent =
            ::sendto(sender, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
        ::close(sender);
        ASSERT_EQ(sent, static_cast<ssize_t>(d.size()));
        pollfd p{W().AnnounceSocket(), POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 10000), 1) << "the datagram never arrived";
        W().Timer_ABSENT->OnTimer(W().Timer_ABSENT);
        BindUnits();
    }

    // Drive D: holds a data CD of the given sectors and label, E: a Video CD; the window's drive
    // table and nodes take them.
    void AddDrives(std::uint32_t sectors = 3000, const std::string& label = "MY_DISC") {
        discsim::VolumeInfo volume;
        volume.volumeId = label;
        dataDrive_->setDisc(discsim::MakeDataCd(sectors, volume));
        videoDrive_->setDisc(discsim::MakeVideoCd());
        if (!Form_Central) {
            ASSERT_TRUE(CdromTable().Rescan());
            return;
        }
        // The window learns of the discs as from its drive poll; the first look after a change
        // may find a drive still becoming ready.
        for (char letter : {'D', 'E'})
            for (int i = 0; i < 3 && !CdromTable().IsDiscReady(letter); ++i)
                W().CDEventAfterArrival(nullptr, letter);
    }

    TFmWizard& Wizard() {
        TFmWizard* wizard = Window().Wizard();
        if (!wizard) throw std::runtime_error("the window made no wizard");
        return *wizard;
    }
    // What the wizard reaches through the window: its server nodes, the drive table, "My
    // Container", the task manager's count.
    vcl::TTreeNode* NasServersNode() { return Window().NasServersNode; }
    vcl::TTreeNode* RemoteServersNode() { return Window().RemoteServersNode; }
    CDH_LOGICAL_CDROM_CLASS* Drives() { return &CdromTable(); }
    MIRROR_CONTAINER& MyContainer() { return MainContainer; }
    int TaskCount() { return FmTaskMan ? FmTaskMan->GetTaskCount() : 0; }

    // count uploads of a small file to the first unit in the task manager, paused before they
    // send anything: tasks that stay listed until the test ends.
    void AddWaitingTasks(int count) {
        if (units_.empty()) AddUnit("HOLDER", 90, false);
        const std::string file = home_ + "/waiting.iso";
        std::ofstream(file) << std::string(4096, 'w');
        for (int i = 0; i < count; ++i) {
            TaskRecord* task = FmTaskMan->CreateTask({}, TaskFinished, UploadTaskExecute);
            task->kind = task_kind::Upload;
            task->nas = std::make_shared<CNasServer>();
            task->nas->Assign(*units_[0]->server);
            task->imagePath = file;
            task->imageSizeKb = 4;
            task->SetPaused(true);
            FmTaskMan->AddTask(task);
        }
    }

    // One tick of the window's refresh timer that refreshes (the selected node is refreshed; the
    // shown wizard's lists follow).
    void RefreshTick() {
        W().RefreshTicks = 6 * W().IniData.RefreshInterval;
        W().Timer_Refresh->OnTimer(W().Timer_Refresh);
        BindUnits();
    }
    // A real click on a control.
    static void Click(vcl::TControl* control) { QTest::mouseClick(W(control), Qt::LeftButton); }

    int Kind() { return Wizard().CurrentPageKind(); }
    void ExpectButtons(bool back, bool next, bool ok) {
        TFmWizard& w = Wizard();
        EXPECT_EQ(w.bbBack->GetEnabled(), back) << "page kind " << Kind();
        EXPECT_EQ(w.bbNext->GetVisible(), next) << "page kind " << Kind();
        EXPECT_EQ(w.bbNext->GetEnabled(), next) << "page kind " << Kind();
        EXPECT_EQ(w.bbOk->GetVisible(), ok) << "page kind " << Kind();
        EXPECT_EQ(w.bbOk->GetEnabled(), ok) << "page kind " << Kind();
    }
    // Picks a server in the destination combo (as the user would) and adds it.
    void AddDestination(Unit& unit) {
        TFmWizard& w = Wizard();
        ASSERT_TRUE(unit.server) << "the window did not find the unit";
        const int at =
            w.ComboBox_ServerList->Items()->IndexOfObject(unit.server->UnitHandle.Data());
        ASSERT_GE(at, 0);
        w.ComboBox_ServerList->SetItemIndex(at);
        w.ComboBox_ServerListChange(w.ComboBox_ServerList);
        w.bbAdd->Click();
    }
    // The unit's image folder "ISO" holds one image, selected in the window: its folder node in
    // the tree, its row in the list.
    void SelectImage(Unit& unit, const std::string& name, std::uint32_t blocks,
                     std::uint32_t id = 1) {
        nassim::ImageRecord image;
        image.id = id;
        image.name = name;
        image.path = "ISO/" + name;
        image.size = blocks;
        unit.sim->setImages({image});
        ASSERT_NE(unit.node, nullptr);
        vcl::TTreeNode* folder = Child(unit.node, "ISO");
        ASSERT_NE(folder, nullptr);
        ClickNode(folder);
        ASSERT_TRUE(PumpUntil([&] { return W().TreeView->GetSelected() == folder; }));
        vcl::TListItem* row = nullptr;
        for (int i = 0; i < W().ListView->Items()->Count(); ++i)
            if (W().ListView->Items()->Item(i)->GetCaption() == name)
                row = W().ListView->Items()->Item(i);
        ASSERT_NE(row, nullptr) << "the image is not listed";
        W().ListView->ClearSelection();
        row->SetSelected(true);
    }
    // The node of a drive letter under My Computer.
    vcl::TTreeNode* DriveNode(char letter) {
        return W().FindChildNodeByData(W().MyComputerNode,
                                       reinterpret_cast<void*>(static_cast<std::intptr_t>(letter)));
    }

    std::vector<std::unique_ptr<Unit>> units_;
    std::unique_ptr<SimMachine> machine_;
    std::shared_ptr<discsim::Drive> dataDrive_, videoDrive_;
    unsigned nextAddress_ = 1;
    int savedLanguage_ = 0;
};
