// What the grid benchmarks share: cells of management-like data (names with numbers, integers, booleans, empty
// values, paths, GUID-like texts) taken from a pool of 10,000 rows, and a pump of the message queue.
#pragma once

#include "core/String.h"

#include <string>
#include <vector>
#include <windows.h>

namespace Benchmark
{

constexpr int PoolRows = 10000;
constexpr int CellColumns = 10;

inline std::vector<Core::String> MakeCellPool()
{
    std::vector<Core::String> pool;
    pool.reserve(static_cast<size_t>(PoolRows) * CellColumns);
    for (int row = 0; row < PoolRows; row++)
    {
        for (int column = 0; column < CellColumns; column++)
        {
            std::wstring text;
            switch (column % 5)
            {
            case 0:
                text = L"Value " + std::to_wstring(row * 7919 % 100003) + L"." + std::to_wstring(column);
                break;
            case 1:
                text = std::to_wstring(row * 31 + column);
                break;
            case 2:
                text = (row + column) % 2 == 0 ? L"TRUE" : L"FALSE";
                break;
            case 3:
                text = row % 3 == 0 ? L"" : L"C:\\Windows\\System32\\svchost.exe";
                break;
            default:
                text = L"{" + std::to_wstring(row) + L"-4F2A-11D0-9F8E-00A0C9" + std::to_wstring(column) + L"}";
                break;
            }
            pool.emplace_back(text.c_str(), static_cast<int>(text.size()));
        }
    }
    return pool;
}

inline const Core::String& PoolCell(const std::vector<Core::String>& pool, int row, int column)
{
    return pool[static_cast<size_t>(row % PoolRows) * CellColumns + static_cast<size_t>(column)];
}

// Dispatches every queued message.
inline void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace Benchmark
