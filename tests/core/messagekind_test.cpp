#include "messagekind.h"
#include "msgbox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class KindTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = LanguageIndex; }
    void TearDown() override { LanguageIndex = saved_; }
    int saved_ = 0;
};

TEST_F(KindTest, ComposesTheTextByTheKindsRule) {
    LanguageIndex = 0;
    struct Case {
        int kind;
        const char* argument;
        const char* text;
    };
    const Case cases[] = {
        {0, "Backup", "Backup successfully."},
        {1, "", "System memory is not enough."},
        {1, "Can't create 'About Box'.", "Can't create 'About Box'.\nSystem memory is not enough."},
        {2, "a.cis", "Can't open a.cis"},
        {6, "", "Incorrect file format."},
        {8, "", "Unknown Error"},
        {12, "x.iso already exist. Replace ?", "x.iso already exist. Replace ?"},
        {14, "ignored", "Can't move in the same folder"},
        {24, "NAS1",
         "NAS1  is not initialized.\nThis may cause some error while using the server.\n"
         "Setup the server now ?"},
        {26, "ignored", "Administrator password error.  Retry ?"},
        {28, "", "Share password error.  Retry ?"},
        {33, " <>", "Find invalid characters <>"},
        {43, "abc", "Do you want to remove abc ?"},
        {44, "", "Do you want to remove  ?"},
        {49, "", "Exit Quorvik ?"},
        {50, "Disk 1", "Disk 1\nAll data in HD will lost . Continue initializing ?"},
        {51, "Free text", "Free text"},
        {53, "", ""},
        {54, "outside", ""},
        {-1, "outside", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComposeKindMessage(c.argument, c.kind), c.text) << "kind " << c.kind;
}

TEST_F(KindTest, CaptionsAndButtonSetsFollowTheKindTable) {
    LanguageIndex = 0;
    struct Case {
        int kind;
        const char* caption;
        ButtonSet buttons;
    };
    const Case cases[] = {
        {0, "Information", ButtonSet::Ok},
        {2, "Error", ButtonSet::Cancel},
        {9, "Warning", ButtonSet::YesNo},
        {12, "Confirmation", ButtonSet::Five},
        {13, "Confirmation", ButtonSet::YesToAllYesCancel},
        {15, "Confirmation", ButtonSet::YesCancel},
        {41, "Information", ButtonSet::Ok},
        {44, "Confirmation", ButtonSet::Five},
        {46, "Error", ButtonSet::YesNo},
        {53, "Warning", ButtonSet::Ok},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MessageKindCaption(c.kind), c.caption) << "kind " << c.kind;
        ASSERT_NE(FindMessageKind(c.kind), nullptr);
        EXPECT_EQ(FindMessageKind(c.kind)->buttons, c.buttons) << "kind " << c.kind;
    }
    EXPECT_EQ(MessageKindCaption(99), "Error");
    EXPECT_EQ(FindMessageKind(54), nullptr);
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
