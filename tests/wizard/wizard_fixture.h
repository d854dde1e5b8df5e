// The wizard built from its form description over a small stand-in for the main window: a tree
// with the NAS Servers and Remote Servers roots whose children carry server objects pointed at
// simulated units, a machine of simulated optical drives and a container.
#pragma once

#include "../drives/sim_machine.h"
#include "../platform/ui_fixture.h"
#include "../servers/nas_unit_fixture.h"

#include "cdrom.h"
#include "container.h"
#include "fmwizard.h"
#include "msgbox.h"
#include "nasserver.h"
#include "nassim.h"

#include "vcl/tree_view.h"

#include <memory>
#include <string>
#include <vector>

class WizardTest : public UiTest, public TWizardHost {
protected:
    struct Unit {
        std::unique_ptr<nassim::Unit> sim;
        std::unique_ptr<CNasServer> server;
        vcl::TTreeNode* node = nullptr;
    };

    void SetUp() override {
        UiTest::SetUp();
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
        main_ = new vcl::TForm(nullptr);
        main_->SetBounds(0, 0, 800, 600);
        tree_ = vcl::Make<vcl::TTreeView>(main_, main_, "Tree");
        nasServers_ = tree_->Items()->AddChild(nullptr, "NAS Servers");
        remoteServers_ = tree_->Items()->AddChild(nullptr, "Remote Servers");
    }
    void TearDown() override {
        delete wizard_;
        wizard_ = nullptr;
        delete main_;
        units_.clear();
        retired_.clear();
        drives_.reset();
        machine_.reset();
        LanguageIndex = savedLanguage_;
        UiTest::TearDown();
    }

    // A unit with image folders; with a writer when writer is set (a DVD writer when dvd).
    Unit& AddUnit(const std::string& name, std::uint8_t macLast, bool writer, bool dvd = false) {
        nassim::UnitConfig config;
        config.name = name;
        config.capabilities = 1;
        config.status = 1;
        config.hardwareAddress = {};
        const std::string mac = "00:11:22:33:44:" + std::to_string(10 + macLast);
        std::copy(mac.begin(), mac.end(), config.hardwareAddress.begin());
        auto unit = std::make_unique<Unit>();
        unit->sim = servertest::StartUnit(config);
        unit->sim->setImageFolders({"ISO", "Movies"});
        unit->sim->setUsers({{"admin", "pw-" + name}});
        if (writer) {
            nassim::CdDriveRecord drive;
            drive.typeMask = 0x02;
            drive.name = name + " WRITER";
            drive.tail[0] = 3;
            unit->sim->setCdDrives({drive});
        }
        (void)dvd;
        unit->server = std::make_unique<CNasServer>();
        servertest::PointAt(*unit->server, *unit->sim, 1);
        servertest::PutText(unit->server->Info.name, sizeof unit->server->Info.name, name);
        std::copy(mac.begin(), mac.end(), unit->server->Info.hardwareAddress);
        unit->node = tree_->Items()->AddChild(nasServers_, name);
        unit->node->SetData(unit->server.get());
        tree_->Items()->AddChild(unit->node, "ISO");
        units_.push_back(std::move(unit));
        return *units_.back();
    }

    // Drive D: with a data CD of the given sectors and label; E: with a Video CD.
    void AddDrives(std::uint32_t sectors = 3000, const std::string& label = "MY_DISC") {
        machine_ = std::make_unique<SimMachine>();
        auto& adapter = machine_->AddAdapter("ATAPI SIM");
        discsim::VolumeInfo volume;
        volume.volumeId = label;
        machine_->AddDrive(adapter, 0, 0, "DATA", discsim::MakeDataCd(sectors, volume));
        machine_->AddDrive(adapter, 1, 0, "VIDEO", discsim::MakeVideoCd());
        machine_->Start().SetSleeper([](std::uint32_t) {});
        drives_ = std::make_unique<CDH_LOGICAL_CDROM_CLASS>();
        ASSERT_TRUE(drives_->Rescan());
    }

    TFmWizard& Wizard() {
        if (!wizard_) {
            wizard_ = new TFmWizard(nullptr);
            wizard_->SetHost(this);
            wizard_->FormCreate(wizard_);
        }
        return *wizard_;
    }

    // The host.
    vcl::TTreeNode* NasServersNode() override { return nasServers_; }
    vcl::TTreeNode* RemoteServersNode() override { return remoteServers_; }
    CDH_LOGICAL_CDROM_CLASS* Drives() override { return drives_.get(); }
    MIRROR_CONTAINER* MyContainer() override { return &container_; }
    int TaskCount() override { return taskCount_; }
    vcl::TForm* MainForm() override { return main_; }
    bool SelectedImage(CNasServer*& server, std::string& name, std::uint32_t& blocks) override {
        if (!selectedImageServer_) return false;
        server = selectedImageServer_;
        name = "IMAGE1";
        blocks = selectedImageBlocks_;
        return true;
    }

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
        const int at = w.ComboBox_ServerList->Items()->IndexOfObject(unit.server.get());
        ASSERT_GE(at, 0);
        w.ComboBox_ServerList->SetItemIndex(at);
        w.ComboBox_ServerListChange(w.ComboBox_ServerList);
        w.bbAdd->Click();
    }

    vcl::TForm* main_ = nullptr;
    vcl::TTreeView* tree_ = nullptr;
    vcl::TTreeNode* nasServers_ = nullptr;
    vcl::TTreeNode* remoteServers_ = nullptr;
    std::vector<std::unique_ptr<Unit>> units_;
    // Server objects a "refresh" of the test let go: as in the program's server list, they are
    // retired, not freed, while the wizard is open.
    std::vector<std::unique_ptr<CNasServer>> retired_;
    std::unique_ptr<SimMachine> machine_;
    std::unique_ptr<CDH_LOGICAL_CDROM_CLASS> drives_;
    MIRROR_CONTAINER container_;
    TFmWizard* wizard_ = nullptr;
    int taskCount_ = 0;
    CNasServer* selectedImageServer_ = nullptr;
    std::uint32_t selectedImageBlocks_ = 0;
    int savedLanguage_ = 0;
};
