// Shows the options dialog and the property sheet (a container entry's page) and saves a picture
// of each:   dialog_shot OUT_DIR   writes OUT_DIR/options.png and OUT_DIR/property.png
#include "container.h"
#include "form_apcfg.h"
#include "form_property.h"
#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/modal_host.h"
#include "vcl/testing/form_shot.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Shows each form, saves its picture and closes it.
class Shooter : public vcl::TModalHost {
public:
    std::string path;
    bool saved = false;
    int RunModal(vcl::TForm& form) override {
        form.BeginModal();
        saved = vcl::testing::SaveFormPicture(form, path);
        form.SetModalResult(vcl::mrCancel);
        form.EndModal();
        return form.GetModalResult();
    }
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
    Shooter shooter;
    vcl::SetModalHost(&shooter);
    bool ok = true;

    _INI_DATA_ settings;
    settings.ValidateLogEnable = 1;
    settings.ValidateLog = outDir + "/validate.log";
    auto* options = vcl::MakeForm<TForm_ApCfg>(nullptr);
    options->SetSettings(&settings);
    shooter.path = outDir + "/options.png";
    options->ShowModal();
    ok = shooter.saved && ok;

    // A container entry imported from a host file with a long source path.
    const std::string host = outDir + "/a folder with a rather long name/for the source path";
    std::filesystem::create_directories(host);
    std::ofstream(host + "/report.txt") << std::string(34078, 'x');
    auto* root = MainContainer.NewContainer();
    MainContainer.ImportHostPath(root, nullptr, host + "/report.txt");
    auto* entry = MainContainer.FindChildByName(root, "report.txt");
    auto* sheet = vcl::MakeForm<TForm_Property>(nullptr);
    if (!entry || !sheet->FillPages(7, entry, root)) return 1;
    shooter.path = outDir + "/property.png";
    sheet->ShowModal();
    ok = shooter.saved && ok;
    delete sheet;
    delete options;
    MainContainer.Clear();
    return ok ? 0 : 1;
}
