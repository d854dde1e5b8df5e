// The server list driven by a sequence of announcements, as the window handles them: a unit
// that announces itself ready is added (or its entry updated), one that announces going offline
// is removed; units added by address answer to the same hardware addresses. The list's count,
// links and look-ups must agree after every step.
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

int Walk(CNasServer* head) {
    int n = 0;
    for (CNasServer* s = head; s != nullptr && n <= 100000; s = s->Next)
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One list for the run (making one clears a large image cache); emptied for each input.
    static CNASSvrNet list;
    list.FreeList(CNASSvrNet::kFoundList);
    list.FreeList(CNASSvrNet::kRemoteList);
    list.FreePreviousList();
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
            if (list.FindByMac(datagram) != found || list.FindByRecord(found) != found)
                __builtin_trap();
        } else if (type == kNasAnnouncementReady) {
            CNasServer* added = list.AddFromAnnouncement(datagram);
            if (added == nullptr || list.FindByMac(datagram) != added) __builtin_trap();
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
        if (Walk(list.FirstFound()) != list.FoundCount() ||
            Walk(list.FirstRemote()) != list.RemoteCount())
            __builtin_trap();
    }
    return 0;
}
