// _INI_DATA_: the program settings record of the main window, its defaults and the INI file
// that keeps it between runs (sections "MainForm", "Option", "Remote NAS List").
#pragma once

#include "validate_settings.h"

#include <cstdint>
#include <string>

inline constexpr int kListLayoutCount = 12;     // list layouts 0..11
inline constexpr int kLayoutColumnCount = 10;   // widths kept per layout
inline constexpr int kMaxRemoteNasNumber = 256; // "NASNumber" read back at most this many entries

// The validation options (ValidateLogEnable, OverWriteValidateLog, ValidateLog, AutoValidate) are
// the part of the record that the container validation reads.
struct _INI_DATA_ : VALIDATE_OPTIONS {
    std::int32_t MainTop = 0;
    std::int32_t MainLeft = 0;
    std::int32_t MainHeight = 450;
    std::int32_t MainWidth = 600;
    std::int32_t MainMaximized = 0;
    std::int32_t RefreshEnable = 1;
    std::int32_t RefreshInterval = 10; // minutes, 1..60
    std::int32_t LoadWizard = 0;
    std::int32_t LoadContainer = 0;
    std::string DefaultContainer;
    std::int32_t LoadExplorer = 1;
    // Column widths by list layout; -1 for a column the layout does not have. Run-time only.
    std::int32_t ColumnWidth[kListLayoutCount][kLayoutColumnCount] = {};
};

// The default column widths of every layout into data.
void SetDefaultColumnWidths(_INI_DATA_& data);
