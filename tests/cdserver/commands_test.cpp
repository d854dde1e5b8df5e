// Every request of the frame protocol against a simulated CD server: what goes on the wire, what
// the record keeps, and the code each command ends with when the server misbehaves.
#include "cdh_test_support.h"
#include "tovexcdh_digest.h"
#include "tovexcdh_records.h"

#include <chrono>
#include <cstring>
#include <string>

namespace {

using namespace std::chrono_literals;
using cdhtest::ClientTest;
using cdsim::Bytes;

constexpr unsigned kServer = 5; // 127.0.0.5

cdsim::ServerConfig Tables() {
    cdsim::ServerConfig c;
    c.adminPassword = "admin1";
    c.mirrorPassword = "mirror";
    c.groupPasswords[7] = "share";
    c.status.memoryMb = 64;
    c.status.maskA = 0x20B; // slots 0, 1, 3 and a bit above the drive slots
    c.status.maskB = 0x30;
    c.status.countA = c.status.countB = c.status.slotsInUse = 99; // recounted by the client
    c.status.groupCount = 2;
    cdsim::SlotBlock slot;
    slot.label = "DISK-2";
    slot.kind = 1;
    slot.capacity = 1000;
    c.slots[2] = slot;
    c.entries[2] = {{"first", 0, 0, 1, 0, 11, 100},
                    {"second", 0, 0, 0, 0, 12, 200},
                    {"third", 0, 0, 3, 0, 13, 300}};
    c.groups = {{"sales", 7, 1, 2}, {"system", 252, 0, 0}};
    cdsim::VolumeEntry tape;
    tape.block.label = "TAPE";
    tape.slot = 4;
    c.volumes = {tape};
    cdsim::TapeHeader header;
    header.setCount = 2;
    header.name = "weekly";
    c.tapes[4] = header;
    cdsim::TapeCatalog catalog;
    catalog.count = 2;
    catalog.names = {"vol-a", "vol-b"};
    c.catalogs[4] = catalog;
    cdsim::RaidVolume raid;
    raid.members = {0, 1};
    raid.kind = 1;
    c.raid[1] = raid;
    return c;
}

class CommandTest : public ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        server = StartServer(Tables(), kServer);
        record = RecordFor(kServer);
    }

    // The request's payload as the server received it (the last request of that command).
    Bytes LastPayload(std::uint16_t command) {
        const auto all = server->requests();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (it->command == command) return it->payload;
        ADD_FAILURE() << "no request " << command;
        return {};
    }
    void ExpectNoProblems() {
        for (const auto& r : server->requests())
            EXPECT_EQ(r.problem, "") << "command " << r.command;
    }

    std::unique_ptr<cdsim::Server> server;
    std::unique_ptr<TCdhSvr> record;
};

Bytes DigestBytes(const std::string& password) {
    const auto d = cdsim::PasswordDigest(password);
    return Bytes(d.begin(), d.end());
}

Bytes Slice(const Bytes& b, std::size_t at, std::size_t n) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at),
                 b.begin() + static_cast<std::ptrdiff_t>(at + n));
}

TEST_F(CommandTest, StatusIsReadWithItsMasksRecounted) {
    std::uint8_t status[kCdhStatusSize];
    ASSERT_EQ(record->ReadStatus(status), kCdhOk);
    EXPECT_EQ(CdhGetU16(status + kStOffMemoryMb), 64);
    EXPECT_EQ(CdhGetU16(status + kStOffCountA), 3); // bits 0-7 only
    EXPECT_EQ(CdhGetU16(status + kStOffCountB), 2);
    EXPECT_EQ(CdhGetU16(status + kStOffSlotsInUse), 5);
    EXPECT_EQ(LastPayload(kCdhStatus), Bytes{});
    ExpectNoProblems();
}

TEST_F(CommandTest, SlotBlocksEntriesAndGroupsAreReadWithinTheirBuffers) {
    std::uint8_t block[kCdhSlotInfoSize];
    ASSERT_EQ(record->ReadSlotInfo(2, block), kCdhOk);
    EXPECT_EQ(Bytes(block, block + sizeof block), cdsim::Encode(*Tables().slots[2]));
    EXPECT_EQ(LastPayload(kCdhSlotInfo), (Bytes{2, 0, 0, 0}));

    Bytes entries(3 * kCdhEntrySize);
    std::size_t size = entries.size();
    ASSERT_EQ(record->ReadSlotEntries(2, entries.data(), size), kCdhOk);
    EXPECT_EQ(size, 3 * kCdhEntrySize);
    EXPECT_EQ(CdhFieldText(entries.data() + 2 * kCdhEntrySize, kEnNameWidth), "third");

    // A reply longer than the buffer is refused, not cut or overrun.
    Bytes small(2 * kCdhEntrySize + 8, 0xCC);
    size = 2 * kCdhEntrySize;
    EXPECT_EQ(record->ReadSlotEntries(2, small.data(), size), kCdhBadReply);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(Slice(small, 2 * kCdhEntrySize, 8), Bytes(8, 0xCC));

    Bytes groups(2 * kCdhGroupSize);
    size = groups.size();
    ASSERT_EQ(record->ReadGroupList(groups.data(), size), kCdhOk);
    EXPECT_EQ(CdhGetU16(groups.data() + kCdhGroupSize + kGrOffId), 252);
    ExpectNoProblems();
}

TEST_F(CommandTest, EntryChangeCarriesTheDigestAndRetriesWithTheMirrorPassword) {
    struct Case {
        const char* what;
        const char* password;
        const char* second;
        std::uint8_t flags;
        int code;
        std::size_t requests;
    };
    const Case cases[] = {
        {"administrator password accepted", "ADMIN1", "", 0x02, kCdhOk, 1},
        {"refused, no retry without bit 4", "WRONG", "MIRROR", 0x02, kCdhPasswordRefused, 1},
        {"refused, retried with the mirror password", "WRONG", "MIRROR", 0x12, kCdhOk, 2},
        {"both refused", "WRONG", "ALSOWRONG", 0x12, kCdhSecondRefused, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::size_t before = server->requests().size();
        std::strcpy(record->Password, c.password);
        std::strcpy(record->SecondPassword, c.second);
        std::uint8_t block[kCdhEntryChangeSize] = {0x34, 0x12, 0x01, 0x00, 0x05, c.flags};
        EXPECT_EQ(record->WriteSlotEntries(3, block, sizeof block), c.code);
        const auto requests = server->requests();
        ASSERT_EQ(requests.size() - before, c.requests);
        const Bytes sent = requests.back().payload;
        ASSERT_EQ(sent.size(), kCdhEntryChangeSize);
        EXPECT_EQ(Slice(sent, 0, 6), (Bytes{0x34, 0x12, 0x01, 3, 0x05, c.flags}));
        EXPECT_EQ(Slice(sent, 6, 34), Bytes(34, 0));
        EXPECT_EQ(Slice(sent, 40, 16), DigestBytes(c.requests == 2 ? c.second : c.password));
    }
    ExpectNoProblems();
}

TEST_F(CommandTest, GroupChangeDigestsTheThirdPasswordInPlace) {
    for (const auto& [text, code] : {std::pair{"share", kCdhOk}, {"nope", kCdhChangeRefused}}) {
        SCOPED_TRACE(text);
        std::uint8_t block[kCdhGroupChangeSize] = {7, 0, 1, 0x02};
        std::memcpy(block + kCdhGcOffText, text, std::strlen(text));
        EXPECT_EQ(record->WriteGroupEntries(block, sizeof block), code);
        const Bytes sent = LastPayload(kCdhChangeGroup);
        EXPECT_EQ(Slice(sent, 0, 4), (Bytes{7, 0, 1, 0x02}));
        EXPECT_EQ(Slice(sent, 4, 34), Bytes(34, 0));
        EXPECT_EQ(Slice(sent, 38, 16), DigestBytes(text));
    }
}

TEST_F(CommandTest, RestartAndShutdownKeepTheAcceptedPasswordUpperCased) {
    std::uint8_t block[kCdhPasswordBlockSize] = {};
    std::memcpy(block + kCdhPwOffText, "admin1", 6);
    ASSERT_EQ(record->Restart(block), kCdhOk);
    EXPECT_STREQ(record->Password, "ADMIN1");
    EXPECT_EQ(record->Flags & kCdhFlagFirstPassword, kCdhFlagFirstPassword);
    EXPECT_EQ(server->restarts(), 1u);
    const Bytes sent = LastPayload(kCdhRestart);
    EXPECT_EQ(Slice(sent, 0, 4), Bytes(4, 0));
    EXPECT_EQ(Slice(sent, 4, 16), DigestBytes("admin1"));
    EXPECT_EQ(Slice(sent, 20, 80), Bytes(80, 0));

    // The facade sends the kept password; a refused one clears the accepted flag.
    CDH_NET_CLASS& facade = CdhNetClass();
    EXPECT_EQ(facade.ShutdownServer(record.get()), kCdhfOk);
    EXPECT_EQ(server->shutdowns(), 1u);
    std::strcpy(record->Password, "STALE");
    EXPECT_EQ(facade.RestartServer(record.get()), kCdhfPassword);
    EXPECT_EQ(record->Flags & kCdhFlagFirstPassword, 0u);
    EXPECT_EQ(record->LastError, kCdhPasswordRefused);
    EXPECT_EQ(facade.Login(record.get()), kCdhfPassword); // the restart under its other name
    EXPECT_EQ(server->restarts(), 1u);
}

TEST_F(CommandTest, PasswordRequestsOfEveryKind) {
    CDH_NET_CLASS& facade = CdhNetClass();
    struct Case {
        const char* what;
        std::string text;
        int kind;
        int argument;
        int answer;
    };
    const Case cases[] = {
        {"administrator accepted", "Admin1", 0, 0, 1},
        {"administrator refused", "admin2", 0, 0, 0},
        {"mirror accepted", "mirror", 1, 0, 1},
        {"mirror refused", "mirror2", 1, 0, 0},
        {"share folder of group 7 accepted", "share", 2, 7, 1},
        {"share folder of group 8 refused", "share", 2, 8, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(facade.SendPasswordCommand(record.get(), c.text, c.kind, c.argument), c.answer);
        const Bytes sent = LastPayload(kCdhPassword);
        ASSERT_EQ(sent.size(), kCdhPasswordBlockSize);
        EXPECT_EQ(cdsim::GetU16(sent.data()), c.kind);
        EXPECT_EQ(cdsim::GetU16(sent.data() + 2), c.argument);
        EXPECT_EQ(Slice(sent, 4, 16), DigestBytes(c.text));
        EXPECT_EQ(Slice(sent, 20, 80), Bytes(80, 0)); // no extra text from the facade
    }
    EXPECT_EQ(facade.GetPasswordText(record.get()), "ADMIN1");
    EXPECT_EQ(facade.GetSecondPasswordText(record.get()), "MIRROR");
    EXPECT_STREQ(record->ThirdPassword, "share");
    EXPECT_EQ(record->Flags & 3u, 0u); // both cleared by the refusals that came last

    // Refused before anything is sent: a text of 16 characters, an unknown kind.
    const std::size_t before = server->requests().size();
    EXPECT_EQ(facade.SendPasswordCommand(record.get(), std::string(16, 'x'), 0, 0), -1);
    EXPECT_EQ(facade.SendPasswordCommand(record.get(), "admin1", 3, 0), -1);
    EXPECT_EQ(server->requests().size(), before);
    ExpectNoProblems();
}

TEST_F(CommandTest, AnExtraTextTravelsAsBase64) {
    std::uint8_t block[kCdhPasswordBlockSize] = {};
    std::memcpy(block + kCdhPwOffText, "admin1", 6);
    std::memcpy(block + kCdhPwOffExtra, "new password", 12);
    ASSERT_EQ(record->SendPassword(block), kCdhOk);
    const Bytes sent = LastPayload(kCdhPassword);
    const std::string field = CdhFieldText(sent.data() + 36, 64);
    EXPECT_EQ(field, "bmV3IHBhc3N3b3Jk");
    EXPECT_EQ(cdsim::Base64Decode(field), "new password");

    // A text that fills the field: its first 45 characters are sent, and the encoding ends
    // inside the block with a terminator after it.
    std::memset(block, 0, sizeof block);
    std::memcpy(block + kCdhPwOffText, "admin1", 6);
    std::memset(block + kCdhPwOffExtra, 'z', kCdhPasswordBlockSize - kCdhPwOffExtra);
    ASSERT_EQ(record->SendPassword(block), kCdhOk);
    const Bytes full = LastPayload(kCdhPassword);
    const std::string encoded = CdhFieldText(full.data() + 36, 64);
    EXPECT_EQ(encoded.size(), 60u);
    EXPECT_EQ(cdsim::Base64Decode(encoded), std::string(45, 'z'));
}

TEST_F(CommandTest, TablesTapeHeaderCatalogueAndRaidVolumes) {
    ASSERT_EQ(record->ReadVolumeTable(), kCdhOk);
    EXPECT_EQ(record->VolumeTableCount, 1u);
    EXPECT_EQ(CdhFieldText(record->VolumeTable[4], 18), "TAPE");

    ASSERT_EQ(record->ReadTapeHeader(4), kCdhOk);
    EXPECT_EQ(Bytes(record->TapeHeader.begin(), record->TapeHeader.end()),
              cdsim::Encode(Tables().tapes[4]));
    EXPECT_EQ(LastPayload(kCdhTapeHeader), (Bytes{4, 0, 0, 0}));

    ASSERT_EQ(record->ReadTapeCatalog(4), kCdhOk);
    EXPECT_EQ(record->TapeCatalog.valid, 1);
    EXPECT_STREQ(record->TapeCatalog.names[1], "vol-b");

    ASSERT_EQ(record->ReadRaidVolumes(), kCdhOk);
    EXPECT_EQ(record->RaidVolumeCount, 1u);
    EXPECT_EQ(record->RaidVolumes[1][kRdOffMemberCount], 2);
    ExpectNoProblems();
}

// Runs the request of one command on the record.
int Call(TCdhSvr& r, std::uint16_t command) {
    std::uint8_t buffer[kCdhSlotInfoSize * 4] = {};
    std::size_t size = sizeof buffer;
    std::uint8_t block[kCdhPasswordBlockSize] = {};
    switch (command) {
    case kCdhStatus:
        return r.ReadStatus(buffer);
    case kCdhSlotInfo:
        return r.ReadSlotInfo(2, buffer);
    case kCdhSlotEntries:
        return r.ReadSlotEntries(2, buffer, size);
    case kCdhChangeEntry:
        return r.WriteSlotEntries(2, block, kCdhEntryChangeSize);
    case kCdhGroups:
        return r.ReadGroupList(buffer, size);
    case kCdhChangeGroup:
        return r.WriteGroupEntries(block, kCdhGroupChangeSize);
    case kCdhRestart:
        return r.Restart(block);
    case kCdhShutdown:
        return r.Shutdown(block);
    case kCdhPassword:
        return r.SendPassword(block);
    case kCdhVolumeTable:
        return r.ReadVolumeTable();
    case kCdhTapeHeader:
        return r.ReadTapeHeader(4);
    case kCdhTapeCatalog:
        return r.ReadTapeCatalog(4);
    case kCdhRaidVolumes:
        return r.ReadRaidVolumes();
    }
    return -1;
}

constexpr std::uint16_t kAllCommands[] = {
    kCdhStatus,      kCdhSlotInfo,    kCdhSlotEntries, kCdhChangeEntry, kCdhGroups,
    kCdhChangeGroup, kCdhRestart,     kCdhShutdown,    kCdhPassword,    kCdhVolumeTable,
    kCdhTapeHeader,  kCdhTapeCatalog, kCdhRaidVolumes};

TEST_F(CommandTest, EveryCommandEndsInBoundedTimeWhenTheServerFallsSilentOrCloses) {
    CdhNetConfig config = CurrentCdhConfig();
    config.replyWaitMs = 100; // 26 of these exchanges end by waiting
    SetCdhConfig(config);
    const cdsim::FaultKind faults[] = {
        cdsim::FaultKind::Silence, cdsim::FaultKind::CloseWithoutReply,
        cdsim::FaultKind::StallAfter, cdsim::FaultKind::NonZeroReserved};
    for (const auto fault : faults) {
        for (const std::uint16_t command : kAllCommands) {
            SCOPED_TRACE(::testing::Message()
                         << "fault " << static_cast<int>(fault) << " command " << command);
            server->addFault(cdhtest::Fault(command, 1, fault, /*bytes=*/17)); // header and 3 bytes
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(Call(*record, command), kCdhBadReply);
            EXPECT_LT(std::chrono::steady_clock::now() - start, cdhtest::kBound);
            EXPECT_EQ(record->LastError, kCdhBadReply);
        }
    }
}

TEST_F(CommandTest, MalformedRepliesEndWithTheBadReplyCode) {
    struct Case {
        const char* what;
        std::uint16_t command;
        cdsim::CommandFault fault;
    };
    const Case cases[] = {
        {"signature", kCdhStatus, cdhtest::Fault(kCdhStatus, 1, cdsim::FaultKind::BadSignature)},
        {"protocol tag", kCdhSlotInfo, cdhtest::Fault(kCdhSlotInfo, 1, cdsim::FaultKind::BadTag)},
        {"status one byte short", kCdhStatus,
         cdhtest::Fault(kCdhStatus, 1, cdsim::FaultKind::ReplacePayload, 0, 0, Bytes(89, 0))},
        {"status one byte long", kCdhStatus,
         cdhtest::Fault(kCdhStatus, 1, cdsim::FaultKind::ReplacePayload, 0, 0, Bytes(91, 0))},
        {"declared length below what is sent", kCdhStatus,
         cdhtest::Fault(kCdhStatus, 1, cdsim::FaultKind::DeclaredLength, 0, 89)},
        {"declared length beyond the buffer", kCdhRaidVolumes,
         cdhtest::Fault(kCdhRaidVolumes, 1, cdsim::FaultKind::DeclaredLength, 0, 60000)},
        {"slot block short", kCdhSlotInfo,
         cdhtest::Fault(kCdhSlotInfo, 1, cdsim::FaultKind::ReplacePayload, 0, 0, Bytes(127, 1))},
        {"status word cut", kCdhRestart,
         cdhtest::Fault(kCdhRestart, 1, cdsim::FaultKind::ReplacePayload, 0, 0, Bytes(2, 0))},
        {"tape header without its second frame", kCdhTapeHeader,
         cdhtest::Fault(kCdhTapeHeader, 1, cdsim::FaultKind::OnlyFirstFrame)},
        {"tape header first frame short", kCdhTapeHeader,
         cdhtest::Fault(kCdhTapeHeader, 1, cdsim::FaultKind::ReplacePayload, 0, 0,
                        Bytes(49151, 0))},
        {"empty catalogue", kCdhTapeCatalog,
         cdhtest::Fault(kCdhTapeCatalog, 1, cdsim::FaultKind::ReplacePayload, 0, 0, Bytes{})},
        {"reply cut inside the payload", kCdhVolumeTable,
         cdhtest::Fault(kCdhVolumeTable, 1, cdsim::FaultKind::CutAfter, 300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server->addFault(c.fault);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Call(*record, c.command), kCdhBadReply);
        EXPECT_LT(std::chrono::steady_clock::now() - start, cdhtest::kBound);
    }
}

TEST_F(CommandTest, FailedReadsLeaveTheOldTablesInPlace) {
    ASSERT_EQ(record->ReadVolumeTable(), kCdhOk);
    ASSERT_EQ(record->ReadTapeHeader(4), kCdhOk);
    ASSERT_EQ(record->ReadRaidVolumes(), kCdhOk);
    ASSERT_EQ(record->ReadTapeCatalog(4), kCdhOk);
    for (std::uint16_t command :
         {kCdhVolumeTable, kCdhTapeHeader, kCdhRaidVolumes, kCdhTapeCatalog})
        server->addFault(cdhtest::Fault(command, 0, cdsim::FaultKind::CloseWithoutReply));
    EXPECT_EQ(record->ReadVolumeTable(), kCdhBadReply);
    EXPECT_EQ(record->ReadTapeHeader(4), kCdhBadReply);
    EXPECT_EQ(record->ReadRaidVolumes(), kCdhBadReply);
    EXPECT_EQ(record->ReadTapeCatalog(4), kCdhBadReply);
    EXPECT_EQ(record->VolumeTableCount, 1u);
    EXPECT_EQ(CdhFieldText(record->TapeHeader.data() + kThOffName, 44), "weekly");
    EXPECT_EQ(record->RaidVolumeCount, 1u);
    EXPECT_STREQ(record->TapeCatalog.names[0], "vol-a");
}

TEST_F(CommandTest, ARefusedConnectionAndAMissingManagerHaveTheirCodes) {
    cdsim::ServerConfig closed;
    closed.listens = false;
    auto refusing = StartServer(closed, 6);
    auto other = RecordFor(6);
    std::uint8_t status[kCdhStatusSize];
    EXPECT_EQ(other->ReadStatus(status), kCdhConnectFailed);
    EXPECT_EQ(other->LastError, kCdhConnectFailed);
    EXPECT_EQ(TcpSocketManager->SessionCount, 0u); // released on the failure path too

    delete TcpSocketManager;
    TcpSocketManager = nullptr;
    EXPECT_EQ(record->ReadStatus(status), kCdhNoManager);
}

} // namespace
