// WMI's datetime texts read and shown: points moved to the viewer's zone, intervals in units, asterisk fields, and
// malformed texts shown as they are. Expected texts are worked out by hand from the documented formats.
#include "wmi/DateTimeValue.h"

#include <gtest/gtest.h>
#include <windows.h>

using Core::String;
using WMI::CivilTime;
using WMI::DateTimeValue;
using WMI::FormatCimDateTime;
using WMI::UtcOffset;

namespace
{

UtcOffset Fixed(int minutes)
{
    return [minutes](const CivilTime&) { return minutes; };
}

std::wstring Shown(const wchar_t* text, int zoneMinutes = 0)
{
    return FormatCimDateTime(String(text), Fixed(zoneMinutes)).GetBuffer();
}

} // namespace

// --- points in time ---

TEST(DateTimeValueTest, APointIsMovedFromItsZoneToTheViewers)
{
    EXPECT_EQ(L"2026-03-09 13:05:00", Shown(L"20260309140500.000000+060", 0));
    EXPECT_EQ(L"2026-03-09 14:05:00", Shown(L"20260309140500.000000+060", 60));
    EXPECT_EQ(L"2026-03-09 08:05:00", Shown(L"20260309140500.000000+060", -300));
    // Microsoft's example: 1:30:15 PM Eastern Standard Time.
    EXPECT_EQ(L"1998-05-25 18:30:15", Shown(L"19980525133015.000000-300", 0));
    // Across the end of a day, a month and a year, and into a leap day.
    EXPECT_EQ(L"2026-01-01 01:30:00", Shown(L"20251231233000.000000+000", 120));
    EXPECT_EQ(L"2024-02-29 23:15:00", Shown(L"20240301001500.000000+060", 0));
    EXPECT_EQ(L"2024-02-29 23:00:00", Shown(L"20240229230000.000000+000", 0));
    // A zone of half hours.
    EXPECT_EQ(L"2026-03-09 19:35:00", Shown(L"20260309140500.000000+000", 330));
}

TEST(DateTimeValueTest, TheViewersZoneIsAskedAtTheMomentInUtc)
{
    CivilTime asked;
    // Summer time from April to September, in the manner of a zone's daylight saving rules.
    UtcOffset summer = [&](const CivilTime& utc)
    {
        asked = utc;
        return utc.month >= 4 && utc.month <= 9 ? 60 : 0;
    };
    EXPECT_STREQ(L"2026-07-15 13:00:00",
                 DateTimeValue(String(L"20260715140000.000000+120")).Format(summer).GetBuffer());
    EXPECT_EQ(2026, asked.year);
    EXPECT_EQ(7, asked.month);
    EXPECT_EQ(15, asked.day);
    EXPECT_EQ(12, asked.hour);
    EXPECT_EQ(0, asked.minute);
    EXPECT_STREQ(L"2026-01-15 12:00:00",
                 DateTimeValue(String(L"20260115120000.000000+000")).Format(summer).GetBuffer());
}

TEST(DateTimeValueTest, AFractionOfASecondShowsOnlyItsSignificantDigits)
{
    EXPECT_EQ(L"2026-03-09 14:05:00.5", Shown(L"20260309140500.500000+000"));
    EXPECT_EQ(L"2026-03-09 14:05:00.000001", Shown(L"20260309140500.000001+000"));
    // Asterisks after digits: a lower precision.
    EXPECT_EQ(L"2026-03-09 14:05:00.123", Shown(L"20260309140500.123***+000"));
    EXPECT_EQ(L"2026-03-09 14:05:00", Shown(L"20260309140500.000***+000"));
    EXPECT_EQ(L"2026-03-09 14:05:00", Shown(L"20260309140500.******+000"));
}

TEST(DateTimeValueTest, TheFieldsAreReadWithTheOffsetsSign)
{
    DateTimeValue value(String(L"19980525133015.250***-300"));
    ASSERT_EQ(DateTimeValue::Point, value.GetKind());
    EXPECT_EQ(1998, value.GetYear());
    EXPECT_EQ(5, value.GetMonth());
    EXPECT_EQ(25, value.GetDay());
    EXPECT_EQ(13, value.GetHour());
    EXPECT_EQ(30, value.GetMinute());
    EXPECT_EQ(15, value.GetSecond());
    EXPECT_EQ(250000, value.GetMicrosecond());
    EXPECT_EQ(3, value.GetMicrosecondDigits());
    EXPECT_TRUE(value.HasOffset());
    EXPECT_EQ(-300, value.GetOffsetMinutes());
    EXPECT_EQ(String(L"19980525133015.250***-300"), value.GetText());
}

// --- asterisk fields ---

TEST(DateTimeValueTest, APointWithUnknownFieldsIsShownInItsOwnZone)
{
    // Microsoft's examples: a date without a time, and April the first of any year.
    EXPECT_EQ(L"1998-04-16", Shown(L"19980416******.000000+***", 600));
    EXPECT_EQ(L"****-04-01", Shown(L"****0401******.000000+***", 600));
    // A time of any day, with its zone said since it cannot be moved to the viewer's.
    EXPECT_EQ(L"12:30:00 UTC+01:00", Shown(L"********123000.000000+060", 600));
    EXPECT_EQ(L"2026-03-09 14:**:** UTC-05:30", Shown(L"2026030914****.000000-330", 600));
    EXPECT_EQ(L"2026-**-09 14:05:00.5 UTC+00:00", Shown(L"2026**09140500.500000+000", 600));
    // Every field known but the zone: shown as written.
    EXPECT_EQ(L"2026-03-09 14:05:00", Shown(L"20260309140500.000000+***", 600));
    // Nothing known: the text itself.
    EXPECT_EQ(L"**************.******+***", Shown(L"**************.******+***"));
    DateTimeValue unknownYear(String(L"****0229******.000000+***"));
    EXPECT_EQ(DateTimeValue::Point, unknownYear.GetKind()) << "29 February of a year that may be a leap year";
    EXPECT_EQ(DateTimeValue::Unknown, unknownYear.GetYear());
    EXPECT_FALSE(unknownYear.HasOffset());
}

TEST(DateTimeValueTest, AMomentMovedOutOfTheFourDigitYearsStaysInItsOwnZone)
{
    EXPECT_EQ(L"0000-01-01 00:00:00 UTC+01:00", Shown(L"00000101000000.000000+060", 0));
    EXPECT_EQ(L"9999-12-31 23:30:00 UTC+00:00", Shown(L"99991231233000.000000+000", 60));
    EXPECT_EQ(L"0001-01-01 00:00:00", Shown(L"00010101010000.000000+060", 0));
}

// --- intervals ---

TEST(DateTimeValueTest, AnIntervalIsShownInDaysHoursMinutesAndSeconds)
{
    EXPECT_EQ(L"1 day, 13 hours, 23 minutes, 12 seconds", Shown(L"00000001132312.000000:000"));
    EXPECT_EQ(L"1 day, 12 hours, 0 minutes, 32 seconds", Shown(L"00000001120032.000000:000"));
    EXPECT_EQ(L"2 days, 1 hour, 1 minute, 1 second", Shown(L"00000002010101.000000:000"));
    EXPECT_EQ(L"5 seconds", Shown(L"00000000000005.000000:000"));
    EXPECT_EQ(L"1 hour, 0 minutes, 0 seconds", Shown(L"00000000010000.000000:000"));
    EXPECT_EQ(L"0 seconds", Shown(L"00000000000000.000000:000"));
    EXPECT_EQ(L"1.5 seconds", Shown(L"00000000000001.500000:000"));
    EXPECT_EQ(L"99999999 days, 23 hours, 59 minutes, 59.999999 seconds", Shown(L"99999999235959.999999:000"));
    // The zone plays no part.
    EXPECT_EQ(L"5 seconds", Shown(L"00000000000005.000000:000", 600));
    DateTimeValue interval(String(L"00000010000000.000000:000"));
    ASSERT_EQ(DateTimeValue::Interval, interval.GetKind());
    EXPECT_EQ(10, interval.GetDays());
}

TEST(DateTimeValueTest, AnIntervalOfLowerPrecisionEndsAtItsLastKnownField)
{
    EXPECT_EQ(L"1 day, 13 hours, 23 minutes, 12.125 seconds", Shown(L"00000001132312.125***:000"));
    EXPECT_EQ(L"1 day, 13 hours, 23 minutes", Shown(L"000000011323**.******:000"));
    EXPECT_EQ(L"3 days", Shown(L"00000003******.******:000"));
    EXPECT_EQ(L"0 hours", Shown(L"0000000000****.******:000"));
}

// --- malformed texts are shown as they are ---

TEST(DateTimeValueTest, ATextOfAnotherShapeIsMalformed)
{
    const wchar_t* const texts[] = {
        L"",
        L"20260309",                   // too short
        L"20260309140500.000000+0600", // too long
        L"2026030914050a.000000+000",  // a letter
        L"20260309140500,000000+000",  // no point
        L"20260309140500.000000x000",  // neither a sign nor a colon
        L"20260309140500.000000+0*0",  // an offset partly of asterisks
        L"20260309140500.12*456+000",  // digits after an asterisk
        L"202*0309140500.000000+000",  // a field partly of asterisks
        L"2026 309140500.000000+000",  // a blank
    };
    for (const wchar_t* text : texts)
    {
        DateTimeValue value((String(text)));
        EXPECT_EQ(DateTimeValue::Malformed, value.GetKind()) << text;
        EXPECT_EQ(text, Shown(text)) << text;
    }
}

TEST(DateTimeValueTest, FieldsOutOfTheirRangeAreMalformed)
{
    const wchar_t* const texts[] = {
        L"20261309140500.000000+000", // month 13
        L"20260009140500.000000+000", // month 0
        L"20260300140500.000000+000", // day 0
        L"20260332140500.000000+000", // day 32
        L"20260230140500.000000+000", // 30 February
        L"20230229140500.000000+000", // 29 February of a common year
        L"21000229140500.000000+000", // 2100 is no leap year
        L"20260431140500.000000+000", // 31 April
        L"20260309240000.000000+000", // hour 24
        L"20260309146000.000000+000", // minute 60
        L"20260309140560.000000+000", // second 60
        L"00000001240000.000000:000", // an interval's hour 24
        L"00000001006000.000000:000", // an interval's minute 60
        L"00000001132312.000000:001", // an interval ends in :000
        L"000000011323**.123456:000", // digits after the unknown seconds
        L"0000000113**12.000000:000", // a known field after an unknown one
        L"********132312.000000:000", // unknown days before known hours
    };
    for (const wchar_t* text : texts)
    {
        EXPECT_EQ(DateTimeValue::Malformed, DateTimeValue(String(text)).GetKind()) << text;
        EXPECT_EQ(text, Shown(text)) << text;
    }
    EXPECT_EQ(DateTimeValue::Point, DateTimeValue(String(L"20000229140500.000000+000")).GetKind());
}

// --- the machine's own zone ---

TEST(DateTimeValueTest, TheLocalOffsetIsTheMachinesOffsetNow)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    FILETIME local{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&now, &local));
    ULARGE_INTEGER utcTicks{{now.dwLowDateTime, now.dwHighDateTime}};
    ULARGE_INTEGER localTicks{{local.dwLowDateTime, local.dwHighDateTime}};
    long long expected =
        (static_cast<long long>(localTicks.QuadPart) - static_cast<long long>(utcTicks.QuadPart)) / 600000000LL;
    SYSTEMTIME utc{};
    FileTimeToSystemTime(&now, &utc);
    EXPECT_EQ(expected, WMI::LocalUtcOffset(CivilTime{utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, 0}));
}
