// Feeds arbitrary datagrams to the announcement reader and arbitrary texts to the address parser of
// the add-address dialog: only exactly 284-byte datagrams are read, a refused one leaves the record
// untouched, and a parsed address prints back as dotted text that parses to the same value.
#include "nasannouncement.h"
#include "rmtnasip_mask.h"
#include "utils.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const std::uint8_t> datagram(data, size);
    NasServerInfo record;
    std::memset(&record, 0xA5, sizeof record);
    NasServerInfo before = record;
    const bool parsed = ParseNasAnnouncement(datagram, record);
    if (parsed != (size == kNasAnnouncementSize)) std::abort();
    if (!parsed && std::memcmp(&record, &before, sizeof record) != 0) std::abort();
    if ((NasAnnouncementType(datagram) == -1) != (size != kNasAnnouncementSize)) std::abort();
    if (NasAnnouncementHardwareAddress(datagram).size() !=
        (size == kNasAnnouncementSize ? kNasHardwareAddressSize : 0))
        std::abort();

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto address = ipbox::ParseAddressText(text)) {
        const auto again = ipbox::ParseAddressText(utils::IpToText(*address));
        if (!again || *again != *address) std::abort();
    }
    return 0;
}
