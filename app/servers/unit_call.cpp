#include "unit_call.h"

#include "msgbox.h"

#include "vcl/application.h"
#include "vcl/screen.h"

namespace {

UnitWaitShow waitShow;
// The innermost command running on the GUI thread, or null; only the GUI thread uses it.
UnitCommand* currentCommand = nullptr;
std::size_t waitCount = 0; // GUI thread only

// Shows the wait for the life of the scope.
class WaitShown {
public:
    explicit WaitShown(const std::string& unitName) {
        if (waitShow) waitShow(ReplaceFirst("%s", unitName, GetMessageText(976)));
    }
    ~WaitShown() {
        if (waitShow) waitShow({});
    }
    WaitShown(const WaitShown&) = delete;
    WaitShown& operator=(const WaitShown&) = delete;

private:
    vcl::THourGlass hourglass_;
};

} // namespace

void SetUnitWaitShow(UnitWaitShow show) {
    waitShow = std::move(show);
}

UnitCommand::UnitCommand() : outer_(currentCommand), left_(kUnitCommandWait) {
    // A command inside another (a prompt's check inside an export) shares the outer one's time.
    if (outer_) left_ = outer_->left_;
    currentCommand = this;
}

UnitCommand::~UnitCommand() {
    if (outer_) outer_->left_ = left_;
    currentCommand = outer_;
}

bool UnitCallsWait() {
    return vcl::Application && vcl::Application->InGuiThread();
}

std::size_t UnitWaitCount() {
    return waitCount;
}

bool WaitForUnitCall(const std::string& unitName, std::function<void()> job) {
    ++waitCount;
    // Inside a command the call spends the command's time; outside any, it has a limit of its own.
    UnitCommand command;
    if (command.left_ <= std::chrono::steady_clock::duration::zero()) return false;
    const auto start = std::chrono::steady_clock::now();
    bool finished = false;
    {
        WaitShown shown(unitName);
        finished = RunBounded(std::move(job),
                              std::chrono::duration_cast<std::chrono::milliseconds>(command.left_));
    }
    command.left_ -= std::chrono::steady_clock::now() - start;
    return finished;
}
