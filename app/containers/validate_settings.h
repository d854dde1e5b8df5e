// The program settings that the container validation reads. The main window's settings record
// holds them beside the program's other options.
#pragma once

#include <cstdint>
#include <string>

struct VALIDATE_OPTIONS {
    std::int32_t ValidateLogEnable = 0;    // 1: write the validate log
    std::int32_t OverWriteValidateLog = 0; // 1: truncate the log at each validation, else append
    std::string ValidateLog;               // the log's path
    std::int32_t AutoValidate = 0;         // 1: validate before every image build
};
