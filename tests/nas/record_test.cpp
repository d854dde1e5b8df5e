// Header bytes, the discovery request and acknowledgement, and the decode of a server reply into
// NasServerInfo. Expected bytes and offsets are written out here, not taken from the library.
#include "discovery.h"
#include "nas_test_support.h"
#include "packet_header.h"
#include "server_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

nas::NetConfig FixedClockConfig() {
    nas::NetConfig config = nastest::LoopbackConfig();
    config.clock.calendarSeconds = [] { return 0x64A1B2C3u; };
    return config;
}

TEST(PacketHeader, EncodesEveryFieldAtItsOffset) {
    nastest::ScopedNetConfig scope(FixedClockConfig());
    nas::PacketHeader header;
    nas::InitHeader(header, 0x1234, 0x0002, 0x01020304);
    header.status = -2;
    header.subCode = 0xA1A2A3A4;
    header.dataLength = 0xB1B2B3B4;
    uint8_t bytes[40];
    nas::EncodeExtendedHeader(header, bytes);
    const Bytes expected = {
        'P',  'E',  'L',  'Q',  'U',  'A',  'N',  'E',  // signature
        0x00, 0x01, 0x00, 0x00,                         // version 256, reserved
        0xC3, 0xB2, 0xA1, 0x64,                         // time
        0x00, 0x00, 0x02, 0x00,                         // reserved, flags
        0x04, 0x03, 0x02, 0x01,                         // payload length
        0x34, 0x12, 0x01, 0x00,                         // command, one
        0x00, 0x00, 0xFE, 0xFF,                         // reserved, argument -2
        0xA4, 0xA3, 0xA2, 0xA1, 0xB4, 0xB3, 0xB2, 0xB1, // sub-code, data length
    };
    EXPECT_EQ(Bytes(bytes, bytes + 40), expected);

    auto decoded = nas::DecodeHeader(bytes, sizeof bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->status, -2);
    EXPECT_EQ(decoded->command, 0x1234);
    EXPECT_EQ(decoded->payloadLength, 0x01020304u);
    EXPECT_EQ(decoded->dataLength, 0xB1B2B3B4u);
    EXPECT_FALSE(nas::DecodeHeader(bytes, 31));
    EXPECT_EQ(nas::DecodeHeader(bytes, 32)->dataLength, 0u) << "read past a 32-byte header";
}

TEST(PacketHeader, BareRequestAndAcknowledgement) {
    nastest::ScopedNetConfig scope(FixedClockConfig());
    uint8_t bytes[32];
    nas::EncodeHeader(nas::BuildCommandHeader(14), bytes);
    EXPECT_EQ(bytes[18], 1); // flags
    EXPECT_EQ(bytes[20] | bytes[21] | bytes[22] | bytes[23], 0);
    EXPECT_EQ(bytes[24], 14);

    const auto ack = nas::EncodeAck();
    const Bytes expected = {'P',  'E',  'L',  'Q',  'U',  'A',  'N',  'E',  0x00, 0x01, 0x00,
                            0x00, 0xC3, 0xB2, 0xA1, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x02, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(Bytes(ack.begin(), ack.end()), expected);
}

TEST(DiscoveryRequest, CarriesHostNameAndFirstLocalAddress) {
    nas::NetConfig config = FixedClockConfig();
    config.hostName = "a-very-long-host-name.example";
    config.localInterfaces = std::vector<nas::LocalInterface>{
        {nastest::Ipv4(127, 0, 0, 9), 0xFFFFFF00u}, {nastest::Ipv4(127, 0, 0, 10), 0xFFFFFF00u}};
    nastest::ScopedNetConfig scope(config);
    const auto request = nas::BuildDiscoveryRequest(config);
    ASSERT_EQ(request.size(), 68u);
    auto header = nas::DecodeHeader(request.data(), request.size());
    EXPECT_EQ(header->flags, 1);
    EXPECT_EQ(header->payloadLength, 36u);
    EXPECT_EQ(header->command, 1);
    EXPECT_EQ(header->status, 0);
    EXPECT_EQ(header->subCode, 0u);
    EXPECT_EQ(header->dataLength, 28u);
    EXPECT_EQ(Bytes(request.begin() + 40, request.begin() + 48), Bytes(8, 0));
    EXPECT_EQ(std::string(request.begin() + 48, request.begin() + 64), "a-very-long-host");
    EXPECT_EQ(Bytes(request.begin() + 64, request.end()), (Bytes{127, 0, 0, 9}));
}

// A server reply written field by field at the offsets the units use.
Bytes MakeReply(size_t size) {
    Bytes b(size, 0);
    auto put16 = [&](size_t at, uint16_t v) {
        b[at] = v & 0xFF;
        b[at + 1] = v >> 8;
    };
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = (v >> (8 * i)) & 0xFF;
    };
    auto putNet = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = (v >> (24 - 8 * i)) & 0xFF;
    };
    auto text = [&](size_t at, const char* s) { std::memcpy(&b[at], s, std::strlen(s)); };
    text(0, "PELQUANE");
    put16(8, 0x0100);
    put32(20, static_cast<uint32_t>(size - 32));
    put16(24, 1);
    put16(26, 1);
    put16(30, 0);
    put32(40, 1); // encoding kind
    put32(52, 0); // mirror word
    put16(56, 3); // firmware 3.14.15.92
    put16(58, 14);
    put16(60, 15);
    put16(62, 92);
    text(64, "build-2024-07");
    for (int i = 0; i < 18; ++i)
        b[112 + i] = static_cast<uint8_t>(0xA0 + i);
    put16(130, 0x1301);
    put32(132, 0xC0000000); // capabilities
    put32(140, 0x14014014);
    put32(144, 0x00000001); // option word
    put32(148, 0x14814814);
    put32(152, 7); // unit status
    put16(160, 0x1601);
    put16(162, 0x1621);
    put32(164, 0x16416416);
    text(168, "comment of the unit, 32 bytes!!!");
    putNet(200, 0xC0A80102); // 192.168.1.2
    putNet(204, 0x0A000002);
    putNet(208, 0);
    putNet(212, 0xC0A80101); // gateways
    putNet(216, 0x0A000001);
    putNet(220, 0);
    putNet(224, 0xFFFFFF00); // masks
    putNet(228, 0xFF000000);
    putNet(232, 0);
    text(236, "UNIT-NAME");
    text(252, "WORKGROUP16BYTES"); // fills its field: no terminator
    text(268, "extra-text");
    if (size == 348) text(284, "a long name that only the extended reply carries");
    return b;
}

TEST(ServerRecord, DecodesEveryFieldOfA284ByteReply) {
    const Bytes reply = MakeReply(284);
    NasServerInfo r;
    std::memset(&r, 0x5A, sizeof r);
    ASSERT_TRUE(nas::DecodeServerReply(reply.data(), reply.size(), r));
    EXPECT_EQ(std::string(r.name, 16), std::string("UNIT-NAME\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(std::string(r.workgroup, 16), "WORKGROUP16BYTES");
    EXPECT_EQ(std::string(r.comment, 32), "comment of the unit, 32 bytes!!!");
    EXPECT_STREQ(r.extraText, "extra-text");
    EXPECT_EQ(r.ipAddress[0], 0xC0A80102u);
    EXPECT_EQ(r.ipAddress[1], 0x0A000002u);
    EXPECT_EQ(r.ipAddress[2], 0u);
    EXPECT_EQ(r.gateway[0], 0xC0A80101u);
    EXPECT_EQ(r.gateway[1], 0x0A000001u);
    EXPECT_EQ(r.subnetMask[0], 0xFFFFFF00u);
    EXPECT_EQ(r.subnetMask[1], 0xFF000000u);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(r.hardwareAddress[i], 0xA0 + i);
    EXPECT_EQ(r.word134, 0x1301);
    EXPECT_EQ(r.firmwareVersion[0], 3);
    EXPECT_EQ(r.firmwareVersion[1], 14);
    EXPECT_EQ(r.firmwareVersion[2], 15);
    EXPECT_EQ(r.firmwareVersion[3], 92);
    EXPECT_STREQ(r.firmwareBuild, "build-2024-07");
    EXPECT_EQ(r.value160, 0x14014014u);
    EXPECT_EQ(r.optionWord, 1u);
    EXPECT_EQ(r.unitStatus, 7u);
    EXPECT_EQ(r.capabilityFlags, 0xC0000000u);
    EXPECT_EQ(r.value176, 0x14814814u);
    EXPECT_EQ(r.word180, 0x1601);
    EXPECT_EQ(r.word182, 0x1621);
    EXPECT_EQ(r.value184, 0x16416416u);
    EXPECT_EQ(r.textEncodingKind, 1u);
    EXPECT_EQ(std::count(r.extendedName, r.extendedName + 64, 0), 64);
}

TEST(ServerRecord, ExtendedReplyHasKindTwoAndTheLongName) {
    Bytes reply = MakeReply(348);
    NasServerInfo r;
    ASSERT_TRUE(nas::DecodeServerReply(reply.data(), reply.size(), r));
    EXPECT_EQ(r.textEncodingKind, 2u); // whatever the unit put at offset 40
    EXPECT_STREQ(r.extendedName, "a long name that only the extended reply carries");

    // A reply between the two sizes: the long name's missing bytes read as zero.
    Bytes middle = MakeReply(300);
    std::memcpy(&middle[284], "0123456789ABCDEF", 16);
    ASSERT_TRUE(nas::DecodeServerReply(middle.data(), middle.size(), r));
    EXPECT_EQ(r.textEncodingKind, 1u);
    EXPECT_EQ(std::string(r.extendedName, 17), std::string("0123456789ABCDEF\0", 17));
    EXPECT_EQ(std::count(r.extendedName + 16, r.extendedName + 64, 0), 48);
}

TEST(ServerRecord, MirrorWordAlsoSetsCapabilityBitZero) {
    const struct {
        uint32_t mirrorWord;
        uint32_t expected;
    } cases[] = {{0x00000001, 0xC0000001},
                 {0x00000003, 0xC0000001},
                 {0x00000002, 0xC0000000},
                 {0x80000001, 0xC0000000}}; // negative: not taken
    for (const auto& c : cases) {
        Bytes reply = MakeReply(284);
        for (int i = 0; i < 4; ++i)
            reply[52 + i] = (c.mirrorWord >> (8 * i)) & 0xFF;
        NasServerInfo r;
        ASSERT_TRUE(nas::DecodeServerReply(reply.data(), reply.size(), r));
        EXPECT_EQ(r.capabilityFlags, c.expected) << std::hex << c.mirrorWord;
    }
}

TEST(ServerRecord, RefusesRepliesThatAreNotServerReplies) {
    const struct {
        const char* what;
        size_t size;
        size_t at; // byte to change, or SIZE_MAX
        uint8_t value;
    } cases[] = {
        {"too short", 283, SIZE_MAX, 0},
        {"too long", 349, SIZE_MAX, 0},
        {"signature", 284, 7, 'X'},
        {"version", 284, 9, 0x02},
        {"own request heard again", 284, 20, 36},
    };
    for (const auto& c : cases) {
        Bytes reply = MakeReply(c.size);
        if (c.at != SIZE_MAX) {
            reply[c.at] = c.value;
            if (c.at == 20) reply[21] = reply[22] = reply[23] = 0;
        }
        NasServerInfo r;
        std::memset(&r, 0x5A, sizeof r);
        EXPECT_FALSE(nas::DecodeServerReply(reply.data(), reply.size(), r)) << c.what;
        EXPECT_EQ(r.name[0], 0x5A) << c.what << ": record touched";
    }
    const Bytes header = MakeReply(284);
    EXPECT_FALSE(nas::IsValidReply(header.data(), 31));
}

TEST(ServerRecord, KeyIsTheWholeHardwareAddress) {
    Bytes a = MakeReply(284);
    Bytes b = a;
    b[112 + 17] ^= 1; // shares the first 17 bytes
    NasServerInfo ra, rb, rc;
    ASSERT_TRUE(nas::DecodeServerReply(a.data(), a.size(), ra));
    ASSERT_TRUE(nas::DecodeServerReply(b.data(), b.size(), rb));
    Bytes c = a;
    c[236] = 'X'; // another name, same hardware address
    ASSERT_TRUE(nas::DecodeServerReply(c.data(), c.size(), rc));
    EXPECT_FALSE(nas::SameServerKey(ra, rb));
    EXPECT_TRUE(nas::SameServerKey(ra, rc));
}

} // namespace
