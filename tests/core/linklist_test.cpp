#include "linklist.h"

#include "vcl/exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

int slot[40]; // distinct addresses to store

void* P(int i) {
    return &slot[i];
}

std::vector<void*> Items(const TLinkList& list) {
    std::vector<void*> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(list.Item(i));
    return items;
}

// Runs the operation, expects vcl::Exception with the message, and expects the list unchanged.
void ExpectRefused(TLinkList& list, const std::function<void()>& op, const std::string& message) {
    const auto before = Items(list);
    const int index = list.Index();
    const int capacity = list.Capacity();
    try {
        op();
        ADD_FAILURE() << "no exception, expected: " << message;
    } catch (const vcl::Exception& e) {
        EXPECT_EQ(e.Message, message);
    }
    EXPECT_EQ(Items(list), before) << message;
    EXPECT_EQ(list.Index(), index) << message;
    EXPECT_EQ(list.Capacity(), capacity) << message;
}

class LinkListTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/linklist-test-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        home_ = templ;
        setenv("BRIMLET_HOME", home_.c_str(), 1);
    }
    void TearDown() override { std::system(("rm -rf '" + home_ + "'").c_str()); }
    std::string LogText() const {
        std::ifstream in(home_ + "/BrimletLog.tmp");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string home_;
};

TEST_F(LinkListTest, GrowsBySixteenAndInsertsAtAnyPosition) {
    TLinkList list(0);
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list.Index(), -1);
    EXPECT_EQ(list.Add(P(1)), 0);
    EXPECT_EQ(list.Capacity(), 16);
    for (int i = 2; i <= 16; ++i)
        list.Add(P(i));
    EXPECT_EQ(list.Capacity(), 16);
    EXPECT_EQ(list.Add(P(17)), 16);
    EXPECT_EQ(list.Capacity(), 32);

    EXPECT_EQ(list.Insert(0, P(0)), 0); // shifts everything up
    EXPECT_EQ(list.Index(), 0);
    EXPECT_EQ(list.Insert(list.Count(), P(18)), 18); // at count: appends
    EXPECT_EQ(list.Index(), 18);
    std::vector<void*> expected;
    for (int i = 0; i <= 18; ++i)
        expected.push_back(P(i));
    EXPECT_EQ(Items(list), expected);

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Index(), -1);
    EXPECT_EQ(list.Capacity(), 32);
}

TEST_F(LinkListTest, BadArgumentsRaiseAndLeaveTheListAlone) {
    TLinkList list(4);
    list.Add(P(1));
    list.Add(P(2));
    list.Add(P(3));
    list.SetIndex(1);
    ExpectRefused(
        list, [&] { list.Insert(4, P(9)); }, "TLinkList: Insert index error.");
    ExpectRefused(
        list, [&] { list.Insert(-1, P(9)); }, "TLinkList: Insert index error.");
    ExpectRefused(
        list, [&] { list.SetCount(65536); }, "TLinkList: SetCount value error.");
    ExpectRefused(
        list, [&] { list.SetCount(-1); }, "TLinkList: SetCount value error.");
    ExpectRefused(
        list, [&] { list.SetIndex(3); }, "TLinkList: SetIndex index error.");
    ExpectRefused(
        list, [&] { list.SetIndex(-2); }, "TLinkList: SetIndex index error.");
    ExpectRefused(
        list, [&] { list.Remove(3); }, "TLinkList: Remove index error.");
    ExpectRefused(
        list, [&] { list.Remove(-1); }, "TLinkList: Remove index error.");
    ExpectRefused(
        list, [&] { list.Move(3, 0); }, "TLinkList: Move source index error.");
    ExpectRefused(
        list, [&] { list.Move(0, 3); }, "TLinkList: Move target index error.");
    ExpectRefused(
        list, [&] { list.Move(-1, 0); }, "TLinkList: Move source index error.");
}

TEST_F(LinkListTest, ItemAccessMovesTheCurrentIndex) {
    TLinkList list(0);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    for (int i = 0; i < 4; ++i)
        list.Add(P(i));

    EXPECT_EQ(list.GetItem(2), P(2));
    EXPECT_EQ(list.Index(), 2);
    EXPECT_EQ(list.GetItem(4), nullptr); // the count is no item
    EXPECT_EQ(list.Index(), -1);
    list.SetIndex(1);
    EXPECT_EQ(list.GetItem(-5), nullptr); // never reads before the array
    EXPECT_EQ(list.Index(), -1);
    EXPECT_EQ(list.First(), P(0));
    EXPECT_EQ(list.Index(), 0);
    EXPECT_EQ(list.Last(), P(3));
    EXPECT_EQ(list.Index(), 3);

    // Move takes the item out and inserts it at the target, counted after the removal.
    EXPECT_EQ(list.Move(0, 3), 3);
    EXPECT_EQ(Items(list), (std::vector<void*>{P(1), P(2), P(3), P(0)}));
    EXPECT_EQ(list.Index(), 3);
    EXPECT_EQ(list.Move(3, 1), 1);
    EXPECT_EQ(Items(list), (std::vector<void*>{P(1), P(0), P(2), P(3)}));

    // Remove keeps the current index; RemoveItem takes the first occurrence.
    list.Add(P(0));
    list.SetIndex(2);
    EXPECT_EQ(list.RemoveItem(P(0)), 1);
    EXPECT_EQ(Items(list), (std::vector<void*>{P(1), P(2), P(3), P(0)}));
    EXPECT_EQ(list.Index(), 2);
    EXPECT_EQ(list.RemoveItem(P(9)), -1);
    EXPECT_EQ(list.IndexOf(P(0)), 3);
}

TEST_F(LinkListTest, SetCountFillsNewSlotsWithNull) {
    TLinkList list(0);
    list.Add(P(1));
    list.SetCount(20);
    EXPECT_EQ(list.Capacity(), 20);
    ASSERT_EQ(list.Count(), 20);
    EXPECT_EQ(list.Item(0), P(1));
    for (int i = 1; i < 20; ++i)
        EXPECT_EQ(list.Item(i), nullptr) << i;
    // Shrinking and growing again does not bring back the old items.
    list.Add(P(2));
    list.SetCount(1);
    list.SetCount(21);
    EXPECT_EQ(list.Item(20), nullptr);
}

TEST_F(LinkListTest, AddingOneByOneFillsTheListToItsLastSlot) {
    std::vector<char> items(TLinkList::MaxCount); // distinct addresses
    TLinkList list(0);
    for (int i = 0; i < TLinkList::MaxCount; ++i)
        list.Add(&items[i]);
    EXPECT_EQ(list.Count(), TLinkList::MaxCount);
    EXPECT_EQ(list.Capacity(), TLinkList::MaxCount);
    EXPECT_EQ(list.Item(65519), &items[65519]);
    EXPECT_EQ(list.Last(), &items.back());
    ExpectRefused(
        list, [&] { list.Add(P(1)); }, "TLinkList: SetCapacity value error.");
    EXPECT_EQ(list.Count(), TLinkList::MaxCount);
}

TEST_F(LinkListTest, FullListRefusesTheNextItemAndLogsTheCapacity) {
    TLinkList list(0);
    list.SetCount(TLinkList::MaxCount);
    list.SetCapacity(TLinkList::MaxCount);
    ExpectRefused(
        list, [&] { list.Add(P(1)); }, "TLinkList: SetCapacity value error.");
    EXPECT_EQ(list.Count(), 65535);
    EXPECT_EQ(LogText(), "SetCapacity value error\n");

    // A capacity below the count is refused too, and the log holds one line, not two.
    list.SetCount(10);
    ExpectRefused(
        list, [&] { list.SetCapacity(9); }, "TLinkList: SetCapacity value error.");
    EXPECT_EQ(LogText(), "SetCapacity value error\n");
    EXPECT_EQ(list.SetCapacity(10), 10);
}

} // namespace
