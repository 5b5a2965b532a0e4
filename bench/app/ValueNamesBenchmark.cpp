// "Show value names" on a grid of 1,000,000 rows of 10 cells, six of them coded values and datetimes: painting a
// window of rows in the middle with the names computed for the cells in view, against the same paint of the same
// texts already in the cells, and against the values as read.
#include "app/ValueNames.h"
#include "core/controls/Form.h"
#include "core/controls/Grid.h"

#include "bench/controls/GridBenchSupport.h"
#include "bench/support/Stopwatch.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>
#include <windows.h>

using Benchmark::Seconds;
using Core::String;
using namespace Core::Controls;

namespace
{

const int RowCount = 1000000;
const int Rounds = 5;
const int Paints = 30;

struct ColumnScript
{
    const wchar_t* name;
    int cimType;
};

const ColumnScript Columns[] = {
    {L"Name", WMI::CimString},       {L"State", WMI::CimUInt32},         {L"Availability", WMI::CimUInt16},
    {L"Access", WMI::CimUInt32},     {L"InstallDate", WMI::CimDateTime}, {L"Started", WMI::CimBoolean},
    {L"ProcessId", WMI::CimUInt32},  {L"PathName", WMI::CimString},      {L"ErrorControl", WMI::CimUInt16},
    {L"LastBoot", WMI::CimDateTime},
};
const int ColumnCount = static_cast<int>(sizeof(Columns) / sizeof(Columns[0]));

Core::Collections::ArrayList<String> Texts(std::initializer_list<const wchar_t*> texts)
{
    Core::Collections::ArrayList<String> list;
    for (const wchar_t* text : texts)
    {
        list.Add(String(text));
    }
    return list;
}

// Win32_Service-like names: a ValueMap with ranges and a rest, Values by position, bits by BitMap.
WMI::ClassDescription Describe()
{
    WMI::ClassDescription described;
    described.className = String(L"Win32_Bench");
    for (const ColumnScript& column : Columns)
    {
        WMI::PropertyDescription property;
        property.name = String(column.name);
        property.cimType = column.cimType;
        described.properties.Add(property);
    }
    WMI::PropertyDescription& state = described.properties[1];
    state.valueMap = Texts({L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"0x10", L"20..29", L".."});
    state.values = Texts({L"Stopped", L"Start Pending", L"Stop Pending", L"Running", L"Continue Pending",
                          L"Pause Pending", L"Paused", L"Sixteen", L"Twenties", L"Unknown"});
    WMI::PropertyDescription& availability = described.properties[2];
    for (int i = 0; i < 21; i++)
    {
        availability.values.Add(String(L"Availability ") + i);
    }
    WMI::PropertyDescription& access = described.properties[3];
    access.bitMap = Texts({L"0", L"1", L"2", L"3", L"4", L"5"});
    access.bitValues = Texts({L"Read", L"Write", L"Execute", L"Delete", L"Synchronize", L"Audit"});
    WMI::PropertyDescription& errors = described.properties[8];
    errors.valueMap = Texts({L"0", L"1", L"2", L"3"});
    errors.values = Texts({L"Ignore", L"Normal", L"Severe", L"Critical"});
    return described;
}

String CellText(int row, int column)
{
    switch (column)
    {
    case 0:
        return String(L"Service") + row;
    case 1:
        return String() + (row % 30);
    case 2:
        return String() + (row % 21);
    case 3:
        return String() + (row % 64);
    case 4:
    {
        // A different moment on every row, as the install dates of services are.
        wchar_t text[32];
        swprintf(text, 32, L"2026%02d%02d%02d%02d%02d.000000+060", row % 12 + 1, row % 28 + 1, row % 24, row % 60,
                 (row / 60) % 60);
        return String(text);
    }
    case 5:
        return String(row % 2 == 0 ? L"True" : L"False");
    case 6:
        return String() + (row * 4 + 4);
    case 7:
        return String(L"C:\\Windows\\System32\\svchost.exe -k netsvcs");
    case 8:
        return String() + (row % 4);
    default:
    {
        wchar_t text[32];
        swprintf(text, 32, L"%08d%02d%02d%02d.000000:000", row % 40, row % 24, row % 60, (row / 7) % 60);
        return String(text);
    }
    }
}

double PaintTime(Control& control, int rounds)
{
    Core::Controls::Rectangle client = control.GetClientRectangle();
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.width, client.height);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    double best = 1e9;
    for (int i = 0; i < rounds; i++)
    {
        double start = Seconds();
        control.RenderTo(memory, false);
        GdiFlush();
        best = std::min(best, Seconds() - start);
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return best;
}

} // namespace

int main()
{
    Form form;
    form.SetClientSize(1000, 700);
    Grid grid;
    grid.SetDock(DockStyle::Fill);
    form.GetControls().Add(&grid);
    WMI::PropertyList definition;
    Core::Collections::ArrayList<String> names;
    for (const ColumnScript& column : Columns)
    {
        // As wide as the Results grid makes its columns.
        grid.GetColumns().Add(String(column.name), 200);
        definition.Add(WMI::PropertyInfo(String(column.name), column.cimType));
        names.Add(String(column.name));
    }
    form.Show();
    Benchmark::PumpMessages();
    double start = Seconds();
    grid.SetLiveRefresh(false);
    grid.SetUpdatesEnabled(false);
    grid.GetRows().AddRange(RowCount);
    for (int row = 0; row < RowCount; row++)
    {
        for (int column = 0; column < ColumnCount; column++)
        {
            grid.SetCellText(row, column, CellText(row, column));
        }
    }
    grid.SetUpdatesEnabled(true);
    grid.SetLiveRefresh(true);
    Benchmark::PumpMessages();
    std::printf("filled 1,000,000 rows x %d cells in %.1f s\n", ColumnCount, Seconds() - start);
    grid.EnsureVisible(grid.GetRowAtViewIndex(RowCount / 2));
    Benchmark::PumpMessages();

    WMI::ClassDescription described = Describe();
    auto valueNames = std::make_shared<const Quarrow::ValueNames>(names, &described, &definition);
    long asked = 0;
    Grid::CellFormatter formatter =
        [valueNames, &asked](int, int column, const wchar_t* text, int length, String& shown)
    {
        asked++;
        return valueNames->Format(column, text, length, shown);
    };

    // The rows around the middle, whose cells the third side holds as shown.
    int middle = grid.GetRowAtViewIndex(RowCount / 2);
    int first = middle - 100;
    int last = middle + 100;
    std::vector<String> raw;
    std::vector<String> named;
    for (int row = first; row <= last; row++)
    {
        for (int column = 0; column < ColumnCount; column++)
        {
            raw.push_back(grid.GetCellText(row, column));
            named.push_back(valueNames->Format(column, raw.back()));
        }
    }
    auto setCells = [&](const std::vector<String>& cells)
    {
        size_t at = 0;
        for (int row = first; row <= last; row++)
        {
            for (int column = 0; column < ColumnCount; column++)
            {
                grid.SetCellText(row, column, cells[at++]);
            }
        }
        Benchmark::PumpMessages();
    };

    // Three sides, taking turns to go first: the values as read, the names computed while painting, and the same
    // names already in the cells (what the formatter adds beyond drawing the longer texts).
    double best[3] = {1e9, 1e9, 1e9};
    long askedPerPaint = 0;
    for (int round = 0; round < Rounds; round++)
    {
        for (int turn = 0; turn < 3; turn++)
        {
            int side = (round + turn) % 3;
            setCells(side == 2 ? named : raw);
            grid.SetCellFormatter(side == 1 ? formatter : Grid::CellFormatter());
            Benchmark::PumpMessages();
            asked = 0;
            best[side] = std::min(best[side], PaintTime(grid, Paints));
            if (side == 1)
            {
                askedPerPaint = asked / Paints;
            }
        }
    }
    setCells(raw);
    // A window of rows never shown before: each name made afresh.
    double coldBest = 1e9;
    for (int round = 0; round < Rounds; round++)
    {
        auto fresh = std::make_shared<const Quarrow::ValueNames>(names, &described, &definition);
        grid.SetCellFormatter([fresh](int, int column, const wchar_t* text, int length, String& shown)
                              { return fresh->Format(column, text, length, shown); });
        Benchmark::PumpMessages();
        coldBest = std::min(coldBest, PaintTime(grid, 1));
    }
    String sample = grid.GetShownText(middle, 1);
    std::printf("a shown State cell: %ls; cells formatted per paint: %ld\n", sample.GetBuffer(), askedPerPaint);
    std::printf("paint a window of rows in the middle: values as read %.2f ms, with value names %.2f ms (first "
                "paint of the rows %.2f ms), the names already in the cells %.2f ms\n",
                best[0] * 1000, best[1] * 1000, coldBest * 1000, best[2] * 1000);
    form.DestroyHandle();
    std::printf("RESULT value-names-paint-vs-same-texts %.2f\n", best[1] / best[2]);
    std::printf("RESULT value-names-paint-vs-raw %.2f\n", best[1] / best[0]);
    std::printf("RESULT value-names-first-paint-vs-raw %.2f\n", coldBest / best[0]);
    return 0;
}
