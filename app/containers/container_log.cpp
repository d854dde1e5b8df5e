#include "container_log.h"

#include "clock/clock.h"
#include "message_format.h"
#include "msgbox.h"
#include "textcodec.h"
#include "validate_format.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool EndsWithCis(const std::string& path) {
    if (path.size() < 4) return false;
    const std::string tail = path.substr(path.size() - 4);
    return tail[0] == '.' && (tail[1] | 0x20) == 'c' && (tail[2] | 0x20) == 'i' &&
           (tail[3] | 0x20) == 's';
}

int ReasonMessage(CisImportReason reason) {
    switch (reason) {
    case CisImportReason::NameEdge:
        return 929;
    case CisImportReason::NameCharacter:
        return 930;
    case CisImportReason::NameTooLong:
        return 75; // "The name is over 221 characters.It is illegal in ISO format."
    case CisImportReason::NameTooLongForImage: // ImportReasonText names the entry with 936
    case CisImportReason::FolderVersion:
        return 72; // "It is illegal in ISO format.The file will be ignored."
    case CisImportReason::PathTooLong:
        return 71; // "Path in 'My Container' will over 255 characters."
    case CisImportReason::TooDeep:
        return 931;
    case CisImportReason::NameTaken:
        return 932;
    case CisImportReason::NotFound:
        return 933;
    case CisImportReason::NotRegular:
        return 934;
    case CisImportReason::Unreadable:
        return 935;
    case CisImportReason::SourceTooLong:
        return 937;
    case CisImportReason::NoMemory:
        return 320; // "System memory not enough."
    }
    return 930;
}

// A host path as the log and the box show it: bytes that are not UTF-8 and control characters
// (a line break in a name among them) become "?", so that every entry keeps its one line.
std::string ShownPath(std::string_view path) {
    std::string shown = MakeValidUtf8(path, "?", CutTail::AsBadBytes);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return shown;
}

// "N item(s) could not be added to the container:"
std::string CountLine(const CisImportResult& result) {
    return FormatMessageText(GetMessageText(925), {std::to_string(result.RefusedCount())});
}

} // namespace

std::string ContainerLogPath(const std::string& containerPath) {
    if (EndsWithCis(containerPath))
        return containerPath.substr(0, containerPath.size() - 4) + ".log";
    return containerPath + ".log";
}

std::string ImportReasonText(CisImportReason reason, std::string_view path) {
    if (reason == CisImportReason::NameTooLongForImage && !path.empty()) {
        const auto slash = path.rfind('/');
        const std::string_view name =
            slash == std::string_view::npos ? path : path.substr(slash + 1);
        // "The name of %s is too long for the image."
        return FormatMessageText(GetMessageText(936), {ShownPath(name)});
    }
    return GetMessageText(ReasonMessage(reason));
}

std::string WriteImportLog(const MIRROR_CONTAINER& container, std::string_view importedPath,
                           const CisImportResult& result) {
    const _CDH_CIS_RECORD_* root = container.GetRoot();
    if (result.refused.empty() || root == nullptr) return {};
    const std::string path = ContainerLogPath(root->source);
    std::unique_ptr<std::FILE, FileCloser> log(std::fopen(path.c_str(), "a"));
    if (!log) return {};
    std::string text = "\n{" + ValidateTimeText(platform::Now()) + "} " +
                       FormatMessageText(GetMessageText(928), {ShownPath(importedPath)}) + "\n" +
                       CountLine(result) + "\n";
    for (const CisRefusedEntry& entry : result.refused)
        text += ShownPath(entry.path) + "\t" + ImportReasonText(entry.reason, entry.path) + "\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), log.get()) == text.size();
    if (std::fclose(log.release()) != 0 || !written) return {};
    return path;
}

std::string ImportRefusalBoxText(const CisImportResult& result, const std::string& logPath) {
    if (result.refused.empty()) return {};
    std::string text = CountLine(result) + "\n";
    const std::size_t shown = std::min(result.refused.size(), kImportBoxNames);
    for (std::size_t i = 0; i < shown; ++i)
        text += "\n" + ShownPath(result.refused[i].path) + " - " +
                ImportReasonText(result.refused[i].reason, result.refused[i].path);
    if (result.refused.size() > shown)
        text += "\n" + FormatMessageText(GetMessageText(926),
                                         {std::to_string(result.refused.size() - shown)});
    if (!logPath.empty()) text += "\n\n" + FormatMessageText(GetMessageText(927), {logPath});
    return text;
}
