// The server, tool and help commands: settings export and import, the web administration page
// and the shares of a unit, validation, properties, options, the task manager, the about box and
// help.
#include "central.h"
#include "command_selection.h"
#include "container_text.h"
#include "profile_host.h"

#include "about.h"
#include "brandinfo.h"
#include "container.h"
#include "fmmsg.h"
#include "form_apcfg.h"
#include "importform.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "nasserver.h"
#include "taskman.h"
#include "validate_form.h"

#include "shell/shell.h"
#include "unit_call.h"
#include "vcl/application.h"
#include "vcl/screen.h"

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace {

bool ServerNotReady(const CNasServer& server) {
    const std::uint32_t status = server.Info.unitStatus;
    return status == 0 || status == 2 || status == 3 || status == 4;
}

// Status and pending-task checks before a unit's settings are read or written: false (told)
// when the unit is not ready or has tasks pending.
bool ServerFreeForSettings(CNasServer& server) {
    if (ServerNotReady(server)) {
        vcl::Application->MessageBox(GetMessageText(922), GetMessageText(15),
                                     vcl::MB_OK | vcl::MB_ICONWARNING);
        return false;
    }
    return server.GetPendingTasks(true) <= 0;
}

// The unit a server command acts on: the node or row the command is given for (a node only
// when it has a parent), when it is a listed NAS unit. A share: commands hold it across their
// boxes, in which refreshes run.
CNASSvrNet::ServerPtr CommandServer(const TForm_Central& window, const vcl::TObject* sender) {
    const CommandTarget target = ServerCommandSelectionOf(window, sender);
    if (target.Kind != nkNasServer) return nullptr;
    if (target.Node && !target.Node->Parent()) return nullptr;
    return window.UnitOf(target.Data);
}

void ExportSettings(TForm_Central& window, const CNASSvrNet::ServerPtr& server) {
    // Held across the password prompt and the file dialog, during which refreshes run; the unit
    // is looked up again after each.
    if (!server) return;
    const UnitCommand command; // its calls on the unit wait for it kUnitCommandWait in all
    const std::string name = server->GetName();
    const NasUnitHandle unit = server->UnitHandle;
    if (!ServerFreeForSettings(*server) || window.UnitGone(unit, name)) return;
    const bool accepted = server->Authenticate(kAuthAdministrator);
    if (window.UnitGone(unit, name) || !accepted) return;
    vcl::TSaveDialog* dialog = window.SaveDialog;
    dialog->FileName = ProposedProfileFileName(server->GetName(), server->GetLanIpText(0));
    dialog->Filter = GetMessageText(942);
    dialog->InitialDir.clear();
    if (!dialog->Execute() || dialog->FileName.empty()) return;
    if (window.UnitGone(unit, name)) return;
    std::string path = dialog->FileName;
    const auto slash = path.find_last_of('/');
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) path += ".cfg";
    // A file that is there already is replaced only when the user says so, as a saved container.
    std::error_code error;
    if (std::filesystem::exists(path, error) &&
        ShowKindMessage(TruncateWithEllipsis(path, false), 15) == vcl::mrCancel)
        return;
    if (FmMsg)
        FmMsg->ShowMessagePage("Quorvik", GetMessageText(888), TFmMsg::DefaultHeight,
                               TFmMsg::DefaultWidth, TFmMsg::IconWait, false, false, false, true);
    int result = 0;
    {
        vcl::THourGlass hourglass(vcl::crDefault);
        result = server->GetConfig(path.c_str());
    }
    if (FmMsg) FmMsg->Close();
    // A settings file that could not be read is said so, not left as a silent empty result.
    if (result != 0)
        vcl::Application->MessageBox(server->GetLastResultText(), GetMessageText(9),
                                     vcl::MB_OK | vcl::MB_ICONSTOP);
}

void ImportSettings(TForm_Central& window, const CNASSvrNet::ServerPtr& server,
                    TProfileSettingHost* host) {
    if (!Form_ProfileSetting) {
        try {
            Form_ProfileSetting = vcl::MakeForm<TForm_ProfileSetting>(vcl::Application);
        } catch (const std::exception&) {
            return;
        }
        if (!Form_ProfileSetting) return;
    }
    if (!server) return;
    if (!ServerFreeForSettings(*server)) return;
    // The box of ServerFreeForSettings let refreshes run: the unit is looked up again.
    if (window.UnitGone(server->UnitHandle, server->GetName())) return;
    CurrentNasServer.Assign(*server);
    Form_ProfileSetting->SetHost(host);
    Form_ProfileSetting->SetServer(&CurrentNasServer, server->UnitHandle);
    Form_ProfileSetting->ShowModal();
}

} // namespace

void TForm_Central::CannotOpen(const std::string& Address) {
    vcl::Application->MessageBox(GetMessageText(199) + Address, GetMessageText(15),
                                 vcl::MB_OK | vcl::MB_ICONWARNING);
}

void TForm_Central::MenuItem_MenuImportExportSetClick(vcl::TObject* Sender) {
    const CNASSvrNet::ServerPtr server = CommandServer(*this, Sender);
    if (Sender == MenuItem_MenuExport) {
        ExportSettings(*this, server);
        return;
    }
    if (!profileHost_) profileHost_ = MakeProfileHost(*this);
    ImportSettings(*this, server, profileHost_.get());
}

void TForm_Central::MenuItem_RightImportExportClick(vcl::TObject* Sender) {
    const CNASSvrNet::ServerPtr server = CommandServer(*this, Sender);
    if (Sender == MenuItem_RightExport) {
        ExportSettings(*this, server);
        return;
    }
    if (!server) return;
    // A right-clicked row's unit becomes the tree's selection first, so that the window shows
    // the unit whose settings are imported. (A right-clicked node already is the selection while
    // the menu's command runs.)
    const CommandTarget target = ServerCommandSelectionOf(*this, Sender);
    if (target.Item) {
        vcl::TTreeNode* selected = TreeView->GetSelected();
        if (vcl::TTreeNode* unit = selected ? FindServerNode(selected, *server) : nullptr) {
            selected->Expand(false);
            TreeView->SetSelected(unit);
        }
    }
    if (!profileHost_) profileHost_ = MakeProfileHost(*this);
    ImportSettings(*this, server, profileHost_.get());
    CurrentNasServer.Assign(CNasServer());
}

void TForm_Central::MenuItem_MenuBrowseClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    const CNASSvrNet::ServerPtr server = CommandServer(*this, Sender);
    bool opened = true;
    if (server) {
        vcl::THourGlass hourglass(vcl::crDefault);
        opened = server->OpenWebAdmin();
    }
    // Nothing could show the page (no address answers, no browser): the user is told.
    if (!opened) CannotOpen("http://" + server->GetIpText() + "/admin/");
    RightClickItem = nullptr;
}

void TForm_Central::MenuItem_MenuExploreClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    const CNASSvrNet::ServerPtr server = CommandServer(*this, Sender);
    bool opened = true;
    if (server) {
        vcl::THourGlass hourglass(vcl::crDefault);
        opened = server->ExploreShares();
    }
    if (!opened) CannotOpen("smb://" + server->GetIpText() + "/");
    RightClickItem = nullptr;
}

void TForm_Central::MenuItem_MenuValidateClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    if (FromRightClickMenu(*this, Sender)) {
        // The window is busy only for moments (a drive or container refill); a wait that does
        // not end is given up.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!FormReady && std::chrono::steady_clock::now() < deadline)
            vcl::Application->ProcessMessages();
        if (!FormReady) return;
    }
    ValidateMyContainer(true);
}

void TForm_Central::ValidateMyContainer(bool sayWhenEmpty) {
    if (RenameInProgress || !MyContainerNode) return;
    MIRROR_CONTAINER::Record* root = MainContainer.GetRoot();
    // An empty container has nothing to validate: the dialog would open and close at once, so
    // the command says so instead.
    if (!root || MainContainer.GetFirstChild(root) == nullptr) {
        if (sayWhenEmpty)
            vcl::Application->MessageBox(GetMessageText(472), GetMessageText(9),
                                         vcl::MB_OK | vcl::MB_ICONSTOP);
        if (sayWhenEmpty || !root) return;
    }
    StartValidate(MainContainer, IniData, [this] {
        if (TreeView->GetSelected()) TreeViewChange(TreeView, TreeView->GetSelected());
    });
}

void TForm_Central::MenuItem_MenuPropertyClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    CommandTarget target;
    if (FromRightClickMenu(*this, Sender)) {
        target = CommandSelectionOf(*this, Sender);
    } else if (TreeView->Focused()) {
        vcl::TTreeNode* node = TreeView->GetSelected();
        if (node && node->Parent()) target = CommandSelectionOf(*this, Sender);
    } else {
        target = CommandSelectionOf(*this, Sender);
    }
    if (!target.Node && !target.Item) return;
    if (!Kinds().KindHasProperty(target.Kind)) return;
    ShowPropertyDialog(target.Kind, target.Data, target.ParentData);
}

void TForm_Central::MenuItem_MenuShutdownClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    ShutdownCdhServer(CommandSelectionOf(*this, Sender), false);
}

void TForm_Central::MenuItem_MenuResetClick(vcl::TObject* Sender) {
    if (RenameInProgress) return;
    ShutdownCdhServer(CommandSelectionOf(*this, Sender), true);
}

void TForm_Central::MenuItem_MenuApCfgClick(vcl::TObject*) {
    if (RenameInProgress) return;
    if (!Form_ApCfg) {
        try {
            vcl::MakeForm<TForm_ApCfg>(vcl::Application);
        } catch (const std::exception&) {
            return;
        }
        if (!Form_ApCfg) return;
    }
    Form_ApCfg->SetSettings(&IniData);
    Form_ApCfg->SetCentreOver(this);
    Form_ApCfg->SaveDialog = SaveDialog;
    Form_ApCfg->ShowModal();
}

void TForm_Central::MenuItem_MenuTaskManagerClick(vcl::TObject*) {
    if (RenameInProgress) return;
    if (!FmTaskMan) {
        try {
            vcl::MakeForm<TFmTaskMan>(vcl::Application);
        } catch (const std::exception&) {
            return;
        }
    }
    if (!FmTaskMan) return;
    FmTaskMan->Show();
    FmTaskMan->BringToFront();
}

void TForm_Central::MenuItem_MenuAboutClick(vcl::TObject*) {
    if (RenameInProgress) return;
    if (!Form_About) {
        try {
            Form_About = vcl::MakeForm<TForm_About>(vcl::Application);
        } catch (const std::exception&) {
            Form_About = nullptr;
        }
    }
    if (!Form_About) {
        ShowKindMessage(GetMessageText(57), 1);
        return;
    }
    Form_About->Interactive = true;
    Form_About->ShowModal();
}

void TForm_Central::MenuItem_MenuVeskarWebClick(vcl::TObject*) {
    if (RenameInProgress || !Form_About) return;
    platform::ShellOpen(BrandWebUrl(BrandInfo.WEB));
}

void TForm_Central::MenuItem_MenuVeskarEmailClick(vcl::TObject*) {
    if (RenameInProgress || !Form_About) return;
    platform::ShellOpen(BrandMailUrl(BrandInfo.EMAIL));
}

void TForm_Central::MenuItem_MenuHelpContentClick(vcl::TObject*) {
    if (RenameInProgress) return;
    const std::string file = vcl::Application ? vcl::Application->HelpFile : std::string();
    const std::optional<std::string> path = platform::FindHelpFile(file);
    if (!path) {
        // The help file is not there: the user is told where it belongs.
        const std::vector<std::string> places = platform::HelpFilePlaces(file);
        vcl::Application->MessageBox((places.empty() ? file : places.front()) + GetMessageText(238),
                                     GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
        return;
    }
    if (!platform::ShellOpenHelp(file)) CannotOpen(*path);
}

void TForm_Central::MenuItem_MenuHelpIndexClick(vcl::TObject* Sender) {
    MenuItem_MenuHelpContentClick(Sender);
}

void TForm_Central::MenuItem_MenuOnlineHelpClick(vcl::TObject* Sender) {
    MenuItem_MenuHelpContentClick(Sender);
}
