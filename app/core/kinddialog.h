// ShowKindMessage: the modal choice dialog for a message kind (messagekind.h), shown with the
// choice dialog Form1 laid out for the kind's buttons.
#pragma once

#include "messagekind.h"

#include <string>
#include <string_view>

// Shows the message of kind with argument and returns the result of the pressed button (1 OK,
// 2 Cancel, 6 Yes, 7 No, 9 No To All, 10 Yes To All). A dialog closed without a button answers
// as its set's Cancel, or No where it has none. Without Form1: a plain box "Form1 not init!"
// and 0.
int ShowKindMessage(std::string_view argument, int kind);

// Gives the buttons of the plain message boxes the captions the kind dialog shows, from the
// message table in the current language (Abort, Retry and Ignore, which it has no texts for,
// keep the toolkit's), and makes the toolkit's file and folder dialogs speak that language.
// Called once the language is chosen.
void LabelBoxButtons();

// Its steps, in calling order.
// Caption, text and size of Form1 for the text; false (after the plain box) without Form1.
bool PrepareMessageForm(const std::string& text, int kind);
// Places the buttons of set, shows Form1 modally, puts the buttons back and returns the result.
int LayoutMessageButtons(ButtonSet set);
