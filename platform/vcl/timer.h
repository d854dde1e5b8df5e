// A timer that raises OnTimer on the GUI thread every Interval milliseconds while Enabled.
#pragma once

#include "vcl/component.h"
#include "vcl/events.h"

#include <memory>

namespace vcl {

class TTimer : public TComponent {
public:
    // Enabled, Interval 1000, no handler. Made and used on the GUI thread.
    explicit TTimer(TComponent* owner);
    ~TTimer() override;

    bool GetEnabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    unsigned GetInterval() const { return interval_; }
    // Restarts the period; 0 stops the timer.
    void SetInterval(unsigned milliseconds);

    // Raised when the period has passed, if assigned; what it throws goes to the application.
    TNotifyEvent OnTimer;

private:
    void Update();
    void Fire();

    struct Impl;
    std::unique_ptr<Impl> impl_;
    bool enabled_ = true;
    unsigned interval_ = 1000;
};

} // namespace vcl
