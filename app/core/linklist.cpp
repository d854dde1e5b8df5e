#include "linklist.h"

#include "paths/paths.h"
#include "vcl/exception.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

TLinkList::TLinkList(int initialCapacity) {
    Clear();
    SetCapacity(initialCapacity);
}

TLinkList::~TLinkList() {
    Clear();
    std::free(items_);
}

void TLinkList::Fail(const char* text) {
    throw vcl::Exception(std::string("TLinkList: ") + text);
}

void TLinkList::Clear() {
    SetCount(0);
    SetIndex(-1);
}

int TLinkList::SetCount(int n) {
    if (n < 0 || n > MaxCount) Fail("SetCount value error.");
    if (static_cast<std::uint32_t>(n) > capacity_) SetCapacity(n);
    if (static_cast<std::uint32_t>(n) > count_)
        std::memset(items_ + count_, 0, (static_cast<std::uint32_t>(n) - count_) * sizeof(void*));
    count_ = static_cast<std::uint32_t>(n);
    return n;
}

int TLinkList::SetIndex(int i) {
    if (i < -1 || i >= Count()) Fail("SetIndex index error.");
    index_ = i;
    return i;
}

int TLinkList::SetCapacity(int n) {
    if (n < Count() || n > MaxCount) {
        // The capacity a full list would grow to, or one that would cut off items: recorded and
        // refused, so that the array never holds fewer slots than items.
        if (std::FILE* log = std::fopen(platform::ProgramFilePath(LogFileName).c_str(), "w")) {
            std::fputs("SetCapacity value error\n", log);
            std::fclose(log);
        }
        Fail("SetCapacity value error.");
    }
    if (static_cast<std::uint32_t>(n) == capacity_) return n;
    if (n == 0) {
        std::free(items_);
        items_ = nullptr;
    } else {
        void* grown = std::realloc(items_, static_cast<size_t>(n) * sizeof(void*));
        if (!grown) Fail("SetCapacity allocate error."); // the old array stays as it was
        items_ = static_cast<void**>(grown);
        if (static_cast<std::uint32_t>(n) > capacity_)
            std::memset(items_ + capacity_, 0,
                        (static_cast<std::uint32_t>(n) - capacity_) * sizeof(void*));
    }
    capacity_ = static_cast<std::uint32_t>(n);
    return n;
}

void TLinkList::Grow() {
    // The last step up stops at the most items a list holds, so that it takes all 65,535; only a
    // list already that large asks for more, and is refused.
    const int capacity = Capacity();
    SetCapacity(capacity < MaxCount && capacity + GrowBy > MaxCount ? MaxCount : capacity + GrowBy);
}

int TLinkList::Insert(int i, void* item) {
    if (i < 0 || i > Count()) Fail("Insert index error.");
    if (count_ == capacity_) Grow();
    std::memmove(items_ + i + 1, items_ + i,
                 (count_ - static_cast<std::uint32_t>(i)) * sizeof(void*));
    items_[i] = item;
    ++count_;
    index_ = i;
    return i;
}

int TLinkList::Add(void* item) {
    return Insert(Count(), item);
}

int TLinkList::Remove(int i) {
    if (i < 0 || i >= Count()) Fail("Remove index error.");
    std::memmove(items_ + i, items_ + i + 1,
                 (count_ - static_cast<std::uint32_t>(i) - 1) * sizeof(void*));
    --count_;
    items_[count_] = nullptr;
    return i;
}

int TLinkList::IndexOf(const void* item) const {
    for (std::uint32_t i = 0; i < count_; ++i)
        if (items_[i] == item) return static_cast<int>(i);
    return -1;
}

int TLinkList::RemoveItem(const void* item) {
    int i = IndexOf(item);
    if (i >= 0) Remove(i);
    return i;
}

int TLinkList::Move(int from, int to) {
    if (from < 0 || from >= Count()) Fail("Move source index error.");
    if (to < 0 || to >= Count()) Fail("Move target index error.");
    if (from != to) {
        void* item = items_[from];
        Remove(from);
        Insert(to, item); // cannot grow: the removal left a free slot
    }
    return to;
}

void* TLinkList::GetItem(int i) {
    if (i < 0 || i >= Count()) {
        index_ = -1;
        return nullptr;
    }
    index_ = i;
    return items_[i];
}

void* TLinkList::First() {
    return count_ == 0 ? nullptr : GetItem(0);
}

void* TLinkList::Last() {
    return count_ == 0 ? nullptr : GetItem(Count() - 1);
}

void* TLinkList::Item(int i) const {
    if (i < 0 || i >= Count()) return nullptr;
    return items_[i];
}
