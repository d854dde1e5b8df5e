// A machine of simulated optical drives for the drive layer's tests: adapters of simulated drives
// in a transport registry, their letters in a letter map, and a gateway over both, installed for
// the life of the object.
#pragma once

#include "aspi32.h"
#include "devices/letter_map.h"
#include "discsim.h"
#include "scsi/registry.h"
#include "sim_adapter.h"

#include <memory>
#include <optional>
#include <string>

class SimMachine {
public:
    SimMachine() : letterScope_(letters) {}

    // A new adapter; its number is the count of adapters added before it.
    platform::scsi::SimAdapter& AddAdapter(std::string identifier = "ATAPI SIM",
                                           std::uint8_t maxTargets = 8,
                                           std::uint8_t scsiId = 0xFF) {
        auto adapter =
            std::make_unique<platform::scsi::SimAdapter>(std::move(identifier), maxTargets, scsiId);
        auto& ref = *adapter;
        registry.Add(std::move(adapter));
        return ref;
    }

    // A drive at (target, lun) of an adapter, named "sim:<name>"; with a letter from D: on when
    // withLetter is set.
    std::shared_ptr<discsim::Drive>
    AddDrive(platform::scsi::SimAdapter& adapter, std::uint32_t target, std::uint32_t lun,
             const std::string& name, std::optional<discsim::Disc> disc = std::nullopt,
             discsim::DriveConfig config = {}, bool withLetter = true) {
        auto drive = std::make_shared<discsim::Drive>(std::move(disc), std::move(config));
        adapter.Attach(target, lun, drive, "sim:" + name);
        if (withLetter) letters.Add("sim:" + name);
        return drive;
    }

    // Makes and installs the gateway once every adapter is added.
    TAspi32& Start() {
        aspi_.emplace(&registry);
        aspiScope_.emplace(*aspi_);
        return *aspi_;
    }

    platform::scsi::Registry registry;
    platform::devices::LetterMap letters;

private:
    platform::devices::ScopedLetterMap letterScope_;
    std::optional<TAspi32> aspi_;
    std::optional<ScopedAspi32> aspiScope_;
};
