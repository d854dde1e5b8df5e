// Drive replies fed to the readers of the disc analysis and the capability probe. The first byte
// picks the reader; the rest is the reply. For the full TOC, three more bytes give the capacity
// and one the track count of READ TOC format 0. For volume descriptors the rest is a disc of
// 2048-byte sectors, repeated to fill the address space.
#include "disc_info.h"
#include "disc_replies.h"
#include "volume_info.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t which = data[0];
    // A copy of its own, so that a read past the reply is a read past an allocation.
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    const Reply reply(bytes.data(), bytes.size());
    switch (which % 8) {
    case 0: {
        if (bytes.size() < 4) return 0;
        DiscInfo d;
        d.endAddress = std::uint32_t{bytes[0]} << 16 | std::uint32_t{bytes[1]} << 8 | bytes[2];
        d.lastTrack = bytes[3];
        FullTocFacts facts;
        ReadFullToc(reply.subspan(4), d, facts);
        EncodeDiscInfo(d);
        break;
    }
    case 1:
        LastSessionStart(reply);
        break;
    case 2: {
        DiscInfo d;
        d.tracks[0].length = 1;
        const TrackInformation t = ReadTrackInformation(reply);
        d.tracks[1] = {2, 2, 1, 0x14, t.start, t.length};
        CloseSessionTable(d);
        break;
    }
    case 3:
        ReadDvdPhysicalFormat(reply);
        break;
    case 4:
        ReadProfiles(reply);
        break;
    case 5:
        ReadCapabilityPage(reply);
        break;
    case 6: {
        std::uint8_t kind = disc_kind::XA, bridge = 0;
        ExamineXaDescriptor(reply, kind, bridge);
        break;
    }
    case 7: {
        if (bytes.empty()) return 0;
        const std::size_t sectors = (bytes.size() + kVolumeSectorSize - 1) / kVolumeSectorSize;
        auto read = [&](std::uint32_t lba, std::span<std::uint8_t, 2048> out) {
            const std::size_t at = (lba % sectors) * kVolumeSectorSize;
            const std::size_t n = std::min(kVolumeSectorSize, bytes.size() - at);
            std::memset(out.data(), 0, out.size());
            std::memcpy(out.data(), bytes.data() + at, n);
            return (lba & 0x3F) != 0x3F; // now and then a sector that cannot be read
        };
        VolumeInfo v;
        ReadVolumeInfo(read, which >> 3, v);
        UdfDString(reply.first(std::min<std::size_t>(reply.size(), 128)));
        JolietIdentifier(reply.first(std::min<std::size_t>(reply.size(), 32)));
        IsoIdentifier(reply.first(std::min<std::size_t>(reply.size(), 32)));
        break;
    }
    }
    return 0;
}
