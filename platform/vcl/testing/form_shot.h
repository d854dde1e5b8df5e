// For the programs that take pictures of windows under a virtual X server: saving a form as a PNG
// once its pending events have run, and a dialog host that answers every box with OK.
#pragma once

#include "vcl/dialog_host.h"
#include "vcl/form.h"

#include <optional>
#include <string>
#include <vector>

namespace vcl::testing {

// Lets pending events run, saves the form's picture and says on stderr whether it was saved.
bool SaveFormPicture(TForm& form, const std::string& path);
// Lets pending events run and saves the whole screen, with the window manager's frames and
// titles when one runs.
bool SaveScreenPicture(const std::string& path);

// Answers every message box with OK (printing its text on stderr) and every file or folder
// dialog with nothing chosen.
class OkDialogHost : public TDialogHost {
public:
    int MessageBox(const TMessageBoxRequest& request) override;
    std::vector<std::string> FileDialog(const TFileDialogRequest& request) override;
    std::optional<std::string> BrowseFolder(const std::string& caption,
                                            const std::string& start) override;
};

} // namespace vcl::testing
