// Problems found while the program starts (a settings file, key store or branding file that was
// refused), kept until the start is done and then shown to the user in one warning box, so that
// nothing refused at start goes unmentioned.
#pragma once

#include <string>
#include <vector>

// Keeps one note (a whole sentence or more, naming the file and the reason).
void AddStartupNote(std::string text);
// The notes kept so far, which are forgotten.
std::vector<std::string> TakeStartupNotes();
// Shows the notes kept so far, one paragraph each, in one warning box through the dialog host,
// and forgets them; nothing when there are none.
void ShowStartupNotes();
