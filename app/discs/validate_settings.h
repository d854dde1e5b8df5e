// The program settings that the container validation reads (fields of the main window's settings
// record, which holds the program's other options beside them).
#pragma once

#include <cstdint>
#include <string>

struct _INI_DATA_ {
    std::uint32_t ValidateLogEnable = 0;    // 1: write the validate log
    std::uint32_t OverWriteValidateLog = 0; // 1: truncate the log at each validation, else append
    std::string ValidateLog;                // the log's path
    std::uint32_t AutoValidate = 0;         // 1: validate before every image build
};
