// The transport registry: the host adapters of this run, numbered densely from 0 in the order
// they were added, and the way from a device node (the letter map's key) to its address.
#pragma once

#include "scsi/transport.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::scsi {

struct Address {
    std::uint32_t adapter = 0;
    std::uint32_t target = 0;
    std::uint32_t lun = 0;
    bool operator==(const Address&) const = default;
};

class Registry {
public:
    Registry() = default;
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Adds an adapter as the next adapter number; returns that number. Done while setting up,
    // before any command runs.
    std::uint32_t Add(std::unique_ptr<Adapter> adapter);
    std::size_t AdapterCount() const { return adapters_.size(); }
    // The adapter of a number, or null.
    Adapter* At(std::uint32_t adapter) const;
    // The address of the device with that path, when some adapter has it.
    std::optional<Address> Locate(const std::string& path) const;
    // The device at an address, when there is one.
    std::optional<DeviceEntry> Find(const Address& address) const;
    // Runs a command at an address; no such adapter gives a NoDevice completion.
    Completion Execute(const Address& address, const Request& request) const;

private:
    std::vector<std::unique_ptr<Adapter>> adapters_;
};

// The registry of this machine's optical devices (sysfs under sysfsRoot, SG_IO on their nodes):
// one adapter per SCSI host (and channel) that holds optical devices, in order of host number.
std::unique_ptr<Registry> MakeSystemRegistry(const std::string& sysfsRoot = "/sys",
                                             const std::string& devRoot = "/dev");

} // namespace platform::scsi
