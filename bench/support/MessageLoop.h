// The window thread's loop as the benchmark programs run it: what is queued, and waiting until something holds.
#pragma once

#include "bench/support/Stopwatch.h"

#include <windows.h>

namespace Benchmark
{

inline double Milliseconds()
{
    return Seconds() * 1000.0;
}

// Runs what is queued, as the program's own loop would.
inline void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Pumps as the program's loop does, waking for each message, until done() holds; false after a minute without.
template <typename Done> bool PumpUntil(Done done)
{
    double started = Milliseconds();
    while (!done())
    {
        if (Milliseconds() - started > 60000)
        {
            return false;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        PumpMessages();
    }
    return true;
}

} // namespace Benchmark
