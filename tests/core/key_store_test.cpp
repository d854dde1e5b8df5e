#include "registry/key_store.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using platform::registry::KeyStore;
using platform::registry::Value;

namespace {

class KeyStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/keystore-test-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
        setenv("BRIMLET_HOME", dir_.c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string File() const { return dir_ + "/keystore.txt"; }
    void Put(const std::string& text) const { std::ofstream(File(), std::ios::binary) << text; }
    std::string Contents() const {
        std::ifstream in(File(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string dir_;
};

const char* const kKey = "HKEY_CURRENT_USER\\Software\\Test";

TEST_F(KeyStoreTest, ValuesOfEveryTypeSurviveTheFileAndNamesIgnoreCase) {
    KeyStore store = KeyStore::Program();
    EXPECT_EQ(store.Path(), File());
    EXPECT_FALSE(store.KeyExists(kKey));
    EXPECT_FALSE(store.Write(kKey, "N", Value::Integer(1))); // a missing key is never made
    EXPECT_FALSE(fs::exists(File()));

    ASSERT_TRUE(store.CreateKey(kKey));
    const Value text = Value::String("quote \" back\\slash\nsecond line\r");
    const Value bytes = Value::Binary({0x91, 0x00, 0xff, 0x7f});
    const Value empty = Value::Binary({});
    ASSERT_TRUE(store.Write(kKey, "Number", Value::Integer(0xB1)));
    ASSERT_TRUE(store.Write(kKey, "Bytes", bytes));
    ASSERT_TRUE(store.Write(kKey, "Empty", empty));
    ASSERT_TRUE(store.Write(kKey, "Text \"x\"", text));
    ASSERT_TRUE(store.Write(kKey, "number", Value::Integer(0xFFFFFFFF))); // same value

    // A fresh store object reads the file anew.
    const KeyStore again(File());
    EXPECT_TRUE(again.KeyExists("hkey_current_user\\SOFTWARE\\test"));
    EXPECT_EQ(again.Read(kKey, "NUMBER"), Value::Integer(0xFFFFFFFF));
    EXPECT_EQ(again.Read(kKey, "bytes"), bytes);
    EXPECT_EQ(again.Read(kKey, "Empty"), empty);
    EXPECT_EQ(again.Read(kKey, "Text \"x\""), text);
    EXPECT_EQ(again.Read(kKey, "Missing"), std::nullopt);
    EXPECT_EQ(again.Read("HKEY_CURRENT_USER\\Other", "Number"), std::nullopt);

    EXPECT_TRUE(store.Delete(kKey, "Bytes"));
    EXPECT_FALSE(store.Delete(kKey, "Bytes"));
    EXPECT_EQ(again.Read(kKey, "Bytes"), std::nullopt);
    EXPECT_EQ(again.Read(kKey, "Number"), Value::Integer(0xFFFFFFFF));

    // Names that would break the file are refused.
    EXPECT_FALSE(store.CreateKey("a]b"));
    EXPECT_FALSE(store.CreateKey(""));
    EXPECT_FALSE(store.Write(kKey, "two\nlines", Value::Integer(1)));
}

TEST_F(KeyStoreTest, HostileFilesReadAsFarAsTheyMakeSense) {
    using namespace std::string_literals;
    Put("junk before any key\n"
        "\"Orphan\"=dword:1\n"
        "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
        "  \"Good\"=dword:91  \r\n"
        "\"Good\"=dword:00000092\n" // the first occurrence counts
        "\"TooLong\"=dword:123456789\n"
        "\"BadHex\"=hex:9,00\n"
        "\"OddHex\"=hex:91,\n"
        "\"Unclosed\"=\"text\n"
        "\"NoEquals\"dword:1\n"
        "\"Nul\0name\"=dword:1\n"
        "[unterminated\n"
        "\"AfterBadKey\"=dword:1\n"
        "[hkey_current_user\\software\\test]\n"
        "\"Later\"=hex:01,02\n"s +
        std::string(100000, '\xff') + "\n");
    const KeyStore store(File());
    EXPECT_EQ(store.Read(kKey, "Good"), Value::Integer(0x91));
    EXPECT_EQ(store.Read(kKey, "Later"), Value::Binary({1, 2}));
    for (const char* bad : {"TooLong", "BadHex", "OddHex", "Unclosed", "NoEquals", "AfterBadKey"})
        EXPECT_EQ(store.Read(kKey, bad), std::nullopt) << bad;
    EXPECT_EQ(store.Read(kKey, std::string_view("Nul\0name", 8)), std::nullopt);
    EXPECT_FALSE(store.KeyExists("unterminated"));
}

TEST_F(KeyStoreTest, AFileTooLargeToReadIsNeverOverwritten) {
    const std::string big =
        "[" + std::string(kKey) + "]\n" + std::string(KeyStore::kMaxFileSize, ' ') + "\n";
    Put(big);
    KeyStore store(File());
    EXPECT_FALSE(store.KeyExists(kKey));
    EXPECT_FALSE(store.CreateKey("HKEY_CURRENT_USER\\New"));
    EXPECT_FALSE(store.Write(kKey, "N", Value::Integer(1)));
    EXPECT_EQ(Contents(), big);
    // The reason, for the start-up warning; a store that reads, or none at all, has none.
    const auto problem = store.Problem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find(File()), std::string::npos);
    EXPECT_NE(problem->find("larger than 1 MiB"), std::string::npos) << *problem;
    fs::remove(File());
    EXPECT_EQ(store.Problem(), std::nullopt);
    Put("[" + std::string(kKey) + "]\n");
    EXPECT_EQ(store.Problem(), std::nullopt);
}

// A pipe or a folder in place of the store is refused at once, never waited on, and never
// replaced; the start-up warning names it.
TEST_F(KeyStoreTest, AStoreThatIsNoFileIsRefusedAtOnceAndKept) {
    ASSERT_EQ(::mkfifo(File().c_str(), 0600), 0);
    KeyStore store(File());
    EXPECT_FALSE(store.KeyExists(kKey));
    EXPECT_EQ(store.Read(kKey, "N"), std::nullopt);
    EXPECT_FALSE(store.Write(kKey, "N", Value::Integer(1)));
    const auto problem = store.Problem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find(File() + " is not a regular file"), std::string::npos) << *problem;
    EXPECT_TRUE(fs::is_fifo(File()));
}

// Many keys and values, half of them repeats in another letter case: the first of each counts.
// A reader that compared each name with all before it would not end within the test's time.
TEST_F(KeyStoreTest, ManyRepeatedNamesKeepTheFirstOfEach) {
    constexpr int kKeys = 12000;
    std::string text;
    for (int i = 0; i < kKeys; ++i)
        text += "[K" + std::to_string(i) + "]\n\"v\"=dword:00000001\n\"V\"=dword:2\n";
    for (int i = 0; i < kKeys; ++i)
        text += "[k" + std::to_string(i) + "]\n\"x\"=dword:3\n";
    ASSERT_LE(text.size(), KeyStore::kMaxFileSize);
    Put(text);
    KeyStore store(File());
    for (int i = 0; i < kKeys; i += 1111) {
        const std::string key = "k" + std::to_string(i);
        EXPECT_EQ(store.Read(key, "V"), Value::Integer(1)) << key;
        // A repeated key header goes on with the first key: its values join it.
        EXPECT_EQ(store.Read(key, "X"), Value::Integer(3)) << key;
    }
    // Written back, each key and value appears once.
    ASSERT_TRUE(store.Write("K0", "new", Value::Integer(9)));
    const std::string written = Contents();
    EXPECT_EQ(written.find("[k0]"), std::string::npos);
    EXPECT_EQ(written.find("\"V\"=dword:00000002"), std::string::npos);
    EXPECT_EQ(KeyStore(File()).Read("K0", "NEW"), Value::Integer(9));
}

} // namespace
