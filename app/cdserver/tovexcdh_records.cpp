#include "tovexcdh_records.h"

#include "tovexcdh_svr.h"

#include <algorithm>
#include <bit>
#include <cstring>

std::string CdhFieldText(const std::uint8_t* field, std::size_t width, bool trim) {
    const auto* text = reinterpret_cast<const char*>(field);
    std::size_t length = 0;
    while (length < width && text[length] != '\0')
        ++length;
    if (trim)
        while (length > 0 && text[length - 1] == ' ')
            --length;
    return std::string(text, length);
}

void CdhCopyField(char* out, const std::uint8_t* field, std::size_t width, bool trim) {
    const std::string text = CdhFieldText(field, width, trim);
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
}

void CdhApplyAnnounce(TCdhSvr& record, const std::uint8_t* reply) {
    record.ValueA = CdhGetU32(reply + kCdhAnnOffValueA);
    record.ValueB = CdhGetU32(reply + kCdhAnnOffValueB);
    record.Capabilities = CdhGetU32(reply + kCdhAnnOffCapabilities);
    record.FurtherFlags = CdhGetU32(reply + kCdhAnnOffFurther);
    record.FirmwareMajor = CdhGetU16(reply + kCdhAnnOffFwMajor);
    record.FirmwareMinor = CdhGetU16(reply + kCdhAnnOffFwMinor);
    CdhCopyField(record.Text, reply + kCdhAnnOffText, sizeof record.Text - 1, true);
    CdhCopyField(record.FirmwareSuffix, reply + kCdhAnnOffFwSuffix,
                 sizeof record.FirmwareSuffix - 1, true);
    CdhCopyField(record.Name, reply + kCdhAnnOffName, sizeof record.Name - 1, true);
    CdhCopyField(record.SecondName, reply + kCdhAnnOffSecondName, sizeof record.SecondName - 1,
                 true);
    CdhCopyField(record.Description, reply + kCdhAnnOffDescription, sizeof record.Description - 1,
                 true);
    std::memcpy(record.HardwareAddress, reply + kCdhAnnOffMac, kCdhAddressFieldSize);
    std::memcpy(record.IpAddress, reply + kCdhAnnOffAddress, kCdhAddressFieldSize);
    std::memcpy(record.SubnetMask, reply + kCdhAnnOffMask, kCdhAddressFieldSize);
    std::memcpy(record.Gateway, reply + kCdhAnnOffGateway, kCdhAddressFieldSize);
}

void CdhRecountStatus(std::uint8_t* status) {
    const int a = std::popcount(CdhGetU32(status + kStOffMaskA) & 0xFFu);
    const int b = std::popcount(CdhGetU32(status + kStOffMaskB) & 0xFFu);
    CdhPutU16(status + kStOffCountA, static_cast<std::uint16_t>(a));
    CdhPutU16(status + kStOffCountB, static_cast<std::uint16_t>(b));
    CdhPutU16(status + kStOffSlotsInUse, static_cast<std::uint16_t>(a + b));
}

void CdhApplyVolumeTable(TCdhSvr& record, const std::uint8_t* data, std::size_t size) {
    std::memset(record.VolumeTable, 0, sizeof record.VolumeTable);
    record.VolumeTableCount = 0;
    for (std::size_t i = 0; i < kCdhVolumeEntries && (i + 1) * kCdhVolumeEntrySize <= size; ++i) {
        const std::uint8_t* entry = data + i * kCdhVolumeEntrySize;
        const std::uint16_t slot = CdhGetU16(entry + kVtOffSlot);
        if (entry[0] == 0 || slot >= kCdhVolumeEntries) break;
        std::memcpy(record.VolumeTable[slot], entry, kCdhVolumeEntrySize);
        ++record.VolumeTableCount;
    }
}

void CdhApplyRaidVolumes(TCdhSvr& record, const std::uint8_t* data, std::size_t size) {
    std::memset(record.RaidVolumes, 0, sizeof record.RaidVolumes);
    record.RaidVolumeCount = 0;
    for (std::size_t i = 0; i < kCdhRaidEntries && (i + 1) * kCdhRaidEntrySize <= size; ++i) {
        const std::uint8_t* entry = data + i * kCdhRaidEntrySize;
        if (entry[kRdOffMemberCount] == 0) continue;
        std::uint8_t* kept = record.RaidVolumes[i];
        std::memcpy(kept, entry, kCdhRaidEntrySize);
        if (kept[kRdOffKind] == 0) CdhPutU32(kept + kRdOffEntryCount, 0);
        ++record.RaidVolumeCount;
    }
}

void CdhApplyTapeCatalog(TCdhSvr& record, std::uint32_t slot, const std::uint8_t* data,
                         std::size_t size) {
    CdhTapeCatalog& c = record.TapeCatalog;
    c = CdhTapeCatalog{};
    c.slot = slot;
    if (size <= 3 || (data[0] & 1) == 0) return;

    const std::uint8_t b0 = data[0], b1 = data[1], b2 = data[2];
    c.fields[0] = (b0 >> 1) & 3;
    c.fields[1] = b2 & 63;
    c.fields[2] = (b0 >> 3) & 31;
    c.fields[3] = b1 & 7;
    c.fields[4] = (b1 >> 3) & 31;
    c.fields[5] = size >= kTcOffCount + 4 ? CdhGetU32(data + kTcOffCount) : 0;
    c.fields[6] = size >= kTcOffType + 4 ? CdhGetU32(data + kTcOffType) : 0;
    if (size > kTcOffLabel)
        CdhCopyField(c.label, data + kTcOffLabel, std::min(kTcLabelWidth, size - kTcOffLabel),
                     false);

    // The entry names follow the first "////" in the data.
    std::size_t marker = 0;
    bool found = false;
    for (std::size_t p = kTcMarkerFrom; p < kTcMarkerFrom + kTcMarkerTries && p + 4 <= size; ++p) {
        if (std::memcmp(data + p, "////", 4) == 0) {
            marker = p;
            found = true;
            break;
        }
    }
    if (!found) return; // invalid: no names
    c.valid = 1;
    const std::size_t names = std::min<std::size_t>(c.fields[5], kTcMaxNames);
    const std::size_t start = marker + 4;
    for (std::size_t i = 0; i < names; ++i) {
        const std::size_t off = start + kTcNameSize * i;
        if (off >= size) break;
        CdhCopyField(c.names[i], data + off, std::min(kTcNameSize - 1, size - off), false);
    }
}
