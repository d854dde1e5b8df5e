#include "local_interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace nas {

namespace {

constexpr uint32_t kAllOnes = 0xFFFFFFFFu;

struct SystemAddress {
    LocalInterface net;
    bool loopback = false;
};

std::vector<SystemAddress> SystemAddresses() {
    std::vector<SystemAddress> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return found;
    std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(list, ::freeifaddrs);
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !entry->ifa_netmask)
            continue;
        if (!(entry->ifa_flags & IFF_UP)) continue;
        SystemAddress address;
        address.net.address =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        address.net.mask =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
        address.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        found.push_back(address);
    }
    return found;
}

std::vector<uint32_t> HostNameAddresses(const std::string& hostName) {
    std::vector<uint32_t> addresses;
    if (hostName.empty()) return addresses;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(hostName.c_str(), nullptr, &hints, &list) != 0) return addresses;
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(list, ::freeaddrinfo);
    for (addrinfo* entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in)) continue;
        uint32_t address =
            ntohl(reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    return addresses;
}

bool ReachedBy(const SystemAddress& address, uint32_t broadcast) {
    if (broadcast == kAllOnes) return !address.loopback;
    return (broadcast & address.net.mask) == (address.net.address & address.net.mask);
}

} // namespace

std::vector<LocalInterface> LocalInterfaces(const NetConfig& config) {
    if (config.localInterfaces) {
        std::vector<LocalInterface> list = *config.localInterfaces;
        if (list.size() > kMaxLocalInterfaces) list.resize(kMaxLocalInterfaces);
        return list;
    }
    std::vector<SystemAddress> system = SystemAddresses();
    std::erase_if(system,
                  [&](const SystemAddress& a) { return !ReachedBy(a, config.broadcastAddress); });
    // Addresses of the host name first, in the order the name resolves, then the rest.
    std::vector<LocalInterface> list;
    auto add = [&](const SystemAddress& a) {
        bool listed = std::any_of(list.begin(), list.end(), [&](const LocalInterface& l) {
            return l.address == a.net.address;
        });
        if (!listed && list.size() < kMaxLocalInterfaces) list.push_back(a.net);
    };
    for (uint32_t address : HostNameAddresses(LocalHostName(config)))
        for (const SystemAddress& a : system)
            if (a.net.address == address) add(a);
    for (const SystemAddress& a : system)
        add(a);
    return list;
}

std::string LocalHostName(const NetConfig& config) {
    if (config.hostName) return *config.hostName;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

uint32_t GetLocalHostAddress(const NetConfig& config) {
    std::vector<LocalInterface> list = LocalInterfaces(config);
    return list.empty() ? 0 : list.front().address;
}

} // namespace nas
