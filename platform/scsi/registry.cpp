#include "scsi/registry.h"

#include "devices/enumerate.h"
#include "scsi/sg_io_adapter.h"

#include <algorithm>
#include <map>
#include <utility>

namespace platform::scsi {

Completion NoDeviceCompletion() {
    Completion c;
    c.result = TransportResult::NoDevice;
    return c;
}

std::uint32_t Registry::Add(std::unique_ptr<Adapter> adapter) {
    adapters_.push_back(std::move(adapter));
    return static_cast<std::uint32_t>(adapters_.size() - 1);
}

Adapter* Registry::At(std::uint32_t adapter) const {
    return adapter < adapters_.size() ? adapters_[adapter].get() : nullptr;
}

std::optional<Address> Registry::Locate(const std::string& path) const {
    if (path.empty()) return std::nullopt;
    for (std::uint32_t a = 0; a < adapters_.size(); ++a)
        for (const auto& d : adapters_[a]->Devices())
            if (d.path == path) return Address{a, d.target, d.lun};
    return std::nullopt;
}

std::optional<DeviceEntry> Registry::Find(const Address& address) const {
    const Adapter* adapter = At(address.adapter);
    if (adapter == nullptr) return std::nullopt;
    for (const auto& d : adapter->Devices())
        if (d.target == address.target && d.lun == address.lun) return d;
    return std::nullopt;
}

Completion Registry::Execute(const Address& address, const Request& request) const {
    Adapter* adapter = At(address.adapter);
    if (adapter == nullptr) return NoDeviceCompletion();
    return adapter->Execute(address.target, address.lun, request);
}

std::unique_ptr<Registry> MakeSystemRegistry(const std::string& sysfsRoot,
                                             const std::string& devRoot) {
    auto registry = std::make_unique<Registry>();
    // One adapter per (host, channel), in order of host then channel: dense numbers from 0.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<devices::OpticalDevice>> hosts;
    for (auto& d : devices::EnumerateOptical(sysfsRoot, devRoot))
        hosts[{d.host, d.channel}].push_back(std::move(d));
    for (auto& [key, list] : hosts) {
        AdapterDescription description;
        description.manager = "SG_IO";
        description.identifier =
            list.front().ataAttached ? std::string("ATAPI") : list.front().hostDriver;
        std::vector<DeviceEntry> entries;
        std::uint32_t highestTarget = 0;
        for (const auto& d : list) {
            // Addresses the request blocks cannot carry are left out.
            if (d.target >= 0xFF || d.lun > 7) continue;
            entries.push_back(DeviceEntry{d.target, d.lun, d.type, d.node});
            highestTarget = std::max(highestTarget, d.target);
        }
        if (entries.empty()) continue;
        description.scsiId = 0xFF; // no device sits at the host's own id
        description.maxTargets =
            static_cast<std::uint8_t>(std::max<std::uint32_t>(8, highestTarget + 1));
        registry->Add(std::make_unique<SgIoAdapter>(std::move(description), std::move(entries)));
    }
    return registry;
}

} // namespace platform::scsi
