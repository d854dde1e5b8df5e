// Feeds arbitrary bytes, as the data of a unit's reply to a mirror start, to the code that takes
// the unit's image name and reply word into the caller's record.
#include "session_requests.h"

#include <array>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The library always reads exactly the reply's fixed size; shorter inputs are padded.
    std::array<uint8_t, nas::kMirrorReplySize> reply{};
    std::memcpy(reply.data(), data, std::min(size, reply.size()));
    NasMirrorInfo info;
    std::memset(&info, 0xA5, sizeof info);
    NasMirrorInfo before = info;
    nas::ApplyMirrorReply(info, reply.data());
    if (std::memchr(info.imageName, 0, sizeof info.imageName) == nullptr) std::abort();
    // Nothing but the name and the reply word changes.
    std::memcpy(before.imageName, info.imageName, sizeof info.imageName);
    before.replyWord = info.replyWord;
    if (std::memcmp(&before, &info, sizeof info) != 0) std::abort();
    return 0;
}
