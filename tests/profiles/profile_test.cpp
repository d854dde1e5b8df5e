// Settings profiles: extraction of the archive's single entry (cross-checked with the zip and
// unzip programs), refusal of hostile archives, header strip and restore, recognition, and the
// summaries of every section combination in both encodings and both network layouts, with
// damaged bodies refused with a reason.
#include "profile.h"
#include "profile_builder.h"
#include "profile_sections.h"
#include "unzip/unzip.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using namespace profiletest;
namespace fs = std::filesystem;

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A parent holding the work folder, so that nothing may appear beside it.
        std::string base = (fs::temp_directory_path() / "profile_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(base.data()), nullptr);
        parent_ = base;
        work_ = parent_ + "/work";
        fs::create_directory(work_);
    }
    void TearDown() override { fs::remove_all(parent_); }

    std::string Path(const std::string& name) const { return work_ + "/" + name; }
    // Every file under the parent folder, relative to it.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(parent_))
            if (!entry.is_directory()) names.push_back(fs::relative(entry.path(), parent_));
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string parent_;
    std::string work_;
};

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ProfileFileTest, OurArchiveIsReadByUnzipAndZipsArchiveIsReadByUs) {
    const Bytes body = Body(true, 0x7F);
    // Made with libzip under the program's password, read back by unzip and by our code.
    WriteArchive(Path("ours.zip"), {{"config.bin", body}}, kPassword);
    ASSERT_EQ(Shell("unzip -qq -P '" + std::string(kPassword) + "' -p " + Path("ours.zip") + " > " +
                    Path("by_unzip")),
              0);
    EXPECT_EQ(ReadFile(Path("by_unzip")), body);
    auto result = platform::ExtractSingleEntry(Path("ours.zip"), kPassword, Path("out"), 1 << 20);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ReadFile(Path("out")), body);
    EXPECT_EQ(result.size, body.size());

    // Made by zip, with a stored name of its own choosing, read by our code.
    WriteFile(Path("plain.bin"), body);
    ASSERT_EQ(Shell("cd " + work_ + " && zip -qj -P '" + std::string(kPassword) + "' theirs.zip " +
                    "plain.bin"),
              0);
    result = platform::ExtractSingleEntry(Path("theirs.zip"), kPassword, Path("out2"), 1 << 20);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(ReadFile(Path("out2")), body);
}

TEST_F(ProfileFileTest, HostileArchivesAreRefusedWithoutFilesOutsideTheWorkFolder) {
    const Bytes body = Body(false, 0x3F);
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, Bytes>> entries;
        std::string password;        // the password the archive is made with
        std::uint64_t cap = 1 << 20; // the largest entry taken
        bool cutInHalf = false;      // the archive loses its second half
        bool extracted = false;      // the entry is taken (to our path, under our name)
        const char* reason = "";     // a part of the refusal's reason
    };
    const Case cases[] = {
        {"wrong password", {{"c", body}}, "not-the-password", 1 << 20, false, false, ""},
        {"two entries", {{"a", body}, {"b", body}}, kPassword, 1 << 20, false, false, "2 entries"},
        {"no entry", {}, kPassword, 1 << 20, false, false, ""},
        {"parent name", {{"../x", body}}, kPassword, 1 << 20, false, true, ""},
        {"absolute name", {{"/tmp/x", body}}, kPassword, 1 << 20, false, true, ""},
        {"oversized", {{"c", body}}, kPassword, body.size() - 1, false, false, "larger"},
        {"truncated", {{"c", body}}, kPassword, 1 << 20, true, false, "cannot be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string zip = Path("hostile.zip");
        if (c.entries.empty()) {
            // An empty archive: the 22-byte end record alone.
            Bytes end(22, 0);
            PutU32(end, 0, 0x06054b50);
            WriteFile(zip, end);
        } else {
            WriteArchive(zip, c.entries, c.password);
        }
        if (c.cutInHalf) fs::resize_file(zip, fs::file_size(zip) / 2);
        const auto result = platform::ExtractSingleEntry(zip, kPassword, Path("out"), c.cap);
        EXPECT_EQ(result.ok, c.extracted) << result.error;
        if (c.extracted) {
            EXPECT_EQ(ReadFile(Path("out")), body);
        } else {
            EXPECT_NE(result.error.find(c.reason), std::string::npos) << result.error;
            EXPECT_FALSE(fs::exists(Path("out")));
        }
        EXPECT_FALSE(fs::exists(parent_ + "/x"));
        EXPECT_FALSE(fs::exists(work_ + "/x"));
        fs::remove(Path("out"));
        fs::remove(zip);
        EXPECT_TRUE(Files().empty()) << Files().front();
    }
}

TEST_F(ProfileFileTest, DamagedEntryFailsItsChecksAndReplacesNothing) {
    // A stored (uncompressed) entry whose bytes are changed in the archive: with the password's
    // check byte intact, only the CRC tells.
    Bytes body(5000);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<std::uint8_t>(i * 31);
    WriteArchive(Path("a.zip"), {{"c", body}}, kPassword, true);
    Bytes archive = ReadFile(Path("a.zip"));
    archive[30 + 1 + 12 + 2000] ^= 0x5A; // local header, name "c", encryption header, data
    WriteFile(Path("a.zip"), archive);
    WriteFile(Path("out"), {1, 2, 3});
    const auto result =
        platform::ExtractSingleEntry(Path("a.zip"), kPassword, Path("out"), 1 << 20);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(ProfileFileTest, StripAndRestoreAreByteIdentical) {
    const Bytes profile = MakeProfileFile(work_, true, 0x3A);
    WriteFile(Path("in.cfg"), profile);
    ProfileHeader header{};
    ASSERT_EQ(StripProfileHeader(Path("in.cfg"), header, Path("a.zip")), 0);
    EXPECT_EQ(Bytes(header.begin(), header.end()), Bytes(profile.begin(), profile.begin() + 256));
    EXPECT_EQ(ReadFile(Path("a.zip")), Bytes(profile.begin() + 256, profile.end()));
    ASSERT_EQ(AddProfileHeader(header, Path("a.zip"), Path("back.cfg")), 0);
    EXPECT_EQ(ReadFile(Path("back.cfg")), profile);

    // Chunk edges: bodies of 0, 1999, 2000, 2001 and 4000 bytes.
    for (std::size_t size : {0u, 1999u, 2000u, 2001u, 4000u}) {
        Bytes file = Header(false, 0);
        for (std::size_t i = 0; i < size; ++i)
            file.push_back(static_cast<std::uint8_t>(i));
        WriteFile(Path("s.cfg"), file);
        ASSERT_EQ(StripProfileHeader(Path("s.cfg"), header, Path("s.zip")), 0);
        EXPECT_EQ(ReadFile(Path("s.zip")).size(), size);
        ASSERT_EQ(AddProfileHeader(header, Path("s.zip"), Path("s2.cfg")), 0);
        EXPECT_EQ(ReadFile(Path("s2.cfg")), file);
    }

    // Shorter than a header, or missing: refused, nothing written.
    WriteFile(Path("short.cfg"), Bytes(255, 0));
    EXPECT_EQ(StripProfileHeader(Path("short.cfg"), header, Path("none.zip")), -1);
    EXPECT_EQ(StripProfileHeader(Path("missing.cfg"), header, Path("none.zip")), -1);
    EXPECT_EQ(AddProfileHeader(header, Path("missing.bin"), Path("none.cfg")), -1);
    EXPECT_FALSE(fs::exists(Path("none.zip")));
    EXPECT_FALSE(fs::exists(Path("none.cfg")));
}

TEST_F(ProfileFileTest, OnlyBothMagicsMakeAProfile) {
    struct Case {
        Bytes bytes;
        bool profile;
    };
    Bytes other = Header(true, 0);
    PutU32(other, 0, 0x18A94CF3);
    const Bytes utf8 = Header(true, 0);
    const Bytes cut(utf8.begin(), utf8.begin() + 255);
    const Case cases[] = {{Header(true, 0), true},
                          {Header(false, 0xFF), true},
                          {other, false},
                          {cut, false},
                          {{}, false}};
    for (const Case& c : cases) {
        WriteFile(Path("p.cfg"), c.bytes);
        EXPECT_EQ(IsProfileFile(Path("p.cfg")), c.profile) << c.bytes.size();
        // The parser refuses what is not a profile, with a reason.
        if (!c.profile) {
            ProfileSummary summary;
            std::string error;
            EXPECT_FALSE(ParseProfileFile(Path("p.cfg"), summary, error));
            EXPECT_FALSE(error.empty());
        }
    }
    EXPECT_FALSE(IsProfileFile(Path("missing.cfg")));
    EXPECT_FALSE(IsProfileFile(work_)); // a folder
}

// Sizes are checked before anything is read: a sparse file far larger than a profile costs
// nothing to refuse, and the refusal says why.
TEST_F(ProfileFileTest, FilesLargerThanAProfileAreRefusedBeforeTheyAreRead) {
    const std::uint64_t parseLimit = kProfileHeaderSize + kMaxProfileBodySize;
    struct Case {
        std::uint64_t size;
        bool parseRefusesSize;
        bool fileTooLarge;
    };
    const Case cases[] = {{parseLimit, false, false},
                          {parseLimit + 1, true, false},
                          {kMaxProfileFileSize, true, false},
                          {kMaxProfileFileSize + 1, true, true},
                          {8ull << 30, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        WriteFile(Path("big.cfg"), Header(true, 0));
        fs::resize_file(Path("big.cfg"), c.size);
        ProfileSummary summary;
        std::string error;
        // At the bound the file is read (its zero body parses or not on its own merits).
        const bool parsed = ParseProfileFile(Path("big.cfg"), summary, error);
        EXPECT_EQ(parsed, error.empty());
        if (c.parseRefusesSize) {
            EXPECT_FALSE(parsed);
        }
        EXPECT_EQ(error.find("larger than a profile can be") != std::string::npos,
                  c.parseRefusesSize)
            << error;
        const std::string problem = ProfileSizeProblem(Path("big.cfg"));
        EXPECT_EQ(!problem.empty(), c.fileTooLarge);
        if (c.fileTooLarge) {
            EXPECT_NE(problem.find(Path("big.cfg")), std::string::npos);
        }
    }
    EXPECT_EQ(ProfileSizeProblem(Path("missing.cfg")), "");
}

TEST(ProfileSections, SummariesOfEveryFlagCombinationInBothEncodings) {
    for (bool utf8 : {true, false}) {
        for (unsigned flags = 0; flags < 0x80; ++flags) {
            SCOPED_TRACE((utf8 ? "UTF-8 flags " : "code page flags ") + std::to_string(flags));
            Bytes data = Header(utf8, static_cast<std::uint8_t>(flags));
            Append(data, Body(utf8, static_cast<std::uint8_t>(flags)));
            ProfileSummary summary;
            std::string error;
            ASSERT_TRUE(ParseProfileData(data.data(), data.size(), summary, error)) << error;
            const Lines expected = ExpectedLines(utf8, static_cast<std::uint8_t>(flags));
            EXPECT_EQ(summary.Utf8, utf8);
            EXPECT_EQ(summary.Flags, flags);
            EXPECT_EQ(summary.Network, expected.network);
            EXPECT_EQ(summary.Backup, expected.backup);
            EXPECT_EQ(summary.Users, expected.users);
            EXPECT_EQ(summary.Security, expected.security);
        }
    }
}

TEST(ProfileSections, ShortOrOvercountedBodiesStopWithAReason) {
    for (bool utf8 : {true, false}) {
        Bytes full = Header(utf8, 0x7F);
        Append(full, Body(utf8, 0x7F));
        // Every cut ends the parse with a reason (and never reads past the end).
        for (std::size_t size = 0; size < full.size(); size += 97) {
            ProfileSummary summary;
            std::string error;
            EXPECT_FALSE(ParseProfileData(full.data(), size, summary, error)) << size;
            EXPECT_FALSE(error.empty());
        }
    }

    struct Case {
        const char* name;
        std::uint8_t flags;
        std::size_t countOffset; // within the body
        unsigned width;          // 2 or 4
        std::uint32_t count;
        const char* reason;
    };
    // Body offsets with flags 0: user head at 0 (count at 22).
    // With flags 0x20: backup head at 0 (count at 4).
    // With flags 0x08: user block (64 + 4 x 1536 code-page records), counted block, ACL head.
    const std::size_t users = 64 + 4 * 1536;
    const Case cases[] = {
        {"users", 0x00, 22, 4, 0xFFFFFFFFu, "user records"},
        {"tapes", 0x20, 4, 4, 0x7FFFFFFFu, "tape entries"},
        {"counted", 0x08, users, 4, 0x10000000u, "records"},
        {"backup points", 0x08, users + 4 + 2 * 516 + 6, 2, 0xFFFF, "backup points"},
        {"acl paths", 0x08, users + 4 + 2 * 516 + 8 + 2, 2, 0xFFFF, "access-list paths"},
        {"share groups", 0x10, users + 4 + 2 * 516 + 6, 2, 0xFFFF, "share groups"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes body = Body(false, c.flags);
        if (c.width == 4)
            PutU32(body, c.countOffset, c.count);
        else
            PutU16(body, c.countOffset, c.count);
        Bytes data = Header(false, c.flags);
        Append(data, body);
        ProfileSummary summary;
        std::string error;
        EXPECT_FALSE(ParseProfileData(data.data(), data.size(), summary, error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find("declares"), std::string::npos) << error;
    }
}

TEST(ProfileSections, TextsAreBoundedByTheirFieldsAndCutToWholeCharacters) {
    // Fields without a terminator, filled with a two-byte character whose last copy is cut by
    // the field's end; a share comment longer than 255 bytes.
    Bytes body = Body(true, 0x12);
    std::string fill;
    while (fill.size() < 600)
        fill += "\xC3\xA9";
    // Name field 23..54: "A", 15 characters and the first byte of a 16th.
    PutText(body, 23, "A" + fill.substr(0, 32));
    const std::size_t shareAt = 10240 + 64 + 4 * 2820 + 4 + 2 * 516 + 8 + 516;
    PutText(body, shareAt + 60, fill.substr(0, 572));
    Bytes data = Header(true, 0x12);
    Append(data, body);
    ProfileSummary summary;
    std::string error;
    ASSERT_TRUE(ParseProfileData(data.data(), data.size(), summary, error)) << error;
    std::string name = "A";
    for (int i = 0; i < 15; ++i)
        name += "\xC3\xA9";
    EXPECT_EQ(summary.Network[0], "Server Name     : " + name);
    const std::string comment = summary.Security[2];
    EXPECT_EQ(comment.rfind("Share Comment: ", 0), 0u);
    EXPECT_EQ(comment.size(), std::string("Share Comment: ").size() + 254); // 127 characters
}

} // namespace
