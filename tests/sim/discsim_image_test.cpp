// Discs from image files: ".iso" user-data images and raw images with a description file.
#include "discsim.h"
#include "discsim_test_support.h"
#include "sector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace discsim;
using discsim_test::ExpectGood;
using discsim_test::ExpectSense;
using discsim_test::Read10;
using discsim_test::ReadCd;
using discsim_test::ReadToc;
using discsim_test::Send;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

class DiscsimImage : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "discsim-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path.string();
    }
    fs::path dir_;
};

Bytes UserData(std::uint32_t lba) {
    Bytes b(kUserDataSize);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = std::uint8_t(lba * 3 + i);
    return b;
}

TEST_F(DiscsimImage, IsoFileIsOneDataTrack) {
    std::string bytes;
    for (std::uint32_t lba = 0; lba < 40; ++lba) {
        const Bytes b = UserData(lba);
        bytes.append(b.begin(), b.end());
    }
    bytes.append(100, '\x5A'); // a partial last sector reads padded with zeros
    std::string error;
    auto disc = LoadImage(write("disc.ISO", bytes), &error);
    ASSERT_TRUE(disc) << error;
    Drive drive(std::move(*disc));

    EXPECT_EQ(Send(drive, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}).data,
              (Bytes{0, 0, 0, 40, 0, 0, 0x08, 0}));
    EXPECT_EQ(Send(drive, ReadToc(0, false, 4096)).data,
              (Bytes{0x00, 0x12, 1, 1, 0, 0x14, 1, 0, 0, 0, 0, 0, 0, 0x14, 0xAA, 0, 0, 0, 0, 41}));
    const auto r = Send(drive, Read10(38, 3), 3 * 2048);
    ExpectGood(r.completion);
    EXPECT_EQ(Bytes(r.data.begin(), r.data.begin() + 2048), UserData(38));
    EXPECT_EQ(r.data[2 * 2048 + 99], 0x5A);
    EXPECT_EQ(r.data[2 * 2048 + 100], 0x00);

    // READ CD makes the whole mode 1 sector around the stored user data.
    const auto raw = Send(drive, ReadCd(7, 1), 2352);
    Bytes expected(2352);
    const Bytes user = UserData(7);
    EncodeMode1Sector(7, user.data(), expected.data());
    EXPECT_EQ(raw.data, expected);
}

TEST_F(DiscsimImage, UnusableIsoFilesAreRefused) {
    std::string error;
    EXPECT_FALSE(LoadIsoImage(write("empty.iso", ""), &error));
    EXPECT_NE(error.find("empty image"), std::string::npos) << error;
    EXPECT_FALSE(LoadIsoImage((dir_ / "missing.iso").string(), &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    EXPECT_FALSE(LoadIsoImage(dir_.string(), &error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

TEST_F(DiscsimImage, RawImageWithTwoSessions) {
    // Session 1: data track 1 (20 sectors), audio track 2 (10); session 2: mode 2 track 3 (20).
    std::string image;
    std::vector<Bytes> stored;
    const auto add = [&](const Bytes& sector) {
        stored.push_back(sector);
        image.append(sector.begin(), sector.end());
    };
    for (std::uint32_t lba = 0; lba < 20; ++lba) {
        Bytes s(2352);
        EncodeMode1Sector(lba, UserData(lba).data(), s.data());
        add(s);
    }
    for (std::uint32_t lba = 20; lba < 30; ++lba)
        add(Bytes(2352, std::uint8_t(lba)));
    const std::uint8_t subheader[4] = {0, 0, 0x08, 0};
    for (std::uint32_t lba = 11430; lba < 11450; ++lba) {
        Bytes s(2352);
        EncodeMode2Form1Sector(lba, subheader, UserData(lba).data(), s.data());
        add(s);
    }
    write("disc.bin", image);
    const std::string description = write("disc.disc", "# two sessions\n"
                                                       "image disc.bin\n"
                                                       "session 1\n"
                                                       "  track 1 mode1 0\n"
                                                       "  track 2 AUDIO 20   # samples\n"
                                                       "leadout 30\n"
                                                       "session 2\n"
                                                       "track 3 mode2 11430\n"
                                                       "leadout 11450\n");
    std::string error;
    auto disc = LoadImage(description, &error);
    ASSERT_TRUE(disc) << error;
    EXPECT_EQ(disc->mediumType, 0x03);
    Drive drive(std::move(*disc));

    EXPECT_EQ(Send(drive, ReadCd(5, 1), 2352).data, stored[5]);
    EXPECT_EQ(Send(drive, ReadCd(25, 1), 2352).data, stored[25]);
    EXPECT_EQ(Send(drive, ReadCd(11431, 1), 2352).data, stored[31]);
    EXPECT_EQ(Send(drive, Read10(5, 1)).data, UserData(5));
    EXPECT_EQ(Send(drive, Read10(11431, 1)).data, UserData(11431));
    ExpectSense(Send(drive, Read10(100, 1)).completion, 5, 0x21, 0); // between the sessions
    ExpectSense(Send(drive, Read10(25, 1)).completion, 5, 0x64, 0);

    const auto toc = Send(drive, ReadToc(2, true, 4096));
    ASSERT_EQ(toc.data.size(), 4u + 9 * 11);
    EXPECT_EQ(toc.data[4 + 5 * 11 + 9], 0x20); // session 2 is CD-XA
    EXPECT_EQ(Send(drive, ReadToc(1, false, 12)).data,
              (Bytes{0, 0x0A, 1, 2, 0, 0x14, 3, 0, 0, 0, 0x2C, 0xA6}));
}

TEST_F(DiscsimImage, BadDescriptionsAreRefusedWithTheLine) {
    write("one.bin", std::string(10 * 2352, '\0'));
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"image one.bin\nsession 1\ntrack 2 mode1 0\nleadout 10\n", ":3: track number 1 expected"},
        {"image one.bin\nsession 1\ntrack 1 mode1 0\n", "last session has no leadout"},
        {"image one.bin\nsession 2\n", ":2: sessions must be numbered"},
        {"image one.bin\nsession 1\ntrack 1 mode3 0\n", ":3: unknown track mode"},
        {"image one.bin\nsession 1\ntrack 1 mode1 0x0\n", ":3: expected: track"},
        {"image one.bin\nsession 1\ntrack 1 mode1 5\ntrack 2 audio 5\nleadout 9\n",
         ":4: track starts before"},
        {"image one.bin\nsession 1\ntrack 1 mode1 0\nleadout 0\n", ":4: leadout before"},
        {"image one.bin\nsession 1\ntrack 1 mode1 0\nleadout 999999999\n", "99:59:74"},
        {"image one.bin\nsession 1\ntrack 1 mode1 0\nleadout 10\nsession 2\ntrack 2 mode1 5\n",
         ":6: track starts before"},
        {"image one.bin\nsession 1\ntrack 1 mode1 0\nleadout 11\n", "the description needs 25872"},
        {"session 1\ntrack 1 mode1 0\nleadout 10\n", "no image line"},
        {"image missing.bin\nsession 1\ntrack 1 mode1 0\nleadout 10\n", "missing.bin"},
        {"image one.bin\nsession 1 dvd\n", ":2: unknown session type"},
        {"frobnicate\n", ":1: unknown keyword"},
        {"", "no session"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(LoadRawImage(write("bad.disc", c.text), &error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.text << " -> " << error;
    }
    std::string error;
    EXPECT_TRUE(LoadRawImage(write("good.disc", "image one.bin\nsession 1 cdi\ntrack 1 mode2 0\n"
                                                "leadout 10\n"),
                             &error))
        << error;
}

} // namespace
