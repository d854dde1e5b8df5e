#include "cdevents_poll.h"

#include "cdevents_broadcast.h"
#include "clock/clock.h"
#include "devices/drive_status.h"
#include "devices/letter_map.h"
#include "elapsed.h"

#include <utility>
#include <vector>

using platform::devices::DriveStatus;

TCDDrivePoll::TCDDrivePoll(TBroadcast broadcast) : broadcast_(std::move(broadcast)) {}

bool TCDDrivePoll::Tick() {
    const std::uint32_t now = platform::GetTickCount();
    if (polled_ && TickDiff(lastPoll_, now) < kIntervalMs) return false;
    Poll();
    return true;
}

void TCDDrivePoll::Poll() {
    polled_ = true;
    lastPoll_ = platform::GetTickCount();
    auto& source = platform::devices::CurrentDriveStatusSource();
    std::array<bool, 26> mapped{};
    std::vector<std::pair<std::uint32_t, std::uint32_t>> changes; // event, unit mask
    for (const auto& [letter, path] : platform::devices::CurrentLetterMap().Entries()) {
        const int i = letter - 'A';
        mapped[i] = true;
        Drive& drive = drives_[i];
        if (drive.path != path) drive = Drive{path, false, false};
        const DriveStatus status = source.Status(path);
        if (status == DriveStatus::NoInfo || status == DriveStatus::NotReady) continue;
        const bool hasDisc = status == DriveStatus::DiscOk;
        if (drive.known && hasDisc != drive.hasDisc)
            changes.emplace_back(
                hasDisc ? cdevents::kDeviceArrival : cdevents::kDeviceRemoveComplete, 1u << i);
        drive.known = true;
        drive.hasDisc = hasDisc;
    }
    for (int i = 0; i < 26; ++i)
        if (!mapped[i]) drives_[i] = Drive{};
    if (!broadcast_) return;
    for (const auto& [event, mask] : changes)
        broadcast_(event, cdevents::EncodeVolumeBroadcast(mask, cdevents::kVolumeFlagMedia));
}
