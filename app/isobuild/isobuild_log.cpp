// The build log: written beside the container file when a build's totals disagree with the
// container's.
#include "isobuild.h"

#include "container_log.h"
#include "message_format.h"
#include "msgbox.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string Decimal(std::uint64_t value) {
    return std::to_string(value);
}

} // namespace

void WriteContainerLog(TaskRecord& task) {
    if (task.container == nullptr || task.container->GetRoot() == nullptr) return;
    const _CDH_CIS_RECORD_& root = *task.container->GetRoot();
    const std::string path = ContainerLogPath(root.source);
    task.pathBuffer = path;
    // Appended: the log also holds what imports into the container left out.
    std::unique_ptr<std::FILE, FileCloser> log(std::fopen(path.c_str(), "a"));
    if (!log) return;
    const bool empty = std::fseek(log.get(), 0, SEEK_END) == 0 && std::ftell(log.get()) == 0;
    const std::string text =
        std::string(empty ? "" : "\n") + FormatMessageText(GetMessageText(372), {root.source}) +
        GetMessageText(373) +
        FormatMessageText(GetMessageText(374),
                          {Decimal(task.folderCount), Decimal(root.totalFolders)}) +
        FormatMessageText(GetMessageText(375),
                          {Decimal(task.fileCount), Decimal(root.totalFiles)}) +
        FormatMessageText(GetMessageText(376), {GroupedNumber(task.bytesBeforeData)}) +
        FormatMessageText(GetMessageText(377), {GroupedNumber(task.fileDataBytes)}) +
        FormatMessageText(GetMessageText(378), {GroupedNumber(task.imageBytes)}) +
        FormatMessageText(GetMessageText(379),
                          {GroupedNumber(task.sentBytes), GroupedNumber(root.size)}) +
        FormatMessageText(GetMessageText(380),
                          {GroupedNumber(task.allocatedBytes), GroupedNumber(root.allocated)});
    std::fwrite(text.data(), 1, text.size(), log.get());
}
