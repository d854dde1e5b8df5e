// What every container read from outside must satisfy: a consistent tree (every counter as its
// entries make it, no entry deeper than the limit, only names a file may hold, no two names of a
// folder the same but for letter case). Aborts otherwise.
#pragma once

#include "container.h"
#include "container_names.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace cisfuzz {

using Record = _CDH_CIS_RECORD_;

struct Sums {
    std::uint32_t folders = 0, files = 0;
    std::uint64_t size = 0, allocated = 0;
};

inline void Require(bool condition) {
    if (!condition) std::abort();
}

inline Sums Check(const Record* folder, int depth) {
    Require(depth <= kCisMaxDepth);
    Sums s;
    std::uint32_t subFolders = 0, files = 0;
    std::set<std::string> names;
    if (const Record* first = folder->firstChild) {
        const Record* c = first;
        do {
            Require(c->parent == folder && c->next->prev == c);
            Require(IsLoadableCisName(c->name));
            Require(names.insert(UpperCaseName(c->name)).second);
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

} // namespace cisfuzz
