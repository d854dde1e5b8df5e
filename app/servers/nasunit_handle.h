// How a control holds a NAS unit: by a handle, never by pointer. The server list gives each
// object it makes a handle that is never given again in the run; the object keeps it while it is
// updated in place, retired and revived. A tree node, list row or combo item keeps the handle in
// its data slot (Data / FromData), a page or a window keeps it as a field, and each resolves it
// through CNASSvrNet::Share when it acts: that yields the unit while it is listed and nothing once
// it has left the lists, so a control can reach neither a freed object nor another unit's.
#pragma once

#include <cstdint>

class NasUnitHandle {
public:
    constexpr NasUnitHandle() = default;
    constexpr explicit NasUnitHandle(std::uint64_t value) : value_(value) {}

    // The handle a control keeps in a data slot; an empty slot gives an empty handle.
    static NasUnitHandle FromData(const void* data) {
        return NasUnitHandle(reinterpret_cast<std::uintptr_t>(data));
    }
    // The value a data slot keeps: an integer, never an address to follow.
    void* Data() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(value_)); }

    // Every handle the server list gives carries this bit: it equals no address and none of the
    // small numbers other controls keep in their data slots (drive letters, folder indexes).
    static constexpr std::uint64_t kTag = std::uint64_t{1} << 62;

    std::uint64_t Value() const { return value_; }
    explicit operator bool() const { return value_ != 0; }
    friend bool operator==(NasUnitHandle, NasUnitHandle) = default;

private:
    static_assert(sizeof(std::uintptr_t) >= sizeof(std::uint64_t), "a handle fits a data slot");
    std::uint64_t value_ = 0;
};
