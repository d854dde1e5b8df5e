// TAnimate: plays the images of an image list one after the other, as a small animation (the
// "please wait" pictures). Active starts and stops it; OnStart and OnStop follow.
#pragma once

#include "vcl/control.h"

#include <memory>

namespace vcl {

class TImageList;

class TAnimate : public TControl {
public:
    explicit TAnimate(TComponent* owner);
    ~TAnimate() override;

    // The frames; not owned. Null stops the animation and shows nothing.
    void SetFrames(TImageList* frames);
    TImageList* GetFrames() const { return frames_; }
    int FrameCount() const;
    // Milliseconds per frame.
    int GetInterval() const { return interval_; }
    void SetInterval(int ms);
    // 0 plays for ever; else the number of rounds before the animation stops on its own.
    int GetRepetitions() const { return repetitions_; }
    void SetRepetitions(int count) { repetitions_ = count; }
    bool GetActive() const { return active_; }
    void SetActive(bool active);
    void Play() { SetActive(true); }
    void Stop() { SetActive(false); }
    // The frame shown.
    int GetFrame() const { return frame_; }
    void SetFrame(int frame);

    TNotifyEvent OnStart;
    TNotifyEvent OnStop;

private:
    friend struct AnimateAccess;
    void Tick();

    struct Impl;
    std::unique_ptr<Impl> impl_;
    TImageList* frames_ = nullptr;
    int interval_ = 100;
    int repetitions_ = 0;
    int rounds_ = 0;
    bool active_ = false;
    int frame_ = 0;
};

} // namespace vcl
