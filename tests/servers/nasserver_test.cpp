// CNasServer without windows: record texts in each encoding, result and status texts, the CD
// drive list, every library call keeping its result, the session socket's owner, deep copies and
// the shell addresses; against simulated units through the program's library.
#include "nas_unit_fixture.h"

#include "msgbox.h"
#include "nasserver.h"

#include "shell/shell.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using servertest::PointAt;
using servertest::PutText;
using servertest::RequestCount;
using servertest::StartUnit;
using std::chrono::milliseconds;

// Sets the message language for one test.
class ScopedLanguage {
public:
    explicit ScopedLanguage(int index) : saved_(LanguageIndex) { LanguageIndex = index; }
    ~ScopedLanguage() { LanguageIndex = saved_; }

private:
    int saved_;
};

TEST(NasServerTexts, FirmwareVersion) {
    struct Case {
        std::uint16_t v[4];
        const char* build;
        const char* text;
    };
    const Case cases[] = {
        {{1, 2, 0, 0}, "", "V1.02"},
        {{1, 2, 0, 0}, "b7", "V1.02.0000.0000.b7"},
        {{1, 2, 3, 0}, "", "V1.02.0003"},
        {{1, 2, 0, 4}, "", "V1.02.0000.0004"},
        {{0x1a, 0x3c, 0xbeef, 0}, "", "V1a.3c.beef"},
        // A build text that fills its field has no terminator: it ends with the field.
        {{2, 0, 0, 0}, "0123456789abcdefXYZ", "V2.00.0000.0000.0123456789abcdef"},
    };
    for (const Case& c : cases) {
        CNasServer server;
        std::memcpy(server.Info.firmwareVersion, c.v, sizeof c.v);
        PutText(server.Info.firmwareBuild, sizeof server.Info.firmwareBuild, c.build);
        EXPECT_EQ(server.GetFirmwareVersion(), c.text) << c.text;
    }
}

TEST(NasServerTexts, StatusTextByStatusAndMirrorCapability) {
    ScopedLanguage english(0);
    struct Case {
        std::uint32_t status;
        std::uint32_t capabilities;
        std::string text;
    };
    const Case cases[] = {
        {0, 1, "Not Ready"},
        {1, 1, "Ready"},
        {1, 0, std::string("Ready  [") + GetMessageText(844) + "]"},
        {2, 1, "Reset "},
        {3, 1, "Shutdown "},
        {4, 1, "Upgrade"},
        {5, 1, "Upgrade fail"},
        {6, 1, "Configuration restore"},
        {7, 1, "Unknown"},
        {0xFFFFFFFF, 1, "Unknown"},
    };
    for (const Case& c : cases) {
        CNasServer server;
        server.Info.unitStatus = c.status;
        server.Info.capabilityFlags = c.capabilities;
        EXPECT_EQ(server.GetStatusText(), c.text) << "status " << c.status;
    }
    EXPECT_EQ(std::string(GetMessageText(844)), "CD Mirror Not Support");
}

TEST(NasServerTexts, ResultTextsAreKeptInTheServer) {
    ScopedLanguage english(0);
    struct Case {
        int code;
        std::string text;
    };
    const Case cases[] = {
        {-6, ""},
        {-5, "Unzip Failed!"},
        {-3, "Time Out!"},
        {-1, "Communcation Failed!"},
        {0, "Success"},
        {6, "Invalid password!"},
        {10, GetMessageText(335)},
        {13, GetMessageText(874)},
        {14, GetMessageText(339)},
        {15, "Failed to bure CD"},
        {17, ""},
        {18, "---"},
        {19, ""},
        {4096, GetMessageText(345)},
        {4097, "Error to read disc!"},
        {65535, ""},
        {65536, "Server has no response!"},
    };
    CNasServer server;
    for (const Case& c : cases) {
        server.ResultText = "stale";
        EXPECT_EQ(NasResultText(&server, c.code), c.text) << c.code;
        EXPECT_EQ(server.ResultText, c.text) << c.code;
        server.LastResult = c.code;
        EXPECT_EQ(server.GetLastResultText(), c.text) << c.code;
    }
    EXPECT_EQ(NasResultText(nullptr, 12), "Invalid user!");
}

TEST(NasServerTexts, NamesFollowTheEncodingKind) {
    ScopedLanguage traditionalChinese(1);                // code page 950 for kind-0 texts
    const std::string big5 = "\xA4\xA4\xA4\xE5";         // two characters in code page 950
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87"; // the same two in UTF-8
    struct Case {
        std::uint32_t kind;
        std::string stored; // name, workgroup, comment and extended name alike
        std::string name;
        std::string workgroup;
        std::string extended;
    };
    const Case cases[] = {
        {0, big5, utf8, utf8, ""},
        {1, utf8, utf8, utf8, ""},
        {2, utf8, utf8, utf8, utf8},
        {3, big5, utf8, utf8, ""}, // an unknown kind is read as code-page text
    };
    for (const Case& c : cases) {
        CNasServer server;
        server.Info.textEncodingKind = c.kind;
        PutText(server.Info.name, sizeof server.Info.name, c.stored);
        PutText(server.Info.workgroup, sizeof server.Info.workgroup, c.stored);
        PutText(server.Info.comment, sizeof server.Info.comment, c.stored);
        PutText(server.Info.extendedName, sizeof server.Info.extendedName, c.stored);
        EXPECT_EQ(server.GetTextEncoding(), static_cast<int>(c.kind));
        EXPECT_EQ(server.GetName(), c.name) << "kind " << c.kind;
        EXPECT_EQ(server.GetWorkgroup(), c.workgroup) << "kind " << c.kind;
        EXPECT_EQ(server.GetComment(), c.name) << "kind " << c.kind;
        EXPECT_EQ(server.GetExtendedName(), c.extended) << "kind " << c.kind;
    }
}

TEST(NasServerTexts, FullFieldsEndAtTheFieldAndBadBytesDoNotPass) {
    ScopedLanguage english(0);
    CNasServer server;
    server.Info.textEncodingKind = 1;
    // 15 ASCII bytes and the first byte of a two-byte character: the field has no terminator and
    // the cut character is dropped; the bytes after the field are the workgroup's.
    std::memcpy(server.Info.name, "ABCDEFGHIJKLMNO\xC3", 16);
    PutText(server.Info.workgroup, 16, "WG");
    EXPECT_EQ(server.GetName(), "ABCDEFGHIJKLMNO");
    PutText(server.Info.comment, 32,
            "a\xFF"
            "b\xC3(c");
    EXPECT_EQ(server.GetComment(), "a?b?(c");

    server.Info.textEncodingKind = 0;
    std::memcpy(server.Info.name, "0123456789abcdef", 16);
    EXPECT_EQ(server.GetName(), "0123456789abcdef");
    PutText(server.Info.comment, 32, "caf\xE9"); // code page 1252
    EXPECT_EQ(server.GetComment(), "caf\xC3\xA9");
}

TEST(NasServerTexts, AddressTextsAndHintLines) {
    ScopedLanguage english(0);
    CNasServer server;
    server.Info.ipAddress[0] = nassim::Ipv4(10, 1, 2, 3);
    server.Info.ipAddress[2] = nassim::Ipv4(10, 1, 2, 5);
    server.Info.subnetMask[1] = nassim::Ipv4(255, 255, 255, 0);
    server.Info.gateway[2] = nassim::Ipv4(10, 1, 2, 254);
    EXPECT_EQ(server.GetLanIpText(0), "10.1.2.3");
    EXPECT_EQ(server.GetLanIpText(1), "0.0.0.0");
    EXPECT_EQ(server.GetMaskText(1), "255.255.255.0");
    EXPECT_EQ(server.GetGatewayText(2), "10.1.2.254");
    for (int outside : {-1, 3, 1000}) {
        EXPECT_EQ(server.GetLanIpText(outside), "");
        EXPECT_EQ(server.GetMaskText(outside), "");
        EXPECT_EQ(server.GetGatewayText(outside), "");
    }

    PutText(server.Info.name, 16, "NAS1");
    PutText(server.Info.workgroup, 16, "WORK");
    PutText(server.Info.comment, 32, "rack 3");
    server.Info.firmwareVersion[0] = 1;
    server.Info.unitStatus = 3;
    _INFO_STRING lines;
    server.GetHintLines(lines);
    EXPECT_EQ(lines.Name, "NAS1");
    EXPECT_EQ(lines.Workgroup, "WORK");
    EXPECT_EQ(lines.Lan0Ip, "10.1.2.3");
    EXPECT_EQ(lines.Lan1Ip, "0.0.0.0");
    EXPECT_EQ(lines.Lan2Ip, "10.1.2.5");
    EXPECT_EQ(lines.FirmwareVersion, "V1.00");
    EXPECT_EQ(lines.Status, "Shutdown ");
    EXPECT_EQ(lines.Comment, "rack 3");
    EXPECT_EQ(lines.ExtendedName, "");
}

TEST(NasServerTexts, ImageFolderNamesAreBoundsChecked) {
    CNasServer server;
    server.ImgFolderCount = 2;
    PutText(server.ImgFolders[0] + 8, 120, "Folder1");
    PutText(server.ImgFolders[1] + 8, 120, "Folder2");
    PutText(server.ImgFolders[2] + 8, 120, "Stale");
    EXPECT_EQ(server.GetImgFolderName(1), "Folder2");
    EXPECT_EQ(server.GetImgFolderName(2), "");
    EXPECT_EQ(server.GetImgFolderName(-1), "");
    server.ImgFolderCount = 100000; // a count no table holds
    EXPECT_EQ(server.GetImgFolderName(300), "");
}

// ---- Against simulated units ----

nassim::CdDriveRecord Drive(std::uint32_t typeMask, const std::string& name, std::uint8_t number) {
    nassim::CdDriveRecord drive;
    drive.typeMask = typeMask;
    drive.name = name;
    drive.tail = {number, 0, 0, 0};
    return drive;
}

TEST(NasServerDrives, TheCountLoadsTheListOnceAndLooksUpByDriveNumber) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    unit->setCdDrives({Drive(0x12, "Writer A", 3), Drive(0x02, "Reader B", 5)});
    CNasServer server;
    PointAt(server, *unit);

    int state = 99;
    EXPECT_FALSE(server.GetDriveListState(&state));
    EXPECT_EQ(state, -1);
    EXPECT_EQ(server.GetDriveNumber(0), -1);
    EXPECT_EQ(server.GetDriveCount(), 2);
    EXPECT_EQ(server.GetDriveCount(), 2);
    EXPECT_EQ(RequestCount(*unit, nassim::kCommandCdDriveList), 1u);
    EXPECT_TRUE(server.GetDriveListState(nullptr));
    EXPECT_EQ(server.GetDriveListKind(), 246);
    EXPECT_EQ(server.GetDriveCountLoaded(), 2);

    EXPECT_EQ(server.GetDriveNumber(0), 3);
    EXPECT_EQ(server.GetDriveNumber(1), 5);
    EXPECT_EQ(server.GetDriveNumber(2), -1);
    EXPECT_EQ(server.GetDriveNumber(-1), -1);
    EXPECT_EQ(server.GetDriveName(5), "Reader B");
    EXPECT_EQ(server.GetDriveName(4), "[Wrong Drive Number]");
    EXPECT_TRUE(server.IsDriveRecordable(3));  // type byte 0x12: an upper bit is set
    EXPECT_FALSE(server.IsDriveRecordable(5)); // type byte 0x02
    EXPECT_TRUE(server.IsDriveRecordable(9));  // no such drive

    // A list of another type mask counts as no list for the drive counts.
    EXPECT_EQ(server.LoadCdDrives(0x10), 1);
    EXPECT_FALSE(server.GetDriveListState(&state));
    EXPECT_EQ(state, 0);
    EXPECT_EQ(server.GetDriveCount(), 0);
    EXPECT_EQ(server.GetDriveCountLoaded(), 0);
    EXPECT_EQ(server.GetDriveNumber(0), 3);
    server.FreeCdDrives();
    EXPECT_EQ(server.GetDriveListKind(), 0);
    EXPECT_EQ(server.GetDriveNumber(0), -1);
}

TEST(NasServerDrives, NoDrivesOrAFailedQueryLeaveNoList) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    CNasServer server;
    PointAt(server, *unit);
    EXPECT_EQ(server.GetDriveCount(), 0);
    EXPECT_EQ(server.LastResult, 0);
    EXPECT_EQ(RequestCount(*unit, nassim::kCommandCdDriveList), 1u);

    unit->setCdDrives({Drive(0x12, "Writer A", 3)});
    ASSERT_EQ(server.LoadDefaultCdDrives(), 1);
    unit->setFault(nassim::Fault::Refuse);
    EXPECT_EQ(server.LoadDefaultCdDrives(), -1);
    EXPECT_EQ(server.LastResult, -1);
    EXPECT_EQ(server.GetDriveListKind(), 0);
    EXPECT_EQ(server.GetDriveNumber(0), -1);
}

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "nasserver_" + std::to_string(::getpid()) + "_" + name;
}

// One library call through the server object, and the request that a fault hits.
struct WrapperCase {
    const char* name;
    std::uint16_t command;
    std::optional<std::uint32_t> subCode;
    std::uint32_t capabilities;
    std::function<int(CNasServer&)> call;
    bool returnsResult; // the call returns the library's result (else only LastResult has it)
};

std::vector<WrapperCase> OneShotWrappers() {
    return {
        {"GetImgFolders",
         nassim::kCommandImageFolderList,
         {},
         0,
         [](CNasServer& s) {
             int count = 0;
             auto folders = std::make_unique<char[][NAS_IMG_FOLDER_SIZE]>(NAS_IMG_FOLDER_MAX);
             return s.GetImgFolders(count, folders.get());
         },
         true},
        {"RefreshImageFolders",
         nassim::kCommandImageFolderList,
         {},
         1,
         [](CNasServer& s) { return s.RefreshImageFolders(); },
         true},
        {"GetImgList",
         nassim::kCommandImageList,
         {},
         0,
         [](CNasServer& s) {
             int count = 0;
             std::vector<NasImgInfo> records(NAS_IMG_INFO_MAX);
             return s.GetImgList(count, records.data());
         },
         true},
        {"LoadCdDrives",
         nassim::kCommandCdDriveList,
         {},
         0,
         [](CNasServer& s) { return s.LoadCdDrives(246); },
         false},
        {"RemoteCdBurning",
         nassim::kCommandRecord,
         {},
         0,
         [](CNasServer& s) {
             NasBurnInfo info{};
             return s.RemoteCdBurning(&info);
         },
         true},
        {"GetCdBurningStat",
         nassim::kCommandRecordingStatus,
         {},
         0,
         [](CNasServer& s) {
             const std::uint32_t job[2] = {0, 0};
             NasCDBurningStat stat{};
             return s.GetCdBurningStat(job, &stat);
         },
         true},
        {"ConvertImageFolder",
         nassim::kCommandConvert,
         {},
         0,
         [](CNasServer& s) {
             NasImgRequest request{};
             return s.ConvertImageFolder(&request);
         },
         true},
        {"DeleteCdImage",
         nassim::kCommandDeleteImage,
         {},
         0,
         [](CNasServer& s) {
             NasImgRequest request{};
             request.deletion.imageCount = 1;
             request.deletion.imageIds[0] = 1;
             return s.DeleteCdImage(&request);
         },
         true},
        {"GetConfig",
         nassim::kCommandGetConfig,
         {},
         0,
         [](CNasServer& s) { return s.GetConfig(TempPath("get.cfg").c_str()); },
         true},
        {"SetConfig",
         nassim::kCommandSetConfig,
         {},
         0,
         [](CNasServer& s) {
             const std::string path = TempPath("set.cfg");
             std::ofstream(path, std::ios::binary) << std::string(600, 'c');
             return s.SetConfig(7, path.c_str());
         },
         true},
        {"MirrorStart",
         nassim::kCommandMirrorStart,
         {},
         0,
         [](CNasServer& s) {
             NasMirrorInfo info{};
             info.mode = 1;
             return s.MirrorStart(nullptr, &info, 0);
         },
         true},
        {"ImageTransferStart", nassim::kCommandImageTransfer, 25, 0,
         [](CNasServer& s) {
             NasImgRequest request{};
             request.transfer.imageNumber = 1;
             request.transfer.imageCount = 1;
             return s.ImageTransferStart(&request);
         },
         true},
    };
}

TEST(NasServerCalls, EveryCallKeepsTheLibrarysResult) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    for (const WrapperCase& c : OneShotWrappers()) {
        SCOPED_TRACE(c.name);
        CNasServer server;
        PointAt(server, *unit, c.capabilities);
        unit->clearCommandFaults();
        nassim::CommandFault fault;
        fault.command = c.command;
        fault.subCode = c.subCode;
        fault.status = 9;
        unit->addCommandFault(fault);
        server.LastResult = 12345;
        const int result = c.call(server);
        EXPECT_EQ(server.LastResult, 9);
        if (c.returnsResult) {
            EXPECT_EQ(result, 9);
        }
        EXPECT_EQ(server.GetLastResultText(), "API error!");
        EXPECT_EQ(server.GetDataSocket(), 0) << "a refused start left a session";

        // With no unit at the address the library's own failure is kept too.
        CNasServer nowhere;
        nowhere.Info.ipAddress[0] = nassim::Ipv4(127, 0, 63, 254);
        nowhere.Info.capabilityFlags = c.capabilities;
        nowhere.LastResult = 12345;
        c.call(nowhere);
        EXPECT_EQ(nowhere.LastResult, -1);
    }
    ::remove(TempPath("get.cfg").c_str());
    ::remove(TempPath("set.cfg").c_str());
}

TEST(NasServerCalls, SessionCallsRefuseWithoutASessionAndSendNothing) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    CNasServer server;
    PointAt(server, *unit);
    server.LastResult = 777;
    const char data[16] = {};
    NasImgDone done{};
    const std::function<int()> calls[] = {
        [&] { return server.SendCdData(data, sizeof data); },
        [&] { return server.MirrorComplete(); },
        [&] { return server.MirrorAbort(4096); },
        [&] { return server.SendImageData(data, sizeof data); },
        [&] { return server.ImageTransferComplete(&done); },
        [&] { return server.ImageTransferAbort(4096); },
    };
    for (const auto& call : calls)
        EXPECT_EQ(call(), -1);
    EXPECT_EQ(server.LastResult, 777);
    EXPECT_TRUE(unit->requests().empty());
}

// The unit's record of the one session it saw, once it has the state wanted.
nassim::Session WaitSession(const nassim::Unit& unit,
                            const std::function<bool(const nassim::Session&)>& done) {
    nassim::Session found;
    nassim::WaitUntil(
        [&] {
            auto sessions = unit.sessions();
            if (sessions.size() != 1 || !done(sessions[0])) return false;
            found = sessions[0];
            return true;
        },
        milliseconds(5000));
    return found;
}

TEST(NasServerCalls, MirrorSessionBelongsToTheObjectThatOpenedIt) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    CNasServer server;
    PointAt(server, *unit);
    NasMirrorInfo info{};
    PutText(info.imageName, sizeof info.imageName, "DISC");
    info.mode = 1;
    ASSERT_EQ(server.MirrorStart(nullptr, &info, 0), 0);
    const int socket = server.GetDataSocket();
    ASSERT_GT(socket, 0);

    {
        // A task's copy has no session of its own and closes nothing when it goes.
        CNasServer copy;
        copy.Assign(server);
        EXPECT_EQ(copy.GetDataSocket(), 0);
        EXPECT_EQ(copy.SendCdData("x", 1), -1);
    }
    const std::vector<char> block(2048, 'd');
    EXPECT_EQ(server.SendCdData(block.data(), 2048), 0);

    nassim::CommandFault refuse;
    refuse.command = nassim::kCommandMirrorData;
    refuse.status = 14;
    unit->addCommandFault(refuse);
    EXPECT_EQ(server.SendCdData(block.data(), 2048), 14);
    EXPECT_EQ(server.LastResult, 14);
    EXPECT_EQ(server.GetDataSocket(), socket);

    EXPECT_EQ(server.MirrorAbort(4097), 0);
    EXPECT_EQ(server.GetDataSocket(), 0);
    nassim::Session s = WaitSession(*unit, [](const nassim::Session& s) { return s.peerClosed; });
    EXPECT_EQ(s.end, nassim::SessionEnd::Aborted);
    EXPECT_EQ(s.abortReason, 4097);
    EXPECT_TRUE(s.peerClosed) << "the aborted session was left open";
}

TEST(NasServerCalls, CompletedMirrorAndImageTransferEndTheirSessions) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    CNasServer server;
    PointAt(server, *unit);
    NasMirrorInfo info{};
    info.mode = 1;
    ASSERT_EQ(server.MirrorStart(nullptr, &info, 0), 0);
    EXPECT_EQ(server.MirrorComplete(), 0);
    EXPECT_EQ(server.GetDataSocket(), 0);
    EXPECT_EQ(server.MirrorComplete(), -1);
    ASSERT_TRUE(unit->waitForSessionsEnded(1, milliseconds(5000)));
    unit->clearRecords();

    // A transfer's completion leaves the session open until CloseDataSocket.
    const std::string image(1000, 'i');
    NasImgRequest request{};
    PutText(request.transfer.imageFileName, sizeof request.transfer.imageFileName, "a.iso");
    request.transfer.imageNumber = 1;
    request.transfer.imageSize = static_cast<std::uint32_t>(image.size());
    request.transfer.imageCount = 1;
    ASSERT_EQ(server.ImageTransferStart(&request), 0);
    EXPECT_EQ(server.SendImageData(image.data(), static_cast<int>(image.size())), 0);
    EXPECT_EQ(server.ImageTransferComplete(nullptr), 0);
    EXPECT_GT(server.GetDataSocket(), 0);
    EXPECT_EQ(server.CloseDataSocket(), 0);
    EXPECT_EQ(server.GetDataSocket(), 0);
    nassim::Session s = WaitSession(*unit, [](const nassim::Session& s) { return s.peerClosed; });
    EXPECT_EQ(s.end, nassim::SessionEnd::Completed);
    ASSERT_EQ(s.files.size(), 1u);
    EXPECT_EQ(s.files[0].size, image.size());
}

TEST(NasServerCopy, AssignIsADeepCopyWithoutDomainFieldsSessionOrLink) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    unit->setCdDrives({Drive(0x12, "Writer A", 3), Drive(0x02, "Reader B", 5)});
    auto source = std::make_unique<CNasServer>();
    PointAt(*source, *unit, 1);
    PutText(source->Info.name, 16, "NAS1");
    PutText(source->UserName, sizeof source->UserName, "bob");
    PutText(source->Password, sizeof source->Password, "pw");
    PutText(source->DomainUserName, sizeof source->DomainUserName, "admin");
    source->DomainAccountGiven = 1;
    source->RemoteFlag = 1;
    source->ImgFolderCount = 1;
    PutText(source->ImgFolders[0] + 8, 120, "Folder1");
    source->ResultText = "Invalid user!";
    ASSERT_EQ(source->LoadDefaultCdDrives(), 2);
    source->LastResult = 12;
    NasMirrorInfo info{};
    info.mode = 1;
    ASSERT_EQ(source->MirrorStart(nullptr, &info, 0), 0);
    source->LastResult = 12;

    CNasServer copy;
    copy.Assign(*source);
    // The source goes, its drive records and session with it; the copy stands on its own.
    source.reset();
    EXPECT_EQ(copy.GetName(), "NAS1");
    EXPECT_STREQ(copy.UserName, "bob");
    EXPECT_STREQ(copy.Password, "pw");
    EXPECT_EQ(copy.RemoteFlag, 1);
    EXPECT_EQ(copy.LastResult, 12);
    EXPECT_EQ(copy.ResultText, "Invalid user!");
    EXPECT_EQ(copy.GetImgFolderName(0), "Folder1");
    EXPECT_EQ(copy.GetDriveCountLoaded(), 2);
    EXPECT_EQ(copy.GetDriveName(5), "Reader B");
    EXPECT_FALSE(copy.IsDriveRecordable(5));
    EXPECT_STREQ(copy.DomainUserName, "");
    EXPECT_EQ(copy.DomainAccountGiven, 0u);
    EXPECT_EQ(copy.GetDataSocket(), 0);
    // The source's session was closed when the source went.
    nassim::Session s = WaitSession(*unit, [](const nassim::Session& s) { return s.peerClosed; });
    EXPECT_TRUE(s.peerClosed);
    EXPECT_EQ(RequestCount(*unit, nassim::kCommandCdDriveList), 1u);

    copy.Init();
    EXPECT_EQ(copy.GetDriveNumber(0), -1);
    EXPECT_EQ(copy.GetName(), "");
    EXPECT_STREQ(copy.UserName, "");
}

TEST(NasServerShell, WebPagesAndSharesOpenAtTheReachableAddress) {
    auto unit = StartUnit();
    ASSERT_TRUE(unit);
    platform::RecordingShell shell;
    CNasServer server;
    server.Info.ipAddress[0] = nassim::Ipv4(127, 0, 63, 253); // nothing listens there
    server.Info.ipAddress[1] = unit->address();
    const std::string address = nassim::AddressText(unit->address());
    EXPECT_EQ(server.GetValidIp(), unit->address());
    EXPECT_EQ(server.GetIpText(), address);
    EXPECT_TRUE(server.OpenWebAdmin());
    EXPECT_TRUE(server.ExploreShares());
    EXPECT_EQ(shell.Opened, (std::vector<std::string>{"http://" + address + "/admin/",
                                                      "smb://" + address + "/"}));

    CNasServer unreachable;
    unreachable.Info.ipAddress[0] = nassim::Ipv4(127, 0, 63, 253);
    EXPECT_EQ(unreachable.GetIpText(), "0.0.0.0");
    EXPECT_FALSE(unreachable.OpenWebAdmin());
    EXPECT_FALSE(unreachable.ExploreShares());
    EXPECT_EQ(shell.Opened.size(), 2u);
}

} // namespace
