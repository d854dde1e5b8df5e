#include "vcl/animate.h"

#include "detail/hooks.h"
#include "detail/image_list_data.h"
#include "vcl/image_list.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <algorithm>

namespace vcl {

using detail::Raise;

struct TAnimate::Impl {
    QTimer timer;
};

TAnimate::TAnimate(TComponent* owner)
    : TControl(owner, new detail::Hooked<QLabel>()), impl_(std::make_unique<Impl>()) {
    static_cast<QLabel*>(Widget())->setAlignment(Qt::AlignCenter);
    QObject::connect(&impl_->timer, &QTimer::timeout, Widget(), [this] { Tick(); });
    SetBounds(0, 0, 100, 80);
}

TAnimate::~TAnimate() {
    StopEvents();
    impl_->timer.stop();
}

int TAnimate::FrameCount() const {
    return frames_ ? frames_->Count() : 0;
}

void TAnimate::SetFrames(TImageList* frames) {
    if (active_) SetActive(false);
    frames_ = frames;
    SetFrame(0);
}

void TAnimate::SetInterval(int ms) {
    interval_ = std::max(10, ms);
    impl_->timer.setInterval(interval_);
}

void TAnimate::SetFrame(int frame) {
    auto* label = static_cast<QLabel*>(Widget());
    if (FrameCount() == 0) {
        frame_ = 0;
        label->clear();
        return;
    }
    frame_ = std::clamp(frame, 0, FrameCount() - 1);
    label->setPixmap(QPixmap::fromImage(frames_->Data().images[static_cast<size_t>(frame_)]));
}

void TAnimate::SetActive(bool active) {
    if (active && FrameCount() == 0) active = false;
    if (active == active_) return;
    active_ = active;
    if (active) {
        rounds_ = 0;
        SetFrame(0);
        impl_->timer.start(interval_);
        Raise(this, [this] {
            if (OnStart) OnStart(this);
        });
    } else {
        impl_->timer.stop();
        Raise(this, [this] {
            if (OnStop) OnStop(this);
        });
    }
}

void TAnimate::Tick() {
    if (!active_ || FrameCount() == 0) return;
    int next = frame_ + 1;
    if (next >= FrameCount()) {
        next = 0;
        if (repetitions_ > 0 && ++rounds_ >= repetitions_) {
            SetActive(false);
            return;
        }
    }
    SetFrame(next);
}

} // namespace vcl
