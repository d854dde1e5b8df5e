// Program entry of brimlet: chooses the message language, refuses to run without a working
// TCP/IP stack, lets a second start bring the running instance forward instead, shows the about
// box as a splash screen, creates the forms in their fixed order and runs the message loop.
#include "about.h"
#include "aspi32.h"
#include "central.h"
#include "fmmsg.h"
#include "form1.h"
#include "importform.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "password.h"
#include "remotenas.h"
#include "rmtnasip.h"
#include "simulated_discs.h"
#include "startup_notes.h"
#include "taskman.h"
#include "tcpipcheck.h"
#include "trace.h"
#include "utils.h"

#include "paths/paths.h"
#include "registry/key_store.h"
#include "vcl/application.h"
#include "vcl/single_instance.h"

#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <utility>

int main(int argc, char** argv) {
    TLocalInit trace;

    // Simulated discs named in the environment join this machine's drives before the drive scan
    // (demonstrations on machines without optical drives); made before the application so that
    // they outlive its forms.
    std::optional<platform::scsi::SimulatedDiscs> simulatedDiscs;
    std::optional<TAspi32> simulatedGateway;
    std::optional<ScopedAspi32> simulatedGatewayScope;
    if (const char* list = std::getenv(platform::scsi::kSimulatedDiscsVariable); list && *list) {
        simulatedDiscs.emplace(list, std::cerr);
        simulatedGateway.emplace(&simulatedDiscs->registry());
        simulatedGatewayScope.emplace(*simulatedGateway);
    }

    vcl::TApplication application(argc, argv);

    SelectLanguage();
    LabelBoxButtons();
    utils::UseUserLocale();

    if (!CheckTcpIp(SystemHostResolver())) return 0;

    // One instance per user and program folder: a later start asks this one to show itself.
    vcl::TSingleInstance instance(vcl::TSingleInstance::NameFor(platform::ProgramFolder()));
    if (!instance.Claim()) return 0;
    instance.OnShowRequest = [] {
        if (!Form_Central) return;
        Form_Central->Show();
        Form_Central->BringToFront();
    };

    // The splash: the about form in splash mode until the main window first paints. Without it
    // the program goes on (the main window then says so).
    try {
        Form_About = vcl::MakeForm<TForm_About>(&application);
        Form_About->Interactive = false;
        Form_About->Show();
        Form_About->Repaint();
    } catch (const std::exception&) {
        delete Form_About;
        Form_About = nullptr;
    }

    try {
        application.HelpFile = "";
        application.SetTitle(kProductWord);

        // The first form made is the main form. The main window makes the remote NAS list
        // itself when it needs it during its creation.
        application.CreateForm(Form_Central);
        application.CreateForm(FmMsg);
        application.CreateForm(FmTaskMan);
        // The main window's close question counts the tasks and stops them.
        Form_Central->TaskCount = [] { return FmTaskMan ? FmTaskMan->GetTaskCount() : 0; };
        Form_Central->StopAllTasks = [] {
            if (FmTaskMan) FmTaskMan->StopAllTasks();
        };
        application.CreateForm(Form_Password);
        application.CreateForm(Form1);
        if (!Form_RemoteNAS) application.CreateForm(Form_RemoteNAS);
        application.CreateForm(Form_AddNASIP);
        application.CreateForm(Form_ProfileSetting);
        // Files refused while starting are named once the main window is up.
        if (auto problem = platform::registry::KeyStore::Program().Problem())
            AddStartupNote(std::move(*problem));
        application.Post(ShowStartupNotes);
        application.Run();
    } catch (const std::exception& e) {
        application.ShowException(e);
    }
    return 0;
}
