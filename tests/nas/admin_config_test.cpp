// Administration requests and the configuration-file transfer against a simulated unit: request
// bytes as the layouts define them, the unit's verdicts, and every way a transfer can fail.
#include "config_transfer.h"
#include "nasapi.h"
#include "query_fixtures.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using nastest::Bytes;
using nastest::Ipv4;
using std::chrono::milliseconds;

const std::string kConfigPassword = "@QrTv@@pLmN@"; // what the program sends
const std::string kAdminPassword = "Adm1n-pass";

uint16_t U16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t U32(const Bytes& b, size_t at) {
    return static_cast<uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24);
}
Bytes Slice(const Bytes& b, size_t at, size_t size) {
    return Bytes(b.begin() + at, b.begin() + at + size);
}
Bytes DigestOf(const std::string& password) {
    auto digest = nassim::PasswordDigest(password);
    return Bytes(digest.begin(), digest.end());
}

// A private folder that goes away with the test.
class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "nas-config-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string file(const char* name) const {
        return (std::filesystem::path(path_) / name).string();
    }

private:
    std::string path_;
};

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The failed steps the library reported, in order.
struct Steps {
    std::shared_ptr<std::vector<int>> seen = std::make_shared<std::vector<int>>();
    nas::Notifier notifier() const {
        auto target = seen;
        return [target](int step) { target->push_back(step); };
    }
};

TEST(AdminRequest, PasswordCheckAndShutdownCarryLengthDigestAndMode) {
    nastest::QueryUnit u(Ipv4(127, 0, 82, 2));
    nastest::ScopedNetConfig scope(u.netConfig());
    u.unit.setAdminPassword(kAdminPassword);
    EXPECT_EQ(NasApiCheckPassword(u.addrs.data(), kAdminPassword.c_str()), 0);
    EXPECT_EQ(NasApiShutdown(u.addrs.data(), 2, kAdminPassword.c_str()), 0);

    for (uint16_t command : {6, 7}) {
        auto requests = u.unit.requestsFor(command);
        ASSERT_EQ(requests.size(), 1u);
        const Bytes& b = requests[0].bytes;
        EXPECT_EQ(requests[0].problem, "");
        ASSERT_EQ(b.size(), 60u);
        EXPECT_EQ(U16(b, 18), 1);   // flags
        EXPECT_EQ(U32(b, 20), 28u); // payload length
        EXPECT_EQ(U16(b, 24), command);
        EXPECT_EQ(U16(b, 30), command == 7 ? 2 : 0); // shut-down mode
        EXPECT_EQ(U32(b, 32), 3u);                   // sub-code
        EXPECT_EQ(U32(b, 36), 20u);                  // data length
        EXPECT_EQ(U16(b, 40), 0);
        EXPECT_EQ(U16(b, 42), kAdminPassword.size());
        EXPECT_EQ(Slice(b, 44, 16), DigestOf(kAdminPassword));
    }
}

TEST(AdminRequest, VerdictsOfTheUnitAndFailures) {
    nastest::QueryUnit u(Ipv4(127, 0, 82, 3));
    nas::NetConfig config = u.netConfig();
    config.oneShotReplyMs = 1500;
    nastest::ScopedNetConfig scope(config);
    u.unit.setAdminPassword(kAdminPassword);
    struct Case {
        const char* name;
        std::string password;
        std::optional<nassim::CommandFault> fault;
        int result;
        size_t requests; // reaching the unit
    };
    nassim::CommandFault otherCommand;
    otherCommand.replyCommand = 9;
    nassim::CommandFault negative;
    negative.status = -2;
    nassim::CommandFault late;
    late.delay = milliseconds(5000);
    nassim::CommandFault cut;
    cut.cutAfter = 20;
    // Units declare payload lengths that differ from what they send.
    nassim::CommandFault declaresEight;
    declaresEight.payloadLength = 8;
    nassim::CommandFault declares256;
    declares256.payloadLength = 256;
    declares256.status = 6;
    nassim::CommandFault moreThanDeclared;
    moreThanDeclared.extraBytes = 8;
    nassim::CommandFault inPieces;
    inPieces.fragmentBytes = 5;
    const std::vector<Case> cases = {
        {"right", kAdminPassword, std::nullopt, 0, 1},
        {"wrong", "guess", std::nullopt, nassim::kStatusInvalidPassword, 1},
        {"empty", "", std::nullopt, nassim::kStatusInvalidPassword, 1},
        {"reply to another command", kAdminPassword, otherCommand, -1, 1},
        {"negative status", kAdminPassword, negative, -2, 1},
        {"no reply in time", kAdminPassword, late, -1, 1},
        {"reply cut short", kAdminPassword, cut, -1, 1},
        {"reply declares 8 bytes that never come", kAdminPassword, declaresEight, 0, 1},
        {"reply declares 256 bytes that never come", kAdminPassword, declares256, 6, 1},
        {"reply brings 8 bytes it does not declare", kAdminPassword, moreThanDeclared, 0, 1},
        {"reply in pieces of 5 bytes", "guess", inPieces, nassim::kStatusInvalidPassword, 1},
        {"password longer than 80", std::string(81, 'p'), std::nullopt, -1, 0},
    };
    for (const Case& c : cases) {
        for (int command : {6, 7}) {
            SCOPED_TRACE(std::string(c.name) + (command == 6 ? " check" : " shut-down"));
            u.unit.clearRecords();
            u.unit.clearCommandFaults();
            if (c.fault) u.unit.addCommandFault(*c.fault);
            const auto start = std::chrono::steady_clock::now();
            int result = command == 6 ? NasApiCheckPassword(u.addrs.data(), c.password.c_str())
                                      : NasApiShutdown(u.addrs.data(), 1, c.password.c_str());
            EXPECT_EQ(result, c.result);
            EXPECT_LT(nastest::MsSinceStart(start), 4500); // the reply wait is 1500 ms
            EXPECT_EQ(u.unit.requestsFor(static_cast<uint16_t>(command)).size(), c.requests);
        }
    }
    uint32_t none[3] = {0, 0, 0};
    EXPECT_EQ(NasApiCheckPassword(none, kAdminPassword.c_str()), -1);
}

TEST(UserCheck, AccountsAreCheckedInASessionOfTheirOwn) {
    nastest::QueryUnit u(Ipv4(127, 0, 82, 4));
    nastest::ScopedNetConfig scope(u.netConfig());
    u.unit.setUsers({{"alice", "wonder"}, {std::string(31, 'u'), "long"}});
    struct Case {
        const char* name;
        std::string user;
        std::string password;
        std::optional<size_t> cutAfter;
        int result;
        size_t requests;
    };
    for (const Case& c : std::vector<Case>{
             {"accepted", "alice", "wonder", std::nullopt, 0, 1},
             {"31-character name", std::string(31, 'u'), "long", std::nullopt, 0, 1},
             {"wrong password", "alice", "w0nder", std::nullopt, nassim::kStatusInvalidPassword, 1},
             {"unknown account", "bob", "wonder", std::nullopt, nassim::kStatusInvalidUser, 1},
             {"reply cut short", "alice", "wonder", 12u, -1, 1},
             {"name longer than its field", std::string(32, 'u'), "long", std::nullopt, -1, 0},
             {"password longer than 80", "alice", std::string(81, 'w'), std::nullopt, -1, 0},
         }) {
        SCOPED_TRACE(c.name);
        u.unit.clearRecords();
        u.unit.clearCommandFaults();
        if (c.cutAfter) {
            nassim::CommandFault cut;
            cut.cutAfter = c.cutAfter;
            u.unit.addCommandFault(cut);
        }
        EXPECT_EQ(NasApiCheckUserPassword(u.addrs.data(), c.user.c_str(), c.password.c_str()),
                  c.result);
        auto requests = u.unit.requestsFor(20);
        ASSERT_EQ(requests.size(), c.requests);
        if (c.requests == 0) continue;
        const Bytes& b = requests[0].bytes;
        EXPECT_EQ(requests[0].problem, "");
        ASSERT_EQ(b.size(), 92u);
        EXPECT_EQ(U32(b, 20), 60u); // payload: sub-header and data
        EXPECT_EQ(U32(b, 32), 16u);
        EXPECT_EQ(U32(b, 36), 52u);
        Bytes name = Slice(b, 40, 32);
        EXPECT_EQ(std::string(name.begin(), name.begin() + c.user.size()), c.user);
        EXPECT_EQ(Bytes(name.begin() + c.user.size(), name.end()), Bytes(32 - c.user.size(), 0));
        EXPECT_EQ(Slice(b, 72, 16), DigestOf(c.password));
        EXPECT_EQ(Slice(b, 88, 4), Bytes(4, 0));
    }
}

// A settings file of 1 MiB travels both ways unchanged.
TEST(ConfigTransfer, OneMebibyteRoundTripIsByteIdentical) {
    nastest::QueryUnit u(Ipv4(127, 0, 82, 5));
    nastest::ScopedNetConfig scope(u.netConfig());
    TempDir dir;
    u.unit.setAdminPassword(kAdminPassword);
    u.unit.setConfigPassword(kConfigPassword);
    const Bytes stored = nastest::Pattern(1 << 20, 1);
    u.unit.setConfigFile(stored);

    const std::string readPath = dir.file("read.cfg");
    ASSERT_EQ(NasApiGetConfig(u.addrs.data(), readPath.c_str(), kConfigPassword.c_str()), 0);
    EXPECT_TRUE(ReadFile(readPath) == stored) << "file read differs from the unit's";

    const Bytes edited = nastest::Pattern(1 << 20, 2);
    const std::string writePath = dir.file("write.cfg");
    WriteFile(writePath, edited);
    ASSERT_EQ(NasApiSetConfig(u.addrs.data(), kAdminPassword.c_str(), kConfigPassword.c_str(), 0x2D,
                              writePath.c_str()),
              0);
    EXPECT_TRUE(u.unit.configFile() == edited) << "file stored differs from the one sent";
    EXPECT_EQ(u.unit.state().configValue, 0x2Du);

    auto reads = u.unit.requestsFor(4);
    ASSERT_EQ(reads.size(), 1u);
    const Bytes& r = reads[0].bytes;
    ASSERT_EQ(r.size(), 106u);
    EXPECT_EQ(U32(r, 20), 74u);
    EXPECT_EQ(U32(r, 32), 6u);
    EXPECT_EQ(U32(r, 36), 66u);
    EXPECT_EQ(U16(r, 40), kConfigPassword.size());
    const std::string text = "QFFyVHZAQHBMbU5A"; // Base64 of the password
    EXPECT_EQ(std::string(r.begin() + 42, r.begin() + 42 + text.size()), text);
    EXPECT_EQ(Bytes(r.begin() + 42 + text.size(), r.end()), Bytes(64 - text.size(), 0));

    auto writes = u.unit.requestsFor(5);
    ASSERT_EQ(writes.size(), 1u);
    const Bytes& w = writes[0].bytes;
    EXPECT_EQ(writes[0].problem, "");
    ASSERT_EQ(w.size(), 130u + edited.size());
    EXPECT_EQ(U32(w, 20), edited.size() + 98);
    EXPECT_EQ(U16(w, 30), 1);
    EXPECT_EQ(U32(w, 32), 5u);
    EXPECT_EQ(U32(w, 36), edited.size() + 90);
    EXPECT_EQ(U16(w, 40), 0);
    EXPECT_EQ(U16(w, 42), kAdminPassword.size());
    EXPECT_EQ(Slice(w, 44, 16), DigestOf(kAdminPassword));
    EXPECT_EQ(U16(w, 60), kConfigPassword.size());
    EXPECT_EQ(std::string(w.begin() + 62, w.begin() + 62 + text.size()), text);
    EXPECT_EQ(U32(w, 126), 0x2Du);
}

TEST(ConfigTransfer, ReadWithAnEmptyPasswordSendsLengthZeroAndNoText) {
    nastest::QueryUnit u(Ipv4(127, 0, 82, 6));
    nastest::ScopedNetConfig scope(u.netConfig());
    TempDir dir;
    u.unit.setConfigFile(nastest::Pattern(300, 3));
    ASSERT_EQ(NasApiGetConfig(u.addrs.data(), dir.file("a.cfg").c_str(), ""), 0);
    EXPECT_EQ(ReadFile(dir.file("a.cfg")), nastest::Pattern(300, 3));
    auto reads = u.unit.requestsFor(4);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0].problem, "");
    EXPECT_EQ(Bytes(reads[0].bytes.begin() + 40, reads[0].bytes.end()), Bytes(66, 0));
}

// Every way a configuration read can end: the result, what the file at the path holds afterwards
// and the failed steps reported.
TEST(ConfigTransfer, ReadFailuresKeepWhatArrivedAndReportTheirStep) {
    nastest::QueryUnit u(Ipv4(127, 0, 82, 7));
    TempDir dir;
    const Bytes stored = nastest::Pattern(64 * 1024, 4);
    u.unit.setConfigFile(stored);
    u.unit.setConfigPassword(kConfigPassword);
    const Bytes earlier = {'k', 'e', 'e', 'p'};
    const Bytes partial(stored.begin(), stored.begin() + 256 + 1000);

    struct Case {
        const char* name;
        std::string password;
        std::optional<nassim::CommandFault> fault;
        bool refuse;  // nothing listens at the unit's address
        bool badPath; // the file can't be created
        int result;
        std::optional<Bytes> file; // none: as before the call
        std::vector<int> steps;
    };
    nassim::CommandFault cutInFile;
    cutInFile.cutAfter = 40 + 256 + 1000;
    nassim::CommandFault stallInFile;
    stallInFile.stallAfter = 40 + 256 + 1000;
    nassim::CommandFault cutInBlock;
    cutInBlock.cutAfter = 40 + 100;
    nassim::CommandFault stallInBlock;
    stallInBlock.stallAfter = 40 + 100;
    nassim::CommandFault stallInHead;
    stallInHead.stallAfter = 20;
    nassim::CommandFault inflated; // announces more than it sends, then closes
    inflated.dataLength = static_cast<uint32_t>(stored.size() + 5000);
    nassim::CommandFault pastTheCap; // announces more than any configuration holds
    pastTheCap.dataLength = nas::kMaxConfigFileSize + 1;
    nassim::CommandFault late;
    late.delay = milliseconds(2500);
    const std::vector<Case> cases = {
        {"wrong password",
         "nope",
         std::nullopt,
         false,
         false,
         nassim::kStatusInvalidPassword,
         std::nullopt,
         {}},
        {"cut in the file", kConfigPassword, cutInFile, false, false, -1, partial, {8}},
        {"stalled in the file",
         kConfigPassword,
         stallInFile,
         false,
         false,
         NAS_RESULT_TIMEOUT,
         partial,
         {}},
        {"cut in the first block",
         kConfigPassword,
         cutInBlock,
         false,
         false,
         -1,
         std::nullopt,
         {5}},
        {"stalled in the first block",
         kConfigPassword,
         stallInBlock,
         false,
         false,
         NAS_RESULT_TIMEOUT,
         std::nullopt,
         {5}},
        {"stalled in the reply header",
         kConfigPassword,
         stallInHead,
         false,
         false,
         NAS_RESULT_TIMEOUT,
         std::nullopt,
         {}},
        {"longer announced than sent",
         kConfigPassword,
         inflated,
         false,
         false,
         NAS_RESULT_TIMEOUT,
         stored,
         {}},
        {"announced past the cap",
         kConfigPassword,
         pastTheCap,
         false,
         false,
         -1,
         std::nullopt,
         {8}},
        {"no reply in time",
         kConfigPassword,
         late,
         false,
         false,
         NAS_RESULT_TIMEOUT,
         std::nullopt,
         {}},
        {"no address", kConfigPassword, std::nullopt, true, false, -1, std::nullopt, {1}},
        {"path can't be created",
         kConfigPassword,
         std::nullopt,
         false,
         true,
         NAS_RESULT_FILE_ERROR,
         std::nullopt,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Steps steps;
        nas::NetConfig config = u.netConfig();
        config.readinessWaitMs = 400;
        config.configReadWaitMs = 400;
        config.connectRaceMs = 400;
        config.notifier = steps.notifier();
        nastest::ScopedNetConfig scope(config);
        u.unit.clearCommandFaults();
        if (c.fault) u.unit.addCommandFault(*c.fault);
        u.unit.setFault(c.refuse ? nassim::Fault::Refuse : nassim::Fault::None);
        const std::string path = dir.file("settings.cfg");
        WriteFile(path, earlier);
        const std::string target = c.badPath ? dir.file("missing/settings.cfg") : path;

        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NasApiGetConfig(u.addrs.data(), target.c_str(), c.password.c_str()), c.result);
        EXPECT_LT(nastest::MsSinceStart(start), 2000);
        EXPECT_TRUE(ReadFile(path) == c.file.value_or(earlier)) << ReadFile(path).size();
        EXPECT_EQ(*steps.seen, c.steps);
    }
}

TEST(ConfigTransfer, WriteFailures) {
    nastest::QueryUnit u(Ipv4(127, 0, 82, 8));
    TempDir dir;
    u.unit.setAdminPassword(kAdminPassword);
    u.unit.setConfigPassword(kConfigPassword);
    const Bytes original = nastest::Pattern(512, 5);
    const Bytes sent = nastest::Pattern(8192, 6);
    const std::string small = dir.file("small.cfg");
    WriteFile(small, sent);
    // Larger than what the socket buffers of both ends hold, smaller than the unit's request cap.
    const std::string large = dir.file("large.cfg");
    WriteFile(large, nastest::Pattern(12 << 20, 7));

    struct Case {
        const char* name;
        std::string admin;
        std::string path;
        std::optional<nassim::CommandFault> fault;
        int result;
        size_t requests; // that reached the unit
        bool stored;     // the unit took the file
    };
    nassim::CommandFault otherCommand;
    otherCommand.replyCommand = 4;
    nassim::CommandFault late;
    late.delay = milliseconds(2500);
    nassim::CommandFault deaf;
    deaf.stopReadingAfter = 1000;
    const std::vector<Case> cases = {
        {"missing file", kAdminPassword, dir.file("absent.cfg"), std::nullopt,
         NAS_RESULT_FILE_ERROR, 0, false},
        {"a folder", kAdminPassword, dir.file(""), std::nullopt, NAS_RESULT_FILE_ERROR, 0, false},
        {"wrong password", "guess", small, std::nullopt, nassim::kStatusInvalidPassword, 1, false},
        {"reply to another command", kAdminPassword, small, otherCommand, -1, 1, true},
        {"no final reply in time", kAdminPassword, small, late, NAS_RESULT_TIMEOUT, 1, true},
        {"unit stops reading", kAdminPassword, large, deaf, -1, 1, false},
        {"password longer than 80", std::string(81, 'a'), small, std::nullopt, -1, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        nas::NetConfig config = u.netConfig();
        config.configWriteWritableMs = 400;
        config.configWriteReplyMs = 400;
        nastest::ScopedNetConfig scope(config);
        u.unit.clearRecords();
        u.unit.clearCommandFaults();
        u.unit.setConfigFile(original);
        if (c.fault) u.unit.addCommandFault(*c.fault);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NasApiSetConfig(u.addrs.data(), c.admin.c_str(), kConfigPassword.c_str(), 1,
                                  c.path.c_str()),
                  c.result);
        EXPECT_LT(nastest::MsSinceStart(start), 2000);
        // The unit records a request it stopped reading once it has given up on it, which may
        // be after the call returned.
        if (c.requests != 0) {
            EXPECT_TRUE(nassim::WaitUntil(
                [&] { return u.unit.requestsFor(5).size() >= c.requests; }, milliseconds(20000)));
        }
        EXPECT_EQ(u.unit.requestsFor(5).size(), c.requests);
        EXPECT_TRUE(u.unit.configFile() == (c.stored ? sent : original));
    }
}

} // namespace
