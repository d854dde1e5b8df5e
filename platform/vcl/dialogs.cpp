#include "vcl/dialogs.h"

#include "vcl/application.h"
#include "vcl/modal_host.h"

namespace vcl {

void ShowMessage(const std::string& text) {
    const std::string caption = Application ? Application->GetTitle() : std::string();
    TModalScope modal;
    DialogHost().MessageBox(MessageBoxRequest(text, caption, MB_OK));
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    TModalScope modal;
    return DialogHost().MessageBox(MessageBoxRequest(text, caption, flags));
}

bool SelectDirectory(const std::string& caption, const std::string& root, std::string& folder) {
    TModalScope modal;
    const auto chosen = DialogHost().BrowseFolder(caption, folder.empty() ? root : folder);
    if (!chosen) return false;
    folder = *chosen;
    return true;
}

bool TOpenDialog::Execute() {
    TFileDialogRequest request;
    request.Save = save_;
    request.Title = Title;
    request.InitialDir = InitialDir;
    request.FileName = FileName;
    request.Filter = Filter;
    request.FilterIndex = FilterIndex;
    request.DefaultExt = DefaultExt;
    request.MultiSelect = MultiSelect && !save_;
    request.OverwritePrompt = OverwritePrompt;
    request.FileMustExist = FileMustExist;
    std::vector<std::string> chosen;
    {
        TModalScope modal;
        chosen = DialogHost().FileDialog(request);
    }
    if (chosen.empty()) return false;
    Files.Clear();
    for (const std::string& f : chosen)
        Files.Add(f);
    FileName = chosen.front();
    return true;
}

} // namespace vcl
