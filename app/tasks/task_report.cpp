#include "task_report.h"

#include "elapsed.h"
#include "msgbox.h"
#include "nasserver.h"
#include "scsicdd.h"
#include "task_codes.h"
#include "textcodec.h"

#include <cstring>

std::string RequestText(const TaskRecord& task, const char* field, std::size_t width) {
    const std::string raw = task.RequestText(field, width);
    const int encoding = task.nas ? task.nas->GetTextEncoding() : 0;
    if (encoding == 1 || encoding == 2) return MakeValidUtf8(raw, "?", CutTail::AsBadBytes);
    if (auto text = AnsiToUtf8(raw, "?", CutTail::AsBadBytes)) return *text;
    return MakeValidUtf8(raw, "?", CutTail::AsBadBytes);
}

std::string GetTaskEndpointNames(const TaskRecord& task) {
    if (task.kind != task_kind::Mirror && task.kind != task_kind::Build &&
        task.kind != task_kind::Record && task.kind != task_kind::Upload)
        return {};
    const std::string server = task.nas ? task.nas->GetName() : std::string();
    return FormatText(
        "'%s':%s : [%s]", server.c_str(),
        RequestText(task, task.request.folderName, sizeof task.request.folderName).c_str(),
        RequestText(task, task.request.imageName, sizeof task.request.imageName).c_str());
}

char SourceLetter(const TaskRecord& task) {
    return task.drive && task.drive->driveLetter ? task.drive->driveLetter : '?';
}

std::string SourceLabel(const TaskRecord& task) {
    return task.drive ? task.drive->Disc().volumeLabel : std::string();
}

std::string ElapsedText(const TaskRecord& task, std::uint32_t nowTick) {
    const std::uint32_t start = task.startTick.load();
    return FormatSeconds(start == 0 ? 0 : TickDiff(start, nowTick) / 1000);
}

namespace {

bool FromDisc(const TaskRecord& task) {
    return task.kind == task_kind::Mirror ||
           (task.kind == task_kind::Build && task.containerKind == container_kind::FromDisc);
}

std::string SourceText(const TaskRecord& task) {
    if (FromDisc(task))
        return FormatText("%c: [%s]", SourceLetter(task), SourceLabel(task).c_str());
    if (task.kind == task_kind::Build) return FormatText("[%s]", GetMessageText(809));
    if (task.kind == task_kind::Upload) return FormatText("[%s]", GetMessageText(916));
    if (task.kind == task_kind::Record) return GetTaskEndpointNames(task);
    return {};
}

std::string RecordText(const TaskRecord& task) {
    const unsigned writer = task.writer + 1u;
    const std::string image =
        RequestText(task, task.request.imageName, sizeof task.request.imageName);
    if (task.kind == task_kind::Record) return FormatText("CD Writer%u[%s]", writer, image.c_str());
    return FormatText("CDR%u [%s]", writer,
                      FromDisc(task) ? SourceLabel(task).c_str() : image.c_str());
}

} // namespace

TaskReport ComposeTaskReport(const TaskRecord& task, std::uint32_t nowTick) {
    TaskReport report;
    report.caption = TaskKindText(TaskKindSlot(task));
    const std::string source = FormatText(GetMessageText(315), SourceText(task).c_str());
    const std::string target = FormatText(GetMessageText(316), GetTaskEndpointNames(task).c_str());
    const std::string record = FormatText(GetMessageText(350), RecordText(task).c_str());
    const std::string used = FormatText(GetMessageText(317), ElapsedText(task, nowTick).c_str());
    const unsigned status = task.status.load();
    std::string& t = report.text;
    switch (status) {
    case task_status::Done: {
        // A disc mirrored through a container is a mirror to the user, as its task's name and
        // its failure headline say.
        const int headline = FromDisc(task)                   ? 313
                             : task.kind == task_kind::Build  ? 314
                             : task.kind == task_kind::Upload ? 915
                                                              : 0;
        t = std::string(GetMessageText(headline)) + "\n\n" + source + target + used;
        break;
    }
    case task_status::Failed: {
        std::string headline;
        if (FromDisc(task))
            headline = GetMessageText(318);
        else if (task.kind == task_kind::Build && task.containerKind == container_kind::HostFiles)
            headline = GetMessageText(319);
        else if (task.kind == task_kind::Build)
            headline = "Mirror Complete: Error Container Type!!!";
        else
            // Every failure report names its task: "Upload ISO" with "Fail !!" for an upload,
            // the kind's text with it for any other kind.
            headline =
                std::string(task.kind == task_kind::Upload ? GetMessageText(917)
                                                           : TaskKindText(TaskKindSlot(task))) +
                " " + GetMessageText(273);
        t = headline + "\n" + FormatTaskError(task) + "\n\n" + source + target + used;
        report.icon = task.errorCode.load() == 29 ? report_icon::Warning : report_icon::Failure;
        break;
    }
    case task_status::Stopped:
        t = std::string(GetMessageText(345)) + source + target + used;
        report.icon = report_icon::Warning;
        break;
    case task_status::RecordFailed:
        t = std::string(GetMessageText(349)) + FormatRecordError(task) + "\n\n" + source + target +
            record + used;
        report.icon = report_icon::Failure;
        break;
    case task_status::RecordDone:
        t = std::string(GetMessageText(351)) + source + target + record + used;
        break;
    case task_status::RecordAborted:
        t = std::string(GetMessageText(345)) + source + target + record + used;
        report.icon = report_icon::Warning;
        break;
    case task_status::WriteError:
        t = std::string(GetMessageText(924)) + source + target + record + used;
        report.icon = report_icon::Warning;
        break;
    default:
        // A state without a report of its own (a stop that the refresh forced, say) is no
        // success.
        t = FormatText(GetMessageText(352), status, unsigned{task.errorCode.load()});
        report.icon = report_icon::Warning;
        break;
    }
    // What the task left out or filled in, so that the report never hides it.
    for (const std::string& note : task.notes)
        t += "\n" + note;
    if (!task.notes.empty() && report.icon == report_icon::Success)
        report.icon = report_icon::Warning;
    return report;
}
