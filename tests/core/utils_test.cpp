#include "utils.h"

#include "clock/clock.h"
#include "paths/paths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <locale>
#include <string>

namespace {

// Pins the number locale to given separators for the life of the object.
class PinnedLocale {
public:
    PinnedLocale(char thousands, char decimal) {
        utils::SetNumberLocale(std::locale(std::locale::classic(), new Punct(thousands, decimal)));
    }
    ~PinnedLocale() { utils::SetNumberLocale(std::locale::classic()); }

private:
    struct Punct : std::numpunct<char> {
        Punct(char t, char d) : t_(t), d_(d) {}
        char do_thousands_sep() const override { return t_; }
        char do_decimal_point() const override { return d_; }
        std::string do_grouping() const override { return "\3"; }
        char t_, d_;
    };
};

struct SizeCase {
    int mode;
    std::int64_t count;
    const char* text;
};

constexpr std::int64_t KB = 1024, MB = KB * KB, GB = MB * KB;

TEST(Utils, FormatByteCountOverEveryModeBoundary) {
    PinnedLocale pin(',', '.');
    const SizeCase cases[] = {
        {0, 0, "0 byte"},
        {0, 1, "1 byte"},
        {0, 2, "2 bytes"},
        {0, 1023, "1,023 bytes"},
        {0, 1024, "1 KB"},
        {0, 1536, "2 KB"}, // halves away from zero
        {0, MB - 1, "1,024 KB"},
        {0, MB, "1 MB"},
        {0, 1572864, "1.5 MB"},
        {5, 131072, "0.13 MB"}, // 0.125
        {0, 100 * MB - 1, "100 MB"},
        {0, 100 * MB, "100 MB"},
        {0, GB - 1, "1,024 MB"},
        {0, GB, "1 GB"},
        {0, 1342177280, "1.25 GB"},
        {0, 100 * GB - 1, "100 GB"},
        {0, 100 * GB, "100 GB"},
        {0, 214748364800, "200 GB"},
        {0, (std::int64_t{1} << 50) - 1, "1,048,576 GB"},
        {0, std::int64_t{1} << 50, ""},
        {0, -1, ""},
        {1, MB, "1,048,576 bytes"},
        {1, INT64_MAX, "9,223,372,036,854,775,807 bytes"},
        {2, 512, "1 KB"},
        {3, 100 * MB, "100 MB"},
        {4, 1500 * GB, "1,500 GB"},
        {5, 2 * MB, "2 MB"},
        {6, 5 * GB / 100, "0.05 GB"},
        {7, 5, ""},
        {-1, 5, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utils::FormatByteCount(c.mode, c.count), c.text)
            << "mode " << c.mode << " count " << c.count;
}

TEST(Utils, FormatScaledSize) {
    PinnedLocale pin(',', '.');
    const SizeCase cases[] = {
        {0, 0, "0 KB"},
        {0, 500, "1 KB"},
        {0, 1023, "1 KB"},
        {0, 1024, "1 KB"},
        {0, 2047, "1 KB"}, // truncated
        {0, -5, "1 KB"},
        {0, MB, "1 MB"},
        {0, 1572864, "1.5 MB"},
        {0, 10 * MB - 1, "10 MB"}, // two decimals, rounded
        {0, 10 * MB, "10 MB"},
        {0, 15 * MB + MB / 2, "15 MB"},
        {0, 1342177280, "1.25 GB"},
        {0, 10 * GB - 1, "10 GB"},
        {0, 10 * GB, "10 GB"},
        {0, 1234 * GB, "1234 GB"}, // never grouped
        {1, 1536, "1536 BYTE(S)"},
        {1, -5, "-5 BYTE(S)"},
        {2, 20 * GB, "20971520 KB"},
        {2, 0, "0 KB"},
        {3, 100, "0 MB"},
        {4, 5 * GB + 1, "5 GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utils::FormatScaledSize(c.mode, c.count), c.text)
            << "mode " << c.mode << " count " << c.count;
}

TEST(Utils, SizeTextToBytes) {
    PinnedLocale pin(',', '.');
    const struct {
        const char* text;
        std::int64_t bytes;
    } cases[] = {
        {"", 0},
        {"12 XB", 0},
        {"2 MB", 2097152},
        {"1.5 GB", 1610612736},
        {"1 KB", 1024},
        {"0 KB", 0},
        {" 1.25 GB ", 1342177280},
        {"1536 BYTE(S)", 1536},
        {"16777217 BYTE(S)", 16777216}, // single precision
        {"1e3 KB", 1024000},
        {"-1 KB", -1024},
        {"1e30 GB", INT64_MAX}, // held at the end of the range
    };
    for (const auto& c : cases)
        EXPECT_EQ(utils::SizeTextToBytes(c.text), c.bytes) << '"' << c.text << '"';
    EXPECT_EQ(utils::ParseSizeText("3 KB"), 3072);

    // A text whose number is not valid gives 0 and never throws.
    for (const char* bad : {"KB", " MB", "abc MB", "1.2.3 MB", "1,5 MB", "inf GB", "nan KB",
                            "0x10 KB", "1e KB", "+ KB"})
        EXPECT_EQ(utils::SizeTextToBytes(bad), 0) << '"' << bad << '"';
}

TEST(Utils, SizeTextsFollowTheLocaleSeparators) {
    PinnedLocale pin('.', ',');
    EXPECT_EQ(utils::FormatByteCount(0, 1023), "1.023 bytes");
    EXPECT_EQ(utils::FormatByteCount(0, 1342177280), "1,25 GB");
    EXPECT_EQ(utils::FormatByteCount(1, 1234567), "1.234.567 bytes");
    EXPECT_EQ(utils::FormatScaledSize(0, 1572864), "1,5 MB");
    EXPECT_EQ(utils::SizeTextToBytes("1,5 GB"), 1610612736);
    EXPECT_EQ(utils::SizeTextToBytes("1.5 GB"), 0);
    // What FormatScaledSize writes, SizeTextToBytes reads back.
    EXPECT_EQ(utils::SizeTextToBytes(utils::FormatScaledSize(0, 1342177280)), 1342177280);
}

TEST(Utils, UserLocaleSetsTheSeparatorsOfSizeTextsOnly) {
    setenv("LC_ALL", "C.UTF-8", 1);
    utils::UseUserLocale();
    EXPECT_EQ(utils::FormatByteCount(0, 1342177280), "1.25 GB");
    EXPECT_EQ(utils::FormatByteCount(0, 1023), "1,023 bytes"); // grouped even where "C" is not
    EXPECT_EQ(std::locale().name(), "C");                      // the global locale is left alone
    setenv("LC_ALL", "xx_NOWHERE", 1);
    EXPECT_NO_THROW(utils::UseUserLocale());
    utils::SetNumberLocale(std::locale::classic());
}

TEST(Utils, NormalizeDirPath) {
    const struct {
        const char* path;
        char separator;
        const char* result;
    } cases[] = {
        {"", '/', ""},
        {" \t ", '/', ""},
        {"/data", '/', "/data/"},
        {"/data///", '/', "/data/"},
        {" /a b ", '/', " /a b /"}, // blanks stay
        {"///", '/', "/"},          // only separators: the root
        {"dir\\", '/', "dir\\/"},   // a backslash is a name character on the host
        {"C:", '\\', "C:\\"},
        {"C:\\\\\\", '\\', "C:\\"},
        {"\\\\", '\\', "\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utils::NormalizeDirPath(c.path, c.separator), c.result) << '"' << c.path << '"';
}

TEST(Utils, MakeTempFileNameIsInThePrivateWorkFolder) {
    platform::ManualClock clock(0, 1700000000);
    platform::ScopedClock use(clock);
    const std::string folder = platform::WorkFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(utils::MakeTempFileName("Cfg_ZipData", "zip"),
              folder + "/Cfg_ZipData1700000000.tmp.zip");
    EXPECT_EQ(utils::MakeTempFileName("Cfg_PlainData", ""),
              folder + "/Cfg_PlainData1700000000.tmp");
}

TEST(Utils, IpToText) {
    EXPECT_EQ(utils::IpToText(0xC0A80101), "192.168.1.1");
    EXPECT_EQ(utils::IpToText(0x7F000001), "127.0.0.1");
    EXPECT_EQ(utils::IpToText(0), "0.0.0.0");
    EXPECT_EQ(utils::IpToText(0xFFFFFFFF), "255.255.255.255");
}

} // namespace
