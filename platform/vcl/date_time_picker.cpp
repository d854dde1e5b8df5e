#include "vcl/date_time_picker.h"

#include "detail/hooks.h"

#include <QDateTimeEdit>

namespace vcl {

using detail::Raise;

namespace {
QDateTimeEdit* EditOf(const TDateTimePicker* p) {
    return static_cast<QDateTimeEdit*>(p->Widget());
}
} // namespace

bool IsValidDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

TDateTimePicker::TDateTimePicker(TComponent* owner)
    : TWinControl(owner, new detail::Hooked<QDateTimeEdit>()) {
    QDateTimeEdit* e = EditOf(this);
    e->setCalendarPopup(true);
    e->setDateTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)));
    SetKind(dtkDate);
    QObject::connect(e, &QDateTimeEdit::dateTimeChanged, e, [this] {
        if (byCode_) return;
        Raise(this, [this] {
            if (OnChange) OnChange(this);
        });
    });
    SetBounds(0, 0, 186, 21);
}

void TDateTimePicker::SetKind(TDateTimeKind kind) {
    kind_ = kind;
    EditOf(this)->setDisplayFormat(kind == dtkDate ? QStringLiteral("yyyy/MM/dd")
                                                   : QStringLiteral("HH:mm:ss"));
}

TDateTimeValue TDateTimePicker::GetDateTime() const {
    const QDateTime dt = EditOf(this)->dateTime();
    return {dt.date().year(), dt.date().month(),  dt.date().day(),
            dt.time().hour(), dt.time().minute(), dt.time().second()};
}

bool TDateTimePicker::SetDateTime(const TDateTimeValue& v) {
    if (!IsValidDate(v.Year, v.Month, v.Day) || v.Hour < 0 || v.Hour > 23 || v.Minute < 0 ||
        v.Minute > 59 || v.Second < 0 || v.Second > 59)
        return false;
    byCode_ = true;
    EditOf(this)->setDateTime(
        QDateTime(QDate(v.Year, v.Month, v.Day), QTime(v.Hour, v.Minute, v.Second)));
    byCode_ = false;
    return true;
}

bool TDateTimePicker::WantsKey(TKey key) const {
    return key == VK_UP || key == VK_DOWN;
}

TDateTimePicker::~TDateTimePicker() {
    StopEvents();
    // The widget outlives this part of the control: its signals must not reach it any more.
    QObject::disconnect(EditOf(this), nullptr, nullptr, nullptr);
}

} // namespace vcl
