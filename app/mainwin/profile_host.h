// What the Import System Settings dialog sees of the main window: its server branches, its busy
// flag and its server-list layout (layout 8, with the message table's column titles).
#pragma once

#include <memory>
#include <string>

class TForm_Central;
class TProfileSettingHost;

std::shared_ptr<TProfileSettingHost> MakeProfileHost(TForm_Central& window);
// The refresh timer's part: while the dialog's targets page is up, its lists are refilled.
void RefreshProfileTargets();
// The file name proposed for a unit's exported settings: "name_address.cfg", the unit's texts
// made safe for a file name (no folder separators, control characters or leading dots).
std::string ProposedProfileFileName(const std::string& name, const std::string& address);
