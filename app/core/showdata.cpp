#include "showdata.h"

#include <cstdio>
#include <cstring>

DebugLogSink* DebugLogTarget = nullptr;

bool DebugLogGuarded(DebugLogSink& sink, const char* text) {
    if (!text) {
        sink.AddLine("XXXXX NULL POINTER XXXXX", DebugLogColour::Red);
        return false;
    }
    if (std::strlen(text) > DebugLogMaxText) {
        sink.AddLine("XXXXX STRING TOO LONG XXXXX", DebugLogColour::Blue);
        return false;
    }
    return true;
}

bool DebugLogNumbered(DebugLogSink& sink, std::string& line) {
    bool replaced = false;
    for (char& c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u > 126) {
            c = '`';
            replaced = true;
        }
    }
    if (line.size() < 991) {
        char number[16];
        std::snprintf(number, sizeof number, "%05d -- ", sink.LineCount() + 1);
        line.insert(0, number);
    }
    if (replaced) sink.AddLine("XXXXX NONPRINTABLE CHAR XXXXX", DebugLogColour::Green);
    return replaced;
}

void DebugLogPair(DebugLogSink& sink, const char* label, const char* text) {
    if (!DebugLogGuarded(sink, label) || !DebugLogGuarded(sink, text)) return;
    std::string line = std::string(label) + text;
    DebugLogNumbered(sink, line);
    sink.AddLine(line, DebugLogColour::Text);
}

void DebugLogText(DebugLogSink& sink, const char* label, std::string_view text) {
    if (!DebugLogGuarded(sink, label)) return;
    std::string line = label;
    DebugLogNumbered(sink, line);
    line += text;
    sink.AddLine(line, DebugLogColour::Text);
}

void DebugLogNumber(DebugLogSink& sink, const char* label, std::int32_t value) {
    if (!DebugLogGuarded(sink, label)) return;
    char digits[40];
    std::snprintf(digits, sizeof digits, "%d(0x%08X)", value, static_cast<std::uint32_t>(value));
    std::string line = std::string(label) + digits;
    DebugLogNumbered(sink, line);
    sink.AddLine(line, DebugLogColour::Text);
}
