// Settings files: the lookup rules as a table, writing back around other lines, refused names,
// and hostile files (huge lines, junk bytes, oversized files, unwritable places).
#include "vcl/exception.h"
#include "vcl/ini_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/ini_test.XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = dir_ + "/brimlet.ini";
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Write(const std::string& content) const {
        std::ofstream(path_, std::ios::binary) << content;
    }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string dir_;
    std::string path_;
};

TEST_F(IniFileTest, LookupRules) {
    struct Case {
        std::string content;
        const char* section;
        const char* key;
        const char* expected; // "<default>" when the default comes back
    };
    const Case cases[] = {
        {"[Main]\nKey=v\n"s, "MAIN", "kEY", "v"},               // case of ASCII letters
        {"[a]\nk=1\n[A]\nk=2\nonly=3\n"s, "a", "k", "1"},       // first section wins
        {"[a]\nk=1\n[A]\nonly=3\n"s, "a", "only", "<default>"}, // ... and only it is read
        {"[a]\nk=1\nK=2\n"s, "a", "k", "1"},                    // first key wins
        {"  [ a b ]  \n  k  =  v w  \n"s, "a b", "k", "v w"},   // names and values trimmed
        {"[a]\nk=\"quoted \"\n"s, "a", "k", "quoted "},         // matching quotes go
        {"[a]\nk='x'\n"s, "a", "k", "x"},
        {"[a]\nk=\"x'\n"s, "a", "k", "\"x'"},       // unmatched stay
        {"[a]\nk=\n"s, "a", "k", ""},               // empty is a value
        {"[a]\nk=a=b\n"s, "a", "k", "a=b"},         // split at the first '='
        {"[a]\n;k=v\nk\n"s, "a", "k", "<default>"}, // comments, no '='
        {"k=v\n[a]\n"s, "a", "k", "<default>"},     // keys before any section
        {"[a]\r\nk=v\r\n"s, "a", "k", "v"},         // CR LF lines
        {"[a]\rk=v"s, "a", "k", "v"},               // CR lines, no last end
        {"[a\nk=v\n"s, "a", "k", "<default>"},      // no section without ']'
        {"[a]\nk=ab\0cd\n"s, "a", "k", "ab"},       // a value ends at NUL
        {""s, "a", "k", "<default>"},
    };
    for (const Case& c : cases) {
        Write(c.content);
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected) << c.content;
    }
}

TEST_F(IniFileTest, NumbersAndBooleans) {
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {{"12", 12},
                          {" -7 ", -7},
                          {"+5", 5},
                          {"$1F", 31},
                          {"0x10", 16},
                          {"0XfF", 255},
                          {"12abc", 99},
                          {"", 99},
                          {"-", 99},
                          {"0x", 99},
                          {"2147483647", INT_MAX},
                          {"2147483648", 99},
                          {"-2147483648", INT_MIN},
                          {"0xFFFFFFFF", -1},
                          {"0x100000000", 99},
                          {"99999999999999999999", 99}};
    for (const Case& c : cases) {
        Write(std::string("[n]\nv=") + c.value + "\n");
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.ReadInteger("n", "v", 99), c.expected) << c.value;
    }
    Write("[b]\nzero=0\none=1\nword=yes\n");
    vcl::TIniFile ini(path_);
    EXPECT_FALSE(ini.ReadBool("b", "zero", true));
    EXPECT_TRUE(ini.ReadBool("b", "one", false));
    EXPECT_TRUE(ini.ReadBool("b", "word", true)); // not a number: the default
    EXPECT_FALSE(ini.ReadBool("b", "missing", false));
}

TEST_F(IniFileTest, WritesKeepEverythingElse) {
    Write("; settings\r\n[MainForm]\r\nMainTop=10\r\n\r\n[Option]\r\nRefreshEnable=1\r\nweird "
          "line\r\n");
    {
        vcl::TIniFile ini(path_);
        ini.WriteInteger("mainform", "MainLeft", 20);    // new key after the section's last key
        ini.WriteString("OPTION", "refreshenable", "0"); // replaced where it is
        ini.WriteBool("Remote NAS List", "Shown", true); // new section at the end
        EXPECT_EQ(ini.ReadInteger("MainForm", "MainLeft", 0), 20);
    }
    EXPECT_EQ(Read(), "; settings\r\n[MainForm]\r\nMainTop=10\r\nMainLeft=20\r\n\r\n[Option]\r\n"
                      "refreshenable=0\r\nweird line\r\n[Remote NAS List]\r\nShown=1\r\n");
    vcl::TIniFile again(path_);
    vcl::TStringList names;
    again.ReadSections(names);
    EXPECT_EQ(names.GetCommaText(), "MainForm,Option,\"Remote NAS List\"");
    again.ReadSection("mainform", names);
    EXPECT_EQ(names.GetCommaText(), "MainTop,MainLeft");
    EXPECT_TRUE(again.ValueExists("option", "RefreshEnable"));
    again.DeleteKey("Option", "RefreshEnable");
    EXPECT_FALSE(again.ValueExists("option", "RefreshEnable"));
    EXPECT_FALSE(again.SectionExists("Option")); // a section without keys does not count
    again.EraseSection("MAINFORM");
    EXPECT_EQ(Read(), "; settings\r\n[Option]\r\nweird line\r\n[Remote NAS List]\r\nShown=1\r\n");
}

TEST_F(IniFileTest, RepeatedSectionsAndKeysGoTogether) {
    Write("[a]\nk=1\nk=2\n[b]\nx=1\n[A]\nk=3\n");
    vcl::TIniFile ini(path_);
    vcl::TStringList names;
    ini.ReadSections(names);
    EXPECT_EQ(names.GetCommaText(), "a,b");
    ini.ReadSection("a", names);
    EXPECT_EQ(names.GetCommaText(), "k");
    ini.DeleteKey("a", "k");
    EXPECT_EQ(ini.ReadString("a", "k", "none"), "none");
    ini.EraseSection("a");
    EXPECT_EQ(Read(), "[b]\nx=1\n");
}

TEST_F(IniFileTest, NamesAndValuesThatWouldBreakTheFileAreRefused) {
    Write("[a]\nk=v\n");
    vcl::TIniFile ini(path_);
    const std::pair<std::string, std::string> bad[] = {
        {"", "k"}, {"a", ""}, {"a\n[b]", "k"}, {"a]", "k"}, {"a", "k=x"}, {"a", "k\r"},
    };
    for (const auto& [section, key] : bad)
        EXPECT_THROW(ini.WriteString(section, key, "v"), vcl::EIniFileException) << section << key;
    EXPECT_THROW(ini.WriteString("a", "k", "two\nlines"), vcl::EIniFileException);
    EXPECT_EQ(Read(), "[a]\nk=v\n");
    EXPECT_EQ(ini.ReadString("a", "k", ""), "v");
}

TEST_F(IniFileTest, MissingFileReadsEmptyAndIsMadeOnWrite) {
    vcl::TIniFile ini(path_);
    EXPECT_EQ(ini.ReadString("a", "k", "d"), "d");
    EXPECT_FALSE(ini.SectionExists("a"));
    ini.WriteString("a", "k", "v");
    EXPECT_EQ(Read(), "[a]\nk=v\n");
}

TEST_F(IniFileTest, HostileFilesAreReadBoundedAndNeverOverwrittenWhenUnread) {
    // A huge line: the value reads cut to 2047 bytes, the file writes back whole.
    const std::string huge(3u << 20, 'x');
    Write("[a]\nbig=" + huge + "\n");
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.ReadString("a", "big", "").size(), 2047u);
        ini.WriteString("a", "k", "v");
    }
    EXPECT_EQ(Read().size(), 4 + 4 + huge.size() + 1 + 4);
    // Junk bytes: no crash, whatever parses reads.
    std::mt19937 random(11);
    std::string junk;
    for (int i = 0; i < 200000; ++i)
        junk += static_cast<char>(random() & 0xFF);
    Write(junk + "\n[ok]\nk=v\n");
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.ReadString("ok", "k", ""), "v");
    }
    // Too large to read: reads as empty and is never written over.
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << "[a]\nk=v\n";
        out.seekp((17 << 20) - 1);
        out.put('\n');
    }
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::TooLarge);
        EXPECT_FALSE(ini.Writable());
        EXPECT_EQ(ini.ReadString("a", "k", "d"), "d");
        EXPECT_THROW(ini.WriteString("a", "k", "w"), vcl::EIniFileException);
        EXPECT_THROW(ini.EraseSection("a"), vcl::EIniFileException);
        EXPECT_THROW(ini.DeleteKey("a", "k"), vcl::EIniFileException);
    }
    EXPECT_EQ(fs::file_size(path_), 17u << 20);
}

TEST_F(IniFileTest, TheLoadResultTellsWhatWasFound) {
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::Missing);
        EXPECT_TRUE(ini.Writable());
    }
    Write("[a]\nk=v\n");
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::Read);
        EXPECT_TRUE(ini.Writable());
    }
    // Exactly at the bound is still read.
    {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << "[a]\nk=v\n";
        out.seekp(vcl::TIniFile::MaxFileSize - 1);
        out.put('\n');
    }
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::Read);
        EXPECT_EQ(ini.ReadString("a", "k", ""), "v");
    }
    // No regular file: a folder, or a pipe that no one writes to, which is refused at once and
    // never waited on.
    fs::remove(path_);
    fs::create_directory(path_);
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::NotRegular);
        EXPECT_FALSE(ini.Writable());
    }
    fs::remove(path_);
    ASSERT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    {
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::NotRegular);
        EXPECT_FALSE(ini.Writable());
        EXPECT_THROW(ini.WriteString("a", "k", "w"), vcl::EIniFileException);
    }
    EXPECT_TRUE(fs::is_fifo(path_));
    // A file that cannot be read is told apart from one that is no file.
    fs::remove(path_);
    Write("[a]\nk=v\n");
    ::chmod(path_.c_str(), 0);
    if (::access(path_.c_str(), R_OK) != 0) { // not when the tests run as root
        vcl::TIniFile ini(path_);
        EXPECT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::Unreadable);
        EXPECT_FALSE(ini.Writable());
    }
}

// Between BeginUpdate and the EndUpdate that closes it, changes stay in memory and the file is
// written once, at the end; CancelUpdate drops them.
TEST_F(IniFileTest, ABracketWritesTheFileOnceAtItsEnd) {
    const std::string before = "; kept\n[a]\nk=v\n[old]\nx=1\n";
    Write(before);
    vcl::TIniFile ini(path_);
    ini.BeginUpdate();
    ini.WriteString("a", "k", "w");
    ini.BeginUpdate(); // nested: its end writes nothing yet
    ini.WriteInteger("b", "n", 7);
    ini.EraseSection("old");
    ini.EndUpdate();
    ini.DeleteKey("a", "missing");
    EXPECT_EQ(Read(), before);
    EXPECT_EQ(ini.ReadString("a", "k", ""), "w"); // reads see the changes at once
    ini.EndUpdate();
    EXPECT_EQ(Read(), "; kept\n[a]\nk=w\n[b]\nn=7\n");

    ini.BeginUpdate();
    ini.WriteString("a", "k", "dropped");
    ini.CancelUpdate();
    EXPECT_EQ(ini.ReadString("a", "k", ""), "w");
    ini.EndUpdate(); // no bracket open: nothing happens
    EXPECT_EQ(Read(), "; kept\n[a]\nk=w\n[b]\nn=7\n");

    // A bracket whose write fails raises at its end and goes back to where it began.
    ini.BeginUpdate();
    ini.WriteString("a", "k", "lost");
    fs::remove_all(dir_);
    EXPECT_THROW(ini.EndUpdate(), vcl::EIniFileException);
    EXPECT_EQ(ini.ReadString("a", "k", ""), "w");
}

// A file the reader would refuse is never written: a write that would take the file past the cap
// raises EIniFileTooLarge and leaves file and values as they were; one that fits is written and
// read back.
TEST_F(IniFileTest, NoWriteMakesAFileItsReaderRefuses) {
    const std::string head = "[a]\nk=v\n[pad]\np=";
    const std::size_t room = 10; // bytes left under the cap
    Write(head + std::string(vcl::TIniFile::MaxFileSize - room - head.size() - 1, 'p') + "\n");
    ASSERT_EQ(fs::file_size(path_), vcl::TIniFile::MaxFileSize - room);
    {
        vcl::TIniFile ini(path_);
        ASSERT_EQ(ini.Loaded(), vcl::TIniFile::LoadResult::Read);
        // "v" becomes room + 2 bytes: one byte past the cap.
        EXPECT_THROW(ini.WriteString("a", "k", std::string(room + 2, 'w')), vcl::EIniFileTooLarge);
        EXPECT_EQ(ini.ReadString("a", "k", ""), "v");
        EXPECT_EQ(fs::file_size(path_), vcl::TIniFile::MaxFileSize - room);
        // Each write of a bracket fits, the whole does not.
        ini.BeginUpdate();
        ini.WriteString("a", "k", "12345");
        ini.WriteString("a", "l", "12345");
        EXPECT_THROW(ini.EndUpdate(), vcl::EIniFileTooLarge);
        EXPECT_FALSE(ini.ValueExists("a", "l"));
        EXPECT_EQ(fs::file_size(path_), vcl::TIniFile::MaxFileSize - room);
        ini.WriteString("a", "k", std::string(room + 1, 'w')); // exactly at the cap
    }
    EXPECT_EQ(fs::file_size(path_), vcl::TIniFile::MaxFileSize);
    vcl::TIniFile again(path_);
    EXPECT_EQ(again.Loaded(), vcl::TIniFile::LoadResult::Read);
    EXPECT_EQ(again.ReadString("a", "k", ""), std::string(room + 1, 'w'));
}

// Many names, most of them repeats in other letter cases: the listings keep each name once, at
// its first place, with the spelling of its first line; lookups find the first line. A listing
// that compared each name with all before it would not end within the test's time.
TEST_F(IniFileTest, ListingsOfManyRepeatedNamesKeepTheFirstOfEach) {
    constexpr int kNames = 20000;
    std::string text;
    for (int i = 0; i < kNames; ++i)
        text += "[Section" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    text += "[Remote NAS List]\n";
    for (int i = 0; i < kNames; ++i)
        text += "IP" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    for (int i = 0; i < kNames; ++i) // repeats, in upper case: never listed, never read
        text += "ip" + std::to_string(i) + "=repeat\n";
    for (int i = 0; i < kNames; ++i)
        text += "[SECTION" + std::to_string(i) + "]\nk=repeat\nonly=x\n";
    Write(text);

    vcl::TIniFile ini(path_);
    vcl::TStringList sections;
    ini.ReadSections(sections);
    ASSERT_EQ(sections.Count(), kNames + 1);
    EXPECT_EQ(sections.Strings(0), "Section0");
    EXPECT_EQ(sections.Strings(kNames - 1), "Section" + std::to_string(kNames - 1));
    EXPECT_EQ(sections.Strings(kNames), "Remote NAS List");
    vcl::TStringList keys;
    ini.ReadSection("remote nas list", keys);
    ASSERT_EQ(keys.Count(), kNames);
    EXPECT_EQ(keys.Strings(0), "IP0");
    EXPECT_EQ(keys.Strings(kNames - 1), "IP" + std::to_string(kNames - 1));
    for (int i = 0; i < kNames; i += 997) {
        EXPECT_EQ(ini.ReadInteger("Remote NAS List", "Ip" + std::to_string(i), -1), i);
        EXPECT_EQ(ini.ReadInteger("section" + std::to_string(i), "K", -1), i);
        EXPECT_FALSE(ini.ValueExists("Section" + std::to_string(i), "only"));
    }
    EXPECT_TRUE(ini.SectionExists("REMOTE NAS LIST"));

    // Erasing and deleting take every occurrence, in one pass each; what is left is indexed
    // afresh.
    ini.EraseSection("section7");
    ini.DeleteKey("remote nas list", "ip5");
    ini.ReadSections(sections);
    EXPECT_EQ(sections.Count(), kNames);
    EXPECT_EQ(sections.IndexOf("Section7"), -1);
    EXPECT_EQ(ini.ReadString("Section7", "only", "gone"), "gone");
    EXPECT_FALSE(ini.ValueExists("Remote NAS List", "IP5"));
    EXPECT_EQ(ini.ReadInteger("Remote NAS List", "IP6", -1), 6);
    ini.WriteString("Remote NAS List", "ip5", "back");
    EXPECT_EQ(ini.ReadString("Remote NAS List", "IP5", ""), "back");
    vcl::TIniFile again(path_);
    EXPECT_EQ(again.ReadString("Remote NAS List", "IP5", ""), "back");
    EXPECT_EQ(again.ReadString("Section8", "k", ""), "8");
}

TEST_F(IniFileTest, AFailedWriteKeepsTheOldValues) {
    Write("[a]\nk=v\n");
    vcl::TIniFile ini(path_);
    fs::remove_all(dir_); // nowhere to write to
    EXPECT_THROW(ini.WriteString("a", "k", "w"), vcl::EIniFileException);
    EXPECT_THROW(ini.EraseSection("a"), vcl::EIniFileException);
    EXPECT_EQ(ini.ReadString("a", "k", ""), "v");
    EXPECT_TRUE(ini.SectionExists("a"));
}

} // namespace
