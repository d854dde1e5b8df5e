#include "isobuild_sink_nas.h"

#include "nasserver.h"

#include <climits>

int NasServerImageSink::Start(const NasCDTable& table, NasMirrorInfo& request) {
    return server_.MirrorStart(&table, &request, 1);
}

int NasServerImageSink::Send(const std::uint8_t* data, std::size_t length) {
    if (length > static_cast<std::size_t>(INT_MAX)) return -1;
    return server_.SendCdData(data, static_cast<int>(length));
}

int NasServerImageSink::Complete() {
    return server_.MirrorComplete();
}

int NasServerImageSink::Abort(int reason) {
    return server_.MirrorAbort(reason);
}
