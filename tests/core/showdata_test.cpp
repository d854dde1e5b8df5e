#include "showdata.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// A debug window without the window: its lines and their colours, starting with the window's
// first line.
class Lines : public DebugLogSink {
public:
    int LineCount() const override { return static_cast<int>(lines.size()); }
    void AddLine(std::string_view line, DebugLogColour colour) override {
        lines.emplace_back(std::string(line), colour);
    }
    std::vector<std::pair<std::string, DebugLogColour>> lines{
        {"Clear all data before use.", DebugLogColour::Text}};
};

using C = DebugLogColour;
using Line = std::pair<std::string, DebugLogColour>;

TEST(DebugLog, WritersNumberTheirLines) {
    Lines w;
    DebugLogPair(w, "name: ", "disc");
    DebugLogNumber(w, "size=", -1);
    DebugLogText(w, "path: ", "/tmp/a\tb"); // the text after the label is taken as it is
    EXPECT_EQ(w.lines[1], Line("00002 -- name: disc", C::Text));
    EXPECT_EQ(w.lines[2], Line("00003 -- size=-1(0xFFFFFFFF)", C::Text));
    EXPECT_EQ(w.lines[3], Line("00004 -- path: /tmp/a\tb", C::Text));
}

TEST(DebugLog, GuardsRefuseNullAndLongTexts) {
    Lines w;
    const std::string label200(200, 'x');
    DebugLogPair(w, label200.c_str(), "");
    ASSERT_EQ(w.lines.size(), 2u);
    EXPECT_EQ(w.lines[1].first, "00002 -- " + label200);

    const std::string label201(201, 'x');
    DebugLogPair(w, label201.c_str(), "t");
    DebugLogPair(w, "label", nullptr);
    DebugLogNumber(w, nullptr, 1);
    ASSERT_EQ(w.lines.size(), 5u);
    EXPECT_EQ(w.lines[2], Line("XXXXX STRING TOO LONG XXXXX", C::Blue));
    EXPECT_EQ(w.lines[3], Line("XXXXX NULL POINTER XXXXX", C::Red));
    EXPECT_EQ(w.lines[4], Line("XXXXX NULL POINTER XXXXX", C::Red));
}

TEST(DebugLog, NonPrintableCharactersAreMarked) {
    Lines w;
    DebugLogPair(w, "a\tb", "\x7f\xc3\xa9");
    ASSERT_EQ(w.lines.size(), 3u);
    EXPECT_EQ(w.lines[1], Line("XXXXX NONPRINTABLE CHAR XXXXX", C::Green));
    EXPECT_EQ(w.lines[2], Line("00002 -- a`b```", C::Text));

    // Lines of 991 characters and more are not numbered.
    std::string line(991, 'y');
    EXPECT_FALSE(DebugLogNumbered(w, line));
    EXPECT_EQ(line, std::string(991, 'y'));
    std::string shorter(990, 'y');
    DebugLogNumbered(w, shorter);
    EXPECT_EQ(shorter.substr(0, 9), "00004 -- ");
}

} // namespace
