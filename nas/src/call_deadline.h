// The total time one exported call may take. The waits of the transport are each bounded, but a
// peer that trickles a byte now and then would keep a loop of bounded waits going without end:
// every exported call that talks to a unit opens a CallDeadline, and every wait and transfer loop
// beneath it ends once the call's time (NetConfig::callDeadlineMs) is spent.
#pragma once

namespace nas {

// Starts the deadline of the calling thread's exported call, unless one is running already (an
// export called from another keeps the outer call's deadline); ends it on destruction. The
// configuration's call observer hears of the outer call, by the name of the function that opens
// the deadline.
class CallDeadline {
public:
    explicit CallDeadline(const char* call = __builtin_FUNCTION());
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

private:
    bool owner_ = false;
};

// Milliseconds left of the running call, or -1 when no deadline runs on this thread.
int CallMillisecondsLeft();
// True when a deadline runs on this thread and is spent.
bool CallDeadlinePassed();
// A wait of timeoutMs shortened to what is left of the running call.
int WithinCallDeadline(int timeoutMs);

} // namespace nas
