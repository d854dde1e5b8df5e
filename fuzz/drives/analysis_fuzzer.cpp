// The whole disc analysis over a simulated drive whose replies are replaced by the input: a
// sequence of records (opcode, 16-bit length, bytes), each standing in for that command's next
// reply. The first byte chooses the disc the drive holds (a CD, a DVD or a BD), so that every
// analysis path is reached.
#include "aspi32.h"
#include "disc_info.h"
#include "discsim.h"
#include "scsi/registry.h"
#include "scsicdd.h"
#include "sim_adapter.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    auto replies =
        std::make_shared<std::map<std::uint8_t, std::deque<std::vector<std::uint8_t>>>>();
    for (std::size_t at = 1; at + 3 <= size;) {
        const std::uint8_t opcode = data[at];
        const std::size_t length = std::size_t{data[at + 1]} << 8 | data[at + 2];
        at += 3;
        const std::size_t n = std::min(length, size - at);
        (*replies)[opcode].emplace_back(data + at, data + at + n);
        at += n;
    }

    std::optional<discsim::Disc> disc;
    switch (data[0] % 3) {
    case 0:
        disc = discsim::MakeCdExtra({300, 200}, 400);
        break;
    case 1:
        disc = discsim::MakeDvd(5000, 2, true);
        break;
    default:
        disc = discsim::MakeBd(6000);
        break;
    }
    auto drive = std::make_shared<discsim::Drive>(std::move(disc));
    auto mutex = std::make_shared<std::mutex>();
    drive->setReplyFilter(
        [replies, mutex](const std::vector<std::uint8_t>& cdb, std::vector<std::uint8_t>& reply) {
            std::lock_guard<std::mutex> guard(*mutex);
            auto it = replies->find(cdb[0]);
            if (it == replies->end() || it->second.empty()) return;
            reply = std::move(it->second.front());
            it->second.pop_front();
        });
    platform::scsi::Registry registry;
    auto adapter = std::make_unique<platform::scsi::SimAdapter>();
    adapter->Attach(0, 0, drive, "sim:fuzz");
    registry.Add(std::move(adapter));
    TAspi32 aspi(&registry);
    aspi.SetSleeper([](std::uint32_t) {});
    ScopedAspi32 scope(aspi);

    TScsiCdd cdd(0, 0, 0);
    cdd.Analyse();
    EncodeDiscInfo(cdd.Disc());
    VolumeInfo volume;
    cdd.ReadVolumeInfo(volume);
    return 0;
}
