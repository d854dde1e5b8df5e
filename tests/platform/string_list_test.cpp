// String lists: plain and sorted lists with their duplicate rules, comma text both ways, text
// lines, files, and the errors of misuse.
#include "vcl/exception.h"
#include "vcl/string_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

TEST(StringList, PlainListKeepsOrderAndFindsWithoutCase) {
    vcl::TStringList list;
    int object = 0;
    EXPECT_EQ(list.Add("beta"), 0);
    EXPECT_EQ(list.AddObject("Alpha", &object), 1);
    list.Insert(0, "gamma");
    EXPECT_EQ(list.GetCommaText(), "gamma,beta,Alpha");
    EXPECT_EQ(list.IndexOf("ALPHA"), 2);
    EXPECT_EQ(list.Objects(2), &object);
    list.SetCaseSensitive(true);
    EXPECT_EQ(list.IndexOf("ALPHA"), -1);
    list.Exchange(0, 2);
    list.Delete(1);
    EXPECT_EQ(list.GetCommaText(), "Alpha,gamma");
    EXPECT_THROW(list.Strings(2), vcl::EStringListError);
    EXPECT_THROW(list.Insert(5, "x"), vcl::EStringListError);
    EXPECT_THROW(list.Delete(-1), vcl::EStringListError);
    list.SetCaseSensitive(false);
    list.Add("Path=/tmp/x");
    EXPECT_EQ(list.Values("path"), "/tmp/x");
    EXPECT_EQ(list.IndexOfName("PATH"), 2);
}

TEST(StringList, SortedListsAndTheirDuplicates) {
    vcl::TStringList list;
    list.SetCommaText("pear,Apple,fig");
    list.SetSorted(true);
    EXPECT_EQ(list.GetCommaText(), "Apple,fig,pear");
    EXPECT_EQ(list.Add("banana"), 1);
    EXPECT_EQ(list.Add("APPLE"), 0); // dupIgnore: the one there
    EXPECT_EQ(list.Count(), 4);
    int index = -1;
    EXPECT_FALSE(list.Find("cherry", index));
    EXPECT_EQ(index, 2);
    EXPECT_THROW(list.Insert(0, "x"), vcl::EStringListError);
    list.Duplicates = vcl::dupError;
    EXPECT_THROW(list.Add("Fig"), vcl::EStringListError);
    list.Duplicates = vcl::dupAccept;
    list.Add("Fig");
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.IndexOf("fig"), 2);
}

TEST(StringList, CommaTextBothWays) {
    struct Case {
        const char* text;
        const char* lines; // the items, one per line
        const char* back;  // the comma text written back
    };
    const Case cases[] = {
        {"a,b,c", "a\nb\nc\n", "a,b,c"},
        {"a b", "a\nb\n", "a,b"}, // a blank separates too
        {" \"x, y\" , z ", "x, y\nz\n", "\"x, y\",z"},
        {"\"say \"\"hi\"\"\"", "say \"hi\"\n", "\"say \"\"hi\"\"\""},
        {"a,,b", "a\n\nb\n", "a,\"\",b"},
        {"a,", "a\n\n", "a,\"\""},
        {"\"unclosed", "unclosed\n", "unclosed"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        vcl::TStringList list;
        list.SetCommaText(c.text);
        EXPECT_EQ(list.GetText(), c.lines) << c.text;
        EXPECT_EQ(list.GetCommaText(), c.back) << c.text;
    }
}

TEST(StringList, TextLinesAndFiles) {
    vcl::TStringList list;
    list.SetText("one\r\ntwo\nthree\rfour");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list[3], "four");
    char pattern[] = "/tmp/strings.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/list.txt";
    list.SaveToFile(path);
    vcl::TStringList again;
    again.LoadFromFile(path);
    EXPECT_EQ(again.GetText(), "one\ntwo\nthree\nfour\n");
    EXPECT_THROW(again.LoadFromFile(std::string(pattern) + "/missing"), vcl::EFOpenError);
    EXPECT_EQ(again.Count(), 4); // a failed load keeps the list
    EXPECT_THROW(list.SaveToFile(std::string(pattern) + "/no/such/dir"), vcl::EFCreateError);
    std::filesystem::remove_all(pattern);
}

} // namespace
