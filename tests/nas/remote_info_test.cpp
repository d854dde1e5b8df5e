// NasApiGetRemoteInfo against simulated units: the request on the wire, the record, the
// acknowledgement, and every way a reply can fail.
#include "nasapi.h"
#include "unit_fixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>

namespace {

using nastest::Ipv4;

nassim::UnitConfig OnFreeTcpPort(nassim::UnitConfig config) {
    config.tcpPort = nassim::FreeTcpPort();
    return config;
}

// One unit, reached through the middle entry of its address array.
struct RemoteFixture {
    nassim::Unit unit;
    std::array<uint32_t, 3> addrs;

    explicit RemoteFixture(const nassim::UnitConfig& config)
        : unit(OnFreeTcpPort(config)), addrs{0, config.address, 0} {}

    nas::NetConfig netConfig(int replyMs) const {
        nas::NetConfig c = nastest::LoopbackConfig();
        c.tcpPort = unit.tcpPort();
        c.oneShotReplyMs = replyMs;
        c.connectRaceMs = 600;
        return c;
    }
};

TEST(RemoteInfo, FillsTheRecordAndAcknowledgesOnTheSameConnection) {
    RemoteFixture f(nastest::DescribedUnit(Ipv4(127, 0, 70, 2), "REMOTE-1", 11));
    nastest::ScopedNetConfig scope(f.netConfig(3000));
    NasServerInfo info;
    std::memset(&info, 0x5A, sizeof info);
    ASSERT_EQ(NasApiGetRemoteInfo(f.addrs.data(), &info), 0);
    nastest::ExpectDescribedRecord(info, Ipv4(127, 0, 70, 2), "REMOTE-1", 11);
    EXPECT_EQ(info.textEncodingKind, 1u);
    EXPECT_EQ(info.extendedName[0], 0);

    ASSERT_TRUE(f.unit.waitForAcks(1, std::chrono::seconds(3)));
    auto requests = f.unit.requests();
    ASSERT_EQ(requests.size(), 2u);
    const nassim::Request& request = requests[0];
    EXPECT_EQ(request.via, nassim::Via::Tcp);
    EXPECT_EQ(request.problem, "");
    ASSERT_EQ(request.bytes.size(), 68u);
    EXPECT_EQ(std::string(request.bytes.begin() + 48, request.bytes.begin() + 60), "brimlet-test");
    EXPECT_EQ(std::vector<uint8_t>(request.bytes.begin() + 64, request.bytes.end()),
              (std::vector<uint8_t>{127, 0, 0, 1}));
    const nassim::Request& ack = requests[1];
    EXPECT_EQ(ack.via, nassim::Via::Tcp);
    EXPECT_EQ(ack.problem, "");
    EXPECT_EQ(ack.fromPort, request.fromPort) << "acknowledged on another connection";
}

TEST(RemoteInfo, UnitStatusIsReturnedAndTheRecordStillFilled) {
    for (int16_t status : {int16_t{5}, int16_t{-3}}) {
        nassim::UnitConfig config = nastest::DescribedUnit(Ipv4(127, 0, 71, 2), "STATUS", 12);
        config.replyStatus = status;
        RemoteFixture f(config);
        nastest::ScopedNetConfig scope(f.netConfig(3000));
        NasServerInfo info;
        std::memset(&info, 0x5A, sizeof info);
        EXPECT_EQ(NasApiGetRemoteInfo(f.addrs.data(), &info), status);
        nastest::ExpectDescribedRecord(info, Ipv4(127, 0, 71, 2), "STATUS", 12);
    }
}

TEST(RemoteInfo, RepliesAreJudgedByTheirSizeNotTheirDeclaredLength) {
    const std::string longName = "\xE9\x95\xB7\xE5\x90\x8D a long name in UTF-8, up to 64 bytes";
    const struct {
        const char* what;
        bool extended;
        std::optional<uint32_t> declared; // payload length the reply declares
        bool fragmented;                  // one byte at a time
        size_t extra;                     // bytes beyond the reply
        size_t shortReply;                // only this many bytes, connection left open
        int result;
        size_t segment = 0; // the reply in segments of this size, 150 ms apart
    } cases[] = {
        {"284 bytes, declared exactly", false, std::nullopt, false, 0, 0, 0},
        {"284 bytes declaring 0", false, 0, false, 0, 0, 0},
        {"284 bytes declaring 1000", false, 1000, false, 0, 0, 0},
        {"284 bytes one at a time", false, std::nullopt, true, 0, 0, 0},
        {"348 bytes declaring 252", true, 252, false, 0, 0, 0},
        {"283 bytes", false, std::nullopt, false, 0, 283, -1},
        {"349 bytes", true, std::nullopt, false, 1, 0, -1},
        // The long form in two segments, the first as long as the short form: still the long form.
        {"348 bytes in two segments", true, std::nullopt, false, 0, 0, 0, 284},
        {"348 bytes one at a time", true, std::nullopt, true, 0, 0, 0},
    };
    unsigned net = 72;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        nassim::UnitConfig config = nastest::DescribedUnit(Ipv4(127, 1, net++, 2), "SIZES", 13);
        config.extendedReply = c.extended;
        config.extendedName = longName;
        if (c.fragmented) config.fault = nassim::Fault::Fragment;
        if (c.segment != 0) config.fragmentPause = std::chrono::milliseconds(150);
        if (c.shortReply != 0) {
            config.fault = nassim::Fault::ShortReply;
            config.shortReplyBytes = c.shortReply;
        }
        RemoteFixture f(config);
        nassim::CommandFault fault;
        fault.command = nassim::kCommandServerInfo;
        fault.payloadLength = c.declared;
        fault.extraBytes = c.extra;
        fault.fragmentBytes = c.segment;
        f.unit.addCommandFault(fault);
        nastest::ScopedNetConfig scope(f.netConfig(c.result == 0 ? 8000 : 1000));
        NasServerInfo info;
        std::memset(&info, 0x5A, sizeof info);
        ASSERT_EQ(NasApiGetRemoteInfo(f.addrs.data(), &info), c.result);
        if (c.result != 0) {
            EXPECT_EQ(info.name[0], 0x5A);
            EXPECT_TRUE(f.unit.acks().empty());
            continue;
        }
        nastest::ExpectDescribedRecord(info, config.address, "SIZES", 13);
        EXPECT_EQ(info.textEncodingKind, c.extended ? 2u : 1u);
        EXPECT_EQ(nastest::Field(info.extendedName, 64), c.extended ? longName : "");
        ASSERT_TRUE(f.unit.waitForAcks(1, std::chrono::seconds(10)));
    }
}

TEST(RemoteInfo, FailuresLeaveTheRecordAlone) {
    constexpr int kReplyMs = 1500;
    const struct {
        nassim::Fault fault;
        bool waitsForReply; // fails only when the reply time is over
    } cases[] = {
        {nassim::Fault::Silence, true},
        {nassim::Fault::ShortReply, true}, // 200 of 284 bytes, connection left open
        {nassim::Fault::CloseAfterRequest, false},
        {nassim::Fault::WrongSignature, false},
        {nassim::Fault::WrongVersion, false},
        {nassim::Fault::Refuse, false},
        {nassim::Fault::Stall, false}, // the race's 600 ms, not the reply time
    };
    unsigned net = 80;
    for (const auto& c : cases) {
        SCOPED_TRACE(nassim::FaultName(c.fault));
        nassim::UnitConfig config = nastest::DescribedUnit(Ipv4(127, 0, net++, 2), "FAULTY", 14);
        config.fault = c.fault;
        RemoteFixture f(config);
        nastest::ScopedNetConfig scope(f.netConfig(kReplyMs));
        NasServerInfo info;
        std::memset(&info, 0x5A, sizeof info);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NasApiGetRemoteInfo(f.addrs.data(), &info), -1);
        long long elapsed = nastest::MsSince(start);
        if (c.waitsForReply) {
            EXPECT_GE(elapsed, kReplyMs - 50);
            EXPECT_LT(elapsed, kReplyMs + 3000);
        } else {
            EXPECT_LT(elapsed, kReplyMs - 100);
        }
        EXPECT_EQ(info.name[0], 0x5A);
        EXPECT_EQ(info.extendedName[63], 0x5A);
        EXPECT_TRUE(f.unit.acks().empty());
    }
}

TEST(RemoteInfo, NoAddressFailsWithoutWaiting) {
    nastest::ScopedNetConfig scope(nastest::LoopbackConfig());
    const uint32_t none[3] = {0, 0, 0};
    NasServerInfo info;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(NasApiGetRemoteInfo(none, &info), -1);
    EXPECT_EQ(NasApiGetRemoteInfo(nullptr, &info), -1);
    EXPECT_EQ(NasApiGetRemoteInfo(none, nullptr), -1);
    EXPECT_LT(nastest::MsSince(start), 500);
}

} // namespace
