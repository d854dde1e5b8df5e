// Shows every page of the wizard and the "Please wait" page of the container jobs, and saves a
// picture of each:
//   wizard_pages_shot OUT_DIR   writes OUT_DIR/NN_page.png (language from the locale)
//   wizard_pages_shot --screen OUT_DIR   the same, each a picture of the whole screen (with the
//                                        window manager's title bar when one runs)
// Two simulated units on loopback and one simulated drive; run it in a private network namespace
// with a real window, for example
//   LANG=zh_TW.UTF-8 scripts/netns-run xvfb-run -a -s "-screen 0 1280x800x24"
//       build-asan/tests/wizard/wizard_pages_shot /tmp/shots-wizard/zh_TW   (one line)
#include "../drives/sim_machine.h"
#include "../servers/nas_unit_fixture.h"

#include "cdrom.h"
#include "container.h"
#include "fmmsg.h"
#include "fmwizard.h"
#include "msgbox.h"
#include "nasserver.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/testing/form_shot.h"
#include "vcl/tree_view.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

class Host : public TWizardHost {
public:
    vcl::TTreeNode* nas = nullptr;
    CDH_LOGICAL_CDROM_CLASS* drives = nullptr;
    MIRROR_CONTAINER container;
    std::vector<std::shared_ptr<CNasServer>> units; // the units the nodes name by handle
    vcl::TTreeNode* NasServersNode() override { return nas; }
    std::shared_ptr<CNasServer> UnitOf(const void* data) override {
        for (const auto& unit : units)
            if (unit->UnitHandle.Data() == data) return unit;
        return {};
    }
    vcl::TTreeNode* RemoteServersNode() override { return nullptr; }
    CDH_LOGICAL_CDROM_CLASS* Drives() override { return drives; }
    MIRROR_CONTAINER* MyContainer() override { return &container; }
};

} // namespace

int main(int argc, char** argv) {
    const bool wholeScreen = argc == 3 && std::string(argv[1]) == "--screen";
    if (argc != 2 && !wholeScreen) {
        std::fprintf(stderr, "usage: %s [--screen] OUT_DIR\n", argv[0]);
        return 2;
    }
    vcl::TApplication application(argc, argv);
    SelectLanguage();
    const std::string outDir = argv[argc - 1];
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
        auto server = std::make_shared<CNasServer>();
        server->UnitHandle = NasUnitHandle(NasUnitHandle::kTag | static_cast<std::uint64_t>(i + 1));
        servertest::PointAt(*server, *unit, 1);
        servertest::PutText(server->Info.name, sizeof server->Info.name, names[i]);
        servertest::PutText(server->Info.workgroup, sizeof server->Info.workgroup, "OFFICE");
        servertest::PutText(server->Info.comment, sizeof server->Info.comment, "Front desk");
        server->Info.subnetMask[0] = 0xFFFFFF00u;
        const std::string mac = "00:11:22:33:44:5" + std::to_string(i);
        std::copy(mac.begin(), mac.end(), server->Info.hardwareAddress);
        vcl::TTreeNode* node = tree->Items()->AddChild(host.nas, names[i]);
        node->SetData(server->UnitHandle.Data());
        tree->Items()->AddChild(node, "ISO");
        units.push_back(std::move(unit));
        host.units.push_back(std::move(server));
    }

    auto* wizard = new TFmWizard(nullptr);
    wizard->SetHost(&host);
    wizard->FormCreate(wizard);
    bool saved = true;
    const auto shot = [&](const std::string& name) {
        const std::string path = outDir + "/" + name + ".png";
        saved = (wholeScreen ? vcl::testing::SaveScreenPicture(path)
                             : vcl::testing::SaveFormPicture(*wizard, path)) &&
                saved;
    };
    const auto sheet = [&](int kind, const std::string& name) {
        wizard->PageControl1->SetActivePage(wizard->Sheets[kind]);
        shot(name);
    };

    // The job list, with the longest comment.
    wizard->StartJob(0);
    wizard->Show();
    wizard->ListView_JobList->Items()->Item(1)->SetSelected(true);
    shot("00_jobs");

    // The mirror job.
    wizard->StartJob(kJobMirror);
    shot("01_drive");
    wizard->bbNext->Click();
    for (const auto& server : host.units) {
        wizard->ComboBox_ServerList->SetItemIndex(
            wizard->ComboBox_ServerList->Items()->IndexOfObject(server->UnitHandle.Data()));
        wizard->ComboBox_ServerListChange(nullptr);
        wizard->bbAdd->Click();
    }
    shot("03_destinations");
    wizard->bbNext->Click();
    shot("04_volume_names");
    wizard->bbNext->Click();
    wizard->ComboBox_RecordSpeed->SetItemIndex(8);
    wizard->Button_AddCdrOption->Click();
    shot("15_recording");
    wizard->bbNext->Click();
    wizard->RadioButton_StartSchedule->SetChecked(true);
    shot("06_schedule");
    wizard->bbNext->Click();
    shot("07_options");
    sheet(kPageShareName, "05_share_names");

    // The build job's container page and the upload job's destination page.
    host.container.NewContainer();
    wizard->StartJob(kJobBuildImage);
    shot("02_container");
    wizard->StartJob(kJobUploadIso);
    shot("03_destinations_iso");

    // Server quick setup.
    wizard->StartJob(kJobSetupServer);
    shot("08_server_selection");
    wizard->ListView_ServerDetail->Items()->Item(0)->SetSelected(true);
    wizard->bbNext->Click();
    shot("10_ip_addresses");
    wizard->bbNext->Click();
    shot("13_server_names");
    wizard->bbNext->Click();
    shot("12_passwords");
    sheet(kPageNetworkEnvironment, "09_network_environment");
    sheet(kPageDateTime, "11_date_time");

    // Hard-disk initialisation.
    wizard->StartJob(kJobInitializeHd);
    shot("14_hard_disks");

    // The conversion.
    const auto folder =
        std::filesystem::temp_directory_path() / "wizard_pages_shot_images" / "_IMAGE_";
    std::filesystem::create_directories(folder);
    for (const char* name : {"OFFICE-2019.IMG", "MANUALS.IMG", "DRIVERS.IMG"})
        std::ofstream(folder / name) << std::string(8192, '\0');
    wizard->StartJob(kJobConvertCdh);
    shot("17_cdh_folder");
    wizard->Edit_CDHImgFolder->SetText(folder.string());
    wizard->bbNext->Click();
    wizard->ListView_CDHImgNotSel->Items()->Item(0)->SetSelected(true);
    wizard->BBtn_AddCDHImg->Click();
    shot("16_cdh_images");
    wizard->bbNext->Click();
    shot("18_convert_target");
    std::filesystem::remove_all(folder.parent_path());

    // The page shown while a container job reads its disc.
    {
        const TFmWizard::WaitPage wait(*wizard);
        if (FmMsg) saved = vcl::testing::SaveFormPicture(*FmMsg, outDir + "/wait.png") && saved;
    }
    delete wizard;
    vcl::SetDialogHost(nullptr);
    return saved ? 0 : 1;
}
