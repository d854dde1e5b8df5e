// CNASSvrNet: the one-unit cache of an image list.
#include "nassvrnet.h"

#include "clock/clock.h"

#include <algorithm>
#include <cstring>

void CNASSvrNet::ClearImageCache() {
    cachedServer_ = {};
    cachedCount_ = 0;
    std::memset(cachedImages_.data(), 0, cachedImages_.size() * sizeof(NasImgInfo));
    cacheTime_ = 0;
}

std::optional<std::vector<NasImgInfo>> CNASSvrNet::GetImageListCached(CNasServer* server,
                                                                      int& count, bool force) {
    const std::int64_t now = platform::UnixSeconds();
    // A clock set back since the cache was filled leaves the cache stale, not fresh for longer.
    const std::int64_t age = now - cacheTime_;
    auto copy = [this] {
        return std::vector<NasImgInfo>(cachedImages_.begin(), cachedImages_.begin() + cachedCount_);
    };
    if (!force && server && server->UnitHandle && server->UnitHandle == cachedServer_ &&
        cachedCount_ != 0 && age >= 0 && age <= kImageCacheSeconds) {
        count = cachedCount_;
        return copy();
    }

    ClearImageCache();
    cacheTime_ = now;
    count = 0;
    if (!server) return std::nullopt;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        int received = 0;
        if (server->GetImgList(received, cachedImages_.data()) != 0) {
            ClearImageCache();
            return std::nullopt;
        }
        if (received > 0 || attempt == 2) {
            cachedServer_ = server->UnitHandle;
            cachedCount_ = std::clamp(received, 0, kImageCacheMax);
            count = cachedCount_;
            return copy();
        }
    }
    return std::nullopt;
}
