#include "startup_notes.h"

#include "msgbox.h"
#include "vcl/dialog_host.h"

#include <mutex>
#include <utility>

namespace {

std::mutex& NotesLock() {
    static std::mutex lock;
    return lock;
}

std::vector<std::string>& Notes() {
    static std::vector<std::string> notes;
    return notes;
}

} // namespace

void AddStartupNote(std::string text) {
    std::lock_guard guard(NotesLock());
    Notes().push_back(std::move(text));
}

std::vector<std::string> TakeStartupNotes() {
    std::lock_guard guard(NotesLock());
    return std::exchange(Notes(), {});
}

void ShowStartupNotes() {
    const std::vector<std::string> notes = TakeStartupNotes();
    if (notes.empty()) return;
    vcl::TMessageBoxRequest request;
    request.Caption = GetMessageText(15); // "Warning"
    request.Icon = vcl::TBoxIcon::Warning;
    request.Buttons = vcl::TBoxButtons::Ok;
    for (const std::string& note : notes)
        request.Text += (request.Text.empty() ? "" : "\n\n") + note;
    vcl::DialogHost().MessageBox(request);
}
