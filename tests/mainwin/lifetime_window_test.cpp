// The lifetimes of units in the real window: what a refresh (View > Refresh, the tool-bar button,
// the automatic tick), an off-line announcement, a unit that stops and a unit that comes back
// under another name and address do to every place that holds a unit: the NAS Servers list, a
// unit's node, an image folder's node, the delete question, the export password prompt. Each
// event fires while its holder shows; afterwards the holder acts on the right unit, or says the
// unit is gone. Under the sanitizers nothing freed may be touched. A soak of refreshes with units
// leaving and returning keeps tree, list and discovery in agreement; a flood of forged
// announcers leaves the list at its cap.
#include "mainwin_fixture.h"

#include "about.h"
#include "clock/clock.h"
#include "fmwizard.h"
#include "form1.h"
#include "importform.h"
#include "importform_services.h"
#include "kinddialog.h"
#include "nasannouncement.h"
#include "password.h"
#include "profile_host.h"
#include "requests.h"
#include "server_nodes.h"
#include "taskman.h"
#include "validate_form.h"
#include "wizard_jobs.h"

#include "vcl/status_bar.h"
#include "vcl/tool_bar.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <set>

namespace {

using Strings = std::vector<std::string>;
using namespace std::chrono_literals;

enum class Event { ViewRefresh, ToolRefresh, AutoTick, Offline, Gone, Back };

struct EventCase {
    Event event;
    const char* name;
    bool unitStays; // the unit the holder uses is still listed afterwards
};

const EventCase kEvents[] = {
    {Event::ViewRefresh, "View > Refresh", true},
    {Event::ToolRefresh, "tool-bar refresh", true},
    {Event::AutoTick, "automatic refresh tick", true},
    {Event::Offline, "off-line announcement", false},
    {Event::Gone, "unit stopped, then a refresh", false},
    {Event::Back, "unit back under a new name and address", true},
};

// The simulated units: hardware-address id, name, address byte, folders and images.
struct UnitPlan {
    std::uint8_t id;
    std::string name;
    std::vector<std::string> folders;
};

class LifetimeTest : public MainWindowTest {
protected:
    using MainWindowTest::W;
    using UiTest::W;

    void SetUp() override {
        MainWindowTest::SetUp();
        // Loopback units answer at once: a short collection keeps a hundred refreshes quick.
        nas::NetConfig config = *nas::CurrentNetConfig();
        config.discoveryCollectMs = 250;
        nas::SetNetConfig(config);
        clock_.SetNow(std::chrono::system_clock::time_point(std::chrono::seconds(1'700'000'000)));
        Form1 = vcl::MakeForm<TForm1>(nullptr);
        // The splash the program shows before the window: the first paint ends it.
        Form_About = vcl::MakeForm<TForm_About>(nullptr);
        Form_About->Interactive = false;
        FmTaskMan = vcl::MakeForm<TFmTaskMan>(nullptr);
    }
    void TearDown() override {
        if (Form_Central) {
            Form_Central->OnDestroy = nullptr;
            CloseWindow();
        }
        delete Form1;
        Form1 = nullptr;
        delete Form_About;
        Form_About = nullptr;
        if (FmTaskMan) FmTaskMan->StopAllTasks();
        delete FmTaskMan;
        FmTaskMan = nullptr;
        delete FmWizard;
        FmWizard = nullptr;
        delete Form_Validate;
        Form_Validate = nullptr;
        MainWindowTest::TearDown();
    }

    // A unit of the plan, on address 127.0.66.address with the plan's hardware address.
    nassim::Unit& Start(const UnitPlan& plan, unsigned address, std::uint32_t imageBlocks = 1000,
                        bool writer = false) {
        nassim::UnitConfig config;
        config.address = nassim::Ipv4(127, 0, 66, address);
        config.udpPort = udpPort_;
        config.tcpPort = tcpPort_;
        config.name = plan.name;
        config.workgroup = "LAB";
        config.status = 1;
        config.capabilities = plan.folders.empty() ? 0 : 1;
        config.hardwareAddress[0] = plan.id;
        config.hardwareAddress[1] = 0x5A;
        config.lan[0].address = config.address;
        config.lan[0].mask = nassim::Ipv4(255, 0, 0, 0);
        config.state.imageFolders = plan.folders;
        std::uint32_t id = 100u * plan.id;
        for (const std::string& folder : plan.folders)
            for (const char* name : {"one.iso", "two.iso"}) {
                nassim::ImageRecord image = Image(folder + "/" + name, imageBlocks);
                image.id = ++id;
                config.state.images.push_back(image);
            }
        if (writer) {
            nassim::CdDriveRecord drive;
            drive.typeMask = 0x02;
            drive.name = plan.name + " WRITER";
            drive.tail[0] = 3;
            config.state.cdDrives = {drive};
        }
        running_[plan.id] = std::make_unique<nassim::Unit>(config);
        return *running_[plan.id];
    }
    void Stop(std::uint8_t id) { running_.erase(id); }
    std::vector<const nassim::Unit*> RunningUnits() const override {
        std::vector<const nassim::Unit*> units;
        for (const auto& [id, unit] : running_)
            if (!silent_.count(id)) units.push_back(unit.get());
        return units;
    }
    nassim::Unit* Running(std::uint8_t id) {
        auto it = running_.find(id);
        return it == running_.end() ? nullptr : it->second.get();
    }

    TForm_Central& Window() {
        TForm_Central& w = MakeWindow();
        EXPECT_TRUE(PumpUntil([] { return !FirstIdlePending; }));
        QApplication::setActiveWindow(W(&w));
        // The test drives the timers itself.
        w.Timer_ABSENT->SetEnabled(false);
        w.Timer_Refresh->SetEnabled(false);
        w.IniData.RefreshEnable = 1;
        return w;
    }

    static std::vector<std::uint8_t> Announcement(int type, std::uint8_t id,
                                                  const std::string& name) {
        std::vector<std::uint8_t> d(kNasAnnouncementSize, 0);
        d[24] = static_cast<std::uint8_t>(type);
        d[112] = id;
        d[113] = 0x5A;
        const std::uint8_t address[4] = {127, 0, 66, id};
        std::memcpy(&d[200], address, 4);
        std::memcpy(&d[236], name.data(), std::min<std::size_t>(name.size(), 15));
        std::memcpy(&d[252], "LAB", 3);
        return d;
    }
    void Announce(const std::vector<std::uint8_t>& datagram) {
        // Past the ten seconds in which a repeat of the last sender is dropped.
        clock_.Advance(11s);
        SendDatagram(datagram);
        W().Timer_ABSENT->OnTimer(W().Timer_ABSENT);
    }
    void AutoTick() {
        silent_.clear();
        W().RefreshTicks = 6 * W().IniData.RefreshInterval;
        W().Timer_Refresh->OnTimer(W().Timer_Refresh);
        SettleFolderReads();
    }

    // Fires the event at the unit of plan; inside a box only what runs there (timers and
    // announcements) is fired, as a user cannot click the window behind a box.
    void Fire(Event event, const UnitPlan& plan, bool insideBox) {
        switch (event) {
        case Event::ViewRefresh:
            silent_.clear();
            if (insideBox)
                AutoTick();
            else
                ChooseMenu(W().ToolButton_ViewMenu, W().MenuItem_MenuRefresh);
            SettleFolderReads();
            break;
        case Event::ToolRefresh:
            silent_.clear();
            if (insideBox)
                AutoTick();
            else
                QTest::mouseClick(W(W().ToolButton_Refresh), Qt::LeftButton);
            SettleFolderReads();
            break;
        case Event::AutoTick:
            AutoTick();
            break;
        case Event::Offline:
            Announce(Announcement(9, plan.id, plan.name));
            // The unit still runs, but the window has let it go until discovery finds it.
            silent_.insert(plan.id);
            break;
        case Event::Gone:
            Stop(plan.id);
            AutoTick();
            break;
        case Event::Back: {
            Stop(plan.id);
            UnitPlan renamed = plan;
            renamed.name = plan.name + "2";
            Start(renamed, plan.id + 100u);
            AutoTick();
            break;
        }
        }
    }
    // The window of one case goes (with the wizard it made), so that the next case makes its own.
    void CloseWindow() {
        delete FmWizard;
        FmWizard = nullptr;
        delete Form_Central;
        Form_Central = nullptr;
    }
    // The units of one case, and no others.
    void StartOnly(std::initializer_list<const UnitPlan*> plans) {
        running_.clear();
        silent_.clear();
        for (const UnitPlan* plan : plans)
            Start(*plan, plan->id);
    }
    // Upload ISO from the Mirror menu with NAS Servers selected; on the wizard's destination
    // page the ISO file is given and alpha chosen, then drive goes on.
    void UploadWizard(const std::string& iso, const std::function<void(TFmWizard&)>& drive) {
        ClickNode(W().NasServersNode);
        Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
            auto& wizard = dynamic_cast<TFmWizard&>(form);
            ASSERT_EQ(wizard.CurrentPageKind(), kPageDestination);
            wizard.Edit_ISOSourceName->SetText(iso);
            const int at = wizard.ComboBox_ServerList->Items()->IndexOf("alpha");
            ASSERT_GE(at, 0);
            wizard.ComboBox_ServerList->SetItemIndex(at);
            wizard.ComboBox_ServerListChange(wizard.ComboBox_ServerList);
            drive(wizard);
        });
        ChooseMenu(W().ToolButton_MirrorMenu, W().MenuItem_MenuBuildISO);
        EXPECT_EQ(Responder().Pending(), 0);
    }
    // A real click on a row of the list.
    void ClickRowOf(int row) {
        const vcl::TRect r = W().ListView->Items()->Item(row)->DisplayRect();
        QTest::mouseClick(Viewport(W().ListView), Qt::LeftButton, {},
                          QPoint(r.Left + 5, (r.Top + r.Bottom) / 2));
    }
    void ChooseMenu(vcl::TToolButton* menuButton, vcl::TMenuItem* item) {
        PopupScript popup;
        popup.choose = item;
        QTest::mouseClick(W(menuButton), Qt::LeftButton);
    }

    // The node of the unit with that hardware-address id under NAS Servers, or null.
    vcl::TTreeNode* NodeOf(std::uint8_t id) {
        for (int i = 0; i < W().NasServersNode->Count(); ++i) {
            vcl::TTreeNode* node = W().NasServersNode->Item(i);
            auto* server = Form_Central->UnitOf(node->GetData()).get();
            if (server && server->Info.hardwareAddress[0] == id) return node;
        }
        return nullptr;
    }

    // Tree, list and discovery agree: one node per running unit, bound to a live object that
    // carries that unit's name, address and folders; the list of NAS Servers shows the same.
    void ExpectConsistent() {
        CNASSvrNet& list = W().NasSvrNet;
        // On a busy machine a unit's reply can come after the short collection of a discovery.
        // What is checked here does not depend on one pass finding every unit, so the refresh
        // tick runs again until each running unit has answered.
        for (int i = 0;
             i < 10 && silent_.empty() && list.FoundCount() != static_cast<int>(running_.size());
             ++i)
            AutoTick();
        const int listed = static_cast<int>(running_.size() - silent_.size());
        ASSERT_EQ(W().NasServersNode->Count(), listed);
        ASSERT_EQ(list.FoundCount(), listed);
        std::vector<const void*> seen;
        for (const auto& [id, unit] : running_) {
            if (silent_.count(id)) {
                EXPECT_EQ(NodeOf(id), nullptr);
                continue;
            }
            SCOPED_TRACE("unit " + std::to_string(id));
            vcl::TTreeNode* node = NodeOf(id);
            ASSERT_NE(node, nullptr);
            auto* server = Form_Central->UnitOf(node->GetData()).get();
            ASSERT_NE(server, nullptr) << "the node names no listed unit";
            EXPECT_EQ(std::count(seen.begin(), seen.end(), server), 0);
            seen.push_back(server);
            const nassim::UnitConfig config = unit->config();
            EXPECT_EQ(node->GetText(), config.name);
            EXPECT_EQ(server->GetName(), config.name);
            EXPECT_EQ(server->GetLanIpText(0), IpText(config.address));
            Strings folders = config.state.imageFolders;
            std::sort(folders.begin(), folders.end());
            if (!folders.empty()) folders.push_back("[ Other ]");
            EXPECT_EQ(ChildTexts(node), folders);
        }
        if (W().TreeView->GetSelected() == W().NasServersNode) {
            ASSERT_EQ(W().ListView->Items()->Count(), listed);
            for (int i = 0; i < W().ListView->Items()->Count(); ++i) {
                vcl::TListItem* row = W().ListView->Items()->Item(i);
                auto* server = Form_Central->UnitOf(row->GetData()).get();
                ASSERT_NE(server, nullptr) << "the row names no listed unit";
                EXPECT_EQ(row->GetCaption(), server->GetName());
            }
        }
    }
    static std::string IpText(std::uint32_t address) {
        return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 255) + "." +
               std::to_string((address >> 8) & 255) + "." + std::to_string(address & 255);
    }

    const UnitPlan alpha_{1, "alpha", {"Movies", "Music"}};
    const UnitPlan beta_{2, "beta", {"Docs"}};
    const UnitPlan gamma_{3, "gamma", {}};
    std::map<std::uint8_t, std::unique_ptr<nassim::Unit>> running_;
    std::set<std::uint8_t> silent_; // running, but announced off-line since the last discovery
    platform::ManualClock clock_;
    platform::ScopedClock scoped_{clock_};
};

// ---- The window's own holders: the NAS Servers list, a unit's node, an image folder's node

TEST_F(LifetimeTest, NodesRowsAndTheSelectionFollowEveryEvent) {
    enum class Holder { ServersList, UnitNode, FolderNode };
    const std::pair<Holder, const char*> holders[] = {{Holder::ServersList, "NAS Servers list"},
                                                      {Holder::UnitNode, "unit node"},
                                                      {Holder::FolderNode, "image-folder node"}};
    for (const auto& [holder, holderName] : holders)
        for (const EventCase& e : kEvents) {
            SCOPED_TRACE(std::string(holderName) + " / " + e.name);
            StartOnly({&alpha_, &beta_, &gamma_});
            TForm_Central& w = Window();
            vcl::TTreeNode* alpha = NodeOf(1);
            ASSERT_NE(alpha, nullptr);
            void* alphaObject = alpha->GetData();
            switch (holder) {
            case Holder::ServersList:
                ClickNode(w.NasServersNode);
                break;
            case Holder::UnitNode:
                ClickNode(alpha);
                break;
            case Holder::FolderNode:
                alpha->Expand(false);
                ClickNode(Child(alpha, "Music"));
                ASSERT_EQ(Captions(), (Strings{"one.iso", "two.iso"}));
                break;
            }

            Fire(e.event, alpha_, false);
            ExpectConsistent();
            vcl::TTreeNode* selected = w.TreeView->GetSelected();
            vcl::TTreeNode* now = NodeOf(1);
            EXPECT_EQ(now != nullptr, e.unitStays);
            // A unit that answers again is the same object, updated.
            if (now) {
                EXPECT_EQ(now->GetData(), alphaObject);
            }
            switch (holder) {
            case Holder::ServersList:
                EXPECT_EQ(selected, w.NasServersNode);
                break;
            case Holder::UnitNode:
                EXPECT_EQ(selected, now ? now : w.NasServersNode);
                if (now) {
                    EXPECT_EQ(Captions(), (Strings{"Movies", "Music", "[ Other ]"}));
                }
                break;
            case Holder::FolderNode:
                if (now) {
                    ASSERT_NE(selected, nullptr);
                    EXPECT_EQ(selected->Parent(), now);
                    EXPECT_EQ(selected->GetText(), "Music");
                    EXPECT_EQ(Captions(), (Strings{"one.iso", "two.iso"}));
                } else {
                    EXPECT_EQ(selected, w.NasServersNode);
                }
                break;
            }
            CloseWindow();
        }
}

// ---- Boxes that hold a unit while refreshes run inside them

TEST_F(LifetimeTest, DeletingImagesActsOnTheUnitAsItIsAfterTheQuestionOrSaysItIsGone) {
    for (const EventCase& e : kEvents) {
        SCOPED_TRACE(e.name);
        StartOnly({&alpha_, &beta_});
        TForm_Central& w = Window();
        vcl::TTreeNode* alpha = NodeOf(1);
        ASSERT_NE(alpha, nullptr);
        auto* server = Form_Central->UnitOf(alpha->GetData()).get();
        std::strcpy(server->UserName, "user");
        std::strcpy(server->Password, "pw");
        alpha->Expand(false);
        ClickNode(Child(alpha, "Movies"));
        ASSERT_EQ(Captions(), (Strings{"one.iso", "two.iso"}));
        w.ListView->SetFocus();
        QTest::keyClick(FocusTarget(w.ListView), Qt::Key_A, Qt::ControlModifier);
        ASSERT_EQ(w.ListView->SelCount(), 2);

        Responder().ExpectModal("Form1", [&](vcl::TForm& form) {
            Fire(e.event, alpha_, true);
            Press("Yes")(form);
        });
        if (!e.unitStays) Responder().ExpectBox("Server alpha is off-line.", vcl::IDOK);
        QTest::keyClick(FocusTarget(w.ListView), Qt::Key_Delete);
        EXPECT_EQ(Responder().Pending(), 0);

        nassim::Unit* unit = Running(1);
        const auto requests =
            unit ? unit->requestsFor(nassim::kCommandDeleteImage) : std::vector<nassim::Request>{};
        if (e.unitStays) {
            // The images go from the unit as it answers now (a new address included).
            ASSERT_EQ(requests.size(), 1u);
            nassim::requests::Delete d;
            ASSERT_EQ(nassim::requests::DecodeDelete(requests[0].bytes, *requests[0].header, d),
                      "");
            EXPECT_EQ(d.imageIds, (std::vector<std::uint32_t>{101, 102}));
            EXPECT_EQ(requests[0].to, unit->address());
        } else {
            EXPECT_TRUE(requests.empty());
        }
        EXPECT_TRUE(Running(2)->requestsFor(nassim::kCommandDeleteImage).empty());
        CloseWindow();
    }
}

TEST_F(LifetimeTest, ExportAfterThePasswordPromptReadsTheUnitAsItIsOrSaysItIsGone) {
    for (const EventCase& e : kEvents) {
        SCOPED_TRACE(e.name);
        running_.clear();
        nassim::Unit& started = Start(alpha_, 1);
        nassim::UnitState state = started.state();
        state.configFile = nassim::Bytes(256, 0x5C);
        started.setState(state);
        TForm_Central& w = Window();
        vcl::TTreeNode* alpha = NodeOf(1);
        ASSERT_NE(alpha, nullptr);
        ClickNode(alpha);
        const std::string path = home_ + "/settings.cfg";
        std::filesystem::remove(path);

        Responder().ExpectModal("Form_Password", [&](vcl::TForm& form) {
            Fire(e.event, alpha_, true);
            if (nassim::Unit* back = Running(1)) {
                nassim::UnitState s = back->state();
                s.configFile = nassim::Bytes(256, 0x5C);
                back->setState(s);
            }
            auto& prompt = dynamic_cast<TForm_Password&>(form);
            prompt.Edit_Password->SetText("admin");
            prompt.Button_Ok->Click();
        });
        // A stopped unit cannot check the password: the user is told so, not that it was wrong.
        if (e.event == Event::Gone) Responder().ExpectBox("Communcation Failed!", vcl::IDOK);
        if (e.unitStays)
            Responder().ExpectFileDialog({path});
        else
            Responder().ExpectBox("Server alpha is off-line.", vcl::IDOK);
        ChooseMenu(w.ToolButton_ServerMenu, w.MenuItem_MenuExport);
        EXPECT_EQ(Responder().Pending(), 0);
        EXPECT_EQ(std::filesystem::exists(path), e.unitStays);
        if (e.unitStays) {
            EXPECT_EQ(std::filesystem::file_size(path), 256u);
        }
        CloseWindow();
    }
}

// ---- The wizard inside the window: its destination page and its finisher's account prompt

// The events that reach the wizard: it is modal, so the window's timers and announcements.
const EventCase kWizardEvents[] = {kEvents[2], kEvents[3], kEvents[4], kEvents[5]};

TEST_F(LifetimeTest, AnUploadDestinationIsTheChosenUnitAsItIsOrIsRefusedWhenItHasGone) {
    const std::string iso = home_ + "/disc.iso";
    std::ofstream(iso) << std::string(100000, 'i');
    for (const EventCase& e : kWizardEvents) {
        SCOPED_TRACE(e.name);
        StartOnly({&alpha_, &beta_});
        Window();
        UploadWizard(iso, [&](TFmWizard& wizard) {
            Fire(e.event, alpha_, true);
            // What the event retired and nothing shares is freed while the wizard is open.
            EXPECT_EQ(W().NasSvrNet.RetiredCount(), 0);
            if (!e.unitStays) Responder().ExpectBox("No available server.", vcl::IDOK);
            wizard.bbAdd->Click();
            ASSERT_EQ(WzdInfo.Jobs.size(), e.unitStays ? 1u : 0u);
            if (e.unitStays) {
                // The destination is the unit the user chose, under its name of now.
                auto* alpha = Form_Central->UnitOf(NodeOf(1)->GetData()).get();
                EXPECT_EQ(WzdInfo.Jobs[0]->TargetMac, TFmWizard::MacOf(*alpha));
                EXPECT_EQ(wizard.ComboBox_ServerList->GetText(), alpha->GetName());
            }
            wizard.bbCancel->Click();
        });
        CloseWindow();
    }
}

TEST_F(LifetimeTest, TheFinisherMakesTheTaskForTheUnitAsItIsAfterThePromptOrSaysItIsGone) {
    const std::string iso = home_ + "/disc.iso";
    std::ofstream(iso) << std::string(100000, 'i');
    for (const EventCase& e : kWizardEvents) {
        SCOPED_TRACE(e.name);
        StartOnly({&alpha_});
        Window();
        UploadWizard(iso, [&](TFmWizard& wizard) {
            wizard.bbAdd->Click();
            ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageVolumeName);
            wizard.Edit_UserDefineVolume->SetText("UPLOAD1");
            wizard.bbUpdateVolume->Click();
            wizard.bbNext->Click();
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageOptions);
            Responder().ExpectModal("Form_Password", [&](vcl::TForm& prompt) {
                Fire(e.event, alpha_, true);
                auto& dialog = dynamic_cast<TForm_Password&>(prompt);
                dialog.Edit_UserName->SetText("admin");
                dialog.Edit_Password->SetText("pw");
                dialog.Button_Ok->Click();
            });
            // A stopped unit cannot check the account: the user is told so.
            if (e.event == Event::Gone) Responder().ExpectBox("Communcation Failed!", vcl::IDOK);
            if (!e.unitStays) Responder().ExpectBox("Server alpha is off-line.", vcl::IDOK);
            wizard.bbOk->Click();
        });
        ASSERT_EQ(FmTaskMan->GetTaskCount(), e.unitStays ? 1 : 0);
        if (e.unitStays) {
            // The task's copy carries the unit's address as the unit reports it now.
            const TaskRecord& task = *FmTaskMan->TaskAt(0);
            EXPECT_EQ(task.nas->GetLanIpText(0), IpText(Running(1)->address()));
            EXPECT_TRUE(PumpUntil([&] {
                FmTaskMan->Timer_RefreshTaskStatusTimer(FmTaskMan->Timer_RefreshTaskStatus);
                return FmTaskMan->GetTaskCount() == 0;
            }));
            const auto sessions = Running(1)->sessions();
            ASSERT_EQ(sessions.size(), 1u);
            EXPECT_EQ(sessions[0].end, nassim::SessionEnd::Completed);
        }
        CloseWindow();
    }
}

// ---- Server quick setup: the pages filled in while refreshes run

TEST_F(LifetimeTest, AQuickSetupReachesTheUnitAsItIsAndItsNewNameShowsAtOnce) {
    for (const EventCase& e : kWizardEvents) {
        SCOPED_TRACE(e.name);
        StartOnly({&alpha_});
        TForm_Central& w = Window();
        ClickNode(NodeOf(1));
        Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
            auto& wizard = dynamic_cast<TFmWizard&>(form);
            // The unit is chosen in the wizard's list of units (job 3).
            ASSERT_EQ(wizard.CurrentPageKind(), kPageServerDetail);
            ASSERT_EQ(wizard.ListView_ServerDetail->Items()->Count(), 1);
            wizard.ListView_ServerDetail->Items()->Item(0)->SetSelected(true);
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageIpAddress);
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageServerName);
            wizard.Edit_SmbName->SetText("FRONTDESK");
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPagePassword);
            // The unit being set up announces going off-line: the user is told and the wizard
            // closes.
            if (e.event == Event::Offline)
                Responder().ExpectBox("Server alpha is off-line.", vcl::IDOK);
            Fire(e.event, alpha_, true);
            if (e.event == Event::Offline) {
                EXPECT_EQ(wizard.GetModalResult(), vcl::mrCancel);
                return;
            }
            Responder().ExpectModal("Form_Password", [](vcl::TForm& prompt) {
                auto& dialog = dynamic_cast<TForm_Password&>(prompt);
                dialog.Edit_Password->SetText("admin");
                dialog.Button_Ok->Click();
            });
            if (e.event == Event::Gone) {
                // The unit is neither listed nor reachable: the user is told, nothing is sent.
                Responder().ExpectBox("Communcation Failed!", vcl::IDOK);
            } else {
                Responder().ExpectBox("NAS will be restarted", vcl::IDOK);
                Responder().ExpectModal("Form1", [](vcl::TForm& done) {
                    auto& dialog = dynamic_cast<TForm1&>(done);
                    EXPECT_NE(dialog.Label1->GetCaption().find("successfully."), std::string::npos)
                        << dialog.Label1->GetCaption();
                    done.SetModalResult(vcl::mrOk);
                });
            }
            wizard.bbOk->Click();
            if (wizard.GetModalResult() == vcl::mrNone) wizard.bbCancel->Click();
        });
        ChooseMenu(w.ToolButton_ServerMenu, w.MenuItem_MenuServerQuickSetup);
        EXPECT_EQ(Responder().Pending(), 0);
        nassim::Unit* unit = Running(1);
        const auto sent =
            unit ? unit->requestsFor(nassim::kCommandSetServer) : std::vector<nassim::Request>{};
        const bool sends = e.event != Event::Gone && e.event != Event::Offline;
        ASSERT_EQ(sent.size(), sends ? 1u : 0u);
        if (sends) {
            // The unit took the new name, and the window asked the units again: its node shows
            // the name without another refresh.
            EXPECT_EQ(unit->config().name, "FRONTDESK");
            vcl::TTreeNode* node = NodeOf(1);
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->GetText(), "FRONTDESK");
            EXPECT_NE(w.UnitOf(node->GetData()), nullptr);
            EXPECT_EQ(w.NasServersNode->Count(), 1);
        }
        CloseWindow();
    }
}

// ---- Image conversion: the target unit chosen on the last page

TEST_F(LifetimeTest, AConversionGoesToTheChosenUnitAsItIsOrIsRefusedWhenItHasGone) {
    // A mounted image share with one image: a 4096-byte header (flag word at byte 4), then data.
    const std::string share = home_ + "/MIRROR/_IMAGE_";
    std::filesystem::create_directories(share);
    {
        std::vector<char> image(4096 + 8192, 'c');
        const std::uint32_t flags = 0x100; // convertible
        std::memcpy(image.data() + 4, &flags, sizeof flags);
        std::ofstream(share + "/A.IMG", std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    for (const EventCase& e : kWizardEvents) {
        SCOPED_TRACE(e.name);
        StartOnly({&alpha_});
        TForm_Central& w = Window();
        ClickNode(w.NasServersNode);
        Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
            auto& wizard = dynamic_cast<TFmWizard&>(form);
            ASSERT_EQ(wizard.CurrentPageKind(), kPageCdhFolder);
            wizard.Edit_CDHImgFolder->SetText(share + "/");
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageSelectCdhImages);
            ASSERT_EQ(wizard.ListView_CDHImgNotSel->Items()->Count(), 1);
            wizard.ListView_CDHImgNotSel->Items()->Item(0)->SetSelected(true);
            wizard.BBtn_AddCDHImg->Click();
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageConvertTarget);
            ASSERT_EQ(wizard.ComboBox_ToNasServer->GetText(), "alpha");
            Fire(e.event, alpha_, true);
            if (e.unitStays) {
                Responder().ExpectModal("Form_Password", [](vcl::TForm& prompt) {
                    auto& dialog = dynamic_cast<TForm_Password&>(prompt);
                    dialog.Edit_UserName->SetText("admin");
                    dialog.Edit_Password->SetText("pw");
                    dialog.Button_Ok->Click();
                });
            } else {
                Responder().ExpectBox("No available server.", vcl::IDOK);
            }
            wizard.bbOk->Click();
            if (wizard.GetModalResult() == vcl::mrNone) wizard.bbCancel->Click();
        });
        ChooseMenu(w.ToolButton_MirrorMenu, w.MenuItem_MenuCDHImgConverter);
        EXPECT_EQ(Responder().Pending(), 0);
        // The images reach the unit as it answers now, or nothing is sent.
        const auto sessions = Running(1) ? Running(1)->sessions() : std::vector<nassim::Session>{};
        ASSERT_EQ(sessions.size(), e.unitStays ? 1u : 0u);
        if (e.unitStays) {
            EXPECT_EQ(sessions[0].end, nassim::SessionEnd::Completed);
            ASSERT_EQ(sessions[0].files.size(), 1u);
            EXPECT_EQ(sessions[0].files[0].name, "A.IMG");
        }
        CloseWindow();
    }
}

// ---- The recording page: the 640 MB warning holds a destination while refreshes run

TEST_F(LifetimeTest, ARecordingOptionIsSetOnTheUnitAsItIsAfterTheWarningOrRefused) {
    constexpr std::uint32_t k650MB = 332800; // 2048-byte blocks: over the 640 MB warning
    for (const EventCase& e : kWizardEvents) {
        SCOPED_TRACE(e.name);
        running_.clear();
        silent_.clear();
        Start(alpha_, 1, k650MB, true);
        TForm_Central& w = Window();
        vcl::TTreeNode* alpha = NodeOf(1);
        ASSERT_NE(alpha, nullptr);
        alpha->Expand(false);
        ClickNode(Child(alpha, "Movies"));
        ASSERT_EQ(Captions(), (Strings{"one.iso", "two.iso"}));
        ClickRowOf(0);
        Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
            auto& wizard = dynamic_cast<TFmWizard&>(form);
            ASSERT_EQ(wizard.CurrentPageKind(), kPageCdRecording);
            ASSERT_EQ(wizard.ListView_CdrOption->Items()->Count(), 1);
            Responder().ExpectBox("Source size is over 640MB", vcl::IDOK,
                                  [&] { Fire(e.event, alpha_, true); });
            if (!e.unitStays) Responder().ExpectBox("Server alpha is off-line.", vcl::IDOK);
            wizard.Button_AddCdrOption->Click();
            ASSERT_EQ(WzdInfo.Jobs.size(), 1u);
            EXPECT_EQ(WzdInfo.Jobs[0]->CdrFlag, e.unitStays ? 1 : 0);
            if (e.unitStays) {
                EXPECT_EQ(WzdInfo.Jobs[0]->CdrDevice, 3);
                vcl::TListItem* row = wizard.ListView_CdrOption->Items()->Item(0);
                EXPECT_EQ(row->SubItems()->Strings(2), "alpha WRITER");
            }
            wizard.bbCancel->Click();
        });
        ChooseMenu(w.ToolButton_MirrorMenu, w.MenuItem_MenuRecordCD);
        EXPECT_EQ(Responder().Pending(), 0);
        CloseWindow();
    }
}

// ---- Holders that close, a tick that sweeps, and the holder opened again

// Each row is a holder of units that outlives its window: the wizard's combo of an upload's
// destination (job 11), the conversion's target combo (job 10) and the settings-profile window's
// lists of targets. It is opened with alpha chosen and closed; alpha stops and a tick retires and
// frees its object; the holder opens again, holds no choice of alpha across refills, refuses to
// act on it, and chooses alpha again once it answers under the same hardware address.
TEST_F(LifetimeTest, AHolderOpenedAgainAfterATickSweptItsUnitHoldsNoChoiceUntilTheUnitReturns) {
    const std::string iso = home_ + "/disc.iso";
    std::ofstream(iso) << std::string(100000, 'i');
    // A mounted image share with one convertible image (flag word at byte 4 of its header).
    const std::string share = home_ + "/MIRROR/_IMAGE_";
    std::filesystem::create_directories(share);
    {
        std::vector<char> image(4096 + 8192, 'c');
        const std::uint32_t flags = 0x100;
        std::memcpy(image.data() + 4, &flags, sizeof flags);
        std::ofstream(share + "/A.IMG", std::ios::binary)
            .write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    // A holder: open runs inside while it is shown and closes it afterwards; choose picks alpha,
    // chosen says which unit it shows chosen (empty: none), act tries to use the choice and
    // says whether it was taken; refusal is the box that says there is no unit to use (none:
    // nothing is offered), and act is tried again once alpha is back when actWhenBack.
    struct Holder {
        const char* name;
        std::function<void(const std::function<void()>& inside)> open;
        std::function<void()> choose;
        std::function<std::string()> chosen;
        std::function<bool()> act;
        const char* refusal;
        bool actWhenBack;
    };
    const auto uploadOpen = [&](const std::function<void()>& inside) {
        ClickNode(W().NasServersNode);
        Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
            auto& wizard = dynamic_cast<TFmWizard&>(form);
            ASSERT_EQ(wizard.CurrentPageKind(), kPageDestination);
            wizard.Edit_ISOSourceName->SetText(iso);
            inside();
            wizard.bbCancel->Click();
        });
        ChooseMenu(W().ToolButton_MirrorMenu, W().MenuItem_MenuBuildISO);
    };
    const auto convertOpen = [&](const std::function<void()>& inside) {
        ClickNode(W().NasServersNode);
        Responder().ExpectModal("FmWizard", [&](vcl::TForm& form) {
            auto& wizard = dynamic_cast<TFmWizard&>(form);
            ASSERT_EQ(wizard.CurrentPageKind(), kPageCdhFolder);
            wizard.Edit_CDHImgFolder->SetText(share + "/");
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageSelectCdhImages);
            wizard.ListView_CDHImgNotSel->Items()->Item(0)->SetSelected(true);
            wizard.BBtn_AddCDHImg->Click();
            wizard.bbNext->Click();
            ASSERT_EQ(wizard.CurrentPageKind(), kPageConvertTarget);
            inside();
            wizard.bbCancel->Click();
        });
        ChooseMenu(W().ToolButton_MirrorMenu, W().MenuItem_MenuCDHImgConverter);
    };
    const auto comboChoice = [](vcl::TComboBox* combo) {
        return combo->GetItemIndex() < 0 ? std::string() : combo->GetText();
    };
    const auto chooseIn = [](vcl::TComboBox* combo) {
        const int at = combo->Items()->IndexOf("alpha");
        ASSERT_GE(at, 0);
        combo->SetItemIndex(at);
        if (combo->OnChange) combo->OnChange(combo);
    };
    // The settings-profile window, opened on beta: its list of targets offers the units.
    const auto profileOpen = [&](const std::function<void()>& inside) {
        // The click on the window after the profile window closed activates it again, as the
        // desktop does.
        QApplication::setActiveWindow(W(&W()));
        ClickNode(NodeOf(2));
        Responder().ExpectModal("Form_ProfileSetting", [&](vcl::TForm& form) {
            // The targets page as it is shown: the refresh timer keeps its lists from then on.
            Form_ProfileSetting->TabSheet_SettingToShow(nullptr);
            inside();
            TargetListsShowing = 0;
            form.SetModalResult(vcl::mrCancel);
        });
        ChooseMenu(W().ToolButton_ServerMenu, W().MenuItem_MenuImport);
    };
    const auto targetRows = [] {
        Strings rows;
        for (int i = 0; i < Form_ProfileSetting->ListView_SelTarget->Items()->Count(); ++i)
            rows.push_back(Form_ProfileSetting->ListView_SelTarget->Items()->Item(i)->GetCaption());
        return rows;
    };
    const Holder holders[] = {
        {"upload destination (job 11)", uploadOpen,
         [&] { chooseIn(FmWizard->ComboBox_ServerList); },
         [&] { return comboChoice(FmWizard->ComboBox_ServerList); },
         [&] {
             const std::size_t before = WzdInfo.Jobs.size();
             FmWizard->bbAdd->Click();
             return WzdInfo.Jobs.size() > before;
         },
         "No available server.", true},
        {"conversion target (job 10)", convertOpen,
         [&] { chooseIn(FmWizard->ComboBox_ToNasServer); },
         [&] { return comboChoice(FmWizard->ComboBox_ToNasServer); },
         [&] {
             // The page refuses to finish (the box says so) and stays, its combo resolving to
             // no unit.
             FmWizard->bbOk->Click();
             FmWizard->SetModalResult(vcl::mrNone);
             return FmWizard->ComboServer(FmWizard->ComboBox_ToNasServer) != nullptr;
         },
         "No available server.", false},
        {"settings-profile targets", profileOpen,
         [&] {
             ASSERT_EQ(targetRows(), (Strings{"alpha", "beta"}));
         },
         [&] {
             // The target offered first, as its row shows it (empty: alpha is not offered).
             const Strings rows = targetRows();
             return std::count(rows.begin(), rows.end(), "alpha") ? std::string("alpha")
                                                                  : std::string();
         },
         [&] {
             // The row the window showed for alpha when it was last open is chosen and added.
             vcl::TListView* offered = Form_ProfileSetting->ListView_SelTarget;
             for (int i = 0; i < offered->Items()->Count(); ++i)
                 offered->Items()->Item(i)->SetSelected(offered->Items()->Item(i)->GetCaption() ==
                                                        "alpha");
             Form_ProfileSetting->Btn_Add->Click();
             return Form_ProfileSetting->ListView_SelectedServer->Items()->Count() > 0;
         },
         nullptr, false},
    };
    for (const Holder& holder : holders) {
        SCOPED_TRACE(holder.name);
        StartOnly({&alpha_, &beta_});
        TForm_Central& w = Window();
        WzdInfo.Jobs.clear();
        holder.open([&] {
            holder.choose();
            EXPECT_EQ(holder.chosen(), "alpha");
        });
        EXPECT_EQ(Responder().Pending(), 0);

        // Closed: alpha stops, and the tick retires its object and frees it.
        Stop(1);
        AutoTick();
        ASSERT_EQ(NodeOf(1), nullptr);
        EXPECT_EQ(w.NasSvrNet.RetiredCount(), 0);

        holder.open([&] {
            // No choice, also after more refills, and nothing is done with the unit that left.
            EXPECT_EQ(holder.chosen(), "");
            AutoTick();
            AutoTick();
            EXPECT_EQ(holder.chosen(), "");
            if (holder.refusal) Responder().ExpectBox(holder.refusal, vcl::IDOK);
            EXPECT_FALSE(holder.act());
            // alpha answers again under the same hardware address (another address): chosen.
            Start(alpha_, 21);
            AutoTick();
            EXPECT_EQ(holder.chosen(), "alpha");
            if (holder.actWhenBack) {
                EXPECT_TRUE(holder.act());
            }
        });
        EXPECT_EQ(Responder().Pending(), 0);
        WzdInfo.Jobs.clear();
        delete Form_ProfileSetting;
        Form_ProfileSetting = nullptr;
        CloseWindow();
    }
}

// ---- Validation that removes a folder whose source has gone

TEST_F(LifetimeTest, AFolderThatValidationRemovesTakesItsNodeAlong) {
    const std::string host = home_ + "/host";
    std::filesystem::create_directories(host + "/keep");
    std::filesystem::create_directories(host + "/gone/inner");
    std::ofstream(host + "/keep/a.txt") << "a";
    std::ofstream(host + "/gone/inner/b.txt") << "b";
    TForm_Central& w = Window();
    ClickNode(w.MyContainerNode);
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(host + "/keep")),
                   QUrl::fromLocalFile(QString::fromStdString(host + "/gone"))});
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(FocusTarget(w.TreeView), Qt::Key_V, Qt::ControlModifier);
    w.MyContainerNode->Expand(true);
    ASSERT_EQ(ChildTexts(w.MyContainerNode), (Strings{"gone", "keep"}));
    // The folder whose source goes is the one the user looks at.
    ClickNode(Child(Child(w.MyContainerNode, "gone"), "inner"));
    std::filesystem::remove_all(host + "/gone");

    Responder().ExpectModal("Form_Validate", [&](vcl::TForm& form) {
        // The question comes from the walk in the dialog's timer: a timer of the test answers
        // Update to each.
        QTimer clicker;
        QObject::connect(&clicker, &QTimer::timeout, [&] {
            if (Form_Validate && Form_Validate->Button_Yes->GetVisible())
                QTest::mouseClick(W(Form_Validate->Button_Yes), Qt::LeftButton);
        });
        clicker.start(5);
        EXPECT_TRUE(PumpUntil([&] { return form.GetModalResult() != vcl::mrNone; }));
    });
    ChooseMenu(w.ToolButton_MirrorMenu, w.MenuItem_MenuValidate);
    EXPECT_EQ(Responder().Pending(), 0);
    EXPECT_EQ(ChildTexts(w.MyContainerNode), (Strings{"keep"}));
    // Whatever is selected now, its list and a refresh read only live records.
    ASSERT_NE(w.TreeView->GetSelected(), nullptr);
    AutoTick();
    ClickNode(Child(w.MyContainerNode, "keep"));
    EXPECT_EQ(Captions(), (Strings{"a.txt"}));
}

// ---- Soak and flood

TEST_F(LifetimeTest, AHundredRefreshesWhileUnitsLeaveAndReturnKeepTreeListAndDiscoveryAgreed) {
    const UnitPlan* plans[] = {&alpha_, &beta_, &gamma_};
    for (const UnitPlan* plan : plans)
        Start(*plan, plan->id);
    TForm_Central& w = Window();
    // What the selection shows: a unit's id and a folder's text (none: NAS Servers itself).
    std::uint8_t selectedUnit = 0;
    std::string selectedFolder;
    ClickNode(w.NasServersNode);
    std::map<std::uint8_t, int> generation;
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const UnitPlan& plan = *plans[round % 3];
        // A third of the rounds a unit leaves, a third one returns (renamed every other time),
        // and the selection moves now and then.
        if (round % 3 == 1 && Running(plan.id)) {
            Stop(plan.id);
        } else if (!Running(plan.id)) {
            UnitPlan again = plan;
            if (++generation[plan.id] % 2 == 0) again.name += std::to_string(generation[plan.id]);
            Start(again, plan.id + 10u * static_cast<unsigned>(generation[plan.id] % 3));
        }
        if (round % 10 == 5) {
            if (vcl::TTreeNode* node = NodeOf(1); node && node->Count() > 0) {
                node->Expand(false);
                ClickNode(node->Item(0));
                selectedUnit = 1;
                selectedFolder = node->Item(0)->GetText();
            } else {
                ClickNode(w.NasServersNode);
                selectedUnit = 0;
                selectedFolder.clear();
            }
        }
        switch (round % 3) {
        case 0:
            ChooseMenu(w.ToolButton_ViewMenu, w.MenuItem_MenuRefresh);
            break;
        case 1:
            QTest::mouseClick(W(w.ToolButton_Refresh), Qt::LeftButton);
            break;
        default:
            AutoTick();
            break;
        }
        SettleFolderReads();
        ExpectConsistent();
        vcl::TTreeNode* selected = w.TreeView->GetSelected();
        ASSERT_NE(selected, nullptr);
        if (selectedUnit != 0 && !Running(selectedUnit)) {
            selectedUnit = 0;
            selectedFolder.clear();
        }
        if (selectedUnit == 0) {
            EXPECT_EQ(selected, w.NasServersNode);
        } else {
            EXPECT_EQ(selected->Parent(), NodeOf(selectedUnit));
            EXPECT_EQ(selected->GetText(), selectedFolder);
        }
        // Retired units nobody holds do not pile up.
        EXPECT_LE(w.NasSvrNet.RetiredCount(), 3);
    }
}

TEST_F(LifetimeTest, AFloodOfForgedAnnouncersStopsAtTheCapAndTheWindowStillAnswers) {
    Start(alpha_, 1);
    TForm_Central& w = Window();
    ClickNode(w.NasServersNode);
    ASSERT_EQ(Captions(), (Strings{"alpha"}));
    // A unit that starts later announces itself: its node comes at once, its image folders when
    // the reader off the GUI thread has them.
    Start(beta_, 2);
    std::vector<std::uint8_t> ready = Announcement(8, 2, "beta");
    ready[52] = 1; // the unit keeps image folders
    Announce(ready);
    ASSERT_NE(NodeOf(2), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return NodeOf(2)->Count() == 2; }));
    EXPECT_EQ(ChildTexts(NodeOf(2)), (Strings{"Docs", "[ Other ]"}));
    for (int i = 0; i < 1000; ++i) {
        std::vector<std::uint8_t> d = Announcement(8, 0, "forged");
        // Distinct units, each announcing from the loopback address it names, where nothing
        // listens.
        d[112] = static_cast<std::uint8_t>(i);
        d[113] = static_cast<std::uint8_t>(0x80 | (i >> 8));
        const std::uint8_t address[4] = {127, 0, 99, static_cast<std::uint8_t>(i)};
        std::memcpy(&d[200], address, 4);
        Announce(d);
    }
    EXPECT_EQ(w.NasSvrNet.FoundCount(), CNASSvrNet::kDiscoveryMax);
    EXPECT_EQ(w.NasServersNode->Count(), CNASSvrNet::kDiscoveryMax);
    EXPECT_EQ(w.ListView->Items()->Count(), CNASSvrNet::kDiscoveryMax);
    // The window still takes a click and answers it.
    ClickNode(NodeOf(1));
    EXPECT_EQ(Captions(), (Strings{"Movies", "Music", "[ Other ]"}));
}

} // namespace
