// The desktop shell: opens web, mail and share addresses with the desktop's handler, and the help
// file. Only http://, https://, mailto: and smb:// addresses are opened; a share written
// "\\host\path" opens as smb://host/path. Tests install a RecordingShell.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The address that is handed to the desktop for address, or nothing when it is refused.
std::optional<std::string> ShellUrl(std::string_view address);

class ShellHandler {
public:
    virtual ~ShellHandler() = default;
    // Opens an address that ShellUrl produced, or a file:// address of a local file; false when
    // the desktop could not.
    virtual bool Open(const std::string& url) = 0;
};

// Makes handler the current one (null: the desktop's); returns the one it replaces.
ShellHandler* SetShellHandler(ShellHandler* handler);

// Opens address through the current handler; false when refused or when it failed.
bool ShellOpen(std::string_view address);
// Where the help file fileName (the current language's, chosen by the caller) is looked for, in
// order: the program folder, then the folder of the executable. None for an empty name or one
// with a folder in it.
std::vector<std::string> HelpFilePlaces(std::string_view fileName);
// The first of those places that holds the file, or nothing.
std::optional<std::string> FindHelpFile(std::string_view fileName);
// Opens the help file from the first place that holds it; false when there is none or when the
// desktop could not open it.
bool ShellOpenHelp(std::string_view fileName);

// Records what would be opened, instead of opening it, while it exists.
class RecordingShell : public ShellHandler {
public:
    RecordingShell();
    ~RecordingShell() override;
    bool Open(const std::string& url) override;

    std::vector<std::string> Opened;
    // What Open answers.
    bool Result = true;

private:
    ShellHandler* previous_;
};

} // namespace platform
