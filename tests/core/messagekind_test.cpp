#include "messagekind.h"
#include "msgbox.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace {

class KindTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = LanguageIndex; }
    void TearDown() override { LanguageIndex = saved_; }
    int saved_ = 0;
};

// The kind table as one table: kind, text id (0: none), second text id joined to it, the
// composition (A argument only, T argument + text, L argument + line feed + text, X text +
// argument, Q text + argument + " ?", O text only, F fixed English text), caption id, buttons.
struct KindRow {
    int kind;
    int textId;
    int secondTextId;
    char composition;
    int captionId;
    ButtonSet buttons;
};
const KindRow kKindTable[] = {
    {0, 197, 0, 'T', 292, ButtonSet::Ok},      {1, 198, 0, 'L', 9, ButtonSet::Ok},
    {2, 199, 0, 'X', 9, ButtonSet::Cancel},    {3, 200, 0, 'X', 9, ButtonSet::Cancel},
    {4, 201, 0, 'X', 9, ButtonSet::Cancel},    {5, 202, 0, 'X', 9, ButtonSet::Cancel},
    {6, 203, 0, 'L', 9, ButtonSet::Cancel},    {7, 204, 0, 'T', 9, ButtonSet::Cancel},
    {8, 32, 0, 'T', 9, ButtonSet::Cancel},     {9, 205, 0, 'T', 15, ButtonSet::YesNo},
    {10, 206, 0, 'T', 15, ButtonSet::YesNo},   {11, 207, 0, 'T', 15, ButtonSet::YesNo},
    {12, 208, 0, 'A', 510, ButtonSet::Five},   {13, 209, 0, 'A', 510, ButtonSet::YesToAllYesCancel},
    {14, 210, 0, 'O', 15, ButtonSet::Ok},      {15, 211, 0, 'T', 510, ButtonSet::YesCancel},
    {16, 212, 0, 'O', 9, ButtonSet::Ok},       {17, 213, 0, 'T', 510, ButtonSet::Five},
    {18, 214, 0, 'A', 510, ButtonSet::Five},   {19, 215, 0, 'O', 9, ButtonSet::Ok},
    {20, 216, 0, 'O', 9, ButtonSet::Ok},       {21, 217, 0, 'O', 9, ButtonSet::Ok},
    {22, 218, 0, 'O', 9, ButtonSet::Ok},       {23, 219, 0, 'O', 9, ButtonSet::Ok},
    {24, 220, 221, 'T', 15, ButtonSet::YesNo}, {25, 222, 0, 'T', 9, ButtonSet::Ok},
    {26, 0, 0, 'F', 9, ButtonSet::YesNo},      {27, 0, 0, 'F', 9, ButtonSet::YesNo},
    {28, 0, 0, 'F', 9, ButtonSet::YesNo},      {29, 226, 0, 'T', 9, ButtonSet::Ok},
    {30, 227, 0, 'T', 9, ButtonSet::Ok},       {31, 228, 0, 'T', 9, ButtonSet::Ok},
    {32, 229, 0, 'T', 9, ButtonSet::Ok},       {33, 230, 0, 'X', 9, ButtonSet::Ok},
    {34, 231, 0, 'T', 9, ButtonSet::Ok},       {35, 232, 0, 'X', 510, ButtonSet::YesNo},
    {36, 233, 0, 'O', 9, ButtonSet::Ok},       {37, 234, 0, 'T', 9, ButtonSet::Ok},
    {38, 235, 0, 'O', 9, ButtonSet::Ok},       {39, 236, 0, 'O', 9, ButtonSet::Ok},
    {40, 237, 0, 'T', 9, ButtonSet::Ok},       {41, 238, 0, 'T', 292, ButtonSet::Ok},
    {42, 239, 0, 'T', 510, ButtonSet::YesNo},  {43, 240, 0, 'Q', 510, ButtonSet::YesNo},
    {44, 240, 0, 'Q', 510, ButtonSet::Five},   {45, 241, 0, 'T', 15, ButtonSet::Ok},
    {46, 242, 0, 'A', 9, ButtonSet::YesNo},    {47, 243, 0, 'T', 510, ButtonSet::YesNo},
    {48, 244, 0, 'T', 9, ButtonSet::Ok},       {49, 245, 0, 'L', 510, ButtonSet::YesNo},
    {50, 246, 0, 'L', 15, ButtonSet::YesNo},   {51, 0, 0, 'A', 510, ButtonSet::YesNo},
    {52, 0, 0, 'A', 15, ButtonSet::Ok},        {53, 0, 0, 'A', 15, ButtonSet::Ok},
};

std::string Expected(const KindRow& row, const std::string& argument) {
    static const char* const fixed[] = {"Administrator password error.  Retry ?",
                                        "Mirror password error.  Retry ?",
                                        "Share password error.  Retry ?"};
    std::string text = row.textId ? GetMessageText(row.textId) : "";
    if (row.secondTextId) text += GetMessageText(row.secondTextId);
    switch (row.composition) {
    case 'A':
        return argument;
    case 'T':
        return argument + text;
    case 'L':
        return argument.empty() ? text : argument + "\n" + text;
    case 'X':
        return text + argument;
    case 'Q':
        return text + argument + " ?";
    case 'O':
        return text;
    default:
        return fixed[row.kind - 26];
    }
}

TEST_F(KindTest, EveryKindComposesItsTextCaptionAndButtonsByTheTable) {
    ASSERT_EQ(std::size(kKindTable), static_cast<std::size_t>(kMessageKindCount));
    for (int language : {0, 1, 2}) {
        LanguageIndex = language;
        for (const KindRow& row : kKindTable) {
            SCOPED_TRACE("language " + std::to_string(language) + " kind " +
                         std::to_string(row.kind));
            for (const std::string argument : {"NAS1", ""})
                EXPECT_EQ(ComposeKindMessage(argument, row.kind), Expected(row, argument))
                    << "argument \"" << argument << "\"";
            EXPECT_EQ(MessageKindCaption(row.kind), GetMessageText(row.captionId));
            const MessageKind* kind = FindMessageKind(row.kind);
            ASSERT_NE(kind, nullptr);
            EXPECT_EQ(kind->buttons, row.buttons);
        }
        // Outside the table: no text, no kind, the caption "Error".
        for (int outside : {-1, 54, 99}) {
            EXPECT_EQ(ComposeKindMessage("outside", outside), "");
            EXPECT_EQ(FindMessageKind(outside), nullptr);
            EXPECT_EQ(MessageKindCaption(outside), GetMessageText(9));
        }
    }
}

TEST_F(KindTest, FixedEnglishKindsStayEnglishInEveryLanguage) {
    for (int language : {1, 2}) {
        LanguageIndex = language;
        EXPECT_EQ(ComposeKindMessage("x", 27), "Mirror password error.  Retry ?");
        EXPECT_NE(MessageKindCaption(27), "Error"); // the caption is translated
        EXPECT_EQ(ComposeKindMessage("", 1), GetMessageText(198));
    }
}

TEST(KindResults, EachButtonOfEachSetMapsToItsResult) {
    struct Case {
        ButtonSet set;
        int results[6]; // for no button (0) and buttons 1 to 5
    };
    const Case cases[] = {
        {ButtonSet::Ok, {1, 1, 1, 1, 1, 1}},
        {ButtonSet::Cancel, {2, 2, 2, 2, 2, 2}},
        {ButtonSet::YesNo, {7, 7, 6, 7, 7, 7}},
        {ButtonSet::YesCancel, {2, 2, 6, 2, 2, 2}},
        {ButtonSet::YesToAllYesCancel, {2, 10, 1, 6, 1, 2}},
        {ButtonSet::Five, {2, 10, 9, 6, 7, 2}},
    };
    for (const Case& c : cases)
        for (int button = 0; button <= 5; ++button)
            EXPECT_EQ(ButtonSetResult(c.set, button), c.results[button])
                << "set " << static_cast<int>(c.set) << " button " << button;
}

TEST(KindLayout, LabelHeightFollowsTheLineCount) {
    struct Case {
        int lineFeeds;
        int pointSize;
        int height;
    };
    const Case cases[] = {
        {0, 8, 90},    {1, 8, 90},   {2, 8, 205},
        {10, 8, 205},  {11, 8, 280}, // 12 lines of 13 pixels: 156 is above 150
        {9, 10, 205},                // 10 lines of 15 pixels: 150 is not above 150
        {10, 10, 280},
    };
    for (const Case& c : cases) {
        const std::string text = "x" + std::string(static_cast<size_t>(c.lineFeeds), '\n');
        EXPECT_EQ(MessageTextHeight(text, c.pointSize), c.height)
            << c.lineFeeds << " line feeds, " << c.pointSize << " pt";
    }
}

} // namespace
