// The facade's texts and questions on records filled by hand, and its firmware warning.
#include "brandinfo.h"
#include "cdh_net.h"
#include "msgbox.h"
#include "tovexcdh_records.h"
#include "vcl/dialog_host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <gtest/gtest.h>
#include <memory>

namespace {

std::unique_ptr<TCdhSvr> Server(std::uint16_t major = 2, std::uint16_t minor = 0) {
    auto s = std::make_unique<TCdhSvr>();
    s->FirmwareMajor = major;
    s->FirmwareMinor = minor;
    return s;
}

std::uint8_t* Slot(TCdhSvr& s, int slot, std::uint16_t kind, bool inMaskA = true) {
    std::uint8_t* b = s.SlotInfo[slot];
    b[0] = 'S';
    CdhPutU16(b + kSlOffKind, kind);
    const std::size_t mask = inMaskA ? kStOffMaskA : kStOffMaskB;
    CdhPutU32(s.Status + mask, CdhGetU32(s.Status + mask) | 1u << slot);
    return b;
}

std::uint8_t* Raid(TCdhSvr& s, int slot, std::uint8_t kind, std::vector<std::uint8_t> members) {
    std::uint8_t* r = s.RaidVolumes[slot - 8];
    r[kRdOffMemberCount] = static_cast<std::uint8_t>(members.size());
    r[kRdOffKind] = kind;
    for (std::size_t i = 0; i < members.size(); ++i)
        r[kRdOffMembers + i] = members[i];
    return r;
}

std::uint8_t* Volume(TCdhSvr& s, int slot) {
    std::uint8_t* e = s.VolumeTable[slot];
    std::memcpy(e, "TAPE-DRIVE", 10);
    CdhPutU16(e + kVtOffSlot, static_cast<std::uint16_t>(slot));
    CdhPutU16(e + kSlOffKind, 4);
    return e;
}

CDH_NET_CLASS& F() {
    return CdhNetClass();
}

TEST(CdhFacade, SizeRule) {
    const std::int64_t MB = 1 << 20;
    const std::pair<std::int64_t, const char*> cases[] = {
        {-1, ""},
        {0, "0 byte"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {1023, "1,023 bytes"},
        {1024, "1 KB"},
        {1536 * 1024, "1.5 MB"},
        {100 * MB - 1, "100 MB"},
        {100 * MB, "100 MB"},
        {1000 * MB, "1,000 MB"},
        {std::int64_t{3} << 30, "3 GB"},
        {(std::int64_t{100} << 30) - 1, "100 GB"},
        {std::int64_t{5000} << 30, "5,000 GB"},
        {std::int64_t{1} << 50, ""},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(CdhSizeText(bytes), text) << bytes;
}

TEST(CdhFacade, FacadeCodesOfTheLayerCodes) {
    const std::pair<int, int> cases[] = {{0, 0},  {1, 1},  {4, 1},  {5, 3},  {6, 4},  {7, 6},
                                         {8, 5},  {9, 2},  {13, 2}, {18, 2}, {19, 2}, {20, 9},
                                         {21, 9}, {22, 9}, {24, 2}, {-1, 9}};
    for (const auto& [layer, facade] : cases)
        EXPECT_EQ(CdhFacadeCodeOf(layer), facade) << layer;
}

TEST(CdhFacade, ServerTexts) {
    auto s = Server(1, 0x0A);
    std::strcpy(s->FirmwareSuffix, "beta");
    const std::uint8_t mac[6] = {0x00, 0x1a, 0x2B, 0xC3, 0xd4, 0xFF};
    std::memcpy(s->HardwareAddress, mac, 6);
    CdhPutU16(s->Status + kStOffMemoryMb, 64);
    CdhPutU16(s->Status + kStOffCpuMhz, 200);
    std::memcpy(s->Status + kStOffText36, "NETWARE-NAME      ", 18);
    std::memcpy(s->Status + kStOffText54, "MAC-NAME-FILLS-ALL", 18);
    EXPECT_EQ(F().GetMacText(s.get()), "00-1A-2B-C3-D4-FF");
    EXPECT_EQ(F().GetFirmwareText(s.get()), "V1.0A beta");
    EXPECT_EQ(F().GetMemorySizeText(s.get()), "64 MB");
    EXPECT_EQ(F().GetCpuText(s.get()), "200 Mhz");
    EXPECT_EQ(F().GetNetwareNameText(s.get()), "NETWARE-NAME");
    EXPECT_EQ(F().GetMacintoshNameText(s.get()), "MAC-NAME-FILLS-ALL");
    EXPECT_EQ(F().GetFixedText(s.get()), "");
    EXPECT_EQ(F().GetFeatureText(s.get()), "No");
    s->Capabilities = 1;
    EXPECT_EQ(F().GetFeatureText(s.get()), "Yes");

    const std::pair<std::uint16_t, std::string> speeds[] = {
        {0, GetMessageText(10)}, {10, "10 "}, {100, "100 "}, {1000, ""}};
    for (const auto& [speed, text] : speeds) {
        CdhPutU16(s->Status + kStOffLanSpeed, speed);
        EXPECT_EQ(F().GetLanSpeedText(s.get()), text) << speed;
    }

    ::setenv("TZ", "UTC", 1);
    ::tzset();
    CdhPutU32(s->Status + kStOffClock, 1104541445u); // 2005-01-01 01:04:05 UTC
    EXPECT_EQ(F().GetTimeValue(s.get()), 1104541445u);
    EXPECT_EQ(F().GetDateText(s.get()), "2005/ 1/ 1  1: 4: 5");

    const std::uint8_t unconfigured[4] = {192, 168, 1, 1};
    std::memcpy(s->IpAddress, unconfigured, 4);
    EXPECT_FALSE(F().HasNonDefaultAddress(s.get()));
    s->IpAddress[3] = 2;
    EXPECT_TRUE(F().HasNonDefaultAddress(s.get()));
    EXPECT_EQ(F().GetIpText(s.get()), "192.168.1.2");

    // Every question on a missing record answers nothing.
    EXPECT_EQ(F().GetServerName(nullptr), "");
    EXPECT_EQ(F().GetDateText(nullptr), "");
    EXPECT_FALSE(F().SlotExists(nullptr, 0));
    EXPECT_EQ(F().GetSlotCapacityText(nullptr, 0), "");
    EXPECT_EQ(F().GetMaxSlots(), 8);
}

TEST(CdhFacade, FirmwareComparisonAndTheWarningForOldFirmware) {
    struct RecordingHost : vcl::TDialogHost {
        int MessageBox(const vcl::TMessageBoxRequest& r) override {
            boxes.push_back(r);
            return vcl::IDOK;
        }
        std::vector<std::string> FileDialog(const vcl::TFileDialogRequest&) override { return {}; }
        std::optional<std::string> BrowseFolder(const std::string&, const std::string&) override {
            return std::nullopt;
        }
        std::vector<vcl::TMessageBoxRequest> boxes;
    } host;
    vcl::TDialogHost* previous = vcl::SetDialogHost(&host);
    const std::string productName = BrandInfo.APPNAME;
    BrandInfo.APPNAME = "Shelfbox";

    struct Case {
        std::uint16_t major, minor;
        int compared;
    };
    const Case cases[] = {{1, 0x0F, -1}, {1, 0x10, 0}, {1, 0x11, 1}, {0, 0xFF, -1}, {2, 0, 1}};
    for (const Case& c : cases) {
        auto s = Server(c.major, c.minor);
        EXPECT_EQ(F().CompareFirmware(s.get(), 1, 0x10), c.compared);
        EXPECT_EQ(F().CheckFirmware(s.get()), c.compared);
    }
    EXPECT_EQ(F().CompareFirmware(nullptr, 1, 0), -2);
    EXPECT_EQ(F().CheckFirmware(nullptr), -2);
    vcl::SetDialogHost(previous);
    BrandInfo.APPNAME = productName;

    ASSERT_EQ(host.boxes.size(), 2u); // the two older ones
    const vcl::TMessageBoxRequest& box = host.boxes[0];
    EXPECT_EQ(box.Caption, GetMessageText(15));
    EXPECT_EQ(box.Icon, vcl::TBoxIcon::Warning);
    EXPECT_NE(box.Text.find("Please upgrade to V1.10 or later"), std::string::npos) << box.Text;
    EXPECT_NE(box.Text.find("'Shelfbox'"), std::string::npos) << box.Text;
    EXPECT_EQ(box.Text.find(kProductWord), std::string::npos) << box.Text;
}

TEST(CdhFacade, SlotKindsModesAndKindBytes) {
    struct Case {
        const char* what;
        std::uint16_t kind80;
        std::uint8_t byte88, byte89;
        int kind, kindByte, mode;
    };
    const Case cases[] = {
        {"hard disk, no init", 1, 0, 0x00, 1, 0, 1},
        {"hard disk, mirror", 1, 0, 0x01, 1, 1, 2},
        {"hard disk, file", 1, 0, 0x02, 1, 2, 3},
        {"hard disk, mode 7", 1, 0, 0x07, 1, -1, 1},
        {"CD-ROM direct", 2, 0, 0x00, 2, 0, 0},
        {"CD-ROM restore", 2, 0, 0x04, 2, 4, 0},
        {"CD record mode without the writer bit", 3, 0x00, 0x03, 2, 3, 0},
        {"CD writer", 3, 0x08, 0x03, 3, 3, 0},
        {"CD writer bit in another mode", 2, 0x08, 0x02, 2, 2, 0},
        {"unknown kind", 9, 0, 0x00, 0, 0, 0},
        {"high nibble does not count", 2, 0, 0xF1, 2, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto s = Server();
        std::uint8_t* b = Slot(*s, 3, c.kind80);
        b[kSlOffFlags88] = c.byte88;
        b[kSlOffMode89] = c.byte89;
        EXPECT_EQ(F().GetSlotKind(s.get(), 3), c.kind);
        EXPECT_EQ(F().GetSlotKindByte(s.get(), 3), c.kindByte);
        EXPECT_EQ(F().GetSlotMode(s.get(), 3), c.mode);
    }
}

TEST(CdhFacade, DriveSlotQuestions) {
    auto s = Server();
    std::uint8_t* b = Slot(*s, 2, 1, /*inMaskA=*/false);
    std::memcpy(b + kSlOffLabel, "DISK-LABEL-IS-LONG", 18); // fills its field
    std::memcpy(b + kSlOffStatus, "Maker Model", 11);
    std::memcpy(b + kSlOffState, "Ready", 5);
    CdhPutU16(b + kSlOffEntryCount, 12);
    CdhPutU32(b + kSlOffCapacity, 51200); // 100 MB
    CdhPutU32(b + kSlOffFree, 0);
    b[kSlOffState90] = 0x40;
    EXPECT_TRUE(F().SlotExists(s.get(), 2));
    EXPECT_EQ(F().GetSlotMaskB(s.get()), 4u);
    EXPECT_EQ(F().GetSlotLabel(s.get(), 2), "DISK-LABEL-IS-LONG");
    EXPECT_EQ(F().GetSlotStatusText(s.get(), 2), "Maker Model");
    EXPECT_EQ(F().GetSlotStateText(s.get(), 2), "Ready");
    EXPECT_EQ(F().GetSlotEntryCount(s.get(), 2), 12);
    EXPECT_EQ(F().GetSlotCapacityText(s.get(), 2), "100 MB");
    EXPECT_EQ(F().GetSlotFreeText(s.get(), 2), "0 MB");
    EXPECT_TRUE(F().IsInitializing(s.get(), 2));
    EXPECT_TRUE(F().IsTapeSlot(s.get(), 2)); // the same question under its other name
    EXPECT_EQ(F().GetVolumeStateText(s.get(), 2), GetMessageText(40));
    // Slot 5 is in no mask: nothing to tell, and its state is "Not Ready".
    EXPECT_EQ(F().GetSlotLabel(s.get(), 5), "");
    EXPECT_EQ(F().GetSlotCapacityText(s.get(), 5), "");
    EXPECT_EQ(F().GetVolumeState(s.get(), 5), 1);

    const int texts[] = {20, 37, 38, 39, 40, 41, 42, 42};
    for (int state = 0; state < 8; ++state) {
        b[kSlOffState90] = static_cast<std::uint8_t>(state << 4);
        EXPECT_EQ(F().GetVolumeStateText(s.get(), 2), GetMessageText(texts[state])) << state;
    }
}

TEST(CdhFacade, RaidVolumeTexts) {
    auto s = Server();
    std::uint8_t* r = Raid(*s, 9, 1, {0, 2});
    r[kRdOffLevel] = 5;
    CdhPutU32(r + kRdOffSlotMask, 0xFFFFFFF5u); // bits 0 and 2 of the four
    CdhPutU32(r + kRdOffCapacityMb, 2048);
    CdhPutU32(r + kRdOffFreeMb, 0);
    CdhPutU16(r + kRdOffEntryCount, 3);
    r[kRdOffState] = 5;
    EXPECT_TRUE(F().IsRaidVolume(s.get(), 9));
    EXPECT_FALSE(F().IsRaidVolume(s.get(), 8));
    EXPECT_EQ(F().GetSlotLabel(s.get(), 9), "RAID-B");
    EXPECT_EQ(F().GetSlotKind(s.get(), 9), 5);
    EXPECT_EQ(F().GetSlotMode(s.get(), 9), 2);
    EXPECT_EQ(F().GetRaidVolumeKind(s.get(), 9), 5);
    EXPECT_EQ(F().GetRaidVolumeKind(s.get(), 8), -1);
    EXPECT_EQ(F().GetVolumeMemberText(s.get(), 9), "hd01, hd03");
    EXPECT_EQ(F().GetVolumeSlotsText(s.get(), 9), "hd01, hd03");
    EXPECT_EQ(F().GetSlotCapacityText(s.get(), 9), "2 GB");
    EXPECT_EQ(F().GetSlotFreeText(s.get(), 9), "0 MB");
    EXPECT_EQ(F().GetSlotEntryCount(s.get(), 9), 3);
    EXPECT_EQ(F().GetSlotStateText(s.get(), 9), "");
    EXPECT_EQ(F().GetVolumeStateText(s.get(), 9), GetMessageText(41));

    const std::pair<std::uint8_t, int> kinds[] = {{1, 34}, {2, 35}, {0, 36}, {7, 36}};
    for (const auto& [kind, second] : kinds) {
        r[kRdOffKind] = kind;
        EXPECT_EQ(F().GetRaidText(s.get(), 9),
                  std::string(GetMessageText(33)) + GetMessageText(second));
    }

    // A member count beyond the entry's member bytes reads no further than them.
    r[kRdOffMemberCount] = 200;
    const std::string members = F().GetVolumeMemberText(s.get(), 9);
    EXPECT_EQ(std::count(members.begin(), members.end(), ','),
              static_cast<long>(kRdMembersMax - 1));

    // Below firmware 2.0 there are no RAID volumes.
    s->FirmwareMajor = 1;
    EXPECT_FALSE(F().IsRaidVolume(s.get(), 9));
    EXPECT_EQ(F().GetSlotLabel(s.get(), 9), "");
}

TEST(CdhFacade, TapeStates) {
    struct Case {
        std::uint32_t activity, media;
        int state, text;
    };
    const Case cases[] = {
        {0, 0, 0, 20},         {1u << 9, 0, 1, 21},
        {1u << 6, 0, 2, 22},   {1u << 4, 0xFF, 3, 23},
        {1u << 2, 0, 4, 24},   {1u << 0, 0, 5, 25},
        {1u << 12, 0, 6, 26},  {0, 1u << 0, 6, 26},
        {0, 1u << 6, 6, 26},   {0, 1u << 1, 100, 27},
        {0, 1u << 3, 101, 28}, {0, 1u << 4, 102, 29},
        {0, 1u << 8, 103, 30}, {0, 1u << 31, 104, 31},
        {0, 1u << 2, 105, 32}, {1u << 8 | 1u << 1, 0, 1, 21},
    };
    for (const Case& c : cases) {
        auto s = Server();
        std::uint8_t* e = Volume(*s, 6);
        CdhPutU32(e + kVtOffActivity, c.activity);
        CdhPutU32(e + kVtOffMedia, c.media);
        EXPECT_EQ(F().GetTapeState(s.get(), 6), c.state) << c.activity << "/" << c.media;
        EXPECT_EQ(F().GetTapeStateText(s.get(), 6), GetMessageText(c.text));
        EXPECT_EQ(F().IsTapeReady(s.get(), 6), c.state == 0);
    }
}

TEST(CdhFacade, VolumeTableSlotsAndBackupSets) {
    auto s = Server();
    Volume(*s, 4);
    std::uint8_t* h = s->TapeHeader.data();
    std::memcpy(h, "TAPE@CDH", 8);
    std::memcpy(h + kThOffName, "MONDAY", 6);
    h[kThOffKind] = 2;
    CdhPutU16(h + kThOffSetCount, 6);
    CdhPutU16(h + kThOffOnTape, 3);
    CdhPutU16(h + kThOffFirstSet, 2);
    CdhPutU32(h + kThOffSets + 75 * 1, 512);
    std::memcpy(h + kThOffSets + 75 * 1 + kThSetOffName, "set one", 7);

    EXPECT_TRUE(F().SlotIsVolumeMember(s.get(), 4));
    EXPECT_EQ(F().GetSlotKind(s.get(), 4), 4);
    EXPECT_EQ(F().GetSlotLabel(s.get(), 4), "TAPE-DRIVE");
    EXPECT_EQ(F().GetSlotFreeText(s.get(), 4), "- - - - - - -");
    EXPECT_EQ(F().GetSlotCapacityText(s.get(), 4), "0 MB");
    EXPECT_EQ(F().GetTapeName(s.get()), "MONDAY");
    EXPECT_EQ(F().GetBackupSetCount(s.get()), 6);
    EXPECT_EQ(F().GetOnTapeVolumeCount(s.get()), 3);
    EXPECT_EQ(F().GetBackupSetName(s.get(), 1), "set one");
    EXPECT_EQ(F().GetBackupSetSizeText(s.get(), 1), "1 MB");
    EXPECT_EQ(F().GetBackupSetKindText(s.get(), 1), GetMessageText(17));
    EXPECT_EQ(F().GetBackupSetName(s.get(), 6), ""); // beyond the count

    // An inactive entry (its top media bit) is no volume-table slot; a wrong signature no name.
    s->VolumeTable[4][kVtOffFlags115] = 0x80;
    EXPECT_FALSE(F().SlotIsVolumeMember(s.get(), 4));
    h[0] = 'X';
    EXPECT_EQ(F().GetTapeName(s.get()), "");
}

TEST(CdhFacade, BackupSetPlaces) {
    struct Case {
        int first, onTape, span, index, place;
    };
    // Sets 2..4 are on this tape.
    const Case cases[] = {
        {2, 3, 0, 1, 1}, {2, 3, 0, 5, 1}, {2, 3, 0, 3, 2}, {2, 3, 1, 2, 3}, {2, 3, 1, 3, 2},
        {2, 3, 2, 4, 3}, {2, 3, 2, 2, 2}, {2, 3, 3, 2, 3}, {2, 3, 3, 4, 3}, {2, 3, 3, 3, 2},
        {3, 1, 3, 3, 3}, {2, 3, 4, 3, 0}, {2, 0, 0, 2, 1},
    };
    const int texts[] = {0, 18, 501, 19};
    for (const Case& c : cases) {
        auto s = Server();
        std::uint8_t* h = s->TapeHeader.data();
        CdhPutU16(h + kThOffSetCount, 8);
        CdhPutU16(h + kThOffFirstSet, static_cast<std::uint16_t>(c.first));
        CdhPutU16(h + kThOffOnTape, static_cast<std::uint16_t>(c.onTape));
        CdhPutU16(h + kThOffSpanMode, static_cast<std::uint16_t>(c.span));
        EXPECT_EQ(F().GetBackupSetPlace(s.get(), c.index), c.place)
            << "first " << c.first << " on tape " << c.onTape << " span " << c.span << " set "
            << c.index;
        EXPECT_EQ(F().GetBackupSetPlaceText(s.get(), c.index),
                  c.place == 0 ? std::string() : std::string(GetMessageText(texts[c.place])));
    }
}

TEST(CdhFacade, EntryAndGroupTextsStopAtTheBytesReceived) {
    auto s = Server();
    s->SlotEntries.assign(3 * kCdhEntrySize, 0);
    s->SlotEntryBytes = 2 * kCdhEntrySize + 10; // the third entry did not arrive whole
    const struct {
        std::uint8_t kind, flags;
        const char* text;
    } kinds[] = {{0, 0, "CD Title"}, {1, 1, "Image[M]"}};
    for (int i = 0; i < 2; ++i) {
        std::uint8_t* e = s->SlotEntries.data() + i * kCdhEntrySize;
        e[kEnOffKind] = kinds[i].kind;
        e[kEnOffFlags] = kinds[i].flags;
        std::memcpy(e, "entry-name-that-fills-all-34-bytes", 34);
    }
    CdhPutU32(s->SlotEntries.data() + kEnOffSectors, 3);
    EXPECT_EQ(F().GetEntryName(s.get(), 0).size(), 34u);
    EXPECT_EQ(F().GetEntryKindText(s.get(), 0), "CD Title");
    EXPECT_EQ(F().GetEntryKindText(s.get(), 1), "Image[M]");
    EXPECT_EQ(F().GetEntrySize(s.get(), 0), 6144);
    EXPECT_EQ(F().GetEntrySizeText(s.get(), 0), "6 KB");
    EXPECT_EQ(F().GetEntrySizeText(s.get(), 1), "0 MB");
    EXPECT_EQ(F().GetEntryName(s.get(), 2), "");
    EXPECT_EQ(F().GetEntryKindText(s.get(), 2), "");
    EXPECT_EQ(F().GetEntryName(s.get(), -1), "");

    const std::pair<std::uint8_t, const char*> entryKinds[] = {
        {1, "Image"}, {2, "CD Cache"}, {3, "File"}, {4, ""}};
    for (const auto& [kind, text] : entryKinds) {
        s->SlotEntries[kEnOffKind] = kind;
        EXPECT_EQ(F().GetEntryKindText(s.get(), 0), text);
    }

    s->GroupEntries.assign(2 * kCdhGroupSize, 0);
    s->GroupEntryBytes = 2 * kCdhGroupSize;
    CdhPutU16(s->Status + kStOffGroupCount, 5); // the count says more than arrived
    struct {
        std::uint16_t id;
        std::uint8_t kind, flags;
        const char* kindText;
        int flagText;
    } groups[] = {{7, 2, 0x02, "Volume", 11}, {251, 1, 0x00, "System", 12}};
    for (int i = 0; i < 2; ++i) {
        std::uint8_t* g = s->GroupEntries.data() + i * kCdhGroupSize;
        CdhPutU16(g + kGrOffId, groups[i].id);
        g[kGrOffKind] = groups[i].kind;
        g[kGrOffFlags] = groups[i].flags;
        EXPECT_EQ(F().GetGroupId(s.get(), i), groups[i].id);
        EXPECT_EQ(F().GetGroupKindText(s.get(), i), groups[i].kindText);
        EXPECT_EQ(F().GetGroupFlagText(s.get(), i), GetMessageText(groups[i].flagText));
    }
    EXPECT_EQ(F().GetGroupCount(s.get()), 5);
    EXPECT_EQ(F().GetGroupName(s.get(), 2), "");
    EXPECT_EQ(F().GetGroupKindText(s.get(), 4), "");
}

TEST(CdhFacade, KeptPasswordsHoldAtMost15Characters) {
    auto s = Server();
    F().SetSecondPasswordText(s.get(), "mirror");
    F().SetThirdPasswordText(s.get(), "share");
    F().SetSecondPasswordText(s.get(), std::string(16, 'x')); // ignored
    F().SetThirdPasswordText(s.get(), std::string(15, 'y'));
    EXPECT_EQ(F().GetSecondPasswordText(s.get()), "mirror");
    EXPECT_STREQ(s->ThirdPassword, std::string(15, 'y').c_str());
}

} // namespace
