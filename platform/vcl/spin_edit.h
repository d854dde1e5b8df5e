// TCSpinEdit: a whole-number edit with up and down buttons, kept within MinValue..MaxValue.
// OnChange follows every change of Value, by the user or by code, as the edit it is in the
// original library does.
#pragma once

#include "vcl/control.h"

namespace vcl {

class TCSpinEdit : public TWinControl {
public:
    explicit TCSpinEdit(TComponent* owner);
    ~TCSpinEdit() override;

    int GetMinValue() const { return min_; }
    void SetMinValue(int min);
    int GetMaxValue() const { return max_; }
    void SetMaxValue(int max);
    // Values outside the range are held at its ends.
    int GetValue() const { return value_; }
    void SetValue(int value);
    int GetIncrement() const { return increment_; }
    void SetIncrement(int increment);

    TNotifyEvent OnChange;

protected:
    bool ClicksOnRelease() const override { return false; }
    bool WantsKey(TKey key) const override;
    void ColorChanged() override;

private:
    void ApplyRange();
    void ValueChanged(int value);

    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    int increment_ = 1;
};

} // namespace vcl
