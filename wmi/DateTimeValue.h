// A CIM datetime read from WMI's own text, a point in time or an interval, and shown readably without asking the
// machine: points in the viewer's local time, intervals in days, hours, minutes and seconds.
#pragma once

#include "core/String.h"

#include <functional>

namespace WMI
{

// A date and time of the (proleptic Gregorian) calendar, without a time zone.
struct CivilTime
{
    int year = 1;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The offset from UTC in minutes (east positive) of the viewer's clock at a moment given in UTC.
using UtcOffset = std::function<int(const CivilTime& utc)>;

// The offset of this machine's time zone at that moment, its daylight saving rules for the moment's year included
// (years outside 1601 to 30827, which Windows cannot convert, take the zone's standard offset).
int LocalUtcOffset(const CivilTime& utc);

// WMI's two datetime forms, read field by field:
//   point in time  yyyymmddHHMMSS.mmmmmmsUUU  (s is + or -, UUU the minutes the value's zone lies from UTC)
//   interval       ddddddddHHMMSS.mmmmmm:000
// A point may give any whole field as asterisks (a field not significant, or any value: ****0401...... is April the
// first of any year), the offset as ***, and the microseconds' last digits as asterisks (a lower precision); an
// interval may give fields as asterisks from its least significant end. Anything else, fields out of their range
// (month 13, 25 o'clock, 30 February) included, is malformed and is shown as WMI wrote it.
class DateTimeValue
{
public:
    enum Kind
    {
        Malformed,
        Point,
        Interval
    };
    // A field written as asterisks.
    static constexpr int Unknown = -1;

    explicit DateTimeValue(const Core::String& text);

    Kind GetKind() const { return m_kind; }
    // The text as WMI gave it.
    const Core::String& GetText() const { return m_text; }

    // The fields of a point; Unknown where asterisks stand.
    int GetYear() const { return m_year; }
    int GetMonth() const { return m_month; }
    int GetDay() const { return m_day; }
    // Of a point and of an interval.
    int GetHour() const { return m_hour; }
    int GetMinute() const { return m_minute; }
    int GetSecond() const { return m_second; }
    // The significant microsecond digits as a number of microseconds (125*** is 125000), and how many digits were
    // given (0 when all six are asterisks).
    int GetMicrosecond() const { return m_microsecond; }
    int GetMicrosecondDigits() const { return m_microsecondDigits; }
    // The minutes the value's zone lies east of UTC (-300 for -300); meaningless without HasOffset (+***).
    bool HasOffset() const { return m_hasOffset; }
    int GetOffsetMinutes() const { return m_offsetMinutes; }
    // The days of an interval (0 to 99999999); Unknown where asterisks stand.
    int GetDays() const { return m_days; }

    // Readable text. A point with every field from the year to the second and an offset: the moment in the viewer's
    // time, "2026-03-09 14:05:00" (a fraction of a second only when it is not zero: "14:05:00.5"). A point with
    // asterisks or without an offset cannot be moved to another zone and is shown in its own, the unknown fields as
    // asterisks and the date or the time left out when all their fields are unknown ("****-04-01",
    // "12:30:00 UTC+01:00"). An interval: "1 day, 13 hours, 23 minutes, 12 seconds", from its largest unit that is
    // not zero down to its least significant field ("0 seconds" for none). Malformed: the text as it is.
    Core::String Format(const UtcOffset& zone = LocalUtcOffset) const;

private:
    bool Read();
    bool ReadPoint();
    bool ReadInterval();
    bool ReadMicroseconds();
    Core::String FormatPoint(const UtcOffset& zone) const;
    Core::String FormatInOwnZone() const;
    Core::String FormatInterval() const;

    Core::String m_text;
    Kind m_kind = Malformed;
    int m_year = Unknown;
    int m_month = Unknown;
    int m_day = Unknown;
    int m_hour = Unknown;
    int m_minute = Unknown;
    int m_second = Unknown;
    int m_microsecond = 0;
    int m_microsecondDigits = 0;
    bool m_hasOffset = false;
    int m_offsetMinutes = 0;
    int m_days = Unknown;
};

// DateTimeValue(text).Format(zone): the readable form of a datetime text, or the text itself when it is not one.
Core::String FormatCimDateTime(const Core::String& text, const UtcOffset& zone = LocalUtcOffset);

} // namespace WMI
