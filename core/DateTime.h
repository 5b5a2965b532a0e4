// A point in time as 100-nanosecond ticks since 00:00 on 1 January of year 1 (proleptic Gregorian).
#pragma once

#include "core/Object.h"

#include <cstdint>

namespace Core
{

class String;

class DateTime : public Object
{
public:
    enum DatePart
    {
        Year = 0,
        DayOfYear = 1,
        Month = 2,
        Day = 3
    };

    static constexpr int64_t TicksPerMinute = 600000000LL;
    static constexpr int64_t TicksPerHour = 36000000000LL;
    static constexpr int64_t TicksPerDay = 864000000000LL;

    explicit DateTime(int64_t ticks);

    // The current system time in UTC; no conversion to local time.
    static DateTime Now();

    int64_t GetTicks() const { return m_ticks; }
    int GetDatePart(int part) const;

    // "dd/MM/yyyy HH:mm" for the empty format (years below 10 padded to four digits); any other
    // format gives the empty string.
    String ToString(const String& format) const;
    String ToString() const override;

private:
    int64_t m_ticks;
};

} // namespace Core
