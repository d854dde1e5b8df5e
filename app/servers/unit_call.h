// Library calls on one unit made for a command the user started. Off the GUI thread (a task's
// worker, a background reader) they run where they are called. On the GUI thread each runs on a
// worker of its own (RunBounded) while the window shows that it waits for the unit (wait cursor,
// status text), and the GUI thread waits at most kUnitCommandWait in all for one command: a unit
// that accepts and never answers, or trickles, holds the window no longer than that. A call given
// up answers as the library does on a time-out, and its late answer is dropped.
#pragma once

#include "bounded_call.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>

// The longest time one command of the user waits on the GUI thread for its unit, all its calls
// together.
inline constexpr std::chrono::milliseconds kUnitCommandWait{30000};

// Shows text on the window while the GUI thread waits for a unit; an empty text takes it away.
// The main window sets it; nothing is shown while none is set.
using UnitWaitShow = std::function<void(const std::string& text)>;
void SetUnitWaitShow(UnitWaitShow show);

// One command of the user: the unit calls made on the GUI thread while it lives share one time
// limit of kUnitCommandWait. A call outside any command has a limit of its own.
class UnitCommand {
public:
    UnitCommand();
    ~UnitCommand();
    UnitCommand(const UnitCommand&) = delete;
    UnitCommand& operator=(const UnitCommand&) = delete;

private:
    UnitCommand* outer_;
    std::chrono::steady_clock::duration left_;
    friend bool WaitForUnitCall(const std::string&, std::function<void()>);
};

// Runs job on a worker and waits for it within the command's time, showing that the window waits
// for the unit named unitName; true when job finished. job must own what it touches.
bool WaitForUnitCall(const std::string& unitName, std::function<void()> job);
// True on the GUI thread, where unit calls go through WaitForUnitCall.
bool UnitCallsWait();
// How many times the GUI thread has waited for a unit call so far in the run.
std::size_t UnitWaitCount();

// Runs call (a library call on the unit named unitName, owning what it touches) as above and
// returns its result; gaveUp when the wait was given up.
template <class Call>
auto RunUnitCall(const std::string& unitName, Call call, decltype(call()) gaveUp) {
    using Result = decltype(call());
    if (!UnitCallsWait()) return call();
    auto result = std::make_shared<Result>(gaveUp);
    if (!WaitForUnitCall(unitName,
                         [result, call = std::move(call)]() mutable { *result = call(); }))
        return gaveUp;
    return *result;
}
