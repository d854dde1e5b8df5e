// CD-server discovery over several rounds: each input is a sequence of received datagrams, each
// with its sender, taken as the discovery loop takes them; a round mark ends one discovery and
// begins the next. The list must stay within its bounds and agree with itself.
//
// Input: records of [control byte][u16 length][bytes]. Control bit 7 ends the round before the
// datagram; bit 6 makes the sender 127.0.0.(control & 63) instead of the address the datagram
// announces.
#include "tcpsocket.h"
#include "tovexcdh_config.h"
#include "tovexcdh_frame.h"
#include "tovexcdh_net.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// Discovery sends its query to a loopback port nobody listens on and waits for nothing.
void ConfigureLoopback() {
    CdhNetConfig config;
    config.broadcastAddress = 0x7FFFFFFFu; // 127.255.255.255
    config.udpPort = 9;                    // discard
    config.discoveryWindowMs = 0;
    config.hostName = "fuzz-host";
    config.resolveHost = [](const std::string&) -> std::optional<std::uint32_t> {
        return 0x7F000001u;
    };
    SetCdhConfig(config);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool configured = (ConfigureLoopback(), true);
    (void)configured;
    TCdhNet* list = new TCdhNet; // makes the socket manager; frees it with the list
    std::uint32_t merged = 0;
    list->BeginRound();
    while (size >= 3) {
        const std::uint8_t control = data[0];
        std::size_t length = data[1] | std::size_t{data[2]} << 8;
        data += 3;
        size -= 3;
        if (length > size) length = size;
        if (length > kCdhDatagramMax) length = kCdhDatagramMax;
        if (control & 0x80) {
            list->EndRound();
            list->BeginRound();
            merged = 0;
        }
        std::vector<std::uint8_t> datagram(data, data + length);
        data += length;
        size -= length;
        std::uint32_t sender = 0;
        if (control & 0x40) {
            const std::uint8_t address[4] = {127, 0, 0, static_cast<std::uint8_t>(control & 63)};
            std::memcpy(&sender, address, 4);
        } else if (length >= kCdhAnnOffAddress + 4) {
            std::memcpy(&sender, datagram.data() + kCdhAnnOffAddress, 4);
        }
        if (list->TakeReply(datagram.data(), datagram.size(), sender)) {
            ++merged;
            if (list->FindByMac(datagram.data() + kCdhAnnOffMac) == nullptr) __builtin_trap();
        }
        if (list->Count > TCdhNet::MaxRecords || list->SeenCount > list->Count ||
            list->Records.Count() != static_cast<int>(list->Count) || list->SeenCount > merged ||
            list->TakenCount > TCdhNet::MaxReplies)
            __builtin_trap();
    }
    list->EndRound();
    if (list->Array.size() != list->Count) __builtin_trap();
    for (std::size_t i = 1; i < list->Array.size(); ++i)
        if (CdhNameLess(list->Array[i]->Name, list->Array[i - 1]->Name)) __builtin_trap();
    delete list;
    return 0;
}
