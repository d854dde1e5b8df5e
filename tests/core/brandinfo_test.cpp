#include "brandinfo.h"
#include "msgbox.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// One branding record: tag, little-endian length (the payload's own unless given), payload.
std::string Record(std::string_view tag, std::string_view payload,
                   std::int64_t declaredLength = -1) {
    const auto length = static_cast<std::uint32_t>(
        declaredLength < 0 ? payload.size() : static_cast<std::uint64_t>(declaredLength));
    std::string bytes(tag);
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
    bytes.append(payload);
    return bytes;
}

std::string Env(std::string_view lines) {
    return Record("_ENV", lines);
}

class BrandTest : public ::testing::Test {
protected:
    void SetUp() override {
        BrandInfo = TBrandInfo{};
        savedLanguage_ = LanguageIndex;
        LanguageIndex = 0;
    }
    void TearDown() override {
        LanguageIndex = savedLanguage_;
        BrandInfo = TBrandInfo{};
    }
    static void Read(const std::string& bytes) {
        std::istringstream in(bytes);
        ReadBrandRecords(in);
    }
    int savedLanguage_ = 0;
};

const std::string kThreeLanguages =
    Env("LANG=EN\r\nAPPNAME=English\r\nWEB=www.en.example\r\n") +
    Env("LANG=TC\r\nAPPNAME=Chinese TW\r\nWEB=www.tc.example\r\nTEL=02-1234\r\n") +
    Env("LANG=SC\r\nAPPNAME=Chinese CN\r\nWEB=www.sc.example\r\n");

TEST_F(BrandTest, OnlyTheBlockOfTheCurrentLanguageIsApplied) {
    struct Case {
        int language;
        const char* appName;
        const char* web;
        const char* tel;
    };
    for (const Case& c : {Case{0, "English", "www.en.example", ""},
                          Case{1, "Chinese TW", "www.tc.example", "02-1234"},
                          Case{2, "Chinese CN", "www.sc.example", ""}}) {
        SCOPED_TRACE(c.language);
        BrandInfo = TBrandInfo{};
        LanguageIndex = c.language;
        Read(kThreeLanguages);
        EXPECT_EQ(BrandInfo.APPNAME, c.appName);
        EXPECT_EQ(BrandInfo.WEB, c.web);
        EXPECT_EQ(BrandInfo.TEL, c.tel);
        EXPECT_EQ(BrandInfo.LANG, BrandLanguageCode(c.language));
    }
}

TEST_F(BrandTest, TheFirstBlockOfALanguageWinsAndBlocksWithoutLangApplyToAll) {
    LanguageIndex = 1;
    Read(Env("LANG=TC\r\nAPPNAME=First\r\n") + Env("LANG=TC\r\nAPPNAME=Second\r\n"));
    EXPECT_EQ(BrandInfo.APPNAME, "First");

    BrandInfo = TBrandInfo{};
    Read(Env("APPNAME=Any\r\n") + Env("COMPANY=Later\r\n"));
    EXPECT_EQ(BrandInfo.COMPANY, "Later");
    EXPECT_EQ(BrandInfo.APPNAME, "Quorvik"); // the later block resets what it does not set
}

TEST_F(BrandTest, KeysMissingFromABlockFallBackToTheirInitialValues) {
    BrandInfo.TEL = "1";
    BrandInfo.FAX = "2";
    BrandInfo.COMPANY = "3";
    BrandInfo.APPNAME = "Old";
    Read(Env("WEB=www.example.com\r\nEMAIL=info@example.com\r\n"));
    EXPECT_EQ(BrandInfo.WEB, "www.example.com");
    EXPECT_EQ(BrandInfo.EMAIL, "info@example.com");
    EXPECT_EQ(BrandInfo.APPNAME, "Quorvik");
    EXPECT_EQ(BrandInfo.TEL, "");
    EXPECT_EQ(BrandInfo.FAX, "");
    EXPECT_EQ(BrandInfo.COMPANY, "");
}

TEST_F(BrandTest, BlanksAndEqualsAfterTheKeyAreSkippedAndTrailingBlanksKept) {
    Read(Env("  \r\n\r\nAPPNAME = Nimbus  \r\nTEL==  5\r\n"));
    EXPECT_EQ(BrandInfo.APPNAME, "Nimbus  ");
    EXPECT_EQ(BrandInfo.TEL, "5");
}

TEST_F(BrandTest, ABlockCutShortKeepsTheValuesBeforeTheCut) {
    Read(Env("APPNAME=Kept\r\nWEB=www.lost.example"));
    EXPECT_EQ(BrandInfo.APPNAME, "Kept");
    EXPECT_EQ(BrandInfo.WEB, "");
}

TEST_F(BrandTest, ValuesAreCutToTheirCapacityOnCharacterBoundaries) {
    const std::string longName(40, 'N');
    // 25 three-byte characters: the cut must not split one.
    std::string wide;
    for (int i = 0; i < 25; ++i)
        wide += "\xE4\xB8\xAD";
    Read(Env("APPNAME=" + longName + "\r\nCOMPANY=" + std::string(80, 'C') + "\r\nTEL=" + wide +
             "\r\nLANG=ENGLISH\r\n"));
    EXPECT_EQ(BrandInfo.APPNAME, std::string(TBrandInfo::AppNameCapacity, 'N'));
    EXPECT_EQ(BrandInfo.COMPANY, std::string(TBrandInfo::CompanyCapacity, 'C'));
    EXPECT_EQ(BrandInfo.TEL.size(), 3 * TBrandInfo::TelCapacity);
    EXPECT_EQ(BrandInfo.TEL, wide.substr(0, 3 * TBrandInfo::TelCapacity));
    EXPECT_EQ(BrandInfo.LANG, "ENGLI");
}

TEST_F(BrandTest, CodePageValuesAreConvertedForTheMessageLanguage) {
    LanguageIndex = 1;                                    // Traditional Chinese: code page 950
    Read(Env("LANG=TC\r\nAPPNAME=\xA4\xA4\xA4\xE5\r\n")); // two characters in that code page
    EXPECT_EQ(BrandInfo.APPNAME, "\xE4\xB8\xAD\xE6\x96\x87");
}

TEST_F(BrandTest, UnknownRecordsAreSkippedByTheirLength) {
    // Read as headers, the payload of the unknown record would be a block naming another product.
    const std::string hidden = Env("APPNAME=Hidden\r\n");
    Read(Record("_XYZ", hidden) + Env("WEB=www.example.com\r\n"));
    EXPECT_EQ(BrandInfo.APPNAME, "Quorvik");
    EXPECT_EQ(BrandInfo.WEB, "www.example.com");
}

TEST_F(BrandTest, DeclaredLengthsAreCappedToTheBytesThatAreThere) {
    // A block that claims 4 GiB holds only its lines; an image record that claims more than the
    // file ends the file without reading past it.
    Read(Record("_ENV", "APPNAME=Short\r\n", 0xFFFFFFFFLL));
    EXPECT_EQ(BrandInfo.APPNAME, "Short");

    BrandInfo = TBrandInfo{};
    Read(Env("APPNAME=Before\r\n") + Record("_IMG", "\x89PNG", 1 << 30));
    EXPECT_EQ(BrandInfo.APPNAME, "Before");
}

TEST_F(BrandTest, ATextBlockLargerThanItsBoundIsRefusedUnreadAndTheRestIsRead) {
    // Lines padded to the bound's size and one byte more: the first is read, the second refused
    // (its lines never applied), and the block after it is read.
    const auto padded = [](const std::string& lines, std::size_t size) {
        return lines + std::string(size - lines.size(), ' ');
    };
    std::istringstream in(Env(padded("TEL=at-bound\r\n", kMaxBrandEnvSize)) +
                          Env(padded("APPNAME=Huge\r\n", kMaxBrandEnvSize + 1)) +
                          Env("WEB=www.after.example\r\n") +
                          Env(padded("APPNAME=Huge\r\n", kMaxBrandEnvSize + 2)));
    const std::string refused = ReadBrandRecords(in);
    EXPECT_EQ(BrandInfo.APPNAME, "Quorvik");
    EXPECT_EQ(BrandInfo.WEB, "www.after.example");
    const std::string offset = std::to_string(kBrandRecordHeaderSize + kMaxBrandEnvSize);
    EXPECT_NE(refused.find("offset " + offset), std::string::npos) << refused;
    EXPECT_NE(refused.find(std::to_string(kMaxBrandEnvSize + 1) + " bytes"), std::string::npos)
        << refused;
    EXPECT_EQ(refused.rfind("2 text blocks were skipped", 0), 0u) << refused;

    // Within the bound nothing is refused, and the block is applied.
    BrandInfo = TBrandInfo{};
    std::istringstream fine(Env(padded("TEL=at-bound\r\n", kMaxBrandEnvSize)));
    EXPECT_EQ(ReadBrandRecords(fine), "");
    EXPECT_EQ(BrandInfo.TEL, "at-bound");
}

TEST_F(BrandTest, TruncatedInputReadsOnlyWholeRecords) {
    struct Case {
        std::string bytes;
        const char* appName; // an incomplete header changes nothing; a block resets to defaults
    };
    for (const Case& c :
         {Case{"", "Old"}, Case{"_EN", "Old"}, Case{std::string("_ENV\x05\0\0", 7), "Old"},
          Case{Record("_ENV", ""), "Quorvik"}, Case{Record("_ENV", "APPNAME="), "Quorvik"}}) {
        SCOPED_TRACE(c.bytes.size());
        BrandInfo = TBrandInfo{};
        BrandInfo.APPNAME = "Old";
        Read(c.bytes);
        EXPECT_EQ(BrandInfo.APPNAME, c.appName);
    }
}

TEST_F(BrandTest, FilesAreReadAndPicturesNeverWritten) {
    char folder[] = "/tmp/brand-test-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string dir = folder;
    const std::string path = dir + "/Quorvik.abt";
    {
        std::ofstream out(path, std::ios::binary);
        out << Record("_IMG", std::string(1000, '\x42')) << Env("APPNAME=FromFile\r\n");
    }
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    EXPECT_EQ(ReadAboutFile(path), "");
    EXPECT_EQ(ReadAboutFile(dir + "/missing.abt"), ""); // no file: BrandInfo stays
    std::filesystem::current_path(previous);

    EXPECT_EQ(BrandInfo.APPNAME, "FromFile");
    // A refused block is told with the file's name.
    {
        std::ofstream out(dir + "/big.abt", std::ios::binary);
        out << Record("_ENV", std::string(kMaxBrandEnvSize + 1, ' '));
    }
    const std::string told = ReadAboutFile(dir + "/big.abt");
    EXPECT_EQ(told.rfind("The branding file " + dir + "/big.abt", 0), 0u) << told;
    std::filesystem::remove(dir + "/big.abt");
    // A pipe in its place is refused at once (never waited on for a writer), and told.
    ASSERT_EQ(::mkfifo((dir + "/pipe.abt").c_str(), 0600), 0);
    const std::string pipe = ReadAboutFile(dir + "/pipe.abt");
    EXPECT_EQ(pipe.rfind("The branding file " + dir + "/pipe.abt is not a regular file", 0), 0u)
        << pipe;
    std::filesystem::remove(dir + "/pipe.abt");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 1) << "the reader left a file behind";
    std::filesystem::remove_all(dir);
}

TEST(BrandLinks, OnlyWebAndMailAddressesAreOpened) {
    struct Case {
        const char* web;
        const char* url;
    };
    for (const Case& c : {Case{"www.example.com", "http://www.example.com"},
                          Case{"http://example.com/a", "http://example.com/a"},
                          Case{"HTTPS://example.com", "HTTPS://example.com"},
                          Case{"www.example.com:8080/x", "http://www.example.com:8080/x"},
                          Case{"file:///etc/passwd", ""}, Case{"javascript:alert(1)", ""},
                          Case{"smb://host/share", ""}, Case{"http:example.com", ""},
                          Case{"www.example.com/a b", ""}, Case{"", ""}}) {
        EXPECT_EQ(BrandWebUrl(c.web), c.url) << c.web;
    }
    struct MailCase {
        const char* email;
        const char* url;
    };
    for (const MailCase& c : {MailCase{"info@example.com", "mailto:info@example.com"},
                              MailCase{"", ""}, MailCase{"info", ""}, MailCase{"@example.com", ""},
                              MailCase{"a@b@c", ""}, MailCase{"a@b.com?attach=/etc/passwd", ""},
                              MailCase{"a b@c.com", ""}, MailCase{"a@c.com\r\nX", ""}}) {
        EXPECT_EQ(BrandMailUrl(c.email), c.url) << c.email;
    }
}

} // namespace
