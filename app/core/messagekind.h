// Message kinds: a small number (0 to 53) that names a message text, how the caller's argument
// joins it, the caption and the buttons of the choice dialog that ShowKindMessage shows.
#pragma once

#include <string>
#include <string_view>

inline constexpr int kMessageKindCount = 54; // kinds 0 to 53

// How the caller's argument and the kind text make the message.
enum class KindComposition {
    ArgumentOnly,         // the argument is the whole text
    ArgumentText,         // argument, then the kind text
    ArgumentLineText,     // argument, a line feed when the argument is not empty, the kind text
    TextArgument,         // kind text, then the argument
    TextArgumentQuestion, // kind text, argument, " ?"
    TextOnly,             // the kind text; the argument is ignored
    FixedEnglish,         // the kind's fixed English text; the argument is ignored
};

// The caption classes; the byte values are those of the kind table.
enum class CaptionClass { Warning = 0, Error = 1, Information = 2, Confirmation = 3 };

// The button sets of the choice dialog.
enum class ButtonSet {
    Ok,
    Cancel,
    YesNo,
    YesCancel,
    YesToAllYesCancel,
    Five, // Yes To All, No To All, Yes, No, Cancel
};

struct MessageKind {
    int textId;            // message of the kind text; 0 when the kind has none
    int secondTextId;      // a second message joined to the first; 0 when none
    const char* fixedText; // the fixed English text of FixedEnglish kinds, else null
    KindComposition composition;
    CaptionClass caption;
    ButtonSet buttons;
};

// The entry of a kind; null for a kind outside 0 to 53.
const MessageKind* FindMessageKind(int kind);

// The kind's own text in the current language (empty for an unknown kind and kinds 51 to 53).
std::string MessageKindText(int kind);
// The caption of the kind's caption class; "Error" (message 9) for an unknown kind.
std::string MessageKindCaption(int kind);
// The whole message: the argument and the kind text joined by the kind's rule.
std::string ComposeKindMessage(std::string_view argument, int kind);

// Dialog results of the choice dialog (the form layer's modal results).
enum KindResult { krOk = 1, krCancel = 2, krYes = 6, krNo = 7, krNoToAll = 9, krYesToAll = 10 };

// The result for the number (1 to 5) of the button pressed in a dialog with that set; 0 means the
// dialog was closed without a button and answers as the set's Cancel, or No where it has no
// Cancel (OK for the set that has only OK).
int ButtonSetResult(ButtonSet set, int pressedButton);

// The label height for a message text: line height is the font's point size + 5; 280 when all
// lines need more than 150, 90 when they need less than three lines, else 205.
int MessageTextHeight(std::string_view text, int fontPointSize);
