#include "wmi/DateTimeValue.h"

#include <cstdint>
#include <cwchar>
#include <windows.h>

using Core::String;

namespace WMI
{

namespace
{

constexpr int TextLength = 25;
constexpr int64_t MinutesPerDay = 24 * 60;

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days since 1 January 1970 of a date of the proleptic Gregorian calendar (year 0 is 1 BC); the inverse below.
int64_t DaysFromCivil(int64_t year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilTime CivilFromMinutes(int64_t minutes)
{
    int64_t days = minutes >= 0 ? minutes / MinutesPerDay : -((-minutes + MinutesPerDay - 1) / MinutesPerDay);
    int64_t inDay = minutes - days * MinutesPerDay;
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    CivilTime civil;
    civil.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    civil.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    civil.year = static_cast<int>(yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0));
    civil.hour = static_cast<int>(inDay / 60);
    civil.minute = static_cast<int>(inDay % 60);
    return civil;
}

int64_t MinutesOf(const CivilTime& time)
{
    return DaysFromCivil(time.year, time.month, time.day) * MinutesPerDay + time.hour * 60 + time.minute;
}

// Digits from the field's start: the number, Unknown for a field of asterisks only, false for anything else.
bool Field(const String& text, int start, int length, int& value)
{
    bool asterisks = true;
    bool digits = true;
    int number = 0;
    for (int i = start; i < start + length; i++)
    {
        wchar_t unit = text[i];
        asterisks = asterisks && unit == L'*';
        digits = digits && unit >= L'0' && unit <= L'9';
        number = number * 10 + (unit - L'0');
    }
    if (!asterisks && !digits)
    {
        return false;
    }
    value = asterisks ? DateTimeValue::Unknown : number;
    return true;
}

bool InRange(int value, int low, int high)
{
    return value == DateTimeValue::Unknown || (value >= low && value <= high);
}

String Padded(int value, int width)
{
    wchar_t text[16];
    swprintf(text, 16, L"%0*d", width, value);
    return String(text);
}

String PaddedOrUnknown(int value, int width)
{
    return value == DateTimeValue::Unknown ? String(L'*', width) : Padded(value, width);
}

} // namespace

int LocalUtcOffset(const CivilTime& utc)
{
    if (utc.year >= 1601 && utc.year <= 30827)
    {
        SYSTEMTIME universal{};
        universal.wYear = static_cast<WORD>(utc.year);
        universal.wMonth = static_cast<WORD>(utc.month);
        universal.wDay = static_cast<WORD>(utc.day);
        universal.wHour = static_cast<WORD>(utc.hour);
        universal.wMinute = static_cast<WORD>(utc.minute);
        universal.wSecond = static_cast<WORD>(utc.second);
        SYSTEMTIME local{};
        if (SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        {
            CivilTime shown{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, 0};
            CivilTime given = utc;
            given.second = 0;
            return static_cast<int>(MinutesOf(shown) - MinutesOf(given));
        }
    }
    TIME_ZONE_INFORMATION zone{};
    GetTimeZoneInformation(&zone);
    return -static_cast<int>(zone.Bias + zone.StandardBias);
}

DateTimeValue::DateTimeValue(const String& text) : m_text(text)
{
    if (!Read())
    {
        m_kind = Malformed;
        m_year = m_month = m_day = m_hour = m_minute = m_second = m_days = Unknown;
        m_microsecond = m_microsecondDigits = 0;
        m_hasOffset = false;
        m_offsetMinutes = 0;
    }
}

bool DateTimeValue::Read()
{
    if (m_text.GetLength() != TextLength || m_text[14] != L'.')
    {
        return false;
    }
    if (!Field(m_text, 8, 2, m_hour) || !Field(m_text, 10, 2, m_minute) || !Field(m_text, 12, 2, m_second) ||
        !ReadMicroseconds() || !InRange(m_hour, 0, 23) || !InRange(m_minute, 0, 59) || !InRange(m_second, 0, 59))
    {
        return false;
    }
    if (m_text[21] == L':')
    {
        m_kind = Interval;
        return ReadInterval();
    }
    if (m_text[21] == L'+' || m_text[21] == L'-')
    {
        m_kind = Point;
        return ReadPoint();
    }
    return false;
}

// mmmmmm: digits, then asterisks for the digits beyond the value's precision.
bool DateTimeValue::ReadMicroseconds()
{
    int digits = 0;
    while (digits < 6 && m_text[15 + digits] >= L'0' && m_text[15 + digits] <= L'9')
    {
        digits++;
    }
    for (int i = digits; i < 6; i++)
    {
        if (m_text[15 + i] != L'*')
        {
            return false;
        }
    }
    int value = 0;
    for (int i = 0; i < 6; i++)
    {
        value = value * 10 + (i < digits ? m_text[15 + i] - L'0' : 0);
    }
    m_microsecond = value;
    m_microsecondDigits = digits;
    return true;
}

bool DateTimeValue::ReadPoint()
{
    if (!Field(m_text, 0, 4, m_year) || !Field(m_text, 4, 2, m_month) || !Field(m_text, 6, 2, m_day) ||
        !InRange(m_month, 1, 12) || !InRange(m_day, 1, 31))
    {
        return false;
    }
    // A day the month does not have; with the year unknown, 29 February may be in a leap year.
    if (m_month != Unknown && m_day != Unknown && m_day > DaysInMonth(m_year == Unknown ? 2000 : m_year, m_month))
    {
        return false;
    }
    int offset = 0;
    if (!Field(m_text, 22, 3, offset))
    {
        return false;
    }
    m_hasOffset = offset != Unknown;
    m_offsetMinutes = m_hasOffset ? (m_text[21] == L'-' ? -offset : offset) : 0;
    return true;
}

bool DateTimeValue::ReadInterval()
{
    if (!Field(m_text, 0, 8, m_days) || m_text.Substring(22, 3) != String(L"000"))
    {
        return false;
    }
    // Asterisks stand for the least significant fields only: none may follow a field of them with digits.
    const int fields[] = {m_days, m_hour, m_minute, m_second, m_microsecondDigits > 0 ? 0 : Unknown};
    bool unknownSeen = false;
    for (int i = 0; i < 5; i++)
    {
        if (unknownSeen && fields[i] != Unknown)
        {
            return false;
        }
        unknownSeen = unknownSeen || fields[i] == Unknown;
    }
    return true;
}

String DateTimeValue::Format(const UtcOffset& zone) const
{
    switch (m_kind)
    {
    case Point:
        return FormatPoint(zone);
    case Interval:
        return FormatInterval();
    default:
        return m_text;
    }
}

namespace
{

// ".5" for 500000 microseconds, nothing for none; only the digits given count.
String Fraction(int microsecond, int digits)
{
    if (digits == 0 || microsecond == 0)
    {
        return String();
    }
    String text = Padded(microsecond, 6).Substring(0, digits);
    int length = text.GetLength();
    while (length > 0 && text[length - 1] == L'0')
    {
        length--;
    }
    return length == 0 ? String() : String(L".") + text.Substring(0, length);
}

} // namespace

String DateTimeValue::FormatPoint(const UtcOffset& zone) const
{
    if (m_year == Unknown || m_month == Unknown || m_day == Unknown || m_hour == Unknown || m_minute == Unknown ||
        m_second == Unknown || !m_hasOffset)
    {
        return FormatInOwnZone();
    }
    CivilTime given{m_year, m_month, m_day, m_hour, m_minute, m_second};
    int64_t utcMinutes = MinutesOf(given) - m_offsetMinutes;
    CivilTime utc = CivilFromMinutes(utcMinutes);
    utc.second = m_second;
    CivilTime local = CivilFromMinutes(utcMinutes + (zone ? zone(utc) : 0));
    if (local.year < 1 || local.year > 9999)
    {
        return FormatInOwnZone();
    }
    return Padded(local.year, 4) + L"-" + Padded(local.month, 2) + L"-" + Padded(local.day, 2) + L" " +
           Padded(local.hour, 2) + L":" + Padded(local.minute, 2) + L":" + Padded(m_second, 2) +
           Fraction(m_microsecond, m_microsecondDigits);
}

String DateTimeValue::FormatInOwnZone() const
{
    String date;
    if (m_year != Unknown || m_month != Unknown || m_day != Unknown)
    {
        date = PaddedOrUnknown(m_year, 4) + L"-" + PaddedOrUnknown(m_month, 2) + L"-" + PaddedOrUnknown(m_day, 2);
    }
    String time;
    if (m_hour != Unknown || m_minute != Unknown || m_second != Unknown)
    {
        time = PaddedOrUnknown(m_hour, 2) + L":" + PaddedOrUnknown(m_minute, 2) + L":" + PaddedOrUnknown(m_second, 2);
        if (m_second != Unknown)
        {
            time += Fraction(m_microsecond, m_microsecondDigits);
        }
    }
    if (date.IsEmpty() && time.IsEmpty())
    {
        return m_text;
    }
    String text = date;
    if (!time.IsEmpty())
    {
        text += date.IsEmpty() ? time : String(L" ") + time;
    }
    if (m_hasOffset)
    {
        int offset = m_offsetMinutes < 0 ? -m_offsetMinutes : m_offsetMinutes;
        text +=
            String(m_offsetMinutes < 0 ? L" UTC-" : L" UTC+") + Padded(offset / 60, 2) + L":" + Padded(offset % 60, 2);
    }
    return text;
}

String DateTimeValue::FormatInterval() const
{
    const int values[] = {m_days, m_hour, m_minute, m_second};
    const wchar_t* const singular[] = {L" day", L" hour", L" minute", L" second"};
    const wchar_t* const plural[] = {L" days", L" hours", L" minutes", L" seconds"};
    int last = 3;
    while (last >= 0 && values[last] == Unknown)
    {
        last--;
    }
    if (last < 0)
    {
        return m_text;
    }
    int first = 0;
    while (first < last && values[first] == 0)
    {
        first++;
    }
    String text;
    for (int i = first; i <= last; i++)
    {
        String fraction = i == 3 ? Fraction(m_microsecond, m_microsecondDigits) : String();
        if (i > first)
        {
            text += L", ";
        }
        text += values[i];
        text += fraction;
        text += values[i] == 1 && fraction.IsEmpty() ? singular[i] : plural[i];
    }
    return text;
}

String FormatCimDateTime(const String& text, const UtcOffset& zone)
{
    return DateTimeValue(text).Format(zone);
}

} // namespace WMI
