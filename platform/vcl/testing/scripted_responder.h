// A dialog host and modal host for tests. Each message box, modal form and file or folder dialog
// that the code under test shows must have been announced with its answer, in order; anything
// unexpected fails the test (GoogleTest ADD_FAILURE with the box's caption and text, or the
// form's name and caption) and gets the "closed without a button" answer, so nothing ever blocks.
// Expectations still open when the responder goes fail the test too.
#pragma once

#include "vcl/dialog_host.h"
#include "vcl/form.h"
#include "vcl/modal_host.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vcl::testing {

struct TShownBox {
    TMessageBoxRequest Request;
    int Answer = 0;
};

class ScriptedResponder : public TDialogHost, public TModalHost {
public:
    // Installs itself as dialog host and modal host.
    ScriptedResponder();
    // Restores the hosts it replaced; fails the test for each expectation not met.
    ~ScriptedResponder() override;
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    // The next dialog is a message box whose text contains textPart; it answers answer. during
    // runs while the box is up (timers and announcements fire inside a real box).
    ScriptedResponder& ExpectBox(const std::string& textPart, int answer,
                                 std::function<void()> during = {});
    // The next dialog is the modal form of that Name (empty: any form). drive runs while the
    // form is shown modally (after its OnShow) and must end it, for example by clicking a button
    // or setting ModalResult; a form left open fails the test and ends with mrCancel.
    ScriptedResponder& ExpectModal(const std::string& formName,
                                   std::function<void(TForm& form)> drive);
    // The same, answering by ModalResult.
    ScriptedResponder& ExpectModal(const std::string& formName, TModalResult answer);
    // The next dialog is a file dialog; it answers files (empty: cancelled).
    ScriptedResponder& ExpectFileDialog(std::vector<std::string> files);
    // The next dialog is a folder dialog; it answers folder (nothing: cancelled).
    ScriptedResponder& ExpectFolder(std::optional<std::string> folder);

    // Every box shown, expected or not, in order.
    const std::vector<TShownBox>& Boxes() const { return boxes_; }
    // The Name of every form shown modally, in order.
    const std::vector<std::string>& ModalForms() const { return modalForms_; }
    // Expectations not met yet.
    int Pending() const { return static_cast<int>(script_.size()); }

    int MessageBox(const TMessageBoxRequest& request) override;
    std::vector<std::string> FileDialog(const TFileDialogRequest& request) override;
    std::optional<std::string> BrowseFolder(const std::string& title,
                                            const std::string& startFolder) override;
    int RunModal(TForm& form) override;

private:
    enum class Kind { Box, Modal, File, Folder };
    struct Step {
        Kind kind = Kind::Box;
        std::string match; // text part of a box, Name of a form
        int answer = 0;
        std::function<void(TForm&)> drive;
        std::function<void()> during;
        std::vector<std::string> files;
        std::optional<std::string> folder;
    };
    static const char* KindName(Kind kind);
    // The next step when it is of that kind, else a failure describing what was shown.
    std::optional<Step> Take(Kind kind, const std::string& shown);

    TDialogHost* previousDialogs_;
    TModalHost* previousModal_;
    std::deque<Step> script_;
    std::vector<TShownBox> boxes_;
    std::vector<std::string> modalForms_;
};

} // namespace vcl::testing
