// The list queries on a plain connection: image folders, image list, share list and CD drives.
// Each sends a bare request header and reads a 40-byte header that announces the records.
#include "call_deadline.h"
#include "nasapi.h"
#include "netconfig.h"
#include "packet_header.h"
#include "status_records.h"
#include "status_replies.h"
#include "transport.h"

#include <functional>
#include <vector>

namespace nas {

namespace {

struct ListQuery {
    size_t wireSize = 0;
    size_t cap = 0;           // records the caller's array holds
    bool readOnError = false; // records are read whatever the status
};

// Stores count wire records into the caller's array: the number stored.
using StoreRecords = std::function<size_t(const uint8_t* wire, size_t count)>;

ListResult ReadList(int fd, const ListQuery& query, const StoreRecords& store) {
    int ready = WaitReadable(fd);
    if (ready < 0) return {};
    if (ready == 0) return {NAS_RESULT_TIMEOUT, 0};

    uint8_t head[kExtendedHeaderSize];
    if (RecvLoop(fd, head, sizeof head) != static_cast<long>(sizeof head)) return {};
    PacketHeader header = *DecodeHeader(head, sizeof head);
    if (header.status != 0 && !query.readOnError) return {header.status, 0};

    size_t count = AnnouncedRecords(header.dataLength, query.wireSize, query.cap);
    std::vector<uint8_t> wire(count * query.wireSize);
    if (RecvRecords(fd, wire.data(), query.wireSize, count) != 0) return {};
    return {header.status, store(wire.data(), count)};
}

} // namespace

ListResult ReadImgFolders(int fd, char (*out)[NAS_IMG_FOLDER_SIZE]) {
    return ReadList(fd, {kImgFolderWireSize, NAS_IMG_FOLDER_MAX, false},
                    [out](const uint8_t* wire, size_t n) {
                        for (size_t i = 0; i < n; ++i)
                            DecodeImgFolder(wire + i * kImgFolderWireSize, out[i]);
                        return n;
                    });
}

ListResult ReadImgList(int fd, NasImgInfo* out) {
    return ReadList(fd, {kImgWireSize, NAS_IMG_INFO_MAX, false},
                    [out](const uint8_t* wire, size_t n) {
                        for (size_t i = 0; i < n; ++i)
                            DecodeImgInfo(wire + i * kImgWireSize, out[i]);
                        return n;
                    });
}

ListResult ReadShareList(int fd, NasShareInfo* out) {
    return ReadList(fd, {kShareWireSize, NAS_SHARE_INFO_MAX, false},
                    [out](const uint8_t* wire, size_t n) {
                        for (size_t i = 0; i < n; ++i)
                            DecodeShareInfo(wire + i * kShareWireSize, out[i]);
                        return n;
                    });
}

ListResult ReadCDDrvList(int fd, NasCDDrvInfo* out, int typeMask) {
    return ReadList(fd, {kCDDrvWireSize, NAS_CDDRV_INFO_MAX, true},
                    [out, typeMask](const uint8_t* wire, size_t n) {
                        return FilterCDDrives(wire, n, typeMask, out);
                    });
}

} // namespace nas

using namespace nas;

namespace {

// Connects and sends the bare request of a list; then read reads the reply.
template <class Read>
ListResult QueryList(const uint32_t addrs[3], uint16_t commandCode, Read read) {
    Socket connection;
    if (ConnectServer(addrs, connection) != 0) return {};
    uint8_t request[kHeaderSize];
    EncodeHeader(BuildCommandHeader(commandCode), request);
    if (SendLoop(connection.get(), request, sizeof request) != static_cast<long>(sizeof request))
        return {};
    return read(connection.get());
}

} // namespace

int NasApiGetImgFolders(const uint32_t addrs[3], int* count, char (*out)[128]) {
    CallDeadline deadline;
    if (count) *count = 0;
    if (!addrs || !count || !out) return -1;
    ListResult list =
        QueryList(addrs, command::kImgFolders, [out](int fd) { return ReadImgFolders(fd, out); });
    *count = static_cast<int>(list.stored);
    return list.result;
}

int NasApiGetImgList(const uint32_t addrs[3], unsigned* count, NasImgInfo* out) {
    CallDeadline deadline;
    if (count) *count = 0;
    if (!addrs || !count || !out) return -1;
    ListResult list =
        QueryList(addrs, command::kImgList, [out](int fd) { return ReadImgList(fd, out); });
    *count = static_cast<unsigned>(list.stored);
    return list.result;
}

int NasApiGetShareList(const uint32_t addrs[3], unsigned* count, NasShareInfo* out) {
    CallDeadline deadline;
    if (count) *count = 0;
    if (!addrs || !count || !out) return -1;
    ListResult list =
        QueryList(addrs, command::kShareList, [out](int fd) { return ReadShareList(fd, out); });
    *count = static_cast<unsigned>(list.stored);
    return list.result;
}

int NasApiGetCDDrvList(const uint32_t addrs[3], int* count, NasCDDrvInfo* out, int typeMask) {
    CallDeadline deadline;
    if (count) *count = 0;
    if (!addrs || !count || !out) return -1;
    ListResult list = QueryList(addrs, command::kCDDrvList, [out, typeMask](int fd) {
        return ReadCDDrvList(fd, out, typeMask);
    });
    *count = static_cast<int>(list.stored);
    return list.result;
}
