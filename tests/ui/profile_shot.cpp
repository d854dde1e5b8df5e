// Shows the Import System Settings dialog on each of its three pages and saves a picture of each:
//   profile_shot OUT_DIR   writes OUT_DIR/import_source.png, import_targets.png, import_items.png
// The servers are records only (no unit is dialled); the profile comes from a file made here.
#include "../profiles/profile_builder.h"

#include "importform.h"
#include "msgbox.h"
#include "password.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/modal_host.h"
#include "vcl/testing/form_shot.h"
#include "vcl/tree_view.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

class Host : public TProfileSettingHost {
public:
    vcl::TTreeNode* nas = nullptr;
    std::vector<std::shared_ptr<CNasServer>> units; // the units the nodes name by handle
    vcl::TTreeNode* NasServersNode() override { return nas; }
    std::shared_ptr<CNasServer> UnitOf(const void* data) override {
        for (const auto& unit : units)
            if (unit->UnitHandle.Data() == data) return unit;
        return {};
    }
    vcl::TTreeNode* RemoteServersNode() override { return nullptr; }
    void SetBusy(bool) override {}
};

// Answers the file choice with the profile and any box with OK.
class Dialogs : public vcl::testing::OkDialogHost {
public:
    std::string file;
    std::vector<std::string> FileDialog(const vcl::TFileDialogRequest&) override { return {file}; }
};

// Walks the dialog through its pages, saving each; types a password when one is asked.
class Walker : public vcl::TModalHost {
public:
    std::string outDir;
    bool saved = true;
    int RunModal(vcl::TForm& form) override {
        if (auto* password = dynamic_cast<TForm_Password*>(&form)) {
            password->Edit_Password->SetText("admin");
            form.SetModalResult(vcl::mrOk);
            return vcl::mrOk;
        }
        auto& d = dynamic_cast<TForm_ProfileSetting&>(form);
        form.BeginModal();
        saved = vcl::testing::SaveFormPicture(form, outDir + "/import_source.png") && saved;
        d.RBtn_FromFile->SetChecked(true);
        d.Btn_Next->Click();
        for (int i = 0; i < d.ListView_SelTarget->Items()->Count(); ++i)
            d.ListView_SelTarget->Items()->Item(i)->SetSelected(i >= 3);
        d.Btn_AddClick(nullptr);
        for (int i = 0; i < d.ListView_SelTarget->Items()->Count(); ++i)
            d.ListView_SelTarget->Items()->Item(i)->SetSelected(false);
        saved = vcl::testing::SaveFormPicture(form, outDir + "/import_targets.png") && saved;
        d.Btn_Next->Click();
        saved = vcl::testing::SaveFormPicture(form, outDir + "/import_items.png") && saved;
        form.SetModalResult(vcl::mrCancel);
        form.EndModal();
        return form.GetModalResult();
    }
};

NasServerInfo Record(const char* name, const char* workgroup, std::uint8_t last,
                     std::uint32_t capabilities) {
    NasServerInfo r{};
    std::strncpy(r.name, name, sizeof r.name - 1);
    std::strncpy(r.workgroup, workgroup, sizeof r.workgroup - 1);
    r.ipAddress[0] = 0x7F000000u | 0x3C00u | last; // 127.0.60.N
    r.capabilityFlags = capabilities;
    return r;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    vcl::TApplication application(argc, argv);
    SelectLanguage();
    const std::string outDir = argv[1];

    Dialogs dialogs;
    dialogs.file = outDir + "/site.cfg";
    profiletest::WriteFile(dialogs.file, profiletest::MakeProfileFile(outDir, false, 0x3F));
    Walker walker;
    walker.outDir = outDir;
    vcl::SetDialogHost(&dialogs);
    vcl::SetModalHost(&walker);

    std::unique_ptr<vcl::TForm> window(vcl::MakeForm<vcl::TForm>(nullptr));
    auto* tree = vcl::Make<vcl::TTreeView>(window.get(), window.get(), "TreeView");
    Host host;
    host.nas = tree->Items()->Add(nullptr, "NAS Servers");
    const char* names[] = {"STORE-A", "STORE-B", "ARCHIVE", "BACKUP-1", "BACKUP-2", "LAB"};
    for (int i = 0; i < 6; ++i) {
        auto server = std::make_shared<CNasServer>();
        server->UnitHandle = NasUnitHandle(NasUnitHandle::kTag | static_cast<std::uint64_t>(i + 1));
        // The first three are offered as sources; the others answer no password check.
        server->Info = Record(names[i], "WORKGROUP", static_cast<std::uint8_t>(10 + i),
                              i < 3 ? 0 : 0x80000000u);
        tree->Items()->AddChild(host.nas, names[i])->SetData(server->UnitHandle.Data());
        host.units.push_back(std::move(server));
    }

    application.CreateForm(Form_ProfileSetting);
    Form_ProfileSetting->SetHost(&host);
    Form_ProfileSetting->ShowModal();
    vcl::SetModalHost(nullptr);
    vcl::SetDialogHost(nullptr);
    std::remove(dialogs.file.c_str());
    delete Form_ProfileSetting;
    return walker.saved ? 0 : 1;
}
