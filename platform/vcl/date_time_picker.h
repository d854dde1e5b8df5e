// TDateTimePicker: a date (dtkDate) or time of day (dtkTime) chooser. Only a change by the user
// raises OnChange; setting the value by code does not, as in the original library.
#pragma once

#include "vcl/control.h"

namespace vcl {

enum TDateTimeKind { dtkDate, dtkTime };

// A local calendar date and time of day.
struct TDateTimeValue {
    int Year = 2000;
    int Month = 1;
    int Day = 1;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    bool operator==(const TDateTimeValue&) const = default;
};

// Whether the date exists in the Gregorian calendar (years 1..9999).
bool IsValidDate(int year, int month, int day);

class TDateTimePicker : public TWinControl {
public:
    explicit TDateTimePicker(TComponent* owner);
    ~TDateTimePicker() override;

    TDateTimeKind GetKind() const { return kind_; }
    void SetKind(TDateTimeKind kind);
    TDateTimeValue GetDateTime() const;
    // A date that does not exist (or a time out of range) is refused: false, nothing changes.
    bool SetDateTime(const TDateTimeValue& value);

    TNotifyEvent OnChange;

protected:
    bool ClicksOnRelease() const override { return false; }
    bool WantsKey(TKey key) const override;

private:
    TDateTimeKind kind_ = dtkDate;
    bool byCode_ = false;
};

} // namespace vcl
