// CNASSvrNet without discovery: announcements parsed from datagrams written here, their merge into
// the found list, look-ups, remote entries, removal with the views of a server, the image-list
// cache on an injected clock, and the last-announcement record.
#include "nas_unit_fixture.h"

#include "nassvrnet.h"

#include "clock/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

using servertest::PointAt;
using servertest::PutText;
using servertest::RequestCount;
using servertest::StartUnit;
using Bytes = std::vector<std::uint8_t>;
using Mac = std::array<std::uint8_t, 18>;

Mac MacOf(std::uint8_t n) {
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i)
        mac[i] = static_cast<std::uint8_t>(n + i);
    return mac;
}

// What a unit announces, written at the datagram's offsets.
struct Announced {
    std::uint16_t type = kNasAnnouncementReady;
    std::uint8_t flags = 0;
    std::uint16_t firmware[4] = {1, 2, 3, 4};
    std::string build = "b9";
    Mac mac = MacOf(0x10);
    std::uint16_t word130 = 0x1301;
    std::uint32_t capabilities = 0x40000000;
    std::uint32_t value140 = 0x14014014;
    std::uint32_t option = 1;
    std::uint32_t value148 = 0x14814814;
    std::uint32_t status = 1;
    std::uint16_t word160 = 0x1601;
    std::uint16_t word162 = 0x1621;
    std::uint32_t value164 = 0x16416416;
    std::string comment = "the comment";
    std::uint32_t addresses[3] = {0x0A000001, 0x0A000101, 0};
    std::uint32_t gateways[3] = {0x0A0000FE, 0, 0};
    std::uint32_t masks[3] = {0xFFFFFF00, 0xFFFF0000, 0};
    std::string name = "NAS-A";
    std::string workgroup = "WORKGROUP";
    std::string extra = "extra text";
};

void PutLe(Bytes& b, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}
void PutBe32(Bytes& b, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}
void PutStr(Bytes& b, std::size_t at, std::size_t width, const std::string& text) {
    std::memset(b.data() + at, 0, width);
    std::memcpy(b.data() + at, text.data(), std::min(width, text.size()));
}

// A 284-byte announcement; bytes the list does not read are 0xEE.
Bytes Datagram(const Announced& a) {
    Bytes b(284, 0xEE);
    std::memcpy(b.data(), "PELQUANE", 8);
    PutLe(b, 24, a.type, 2);
    b[52] = a.flags;
    for (int i = 0; i < 4; ++i)
        PutLe(b, 56 + 2 * static_cast<std::size_t>(i), a.firmware[i], 2);
    PutStr(b, 64, 16, a.build);
    std::memcpy(b.data() + 112, a.mac.data(), 18);
    PutLe(b, 130, a.word130, 2);
    PutLe(b, 132, a.capabilities, 4);
    PutLe(b, 140, a.value140, 4);
    PutLe(b, 144, a.option, 4);
    PutLe(b, 148, a.value148, 4);
    PutLe(b, 152, a.status, 4);
    PutLe(b, 160, a.word160, 2);
    PutLe(b, 162, a.word162, 2);
    PutLe(b, 164, a.value164, 4);
    PutStr(b, 168, 32, a.comment);
    for (std::size_t i = 0; i < 3; ++i) {
        PutBe32(b, 200 + 4 * i, a.addresses[i]);
        PutBe32(b, 212 + 4 * i, a.gateways[i]);
        PutBe32(b, 224 + 4 * i, a.masks[i]);
    }
    PutStr(b, 236, 16, a.name);
    PutStr(b, 252, 16, a.workgroup);
    PutStr(b, 268, 16, a.extra);
    return b;
}

std::string Field(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

TEST(NasAnnouncement, EveryFieldLandsInTheRecord) {
    Announced a;
    NasServerInfo record;
    std::memset(&record, 0xAB, sizeof record);
    record.textEncodingKind = 2;
    const Bytes datagram = Datagram(a);
    EXPECT_EQ(NasAnnouncementType(datagram), kNasAnnouncementReady);
    ASSERT_TRUE(ParseNasAnnouncement(datagram, record));
    // The addresses it names for its unit: LAN 0 and 1; LAN 2's empty one is no address.
    EXPECT_TRUE(NasAnnouncementNamesAddress(datagram, a.addresses[0]));
    EXPECT_TRUE(NasAnnouncementNamesAddress(datagram, a.addresses[1]));
    EXPECT_FALSE(NasAnnouncementNamesAddress(datagram, 0));
    EXPECT_FALSE(NasAnnouncementNamesAddress(datagram, a.gateways[0]));
    EXPECT_FALSE(
        NasAnnouncementNamesAddress(Bytes(datagram.begin(), datagram.end() - 1), a.addresses[0]));

    EXPECT_EQ(Field(record.name, 16), "NAS-A");
    EXPECT_EQ(Field(record.workgroup, 16), "WORKGROUP");
    EXPECT_EQ(Field(record.comment, 32), "the comment");
    EXPECT_EQ(Field(record.extraText, 16), "extra text");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(record.ipAddress[i], a.addresses[i]) << i;
        EXPECT_EQ(record.gateway[i], a.gateways[i]) << i;
        EXPECT_EQ(record.subnetMask[i], a.masks[i]) << i;
    }
    EXPECT_EQ(std::memcmp(record.hardwareAddress, a.mac.data(), 18), 0);
    EXPECT_EQ(record.word134, 0x1301);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(record.firmwareVersion[i], a.firmware[i]);
    EXPECT_EQ(Field(record.firmwareBuild, 16), "b9");
    EXPECT_EQ(record.value160, 0x14014014u);
    EXPECT_EQ(record.optionWord, 1u);
    EXPECT_EQ(record.unitStatus, 1u);
    EXPECT_EQ(record.capabilityFlags, 0x40000000u); // flags bit 0 clear: nothing added
    EXPECT_EQ(record.value176, 0x14814814u);
    EXPECT_EQ(record.word180, 0x1601);
    EXPECT_EQ(record.word182, 0x1621);
    EXPECT_EQ(record.value184, 0x16416416u);
    // Not announced: kept.
    EXPECT_EQ(record.textEncodingKind, 2u);
    EXPECT_EQ(static_cast<std::uint8_t>(record.extendedName[0]), 0xAB);

    a.flags = 0xFF; // bit 0: the unit keeps image folders
    ASSERT_TRUE(ParseNasAnnouncement(Datagram(a), record));
    EXPECT_EQ(record.capabilityFlags, 0x40000001u);
}

TEST(NasAnnouncement, OnlyDatagramsOfExactly284BytesAreRead) {
    CNASSvrNet list;
    const Bytes good = Datagram(Announced{});
    ASSERT_NE(list.AddFromAnnouncement(good), nullptr);
    CNasServer* entry = list.Found().front().get();
    const NasServerInfo before = entry->Info;
    for (std::size_t size : {0u, 32u, 283u, 285u, 1024u}) {
        SCOPED_TRACE(size);
        Bytes bad(size, 0x55);
        std::copy_n(good.begin(), std::min(size, good.size()), bad.begin());
        EXPECT_EQ(NasAnnouncementType(bad), -1);
        EXPECT_TRUE(NasAnnouncementHardwareAddress(bad).empty());
        NasServerInfo record = before;
        EXPECT_FALSE(ParseNasAnnouncement(bad, record));
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
        EXPECT_EQ(list.FindByMac(bad), nullptr);
        EXPECT_EQ(list.UpdateFromAnnouncement(entry, bad), -1);
        EXPECT_EQ(list.AddFromAnnouncement(bad), nullptr);
    }
    EXPECT_EQ(std::memcmp(&entry->Info, &before, sizeof before), 0);
    EXPECT_EQ(list.FoundCount(), 1);
    EXPECT_EQ(list.UpdateFromAnnouncement(nullptr, good), -1);
}

// A tree node or list row of the window, as Remove sees it.
struct FakeView : TServerViewItem {
    int deleted = 0;
    void DeleteItem() override { ++deleted; }
};

TEST(NasAnnouncement, ReadyAddsOnceThenUpdatesAndOfflineRemoves) {
    CNASSvrNet list;
    Announced a;
    a.status = 0;
    // Ready from an unknown unit: one new entry, as discovery would have it.
    Bytes ready = Datagram(a);
    ASSERT_EQ(list.FindByMac(ready), nullptr);
    CNasServer* added = list.AddFromAnnouncement(ready);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(list.FoundCount(), 1);
    EXPECT_EQ(added->RemoteFlag, 0);
    EXPECT_EQ(added->GetTextEncoding(), 0);
    EXPECT_EQ(added->GetName(), "NAS-A");
    EXPECT_EQ(added->GetLanIpText(0), "10.0.0.1");
    EXPECT_EQ(added->GetMaskText(1), "255.255.0.0");

    // The unit reports again, ready now: the entry is updated, none is added; its addresses stay
    // as they were found.
    added->Info.textEncodingKind = 1;
    a.status = 1;
    a.name = "NAS-A2";
    a.addresses[0] = 0x0A000063u;
    a.masks[1] = 0xFFFFFF00u;
    a.gateways[2] = 0x0A0000FEu;
    ready = Datagram(a);
    CNasServer* found = list.FindByMac(ready);
    ASSERT_EQ(found, added);
    EXPECT_EQ(list.UpdateFromAnnouncement(found, ready), 0);
    EXPECT_EQ(list.FoundCount(), 1);
    EXPECT_EQ(found->Info.unitStatus, 1u);
    EXPECT_EQ(found->GetName(), "NAS-A2");
    EXPECT_EQ(found->GetTextEncoding(), 1);
    EXPECT_EQ(found->GetLanIpText(0), "10.0.0.1");
    EXPECT_EQ(found->GetMaskText(1), "255.255.0.0");
    EXPECT_EQ(found->Info.gateway[2], Announced{}.gateways[2]);

    // Off-line from a unit the list does not know changes nothing.
    Announced stranger;
    stranger.type = kNasAnnouncementOffline;
    stranger.mac = MacOf(0x70);
    EXPECT_EQ(list.FindByMac(Datagram(stranger)), nullptr);

    // Off-line from the known one: it goes, with its tree node and list row.
    a.type = kNasAnnouncementOffline;
    const Bytes offline = Datagram(a);
    EXPECT_EQ(NasAnnouncementType(offline), kNasAnnouncementOffline);
    FakeView node, row;
    list.Remove(list.FindByMac(offline), &node, CNASSvrNet::kFoundList, &row);
    EXPECT_EQ(list.FoundCount(), 0);
    EXPECT_FALSE(list.IsLive(added->UnitHandle));
    EXPECT_EQ(node.deleted, 1);
    EXPECT_EQ(row.deleted, 1);
    EXPECT_EQ(list.FindByMac(offline), nullptr);

    // It comes back: the retired object is the unit's again, with the new announcement's fields.
    a.type = kNasAnnouncementReady;
    a.name = "NAS-A3";
    EXPECT_EQ(list.AddFromAnnouncement(Datagram(a)), added);
    EXPECT_TRUE(list.IsLive(added->UnitHandle));
    EXPECT_EQ(added->GetName(), "NAS-A3");
    EXPECT_EQ(list.RetiredCount(), 0);
}

TEST(NasAnnouncement, AnnouncementsAddNoMoreUnitsThanDiscoveryHolds) {
    CNASSvrNet list;
    Announced a;
    for (int i = 0; i < 300; ++i) {
        a.mac = MacOf(0);
        a.mac[0] = static_cast<std::uint8_t>(i);
        a.mac[1] = static_cast<std::uint8_t>(i >> 8);
        CNasServer* added = list.AddFromAnnouncement(Datagram(a));
        EXPECT_EQ(added != nullptr, i < CNASSvrNet::kDiscoveryMax) << i;
    }
    EXPECT_EQ(list.FoundCount(), CNASSvrNet::kDiscoveryMax);
    // A unit already listed is still taken: it only updates its entry.
    a.mac = MacOf(0);
    a.mac[0] = 7;
    a.mac[1] = 0;
    EXPECT_NE(list.AddFromAnnouncement(Datagram(a)), nullptr);
    EXPECT_EQ(list.FoundCount(), CNASSvrNet::kDiscoveryMax);
}

NasServerInfo Record(std::uint8_t macSeed, const std::string& name) {
    NasServerInfo record{};
    const Mac mac = MacOf(macSeed);
    std::memcpy(record.hardwareAddress, mac.data(), mac.size());
    PutText(record.name, sizeof record.name, name);
    return record;
}

std::vector<std::string> Names(const CNASSvrNet::ServerList& servers) {
    std::vector<std::string> names;
    for (const auto& s : servers)
        names.push_back(s->GetName());
    return names;
}

TEST(NasServerList, LookUps) {
    CNASSvrNet list;
    Announced a;
    a.name = "Alpha";
    a.mac = MacOf(1);
    CNasServer* alpha = list.AddFromAnnouncement(Datagram(a));
    a.name = "beta";
    a.mac = MacOf(2);
    CNasServer* beta = list.AddFromAnnouncement(Datagram(a));
    ASSERT_TRUE(alpha && beta);
    CNasServer* remote = list.AddRemote(Record(3, "Remote"));
    ASSERT_NE(remote, nullptr);

    EXPECT_EQ(list.FindByName("ALPHA"), alpha);
    EXPECT_EQ(list.FindByName("Beta"), beta);
    EXPECT_EQ(list.FindByName(""), nullptr);
    EXPECT_EQ(list.FindByName("Remote"), nullptr); // the remote list is not searched
    EXPECT_EQ(list.FindByName("gamma"), nullptr);

    EXPECT_EQ(list.FindInList(beta->Info, CNASSvrNet::kFoundList), beta);
    EXPECT_EQ(list.FindInList(beta->Info, CNASSvrNet::kRemoteList), nullptr);
    EXPECT_EQ(list.FindInList(remote->Info, CNASSvrNet::kRemoteList), remote);
    EXPECT_EQ(list.FindInList(remote->Info, 0), nullptr);
    EXPECT_EQ(list.FindInList(remote->Info, 3), nullptr);

    EXPECT_EQ(list.FindFound(beta->Info.hardwareAddress), beta);
    EXPECT_EQ(list.FindFound(remote->Info.hardwareAddress), nullptr);

    // Only the list's own objects are live or shared.
    CNasServer stranger;
    stranger.Info = beta->Info;
    EXPECT_TRUE(list.IsLive(beta->UnitHandle));
    EXPECT_TRUE(list.IsLive(remote->UnitHandle));
    EXPECT_FALSE(list.IsLive(stranger.UnitHandle));
    EXPECT_FALSE(list.IsLive(NasUnitHandle()));
    EXPECT_EQ(list.Share(beta->UnitHandle).get(), beta);
    EXPECT_EQ(list.Share(stranger.UnitHandle), nullptr);
}

TEST(NasServerList, AddRemoteKeepsOneEntryPerHardwareAddress) {
    CNASSvrNet list;
    CNasServer* first = list.AddRemote(Record(5, "R1"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->RemoteFlag, 1);
    EXPECT_EQ(list.AddRemote(Record(5, "R1 renamed")), first);
    EXPECT_EQ(list.RemoteCount(), 1);
    EXPECT_EQ(first->GetName(), "R1");
    CNasServer* second = list.AddRemote(Record(6, "R2"));
    EXPECT_EQ(list.RemoteCount(), 2);
    EXPECT_EQ(Names(list.Remote()), (std::vector<std::string>{"R1", "R2"}));
    EXPECT_EQ(list.Remote().back().get(), second);
    EXPECT_EQ(list.FoundCount(), 0);
}

TEST(NasServerList, RemoveRetiresAndDeletesTheViews) {
    struct Case {
        const char* name;
        int which;  // list given to Remove
        int target; // index of A, B, C to remove; -1 a server in no list, -2 none
        std::vector<std::string> left;
        int viewsDeleted;
    };
    const Case cases[] = {
        {"head", 2, 0, {"B", "C"}, 1},
        {"middle", 2, 1, {"A", "C"}, 1},
        {"tail", 2, 2, {"A", "B"}, 1},
        {"found list head", 1, 0, {"B", "C"}, 1},
        {"found list tail", 1, 2, {"A", "B"}, 1},
        {"a server of no list: only its views go", 2, -1, {"A", "B", "C"}, 1},
        {"the other list: only the views go", 1, 1, {"A", "B", "C"}, 1},
        {"no server", 2, -2, {"A", "B", "C"}, 0},
        {"no such list", 3, 1, {"A", "B", "C"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CNASSvrNet list;
        std::vector<CNasServer*> servers;
        const bool found = c.name[0] == 'f';
        for (std::uint8_t i = 0; i < 3; ++i) {
            const std::string name(1, static_cast<char>('A' + i));
            if (found) {
                Announced a;
                a.mac = MacOf(i);
                a.name = name;
                servers.push_back(list.AddFromAnnouncement(Datagram(a)));
            } else {
                servers.push_back(list.AddRemote(Record(i, name)));
            }
        }
        CNasServer outsider;
        CNasServer* target = c.target >= 0    ? servers[static_cast<std::size_t>(c.target)]
                             : c.target == -1 ? &outsider
                                              : nullptr;
        FakeView node, row;
        list.Remove(target, &node, c.which, &row);
        EXPECT_EQ(node.deleted, c.viewsDeleted);
        EXPECT_EQ(row.deleted, c.viewsDeleted);
        EXPECT_EQ(Names(found ? list.Found() : list.Remote()), c.left);
        // A removed server is retired: still there for whoever holds it, no longer listed.
        const bool removed = c.left.size() == 2;
        EXPECT_EQ(list.RetiredCount(), removed ? 1 : 0);
        if (removed) {
            EXPECT_FALSE(list.IsLive(target->UnitHandle));
        }
        // The next entry lands at the end.
        if (found) {
            Announced a;
            a.mac = MacOf(9);
            a.name = "D";
            list.AddFromAnnouncement(Datagram(a));
        } else {
            list.AddRemote(Record(9, "D"));
        }
        std::vector<std::string> withD = c.left;
        withD.push_back("D");
        EXPECT_EQ(Names(found ? list.Found() : list.Remote()), withD);
    }
}

TEST(NasServerList, RemovingEveryEntryLeavesAnEmptyListAndTheSweepFreesWhatNobodyHolds) {
    CNASSvrNet list;
    CNasServer* only = list.AddRemote(Record(1, "only"));
    CNASSvrNet::ServerPtr held = list.Share(only->UnitHandle);
    list.Remove(only, nullptr, CNASSvrNet::kRemoteList, nullptr);
    EXPECT_EQ(list.RemoteCount(), 0);
    // Held by someone: the sweep leaves it; the entry added again for its address is the same
    // object.
    EXPECT_EQ(list.Sweep(), 0);
    EXPECT_EQ(list.AddRemote(Record(1, "again")), only);
    EXPECT_EQ(only->GetName(), "again");
    held.reset();

    for (std::uint8_t i = 0; i < 3; ++i)
        list.AddRemote(Record(static_cast<std::uint8_t>(20 + i), "x"));
    list.FreeList(CNASSvrNet::kRemoteList);
    EXPECT_EQ(list.RemoteCount(), 0);
    EXPECT_EQ(list.RetiredCount(), 4);
    EXPECT_EQ(list.Sweep(), 4);
    EXPECT_EQ(list.RetiredCount(), 0);
    EXPECT_NE(list.AddRemote(Record(1, "after")), nullptr);
}

TEST(NasServerList, AHandleNamesOneObjectForTheRunAndResolvesOnlyWhileItIsListed) {
    CNASSvrNet list;
    CNasServer* first = list.AddRemote(Record(1, "first"));
    ASSERT_NE(first, nullptr);
    const NasUnitHandle handle = first->UnitHandle;
    ASSERT_TRUE(handle);
    EXPECT_NE(handle.Value() & NasUnitHandle::kTag, 0u); // never a small number nor an address
    EXPECT_EQ(NasUnitHandle::FromData(handle.Data()), handle);
    EXPECT_EQ(list.Share(handle).get(), first);

    // Retired, it resolves to nothing; revived, the same object answers to the same handle.
    list.Remove(first, nullptr, CNASSvrNet::kRemoteList, nullptr);
    EXPECT_EQ(list.Share(handle), nullptr);
    EXPECT_FALSE(list.IsLive(handle));
    EXPECT_EQ(list.AddRemote(Record(1, "again")), first);
    EXPECT_EQ(list.Share(handle).get(), first);

    // Freed, the unit comes back as a new object with a handle of its own: the old handle never
    // names it (nor any other object).
    list.Remove(first, nullptr, CNASSvrNet::kRemoteList, nullptr);
    EXPECT_EQ(list.Sweep(), 1);
    CNasServer* back = list.AddRemote(Record(1, "back"));
    ASSERT_NE(back, nullptr);
    EXPECT_NE(back->UnitHandle, handle);
    EXPECT_EQ(list.Share(handle), nullptr);
    EXPECT_EQ(list.Share(back->UnitHandle).get(), back);
}

TEST(NasServerList, TheRetiredSetStaysWithinItsBoundAndASharedObjectOutlivesIt) {
    CNASSvrNet list;
    CNasServer* held = list.AddRemote(Record(1, "held"));
    ASSERT_NE(held, nullptr);
    CNASSvrNet::ServerPtr share = list.Share(held->UnitHandle);
    list.FreeList(CNASSvrNet::kRemoteList);
    // Units come and go with nothing sweeping in between (a box held open, say).
    for (int i = 0; i < CNASSvrNet::kRetiredMax + 20; ++i) {
        NasServerInfo record = Record(2, "x");
        record.hardwareAddress[0] = static_cast<std::uint8_t>(0x80 | (i >> 8));
        record.hardwareAddress[1] = static_cast<std::uint8_t>(i);
        ASSERT_NE(list.AddRemote(record), nullptr);
        list.FreeList(CNASSvrNet::kRemoteList);
        ASSERT_LE(list.RetiredCount(), CNASSvrNet::kRetiredMax);
    }
    EXPECT_EQ(list.RetiredCount(), CNASSvrNet::kRetiredMax);
    // The oldest left the set; the share keeps its object whole (the sanitizers would see a
    // freed one), though it is no longer revived.
    EXPECT_EQ(share->GetName(), "held");
    CNasServer* again = list.AddRemote(Record(1, "held again"));
    ASSERT_NE(again, nullptr);
    EXPECT_NE(again, share.get());
    EXPECT_EQ(share->GetName(), "held");
    EXPECT_EQ(list.Sweep(), CNASSvrNet::kRetiredMax);
}

TEST(NasServerList, TheLastAnnouncementRecord) {
    CNASSvrNet list;
    EXPECT_EQ(list.LastAnnouncement(), nullptr);
    list.AllocScratch();
    LAST_ANNOUNCEMENT* record = list.LastAnnouncement();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->Time, 0u);
    EXPECT_EQ(record->HardwareAddress[17], 0);
    record->Time = 1234;
    record->HardwareAddress[0] = 7;
    list.AllocScratch(); // kept as it is
    EXPECT_EQ(list.LastAnnouncement(), record);
    EXPECT_EQ(list.LastAnnouncement()->Time, 1234u);
    list.FreeScratch();
    EXPECT_EQ(list.LastAnnouncement(), nullptr);
    list.FreeScratch();
    list.AllocScratch();
    EXPECT_EQ(list.LastAnnouncement()->HardwareAddress[0], 0);
}

// ---- The image-list cache ----

std::vector<nassim::ImageRecord> Images(const std::string& prefix, int n) {
    std::vector<nassim::ImageRecord> images(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        images[static_cast<std::size_t>(i)].id = static_cast<std::uint32_t>(100 + i);
        images[static_cast<std::size_t>(i)].name = prefix + std::to_string(i);
    }
    return images;
}

class ImageCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        unit_ = StartUnit();
        ASSERT_TRUE(unit_);
        unit_->setImages(Images("img", 3));
        NasServerInfo record{};
        record.ipAddress[0] = unit_->address();
        record.hardwareAddress[0] = 1;
        a_ = list_.AddRemote(record);
        record.hardwareAddress[0] = 2;
        b_ = list_.AddRemote(record);
        ASSERT_TRUE(a_ && b_);
    }
    std::size_t Asked() const { return RequestCount(*unit_, nassim::kCommandImageList); }
    void Advance(int seconds) { clock_.Advance(std::chrono::seconds(seconds)); }

    platform::ManualClock clock_{0, 1700000000};
    platform::ScopedClock scope_{clock_};
    std::unique_ptr<nassim::Unit> unit_;
    CNASSvrNet list_;
    CNasServer* a_ = nullptr;
    CNasServer* b_ = nullptr;
};

TEST_F(ImageCacheTest, SameServerWithinTenSecondsIsAnsweredFromMemory) {
    int count = -1;
    auto images = list_.GetImageListCached(a_, count, false);
    ASSERT_TRUE(images);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(images->size(), 3u);
    EXPECT_STREQ((*images)[2].name, "img2");
    EXPECT_EQ(Asked(), 1u);

    // The caller's copy is its own: changing it changes no later answer.
    std::strcpy((*images)[0].name, "changed");
    Advance(10);
    count = -1;
    auto again = list_.GetImageListCached(a_, count, false);
    ASSERT_TRUE(again);
    EXPECT_EQ(count, 3);
    EXPECT_STREQ((*again)[0].name, "img0");
    EXPECT_EQ(Asked(), 1u);
}

TEST_F(ImageCacheTest, ElevenSecondsAnotherServerOrForceAskTheUnit) {
    int count = 0;
    ASSERT_TRUE(list_.GetImageListCached(a_, count, false));
    Advance(11);
    ASSERT_TRUE(list_.GetImageListCached(a_, count, false));
    EXPECT_EQ(Asked(), 2u) << "eleven seconds later";
    ASSERT_TRUE(list_.GetImageListCached(b_, count, false));
    EXPECT_EQ(Asked(), 3u) << "another server";
    ASSERT_TRUE(list_.GetImageListCached(a_, count, false));
    EXPECT_EQ(Asked(), 4u) << "the cache holds one server";
    ASSERT_TRUE(list_.GetImageListCached(a_, count, true));
    EXPECT_EQ(Asked(), 5u) << "forced";
    clock_.SetNow(clock_.Now() - std::chrono::seconds(60));
    ASSERT_TRUE(list_.GetImageListCached(a_, count, false));
    EXPECT_EQ(Asked(), 6u) << "a clock set back";
    EXPECT_EQ(count, 3);
}

TEST_F(ImageCacheTest, AnEmptyAnswerIsAskedTwiceAndNotKept) {
    unit_->setImages({});
    int count = -1;
    auto images = list_.GetImageListCached(a_, count, false);
    ASSERT_TRUE(images);
    EXPECT_TRUE(images->empty());
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Asked(), 2u);
    ASSERT_TRUE(list_.GetImageListCached(a_, count, false));
    EXPECT_EQ(Asked(), 4u);
}

TEST_F(ImageCacheTest, AFailedQueryGivesNothingAndEmptiesTheCache) {
    int count = 0;
    ASSERT_TRUE(list_.GetImageListCached(a_, count, false));
    nassim::CommandFault fault;
    fault.command = nassim::kCommandImageList;
    fault.status = 1;
    fault.occurrence = 1;
    unit_->addCommandFault(fault);
    count = -1;
    EXPECT_FALSE(list_.GetImageListCached(a_, count, true));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(a_->LastResult, 1);
    EXPECT_EQ(Asked(), 2u);
    // Nothing cached: the next call asks again.
    auto images = list_.GetImageListCached(a_, count, false);
    ASSERT_TRUE(images);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Asked(), 3u);
    EXPECT_FALSE(list_.GetImageListCached(nullptr, count, false));
    EXPECT_EQ(count, 0);
}

TEST_F(ImageCacheTest, ARemovedServersImagesAreNeverHandedToAnother) {
    auto other = StartUnit();
    ASSERT_TRUE(other);
    other->setImages(Images("other", 1));
    int count = 0;
    ASSERT_TRUE(list_.GetImageListCached(a_, count, false));
    list_.Remove(a_, nullptr, CNASSvrNet::kRemoteList, nullptr);
    // A new entry (often at the freed entry's address) for another unit.
    NasServerInfo record{};
    record.ipAddress[0] = other->address();
    record.hardwareAddress[0] = 3;
    CNasServer* c = list_.AddRemote(record);
    ASSERT_NE(c, nullptr);
    auto images = list_.GetImageListCached(c, count, false);
    ASSERT_TRUE(images);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ((*images)[0].name, "other0");
    EXPECT_EQ(RequestCount(*other, nassim::kCommandImageList), 1u);
}

} // namespace
