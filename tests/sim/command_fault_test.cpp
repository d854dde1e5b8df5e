// Per-command faults: chosen by command, sub-code and occurrence, each altering the reply as
// its field says.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

#include <fcntl.h>

using namespace simtest;
using nassim::CommandFault;
using nassim::Ipv4;

namespace {

constexpr milliseconds kWait{2000};
constexpr milliseconds kQuiet{300};

nassim::UnitConfig At(unsigned last) {
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, last);
    c.fragmentPause = milliseconds(20);
    c.state.imageFolders = {"FOLDER"};
    return c;
}

Bytes TransferStart(std::uint32_t size) {
    Bytes d(512, 0);
    PutText(d, 56, "FOLDER");
    PutText(d, 168, "file.iso");
    Put32(d, 237, size);
    return WithData(29, 25, d);
}

TEST(CommandFaults, StatusOnOneOccurrenceOfOneSubCode) {
    nassim::Unit unit(At(80));
    CommandFault third_block;
    third_block.command = 29;
    third_block.subCode = 26;
    third_block.occurrence = 2;
    third_block.status = 5;
    unit.addCommandFault(third_block);
    TcpClient client;
    ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_EQ(Get16(client.Exchange(TransferStart(4), 32, kWait), 30),
              0); // sub-code 25: not counted
    std::vector<int> statuses;
    for (std::uint8_t i = 1; i <= 3; ++i)
        statuses.push_back(Get16(client.Exchange(WithData(29, 26, Bytes(2, i)), 32, kWait), 30));
    EXPECT_EQ(statuses, (std::vector<int>{0, 5, 0}));
    // The refused block is not stored.
    EXPECT_EQ(unit.sessions().at(0).data, (Bytes{1, 1, 3, 3}));
}

TEST(CommandFaults, LengthsTextsAndCommands) {
    nassim::Unit unit(At(81));
    nassim::ImageRecord image;
    image.name = "short";
    unit.setImages({image, image});
    CommandFault inflated;
    inflated.command = 14;
    inflated.occurrence = 1;
    inflated.dataLength = 5000;
    inflated.unterminated = true;
    inflated.replyCommand = 99;
    unit.addCommandFault(inflated);

    TcpClient client;
    ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    const Bytes reply = client.Exchange(Bare(14), 40 + 2 * 196, kWait);
    ASSERT_EQ(reply.size(), 40u + 2 * 196);
    EXPECT_EQ(Get16(reply, 24), 99);
    EXPECT_EQ(Get32(reply, 36), 5000u);
    EXPECT_EQ(Text(reply, 40 + 12, 32), "short" + std::string(27, 'X'));
    EXPECT_EQ(reply[40 + 80], 'X'); // the empty path too
    EXPECT_FALSE(client.ClosedWithin(kQuiet));

    // Occurrence 1 is spent: the next list is as the unit sends it.
    TcpClient again;
    ASSERT_EQ(again.Connect(unit.address(), unit.tcpPort()), 0);
    const Bytes normal = again.Exchange(Bare(14), 40, kWait);
    EXPECT_EQ(Get32(normal, 36), 2u * 196);
    EXPECT_EQ(Get16(normal, 24), 14);
}

TEST(CommandFaults, CutStallFragmentAndDelay) {
    nassim::Unit unit(At(82));
    unit.setImageFolders({"A", "B", "C"});
    const struct {
        const char* what;
        CommandFault fault;
        std::size_t bytes;
        bool closed;
        int minReads;
    } cases[] = {
        {"cut", {.command = 13, .cutAfter = 50}, 50, true, 1},
        {"stall", {.command = 13, .stallAfter = 60}, 60, false, 1},
        {"fragment", {.command = 13, .fragmentBytes = 100}, 40 + 3 * 128, false, 5},
        {"delay", {.command = 13, .delay = milliseconds(100)}, 40 + 3 * 128, false, 1},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        unit.clearCommandFaults();
        unit.addCommandFault(k.fault);
        TcpClient client;
        ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
        ASSERT_TRUE(client.Send(Bare(13)));
        int reads = 0;
        const auto start = std::chrono::steady_clock::now();
        // Every byte the fault lets through, however slowly a loaded machine passes them on (the
        // wait is a watchdog); then the end: the cut closes, the others send nothing more.
        const Bytes got = client.Read(k.bytes, milliseconds(10000), &reads);
        EXPECT_EQ(got.size(), k.bytes);
        EXPECT_GE(reads, k.minReads);
        bool closed = false;
        const Bytes more = client.Read(1, milliseconds(k.closed ? 10000 : 300), nullptr, &closed);
        EXPECT_TRUE(more.empty());
        EXPECT_EQ(closed, k.closed);
        if (k.fault.delay.count() > 0) {
            EXPECT_GE(std::chrono::steady_clock::now() - start, k.fault.delay);
        }
    }
}

TEST(CommandFaults, StopReadingLeavesTheSenderBlocked) {
    nassim::Unit unit(At(83));
    CommandFault deaf;
    deaf.command = 5;
    deaf.stopReadingAfter = 1000;
    unit.addCommandFault(deaf);
    // A configuration write announcing a 15 MiB file; the unit reads 1000 bytes and no more.
    const std::size_t file = 15u << 20;
    Bytes head = Message(130, 5, 1, true);
    Put32(head, 20, static_cast<std::uint32_t>(file + 98));
    TcpClient client;
    ASSERT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    ASSERT_TRUE(client.Send(head));
    ::fcntl(client.fd(), F_SETFL, ::fcntl(client.fd(), F_GETFL) | O_NONBLOCK);
    const Bytes chunk(1 << 16, 0);
    std::size_t sent = 0;
    for (;;) {
        const ssize_t n = ::send(client.fd(), chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        ASSERT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK);
        pollfd p{client.fd(), POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(kQuiet.count())) == 0) break;
    }
    EXPECT_LT(sent, file);
    ASSERT_TRUE(unit.waitForRequests(1, kWait));
    EXPECT_EQ(unit.requests().at(0).bytes.size(), 32u + 1000);
}

} // namespace
