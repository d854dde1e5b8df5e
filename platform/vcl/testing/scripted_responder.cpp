#include "vcl/testing/scripted_responder.h"

#include <gtest/gtest.h>

#include <utility>

namespace vcl::testing {

namespace {

const char* ButtonsName(TBoxButtons b) {
    switch (b) {
    case TBoxButtons::Ok:
        return "OK";
    case TBoxButtons::OkCancel:
        return "OK/Cancel";
    case TBoxButtons::AbortRetryIgnore:
        return "Abort/Retry/Ignore";
    case TBoxButtons::YesNoCancel:
        return "Yes/No/Cancel";
    case TBoxButtons::YesNo:
        return "Yes/No";
    case TBoxButtons::RetryCancel:
        return "Retry/Cancel";
    }
    return "?";
}

} // namespace

ScriptedResponder::ScriptedResponder()
    : previousDialogs_(SetDialogHost(this)), previousModal_(SetModalHost(this)) {}

ScriptedResponder::~ScriptedResponder() {
    SetDialogHost(previousDialogs_);
    SetModalHost(previousModal_);
    for (const Step& step : script_)
        ADD_FAILURE() << "expected " << KindName(step.kind)
                      << (step.match.empty() ? std::string() : " \"" + step.match + "\"")
                      << " was never shown";
}

const char* ScriptedResponder::KindName(Kind kind) {
    switch (kind) {
    case Kind::Box:
        return "message box";
    case Kind::Modal:
        return "modal form";
    case Kind::File:
        return "file dialog";
    case Kind::Folder:
        return "folder dialog";
    }
    return "dialog";
}

ScriptedResponder& ScriptedResponder::ExpectBox(const std::string& textPart, int answer,
                                                std::function<void()> during) {
    Step step;
    step.kind = Kind::Box;
    step.match = textPart;
    step.answer = answer;
    step.during = std::move(during);
    script_.push_back(std::move(step));
    return *this;
}

ScriptedResponder& ScriptedResponder::ExpectModal(const std::string& formName,
                                                  std::function<void(TForm&)> drive) {
    Step step;
    step.kind = Kind::Modal;
    step.match = formName;
    step.drive = std::move(drive);
    script_.push_back(std::move(step));
    return *this;
}

ScriptedResponder& ScriptedResponder::ExpectModal(const std::string& formName,
                                                  TModalResult answer) {
    Step step;
    step.kind = Kind::Modal;
    step.match = formName;
    step.answer = answer;
    script_.push_back(std::move(step));
    return *this;
}

ScriptedResponder& ScriptedResponder::ExpectFileDialog(std::vector<std::string> files) {
    Step step;
    step.kind = Kind::File;
    step.files = std::move(files);
    script_.push_back(std::move(step));
    return *this;
}

ScriptedResponder& ScriptedResponder::ExpectFolder(std::optional<std::string> folder) {
    Step step;
    step.kind = Kind::Folder;
    step.folder = std::move(folder);
    script_.push_back(std::move(step));
    return *this;
}

std::optional<ScriptedResponder::Step> ScriptedResponder::Take(Kind kind,
                                                               const std::string& shown) {
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected " << KindName(kind) << ": " << shown;
        return std::nullopt;
    }
    Step& next = script_.front();
    bool matches = next.kind == kind;
    if (matches && kind == Kind::Box) matches = shown.find(next.match) != std::string::npos;
    if (matches && kind == Kind::Modal && !next.match.empty())
        matches = shown.rfind(next.match + " ", 0) == 0 || shown == next.match;
    if (!matches) {
        ADD_FAILURE() << "unexpected " << KindName(kind) << ": " << shown << " (expected "
                      << KindName(next.kind) << " \"" << next.match << "\")";
        return std::nullopt;
    }
    Step step = std::move(next);
    script_.pop_front();
    return step;
}

int ScriptedResponder::MessageBox(const TMessageBoxRequest& request) {
    const std::string shown = "caption \"" + request.Caption + "\" text \"" + request.Text +
                              "\" buttons " + ButtonsName(request.Buttons);
    auto step = Take(Kind::Box, shown);
    int answer = ClosedBoxAnswer(request.Buttons);
    if (step && step->during) step->during();
    if (step) {
        if (IsBoxAnswer(request.Buttons, step->answer))
            answer = step->answer;
        else
            ADD_FAILURE() << "scripted answer " << step->answer << " is no button of " << shown;
    }
    boxes_.push_back({request, answer});
    return answer;
}

std::vector<std::string> ScriptedResponder::FileDialog(const TFileDialogRequest& request) {
    auto step = Take(Kind::File, "\"" + request.Title + "\"");
    if (!step) return {};
    if (!request.MultiSelect && step->files.size() > 1) step->files.resize(1);
    return step->files;
}

std::optional<std::string> ScriptedResponder::BrowseFolder(const std::string& title,
                                                           const std::string&) {
    auto step = Take(Kind::Folder, "\"" + title + "\"");
    if (!step) return std::nullopt;
    return step->folder;
}

int ScriptedResponder::RunModal(TForm& form) {
    const std::string shown = form.Name + " \"" + form.GetCaption() + "\"";
    modalForms_.push_back(form.Name);
    auto step = Take(Kind::Modal, shown);
    form.BeginModal();
    if (step) {
        if (step->drive)
            step->drive(form);
        else
            form.SetModalResult(step->answer);
    }
    if (!form.ModalDone()) {
        if (step) ADD_FAILURE() << "modal form " << shown << " was left open by its script";
        // Nothing may block: the form ends as if cancelled.
        form.SetModalResult(mrCancel);
    }
    form.EndModal();
    return form.GetModalResult();
}

} // namespace vcl::testing
