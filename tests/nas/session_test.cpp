// Mirror, image-transfer and one-request sessions against simulated units: what arrives, who owns
// and closes the session socket, and every way a step can fail.
#include "cd_table.h"
#include "nas_test_support.h"
#include "nasapi.h"
#include "nassim.h"
#include "socket.h"
#include "text_codec.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using nastest::Ipv4;
using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

const std::string kUser = "mirror";
const std::string kPassword = "pw";

void Put(char* field, size_t width, const std::string& text) {
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), std::min(width, text.size()));
}

std::string Text(const Bytes& bytes, size_t at, size_t width) {
    const char* start = reinterpret_cast<const char*>(bytes.data() + at);
    return std::string(start, strnlen(start, width));
}

uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

Bytes Pattern(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

NasMirrorInfo MirrorInfo() {
    NasMirrorInfo info;
    std::memset(&info, 0, sizeof info);
    Put(info.userName, sizeof info.userName, kUser);
    Put(info.password, sizeof info.password, kPassword);
    Put(info.folderName, sizeof info.folderName, "Folder1");
    info.sectorCount = 4096;
    info.discKind = 0x11;
    info.methodBits = 0x22;
    Put(info.sourceLabel, sizeof info.sourceLabel, "LABEL");
    Put(info.imageName, sizeof info.imageName, "DISC1");
    Put(info.shareName, sizeof info.shareName, "share");
    info.sectorCount2 = 4095;
    info.fileSystem = 1;
    info.mode = 1;
    return info;
}

// Two tracks and the lead-out; every byte the unit must see is written out by hand below.
NasCDTable Table() {
    NasCDTable t;
    std::memset(&t, 0, sizeof t);
    t.one = 1;
    t.trackCount = 2;
    t.discByte2 = 0x20;
    t.discByte3 = 0x30;
    t.leadOutAddress = 4096;
    t.one9 = 1;
    t.tracks[0] = {1, 0x41, 1, 0, 1};
    t.tracks[1] = {2, 0x41, 1, 2000, 1};
    t.leadOut = {0xAA, 0x41, 1, 4096, 1};
    return t;
}

Bytes TableBytes() {
    Bytes b(812, 0);
    b[0] = 1;
    b[1] = 2;
    b[2] = 0x20;
    b[3] = 0x30;
    b[5] = 0x10; // 4096
    b[9] = 1;
    const uint8_t track1[8] = {1, 0x41, 1, 0, 0, 0, 0, 1};
    const uint8_t track2[8] = {2, 0x41, 1, 0xD0, 0x07, 0, 0, 1}; // 2000
    const uint8_t leadOut[8] = {0xAA, 0x41, 1, 0, 0x10, 0, 0, 1};
    std::memcpy(&b[10], track1, 8);
    std::memcpy(&b[18], track2, 8);
    std::memcpy(&b[802], leadOut, 8);
    return b;
}

// One unit with an account and an image folder; the library pointed at it with short limits.
struct SessionFixture {
    nassim::Unit unit;
    std::array<uint32_t, 3> addrs;

    static nassim::UnitConfig Config(uint32_t address) {
        nassim::UnitConfig config;
        config.address = address;
        config.tcpPort = nassim::FreeTcpPort();
        config.state.users = {{kUser, kPassword}};
        config.state.imageFolders = {"Folder1", "Folder2"};
        return config;
    }
    explicit SessionFixture(uint32_t address) : unit(Config(address)), addrs{address, 0, 0} {}

    nas::NetConfig netConfig() const {
        nas::NetConfig config = nastest::LoopbackConfig();
        config.tcpPort = unit.tcpPort();
        config.readinessWaitMs = 300;
        config.idleRounds = 1;
        return config;
    }
    nassim::Session onlySession() const {
        auto sessions = unit.sessions();
        EXPECT_EQ(sessions.size(), 1u);
        return sessions.empty() ? nassim::Session{} : sessions.front();
    }
    bool waitPeerClosed() const {
        return nassim::WaitUntil(
            [&] {
                auto s = unit.sessions();
                return !s.empty() && s.back().peerClosed;
            },
            milliseconds(3000));
    }
    bool peerClosedNow() const {
        auto s = unit.sessions();
        return !s.empty() && s.back().peerClosed;
    }
};

int Start(SessionFixture& f, int* session, NasMirrorInfo& info, int kind = 0, int flag = 0) {
    NasCDTable table = Table();
    return NasApiMirrorStart(f.addrs.data(), session, &table, &info, kind, flag);
}

TEST(MirrorSession, EightMegabytesArriveWholeAndCompleteClosesTheSession) {
    SessionFixture f(Ipv4(127, 0, 100, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    nassim::UnitState state = f.unit.state();
    state.nextImageId = 0xA1B2; // sent back in the reply's u16 at 292
    f.unit.setState(state);
    NasMirrorInfo info = MirrorInfo();
    int session = 0;
    ASSERT_EQ(Start(f, &session, info), 0);
    ASSERT_GT(session, 0);
    const uint16_t replyWord = info.replyWord; // a field of a packed record
    EXPECT_EQ(replyWord, 0xA1B2);

    const Bytes disc = Pattern(8 << 20, 1);
    const int block = 16 * 2048;
    for (size_t at = 0; at < disc.size(); at += block)
        ASSERT_EQ(NasApiSendCDData(session, disc.data() + at, block), 0) << "block at " << at;
    ASSERT_EQ(NasApiMirrorComplete(session), 0);
    EXPECT_TRUE(f.waitPeerClosed()) << "the library did not close the session";

    nassim::Session s = f.onlySession();
    EXPECT_EQ(s.kind, nassim::SessionKind::Mirror);
    EXPECT_EQ(s.end, nassim::SessionEnd::Completed);
    EXPECT_EQ(s.dataBytes, disc.size());
    EXPECT_EQ(s.blockSizes, std::vector<size_t>(disc.size() / block, block));
    EXPECT_EQ(nassim::Sha256Hex(s.data), nassim::Sha256Hex(disc));

    // The request as the unit read it, and the table byte for byte.
    ASSERT_EQ(s.startRequest.size(), 420u);
    EXPECT_EQ(Text(s.startRequest, 0, 32), kUser);
    const auto digest = nassim::PasswordDigest(kPassword);
    EXPECT_TRUE(std::equal(digest.begin(), digest.end(), s.startRequest.begin() + 32));
    EXPECT_EQ(U32(s.startRequest, 52), 0x02000000u + 2000 + 4096);
    EXPECT_EQ(Text(s.startRequest, 56, 112), "Folder1");
    EXPECT_EQ(U32(s.startRequest, 168), 4096u);
    EXPECT_EQ(U32(s.startRequest, 172), 0x11u);
    EXPECT_EQ(U32(s.startRequest, 176), 0x22u);
    EXPECT_EQ(Text(s.startRequest, 180, 32), "LABEL");
    EXPECT_EQ(Text(s.startRequest, 212, 32), "DISC1");
    EXPECT_EQ(Text(s.startRequest, 244, 32), "share");
    EXPECT_EQ(U32(s.startRequest, 276), 4095u);
    EXPECT_EQ(U32(s.startRequest, 280), 1u);
    EXPECT_EQ(s.startRequest[286], 1);
    EXPECT_EQ(s.table, TableBytes());

    // The unit's name for the image came back into the record.
    ASSERT_EQ(s.files.size(), 1u);
    EXPECT_EQ(std::string(info.imageName, strnlen(info.imageName, 32)), s.files[0].name);
    EXPECT_TRUE(f.unit.problems().empty());
    const auto images = f.unit.state().images;
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].id, 0xA1B2u);
}

TEST(MirrorSession, AbortInTheMiddleReachesTheUnitAndLeavesTheSessionToTheCaller) {
    SessionFixture f(Ipv4(127, 0, 101, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    NasMirrorInfo info = MirrorInfo();
    int session = 0;
    ASSERT_EQ(Start(f, &session, info), 0);
    const Bytes half = Pattern(1 << 20, 2);
    for (size_t at = 0; at < half.size(); at += 32768)
        ASSERT_EQ(NasApiSendCDData(session, half.data() + at, 32768), 0);
    ASSERT_EQ(NasApiMirrorAbort(session, 4096), 0);
    ASSERT_TRUE(f.unit.waitForSessionsEnded(1, milliseconds(3000)));

    nassim::Session s = f.onlySession();
    EXPECT_EQ(s.end, nassim::SessionEnd::Aborted);
    EXPECT_EQ(s.abortReason, 4096);
    EXPECT_EQ(s.dataBytes, half.size());
    ASSERT_TRUE(
        nassim::WaitUntil([&] { return !f.unit.requestsFor(nassim::kCommandMirrorAbort).empty(); },
                          milliseconds(3000)));
    auto aborts = f.unit.requestsFor(nassim::kCommandMirrorAbort);
    ASSERT_EQ(aborts.size(), 1u);
    EXPECT_EQ(aborts[0].bytes.size(), 32u) << "the abort is a bare header";
    ASSERT_TRUE(aborts[0].header.has_value());
    EXPECT_EQ(aborts[0].header->payloadLength, 8u) << "it declares a sub-header it doesn't send";
    EXPECT_EQ(aborts[0].header->argument, 4096);
    EXPECT_TRUE(f.unit.problems().empty());

    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_FALSE(f.peerClosedNow()) << "the abort closed the caller's session";
    ::close(session);
    EXPECT_TRUE(f.waitPeerClosed());
}

TEST(MirrorSession, RefusedCompleteLeavesTheSessionOpen) {
    SessionFixture f(Ipv4(127, 0, 102, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    nassim::CommandFault refuse;
    refuse.command = nassim::kCommandMirrorComplete;
    refuse.status = 5;
    f.unit.addCommandFault(refuse);
    NasMirrorInfo info = MirrorInfo();
    int session = 0;
    ASSERT_EQ(Start(f, &session, info), 0);
    const Bytes data = Pattern(65536, 3);
    ASSERT_EQ(NasApiSendCDData(session, data.data(), static_cast<int>(data.size())), 0);
    EXPECT_EQ(NasApiMirrorComplete(session), 5);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_FALSE(f.peerClosedNow()) << "a failed complete closed the caller's session";
    // Still the caller's to use: it aborts and closes.
    EXPECT_EQ(NasApiMirrorAbort(session, 4097), 0);
    ::close(session);
    EXPECT_TRUE(f.waitPeerClosed());
}

TEST(MirrorSession, TextsGoInTheUnitsEncodingAndTheFolderByteForByte) {
    // The caller's texts are in the unit's encoding already. Kinds 1 and 2 get them as valid
    // UTF-8; a kind-0 unit gets the caller's bytes unchanged, whatever the configured code page
    // (the program converted them); the folder is the unit's own name and goes unchanged in every
    // case (here a CP1252 name, which is not UTF-8 at all).
    const std::string cafe = "Caf\xC3\xA9";                        // UTF-8
    const std::string test = "\xE6\xB8\xAC\xE8\xA9\xA6";           // two traditional characters
    const std::string testSimplified = "\xE6\xB5\x8B\xE8\xAF\x95"; // two simplified characters
    std::string eleven; // eleven three-byte characters: 33 bytes of UTF-8
    for (int i = 0; i < 11; ++i)
        eleven += test.substr(3 * (i % 2), 3);
    std::string fifteenBig5; // fifteen Big5 characters: 30 bytes
    for (int i = 0; i < 15; ++i)
        fifteenBig5 += i % 2 ? "\xB8\xD5" : "\xB4\xFA";
    struct Case {
        const char* codePage;
        int kind;
        int flag;
        uint8_t mode;
        std::string label, sentLabel;
        uint8_t modeSent;
    };
    const Case cases[] = {
        {"CP1252", 0, 1, 3, "Caf\xE9", "Caf\xE9", 3},
        {"CP1252", 1, 0, 3, cafe, cafe, 3},
        {"CP1252", 2, 1, 1, cafe, cafe, 1},
        {"CP1252", 2, 0, 0, cafe, cafe, 1},
        {"CP950", 0, 1, 3, "\xB4\xFA\xB8\xD5", "\xB4\xFA\xB8\xD5", 3},
        {"CP936", 0, 1, 3, "\xB2\xE2\xCA\xD4", "\xB2\xE2\xCA\xD4", 3},
        {"CP936", 1, 1, 3, testSimplified, testSimplified, 3},
        // Kind 0 is never converted again: UTF-8 given for it goes as those bytes.
        {"CP1252", 0, 0, 1, cafe, cafe, 1},
        {"NO-SUCH-CODE-PAGE", 0, 0, 1, "Caf\xE9", "Caf\xE9", 1},
        // A UTF-8 character cut off by the end of the caller's 32-byte field is left out.
        {"CP950", 1, 0, 1, eleven, eleven.substr(0, 30), 1},
        // Fifteen Big5 characters fit a kind-0 unit's field whole.
        {"CP950", 0, 0, 1, fifteenBig5, fifteenBig5, 1},
        // A byte that starts no UTF-8 character goes to a UTF-8 unit as '?'.
        {"CP1252", 1, 0, 1, "Caf\xE9!", "Caf?!", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.codePage) + " kind " + std::to_string(c.kind) + " flag " +
                     std::to_string(c.flag) + " mode " + std::to_string(c.mode));
        SessionFixture f(Ipv4(127, 0, 103, 2));
        nas::NetConfig config = f.netConfig();
        config.ansiCodePage = c.codePage;
        nastest::ScopedNetConfig scope(config);
        f.unit.setImageFolders({});
        NasMirrorInfo info = MirrorInfo();
        Put(info.folderName, sizeof info.folderName, "Fold\xE9r");
        Put(info.sourceLabel, sizeof info.sourceLabel, c.label);
        Put(info.imageName, sizeof info.imageName, c.label);
        Put(info.shareName, sizeof info.shareName, c.label);
        info.mode = c.mode;
        int session = 0;
        ASSERT_EQ(Start(f, &session, info, c.kind, c.flag), 0);
        NasApiMirrorAbort(session, 4096);
        ::close(session);
        const Bytes r = f.onlySession().startRequest;
        ASSERT_EQ(r.size(), 420u);
        EXPECT_EQ(Text(r, 56, 112), "Fold\xE9r");
        EXPECT_EQ(Text(r, 180, 32), c.sentLabel);
        EXPECT_EQ(Text(r, 212, 32), c.sentLabel);
        EXPECT_EQ(Text(r, 244, 32), c.sentLabel);
        EXPECT_EQ(r[286], c.modeSent);
        // The unit's name for the image comes back as the unit sent it.
        EXPECT_EQ(std::string(info.imageName, strnlen(info.imageName, 32)), c.sentLabel);
    }
}

TEST(MirrorSession, ReplyTextWithoutTerminatorStaysInsideTheRecordField) {
    SessionFixture f(Ipv4(127, 0, 104, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    nassim::CommandFault unterminated;
    unterminated.command = nassim::kCommandMirrorStart;
    unterminated.unterminated = true;
    f.unit.addCommandFault(unterminated);
    NasMirrorInfo info = MirrorInfo();
    std::memset(&info.sectorCount2, 0x5A, 4); // a marker in the field after the three texts
    const NasMirrorInfo before = info;
    int session = 0;
    ASSERT_EQ(Start(f, &session, info), 0);
    NasApiMirrorAbort(session, 4096);
    ::close(session);
    EXPECT_EQ(info.imageName[31], 0) << "the name is always terminated";
    EXPECT_EQ(strnlen(info.imageName, 32), 31u);
    EXPECT_EQ(std::memcmp(info.shareName, before.shareName, sizeof info.shareName), 0);
    EXPECT_EQ(info.sectorCount2, before.sectorCount2);
}

TEST(SessionCalls, HandleZeroOrBelowIsRefusedWithoutTraffic) {
    // Descriptor 0 is a connected socket here: nothing may arrive at its peer.
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    int savedStdin = ::dup(0);
    ASSERT_EQ(::dup2(pair[0], 0), 0);
    const uint8_t block[16] = {};
    for (int handle : {0, -1, -7}) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(NasApiSendCDData(handle, block, sizeof block), -1);
        EXPECT_EQ(NasApiMirrorComplete(handle), -1);
        EXPECT_EQ(NasApiMirrorAbort(handle, 4096), -1);
        EXPECT_EQ(NasApiSendCDHImageData(handle, block, sizeof block), -1);
        EXPECT_EQ(NasApiCDHImgTransferComplete(handle, nullptr), -1);
        EXPECT_EQ(NasApiCDHImgTransferAbort(handle, 4096), -1);
    }
    pollfd peer{pair[1], POLLIN, 0};
    EXPECT_EQ(::poll(&peer, 1, 50), 0) << "something was sent on descriptor 0";
    EXPECT_EQ(::fcntl(0, F_GETFD), 0) << "descriptor 0 was closed";
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
    ::close(pair[0]);
    ::close(pair[1]);
}

TEST(SessionCalls, BadBlockArgumentsAreRefused) {
    SessionFixture f(Ipv4(127, 0, 105, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    NasMirrorInfo info = MirrorInfo();
    int session = 0;
    ASSERT_EQ(Start(f, &session, info), 0);
    EXPECT_EQ(NasApiSendCDData(session, nullptr, 10), -1);
    const uint8_t block[4] = {1, 2, 3, 4};
    EXPECT_EQ(NasApiSendCDData(session, block, -4), -1);
    EXPECT_EQ(NasApiSendCDData(session, block, 4), 0);
    EXPECT_EQ(NasApiMirrorComplete(session), 0);
    EXPECT_EQ(f.onlySession().dataBytes, 4u);
}

NasImgRequest TransferRequest(uint32_t firstSize) {
    NasImgRequest r;
    std::memset(&r, 0, sizeof r);
    Put(r.transfer.userName, sizeof r.transfer.userName, kUser);
    Put(r.transfer.password, sizeof r.transfer.password, kPassword);
    Put(r.transfer.folderName, sizeof r.transfer.folderName, "Folder2");
    Put(r.transfer.imageFileName, sizeof r.transfer.imageFileName, "first.iso");
    r.transfer.imageNumber = 1;
    r.transfer.imageSize = firstSize;
    r.transfer.imageCount = 2;
    return r;
}

TEST(ImageTransfer, TwoImagesArriveAndTheSessionStaysTheCallers) {
    SessionFixture f(Ipv4(127, 0, 106, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    const Bytes first = Pattern(300000, 4);
    const Bytes second = Pattern(123457, 5);
    NasImgRequest request = TransferRequest(static_cast<uint32_t>(first.size()));
    int session = 0;
    ASSERT_EQ(NasApiCDHImgTransferStart(f.addrs.data(), &session, &request), 0);
    ASSERT_GT(session, 0);
    auto send = [&](const Bytes& image) {
        for (size_t at = 0; at < image.size(); at += 65536) {
            int size = static_cast<int>(std::min<size_t>(65536, image.size() - at));
            ASSERT_EQ(NasApiSendCDHImageData(session, image.data() + at, size), 0);
        }
    };
    send(first);
    NasImgDone next;
    std::memset(&next, 0, sizeof next);
    Put(next.nextFileName, sizeof next.nextFileName, "second.iso");
    next.moreImages = 1;
    next.nextFileSize = static_cast<uint32_t>(second.size());
    ASSERT_EQ(NasApiCDHImgTransferComplete(session, &next), 0);
    send(second);
    ASSERT_EQ(NasApiCDHImgTransferComplete(session, nullptr), 0);
    ASSERT_TRUE(f.unit.waitForSessionsEnded(1, milliseconds(3000)));
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_FALSE(f.peerClosedNow()) << "the transfer's completion closed the session";
    ::close(session);
    EXPECT_TRUE(f.waitPeerClosed());

    nassim::Session s = f.onlySession();
    EXPECT_EQ(s.kind, nassim::SessionKind::ImageTransfer);
    EXPECT_EQ(s.end, nassim::SessionEnd::Completed);
    ASSERT_EQ(s.files.size(), 2u);
    EXPECT_EQ(s.files[0].name, "first.iso");
    EXPECT_EQ(s.files[0].size, first.size());
    EXPECT_TRUE(s.files[0].complete);
    EXPECT_EQ(s.files[1].name, "second.iso");
    EXPECT_EQ(s.files[1].announcedSize, second.size());
    EXPECT_EQ(s.files[1].size, second.size());
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(nassim::Sha256Hex(s.data), nassim::Sha256Hex(both));

    const Bytes& r = s.startRequest;
    ASSERT_EQ(r.size(), 512u);
    EXPECT_EQ(Text(r, 0, 32), kUser);
    EXPECT_EQ(U32(r, 52), 0u);
    EXPECT_EQ(Text(r, 56, 112), "Folder2");
    EXPECT_EQ(Text(r, 168, 65), "first.iso");
    EXPECT_EQ(U32(r, 233), 1u);
    EXPECT_EQ(U32(r, 237), first.size());
    EXPECT_EQ(U32(r, 241), 2u);
    ASSERT_EQ(s.completions.size(), 2u);
    EXPECT_EQ(Text(s.completions[0], 0, 64), "second.iso");
    EXPECT_EQ(U32(s.completions[0], 65), 1u);
    EXPECT_EQ(U32(s.completions[0], 69), second.size());
    EXPECT_EQ(s.completions[1], Bytes(333, 0));
    EXPECT_TRUE(f.unit.problems().empty());
}

TEST(ImageCalls, ConversionAndDeletionReachTheUnit) {
    SessionFixture f(Ipv4(127, 0, 107, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    std::vector<nassim::ImageRecord> images(4);
    for (uint32_t i = 0; i < images.size(); ++i) {
        images[i].id = 10 + i;
        images[i].name = "image" + std::to_string(i);
    }
    f.unit.setImages(images);

    NasImgRequest convert;
    std::memset(&convert, 0, sizeof convert);
    Put(convert.conversion.userName, 32, kUser);
    Put(convert.conversion.password, 16, kPassword);
    Put(convert.conversion.folderName, 112, "Folder1");
    EXPECT_EQ(NasApiCDHImageConvertByImgFolder(f.addrs.data(), &convert), 0);
    Put(convert.conversion.folderName, 112, "NoSuchFolder");
    EXPECT_EQ(NasApiCDHImageConvertByImgFolder(f.addrs.data(), &convert),
              nassim::kStatusInvalidOption);
    auto conversions = f.unit.requestsFor(nassim::kCommandConvert);
    ASSERT_EQ(conversions.size(), 2u);
    ASSERT_EQ(conversions[0].bytes.size(), 240u);
    EXPECT_EQ(Text(conversions[0].bytes, 40 + 52, 112), "Folder1");

    NasImgRequest remove;
    std::memset(&remove, 0, sizeof remove);
    Put(remove.deletion.userName, 32, kUser);
    Put(remove.deletion.password, 20, kPassword);
    remove.deletion.imageCount = 2;
    remove.deletion.imageIds[0] = 11;
    remove.deletion.imageIds[1] = 13;
    EXPECT_EQ(NasApiDeleteCDImage(f.addrs.data(), &remove), 0);
    std::vector<uint32_t> left;
    for (const auto& image : f.unit.state().images)
        left.push_back(image.id);
    EXPECT_EQ(left, (std::vector<uint32_t>{10, 12}));
    auto deletions = f.unit.requestsFor(nassim::kCommandDeleteImage);
    ASSERT_EQ(deletions.size(), 1u);
    ASSERT_EQ(deletions[0].bytes.size(), 552u);
    EXPECT_EQ(U32(deletions[0].bytes, 40 + 52), 2u);
    EXPECT_EQ(U32(deletions[0].bytes, 40 + 56), 11u);
    EXPECT_EQ(U32(deletions[0].bytes, 40 + 60), 13u);

    // Each call opened and closed its own connection.
    EXPECT_TRUE(nassim::WaitUntil(
        [&] {
            return f.unit.requests().size() == 3; // nothing else arrived
        },
        milliseconds(1000)));
    EXPECT_TRUE(f.unit.problems().empty());
}

TEST(RemoteRecording, TheImageNameGoesBackAsTheUnitSentIt) {
    // The name comes from the unit (its list, or a mirror's reply): whatever the kind and the
    // code page, not one byte of it changes on its way back.
    const std::string names[] = {"Caf\xE9", "Caf\xC3\xA9", "\xB4\xFA\xB8\xD5"};
    for (int kind : {0, 1, 2}) {
        for (const std::string& name : names) {
            SCOPED_TRACE("kind " + std::to_string(kind));
            SessionFixture f(Ipv4(127, 0, 108, 3));
            nas::NetConfig config = f.netConfig();
            config.ansiCodePage = "CP950";
            nastest::ScopedNetConfig scope(config);
            std::vector<nassim::ImageRecord> images(1);
            images[0].id = 5;
            images[0].name = name;
            f.unit.setImages(images);
            NasBurnInfo info;
            std::memset(&info, 0, sizeof info);
            Put(info.userName, 32, kUser);
            Put(info.password, 20, kPassword);
            info.imageId = 5;
            Put(info.imageName, 32, name);
            info.writer = 1;
            ASSERT_EQ(NasApiRemoteCDBurning(f.addrs.data(), &info, kind), 0);
            const auto jobs = f.unit.recordings();
            ASSERT_EQ(jobs.size(), 1u);
            EXPECT_EQ(jobs[0].imageName, name);
        }
    }
}

TEST(RemoteRecording, StartsAJobWhoseStatusWalksThroughTheWritersStates) {
    SessionFixture f(Ipv4(127, 0, 108, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    std::vector<nassim::ImageRecord> images(1);
    images[0].id = 77;
    images[0].name = "Caf\xC3\xA9";
    f.unit.setImages(images);
    // The state bytes no field names carry a pattern of their offsets.
    f.unit.setWriterScript(
        {{1, 0, 0, 0x40}, {5, 40, 0, 0x80}, {7, 90, 0, 0xC0}, {0, 100, 4096, 0}});

    NasBurnInfo info;
    std::memset(&info, 0, sizeof info);
    Put(info.userName, 32, kUser);
    Put(info.password, 20, kPassword);
    info.imageId = 77;
    Put(info.imageName, 32, "Caf\xC3\xA9"); // the unit's name, as its list gave it
    info.writer = 1;
    info.flags = 0xFB; // only bits 0 and 1 go, with bit 2
    ASSERT_EQ(NasApiRemoteCDBurning(f.addrs.data(), &info, 1), 0);

    auto jobs = f.unit.recordings();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].user, kUser);
    EXPECT_EQ(jobs[0].imageId, 77u);
    EXPECT_EQ(jobs[0].imageName, "Caf\xC3\xA9");
    EXPECT_EQ(jobs[0].writer, 1);
    EXPECT_EQ(jobs[0].flags, 0x07);
    EXPECT_EQ(jobs[0].host, Ipv4(127, 0, 0, 1));
    const uint32_t replyValue = info.replyValue; // a field of a packed record
    EXPECT_EQ(replyValue, jobs[0].jobCounter);

    const uint32_t job[2] = {info.writer, replyValue};
    const struct {
        int state, percent;
        uint32_t endReason;
        uint8_t filler;
    } expected[] = {{1, 0, 0, 0x40},
                    {5, 40, 0, 0x80},
                    {7, 90, 0, 0xC0},
                    {0, 100, 4096, 0x00},
                    {0, 100, 4096, 0x00}};
    for (const auto& e : expected) {
        NasCDBurningStat stat;
        std::memset(&stat, 0xEE, sizeof stat);
        ASSERT_EQ(NasApiGetCDBurningStat(f.addrs.data(), job, &stat), 0);
        EXPECT_EQ(stat.writerState, e.state);
        EXPECT_EQ(stat.percentDone, e.percent);
        EXPECT_EQ(uint32_t{stat.jobCounter}, replyValue);
        EXPECT_EQ(uint32_t{stat.endReason}, e.endReason);
        // Every other byte as the unit sent it, at its own offset.
        const auto* bytes = reinterpret_cast<const uint8_t*>(&stat);
        for (size_t i = 0; i < sizeof stat; ++i) {
            const bool named = (i >= 4 && i < 8) || i == 16 || i == 20 || i >= 85;
            const uint8_t sent = e.filler != 0 ? static_cast<uint8_t>(e.filler + i) : 0;
            if (!named) {
                EXPECT_EQ(bytes[i], sent) << "byte " << i;
            }
        }
    }
}

// A failing start or one-request call, and what it must leave behind.
struct FailingCall {
    const char* name;
    uint16_t command; // the request that the fault hits
    bool opensSession;
    std::function<int(SessionFixture&, int* session)> call;
};

std::vector<FailingCall> FailingCalls() {
    return {
        {"mirror start", nassim::kCommandMirrorStart, true,
         [](SessionFixture& f, int* session) {
             NasMirrorInfo info = MirrorInfo();
             return Start(f, session, info);
         }},
        {"mirror table", nassim::kCommandMirrorTable, true,
         [](SessionFixture& f, int* session) {
             NasMirrorInfo info = MirrorInfo();
             return Start(f, session, info);
         }},
        {"transfer start", nassim::kCommandImageTransfer, true,
         [](SessionFixture& f, int* session) {
             NasImgRequest r = TransferRequest(10);
             return NasApiCDHImgTransferStart(f.addrs.data(), session, &r);
         }},
        {"conversion", nassim::kCommandConvert, false,
         [](SessionFixture& f, int*) {
             NasImgRequest r;
             std::memset(&r, 0, sizeof r);
             Put(r.conversion.userName, 32, kUser);
             Put(r.conversion.password, 16, kPassword);
             Put(r.conversion.folderName, 112, "Folder1");
             return NasApiCDHImageConvertByImgFolder(f.addrs.data(), &r);
         }},
        {"deletion", nassim::kCommandDeleteImage, false,
         [](SessionFixture& f, int*) {
             NasImgRequest r;
             std::memset(&r, 0, sizeof r);
             Put(r.deletion.userName, 32, kUser);
             Put(r.deletion.password, 20, kPassword);
             r.deletion.imageCount = 1;
             r.deletion.imageIds[0] = 1;
             std::vector<nassim::ImageRecord> images(1);
             images[0].id = 1;
             f.unit.setImages(images);
             return NasApiDeleteCDImage(f.addrs.data(), &r);
         }},
        {"recording", nassim::kCommandRecord, false,
         [](SessionFixture& f, int*) {
             NasBurnInfo info;
             std::memset(&info, 0, sizeof info);
             Put(info.userName, 32, kUser);
             Put(info.password, 20, kPassword);
             info.replyValue = 0xDEADBEEF;
             int result = NasApiRemoteCDBurning(f.addrs.data(), &info, 0);
             EXPECT_EQ(uint32_t{info.replyValue}, 0xDEADBEEFu) << "written without success";
             return result;
         }},
    };
}

TEST(SessionFailures, EveryStartAndOneRequestCallReportsHowItFailed) {
    struct Fault {
        const char* name;
        std::function<void(nassim::CommandFault&)> set;
        int expected;
        bool unitWaitsForMore; // the unit is still there to see the library close
    };
    const Fault faults[] = {
        {"status", [](nassim::CommandFault& f) { f.status = 10; }, 10, true},
        {"negative status", [](nassim::CommandFault& f) { f.status = -2; }, -2, true},
        {"other command", [](nassim::CommandFault& f) { f.replyCommand = 99; }, -1, true},
        {"cut short", [](nassim::CommandFault& f) { f.cutAfter = 12; }, -1, false},
        {"no reply", [](nassim::CommandFault& f) { f.delay = milliseconds(3000); }, -1, false},
    };
    for (const FailingCall& call : FailingCalls()) {
        for (const Fault& fault : faults) {
            SCOPED_TRACE(std::string(call.name) + ", " + fault.name);
            SessionFixture f(Ipv4(127, 0, 110, 2));
            nastest::ScopedNetConfig scope(f.netConfig());
            nassim::CommandFault rule;
            rule.command = call.command;
            fault.set(rule);
            f.unit.addCommandFault(rule);
            int session = 12345;
            auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(call.call(f, &session), fault.expected);
            EXPECT_LT(MsSince(start), 2500);
            EXPECT_EQ(session, 12345) << "a failed start wrote the session";
            if (call.opensSession && fault.unitWaitsForMore) {
                EXPECT_TRUE(f.waitPeerClosed()) << "a failed start left its connection open";
            }
        }
    }
}

TEST(SessionFailures, NoReachableUnitAndTooLongPasswords) {
    SessionFixture f(Ipv4(127, 0, 111, 2));
    nastest::ScopedNetConfig scope(f.netConfig());
    int session = 12345;
    NasMirrorInfo info = MirrorInfo();
    std::memset(info.password, 'p', sizeof info.password);
    EXPECT_EQ(Start(f, &session, info), -1);
    NasImgRequest r = TransferRequest(10);
    std::memset(r.transfer.password, 'p', sizeof r.transfer.password);
    EXPECT_EQ(NasApiCDHImgTransferStart(f.addrs.data(), &session, &r), -1);
    std::memset(r.conversion.password, 'p', sizeof r.conversion.password);
    EXPECT_EQ(NasApiCDHImageConvertByImgFolder(f.addrs.data(), &r), -1);
    EXPECT_EQ(NasApiDeleteCDImage(f.addrs.data(), &r), -1);
    NasBurnInfo burn;
    std::memset(&burn, 0, sizeof burn);
    std::memset(burn.password, 'p', sizeof burn.password);
    EXPECT_EQ(NasApiRemoteCDBurning(f.addrs.data(), &burn, 0), -1);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_TRUE(f.unit.requests().empty()) << "a request with a too long password was sent";
    EXPECT_EQ(session, 12345);

    f.unit.setFault(nassim::Fault::Refuse);
    info = MirrorInfo();
    EXPECT_EQ(Start(f, &session, info), -1);
    EXPECT_EQ(session, 12345);
}

// The third data block meets a fault; the reply to each block is awaited by one blocking receive
// with the readiness wait as the socket's time-out, so a stalled or slow reply must still end in
// time and a reply that comes in pieces must still be whole.
TEST(SessionFailures, DataBlockRepliesThatAreRefusedCutStalledOrFragmented) {
    struct Case {
        const char* name;
        std::function<void(nassim::CommandFault&)> set;
        int expected;
    };
    const Case cases[] = {
        {"status", [](nassim::CommandFault& r) { r.status = -9; }, -9},
        {"cut", [](nassim::CommandFault& r) { r.cutAfter = 5; }, -1},
        {"stalled halfway", [](nassim::CommandFault& r) { r.stallAfter = 20; }, -1},
        {"no reply", [](nassim::CommandFault& r) { r.delay = milliseconds(5000); }, -1},
        {"fragmented", [](nassim::CommandFault& r) { r.fragmentBytes = 7; }, 0},
        {"late but within the waits", [](nassim::CommandFault& r) { r.delay = milliseconds(400); },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionFixture f(Ipv4(127, 0, 112, 2));
        nas::NetConfig config = f.netConfig();
        config.idleRounds = 4; // five waits of 300 ms: the late reply comes within them
        nastest::ScopedNetConfig scope(config);
        nassim::CommandFault rule;
        rule.command = nassim::kCommandMirrorData;
        rule.occurrence = 3;
        c.set(rule);
        f.unit.addCommandFault(rule);
        NasMirrorInfo info = MirrorInfo();
        int session = 0;
        ASSERT_EQ(Start(f, &session, info), 0);
        const Bytes block = Pattern(2048, 6);
        EXPECT_EQ(NasApiSendCDData(session, block.data(), 2048), 0);
        EXPECT_EQ(NasApiSendCDData(session, block.data(), 2048), 0);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NasApiSendCDData(session, block.data(), 2048), c.expected);
        EXPECT_LT(MsSince(start), 4000) << "the waits of the reply did not end it";
        if (c.expected == 0) {
            EXPECT_EQ(NasApiSendCDData(session, block.data(), 2048), 0);
        }
        ::close(session);
    }
}

TEST(CDTable, ChecksumWrapsAndCarriesTheTrackCountInItsTopByte) {
    NasCDTable table;
    std::memset(&table, 0, sizeof table);
    table.trackCount = 12;
    table.tracks[0].startAddress = 0xFFFFFFF0u;
    table.tracks[98].startAddress = 0x25;     // the last slot counts, whatever the track count
    table.leadOut.startAddress = 0x01000001u; // the lead-out too
    // 0xFFFFFFF0 + 0x25 + 0x01000001 = 0x1_01000016; the top byte then gets 0x0C ORed in.
    EXPECT_EQ(nas::TocChecksum(&table), 0x0D000016u);
    EXPECT_EQ(nas::TocChecksum(nullptr), 0u);
    const auto bytes = nas::EncodeCDTable(&table);
    EXPECT_EQ(nassim::CdTableChecksum(Bytes(bytes.begin(), bytes.end())), 0x0D000016u);
}

} // namespace
