// A multiple-reader / single-writer lock with the nesting rules of the form library's original:
// a reader may take the read side again (even while a writer waits), the writer may take the read
// or the write side again, and a reader may ask for the write side (it gives up its reads while it
// waits and has them back once it writes).
#pragma once

#include "vcl/component.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace vcl {

class TMultiReadExclusiveWriteSynchronizer : public TObject {
public:
    void BeginRead();
    void EndRead();
    // True when no other thread took the write side between this call and the grant.
    bool BeginWrite();
    void EndWrite();

    // Diagnostics: threads waiting for the write side.
    int WaitingWriters() const;

private:
    bool OthersRead(std::thread::id self) const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::thread::id writer_{};
    int writeDepth_ = 0;
    int waitingWriters_ = 0;
    std::uint64_t revision_ = 0;
    std::unordered_map<std::thread::id, int> reads_;
};

} // namespace vcl
