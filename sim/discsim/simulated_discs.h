// Simulated discs named at start-up, for demonstrations on machines without optical drives: one
// simulated drive per disc image, on a simulated adapter added after this machine's own, each
// with the next free drive letter.
#pragma once

#include "devices/letter_map.h"
#include "scsi/registry.h"

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string_view>

namespace platform::scsi {

// The environment variable that names the images: paths separated by ':'. An entry ending in
// ".iso" (any case) is an ISO image, anything else a raw-image description file (sim/discsim).
inline constexpr const char kSimulatedDiscsVariable[] = "BRIMLET_SIMULATED_DISCS";

// A registry and a letter map extended with the simulated drives; the letter map is the current
// one while this object lives. The program's gateway is made over registry().
class SimulatedDiscs {
public:
    // Loads every entry of list into a drive "sim:disc<N>" (N counts from 1 over the entries that
    // loaded) on one simulated adapter added to base; an entry that does not load, or finds no
    // free letter, is reported on errors and skipped; empty entries are ignored.
    SimulatedDiscs(std::string_view list, std::ostream& errors,
                   std::unique_ptr<Registry> base = MakeSystemRegistry(),
                   const devices::LetterMap& letters = devices::CurrentLetterMap());
    SimulatedDiscs(const SimulatedDiscs&) = delete;
    SimulatedDiscs& operator=(const SimulatedDiscs&) = delete;

    Registry& registry() { return *registry_; }
    const devices::LetterMap& letters() const { return letters_; }
    std::size_t count() const { return count_; } // drives added

private:
    std::unique_ptr<Registry> registry_;
    devices::LetterMap letters_;
    std::size_t count_ = 0;
    devices::ScopedLetterMap letterScope_;
};

} // namespace platform::scsi
