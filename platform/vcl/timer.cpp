#include "vcl/timer.h"

#include "vcl/application.h"

#include <QObject>
#include <QTimer>

#include <climits>

namespace vcl {

struct TTimer::Impl {
    QTimer timer;
};

TTimer::TTimer(TComponent* owner) : TComponent(owner), impl_(std::make_unique<Impl>()) {
    QObject::connect(&impl_->timer, &QTimer::timeout, [this] { Fire(); });
    Update();
}

TTimer::~TTimer() {
    impl_->timer.stop();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Update();
}

void TTimer::SetInterval(unsigned milliseconds) {
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    Update();
}

void TTimer::Update() {
    impl_->timer.stop();
    if (enabled_ && interval_ > 0)
        impl_->timer.start(static_cast<int>(std::min<unsigned>(interval_, INT_MAX)));
}

void TTimer::Fire() {
    Guarded(this, [this] {
        if (OnTimer) OnTimer(this);
    });
}

} // namespace vcl
