// The status and list queries against a simulated unit: every command over the same scenarios
// (normal, more records than the caller's array, a non-zero status, a stream cut short, no reply
// in time), then the record layouts, texts without terminators, the drive filter and the task
// reply's edge cases.
#include "nasapi.h"
#include "query_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using nastest::Bytes;
using nastest::Ipv4;

// What one query stored, reduced to comparable texts, one per record.
struct Outcome {
    int result = 0;
    long long count = 0;
    std::vector<std::string> records;
};

std::string Hex(const uint8_t* data, size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

std::string Text(const char* field, size_t width) {
    return std::string(field, strnlen(field, width));
}

// The values the unit is given for record i, written out as the library must return them.
nassim::ImageRecord ImageSent(size_t i) {
    nassim::ImageRecord r;
    r.state = static_cast<uint8_t>(1 + i % 4);
    r.fileSystem = static_cast<uint8_t>(1 + (i + 1) % 4);
    r.id = static_cast<uint32_t>(5000 + i);
    r.value8 = static_cast<uint32_t>(0x01020304 + i);
    r.name = "img-" + std::to_string(i);
    r.text44 = "second-" + std::to_string(i);
    r.size = static_cast<uint32_t>(700000 + i * 2048);
    r.path = "folder/img-" + std::to_string(i);
    r.flags = static_cast<uint8_t>(i % 2);
    r.filler = 0xEE;
    return r;
}
std::string ImageExpected(size_t i) {
    return std::to_string(1 + i % 4) + "|" + std::to_string(1 + (i + 1) % 4) + "|" +
           std::to_string(5000 + i) + "|" + std::to_string(0x01020304 + i) + "|img-" +
           std::to_string(i) + "|second-" + std::to_string(i) + "|" +
           std::to_string(700000 + i * 2048) + "|folder/img-" + std::to_string(i) + "|" +
           std::to_string(i % 2);
}
std::string ImageGot(const NasImgInfo& r) {
    return std::to_string(r.state) + "|" + std::to_string(r.fileSystem) + "|" +
           std::to_string(r.imageId) + "|" + std::to_string(r.value6) + "|" + Text(r.name, 32) +
           "|" + Text(r.text42, 32) + "|" + std::to_string(r.size) + "|" + Text(r.path, 112) + "|" +
           std::to_string(r.flags);
}

nassim::ShareRecord ShareSent(size_t i) {
    nassim::ShareRecord r;
    r.name = "share-" + std::to_string(i);
    r.text32 = "s32-" + std::to_string(i);
    for (uint32_t k = 0; k < 8; ++k)
        r.values[k] = static_cast<uint32_t>(i * 100 + k);
    r.path = "/vol/share-" + std::to_string(i);
    r.filler = 0xDD;
    return r;
}
std::string ShareExpected(size_t i) {
    std::string text = "share-" + std::to_string(i) + "|s32-" + std::to_string(i);
    for (size_t k = 0; k < 8; ++k)
        text += "|" + std::to_string(i * 100 + k);
    return text + "|/vol/share-" + std::to_string(i);
}
std::string ShareGot(const NasShareInfo& r) {
    std::string text = Text(r.name, 32) + "|" + Text(r.text32, 32);
    for (uint32_t v : r.values)
        text += "|" + std::to_string(v);
    return text + "|" + Text(r.text96, 512);
}

nassim::CdDriveRecord DriveSent(size_t i) {
    nassim::CdDriveRecord r;
    r.typeMask = 1u << (i % 4);
    r.name = "drive-" + std::to_string(i);
    r.tail = {static_cast<uint8_t>(i), static_cast<uint8_t>(0xA0 + i), 0xB0, 0xC0};
    return r;
}
std::string DriveExpected(size_t i) {
    return std::to_string(1u << (i % 4)) + "|drive-" + std::to_string(i) + "|" + std::to_string(i) +
           "|" + std::to_string(0xA0 + i) + "|176|192";
}
std::string DriveGot(const NasCDDrvInfo& r) {
    return std::to_string(r.typeMask) + "|" + Text(r.name, 41) + "|" +
           std::to_string(r.driveNumber) + "|" + std::to_string(r.tail[0]) + "|" +
           std::to_string(r.tail[1]) + "|" + std::to_string(r.tail[2]);
}

std::string FolderName(size_t i) {
    return "folder-" + std::to_string(i);
}
// A folder record is returned as the unit laid it out; it must hold the name and end in 0.
std::string FolderGot(const char (&record)[128], size_t i) {
    std::string bytes(record, 128);
    if (record[127] != 0) return "unterminated";
    return bytes.find(FolderName(i)) != std::string::npos ? FolderName(i) : "missing name";
}

enum class Form { Plain, Drives, Direct, Tasks };

// One command: how to give the unit n records and how to ask for them.
struct Command {
    const char* name;
    uint16_t code;
    Form form;
    size_t cap;
    size_t wireSize;
    size_t headSize;
    std::function<void(nassim::Unit&, size_t)> give;
    std::function<std::string(size_t)> expected;
    std::function<Outcome(const uint32_t*)> ask;
};

std::vector<Bytes> RawRecords(size_t n, size_t size) {
    std::vector<Bytes> records;
    for (size_t i = 0; i < n; ++i)
        records.push_back(nastest::RawRecord(i, size));
    return records;
}

std::string RawExpected(size_t i, size_t size) {
    Bytes record = nastest::RawRecord(i, size);
    return Hex(record.data(), size);
}

template <class Record, size_t Max, class Call> Outcome AskRaw(const uint32_t* addrs, Call call) {
    std::vector<Record> out(Max);
    int count = -7;
    Outcome o;
    o.result = call(addrs, &count, out.data());
    o.count = count;
    for (int i = 0; i < count && i < static_cast<int>(Max); ++i)
        o.records.push_back(Hex(reinterpret_cast<const uint8_t*>(&out[i]), sizeof(Record)));
    return o;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"ImgFolders", 13, Form::Plain, NAS_IMG_FOLDER_MAX, 128, 40,
         [](nassim::Unit& u, size_t n) {
             std::vector<std::string> names;
             for (size_t i = 0; i < n; ++i)
                 names.push_back(FolderName(i));
             u.setImageFolders(names);
         },
         FolderName,
         [](const uint32_t* addrs) {
             std::unique_ptr<char[][128]> out(new char[NAS_IMG_FOLDER_MAX][128]);
             int count = -7;
             Outcome o;
             o.result = NasApiGetImgFolders(addrs, &count, out.get());
             o.count = count;
             for (int i = 0; i < count; ++i)
                 o.records.push_back(FolderGot(out[i], i));
             return o;
         }},
        {"ImgList", 14, Form::Plain, NAS_IMG_INFO_MAX, 196, 40,
         [](nassim::Unit& u, size_t n) {
             std::vector<nassim::ImageRecord> images;
             for (size_t i = 0; i < n; ++i)
                 images.push_back(ImageSent(i));
             u.setImages(images);
         },
         ImageExpected,
         [](const uint32_t* addrs) {
             std::vector<NasImgInfo> out(NAS_IMG_INFO_MAX);
             unsigned count = 12345;
             Outcome o;
             o.result = NasApiGetImgList(addrs, &count, out.data());
             o.count = count;
             for (unsigned i = 0; i < count; ++i)
                 o.records.push_back(ImageGot(out[i]));
             return o;
         }},
        {"ShareList", 21, Form::Plain, NAS_SHARE_INFO_MAX, 616, 40,
         [](nassim::Unit& u, size_t n) {
             std::vector<nassim::ShareRecord> shares;
             for (size_t i = 0; i < n; ++i)
                 shares.push_back(ShareSent(i));
             u.setShares(shares);
         },
         ShareExpected,
         [](const uint32_t* addrs) {
             std::vector<NasShareInfo> out(NAS_SHARE_INFO_MAX);
             unsigned count = 12345;
             Outcome o;
             o.result = NasApiGetShareList(addrs, &count, out.data());
             o.count = count;
             for (unsigned i = 0; i < count; ++i)
                 o.records.push_back(ShareGot(out[i]));
             return o;
         }},
        {"CDDrvList", 22, Form::Drives, NAS_CDDRV_INFO_MAX, 52, 40,
         [](nassim::Unit& u, size_t n) {
             std::vector<nassim::CdDriveRecord> drives;
             for (size_t i = 0; i < n; ++i)
                 drives.push_back(DriveSent(i));
             u.setCdDrives(drives);
         },
         DriveExpected,
         [](const uint32_t* addrs) {
             std::vector<NasCDDrvInfo> out(NAS_CDDRV_INFO_MAX);
             int count = -7;
             Outcome o;
             o.result = NasApiGetCDDrvList(addrs, &count, out.data(), 0);
             o.count = count;
             for (int i = 0; i < count; ++i)
                 o.records.push_back(DriveGot(out[i]));
             return o;
         }},
        {"DiskInfo", 10, Form::Direct, NAS_DISK_INFO_MAX, 170, 40,
         [](nassim::Unit& u, size_t n) { u.setDisks(RawRecords(n, 170)); },
         [](size_t i) { return RawExpected(i, 170); },
         [](const uint32_t* addrs) {
             return AskRaw<NasDiskInfo, NAS_DISK_INFO_MAX>(addrs, NasApiGetDiskInfo);
         }},
        {"VolInfo", 11, Form::Direct, NAS_VOL_INFO_MAX, 192, 40,
         [](nassim::Unit& u, size_t n) { u.setVolumes(RawRecords(n, 192)); },
         [](size_t i) { return RawExpected(i, 192); },
         [](const uint32_t* addrs) {
             return AskRaw<NasVolInfo, NAS_VOL_INFO_MAX>(addrs, NasApiGetVolInfo);
         }},
        {"Task", 12, Form::Tasks, NAS_TASK_INFO_MAX, 96, 48,
         [](nassim::Unit& u, size_t n) {
             u.setTasks(RawRecords(n, 96), static_cast<uint32_t>(n), 77);
         },
         [](size_t i) { return RawExpected(i, 96); },
         [](const uint32_t* addrs) {
             int status = 99, taskCount = 99, value = 99;
             NasTaskInfo* tasks = NasApiGetTask(addrs, &status, &taskCount, &value);
             Outcome o;
             o.result = status;
             o.count = tasks ? taskCount : -1; // -1: no array
             for (int i = 0; tasks && i < taskCount; ++i)
                 o.records.push_back(Hex(tasks[i].data, sizeof tasks[i].data));
             NasApiDeleteTaskInfo(static_cast<unsigned>(taskCount), tasks);
             return o;
         }},
    };
    return commands;
}

enum class Scenario { Normal, OverCap, Status, CutShort, TimeOut };

const char* ScenarioName(Scenario s) {
    switch (s) {
    case Scenario::Normal:
        return "Normal";
    case Scenario::OverCap:
        return "OverCap";
    case Scenario::Status:
        return "NonZeroStatus";
    case Scenario::CutShort:
        return "CutShort";
    case Scenario::TimeOut:
        return "TimeOut";
    }
    return "?";
}

struct Expected {
    int result;
    long long count;       // Tasks: -1 for no array
    size_t matching;       // leading records equal to those the unit was given
    bool zeroTail = false; // Tasks: the records after them are all zero
};

constexpr int16_t kUnitStatus = -5; // sign-extended on its way to the caller

Expected ExpectedOutcome(const Command& c, Scenario s, size_t n) {
    switch (s) {
    case Scenario::Normal:
        return {0, static_cast<long long>(n), n};
    case Scenario::OverCap:
        if (c.form == Form::Tasks) return {-1, -1, 0}; // an absurd announcement: no array
        return {0, static_cast<long long>(c.cap), c.cap};
    case Scenario::Status:
        switch (c.form) {
        case Form::Plain:
            return {kUnitStatus, 0, 0};
        case Form::Drives:
            return {kUnitStatus, static_cast<long long>(n), n};
        case Form::Direct:
            return {0, static_cast<long long>(n), n};
        case Form::Tasks:
            return {kUnitStatus, static_cast<long long>(n), n};
        }
        break;
    case Scenario::CutShort:
        switch (c.form) {
        case Form::Plain:
        case Form::Drives:
            return {-1, 0, 0};
        case Form::Direct:
            return {0, 1, 1};
        case Form::Tasks:
            return {0, static_cast<long long>(n), 1, true};
        }
        break;
    case Scenario::TimeOut:
        switch (c.form) {
        case Form::Plain:
        case Form::Drives:
            return {NAS_RESULT_TIMEOUT, 0, 0};
        case Form::Direct:
            return {0, 0, 0};
        case Form::Tasks:
            return {-1, -1, 0};
        }
        break;
    }
    return {};
}

class ListQuery : public ::testing::TestWithParam<std::tuple<size_t, Scenario>> {};

TEST_P(ListQuery, StoresWhatArrivedWithinTheCallersArray) {
    const Command& c = Commands()[std::get<0>(GetParam())];
    const Scenario scenario = std::get<1>(GetParam());
    nastest::QueryUnit u(Ipv4(127, 0, 81, 2));
    nas::NetConfig config = u.netConfig();

    size_t n = scenario == Scenario::OverCap ? c.cap + 3 : 3;
    c.give(u.unit, n);
    nassim::CommandFault fault;
    fault.command = c.code;
    switch (scenario) {
    case Scenario::Normal:
    case Scenario::OverCap:
        break;
    case Scenario::Status:
        fault.status = kUnitStatus;
        break;
    case Scenario::CutShort:
        fault.cutAfter = c.headSize + c.wireSize + c.wireSize / 2;
        break;
    case Scenario::TimeOut:
        fault.delay = std::chrono::milliseconds(2500);
        config.readinessWaitMs = 300;
        config.directWaitMs = 300;
        break;
    }
    if (scenario != Scenario::Normal && scenario != Scenario::OverCap)
        u.unit.addCommandFault(fault);
    nastest::ScopedNetConfig scope(config);

    const auto start = std::chrono::steady_clock::now();
    Outcome got = c.ask(u.addrs.data());
    const Expected want = ExpectedOutcome(c, scenario, n);
    EXPECT_EQ(got.result, want.result);
    EXPECT_EQ(got.count, want.count);
    ASSERT_EQ(got.records.size(), want.count < 0 ? 0u : static_cast<size_t>(want.count));
    for (size_t i = 0; i < want.matching; ++i)
        EXPECT_EQ(got.records[i], c.expected(i)) << i;
    for (size_t i = want.matching; want.zeroTail && i < got.records.size(); ++i)
        EXPECT_EQ(got.records[i], std::string(2 * c.wireSize, '0')) << i;
    if (scenario == Scenario::TimeOut) {
        EXPECT_LT(nastest::MsSinceStart(start), 2000) << "waited for the late reply";
    }

    auto requests = u.unit.requestsFor(c.code);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].problem, "");
    EXPECT_EQ(requests[0].bytes.size(), 32u);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, ListQuery,
                         ::testing::Combine(::testing::Range<size_t>(0, 7),
                                            ::testing::Values(Scenario::Normal, Scenario::OverCap,
                                                              Scenario::Status, Scenario::CutShort,
                                                              Scenario::TimeOut)),
                         [](const ::testing::TestParamInfo<ListQuery::ParamType>& info) {
                             return std::string(Commands()[std::get<0>(info.param)].name) +
                                    ScenarioName(std::get<1>(info.param));
                         });

TEST(ListQuery, UnreachableUnitGivesMinusOneAndNoRecords) {
    uint32_t addrs[3] = {0, 0, 0};
    std::vector<NasImgInfo> images(NAS_IMG_INFO_MAX);
    unsigned imageCount = 5;
    EXPECT_EQ(NasApiGetImgList(addrs, &imageCount, images.data()), -1);
    EXPECT_EQ(imageCount, 0u);
    std::vector<NasDiskInfo> disks(NAS_DISK_INFO_MAX);
    int diskCount = 5;
    EXPECT_EQ(NasApiGetDiskInfo(addrs, &diskCount, disks.data()), -1);
    EXPECT_EQ(diskCount, 0);
    int status = 5, taskCount = 5, value = 5;
    EXPECT_EQ(NasApiGetTask(addrs, &status, &taskCount, &value), nullptr);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(taskCount, 0);
}

// Texts that fill their wire field, or are followed by filler instead of zeros, arrive cut to
// the caller's field and terminated.
TEST(ListQuery, UnterminatedTextsAreCutToTheFieldAndTerminated) {
    nastest::QueryUnit u(Ipv4(127, 0, 81, 3));
    nastest::ScopedNetConfig scope(u.netConfig());
    nassim::ImageRecord image = ImageSent(0);
    image.name = std::string(40, 'n');
    image.path = "p";
    u.unit.setImages({image});
    nassim::ShareRecord share = ShareSent(0);
    share.path = std::string(600, 'q');
    u.unit.setShares({share});
    nassim::CdDriveRecord drive = DriveSent(0);
    drive.name = std::string(44, 'd');
    u.unit.setCdDrives({drive});
    u.unit.setImageFolders({std::string(128, 'f')});
    nassim::CommandFault filler;
    filler.unterminated = true; // every text followed by 'X' up to its field's end
    u.unit.addCommandFault(filler);

    std::vector<NasImgInfo> images(NAS_IMG_INFO_MAX);
    unsigned imageCount = 0;
    ASSERT_EQ(NasApiGetImgList(u.addrs.data(), &imageCount, images.data()), 0);
    ASSERT_EQ(imageCount, 1u);
    EXPECT_EQ(Text(images[0].name, 32), std::string(31, 'n'));
    EXPECT_EQ(images[0].name[31], 0);
    EXPECT_EQ(Text(images[0].path, 112), "p" + std::string(110, 'X'));
    EXPECT_EQ(images[0].path[111], 0);
    EXPECT_EQ(images[0].flags, 0) << "the byte after the path field";

    std::vector<NasShareInfo> shares(NAS_SHARE_INFO_MAX);
    unsigned shareCount = 0;
    ASSERT_EQ(NasApiGetShareList(u.addrs.data(), &shareCount, shares.data()), 0);
    ASSERT_EQ(shareCount, 1u);
    EXPECT_EQ(Text(shares[0].text96, 512), std::string(511, 'q'));
    EXPECT_EQ(Text(shares[0].name, 32), "share-0" + std::string(24, 'X'));

    std::vector<NasCDDrvInfo> drives(NAS_CDDRV_INFO_MAX);
    int driveCount = 0;
    ASSERT_EQ(NasApiGetCDDrvList(u.addrs.data(), &driveCount, drives.data(), 0), 0);
    ASSERT_EQ(driveCount, 1);
    EXPECT_EQ(Text(drives[0].name, 41), std::string(40, 'd'));
    EXPECT_EQ(drives[0].name[40], 0);
    EXPECT_EQ(drives[0].driveNumber, 0);

    std::unique_ptr<char[][128]> folders(new char[NAS_IMG_FOLDER_MAX][128]);
    int folderCount = 0;
    ASSERT_EQ(NasApiGetImgFolders(u.addrs.data(), &folderCount, folders.get()), 0);
    ASSERT_EQ(folderCount, 1);
    // The unit's 8 leading bytes, then the name cut to the record and terminated in its last byte.
    EXPECT_EQ(Text(folders[0] + 8, 120), std::string(119, 'f'));
}

TEST(ListQuery, DriveFilterKeepsDrivesSharingABitWithTheMask) {
    nastest::QueryUnit u(Ipv4(127, 0, 81, 4));
    nastest::ScopedNetConfig scope(u.netConfig());
    std::vector<nassim::CdDriveRecord> sent;
    for (size_t i = 0; i < 6; ++i)
        sent.push_back(DriveSent(i)); // masks 1 2 4 8 1 2
    u.unit.setCdDrives(sent);
    struct Case {
        int mask;
        std::vector<std::string> names;
    };
    const std::vector<std::string> all = {"drive-0", "drive-1", "drive-2",
                                          "drive-3", "drive-4", "drive-5"};
    for (const Case& c : std::vector<Case>{{0, all},
                                           {-1, all},
                                           {255, all},
                                           {4, {"drive-2"}},
                                           {3, {"drive-0", "drive-1", "drive-4", "drive-5"}},
                                           {16, {}}}) {
        SCOPED_TRACE(c.mask);
        std::vector<NasCDDrvInfo> out(NAS_CDDRV_INFO_MAX);
        int count = -1;
        ASSERT_EQ(NasApiGetCDDrvList(u.addrs.data(), &count, out.data(), c.mask), 0);
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i)
            names.push_back(Text(out[i].name, 41));
        EXPECT_EQ(names, c.names);
    }
}

// Task replies: the two counters, the array's size and what the caller may index.
TEST(TaskQuery, CountersAndArrayFollowTheReply) {
    nastest::QueryUnit u(Ipv4(127, 0, 81, 5));
    nastest::ScopedNetConfig scope(u.netConfig());
    struct Case {
        const char* name;
        size_t records;
        uint32_t taskCount;
        std::optional<uint32_t> dataLength; // declared instead of the true one
        int status;
        int count;
        bool array;
    };
    for (const Case& c : std::vector<Case>{
             {"counters only", 0, 5, std::nullopt, 0, 5, false},
             {"fewer records than tasks", 2, 10, std::nullopt, 0, 2, true},
             {"records but no task", 2, 0, std::nullopt, 0, 0, false},
             {"data length under the counters", 0, 5, 4u, -1, 0, false},
             {"absurd data length", 0, 5, 0xFFFFFFF0u, -1, 0, false},
         }) {
        SCOPED_TRACE(c.name);
        u.unit.clearCommandFaults();
        u.unit.setTasks(RawRecords(c.records, 96), c.taskCount, 9);
        if (c.dataLength) {
            nassim::CommandFault fault;
            fault.command = 12;
            fault.dataLength = c.dataLength;
            u.unit.addCommandFault(fault);
        }
        int status = 99, taskCount = 99, value = 99;
        NasTaskInfo* tasks = NasApiGetTask(u.addrs.data(), &status, &taskCount, &value);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(taskCount, c.count);
        EXPECT_EQ(value, c.status == 0 ? 9 : 0);
        EXPECT_EQ(tasks != nullptr, c.array);
        for (int i = 0; tasks && i < taskCount; ++i)
            EXPECT_EQ(Hex(tasks[i].data, 96), RawExpected(i, 96));
        NasApiDeleteTaskInfo(static_cast<unsigned>(taskCount), tasks);
    }
}

TEST(TaskQuery, DeleteWithCountZeroLeavesTheArrayAlone) {
    nastest::QueryUnit u(Ipv4(127, 0, 81, 6));
    nastest::ScopedNetConfig scope(u.netConfig());
    u.unit.setTasks(RawRecords(2, 96), 2, 0);
    int status = 0, taskCount = 0, value = 0;
    NasTaskInfo* tasks = NasApiGetTask(u.addrs.data(), &status, &taskCount, &value);
    ASSERT_NE(tasks, nullptr);
    NasApiDeleteTaskInfo(0, tasks);
    // Still the caller's: reading it is fine, and the second delete frees it (the sanitizer
    // reports a use after free or a double free otherwise, and a leak if nothing freed it).
    EXPECT_EQ(Hex(tasks[1].data, 96), RawExpected(1, 96));
    NasApiDeleteTaskInfo(static_cast<unsigned>(taskCount), tasks);
    NasApiDeleteTaskInfo(0, nullptr);
}

// The recording status walks the writer's scripted states; failures give the unit's status or -1.
TEST(BurningStat, FollowsTheWritersStatesAndReportsFailures) {
    nastest::QueryUnit u(Ipv4(127, 0, 81, 7));
    nas::NetConfig config = u.netConfig();
    config.readinessWaitMs = 300;
    nastest::ScopedNetConfig scope(config);
    u.unit.setWriterScript({{5, 30, 0}, {0, 100, 4096}});
    NasBurnInfo burn{};
    std::strcpy(burn.userName, "alice");
    burn.imageId = 1;
    burn.writer = 2;
    ASSERT_EQ(NasApiRemoteCDBurning(u.addrs.data(), &burn, 0), 0);
    const uint32_t counter = burn.replyValue;
    const uint32_t job[2] = {2, counter};

    struct State {
        uint32_t counter;
        int percent;
        int writer;
        uint32_t endReason;
    };
    std::vector<State> seen;
    for (int i = 0; i < 3; ++i) {
        NasCDBurningStat stat;
        std::memset(&stat, 0x77, sizeof stat);
        ASSERT_EQ(NasApiGetCDBurningStat(u.addrs.data(), job, &stat), 0);
        seen.push_back({stat.jobCounter, stat.percentDone, stat.writerState, stat.endReason});
    }
    ASSERT_EQ(seen.size(), 3u);
    for (const State& s : seen)
        EXPECT_EQ(s.counter, counter);
    EXPECT_EQ(seen[0].percent, 30);
    EXPECT_EQ(seen[0].writer, 5);
    EXPECT_EQ(seen[0].endReason, 0u);
    for (int i : {1, 2}) {
        EXPECT_EQ(seen[i].percent, 100);
        EXPECT_EQ(seen[i].writer, 0);
        EXPECT_EQ(seen[i].endReason, 4096u);
    }
    auto queries = u.unit.requestsFor(24);
    ASSERT_EQ(queries.size(), 3u);
    const Bytes& q = queries[0].bytes;
    EXPECT_EQ(queries[0].problem, "");
    ASSERT_EQ(q.size(), 72u);
    EXPECT_EQ(Hex(q.data() + 32, 12), "140000002000000002000000"); // sub-code, length, writer
    EXPECT_EQ(q[44] | q[45] << 8 | q[46] << 16 | q[47] << 24, static_cast<int>(counter));
    EXPECT_EQ(Bytes(q.begin() + 48, q.end()), Bytes(24, 0));

    struct Case {
        const char* name;
        uint32_t writer;
        std::optional<nassim::CommandFault> fault;
        int result;
    };
    nassim::CommandFault negative;
    negative.status = -5;
    nassim::CommandFault cut;
    cut.cutAfter = 32 + 50;
    nassim::CommandFault late;
    late.delay = std::chrono::milliseconds(2500);
    nassim::CommandFault otherCommand;
    otherCommand.replyCommand = 23;
    for (const Case& c : std::vector<Case>{
             {"no job on that writer", 3, std::nullopt, nassim::kStatusNoRecordingJob},
             {"negative status", 2, negative, -5},
             {"reply cut short", 2, cut, -1},
             {"no reply in time", 2, late, -1},
             {"reply to another command", 2, otherCommand, -1},
         }) {
        SCOPED_TRACE(c.name);
        u.unit.clearCommandFaults();
        if (c.fault) u.unit.addCommandFault(*c.fault);
        const uint32_t other[2] = {c.writer, counter};
        NasCDBurningStat stat{};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(NasApiGetCDBurningStat(u.addrs.data(), other, &stat), c.result);
        EXPECT_LT(nastest::MsSinceStart(start), 2000);
    }
    EXPECT_EQ(NasApiGetCDBurningStat(u.addrs.data(), job, nullptr), 2);
}

} // namespace
