// The clock of the benchmark programs: seconds from the performance counter.
#pragma once

#include <windows.h>

namespace Benchmark
{

inline double Seconds()
{
    static const LARGE_INTEGER frequency = []
    {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace Benchmark
