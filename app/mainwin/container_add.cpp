// Adding host files and folders to "My Container": one host path into one container folder, a
// folder with all it holds, with the checks that keep the container buildable as an ISO 9660
// image and the questions asked when an entry of the same name is there. Every path that is not
// added is shown with its reason, and the user chooses whether the run goes on.
#include "central.h"

#include "container.h"
#include "container_log.h"
#include "container_names.h"
#include "container_text.h"
#include "display_text.h"
#include "fmmsg.h"
#include "kinddialog.h"
#include "msgbox.h"
#include "utils.h"

#include "vcl/application.h"

#include <dirent.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

using Record = _CDH_CIS_RECORD_;

namespace {

// Characters of the container path of the root folder ("My Container").
constexpr std::size_t kRootPathCharacters = 12;
constexpr std::size_t kMaxNameCharacters = 221;
constexpr std::size_t kMaxPathCharacters = 255;

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string UpperExtension(const std::string& path) {
    const std::string name = BaseName(path);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : UpperCaseName(name.substr(dot));
}

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The names in a host folder, sorted by their bytes; false when it cannot be listed.
bool ListHostFolder(const std::string& path, std::vector<std::string>& names) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(path.c_str()));
    if (!dir) return false;
    while (const dirent* e = ::readdir(dir.get()))
        names.emplace_back(e->d_name);
    std::sort(names.begin(), names.end());
    return true;
}

// "Continue next file ?" after a refusal: Yes goes on with the next path, No ends the run.
bool AskGoOn(const std::string& text) {
    return vcl::Application->MessageBox(text, GetMessageText(9),
                                        vcl::MB_YESNO | vcl::MB_ICONSTOP) == vcl::IDYES;
}

} // namespace

bool TForm_Central::IsValidFileSource(const std::string& Path, CisFileInfo& Info) {
    return !DescribeFileSource(Path, Info).has_value();
}

void TForm_Central::AddFilesToContainer(vcl::TTreeNode* FolderNode, const std::string& Path) {
    vcl::Application->ProcessMessages();
    if (FmMsg && FmMsg->GetVisible() && FmMsg->IsCancelled()) DropFlags |= kDropAbort;
    if (DropFlags & kDropAbort) return;
    Record* folder = FolderNode ? static_cast<Record*>(FolderNode->GetData()) : nullptr;
    if (!folder || !MainContainer.IsFolder(folder)) return;
    const std::string name = BaseName(Path);
    if (name == "." || name == "..") return;
    const std::string shown = TruncateWithEllipsis(DisplayText(Path), false);
    auto refuse = [&](const std::string& text) {
        if (!AskGoOn(text)) DropFlags |= kDropAbort;
    };

    CisFileInfo info;
    if (const auto reason = DescribeFileSource(Path, info)) {
        refuse(shown + GetMessageText(67) + "\n" + ImportReasonText(*reason) + GetMessageText(68));
        return;
    }
    if ((info.size >> 32) > 0) {
        refuse(shown + GetMessageText(919) + GetMessageText(68));
        return;
    }
    const std::size_t nameLength = Utf8Length(name);
    if (nameLength > kMaxNameCharacters) {
        refuse(shown + GetMessageText(69) + GetMessageText(70));
        return;
    }
    const std::size_t folderPath =
        kRootPathCharacters +
        (folder == MainContainer.GetRoot() ? 0 : Utf8Length(MainContainer.GetEntryPath(folder)));
    if (folderPath + nameLength + 2 > kMaxPathCharacters) {
        refuse(std::string(GetMessageText(71)) + GetMessageText(72) + GetMessageText(73));
        return;
    }

    vcl::TTreeNode* entryNode = nullptr;
    Record* entry = MainContainer.FindChildByName(folder, name);
    if (!entry) {
        entry = MainContainer.AddEntry(folder, info);
        if (!entry) {
            // The container refuses what its file could not hold (a folder too deep, a source
            // too long): said, never left out in silence.
            refuse(shown + GetMessageText(67) + GetMessageText(68));
            return;
        }
        MarkContainerModified();
        if (MainContainer.IsFolder(entry)) {
            entryNode = AddContainerFolderNode(FolderNode, entry);
            if (!entryNode) return;
        }
    } else {
        if (!AskReplaceEntry(entry, info)) return;
        if (!MainContainer.UpdateEntryFromInfo(entry, info)) return;
        MarkContainerModified();
        if (MainContainer.IsFolder(entry)) {
            entryNode = FindChildNodeByData(FolderNode, entry);
            if (entryNode)
                SetContainerNodeText(entryNode);
            else if (!(entryNode = AddContainerFolderNode(FolderNode, entry)))
                return;
        }
        if (FolderNode == TreeView->GetSelected()) {
            vcl::TListItem* row = nullptr;
            for (int i = 0; i < ListView->Items()->Count() && !row; ++i)
                if (ListView->Items()->Item(i)->GetData() == entry)
                    row = ListView->Items()->Item(i);
            if (row)
                UpdateContainerListItem(row);
            else
                AddContainerListItem(entry);
        }
    }
    if ((info.attributes & kCisAttrFolder) == 0 || !entryNode) return;
    std::vector<std::string> names;
    if (!ListHostFolder(Path, names)) {
        refuse(shown + GetMessageText(67) + "\n" + ImportReasonText(CisImportReason::Unreadable) +
               GetMessageText(68));
        return;
    }
    for (const std::string& child : names) {
        if (DropFlags & kDropAbort) return;
        AddFilesToContainer(entryNode, Path + "/" + child);
    }
}

bool TForm_Central::AskReplaceEntry(Record* Existing, const CisFileInfo& Info) {
    if (DropFlags & (kDropAbort | kDropReplaceNone)) return false;
    const bool existingFolder = MainContainer.IsFolder(Existing);
    const bool newFolder = (Info.attributes & kCisAttrFolder) != 0;
    if (existingFolder == newFolder) {
        if (DropFlags & kDropReplaceAll) return true;
        auto describe = [&](const std::string& source, CisFileTime time, std::uint64_t size,
                            bool folder) {
            return std::string(GetMessageText(82)) + TruncateWithEllipsis(source, false) +
                   GetMessageText(80) + FileTimeToDateTime(time, kContainerTimeFormat) +
                   GetMessageText(81) +
                   (folder ? std::string()
                           : utils::FormatScaledSize(0, static_cast<std::int64_t>(size)));
        };
        const std::string text =
            std::string(GetMessageText(existingFolder ? 89 : 90)) +
            TruncateWithEllipsis(DisplayText(MainContainer.GetDisplayName(Existing)), true) +
            GetMessageText(84) +
            describe(DisplayText(MainContainer.GetSourcePath(Existing)),
                     MainContainer.GetTime(Existing), MainContainer.GetTotalSize(Existing),
                     existingFolder) +
            GetMessageText(85) +
            describe(DisplayText(Info.fullPath), Info.time, Info.size, newFolder);
        switch (ShowKindMessage(text, 12)) {
        case 10:
            DropFlags |= kDropReplaceAll;
            return true;
        case vcl::mrYes:
            return true;
        case 9:
            DropFlags |= kDropReplaceNone;
            return false;
        case vcl::mrCancel:
            DropFlags |= kDropAbort;
            return false;
        default:
            return false;
        }
    }
    if (DropFlags & kDropSkipAllConflicts) return false;
    const std::string text =
        std::string(GetMessageText(77)) + GetMessageText(existingFolder ? 89 : 90) +
        TruncateWithEllipsis(DisplayText(MainContainer.GetDisplayName(Existing)), true) +
        GetMessageText(78) + GetMessageText(newFolder ? 89 : 90) +
        TruncateWithEllipsis(DisplayText(Info.displayName), true) + GetMessageText(79);
    switch (ShowKindMessage(text, 13)) {
    case 10:
        DropFlags |= kDropSkipAllConflicts;
        break;
    case vcl::mrCancel:
        DropFlags |= kDropAbort;
        break;
    default:
        break;
    }
    return false;
}

bool TForm_Central::AskReplaceEntryByRecord(Record* Existing, const Record* Rec) {
    CisFileInfo info;
    info.displayName = MainContainer.GetDisplayName(Rec);
    info.fullPath = MainContainer.GetSourcePath(Rec);
    info.attributes = MainContainer.GetAttributes(Rec);
    info.size = MainContainer.GetTotalSize(Rec);
    info.time = MainContainer.GetTime(Rec);
    return AskReplaceEntry(Existing, info);
}

int TForm_Central::GetFileIconIndex(const Record* Rec) {
    if (!Rec) return nkContainerFileNoIcon;
    if (MainContainer.IsFolder(Rec)) return nkContainerFolder;
    const std::string extension = UpperExtension(MainContainer.GetSourcePath(Rec));
    static const struct {
        const char* extension;
        int kind;
    } kinds[] = {{".EXE", 8},  {".COM", 8},  {".BAT", 8},   {".TXT", 9},  {".DOC", 9},
                 {".WAV", 10}, {".MOV", 10}, {".AVI", 10},  {".MID", 10}, {".BMP", 11},
                 {".GIF", 11}, {".JPG", 11}, {".JPEG", 11}, {".PCX", 11}, {".TGA", 11},
                 {".ZIP", 12}, {".RAR", 12}, {".ARJ", 12},  {".TAR", 12}, {".ACE", 12},
                 {".CIS", 13}};
    for (const auto& k : kinds)
        if (extension == k.extension) return k.kind;
    // The desktop's own icons for other kinds of files are not asked for: they show as plain
    // files.
    return nkContainerFileNoIcon;
}
