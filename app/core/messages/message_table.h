// The message table that gen_message_table.py generates from the message catalogues.
#pragma once

namespace message_table {

inline constexpr int kLanguageCount = 3; // English, Traditional Chinese, Simplified Chinese
inline constexpr int kMessageCount = 976;

// UTF-8 texts by language and message id - 1.
extern const char* const kTexts[kLanguageCount][kMessageCount];

} // namespace message_table
