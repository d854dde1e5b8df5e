#include "cd_table.h"

#include <algorithm>
#include <cstring>

void BuildCdTable(const DiscInfo& disc, NasCDTable& table) {
    std::memset(&table, 0, sizeof table);
    const int tracks = std::min<int>(disc.lastTrack, DiscInfo::TrackCount - 1);
    const auto entry = [](const DiscTrackEntry& t) {
        NasCDTrackEntry e{};
        e.trackNumber = t.track;
        e.controlAdr = static_cast<std::uint8_t>((t.adrControl << 4) | (t.adrControl >> 4));
        e.one = 1;
        e.startAddress = t.start;
        e.session = t.session;
        return e;
    };
    table.one = 1;
    table.trackCount = static_cast<std::uint8_t>(tracks);
    table.discByte2 = disc.firstSession;
    table.discByte3 = disc.lastSession;
    table.leadOutAddress = tracks > 0 ? disc.tracks[tracks - 1].start : 0;
    table.multiSession = disc.sessionCount > 1 ? 1 : 0;
    table.one9 = 1;
    for (int i = 0; i < tracks; ++i)
        table.tracks[i] = entry(disc.tracks[i]);
    table.leadOut = entry(disc.tracks[tracks]);
}

std::uint32_t SetMirrorDiscFlags(std::uint8_t kind) {
    switch (kind) {
    case 1:
        return 1;
    case 2:
        return 16;
    case 3:
        return 64;
    case 4:
        return 2;
    case 5:
    case 6:
    case 7:
        return 4;
    case 16:
        return 128;
    case 17:
        return 128 + 1;
    case 18:
        return 128 + 16;
    case 19:
        return 128 + 64;
    case 20:
        return 128 + 2;
    case 21:
    case 22:
    case 23:
        return 128 + 4;
    case 24:
        return 128 + 32;
    case 64:
    case 65:
        return 0x10000;
    default:
        return 0;
    }
}

std::uint32_t SetMirrorFsFlag(std::uint8_t code) {
    switch (code) {
    case 0:
        return 1;
    case 1:
        return 0x100000;
    case 2:
        return 4096;
    default:
        return 0;
    }
}
