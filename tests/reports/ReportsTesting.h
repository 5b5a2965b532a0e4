// Shared helpers of the report tests: class objects filled without a connection, and fixed clocks.
#pragma once

#include "core/DateTime.h"
#include "core/io/MemoryStream.h"
#include "wmi/ManagementObject.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>

namespace ReportsTesting
{

using Cells = std::initializer_list<const wchar_t*>;

// A class object with the given columns and rows of cells, as a completed load leaves it.
inline std::unique_ptr<WMI::ManagementObject> MakeObject(const wchar_t* className, Cells columns,
                                                         std::initializer_list<Cells> rows = {})
{
    auto object = std::make_unique<WMI::ManagementObject>(nullptr, Core::String(className), 0);
    for (const wchar_t* column : columns)
    {
        object->GetProperties().Add(WMI::PropertyInfo(Core::String(column)));
    }
    for (const Cells& cells : rows)
    {
        auto* row = new WMI::Row();
        object->GetRows().Add(row);
        for (const wchar_t* cell : cells)
        {
            row->Add(Core::String(cell));
        }
    }
    return object;
}

// Ticks of a UTC date and time in the proleptic Gregorian calendar, computed independently of DateTime.
inline int64_t TicksOf(int year, int month, int day, int hour, int minute)
{
    static const int monthStarts[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int64_t y = year - 1;
    int64_t days = y * 365 + y / 4 - y / 100 + y / 400 + monthStarts[month - 1] + day - 1;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (leap && month > 2)
    {
        days++;
    }
    return days * Core::DateTime::TicksPerDay + hour * Core::DateTime::TicksPerHour +
           minute * Core::DateTime::TicksPerMinute;
}

// 07:05 UTC on 3 March 2026, 42 seconds in (seconds are not shown).
inline Core::DateTime FixedClock()
{
    return Core::DateTime(TicksOf(2026, 3, 3, 7, 5) + 42 * 10000000LL);
}

// A memory stream that asks, at every write, whether another thread could take the object's lock now.
class LockProbeStream : public Core::IO::MemoryStream
{
public:
    explicit LockProbeStream(WMI::ManagementObject& object) : m_object(object) {}

    void Write(const uint8_t* bytes, int offset, int count) override
    {
        bool entered = false;
        std::thread other(
            [&]
            {
                entered = m_object.GetLock().TryEnter();
                if (entered)
                {
                    m_object.GetLock().Leave();
                }
            });
        other.join();
        (entered ? writesUnlocked : writesLocked)++;
        MemoryStream::Write(bytes, offset, count);
    }

    int writesLocked = 0;
    int writesUnlocked = 0;

private:
    WMI::ManagementObject& m_object; // not owned
};

} // namespace ReportsTesting
