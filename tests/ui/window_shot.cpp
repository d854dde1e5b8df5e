// Shows one of the start-up windows and saves a picture of it, for a person to look at:
//   window_shot kind KIND ARGUMENT OUT.png   the kind dialog (through a modal host that grabs it)
//   window_shot delete NAME OUT.png          the main window's question before deleting NAME
//   window_shot about OUT.png                the about box
//   window_shot open|save OUT.png            the file dialog of opening or saving a profile,
//                                            as a picture of the whole screen
// The message language follows the environment (LANG=zh_TW.UTF-8 ...).
#include "about.h"
#include "form1.h"
#include "kinddialog.h"
#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/dialog_host.h"
#include "vcl/modal_host.h"
#include "vcl/testing/form_shot.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Grabs the modal form as soon as it shows, then closes it.
class GrabbingModalHost : public vcl::TModalHost {
public:
    explicit GrabbingModalHost(const char* path) : path_(path) {}
    int RunModal(vcl::TForm& form) override {
        form.BeginModal();
        saved = vcl::testing::SaveFormPicture(form, path_);
        form.SetModalResult(vcl::mrCancel);
        form.EndModal();
        return form.GetModalResult();
    }
    bool saved = false;

private:
    const char* path_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s kind KIND ARGUMENT OUT.png | delete NAME OUT.png | about OUT.png\n",
                     argv[0]);
        return 2;
    }
    vcl::TApplication application(argc, argv);
    SelectLanguage();
    const std::string what = argv[1];
    if (what == "kind" && argc == 5) {
        application.CreateForm(Form1);
        GrabbingModalHost host(argv[4]);
        vcl::SetModalHost(&host);
        ShowKindMessage(argv[3], std::atoi(argv[2]));
        vcl::SetModalHost(nullptr);
        return host.saved ? 0 : 1;
    }
    if (what == "delete" && argc == 4) {
        application.CreateForm(Form1);
        GrabbingModalHost host(argv[3]);
        vcl::SetModalHost(&host);
        ShowKindMessage(std::string(GetMessageText(149)) + argv[2] + "\" ?", 51);
        vcl::SetModalHost(nullptr);
        return host.saved ? 0 : 1;
    }
    if (what == "about") {
        Form_About = vcl::MakeForm<TForm_About>(&application);
        Form_About->Interactive = true;
        Form_About->Show();
        return vcl::testing::SaveFormPicture(*Form_About, argv[2]) ? 0 : 1;
    }
    if ((what == "open" || what == "save") && argc == 3) {
        LabelBoxButtons(); // the toolkit's dialogs in the program's language
        bool saved = false;
        QTimer::singleShot(500, [&] {
            saved = vcl::testing::SaveScreenPicture(argv[2]);
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        vcl::TFileDialogRequest request;
        request.Save = what == "save";
        request.Filter = GetMessageText(942);
        request.InitialDir = "/usr/share";
        vcl::DialogHost().FileDialog(request);
        return saved ? 0 : 1;
    }
    std::fprintf(stderr, "unknown window %s\n", what.c_str());
    return 2;
}
