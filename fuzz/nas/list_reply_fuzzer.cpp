// Feeds arbitrary bytes, as a unit's answer to a list request, to the readers of the image-folder,
// image, share and CD drive lists. The first byte picks the list (and for drives the type mask);
// the rest is the stream the unit sends before it closes.
#include "nasapi.h"
#include "query_fuzz_support.h"
#include "status_replies.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Stored texts end inside their field.
void CheckTerminated(const char* field, size_t width) {
    if (strnlen(field, width) == width) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    nasfuzz::UseShortQueryWaits();
    int fd = nasfuzz::StreamOf(data + 1, size - 1);
    if (fd < 0) return 0;
    static std::vector<NasImgInfo> images(NAS_IMG_INFO_MAX);
    static std::vector<NasShareInfo> shares(NAS_SHARE_INFO_MAX);
    static std::vector<NasCDDrvInfo> drives(NAS_CDDRV_INFO_MAX);
    static std::vector<char> folders(NAS_IMG_FOLDER_MAX * NAS_IMG_FOLDER_SIZE);

    nas::ListResult list;
    size_t cap = 0;
    switch (data[0] % 4) {
    case 0:
        list =
            nas::ReadImgFolders(fd, reinterpret_cast<char(*)[NAS_IMG_FOLDER_SIZE]>(folders.data()));
        cap = NAS_IMG_FOLDER_MAX;
        for (size_t i = 0; i < list.stored && i <= cap; ++i)
            CheckTerminated(&folders[i * NAS_IMG_FOLDER_SIZE], NAS_IMG_FOLDER_SIZE);
        break;
    case 1:
        list = nas::ReadImgList(fd, images.data());
        cap = NAS_IMG_INFO_MAX;
        for (size_t i = 0; i < list.stored && i <= cap; ++i) {
            CheckTerminated(images[i].name, sizeof images[i].name);
            CheckTerminated(images[i].text42, sizeof images[i].text42);
            CheckTerminated(images[i].path, sizeof images[i].path);
        }
        break;
    case 2:
        list = nas::ReadShareList(fd, shares.data());
        cap = NAS_SHARE_INFO_MAX;
        for (size_t i = 0; i < list.stored && i <= cap; ++i) {
            CheckTerminated(shares[i].name, sizeof shares[i].name);
            CheckTerminated(shares[i].text96, sizeof shares[i].text96);
        }
        break;
    default: {
        // Masks 0..63 and 255, negative ones included by the sign of the byte.
        int mask = static_cast<int8_t>(data[0]) / 4;
        list = nas::ReadCDDrvList(fd, drives.data(), mask);
        cap = NAS_CDDRV_INFO_MAX;
        for (size_t i = 0; i < list.stored && i <= cap; ++i)
            CheckTerminated(drives[i].name, sizeof drives[i].name);
        break;
    }
    }
    if (list.stored > cap) std::abort();
    ::close(fd);
    return 0;
}
