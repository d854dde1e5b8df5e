// Disc descriptions as bytes, and volume labels read from the disc's own descriptors.
#include "disc_info.h"
#include "golden_bytes.h"
#include "volume_info.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>

namespace {

TEST(DiscInfoBytes, EveryFieldAtItsOffsetAndBack) {
    DiscInfo d;
    d.readState = 2;
    d.fileSystemCode = 8;
    d.discKind = 20;
    d.readStateLess1 = 1;
    d.timeEncoding = 0x83;
    d.layers = 5;
    d.trackPath = 6;
    d.firstSession = 7;
    d.lastSession = 9;
    d.sessionCount = 10;
    d.lastTrack = 11;
    d.vdAddress = 0x0102030405060708ull;
    d.endAddress = 20;
    d.totalSectors = 28;
    d.tocSignature = 36;
    d.tocChecksum = 44;
    d.volumeLabel = "LABEL";
    d.fileSystemName = "UDF";
    d.tracks[0] = {1, 2, 1, 0x14, 0x11223344, 0x55667788};
    d.tracks[98] = {3, 0xAA, 0, 0x10, 98, 99};
    d.cdBridge = 1;
    const GoldenBytes g = GoldenBytes()
                              .u8(0, 2)
                              .u8(1, 8)
                              .u8(2, 20)
                              .u8(3, 1)
                              .u8(4, 0x83)
                              .u8(5, 5)
                              .u8(6, 6)
                              .u8(8, 7)
                              .u8(9, 9)
                              .u8(10, 10)
                              .u8(11, 11)
                              .u8(12, 0x08)
                              .u8(13, 0x07)
                              .u8(14, 0x06)
                              .u8(15, 0x05)
                              .u8(16, 0x04)
                              .u8(17, 0x03)
                              .u8(18, 0x02)
                              .u8(19, 0x01)
                              .u64(20, 20)
                              .u64(28, 28)
                              .u64(36, 36)
                              .u64(44, 44)
                              .text(52, "LABEL")
                              .text(116, "UDF")
                              .u8(132, 1)
                              .u8(133, 2)
                              .u8(134, 1)
                              .u8(135, 0x14)
                              .u8(136, 0x44)
                              .u8(137, 0x33)
                              .u8(138, 0x22)
                              .u8(139, 0x11)
                              .u8(140, 0x88)
                              .u8(141, 0x77)
                              .u8(142, 0x66)
                              .u8(143, 0x55)
                              .track(98, 3, 0xAA, 0, 0x10, 98, 99)
                              .u8(1332, 1);
    EXPECT_EQ(g.bytes(), EncodeDiscInfo(d));
    EXPECT_EQ(d, DecodeDiscInfo(g.bytes()));
}

TEST(DiscInfoBytes, TextsAreCutAtACharacterBoundaryAndKeepTheirTerminator) {
    DiscInfo d;
    d.volumeLabel = std::string(62, 'A') + "\xC3\xA9"; // 64 bytes: the é no longer fits
    d.fileSystemName = std::string(20, 'F');
    const DiscInfoBytes b = EncodeDiscInfo(d);
    EXPECT_EQ('A', b[52 + 61]);
    EXPECT_EQ(0, b[52 + 62]);
    EXPECT_EQ(0, b[52 + 63]);
    EXPECT_EQ(0, b[116 + 15]);
    const DiscInfo back = DecodeDiscInfo(b);
    EXPECT_EQ(std::string(62, 'A'), back.volumeLabel);
    EXPECT_EQ(std::string(15, 'F'), back.fileSystemName);
}

using Sector = std::array<std::uint8_t, 2048>;

class VolumeDisc {
public:
    Sector& at(std::uint32_t lba) { return sectors_[lba]; }
    VolumeSectorReader reader() {
        return [this](std::uint32_t lba, std::span<std::uint8_t, 2048> out) {
            auto it = sectors_.find(lba);
            if (it == sectors_.end()) return false;
            std::memcpy(out.data(), it->second.data(), 2048);
            return true;
        };
    }
    void Descriptor(std::uint32_t lba, std::uint8_t type, const char* id) {
        Sector& s = at(lba);
        s[0] = type;
        std::memcpy(&s[1], id, 5);
        s[6] = 1;
    }
    void Iso(std::uint32_t start, const std::string& volumeId) {
        Descriptor(start + 16, 1, "CD001");
        std::memset(&at(start + 16)[40], ' ', 32);
        std::memcpy(&at(start + 16)[40], volumeId.data(), volumeId.size());
        Descriptor(start + 17, 255, "CD001");
    }
    void Joliet(std::uint32_t lba, const std::u16string& id) {
        Descriptor(lba, 2, "CD001");
        Sector& s = at(lba);
        for (int i = 0; i < 16; ++i) {
            const char16_t c = i < static_cast<int>(id.size()) ? id[i] : u' ';
            s[40 + 2 * i] = static_cast<std::uint8_t>(c >> 8);
            s[41 + 2 * i] = static_cast<std::uint8_t>(c);
        }
        s[88] = '%', s[89] = '/', s[90] = 'E';
    }
    // A descriptor tag of that identifier with its checksum.
    void Tag(Sector& s, std::uint16_t id) {
        s[0] = static_cast<std::uint8_t>(id), s[1] = static_cast<std::uint8_t>(id >> 8);
        std::uint8_t sum = 0;
        for (int i = 0; i < 16; ++i)
            if (i != 4) sum = static_cast<std::uint8_t>(sum + s[i]);
        s[4] = sum;
    }
    void Udf(const std::vector<std::uint8_t>& logicalVolumeId) {
        Descriptor(16, 0, "BEA01");
        Descriptor(17, 0, "NSR03");
        Descriptor(18, 0, "TEA01");
        Sector& anchor = at(256);
        anchor[16] = 0x00, anchor[17] = 0x10; // extent of 4096 bytes
        anchor[20] = 32;                      // at sector 32
        Tag(anchor, 2);
        Sector& lvd = at(33);
        std::copy(logicalVolumeId.begin(), logicalVolumeId.end(), lvd.begin() + 84);
        lvd[84 + 127] = static_cast<std::uint8_t>(logicalVolumeId.size());
        Tag(lvd, 6);
        at(32); // an empty sector first: no descriptor
    }

private:
    std::map<std::uint32_t, Sector> sectors_;
};

TEST(VolumeLabels, Iso9660AndJoliet) {
    VolumeDisc disc;
    disc.Iso(0, "MY_DISC");
    VolumeInfo v;
    ASSERT_TRUE(ReadVolumeInfo(disc.reader(), 0, v));
    EXPECT_EQ("MY_DISC", v.label);
    EXPECT_EQ("CDFS", v.fileSystemName);

    // A Joliet descriptor before the terminator names the volume in full.
    disc.Joliet(17, u"Mein Disk \u00FC");
    disc.Descriptor(18, 255, "CD001");
    ASSERT_TRUE(ReadVolumeInfo(disc.reader(), 0, v));
    EXPECT_EQ("Mein Disk \xC3\xBC", v.label);

    // The volume of a later session; a label that is not UTF-8 is read as Latin-1.
    VolumeDisc later;
    later.Iso(1000, "CAF\xC9");
    ASSERT_TRUE(ReadVolumeInfo(later.reader(), 1000, v));
    EXPECT_EQ("CAF\xC3\x89", v.label);
    EXPECT_FALSE(ReadVolumeInfo(later.reader(), 0, v));
}

TEST(VolumeLabels, UdfLogicalVolume) {
    VolumeDisc disc;
    disc.Udf({8, 'U', 'D', 'F', ' ', 'V', 'O', 'L'});
    VolumeInfo v;
    ASSERT_TRUE(ReadVolumeInfo(disc.reader(), 0, v));
    EXPECT_EQ("UDF VOL", v.label);
    EXPECT_EQ("UDF", v.fileSystemName);

    VolumeDisc wide;
    wide.Udf({16, 0x00, 'A', 0x04, 0x14}); // "A" and Cyrillic De
    ASSERT_TRUE(ReadVolumeInfo(wide.reader(), 0, v));
    EXPECT_EQ("A\xD0\x94", v.label);
}

// A recognition sequence without a valid anchor: the ISO 9660 volume of the same disc is used.
TEST(VolumeLabels, UdfWithoutAValidAnchorFallsBackToIso9660) {
    VolumeDisc disc;
    disc.Udf({8, 'X'});
    disc.at(256)[4] ^= 0xFF; // checksum broken
    VolumeInfo none;
    EXPECT_FALSE(ReadVolumeInfo(disc.reader(), 0, none));

    VolumeDisc bridge;
    bridge.Iso(0, "BRIDGE");
    bridge.Descriptor(18, 0, "BEA01");
    bridge.Descriptor(19, 0, "NSR02");
    bridge.Descriptor(20, 0, "TEA01");
    VolumeInfo v;
    ASSERT_TRUE(ReadVolumeInfo(bridge.reader(), 0, v));
    EXPECT_EQ("CDFS", v.fileSystemName);
    EXPECT_EQ("BRIDGE", v.label);
}

TEST(VolumeLabels, IdentifierFieldsAreReadWithinTheirWidth) {
    const std::uint8_t overlong[] = {8, 'A', 'B', 200}; // used length beyond the field
    EXPECT_EQ("AB", UdfDString(overlong));              // the length byte is no character
    const std::uint8_t unknown[] = {7, 'A', 2};
    EXPECT_EQ("", UdfDString(unknown));
    const std::uint8_t oddWide[] = {16, 0, 'A', 0, 4};
    EXPECT_EQ("A", UdfDString(oddWide)); // half a character is dropped
    const std::uint8_t loneSurrogate[] = {0xD8, 0x00, 0x00, 'x', 0x00, ' '};
    EXPECT_EQ("\xEF\xBF\xBDx", JolietIdentifier(loneSurrogate));
}

} // namespace
