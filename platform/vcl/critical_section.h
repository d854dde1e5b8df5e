// A re-entrant critical section: the thread that holds it may enter it again.
#pragma once

#include "vcl/component.h"

#include <mutex>

namespace vcl {

class TCriticalSection : public TObject {
public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

    // Lockable, for std::lock_guard and std::unique_lock.
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex mutex_;
};

} // namespace vcl
