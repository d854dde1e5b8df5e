// Mirror and image-transfer sessions, recording, conversion and deletion, and the session order
// the unit keeps.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace simtest;
using nassim::Ipv4;
using nassim::SessionEnd;

namespace {

// Each wait ends as soon as its condition holds; the limit only bounds a failing test.
constexpr milliseconds kWait{10000};

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const auto kDigest = nassim::PasswordDigest("pw");

Bytes MirrorStartData(const std::string& folder, const std::string& name, std::uint32_t checksum,
                      const std::string& user = "user") {
    Bytes d = AccountData(420, user, kDigest);
    Put32(d, 52, checksum);
    PutText(d, 56, folder);
    PutText(d, 212, name);
    d[286] = 1;
    return d;
}

// A two-track table; its checksum computed here from the track starts at 13 + 8i and 805.
Bytes Table() {
    Bytes t(812, 0);
    t[0] = 1, t[1] = 2, t[9] = 1;
    const std::uint32_t starts[2] = {0, 0xFFFFFF00u};
    for (int i = 0; i < 2; ++i) {
        t[10 + 8 * i] = static_cast<std::uint8_t>(i + 1);
        t[12 + 8 * i] = 1;
        Put32(t, 13 + 8 * i, starts[i]);
        t[17 + 8 * i] = 1;
    }
    Put32(t, 805, 0x300);
    return t;
}
constexpr std::uint32_t kTableChecksum = (0xFFFFFF00u + 0x300u) | 2u << 24;

Bytes TransferStartData(const std::string& folder, const std::string& file, std::uint32_t size) {
    Bytes d = AccountData(512, "user", kDigest);
    PutText(d, 56, folder);
    PutText(d, 168, file);
    Put32(d, 233, 1);
    Put32(d, 237, size);
    Put32(d, 241, 1);
    return d;
}

Bytes Done(const std::string& next, std::uint32_t size) {
    Bytes d(333, 0);
    PutText(d, 0, next);
    Put32(d, 65, next.empty() ? 0 : 1);
    Put32(d, 69, size);
    return d;
}

Bytes Block(std::size_t size, std::uint8_t seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(seed ^ (i * 13) ^ (i >> 8));
    return b;
}

struct Sessions : ::testing::Test {
    void SetUp() override {
        nassim::UnitConfig c;
        c.address = Ipv4(127, 0, 0, 72);
        c.state.users = {{"user", "pw"}};
        c.state.imageFolders = {"F"};
        c.state.nextImageId = 40;
        unit = std::make_unique<nassim::Unit>(c);
        ASSERT_EQ(client.Connect(unit->address(), unit->tcpPort()), 0);
    }
    // Sends request and returns the reply's status, or -100 when no whole reply arrived.
    int Status(const Bytes& request, std::uint16_t command, std::size_t size = 32) {
        const Bytes reply = client.Exchange(request, size, kWait);
        if (reply.size() != size) return -100;
        EXPECT_EQ(Get16(reply, 24), command);
        return static_cast<std::int16_t>(Get16(reply, 30));
    }
    std::vector<std::string> ImageNames() {
        std::vector<std::string> names;
        for (const auto& i : unit->state().images)
            names.push_back(i.name);
        return names;
    }
    std::unique_ptr<nassim::Unit> unit;
    TcpClient client;
};

TEST_F(Sessions, MirrorStoresEveryByteAndAddsTheImage) {
    const Bytes reply = client.Exchange(
        WithData(15, 13, MirrorStartData("F", "Disc", kTableChecksum)), 32 + 428, kWait);
    ASSERT_EQ(reply.size(), 460u);
    EXPECT_EQ(Get16(reply, 24), 15);
    EXPECT_EQ(Get16(reply, 30), 0);
    EXPECT_EQ(Text(reply, 32 + 220, 64), "Disc");
    EXPECT_EQ(Get16(reply, 32 + 292), 40);
    EXPECT_EQ(Status(WithData(16, 14, Table()), 16), 0);
    Bytes all;
    for (std::size_t size : {1u, 65536u, 2352u * 7}) {
        const Bytes b = Block(size, static_cast<std::uint8_t>(size));
        all.insert(all.end(), b.begin(), b.end());
        EXPECT_EQ(Status(WithData(17, 15, b), 17), 0);
    }
    EXPECT_EQ(Status(WithData(18, 15, {}), 18), 0);
    ASSERT_TRUE(unit->waitForSessionsEnded(1, kWait));

    const nassim::Session s = unit->sessions().at(0);
    EXPECT_EQ(s.kind, nassim::SessionKind::Mirror);
    EXPECT_EQ(s.end, SessionEnd::Completed);
    EXPECT_EQ(s.table, Table());
    EXPECT_EQ(s.blockSizes, (std::vector<std::size_t>{1, 65536, 2352 * 7}));
    EXPECT_EQ(s.dataBytes, all.size());
    EXPECT_EQ(nassim::Sha256Hex(s.data), nassim::Sha256Hex(all));
    ASSERT_EQ(s.files.size(), 1u);
    EXPECT_TRUE(s.files[0].complete);
    const auto images = unit->state().images;
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].id, 40u);
    EXPECT_EQ(images[0].path, "F/Disc");
    EXPECT_EQ(images[0].size, (all.size() + 2047) / 2048); // in sectors, the last one whole
    // Data blocks are recorded by their header: the data lives in the session.
    EXPECT_EQ(unit->requestsFor(17).at(1).bytes.size(), 40u);

    // Nothing may follow a completed mirror on its connection.
    ASSERT_TRUE(client.Send(WithData(17, 15, Bytes(4))));
    EXPECT_TRUE(client.ClosedWithin(kWait));
    EXPECT_NE(unit->problems().at(0).find("after the session ended"), std::string::npos);
    EXPECT_TRUE(unit->sessions().at(0).peerClosed);
}

TEST_F(Sessions, RequestsWrittenTogetherAreEachAnswered) {
    ASSERT_EQ(Status(WithData(15, 13, MirrorStartData("F", "Piped", kTableChecksum)), 15, 460), 0);
    ASSERT_EQ(Status(WithData(16, 14, Table()), 16), 0);
    // Blocks larger and smaller than what one receive takes in, sent with the completion in one
    // write, so that each request's end and the next one's start share a receive.
    const std::vector<std::size_t> sizes = {100000, 3, 70000, 2352, 100000};
    Bytes stream, all;
    for (std::size_t size : sizes) {
        const Bytes b = Block(size, static_cast<std::uint8_t>(size >> 3));
        const Bytes request = WithData(17, 15, b);
        stream.insert(stream.end(), request.begin(), request.end());
        all.insert(all.end(), b.begin(), b.end());
    }
    const Bytes complete = WithData(18, 15, {});
    stream.insert(stream.end(), complete.begin(), complete.end());
    const Bytes replies = client.Exchange(stream, 32 * (sizes.size() + 1), kWait);
    ASSERT_EQ(replies.size(), 32 * (sizes.size() + 1));
    for (std::size_t i = 0; i <= sizes.size(); ++i) {
        EXPECT_EQ(Get16(replies, 32 * i + 24), i < sizes.size() ? 17 : 18) << i;
        EXPECT_EQ(Get16(replies, 32 * i + 30), 0) << i;
    }
    ASSERT_TRUE(unit->waitForSessionsEnded(1, kWait));
    const nassim::Session s = unit->sessions().at(0);
    EXPECT_EQ(s.end, SessionEnd::Completed);
    EXPECT_EQ(s.blockSizes, sizes);
    EXPECT_EQ(nassim::Sha256Hex(s.data), nassim::Sha256Hex(all));
    EXPECT_TRUE(unit->problems().empty());
}

TEST_F(Sessions, StartsAreRefusedByTheUnitsRules) {
    unit->setImages({{1, 1, 9, 0, "Taken", "", 0, "F/Taken", 0, 0}});
    const struct {
        const char* what;
        Bytes data;
        std::int16_t status;
    } cases[] = {{"unknown user", MirrorStartData("F", "New", 0, "nobody"), 12},
                 {"unknown folder", MirrorStartData("G", "New", 0), 4},
                 {"name taken", MirrorStartData("F", "Taken", 0), 10}};
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        TcpClient c;
        ASSERT_EQ(c.Connect(unit->address(), unit->tcpPort()), 0);
        const Bytes reply = c.Exchange(WithData(15, 13, k.data), 32, kWait);
        ASSERT_EQ(reply.size(), 32u);
        EXPECT_EQ(Get16(reply, 30), k.status);
    }
    for (const auto& s : unit->sessions())
        EXPECT_EQ(s.end, SessionEnd::Refused);
    EXPECT_EQ(ImageNames(), std::vector<std::string>{"Taken"});
}

TEST_F(Sessions, OrderIsEnforced) {
    const Bytes start = WithData(15, 13, MirrorStartData("F", "D", kTableChecksum));
    const Bytes wrong_sum = WithData(15, 13, MirrorStartData("F", "D", kTableChecksum + 1));
    const Bytes table = WithData(16, 14, Table());
    const struct {
        const char* what;
        std::vector<Bytes> before; // answered normally
        Bytes offending;
        const char* problem;
    } cases[] = {
        {"data without a start", {}, WithData(17, 15, Bytes(8)), "17 arrived outside a session"},
        {"complete before the table", {start}, WithData(18, 15, {}), "waits for its CD table"},
        {"list inside a mirror", {start, table}, Bare(14), "14 arrived inside a mirror session"},
        {"checksum that does not fit the table", {wrong_sum}, table, "checksum"},
        {"abort with nothing to abort", {}, Bare(19, 4096, 8), "19 arrived outside a session"},
        {"image data inside a mirror",
         {start, table},
         WithData(29, 26, Bytes(8)),
         "inside a mirror session"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        unit->clearRecords();
        TcpClient c;
        ASSERT_EQ(c.Connect(unit->address(), unit->tcpPort()), 0);
        for (const Bytes& b : k.before)
            ASSERT_EQ(Get16(c.Exchange(b, b[24] == 15 ? 460 : 32, kWait), 30), 0);
        ASSERT_TRUE(c.Send(k.offending));
        EXPECT_TRUE(c.ClosedWithin(kWait));
        ASSERT_EQ(unit->problems().size(), 1u);
        EXPECT_NE(unit->problems()[0].find(k.problem), std::string::npos) << unit->problems()[0];
        if (!k.before.empty()) {
            EXPECT_EQ(unit->sessions().at(0).end, SessionEnd::Broken);
        }
    }
}

TEST_F(Sessions, AbortIsABareHeaderAndADroppedPeerIsSeen) {
    ASSERT_EQ(Status(WithData(15, 13, MirrorStartData("F", "A", kTableChecksum)), 15, 460), 0);
    ASSERT_EQ(Status(WithData(16, 14, Table()), 16), 0);
    ASSERT_EQ(Status(WithData(17, 15, Bytes(100, 1)), 17), 0);
    ASSERT_TRUE(client.Send(Bare(19, 4096, 8))); // declares 8 bytes, sends none
    ASSERT_TRUE(unit->waitForSessionsEnded(1, kWait));
    EXPECT_FALSE(client.ClosedWithin(milliseconds(200))); // no reply, still open
    nassim::Session s = unit->sessions().at(0);
    EXPECT_EQ(s.end, SessionEnd::Aborted);
    EXPECT_EQ(s.abortReason, 4096);
    EXPECT_EQ(s.dataBytes, 100u);

    TcpClient second;
    ASSERT_EQ(second.Connect(unit->address(), unit->tcpPort()), 0);
    ASSERT_EQ(
        Get16(second.Exchange(WithData(29, 25, TransferStartData("F", "x.iso", 10)), 32, kWait),
              30),
        0);
    ::shutdown(second.fd(), SHUT_RDWR);
    ASSERT_TRUE(unit->waitForSessionsEnded(2, kWait));
    s = unit->sessions().at(1);
    EXPECT_EQ(s.end, SessionEnd::Disconnected);
    EXPECT_TRUE(s.peerClosed);
    EXPECT_TRUE(ImageNames().empty());
    EXPECT_TRUE(unit->problems().empty());
}

TEST_F(Sessions, ImageTransferCarriesSeveralFiles) {
    ASSERT_EQ(Status(WithData(29, 25, TransferStartData("F", "one.iso", 10)), 29), 0);
    ASSERT_EQ(Status(WithData(29, 26, Block(6, 1)), 29), 0);
    ASSERT_EQ(Status(WithData(29, 26, Block(4, 2)), 29), 0);
    ASSERT_EQ(Status(WithData(30, 26, Done("two.iso", 5)), 30), 0);
    ASSERT_EQ(Status(WithData(29, 26, Block(3, 3)), 29), 0);
    // Two bytes short of the announced size: refused, the file stays open for the rest.
    EXPECT_EQ(Status(WithData(30, 26, Done("", 0)), 30), 5);
    ASSERT_EQ(Status(WithData(29, 26, Block(2, 4)), 29), 0);
    ASSERT_EQ(Status(WithData(30, 26, Done("", 0)), 30), 0);
    ASSERT_TRUE(unit->waitForSessionsEnded(1, kWait));

    const nassim::Session s = unit->sessions().at(0);
    EXPECT_EQ(s.kind, nassim::SessionKind::ImageTransfer);
    EXPECT_EQ(s.end, SessionEnd::Completed);
    ASSERT_EQ(s.files.size(), 2u);
    EXPECT_EQ(s.files[0].name, "one.iso");
    EXPECT_EQ(s.files[0].size, 10u);
    EXPECT_EQ(s.files[1].name, "two.iso");
    EXPECT_EQ(s.files[1].offset, 10u);
    EXPECT_EQ(s.files[1].announcedSize, 5u);
    EXPECT_EQ(s.completions.size(), 3u);
    EXPECT_EQ(ImageNames(), (std::vector<std::string>{"one.iso", "two.iso"}));
}

// An image is sent in 4096-byte units: its data after the 4096-byte header in pieces, the last
// one padded with zeros to a whole unit, then 1024 zeros and the header's first 3072 bytes. The
// unit takes an image that arrives padded so; any other size is an invalid block.
TEST_F(Sessions, ImageTransferTakesTheLastBlockPaddedToA4096ByteUnit) {
    const struct {
        std::uint32_t announced;
        std::vector<std::size_t> blocks;
        std::int16_t status;
    } cases[] = {
        {4096 + 5000, {8192, 1024, 3072}, 0},             // 5000 data bytes padded to 8192
        {4096 + 16384 + 1, {16384, 4096, 1024, 3072}, 0}, // a full piece, then 1 byte padded
        {4096 + 8192, {8192, 1024, 3072}, 0},             // no padding needed
        {4096 + 5000, {5000, 1024, 3072}, 0},             // sent unpadded: exactly announced
        {4096 + 5000, {12288, 1024, 3072}, 5},            // a whole unit more than padding
        {4096 + 5000, {4096, 1024, 3072}, 5},             // short
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        TcpClient session; // each image in a session of its own
        ASSERT_EQ(session.Connect(unit->address(), unit->tcpPort()), 0);
        auto status = [&](const Bytes& request, std::uint16_t command) {
            const Bytes reply = session.Exchange(request, 32, kWait);
            EXPECT_EQ(reply.size(), 32u);
            if (reply.size() != 32) return -100;
            EXPECT_EQ(Get16(reply, 24), command);
            return static_cast<int>(static_cast<std::int16_t>(Get16(reply, 30)));
        };
        const std::string name = "image" + std::to_string(n++) + ".iso";
        ASSERT_EQ(status(WithData(29, 25, TransferStartData("F", name, c.announced)), 29), 0);
        for (std::size_t size : c.blocks)
            ASSERT_EQ(status(WithData(29, 26, Block(size, 7)), 29), 0);
        EXPECT_EQ(status(WithData(30, 26, Done("", 0)), 30), c.status);
    }
}

// The unit as nas-sim runs it: no data in memory, only counts, digests and files on disk.
TEST(StoringUnit, WritesEachImageAsAFileAndKeepsOnlyItsDigest) {
    char pattern[] = "/tmp/nassim-store-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string store = pattern;
    std::filesystem::create_directories(store + "/F");
    WriteFile(store + "/F/one.iso", Bytes{'o', 'l', 'd'}); // an earlier run's file stays
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, 73);
    c.state.users = {{"user", "pw"}};
    c.state.imageFolders = {"F"};
    c.keepSessionData = false;
    c.recordDataBlocks = false;
    c.hashSessionData = true;
    c.storeFolder = store;
    nassim::Unit unit(c);
    auto status = [&](TcpClient& client, const Bytes& request, std::size_t size = 32) {
        const Bytes reply = client.Exchange(request, size, kWait);
        return reply.size() == size ? static_cast<std::int16_t>(Get16(reply, 30)) : -100;
    };

    TcpClient mirror;
    ASSERT_EQ(mirror.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_EQ(status(mirror, WithData(15, 13, MirrorStartData("F", "Disc", kTableChecksum)), 460),
              0);
    ASSERT_EQ(status(mirror, WithData(16, 14, Table())), 0);
    Bytes disc;
    for (std::size_t size : {65536u, 2352u * 7, 1u}) {
        const Bytes b = Block(size, static_cast<std::uint8_t>(size));
        disc.insert(disc.end(), b.begin(), b.end());
        ASSERT_EQ(status(mirror, WithData(17, 15, b)), 0);
    }
    ASSERT_EQ(status(mirror, WithData(18, 15, {})), 0);

    TcpClient transfer;
    ASSERT_EQ(transfer.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_EQ(status(transfer, WithData(29, 25, TransferStartData("F", "one.iso", 10))), 0);
    ASSERT_EQ(status(transfer, WithData(29, 26, Block(10, 1))), 0);
    ASSERT_EQ(status(transfer, WithData(30, 26, Done("two.iso", 5))), 0);
    ASSERT_EQ(status(transfer, WithData(29, 26, Block(5, 2))), 0);
    ASSERT_EQ(status(transfer, WithData(30, 26, Done("", 0))), 0);

    TcpClient dropped;
    ASSERT_EQ(dropped.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_EQ(status(dropped, WithData(29, 25, TransferStartData("F", "cut.iso", 10))), 0);
    ASSERT_EQ(status(dropped, WithData(29, 26, Block(4, 3))), 0);
    ::shutdown(dropped.fd(), SHUT_RDWR);
    ASSERT_TRUE(unit.waitForSessionsEnded(3, kWait));
    ASSERT_TRUE(nassim::WaitUntil([&] { return unit.sessions().at(2).peerClosed; }, kWait));

    const auto sessions = unit.sessions();
    const nassim::SessionFile& image = sessions[0].files.at(0);
    EXPECT_TRUE(sessions[0].data.empty());
    EXPECT_TRUE(sessions[0].blockSizes.empty());
    EXPECT_TRUE(unit.requestsFor(17).empty());
    EXPECT_EQ(sessions[0].dataBytes, disc.size());
    EXPECT_EQ(image.sha256, nassim::Sha256Hex(disc));
    EXPECT_EQ(image.storedAs, store + "/F/Disc");
    EXPECT_EQ(ReadFile(store + "/F/Disc"), disc);

    ASSERT_EQ(sessions[1].files.size(), 2u);
    EXPECT_EQ(sessions[1].files[0].sha256, nassim::Sha256Hex(Block(10, 1)));
    EXPECT_EQ(sessions[1].files[0].storedAs, store + "/F/one.iso.1");
    EXPECT_EQ(ReadFile(store + "/F/one.iso.1"), Block(10, 1));
    EXPECT_EQ(ReadFile(store + "/F/one.iso"), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(ReadFile(store + "/F/two.iso"), Block(5, 2));
    EXPECT_FALSE(std::filesystem::exists(store + "/F/cut.iso")) << "a cut-off file was kept";

    const auto images = unit.state().images;
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].size, (disc.size() + 2047) / 2048);
    EXPECT_EQ(images[1].size, 1u);
    EXPECT_TRUE(unit.problems().empty());
    std::filesystem::remove_all(store);
}

// An image whose copy cannot be written whole: the completion is refused as a full disk refuses
// it, the cut copy goes, and the log says refused, never received.
TEST(StoringUnit, ARefusedCompletionKeepsNoCopyAndLogsTheRefusal) {
    char pattern[] = "/tmp/nassim-store-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string store = pattern;
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, 74);
    c.state.users = {{"user", "pw"}};
    c.state.imageFolders = {"F"};
    c.keepSessionData = false;
    c.hashSessionData = true;
    c.storeFolder = store;
    c.logImages = true;
    nassim::Unit unit(c);
    auto status = [&](TcpClient& client, const Bytes& request, std::size_t size = 32) {
        const Bytes reply = client.Exchange(request, size, kWait);
        return reply.size() == size ? static_cast<std::int16_t>(Get16(reply, 30)) : -100;
    };
    TcpClient mirror;
    ASSERT_EQ(mirror.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_EQ(status(mirror, WithData(15, 13, MirrorStartData("F", "Disc", kTableChecksum)), 460),
              0);
    ASSERT_EQ(status(mirror, WithData(16, 14, Table())), 0);

    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 4096; // the first 4 KiB fit: a write past them fails (EFBIG)
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    testing::internal::CaptureStdout();
    // The block may be taken or already refused, depending on when its copy failed; the
    // completion is refused either way.
    const int block = status(mirror, WithData(17, 15, Block(16384, 9)));
    const int completion = status(mirror, WithData(18, 15, {}));
    const std::string log = testing::internal::GetCapturedStdout();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(block == 0 || block == nassim::kStatusNoFreeSpace) << block;
    EXPECT_EQ(completion, nassim::kStatusNoFreeSpace);
    EXPECT_FALSE(std::filesystem::exists(store + "/F/Disc")) << "the cut copy was kept";
    EXPECT_NE(log.find("refused F/Disc"), std::string::npos) << log;
    EXPECT_EQ(log.find("received"), std::string::npos) << log;
    const auto sessions = unit.sessions();
    ASSERT_EQ(sessions.size(), 1u);
    ASSERT_EQ(sessions[0].files.size(), 1u);
    EXPECT_FALSE(sessions[0].files[0].complete);
    EXPECT_TRUE(sessions[0].files[0].sha256.empty());
    EXPECT_TRUE(sessions[0].files[0].storedAs.empty());
    EXPECT_TRUE(unit.state().images.empty());
    std::filesystem::remove_all(store);
}

TEST_F(Sessions, RecordingWalksTheWriterScript) {
    unit->setImages({{1, 1, 7, 0, "Disc", "", 0, "F/Disc", 0, 0}});
    unit->setCdDrives({{4, "Writer", {1, 0, 0, 0}}});
    unit->setWriterScript({{1, 0, 0}, {5, 60, 0}, {0, 100, 4096}});
    auto query = [&](std::uint32_t writer) {
        Bytes d(32, 0);
        Put32(d, 0, writer);
        Put32(d, 4, 77);
        TcpClient c;
        EXPECT_EQ(c.Connect(unit->address(), unit->tcpPort()), 0);
        const Bytes head = c.Exchange(WithData(24, 20, d), 32, kWait);
        const Bytes data = Get16(head, 30) == 0 ? c.Read(97, kWait) : Bytes{};
        return std::make_pair(static_cast<std::int16_t>(Get16(head, 30)), data);
    };
    auto record = [&](std::uint32_t image, std::uint8_t writer) {
        Bytes d = AccountData(96, "user", kDigest);
        Put32(d, 52, image);
        PutText(d, 56, "Disc");
        d[88] = writer;
        d[89] = 0x05;
        d[90] = 127, d[91] = 0, d[92] = 0, d[93] = 1;
        TcpClient c;
        EXPECT_EQ(c.Connect(unit->address(), unit->tcpPort()), 0);
        return c.Exchange(WithData(23, 19, d), 32, kWait);
    };

    EXPECT_EQ(query(1).first, 16);         // no job yet
    EXPECT_EQ(Get16(record(8, 1), 30), 4); // no such image
    EXPECT_EQ(Get16(record(7, 2), 30), 4); // no such writer
    const Bytes taken = record(7, 1);
    EXPECT_EQ(Get16(taken, 30), 0);
    EXPECT_EQ(Get32(taken, 12), 1u); // the writer's job counter, in the time field
    const std::uint8_t states[] = {1, 5, 0, 0};
    for (std::uint8_t state : states) {
        const auto [status, data] = query(1);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(data.size(), 97u);
        EXPECT_EQ(Get32(data, 0), 1u);
        EXPECT_EQ(Get32(data, 4), 77u);
        EXPECT_EQ(Get32(data, 8 + 4), 1u);
        EXPECT_EQ(data[8 + 20], state);
    }
    EXPECT_EQ(Get32(query(1).second, 8 + 85), 4096u);
    const std::vector<nassim::RecordingJob> jobs = unit->recordings();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].imageId, 7u);
    EXPECT_EQ(jobs[0].imageName, "Disc");
    EXPECT_EQ(jobs[0].flags, 5);
    EXPECT_EQ(jobs[0].host, Ipv4(127, 0, 0, 1));
}

TEST_F(Sessions, ConversionAndDeletion) {
    unit->setImages({{1, 1, 7, 0, "Disc", "", 0, "F/Disc", 0, 0},
                     {1, 1, 8, 0, "Two", "", 0, "F/Two", 0, 0},
                     {1, 1, 9, 0, "Three", "", 0, "F/Three", 0, 0}});
    auto convert = [&](const std::string& folder) {
        Bytes d = AccountData(200, "user", kDigest);
        PutText(d, 52, folder);
        TcpClient c;
        EXPECT_EQ(c.Connect(unit->address(), unit->tcpPort()), 0);
        return Get16(c.Exchange(WithData(32, 27, d), 32, kWait), 30);
    };
    // The deletion block: a count at 52, up to 50 identifiers from 56.
    auto remove = [&](std::vector<std::uint32_t> ids, std::uint32_t count) {
        Bytes d = AccountData(512, "user", kDigest);
        Put32(d, 52, count);
        for (std::size_t i = 0; i < ids.size(); ++i)
            Put32(d, 56 + 4 * i, ids[i]);
        TcpClient c;
        EXPECT_EQ(c.Connect(unit->address(), unit->tcpPort()), 0);
        return Get16(c.Exchange(WithData(33, 28, d), 32, kWait), 30);
    };
    EXPECT_EQ(convert("F"), 0);
    EXPECT_EQ(convert("nowhere"), 4);
    EXPECT_EQ(remove({7, 9}, 2), 0);
    EXPECT_EQ(ImageNames(), std::vector<std::string>{"Two"});
    EXPECT_EQ(remove({7, 8}, 2), 4); // 7 is gone; 8 goes all the same
    EXPECT_TRUE(ImageNames().empty());
    EXPECT_EQ(remove({}, 0), 4);
    EXPECT_EQ(remove({}, 51), 4);
    EXPECT_TRUE(unit->problems().empty());
}

} // namespace
