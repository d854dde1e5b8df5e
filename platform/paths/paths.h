// Where the program keeps its files. Host paths use "/".
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The program folder: $BRIMLET_HOME when set, else $XDG_CONFIG_HOME/brimlet (an absolute
// $XDG_CONFIG_HOME only), else ~/.config/brimlet. Made (owner-only) when missing; read anew on
// every call. No trailing separator.
std::string ProgramFolder();

// ProgramFolder() + "/" + name.
std::string ProgramFilePath(std::string_view name);

// A private folder for work files (mode 0700, made with mkdtemp under $TMPDIR or /tmp on first
// use) that is removed with its content when the process exits. Empty when it cannot be made.
std::string WorkFolder();

} // namespace platform
