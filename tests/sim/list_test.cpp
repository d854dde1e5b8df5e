// Lists of every kind, of any size, with their records at the offsets units use.
#include "nassim.h"
#include "raw_client.h"

#include <gtest/gtest.h>

#include <map>

using namespace simtest;
using nassim::Ipv4;

namespace {

constexpr milliseconds kWait{2000};

nassim::UnitConfig At(unsigned last) {
    nassim::UnitConfig c;
    c.address = Ipv4(127, 0, 0, last);
    return c;
}

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i)
        b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

// Sends a list request on a new connection and reads the whole announced reply.
struct ListReply {
    Bytes head; // 40 bytes
    Bytes data;
};
ListReply AskList(const nassim::Unit& unit, std::uint16_t command) {
    TcpClient client;
    EXPECT_EQ(client.Connect(unit.address(), unit.tcpPort()), 0);
    ListReply r;
    r.head = client.Exchange(Bare(command), 40, kWait);
    if (r.head.size() == 40) r.data = client.Read(Get32(r.head, 36), kWait);
    return r;
}

TEST(Lists, EveryListCarriesItsRecordsAtTheirOffsets) {
    nassim::UnitConfig c = At(60);
    c.state.disks = {Pattern(170, 1), Pattern(170, 2)};
    c.state.volumes = {Pattern(192, 3), Pattern(192, 4), Pattern(192, 5)};
    c.state.tasks = {Pattern(96, 6), Pattern(96, 7)};
    c.state.taskCount = 7;
    c.state.taskValue = 0xABCD;
    c.state.imageFolders = {"ISO", "DVD"};
    nassim::ImageRecord image;
    image.state = 2;
    image.fileSystem = 3;
    image.id = 0x01020304;
    image.value8 = 0x11;
    image.name = "Holiday";
    image.text44 = "second";
    image.size = 0xCAFE;
    image.path = "ISO/Holiday";
    image.flags = 1;
    image.filler = 0xEE;
    c.state.images = {image};
    nassim::ShareRecord share;
    share.name = "public";
    share.text32 = "everyone";
    share.values = {1, 2, 3, 4, 5, 6, 7, 8};
    share.path = "/share/public";
    share.filler = 0xDD;
    c.state.shares = {share};
    c.state.cdDrives = {{0x4, "Writer one", {1, 9, 9, 9}}, {0x1, "Reader", {2, 0, 0, 0}}};
    nassim::Unit unit(c);

    const struct {
        std::uint16_t command;
        std::size_t head, record, count;
    } lists[] = {{10, 0, 170, 2}, {11, 0, 192, 3}, {12, 8, 96, 2}, {13, 0, 128, 2},
                 {14, 0, 196, 1}, {21, 0, 616, 1}, {22, 0, 52, 2}};
    std::map<std::uint16_t, Bytes> data;
    for (const auto& l : lists) {
        SCOPED_TRACE(l.command);
        const ListReply r = AskList(unit, l.command);
        ASSERT_EQ(r.head.size(), 40u);
        EXPECT_EQ(Text(r.head, 0, 8), "PELQUANE");
        EXPECT_EQ(Get16(r.head, 24), l.command);
        EXPECT_EQ(Get16(r.head, 30), 0);
        EXPECT_EQ(Get32(r.head, 36), l.head + l.record * l.count);
        EXPECT_EQ(Get32(r.head, 20), 8 + l.head + l.record * l.count);
        ASSERT_EQ(r.data.size(), l.head + l.record * l.count);
        data[l.command] = r.data;
    }
    EXPECT_EQ(Bytes(data[10].begin() + 170, data[10].end()), Pattern(170, 2));
    EXPECT_EQ(Bytes(data[11].begin(), data[11].begin() + 192), Pattern(192, 3));
    EXPECT_EQ(Get32(data[12], 0), 7u);
    EXPECT_EQ(Get32(data[12], 4), 0xABCDu);
    EXPECT_EQ(Bytes(data[12].begin() + 8, data[12].begin() + 104), Pattern(96, 6));
    EXPECT_EQ(Text(data[13], 8, 120), "ISO");
    EXPECT_EQ(Text(data[13], 128 + 8, 120), "DVD");

    const Bytes& img = data[14];
    EXPECT_EQ(img[0], 2);
    EXPECT_EQ(img[1], 3);
    EXPECT_EQ(img[2], 0xEE);
    EXPECT_EQ(img[3], 0xEE);
    EXPECT_EQ(Get32(img, 4), 0x01020304u);
    EXPECT_EQ(Get32(img, 8), 0x11u);
    EXPECT_EQ(Text(img, 12, 32), "Holiday");
    EXPECT_EQ(Text(img, 44, 32), "second");
    EXPECT_EQ(Get32(img, 76), 0xCAFEu);
    EXPECT_EQ(Text(img, 80, 112), "ISO/Holiday");
    EXPECT_EQ(img[192], 1);
    EXPECT_EQ(img[195], 0xEE);

    const Bytes& sh = data[21];
    EXPECT_EQ(Text(sh, 0, 32), "public");
    EXPECT_EQ(Text(sh, 32, 32), "everyone");
    EXPECT_EQ(Get32(sh, 64), 1u);
    EXPECT_EQ(Get32(sh, 92), 8u);
    EXPECT_EQ(sh[96], 0xDD);
    EXPECT_EQ(Text(sh, 104, 512), "/share/public");

    const Bytes& dr = data[22];
    EXPECT_EQ(Get32(dr, 0), 4u);
    EXPECT_EQ(Text(dr, 4, 44), "Writer one");
    EXPECT_EQ(dr[48], 1);
    EXPECT_EQ(dr[51], 9);
    EXPECT_EQ(Get32(dr, 52), 1u);
    EXPECT_EQ(dr[52 + 48], 2);
    EXPECT_TRUE(unit.problems().empty());
}

TEST(Lists, ListsOfAnySizeArriveWhole) {
    nassim::Unit unit(At(61));
    std::vector<nassim::ImageRecord> images(5000);
    for (std::size_t i = 0; i < images.size(); ++i) {
        images[i].id = static_cast<std::uint32_t>(i + 1);
        images[i].name = "img" + std::to_string(i);
    }
    unit.setImages(images);
    unit.setShares(std::vector<nassim::ShareRecord>(2000));
    const ListReply list = AskList(unit, 14);
    ASSERT_EQ(list.data.size(), 5000u * 196);
    EXPECT_EQ(Get32(list.data, 4999 * 196 + 4), 5000u);
    EXPECT_EQ(Text(list.data, 4999 * 196 + 12, 32), "img4999");
    EXPECT_EQ(AskList(unit, 21).data.size(), 2000u * 616);
    EXPECT_TRUE(AskList(unit, 10).data.empty());
}

TEST(Lists, RawRecordsOfTheWrongSizeAreRefused) {
    nassim::Unit unit(At(62));
    EXPECT_THROW(unit.setDisks({Bytes(169)}), std::invalid_argument);
    EXPECT_THROW(unit.setTasks({Bytes(97)}, 1, 0), std::invalid_argument);
    nassim::UnitConfig c = At(63);
    c.state.volumes = {Bytes(10)};
    EXPECT_THROW(nassim::Unit{c}, std::invalid_argument);
}

} // namespace
