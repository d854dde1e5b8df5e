// The dialog host: the one way the program shows message boxes and file and folder dialogs.
// The desktop host uses the toolkit's dialogs; tests install a scripted responder
// (testing/scripted_responder.h) that answers from a script and never blocks.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vcl {

// Button sets and icons of a message box, with the classic flag values callers pass.
enum class TBoxButtons { Ok, OkCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class TBoxIcon { None, Stop, Question, Warning, Information };

inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_RETRYCANCEL = 0x05;
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONERROR = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONWARNING = 0x30;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

// The pressed button.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct TMessageBoxRequest {
    std::string Caption;
    std::string Text;
    TBoxIcon Icon = TBoxIcon::None;
    TBoxButtons Buttons = TBoxButtons::Ok;
};

// The request of the flag values: the low nibble picks the buttons, the next the icon.
TMessageBoxRequest MessageBoxRequest(const std::string& text, const std::string& caption,
                                     unsigned flags);
// The answer of a box closed without a button: the set's Cancel, else its No, else OK.
int ClosedBoxAnswer(TBoxButtons buttons);
// Whether answer is one of the set's buttons.
bool IsBoxAnswer(TBoxButtons buttons, int answer);

struct TFileDialogRequest {
    bool Save = false;
    std::string Title;
    std::string InitialDir;
    std::string FileName;
    // Pairs "description|pattern;pattern|description|pattern", as the classic filter strings.
    std::string Filter;
    int FilterIndex = 1; // 1-based
    std::string DefaultExt;
    bool MultiSelect = false;
    bool OverwritePrompt = false;
    bool FileMustExist = false;
};

// The entries of a file dialog's type list for a filter string, each "description (patterns)"
// with the patterns blank-separated. A description that already ends with its patterns in
// brackets ("Text (*.txt)|*.txt") is shown as it is; pairs without a pattern are left out.
std::vector<std::string> FileDialogTypeNames(const std::string& filter);

// Captions of the buttons of the desktop's message boxes, in the program's language; an empty
// caption leaves the toolkit's own.
struct TBoxButtonCaptions {
    std::string Ok, Cancel, Yes, No, Abort, Retry, Ignore;
};
void SetBoxButtonCaptions(const TBoxButtonCaptions& captions);
const TBoxButtonCaptions& BoxButtonCaptions();

// Makes the toolkit's own dialogs (file and folder dialogs, their buttons) speak the language of
// locale ("zh_TW", "zh_CN") from the toolkit's translations; empty: its English again. False when
// the translations of that language are not installed (the dialogs then stay in English).
bool SetDialogLanguage(const std::string& locale);

class TDialogHost {
public:
    virtual ~TDialogHost() = default;
    // Shows the box modally; returns the pressed button (ClosedBoxAnswer when closed without).
    virtual int MessageBox(const TMessageBoxRequest& request) = 0;
    // The chosen files (one unless MultiSelect); empty when cancelled.
    virtual std::vector<std::string> FileDialog(const TFileDialogRequest& request) = 0;
    // The chosen folder, or nothing when cancelled.
    virtual std::optional<std::string> BrowseFolder(const std::string& title,
                                                    const std::string& startFolder) = 0;
};

// The current host (the desktop's unless one was set).
TDialogHost& DialogHost();
// Makes host the current one (null: the desktop's again); returns the one it replaces (null for
// the desktop's).
TDialogHost* SetDialogHost(TDialogHost* host);

} // namespace vcl
