// ".CIS" container files from outside: any bytes are read as a container file. A file that loads
// must give a consistent tree (every counter as its entries make it, no entry deeper than the
// limit, only valid names) that writes out and reads back to the same bytes.
#include "container.h"
#include "container_names.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using Record = _CDH_CIS_RECORD_;

struct Sums {
    std::uint32_t folders = 0, files = 0;
    std::uint64_t size = 0, allocated = 0;
};

void Require(bool condition) {
    if (!condition) std::abort();
}

Sums Check(const Record* folder, int depth) {
    Require(depth <= kCisMaxDepth);
    Sums s;
    std::uint32_t subFolders = 0, files = 0;
    if (const Record* first = folder->firstChild) {
        const Record* c = first;
        do {
            Require(c->parent == folder && c->next->prev == c);
            Require(IsValidCisFileName(c->name));
            if (c->IsFolder()) {
                const Sums sub = Check(c, depth + 1);
                ++subFolders;
                s.folders += 1 + sub.folders;
                s.files += sub.files;
                s.size += sub.size;
                s.allocated += sub.allocated;
            } else {
                Require(c->firstChild == nullptr && c->allocated == CisAllocatedSize(c->size));
                ++files;
                ++s.files;
                s.size += c->size;
                s.allocated += c->allocated;
            }
            c = c->next;
        } while (c != first);
    }
    Require(folder->subFolders == subFolders && folder->files == files);
    Require(folder->totalFolders == s.folders && folder->totalFiles == s.files);
    Require(folder->size == s.size && folder->allocated == s.allocated);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MIRROR_CONTAINER container;
    if (container.LoadFromBytes(data, size, "/fuzz/input.CIS") != 0) {
        Require(container.GetRoot() == nullptr);
        return 0;
    }
    Check(container.GetRoot(), 0);
    std::vector<std::uint8_t> once, twice;
    Require(container.SaveToBytes("/fuzz/input.CIS", once));
    MIRROR_CONTAINER again;
    Require(again.LoadFromBytes(once.data(), once.size(), "/fuzz/input.CIS") == 0);
    Require(again.SaveToBytes("/fuzz/input.CIS", twice) && twice == once);
    return 0;
}
