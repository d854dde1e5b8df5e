#include "task_codes.h"

#include "msgbox.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <mutex>

std::string FormatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(out.data(), out.size(), format, args);
        out.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    return out;
}

std::uint8_t MapApiResultToTaskError(int result) {
    switch (result) {
    case 0:
        return 0;
    case -3:
        return 20;
    case -1:
        return 24;
    case 1:
        return 25;
    case 2:
        return 36;
    case 3:
    case 4:
    case 8:
        return 21;
    case 6:
        return 6;
    case 10:
        return 29;
    case 11:
        return 33;
    case 12:
        return 37;
    case 13:
        return 38;
    case 14:
        return 34;
    case 15:
        return 50;
    case 17:
        return 51;
    default:
        return task_error::UnknownResult;
    }
}

namespace {

std::string NetworkOrUnknown(unsigned code) {
    if (code >= 9 && code <= 24) return FormatText(GetMessageText(343), code);
    return FormatText(GetMessageText(344), code);
}

} // namespace

std::string FormatTaskError(const TaskRecord& task) {
    const unsigned code = task.errorCode.load();
    const char* file = task.pathBuffer.c_str();
    switch (code) {
    case 2:
        return GetMessageText(320);
    case 4:
        return GetMessageText(321);
    case 6:
    case 26:
        return GetMessageText(332);
    case 25:
        return GetMessageText(331);
    case 27:
        return GetMessageText(333);
    case 28:
        return GetMessageText(334);
    case 29:
        return GetMessageText(335);
    case 31:
        return GetMessageText(336);
    case 32:
        return GetMessageText(337);
    case 33:
        return GetMessageText(338);
    case 34:
        return GetMessageText(339);
    case 35:
        return GetMessageText(340);
    case 37:
        return GetMessageText(875);
    case 38:
        return GetMessageText(874);
    case 39:
        return GetMessageText(322);
    case 40:
        return GetMessageText(323);
    case 41:
        return FormatText(GetMessageText(324), task.failedLba, task.failedRun, task.failedPasses);
    case 42:
        return GetMessageText(325);
    case 43:
    case 44:
    case 45:
    case 46:
    case 47:
        return FormatText(GetMessageText(326 + (code - 43)), file);
    case task_error::NameTooLong:
        return FormatText(GetMessageText(kNameTooLongForImageMessage), file);
    case task_error::NameNotKept:
        return FormatText(GetMessageText(kNameNotKeptMessage), file);
    case 240:
        return FormatText(GetMessageText(341), file);
    case 241:
        return FormatText(GetMessageText(342), file);
    default:
        return NetworkOrUnknown(code);
    }
}

std::string FormatRecordError(const TaskRecord& task) {
    const unsigned code = task.errorCode.load();
    switch (code) {
    case 25:
        return GetMessageText(331);
    case 26:
        return GetMessageText(347);
    case 27:
        return GetMessageText(348);
    case 36:
    case 40:
        return GetMessageText(346);
    case 50:
        return GetMessageText(284);
    case 51:
        return GetMessageText(889);
    default:
        return NetworkOrUnknown(code);
    }
}

std::string GetTaskStatusText(std::uint8_t code) {
    if (code == 0) return {};
    if (code <= 3) return GetMessageText(269 + code);
    if (code == 4) return "??m:??s";
    if (code <= 17) return GetMessageText(268 + code);
    if (code == 18) return "Record abort !!";
    return {};
}

namespace {

std::mutex kindTextsMutex;
std::array<std::string, 8> kindTexts;

void FillKindTexts() {
    static constexpr std::array<int, 8> ids{265, 266, 267, 268, 829, 269, 256, 95};
    for (std::size_t i = 0; i < ids.size(); ++i)
        kindTexts[i] = GetMessageText(ids[i]);
}

} // namespace

void LoadTaskKindTexts() {
    std::lock_guard lock(kindTextsMutex);
    FillKindTexts();
}

std::string TaskKindText(int slot) {
    std::lock_guard lock(kindTextsMutex);
    if (slot < 0 || slot >= static_cast<int>(kindTexts.size())) return {};
    if (kindTexts[0].empty()) FillKindTexts();
    return kindTexts[static_cast<std::size_t>(slot)];
}

int TaskKindSlot(const TaskRecord& task) {
    if (task.kind == task_kind::Build && task.containerKind == container_kind::FromDisc) return 1;
    return task.kind < 8 ? task.kind : 0;
}
