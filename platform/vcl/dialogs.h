// Message boxes and file dialogs as the program calls them; all go through the dialog host.
#pragma once

#include "vcl/component.h"
#include "vcl/dialog_host.h"
#include "vcl/string_list.h"

#include <string>

namespace vcl {

// A box with the text, the application's title as caption and an OK button.
void ShowMessage(const std::string& text);
// A box built from the classic flags (dialog_host.h); returns the pressed button id.
int MessageBox(const std::string& text, const std::string& caption, unsigned flags);
// Asks for a folder; true with folder set when one was chosen.
bool SelectDirectory(const std::string& caption, const std::string& root, std::string& folder);

// The open and save dialogs as components: set the properties, Execute, read FileName(s).
class TOpenDialog : public TComponent {
public:
    explicit TOpenDialog(TComponent* owner) : TComponent(owner) {}

    // True when the user chose; FileName (and Files with MultiSelect) hold the choice.
    virtual bool Execute();

    std::string Title;
    std::string InitialDir;
    std::string FileName;
    std::string Filter;
    int FilterIndex = 1;
    std::string DefaultExt;
    bool MultiSelect = false;
    bool FileMustExist = false;
    bool OverwritePrompt = false;
    TStringList Files;

protected:
    bool save_ = false;
};

class TSaveDialog : public TOpenDialog {
public:
    explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) { save_ = true; }
};

} // namespace vcl
