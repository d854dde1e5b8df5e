// The drive poll that stands in for the system's device-change broadcasts: once a second it asks
// every drive of the letter map for its status and broadcasts the arrival of a disc in a drive
// that had none, and the removal of the disc from a drive that had one, one broadcast per drive.
// Drives first seen (at start or when they join the map) only set the baseline; a drive that
// cannot tell or is not ready yet keeps what was last known; drives that leave the map are
// forgotten without a broadcast (a drive coming or going is not a media change).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

class TCDDrivePoll {
public:
    static constexpr std::uint32_t kIntervalMs = 1000;
    using TBroadcast = std::function<void(std::uint32_t event, std::span<const std::uint8_t> data)>;

    explicit TCDDrivePoll(TBroadcast broadcast);

    // Polls when kIntervalMs have passed on the program clock since the last poll (the first
    // call polls at once); true when it polled.
    bool Tick();
    // Polls now.
    void Poll();

private:
    struct Drive {
        std::string path; // "" when the letter is not mapped
        bool known = false;
        bool hasDisc = false;
    };

    TBroadcast broadcast_;
    std::array<Drive, 26> drives_;
    bool polled_ = false;
    std::uint32_t lastPoll_ = 0;
};
