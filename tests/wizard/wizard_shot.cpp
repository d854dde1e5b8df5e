// Shows the wizard's mirror job on the drive, destination, CD recording and schedule pages and
// saves a picture of each:
//   wizard_shot OUT_DIR   writes OUT_DIR/wizard_drive.png, wizard_destinations.png,
//                         wizard_recording.png, wizard_schedule.png (language from the locale)
// Two simulated units on loopback and one simulated drive; run it in a private network namespace
// with a real window, for example
//   LANG=zh_TW.UTF-8 scripts/netns-run xvfb-run -a -s "-screen 0 1280x800x24"
//       build/tests/wizard/wizard_shot /tmp/wizard-shots/zh_TW   (one line)
#include "../drives/sim_machine.h"
#include "../servers/nas_unit_fixture.h"

#include "cdrom.h"
#include "container.h"
#include "fmwizard.h"
#include "msgbox.h"
#include "nasserver.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/testing/form_shot.h"
#include "vcl/tree_view.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

class Host : public TWizardHost {
public:
    vcl::TTreeNode* nas = nullptr;
    CDH_LOGICAL_CDROM_CLASS* drives = nullptr;
    MIRROR_CONTAINER container;
    vcl::TTreeNode* NasServersNode() override { return nas; }
    vcl::TTreeNode* RemoteServersNode() override { return nullptr; }
    CDH_LOGICAL_CDROM_CLASS* Drives() override { return drives; }
    MIRROR_CONTAINER* MyContainer() override { return &container; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    vcl::TApplication application(argc, argv);
    SelectLanguage();
    const std::string outDir = argv[1];
    vcl::testing::OkDialogHost dialogs;
    vcl::SetDialogHost(&dialogs);

    SimMachine machine;
    auto& adapter = machine.AddAdapter("ATAPI SIM");
    discsim::VolumeInfo volume;
    volume.volumeId = "HOLIDAY_2026";
    machine.AddDrive(adapter, 0, 0, "DATA", discsim::MakeDataCd(300000, volume));
    machine.Start().SetSleeper([](std::uint32_t) {});
    CDH_LOGICAL_CDROM_CLASS drives;
    drives.Rescan();

    std::unique_ptr<vcl::TForm> window(new vcl::TForm(nullptr));
    auto* tree = vcl::Make<vcl::TTreeView>(window.get(), window.get(), "TreeView");
    Host host;
    host.drives = &drives;
    host.nas = tree->Items()->AddChild(nullptr, "NAS Servers");
    std::vector<std::unique_ptr<nassim::Unit>> units;
    std::vector<std::unique_ptr<CNasServer>> servers;
    const char* names[] = {"STORE-A", "ARCHIVE"};
    for (int i = 0; i < 2; ++i) {
        nassim::UnitConfig config;
        config.name = names[i];
        config.capabilities = 1;
        auto unit = servertest::StartUnit(config);
        if (!unit) return 1;
        unit->setImageFolders({"ISO", "Movies", "Backup"});
        if (i == 0) {
            nassim::CdDriveRecord writer;
            writer.typeMask = 0x02;
            writer.name = "CD-RW WRITER";
            writer.tail[0] = 3;
            unit->setCdDrives({writer});
        }
        auto server = std::make_unique<CNasServer>();
        servertest::PointAt(*server, *unit, 1);
        servertest::PutText(server->Info.name, sizeof server->Info.name, names[i]);
        const std::string mac = "00:11:22:33:44:5" + std::to_string(i);
        std::copy(mac.begin(), mac.end(), server->Info.hardwareAddress);
        vcl::TTreeNode* node = tree->Items()->AddChild(host.nas, names[i]);
        node->SetData(server.get());
        tree->Items()->AddChild(node, "ISO");
        units.push_back(std::move(unit));
        servers.push_back(std::move(server));
    }

    auto* wizard = new TFmWizard(nullptr);
    wizard->SetHost(&host);
    wizard->FormCreate(wizard);
    wizard->StartJob(kJobMirror);
    wizard->Show();
    bool saved = vcl::testing::SaveFormPicture(*wizard, outDir + "/wizard_drive.png");
    wizard->bbNext->Click();
    for (CNasServer* server : {servers[0].get(), servers[1].get()}) {
        wizard->ComboBox_ServerList->SetItemIndex(
            wizard->ComboBox_ServerList->Items()->IndexOfObject(server));
        wizard->ComboBox_ServerListChange(nullptr);
        wizard->bbAdd->Click();
    }
    saved = vcl::testing::SaveFormPicture(*wizard, outDir + "/wizard_destinations.png") && saved;
    wizard->bbNext->Click();
    wizard->bbNext->Click();
    wizard->ComboBox_RecordSpeed->SetItemIndex(8);
    wizard->Button_AddCdrOption->Click();
    saved = vcl::testing::SaveFormPicture(*wizard, outDir + "/wizard_recording.png") && saved;
    wizard->bbNext->Click();
    wizard->RadioButton_StartSchedule->SetChecked(true);
    saved = vcl::testing::SaveFormPicture(*wizard, outDir + "/wizard_schedule.png") && saved;
    delete wizard;
    vcl::SetDialogHost(nullptr);
    return saved ? 0 : 1;
}
