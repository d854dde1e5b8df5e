#include "simulated_discs.h"

#include "discsim.h"
#include "sim_adapter.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace platform::scsi {

SimulatedDiscs::SimulatedDiscs(std::string_view list, std::ostream& errors,
                               std::unique_ptr<Registry> base, const devices::LetterMap& letters)
    : registry_(base ? std::move(base) : std::make_unique<Registry>()), letters_(letters),
      letterScope_(letters_) {
    struct Loaded {
        std::string path;
        discsim::Disc disc;
    };
    std::vector<Loaded> discs;
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(':', start);
        if (end == std::string_view::npos) end = list.size();
        const std::string path(list.substr(start, end - start));
        start = end + 1;
        if (path.empty()) continue;
        std::string error;
        if (auto disc = discsim::LoadImage(path, &error))
            discs.push_back({path, std::move(*disc)});
        else
            errors << kSimulatedDiscsVariable << ": " << error << "; skipped\n";
    }
    if (discs.empty()) return;

    // One target per drive; the adapter's own id is out of the way (0xFF).
    const auto maxTargets =
        static_cast<std::uint8_t>(std::clamp<std::size_t>(discs.size(), 8, 254));
    auto adapter = std::make_unique<SimAdapter>("ATAPI SIMULATED", maxTargets, 0xFF);
    for (auto& loaded : discs) {
        const std::string device = "sim:disc" + std::to_string(count_ + 1);
        if (count_ >= maxTargets || letters_.Add(device) == 0) {
            errors << kSimulatedDiscsVariable << ": " << loaded.path
                   << ": no free drive letter; skipped\n";
            continue;
        }
        adapter->Attach(static_cast<std::uint32_t>(count_), 0,
                        std::make_shared<discsim::Drive>(std::move(loaded.disc)), device);
        ++count_;
    }
    if (count_ > 0) registry_->Add(std::move(adapter));
}

} // namespace platform::scsi
