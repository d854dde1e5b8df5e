// Encoders of the simulator's records: every field at its offset, little-endian.
#include "cdsim.h"

#include <algorithm>
#include <cstring>

namespace cdsim {
namespace {

void PutU16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutText(Bytes& b, std::size_t at, std::size_t width, const std::string& text) {
    std::memcpy(b.data() + at, text.data(), std::min(width, text.size()));
}

void EncodeSlotInto(Bytes& b, const SlotBlock& s) {
    PutText(b, 0, 18, s.label);
    PutText(b, 18, 42, s.status);
    PutText(b, 60, 20, s.state);
    // The first byte tells a present slot: a present slot without a label starts with a blank.
    b[0] = s.present ? (s.label.empty() ? ' ' : b[0]) : 0;
    PutU16(b, 80, s.kind);
    PutU16(b, 86, s.entryCount);
    b[88] = s.byte88;
    b[89] = s.byte89;
    b[90] = s.byte90;
    PutU32(b, 92, s.capacity);
    PutU32(b, 100, s.free);
}

} // namespace

std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t GetU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

Bytes Encode(const StatusBlock& s) {
    Bytes b(kStatusSize, 0);
    PutU16(b, 0, s.memoryMb);
    PutU16(b, 2, s.cpuMhz);
    PutU16(b, 4, s.lanSpeed);
    PutU32(b, 8, s.clock);
    PutText(b, 36, 18, s.text36);
    PutText(b, 54, 18, s.text54);
    PutU16(b, 72, s.slotsInUse);
    PutU16(b, 74, s.countA);
    PutU16(b, 76, s.countB);
    PutU16(b, 78, s.groupCount);
    PutU32(b, 82, s.maskA);
    PutU32(b, 86, s.maskB);
    return b;
}

Bytes Encode(const SlotBlock& s) {
    Bytes b(kSlotSize, 0);
    EncodeSlotInto(b, s);
    return b;
}

Bytes Encode(const VolumeEntry& e) {
    Bytes b(kVolumeEntrySize, 0);
    EncodeSlotInto(b, e.block);
    PutU16(b, 82, e.slot);
    PutU32(b, 108, e.activity);
    PutU32(b, 112, e.media);
    return b;
}

Bytes Encode(const Entry& e) {
    Bytes b(kEntrySize, 0);
    PutText(b, 0, 34, e.name);
    b[34] = e.byte34;
    b[37] = e.byte37;
    b[38] = e.kind;
    b[39] = e.flags;
    PutU16(b, 40, e.id);
    PutU32(b, 44, e.sectors);
    return b;
}

Bytes Encode(const Group& g) {
    Bytes b(kGroupSize, 0);
    PutText(b, 0, 18, g.name);
    PutU16(b, 18, g.id);
    b[20] = g.kind;
    b[23] = g.flags;
    return b;
}

Bytes Encode(const RaidVolume& v) {
    Bytes b(kRaidEntrySize, 0);
    b[4] = v.level;
    b[5] = static_cast<std::uint8_t>(v.members.size());
    PutU32(b, 20, v.slotMask);
    b[26] = v.state;
    b[27] = v.kind;
    PutU32(b, 30, v.capacityMb);
    PutU32(b, 34, v.freeMb);
    for (std::size_t i = 0; i < v.members.size() && 46 + i < 58; ++i)
        b[46 + i] = v.members[i];
    PutU16(b, 58, v.entryCount);
    return b;
}

Bytes Encode(const TapeHeader& h) {
    Bytes b(kTapeHeaderSize, 0);
    if (h.signature) std::memcpy(b.data(), "TAPE@CDH", 8);
    b[12] = h.kind;
    PutU16(b, 33, h.setCount);
    PutU16(b, 35, h.onTape);
    PutU16(b, 39, h.spanMode);
    PutU16(b, 41, h.firstSet);
    for (std::size_t i = 0; i < h.sets.size() && 80 + 75 * (i + 1) <= kTapeHeaderSize; ++i) {
        PutU32(b, 80 + 75 * i, h.sets[i].sectors);
        PutText(b, 80 + 75 * i + 5, 70, h.sets[i].name);
    }
    PutText(b, 75043, 44, h.name);
    return b;
}

Bytes Encode(const TapeCatalog& c) {
    std::size_t content = 31;
    if (c.marker) content = std::max(content, *c.marker + 4 + 17 * c.names.size());
    Bytes b(std::max(content, c.size), 0);
    b[0] = static_cast<std::uint8_t>((c.valid ? 1 : 0) | (c.scheduleKind & 3) << 1 |
                                     (c.hour & 31) << 3);
    b[1] = static_cast<std::uint8_t>((c.weekday & 7) | (c.day & 31) << 3);
    b[2] = static_cast<std::uint8_t>(c.minute & 63);
    PutU32(b, 3, c.count);
    PutU32(b, 7, c.backupType);
    PutText(b, 11, 20, c.label);
    if (c.marker) {
        std::memcpy(b.data() + *c.marker, "////", 4);
        for (std::size_t i = 0; i < c.names.size(); ++i)
            PutText(b, *c.marker + 4 + 17 * i, 16, c.names[i]);
    }
    if (c.size != 0) b.resize(c.size);
    return b;
}

Bytes EncodeFrame(std::uint16_t command, const Bytes& payload, bool trailer) {
    Bytes b(kHeaderSize + payload.size() + (trailer ? 2 : 0), 0);
    PutU32(b, 0, 0x2D44414Eu);
    PutU32(b, 4, 0x06676663u);
    PutU16(b, 8, static_cast<std::uint16_t>(payload.size()));
    PutU16(b, 10, 0);
    PutU16(b, 12, command);
    std::copy(payload.begin(), payload.end(), b.begin() + kHeaderSize);
    if (trailer) {
        b[kHeaderSize + payload.size()] = '\r';
        b[kHeaderSize + payload.size() + 1] = '\n';
    }
    return b;
}

std::optional<FrameHeader> DecodeHeader(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderSize) return std::nullopt;
    FrameHeader h;
    h.signature = GetU32(data);
    h.tag = GetU32(data + 4);
    h.length = GetU16(data + 8);
    h.reserved = GetU16(data + 10);
    h.command = GetU16(data + 12);
    return h;
}

} // namespace cdsim
