// The folder list the image builder lays out: folders numbered in sorted pre-order and listed in
// path-table order (level, then parent number, then name), derived from the container itself.
#include "container.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

using Record = _CDH_CIS_RECORD_;

bool NameLess(const Record* a, const Record* b) {
    return MIRROR_CONTAINER::CompareByName(a, b) < 0;
}

} // namespace

int MIRROR_CONTAINER::CompareByName(const Record* a, const Record* b) {
    static const std::string empty;
    const std::string& x = a != nullptr ? a->name : empty;
    const std::string& y = b != nullptr ? b->name : empty;
    const int c = x.compare(y); // compares the bytes unsigned
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int MIRROR_CONTAINER::CompareForPathTable(const Record* a, const Record* b) {
    if (a->level != b->level) return a->level < b->level ? -1 : 1;
    if (a->parent != nullptr && b->parent != nullptr) {
        if (a->parent != b->parent) {
            const auto x = a->parent->directoryNumber, y = b->parent->directoryNumber;
            return x < y ? -1 : (x > y ? 1 : 0);
        }
        return CompareByName(a, b);
    }
    if (a->parent == nullptr && b->parent != nullptr) return 1;
    if (a->parent != nullptr && b->parent == nullptr) return -1;
    return 0;
}

int MIRROR_CONTAINER::NumberDirectories(Record* folder, std::uint32_t& counter) {
    if (folder == nullptr || !folder->IsLive() || !folder->IsFolder()) return 0;
    folder->directoryNumber = static_cast<std::uint16_t>(++counter);
    Record* first = folder->firstChild;
    if (first == nullptr) return 0;
    std::vector<Record*> children;
    try {
        children.reserve(folder->subFolders + folder->files);
    } catch (const std::bad_alloc&) {
        return 2;
    }
    Record* c = first;
    do {
        children.push_back(c);
        c = c->next;
    } while (c != first);
    if (children.size() > 1) {
        std::stable_sort(children.begin(), children.end(), NameLess);
        const std::size_t n = children.size();
        for (std::size_t i = 0; i < n; ++i) {
            children[i]->next = children[(i + 1) % n];
            children[i]->prev = children[(i + n - 1) % n];
        }
        folder->firstChild = children.front();
    }
    for (Record* child : children)
        if (child->IsFolder())
            if (const int code = NumberDirectories(child, counter); code != 0) return code;
    return 0;
}

bool MIRROR_CONTAINER::AllocPathTable(CisFolderList& list) const {
    if (root_ == nullptr) return false;
    try {
        list.assign(std::size_t{root_->totalFolders} + 1, nullptr);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::size_t MIRROR_CONTAINER::PathTableSize() const {
    return root_ == nullptr ? 0 : (std::size_t{root_->totalFolders} + 1) * sizeof(Record*);
}

std::size_t MIRROR_CONTAINER::FillPathTable(CisFolderList& list) {
    list.clear();
    if (root_ == nullptr) return 0;
    root_->level = 0;
    std::vector<Record*> stack{root_};
    while (!stack.empty()) {
        Record* folder = stack.back();
        stack.pop_back();
        list.push_back(folder);
        std::vector<Record*> subFolders;
        if (Record* first = folder->firstChild) {
            Record* c = first;
            do {
                if (c->IsFolder()) {
                    c->level = static_cast<std::uint16_t>(folder->level + 1);
                    subFolders.push_back(c);
                }
                c = c->next;
            } while (c != first);
        }
        stack.insert(stack.end(), subFolders.rbegin(), subFolders.rend());
    }
    std::stable_sort(list.begin(), list.end(), [](const Record* a, const Record* b) {
        return CompareForPathTable(a, b) < 0;
    });
    return list.size();
}
