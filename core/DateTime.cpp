#include "core/DateTime.h"

#include "core/EnumValue.h"
#include "core/Exception.h"

#include <windows.h>

namespace Core
{

namespace
{

constexpr int DaysPer400Years = 146097;
constexpr int DaysPer100Years = 36524;
constexpr int DaysPer4Years = 1461;
constexpr int DaysPerYear = 365;
// Ticks from year 1 to 1601, the epoch of Windows file times.
constexpr int64_t FileTimeEpochTicks = 504911232000000000LL;

// Days before the first of each month; the thirteenth entry closes the year.
constexpr int CommonMonthStarts[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
constexpr int LeapMonthStarts[13] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

String TwoDigits(int value)
{
    String text;
    if (value < 10)
    {
        text += '0';
    }
    text += value;
    return text;
}

} // namespace

String Boolean::ToString() const
{
    return String(m_value ? L"True" : L"False");
}

DateTime::DateTime(int64_t ticks) : m_ticks(ticks)
{
    if (ticks < 0)
    {
        throw InvalidArgumentException(String(L"DateTime constructor: number of ticks has to be positive"));
    }
}

DateTime DateTime::Now()
{
    FILETIME fileTime;
    GetSystemTimeAsFileTime(&fileTime);
    int64_t sinceFileTimeEpoch =
        (static_cast<int64_t>(fileTime.dwHighDateTime) << 32) | static_cast<int64_t>(fileTime.dwLowDateTime);
    return DateTime(sinceFileTimeEpoch + FileTimeEpochTicks);
}

int DateTime::GetDatePart(int part) const
{
    int days = static_cast<int>(m_ticks / TicksPerDay);
    int cycles400 = days / DaysPer400Years;
    days -= cycles400 * DaysPer400Years;
    int cycles100 = days / DaysPer100Years;
    if (cycles100 == 4)
    {
        cycles100 = 3; // the last day of a 400-year cycle
    }
    days -= cycles100 * DaysPer100Years;
    int cycles4 = days / DaysPer4Years;
    days -= cycles4 * DaysPer4Years;
    int years = days / DaysPerYear;
    if (years == 4)
    {
        years = 3; // the last day of a leap year
    }
    if (part == Year)
    {
        return cycles400 * 400 + cycles100 * 100 + cycles4 * 4 + years + 1;
    }
    days -= years * DaysPerYear;
    if (part == DayOfYear)
    {
        return days + 1;
    }
    bool leap = years == 3 && (cycles4 != 24 || cycles100 == 3);
    const int* monthStarts = leap ? LeapMonthStarts : CommonMonthStarts;
    int month = 1;
    while (days >= monthStarts[month])
    {
        month++;
    }
    return part == Month ? month : days - monthStarts[month - 1] + 1;
}

String DateTime::ToString(const String& format) const
{
    if (!format.IsEmpty())
    {
        return String();
    }
    String text = TwoDigits(GetDatePart(Day));
    text += L'/';
    text += TwoDigits(GetDatePart(Month));
    text += L'/';
    int year = GetDatePart(Year);
    if (year < 10)
    {
        text += "000";
    }
    text += year;
    text += L' ';
    text += TwoDigits(static_cast<int>(m_ticks / TicksPerHour % 24));
    text += L':';
    text += TwoDigits(static_cast<int>(m_ticks / TicksPerMinute % 60));
    return text;
}

String DateTime::ToString() const
{
    return ToString(String());
}

} // namespace Core
