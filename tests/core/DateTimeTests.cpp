#include "core/DateTime.h"

#include "core/EnumValue.h"
#include "core/Exception.h"

#include <gtest/gtest.h>
#include <windows.h>

using Core::DateTime;

namespace
{

std::wstring Text(int64_t ticks)
{
    return DateTime(ticks).ToString().GetBuffer();
}

constexpr int64_t March9th2026At1405 = 639086619000000000LL;

} // namespace

TEST(DateTime, TextOfTheFirstTickPadsTheOneDigitYear)
{
    EXPECT_EQ(L"01/01/0001 00:00", Text(0));
}

TEST(DateTime, TextIsDayFirstWithTwoDigitFields)
{
    EXPECT_EQ(L"09/03/2026 14:05", Text(March9th2026At1405));
}

TEST(DateTime, SecondsAreDroppedWithoutRounding)
{
    EXPECT_EQ(L"09/03/2026 23:59", Text(639086975990000000LL));
}

TEST(DateTime, YearsOfTwoOrThreeDigitsAreNotPadded)
{
    EXPECT_EQ(L"31/12/12 00:00", Text(3786048000000000LL));
    // 122 years after year 1, with 29 leap days (100 is a century without one).
    int64_t year123 = (122LL * 365 + 29) * DateTime::TicksPerDay;
    EXPECT_EQ(L"01/01/123 00:00", Text(year123));
}

TEST(DateTime, DatePartsAcrossLeapYearRules)
{
    DateTime leapDay(630873792000000000LL); // 29 February 2000: a 400-year leap year
    EXPECT_EQ(2000, leapDay.GetDatePart(DateTime::Year));
    EXPECT_EQ(2, leapDay.GetDatePart(DateTime::Month));
    EXPECT_EQ(29, leapDay.GetDatePart(DateTime::Day));
    EXPECT_EQ(60, leapDay.GetDatePart(DateTime::DayOfYear));

    DateTime notLeap(599317056000000000LL); // 1 March 1900: a century without leap day
    EXPECT_EQ(3, notLeap.GetDatePart(DateTime::Month));
    EXPECT_EQ(1, notLeap.GetDatePart(DateTime::Day));
    EXPECT_EQ(60, notLeap.GetDatePart(DateTime::DayOfYear));

    DateTime lastOfLeapYear(638712000000000000LL); // 31 December 2024
    EXPECT_EQ(366, lastOfLeapYear.GetDatePart(DateTime::DayOfYear));
    EXPECT_EQ(L"31/12/2024 00:00", std::wstring(lastOfLeapYear.ToString().GetBuffer()));

    EXPECT_EQ(L"31/12/9999 00:00", Text(3155378112000000000LL));
}

TEST(DateTime, NonEmptyFormatGivesTheEmptyText)
{
    EXPECT_EQ(0, DateTime(0).ToString(Core::String(L"yyyy")).GetLength());
}

TEST(DateTime, NegativeTicksAreRejected)
{
    try
    {
        DateTime(-1);
        FAIL() << "no exception";
    }
    catch (const Core::InvalidArgumentException& e)
    {
        EXPECT_STREQ(L"DateTime constructor: number of ticks has to be positive", e.GetMessageText().GetBuffer());
    }
}

TEST(DateTime, NowIsUniversalTimeAfter2020)
{
    DateTime now = DateTime::Now();
    EXPECT_GT(now.GetDatePart(DateTime::Year), 2020);
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    // Same UTC hour unless the clock crossed an hour between the two readings.
    int hour = static_cast<int>(now.GetTicks() / DateTime::TicksPerHour % 24);
    EXPECT_TRUE(hour == utc.wHour || (hour + 1) % 24 == utc.wHour);
}

TEST(Boolean, TextIsTrueOrFalse)
{
    EXPECT_STREQ(L"True", Core::Boolean(true).ToString().GetBuffer());
    EXPECT_STREQ(L"False", Core::Boolean(false).ToString().GetBuffer());
}
