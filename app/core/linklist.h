// TLinkList: a growable array of untyped pointers with a count, a current index and a capacity.
// It owns its array, never the objects pointed to. Grows by 16 slots, holds at most 65535 items.
// Bad arguments raise vcl::Exception("TLinkList: <operation's text>") and leave the list as it
// was.
#pragma once

#include <cstdint>

class TLinkList {
public:
    static constexpr int MaxCount = 65535;
    static constexpr int GrowBy = 16;
    // The log file (in the program folder) that a bad capacity request is written to.
    static constexpr const char* LogFileName = "BrimletLog.tmp";

    explicit TLinkList(int initialCapacity = 0);
    ~TLinkList();
    TLinkList(const TLinkList&) = delete;
    TLinkList& operator=(const TLinkList&) = delete;

    // Count 0, index -1; the array keeps its capacity.
    void Clear();
    // New slots above the count are null; grows the capacity when needed.
    int SetCount(int n);
    // -1 or an item position.
    int SetIndex(int i);
    // Reallocates to n slots. A capacity below the count or above 65535 is written to the log
    // file and refused.
    int SetCapacity(int n);
    void Grow();

    int Insert(int i, void* item);
    int Add(void* item);
    int Remove(int i);
    int IndexOf(const void* item) const;
    int RemoveItem(const void* item);
    int Move(int from, int to);

    // The item at i, which becomes the current index; null (and index -1) when i is no item.
    void* GetItem(int i);
    void* First();
    void* Last();

    int Count() const { return static_cast<int>(count_); }
    int Index() const { return index_; }
    int Capacity() const { return static_cast<int>(capacity_); }
    // The item at i without touching the current index; null when i is no item.
    void* Item(int i) const;

private:
    [[noreturn]] static void Fail(const char* text);

    std::uint32_t count_ = 0;
    std::int32_t index_ = -1;
    std::uint32_t capacity_ = 0;
    void** items_ = nullptr;
};
