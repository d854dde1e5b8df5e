// The server list driven by a sequence of announcements, as the window handles them: a unit
// that announces itself ready is added (or its entry updated), one that announces going offline
// is retired; units added by address answer to the same hardware addresses. The list's
// look-ups must agree after every step, each hardware address is listed once per list, and the
// found list never passes its cap.
//
// Input: records of [control byte][u16 length][bytes]; control bit 0 also adds the announced
// unit to the list of units added by address, bit 1 removes it from there.
#include "nasannouncement.h"
#include "nasserver.h"
#include "nassvrnet.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace {

// Each hardware address at most once in a list.
bool Unique(const CNASSvrNet::ServerList& servers) {
    for (std::size_t i = 0; i < servers.size(); ++i)
        for (std::size_t k = i + 1; k < servers.size(); ++k)
            if (std::memcmp(servers[i]->Info.hardwareAddress, servers[k]->Info.hardwareAddress,
                            kNasHardwareAddressSize) == 0)
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One list for the run (making one clears a large image cache); emptied for each input.
    static CNASSvrNet list;
    list.FreeList(CNASSvrNet::kFoundList);
    list.FreeList(CNASSvrNet::kRemoteList);
    list.Sweep();
    while (size >= 3) {
        const std::uint8_t control = data[0];
        std::size_t length = data[1] | std::size_t{data[2]} << 8;
        data += 3;
        size -= 3;
        if (length > size) length = size;
        const std::span<const std::uint8_t> datagram(data, length);
        data += length;
        size -= length;

        const int type = NasAnnouncementType(datagram);
        CNasServer* found = list.FindByMac(datagram);
        if (length != kNasAnnouncementSize && (found != nullptr || type != -1)) __builtin_trap();
        if (type == kNasAnnouncementOffline) {
            if (found != nullptr) {
                list.Remove(found, nullptr, CNASSvrNet::kFoundList, nullptr);
                if (list.FindByMac(datagram) != nullptr) __builtin_trap();
            }
        } else if (found != nullptr) {
            if (list.UpdateFromAnnouncement(found, datagram) != 0) __builtin_trap();
            if (list.FindByMac(datagram) != found || !list.IsLive(found->UnitHandle))
                __builtin_trap();
        } else if (type == kNasAnnouncementReady) {
            CNasServer* added = list.AddFromAnnouncement(datagram);
            const bool full = list.FoundCount() >= CNASSvrNet::kDiscoveryMax;
            if ((added == nullptr) != full) __builtin_trap();
            if (added != nullptr && list.FindByMac(datagram) != added) __builtin_trap();
        }

        NasServerInfo record{};
        if (ParseNasAnnouncement(datagram, record)) {
            if (control & 1) {
                CNasServer* remote = list.AddRemote(record);
                if (remote == nullptr || list.FindInList(record, CNASSvrNet::kRemoteList) != remote)
                    __builtin_trap();
            }
            if (control & 2) {
                CNasServer* remote = list.FindInList(record, CNASSvrNet::kRemoteList);
                if (remote != nullptr)
                    list.Remove(remote, nullptr, CNASSvrNet::kRemoteList, nullptr);
            }
            list.FindByName(std::string(record.name, strnlen(record.name, sizeof record.name)));
        }
        if (!Unique(list.Found()) || !Unique(list.Remote()) ||
            list.FoundCount() > CNASSvrNet::kDiscoveryMax)
            __builtin_trap();
    }
    return 0;
}
