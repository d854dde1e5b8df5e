// Drives that fail: the whole disc analysis over a simulated drive that answers commands with
// the input's error statuses and sense (check conditions, busy, any status byte, unit attention,
// a drive becoming ready, read errors) as well as with the input's replies; and raw sense data as
// a device returns it, brought into the one fixed form the program reads.
//
// Input: [disc byte][u8 length][raw sense bytes], then records [opcode][kind][...]:
//   kind 0: [u16 length][reply bytes] for that command's next reply;
//   kind 1: [status][key][asc][ascq][count] a fault answered to that command;
//   kind 2: [asc][ascq] unit attention for the next command;
//   kind 3: [count] commands answered "becoming ready";
//   kind 4: [u32 lba] a read error at lba.
#include "aspi32.h"
#include "disc_info.h"
#include "discsim.h"
#include "scsi/registry.h"
#include "scsi/sense.h"
#include "scsicdd.h"
#include "sim_adapter.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace {

void CheckSense(const std::uint8_t* data, std::size_t size) {
    const platform::scsi::FixedSense sense = platform::scsi::NormalizeSense(data, size);
    if (sense.length > sense.bytes.size()) __builtin_trap();
    if (sense.length != 0 && (sense.bytes[0] & 0x7E) != 0x70) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::uint8_t discKind = data[0];
    const std::size_t senseLength = std::min<std::size_t>(data[1], size - 2);
    CheckSense(data + 2, senseLength);
    std::size_t at = 2 + senseLength;

    std::optional<discsim::Disc> disc;
    switch (discKind % 4) {
    case 0:
        disc = discsim::MakeCdExtra({300, 200}, 400);
        break;
    case 1:
        disc = discsim::MakeDvd(5000, 2, true);
        break;
    case 2:
        disc = discsim::MakeBd(6000);
        break;
    default:
        break; // an empty drive
    }
    auto drive = std::make_shared<discsim::Drive>(std::move(disc));
    drive->setSleeper([](std::chrono::milliseconds) {});
    auto replies =
        std::make_shared<std::map<std::uint8_t, std::deque<std::vector<std::uint8_t>>>>();
    while (at + 2 <= size) {
        const std::uint8_t opcode = data[at];
        const std::uint8_t kind = data[at + 1];
        at += 2;
        const std::size_t left = size - at;
        switch (kind % 5) {
        case 0: {
            if (left < 2) return 0;
            const std::size_t length = std::size_t{data[at]} << 8 | data[at + 1];
            at += 2;
            const std::size_t n = std::min(length, size - at);
            (*replies)[opcode].emplace_back(data + at, data + at + n);
            at += n;
            break;
        }
        case 1: {
            if (left < 5) return 0;
            discsim::Fault fault;
            fault.opcode = opcode == 0xFF ? -1 : opcode;
            fault.status = data[at];
            fault.senseKey = data[at + 1];
            fault.asc = data[at + 2];
            fault.ascq = data[at + 3];
            fault.count = 1 + data[at + 4] % 8; // never for ever: the analysis must end
            drive->injectFault(fault);
            at += 5;
            break;
        }
        case 2:
            if (left < 2) return 0;
            drive->raiseUnitAttention(data[at], data[at + 1]);
            at += 2;
            break;
        case 3:
            if (left < 1) return 0;
            drive->setBecomingReady(data[at] % 16);
            at += 1;
            break;
        default:
            if (left < 4) return 0;
            drive->addReadError(std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 |
                                std::uint32_t{data[at + 2]} << 8 | data[at + 3]);
            at += 4;
            break;
        }
    }
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
