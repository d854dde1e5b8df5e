// Shows the server quick setup of a simulated unit on its IP address and server name pages, and
// the conversion's image choice, and saves a picture of each:
//   setup_shot OUT_DIR   writes OUT_DIR/setup_ip.png, setup_names.png, convert_images.png
// One simulated unit on loopback; run it in a private network namespace.
#include "../servers/nas_unit_fixture.h"

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
    vcl::TTreeNode* NasServersNode() override { return nas; }
    vcl::TTreeNode* RemoteServersNode() override { return nullptr; }
    CDH_LOGICAL_CDROM_CLASS* Drives() override { return nullptr; }
    MIRROR_CONTAINER* MyContainer() override { return nullptr; }
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

    std::unique_ptr<vcl::TForm> window(new vcl::TForm(nullptr));
    auto* tree = vcl::Make<vcl::TTreeView>(window.get(), window.get(), "TreeView");
    Host host;
    host.nas = tree->Items()->AddChild(nullptr, "NAS Servers");
    nassim::UnitConfig config;
    config.name = "STORE-A";
    config.capabilities = 1;
    auto unit = servertest::StartUnit(config);
    if (!unit) return 1;
    unit->setImageFolders({"ISO", "Movies"});
    CNasServer server;
    servertest::PointAt(server, *unit, 1);
    server.Info.textEncodingKind = 1;
    server.Info.subnetMask[0] = 0xFFFFFF00u;
    server.Info.gateway[0] = (unit->address() & 0xFFFFFF00u) | 1;
    server.Info.ipAddress[1] = 0x0A000002u;
    server.Info.subnetMask[1] = 0xFF000000u;
    server.Info.word134 = 3;                 // Stand Alone
    server.Info.capabilityFlags |= 1u << 30; // a third port
    servertest::PutText(server.Info.name, sizeof server.Info.name, "STORE-A");
    servertest::PutText(server.Info.workgroup, sizeof server.Info.workgroup, "OFFICE");
    servertest::PutText(server.Info.comment, sizeof server.Info.comment, "Front desk storage");
    const std::string mac = "00:11:22:33:44:50";
    std::copy(mac.begin(), mac.end(), server.Info.hardwareAddress);
    vcl::TTreeNode* node = tree->Items()->AddChild(host.nas, "STORE-A");
    node->SetData(&server);
    tree->Items()->AddChild(node, "ISO");

    auto* wizard = new TFmWizard(nullptr);
    wizard->SetHost(&host);
    wizard->FormCreate(wizard);
    WizardRefreshInfo.Take(server);
    wizard->PreselectedServer = &server;
    wizard->StartJob(kJobSetupPreselected);
    wizard->Show();
    bool saved = vcl::testing::SaveFormPicture(*wizard, outDir + "/setup_ip.png");
    wizard->bbNext->Click();
    saved = vcl::testing::SaveFormPicture(*wizard, outDir + "/setup_names.png") && saved;

    // The conversion's image choice over a small image folder.
    const auto folder = std::filesystem::temp_directory_path() / "setup_shot_images" / "_IMAGE_";
    std::filesystem::create_directories(folder);
    for (const char* name : {"OFFICE-2019.IMG", "MANUALS.IMG", "DRIVERS.IMG"})
        std::ofstream(folder / name) << std::string(8192, '\0');
    wizard->StartJob(kJobConvertCdh);
    wizard->Edit_CDHImgFolder->SetText(folder.string());
    wizard->bbNext->Click();
    wizard->ListView_CDHImgNotSel->Items()->Item(0)->SetSelected(true);
    wizard->BBtn_AddCDHImg->Click();
    saved = vcl::testing::SaveFormPicture(*wizard, outDir + "/convert_images.png") && saved;
    std::filesystem::remove_all(folder.parent_path());
    delete wizard;
    vcl::SetDialogHost(nullptr);
    return saved ? 0 : 1;
}
