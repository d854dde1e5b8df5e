// Writers of the debug log window. They write to a DebugLogSink, so that they work with the window
// (which implements the sink) or without one (tests, a file). Lines are numbered after the lines
// the sink already holds; warnings go in colour.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class DebugLogColour { Text, Red, Blue, Green };

class DebugLogSink {
public:
    virtual ~DebugLogSink() = default;
    virtual int LineCount() const = 0;
    virtual void AddLine(std::string_view line, DebugLogColour colour) = 0;
};

// The debug window when one is open; null otherwise (the normal case), and callers write only
// when it is set.
extern DebugLogSink* DebugLogTarget;

// Labels and texts longer than this are refused.
constexpr size_t DebugLogMaxText = 200;

// True when text may be written; otherwise adds the red "XXXXX NULL POINTER XXXXX" (null) or the
// blue "XXXXX STRING TOO LONG XXXXX" (201 characters or more) line.
bool DebugLogGuarded(DebugLogSink& sink, const char* text);
// Replaces characters outside 32..126 by a backquote and, for lines below 991 characters,
// prefixes "%05d -- " with the number the line will have. When a character was replaced it adds
// the green "XXXXX NONPRINTABLE CHAR XXXXX" line first and returns true.
bool DebugLogNumbered(DebugLogSink& sink, std::string& line);
// label + text, numbered.
void DebugLogPair(DebugLogSink& sink, const char* label, const char* text);
// The numbered label, then the text as it is.
void DebugLogText(DebugLogSink& sink, const char* label, std::string_view text);
// label + the value in decimal and as "(0x%08X)", numbered.
void DebugLogNumber(DebugLogSink& sink, const char* label, std::int32_t value);
