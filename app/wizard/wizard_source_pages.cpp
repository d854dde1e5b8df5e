// The source and destination pages: the local drive (page 1), the container check (page 2) and
// the destinations with their method and image folder, or the ISO file of job 11 (page 3).
#include "fmwizard.h"

#include "cdrom.h"
#include "container.h"
#include "container_log.h"
#include "container_names.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "nasserver.h"
#include "nassvrnet.h"
#include "scsicdd.h"
#include "textcodec.h"
#include "utils.h"

#include "vcl/screen.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr int kMaxDestinations = 6;
constexpr int kPlainWarningKind = 52; // the argument alone, with OK
constexpr int kMaxTasks = 16;
// The placeholder of the ISO file name in English; in the other languages it is the text of
// message 914, which the edit shows until a file is chosen.
constexpr char kIsoPlaceholder[] = "ISO File";

char LetterOf(vcl::TListItem* row) {
    return static_cast<char>(reinterpret_cast<intptr_t>(row->GetData()));
}

// The folder of a disc's root whose name is the given one in any letter case (a-z); empty when
// the disc has none. Of several (a disc that holds "MPEGAV" and "mpegav"), the first by name.
std::string ChildFolderNamed(const std::string& root, std::string_view name) {
    std::vector<std::string> matches;
    std::error_code error;
    std::filesystem::directory_iterator items(root, error);
    for (; !error && items != std::filesystem::directory_iterator(); items.increment(error)) {
        std::error_code kindError;
        if (!items->is_directory(kindError)) continue;
        if (SameNameIgnoringCase(items->path().filename().string(), name))
            matches.push_back(items->path().string());
    }
    if (matches.empty()) return {};
    return *std::min_element(matches.begin(), matches.end());
}

} // namespace

// ---- Page 1: the source drive

int TFmWizard::LocalCdromPage(int mode) {
    CDH_LOGICAL_CDROM_CLASS* drives = host_ ? host_->Drives() : nullptr;
    if (mode == 0) {
        ListView_LocalCdrom->Items()->BeginUpdate();
        ListView_LocalCdrom->Items()->Clear();
        for (char letter = 'A'; drives && letter <= 'Z'; ++letter) {
            if (!drives->IsCdDrive(letter)) continue;
            vcl::TListItem* row = ListView_LocalCdrom->Items()->Add();
            row->SetData(reinterpret_cast<void*>(static_cast<intptr_t>(letter)));
            row->SetCaption(drives->GetDriveCaption(letter));
            row->SetImageIndex(34);
            const bool ready = drives->IsDiscReady(letter);
            row->SubItems()->Add(ready ? drives->GetDiscFormatName(letter) : "");
            row->SubItems()->Add(ready ? utils::FormatByteCount(0, drives->GetDiscBytes(letter))
                                       : "");
        }
        ListView_LocalCdrom->Items()->EndUpdate();
        ListView_LocalCdrom->AlphaSort();
        for (int i = 0; i < ListView_LocalCdrom->Items()->Count(); ++i) {
            vcl::TListItem* row = ListView_LocalCdrom->Items()->Item(i);
            if (drives->IsDiscReady(LetterOf(row))) {
                row->SetSelected(true);
                row->SetFocused(true);
                break;
            }
        }
        if (Showing() && ListView_LocalCdrom->CanFocus()) ListView_LocalCdrom->SetFocus();
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (ListView_LocalCdrom->Items()->Count() == 0) {
        ShowKindMessage("", 39);
        return 1;
    }
    vcl::TListItem* row = ListView_LocalCdrom->GetSelected();
    if (ListView_LocalCdrom->SelCount() != 1 || row == nullptr || drives == nullptr) {
        ShowKindMessage("", 40);
        return 1;
    }
    const char letter = LetterOf(row);
    if (!drives->IsDiscReady(letter)) {
        ShowKindMessage("", 20);
        return 1;
    }
    TScsiCdd* device = drives->GetDevice(letter);
    const int data = device ? drives->IsDataDisc(letter) : -1;
    if (data < 0) {
        ShowKindMessage("", 40);
        return 1;
    }
    if (data == 0) {
        ErrorBox(JoinStrings5(GetMessageText(467), GetMessageText(468), GetMessageText(831),
                              GetMessageText(471), GetMessageText(470)));
        return 1;
    }
    WzdInfo.SourceDrive = device;
    WzdInfo.SourceLetter = letter;
    return 0;
}

void TFmWizard::bbRefreshCddClick(vcl::TObject*) {
    vcl::THourGlass hourglass;
    if (host_) host_->RefreshCdromView();
    const bool active = vcl::Screen && vcl::Screen->ActiveForm() == this;
    // Rebuild the rows; the selection moves only when the user is looking at the wizard.
    LocalCdromPage(0);
    if (!active) ListView_LocalCdrom->ClearSelection();
}

void TFmWizard::ListView_LocalCdromDblClick(vcl::TObject* Sender) {
    if (ListView_LocalCdrom->SelCount() == 1) bbNextClick(Sender);
}

// ---- Page 2: the container

int TFmWizard::ValidateContainerPage(int mode) {
    MIRROR_CONTAINER* mine = host_ ? host_->MyContainer() : nullptr;
    if (mode == 0) {
        // "My Container" lives as long as the program: shared without an owner.
        container_ =
            mine ? std::shared_ptr<MIRROR_CONTAINER>(mine, [](MIRROR_CONTAINER*) {}) : nullptr;
        const std::string path =
            mine && mine->GetRoot() ? mine->GetSourcePath(mine->GetRoot()) : "";
        Edit_CurrentContainerFile->SetText(path);
        Edit_CurrentContainerFile->SetHint(path);
        const bool free = !(host_ && host_->HasBuildTask());
        Button_LoadContainer->SetEnabled(free);
        Button_ValidateContainer->SetEnabled(free);
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    const auto* root = container_ ? container_->GetRoot() : nullptr;
    if (root == nullptr ||
        container_->GetTotalFolderCount(root) + container_->GetTotalFileCount(root) == 0) {
        ErrorBox(GetMessageText(472));
        return 1;
    }
    return 0;
}

void TFmWizard::Button_LoadContainerClick(vcl::TObject*) {
    if (host_) host_->LoadContainer();
    ValidateContainerPage(0);
}

void TFmWizard::Button_ValidateContainerClick(vcl::TObject*) {
    if (host_) host_->ValidateContainer();
}

// ---- Page 3: destinations

std::string TFmWizard::SourceDiscLabel() const {
    CDH_LOGICAL_CDROM_CLASS* drives = host_ ? host_->Drives() : nullptr;
    if (!drives || WzdInfo.SourceLetter == 0) return {};
    return std::string(
        CutUtf8(drives->GetVolumeLabel(WzdInfo.SourceLetter), kDefaultLabelField - 1));
}

int TFmWizard::DestinationPage(int mode) {
    DestinationListLive = 1;
    const int job = WzdInfo.Job;
    if (mode == 0) {
        CDH_LOGICAL_CDROM_CLASS* drives = host_ ? host_->Drives() : nullptr;
        std::string name, size;
        if (IsMirrorJob(job) && drives && WzdInfo.SourceLetter) {
            name = drives->GetDriveCaption(WzdInfo.SourceLetter);
            size = utils::FormatByteCount(0, drives->GetDiscBytes(WzdInfo.SourceLetter));
        } else if (job == kJobBuildImage && container_ && container_->GetRoot()) {
            name = container_->GetSourcePath(container_->GetRoot());
            size = utils::FormatByteCount(
                0, static_cast<std::int64_t>(container_->GetAllocatedSize(container_->GetRoot())));
        }
        Edit_SourceName->SetText(name);
        Edit_SourceName->SetHint(name);
        Edit_SourceSize->SetText(size);
        Edit_SourceSize->SetHint(size);
        ClearJobList();
        ListView_MethodResult->Items()->Clear();
        FillServerCombo(ComboBox_ServerList);
        if (const auto preselected = ResolveTarget(WzdInfo.TargetServerMac)) {
            const int at =
                ComboBox_ServerList->Items()->IndexOfObject(preselected->UnitHandle.Data());
            if (at >= 0) ComboBox_ServerList->SetItemIndex(at);
        }
        ComboBox_ServerListChange(nullptr);
        RadioButton_AutoSmart->SetChecked(true);
        RadioButton_AutoSmartClick(nullptr);
        const bool iso = job == kJobUploadIso;
        Edit_SourceName->SetVisible(!iso);
        Edit_SourceSize->SetVisible(!iso);
        Edit_ISOSourceName->SetVisible(iso);
        Edit_ISOSourceSize->SetVisible(iso);
        openISOFile->SetVisible(iso);
        Edit_ISOSourceName->SetEnabled(iso);
        Edit_ISOSourceSize->SetEnabled(iso);
        openISOFile->SetEnabled(iso);
        return 0;
    }
    if (mode != 1) {
        ShowKindMessage("", 8);
        return 1;
    }
    if (job == kJobUploadIso) {
        const std::string text = Edit_ISOSourceName->GetText();
        const bool placeholder = text == kIsoPlaceholder || text == GetMessageText(914);
        if (!placeholder && !text.empty()) SetIsoSourceFile(text);
        if (WzdInfo.IsoFilePath.empty()) {
            ErrorBox(GetMessageText(918));
            return 1;
        }
    }
    if (ListView_MethodResult->Items()->Count() == 0 || WzdInfo.Jobs.empty()) {
        ErrorBox(GetMessageText(473));
        return 1;
    }
    return 0;
}

int TFmWizard::FillImageFolderCombo(vcl::TComboBox* combo, CNasServer* server, bool withAutomatic,
                                    bool serverValid) {
    combo->Items()->BeginUpdate();
    combo->Items()->Clear();
    WzdInfo.ImageFolderChoice = 0;
    int listed = 0;
    if (serverValid && server) {
        if (server->ImgFolderCount <= 0) server->RefreshImageFolders();
        for (int i = 0; i < server->ImgFolderCount && i < CNasServer::kImgFolderMax; ++i) {
            combo->Items()->AddObject(server->GetImgFolderName(i),
                                      reinterpret_cast<void*>(static_cast<intptr_t>(i)));
            ++listed;
        }
    }
    if (listed > 0) {
        if (withAutomatic)
            combo->Items()->InsertObject(0, GetMessageText(486), reinterpret_cast<void*>(0));
    } else {
        combo->Items()->AddObject(GetMessageText(236), reinterpret_cast<void*>(255));
    }
    combo->Items()->EndUpdate();
    combo->SetItemIndex(0);
    combo->SetHint(combo->GetText());
    return listed;
}

void TFmWizard::ComboBox_ServerListChange(vcl::TObject*) {
    const auto server = ComboServer(ComboBox_ServerList);
    if (server == nullptr) {
        ComboBox_ServerList->SetHint(ComboBox_ServerList->GetText());
        FillImageFolderCombo(ComboBox_ServerHdList, nullptr, true, false);
        return;
    }
    FillImageFolderCombo(ComboBox_ServerHdList, server.get(), true, true);
}

void TFmWizard::bbRefreshServer2Click(vcl::TObject*) {
    WizardRefreshMainWindow = 1;
    vcl::THourGlass hourglass;
    if (host_ && host_->RefreshCdhServers() < 0) {
        bbCancelClick(nullptr);
        SetModalResult(vcl::mrCancel);
        return;
    }
    ClearJobList();
    ListView_MethodResult->Items()->Clear();
    if (host_) {
        host_->RefreshServerTree();
        host_->RefreshRemoteServers();
    }
    FillServerCombo(ComboBox_ServerList);
    ComboBox_ServerListChange(nullptr);
    RadioButton_AutoSmartClick(nullptr);
}

void TFmWizard::RadioButton_AutoSmartClick(vcl::TObject*) {
    WzdInfo.Method = 0;
    ComboBox_ServerHdList->SetItemIndex(0);
}

void TFmWizard::RadioButton_AutoForceClick(vcl::TObject*) {
    WzdInfo.Method = 1;
    ComboBox_ServerHdList->SetItemIndex(0);
}

void TFmWizard::RadioButton_ManualSelectClick(vcl::TObject*) {
    WzdInfo.Method = 2;
    if (ComboBox_ServerHdList->Items()->Count() > 1) ComboBox_ServerHdList->SetItemIndex(1);
}

void TFmWizard::bbAddClick(vcl::TObject*) {
    const int folderItem = ComboBox_ServerHdList->GetItemIndex();
    if (folderItem < 0) {
        ErrorBox(GetMessageText(438));
        return;
    }
    if (static_cast<int>(WzdInfo.Jobs.size()) >= kMaxDestinations) {
        ErrorBox(GetMessageText(439));
        return;
    }
    if ((host_ ? host_->TaskCount() : 0) + static_cast<int>(WzdInfo.Jobs.size()) >= kMaxTasks) {
        ErrorBox(GetMessageText(440));
        return;
    }
    // The unit as the server lists hold it now: one that went off-line since the combo was
    // filled is no destination.
    const auto server = ComboServer(ComboBox_ServerList);
    if (server == nullptr) {
        ErrorBox(GetMessageText(437));
        return;
    }
    const auto folder = static_cast<int>(
        reinterpret_cast<intptr_t>(ComboBox_ServerHdList->Items()->Objects(folderItem)));
    if (folder == 255) {
        ErrorBox(GetMessageText(438));
        return;
    }
    auto entry = std::make_unique<WizardJobEntry>();
    entry->SourceDrive = WzdInfo.SourceDrive;
    entry->TargetMac = MacOf(*server);
    entry->TargetName = ComboBox_ServerList->GetText();
    // What the row shows, taken now: a refresh during the box below refills the combos.
    const std::string folderText = ComboBox_ServerHdList->GetText();
    const int job = WzdInfo.Job;
    if (IsContainerJob(job)) {
        // Each destination gets the disc as it is in the drive now, read into a container of
        // its own: a disc changed since an earlier Add (or since going Back) is read again.
        {
            const WaitPage wait(*this);
            vcl::THourGlass hourglass;
            const std::string path = host_ ? host_->DiscPath(WzdInfo.SourceLetter) : std::string();
            if (!ReadDiscIntoContainer(path, entry->LeftOut)) return;
        }
        entry->Container = discContainer_;
        if (!entry->LeftOut.empty()) {
            vcl::MessageBox(entry->LeftOut, GetMessageText(15), vcl::MB_OK | vcl::MB_ICONWARNING);
            // Refreshes ran while the box was up: the unit is looked up again.
            if (ResolveTarget(entry->TargetMac) == nullptr) {
                ErrorBox(UnitGoneText(entry->TargetName));
                return;
            }
        }
    } else if (job == kJobBuildImage) {
        entry->Container = container_;
    }
    entry->Method = WzdInfo.Method;
    entry->ImageFolder = static_cast<std::uint8_t>(folder);
    entry->VolumeLabelMode = job == kJobBuildImage ? 1 : 0;
    entry->ShareMode = 1;
    WizardJobEntry* raw = entry.get();
    WzdInfo.Jobs.push_back(std::move(entry));
    vcl::TListItem* row = ListView_MethodResult->Items()->Add();
    row->SetCaption(raw->TargetName);
    row->SetData(raw);
    row->SubItems()->Add(folderText);
}

void TFmWizard::bbDelClick(vcl::TObject*) {
    vcl::TListItems* rows = ListView_MethodResult->Items();
    if (rows->Count() == 0) return;
    if (ListView_MethodResult->SelCount() == 0) {
        vcl::TListItem* focused = ListView_MethodResult->GetItemFocused();
        (focused ? focused : rows->Item(0))->SetSelected(true);
    }
    for (int i = rows->Count() - 1; i >= 0; --i) {
        vcl::TListItem* row = rows->Item(i);
        if (!row->GetSelected()) continue;
        auto* entry = static_cast<WizardJobEntry*>(row->GetData());
        rows->Delete(i);
        for (auto it = WzdInfo.Jobs.begin(); it != WzdInfo.Jobs.end(); ++it)
            if (it->get() == entry) {
                WzdInfo.Jobs.erase(it);
                break;
            }
    }
}

void TFmWizard::openISOFileClick(vcl::TObject*) {
    if (OpenDialog1->Execute() && !OpenDialog1->FileName.empty())
        SetIsoSourceFile(OpenDialog1->FileName);
}

bool TFmWizard::SetIsoSourceFile(const std::string& path) {
    Edit_ISOSourceName->SetText(path);
    Edit_ISOSourceName->SetHint(path);
    // The path is kept as the user gave it: no fixed buffer, no separator rewriting.
    std::error_code error;
    const auto bytes = std::filesystem::file_size(path, error);
    if (error || !std::filesystem::is_regular_file(path, error)) {
        ShowKindMessage(path, 2);
        WzdInfo.IsoFilePath.clear();
        return false;
    }
    const double megabytes = static_cast<double>(bytes) / 1024.0 / 1024.0;
    char text[32];
    if (megabytes < 1024.0)
        std::snprintf(text, sizeof text, "%4.0fMB", megabytes);
    else
        std::snprintf(text, sizeof text, "%2.2fGB", megabytes / 1024.0);
    Edit_ISOSourceSize->SetText(text);
    WzdInfo.IsoFilePath = path;
    WzdInfo.IsoFileSize = static_cast<std::uint32_t>(bytes / 1024);
    return true;
}

bool TFmWizard::ReadDiscIntoContainer(const std::string& path, std::string& leftOut) {
    leftOut.clear();
    std::error_code error;
    if (path.empty()) {
        // No folder holds the disc's files: the drive's disc is not mounted here. Nothing can be
        // tried again from the box, so it is acknowledged with OK.
        ShowKindMessage(std::string(GetMessageText(201)) + "(" + WzdInfo.SourceLetter + ":)\n" +
                            GetMessageText(957),
                        kPlainWarningKind);
        return false;
    }
    if (!std::filesystem::is_directory(path, error)) {
        ShowKindMessage(path, 4);
        return false;
    }
    // A Video CD is read from its MPEGAV folder, so that the image holds the video files at its
    // root; Photo CD and CD-Bridge discs are read from their root.
    std::string folder = path;
    if (WzdInfo.SourceDrive && WzdInfo.SourceDrive->Disc().discKind == 6) {
        folder = ChildFolderNamed(path, "MPEGAV");
        if (folder.empty()) {
            ShowKindMessage(std::string(GetMessageText(201)) + "(" + WzdInfo.SourceLetter +
                                ":)\n" + GetMessageText(958),
                            kPlainWarningKind);
            return false;
        }
    }
    auto container = std::make_shared<MIRROR_CONTAINER>();
    MIRROR_CONTAINER::Record* root = container->NewContainer();
    if (root == nullptr) {
        ShowKindMessage("", 1);
        return false;
    }
    // Every entry of the disc the container cannot take is kept with its reason: the user is
    // told on Add and the task's report says it again.
    CisImportResult result;
    std::filesystem::directory_iterator items(folder, error);
    for (; !error && items != std::filesystem::directory_iterator(); items.increment(error)) {
        CisImportResult one = container->ImportHostPath(root, nullptr, items->path().string());
        result.refused.insert(result.refused.end(), one.refused.begin(), one.refused.end());
    }
    if (error) {
        // The disc's folder could not be listed to its end: nothing is mirrored from a part.
        ShowKindMessage(folder + "\n" + error.message(), 4);
        return false;
    }
    if (container->GetTotalFolderCount(root) + container->GetTotalFileCount(root) == 0) {
        ErrorBox(ImportRefusalBoxText(result, "") + (result.refused.empty() ? "" : "\n\n") +
                 GetMessageText(472));
        return false;
    }
    container->SetBindingMode(2);
    if (!result.refused.empty())
        leftOut = ImportRefusalBoxText(result, WriteImportLog(*container, folder, result));
    discContainer_ = std::move(container);
    container_ = discContainer_;
    return true;
}
