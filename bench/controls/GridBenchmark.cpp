// The grid and the tree view at scale, each against a reference measured in the same run:
// - filling 1,000,000 rows of 10 cells through the grid's API (in batches of 50 with redraw off, as a
//   load does) against copying the same strings into a std::vector of rows;
// - painting a full window of rows scrolled to the middle with 1,000,000 rows against 100 rows;
// - the heap bytes the grid holds for the 10,000,000 cells against the same cells as the rows of a
//   ManagementObject;
// - figures of a tree of 10,000 nodes: insert, expand all, paint, type-ahead to the last node.
#include "core/controls/Form.h"
#include "core/controls/Grid.h"
#include "core/controls/TreeView.h"
#include "wmi/ManagementObject.h"

#include "bench/controls/GridBenchSupport.h"
#include "bench/support/Stopwatch.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>

using Benchmark::Seconds;
using Core::String;
using namespace Core::Controls;

namespace
{

const int RowCount = 1000000;
const int ColumnCount = Benchmark::CellColumns;
const int BatchSize = 50;
const int Rounds = 3;
const int Paints = 30;

std::vector<String> MakePool()
{
    return Benchmark::MakeCellPool();
}

const String& Cell(const std::vector<String>& pool, int row, int column)
{
    return Benchmark::PoolCell(pool, row, column);
}

double FillVector(const std::vector<String>& pool, std::vector<std::vector<String>>& rows)
{
    double start = Seconds();
    for (int row = 0; row < RowCount; row++)
    {
        std::vector<String> cells;
        cells.reserve(ColumnCount);
        for (int column = 0; column < ColumnCount; column++)
        {
            cells.push_back(Cell(pool, row, column));
        }
        rows.push_back(std::move(cells));
    }
    return Seconds() - start;
}

void AddColumns(Grid& grid)
{
    for (int column = 0; column < ColumnCount; column++)
    {
        grid.GetColumns().Add(String(L"Property") + column, 200);
    }
}

// As the main window fills its grid during a load: live refresh off, each batch with redraw off (the
// message loop between batches is the caller's, not the grid's, and is left out).
double FillGrid(const std::vector<String>& pool, Grid& grid)
{
    double start = Seconds();
    grid.GetRows().Clear();
    grid.SetLiveRefresh(false);
    for (int first = 0; first < RowCount; first += BatchSize)
    {
        grid.SetUpdatesEnabled(false);
        for (int row = first; row < first + BatchSize; row++)
        {
            int index = grid.GetRows().Add();
            for (int column = 0; column < ColumnCount; column++)
            {
                grid.SetCellText(index, column, Cell(pool, row, column));
            }
        }
        grid.SetUpdatesEnabled(true);
    }
    grid.SetLiveRefresh(true);
    Benchmark::PumpMessages();
    return Seconds() - start;
}

long lastInk = 0;

// The best time of one full paint of the client area, scrolled to the middle of the rows.
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
    // What was painted: the pixels that are not the background, as a check that the rows were drawn.
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = client.width;
    info.bmiHeader.biHeight = -client.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(client.width) * static_cast<size_t>(client.height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(client.height), pixels.data(), &info, DIB_RGB_COLORS);
    lastInk = 0;
    for (uint32_t pixel : pixels)
    {
        lastInk += (pixel & 0xFFFFFF) != (pixels[0] & 0xFFFFFF) ? 1 : 0;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    return best;
}

double ScrollAndPaint(Grid& grid)
{
    double start = Seconds();
    grid.EnsureVisible(grid.GetRowAtViewIndex(grid.GetRows().GetCount() / 2));
    double scrolled = Seconds() - start;
    return scrolled + PaintTime(grid, Paints);
}

// The heap bytes of the rows as ManagementObject keeps them: row objects, their element blocks and
// every cell's buffer, each with the allocator's 16-byte header and rounding.
size_t RowBytes(WMI::ManagementObject& object)
{
    auto blockBytes = [](size_t size) { return (size + 16 + 15) / 16 * 16; };
    size_t total = blockBytes(static_cast<size_t>(object.GetRows().GetCapacity()) * sizeof(void*));
    for (int r = 0; r < object.GetRows().GetCount(); r++)
    {
        const WMI::Row& row = *object.GetRows()[r];
        total += blockBytes(sizeof(WMI::Row)) + blockBytes(static_cast<size_t>(row.GetCapacity()) * sizeof(String));
        for (int c = 0; c < row.GetCount(); c++)
        {
            if (row[c].GetLength() > 0)
            {
                total += blockBytes((static_cast<size_t>(row[c].GetLength()) + 1) * sizeof(wchar_t));
            }
        }
    }
    return total;
}

void TreeFigures()
{
    Form form;
    form.SetClientSize(400, 700);
    TreeView tree;
    tree.SetDock(DockStyle::Fill);
    form.GetControls().Add(&tree);
    form.Show();
    Benchmark::PumpMessages();
    double start = Seconds();
    TreeNode* root = new TreeNode(String(L"Local Machine"));
    for (int category = 0; category < 100; category++)
    {
        TreeNode* node = new TreeNode(String(L"Category ") + category);
        for (int item = 0; item < 99; item++)
        {
            node->GetNodes().Add(new TreeNode(String(L"Win32_Class") + (category * 100 + item)));
        }
        root->GetNodes().Add(node);
    }
    tree.GetNodes().Add(root);
    double built = Seconds() - start;
    start = Seconds();
    tree.ExpandAll();
    int visible = tree.GetVisibleCount();
    double expanded = Seconds() - start;
    double painted = PaintTime(tree, Paints);
    tree.Focus();
    const wchar_t* last = L"Win32_Class9998";
    start = Seconds();
    for (const wchar_t* p = last; *p != 0; p++)
    {
        SendMessageW(tree.GetHandle(), WM_CHAR, *p, 1);
    }
    double typed = Seconds() - start;
    bool found = tree.GetSelectedNode() != nullptr && tree.GetSelectedNode()->GetText() == String(last);
    std::printf("tree of %d nodes: insert %.1f ms, expand all %.1f ms, paint %.2f ms, type-ahead to the last "
                "node %.1f ms%s\n",
                visible, built * 1000, expanded * 1000, painted * 1000, typed * 1000, found ? "" : " (NOT FOUND)");
    form.DestroyHandle();
}

struct Figures
{
    double bestVector = 1e9;
    double bestGrid = 1e9;
    double bestLarge = 1e9;
    double bestSmall = 1e9;
    int64_t gridBytes = 0;
    size_t objectBytes = 0;
};

// Filling the grid against filling a plain vector of rows with the same strings.
void MeasureFill(const std::vector<String>& pool, Grid& grid, Figures& figures)
{
    for (int round = 0; round < Rounds; round++)
    {
        double vector = 0;
        {
            std::vector<std::vector<String>> rows;
            vector = FillVector(pool, rows);
        }
        double filled = FillGrid(pool, grid);
        figures.bestVector = std::min(figures.bestVector, vector);
        figures.bestGrid = std::min(figures.bestGrid, filled);
        std::printf("fill round %d: vector %.0f ms, grid %.0f ms\n", round + 1, vector * 1000, filled * 1000);
    }
}

void FillSmall(const std::vector<String>& pool, Grid& small)
{
    AddColumns(small);
    for (int row = 0; row < 100; row++)
    {
        small.GetRows().Add();
        for (int column = 0; column < ColumnCount; column++)
        {
            small.SetCellText(row, column, Cell(pool, row, column));
        }
    }
}

// Painting a window of rows must cost the same for a million rows as for a hundred.
void MeasurePaint(Grid& grid, Grid& small, Figures& figures)
{
    for (int round = 0; round < Rounds; round++)
    {
        grid.EnsureVisible(grid.GetRowAtViewIndex(0));
        small.EnsureVisible(small.GetRowAtViewIndex(0));
        figures.bestSmall = std::min(figures.bestSmall, ScrollAndPaint(small));
        long smallInk = lastInk;
        figures.bestLarge = std::min(figures.bestLarge, ScrollAndPaint(grid));
        std::printf("paint round %d: pixels drawn: 100 rows %ld, 1,000,000 rows %ld\n", round + 1, smallInk, lastInk);
    }
    std::printf("paint a window of rows in the middle: 100 rows %.2f ms, 1,000,000 rows %.2f ms\n",
                figures.bestSmall * 1000, figures.bestLarge * 1000);
}

// Sorting a million rows by a text column, and painting the sorted view.
void MeasureSort(Grid& grid)
{
    double start = Seconds();
    grid.Sort(0, false);
    grid.GetRowAtViewIndex(0);
    double sorted = Seconds() - start;
    double sortedPaint = ScrollAndPaint(grid);
    std::printf("sort 1,000,000 rows by a text column %.0f ms; paint sorted, in the middle %.2f ms\n", sorted * 1000,
                sortedPaint * 1000);
    grid.ClearSort();
}

// The grid's heap against the rows a ManagementObject holds for the same cells.
void MeasureMemory(const std::vector<String>& pool, Grid& grid, Figures& figures)
{
    figures.gridBytes = grid.GetModel().GetAllocatedBytes();
    {
        WMI::ManagementObject object(nullptr, String(L"Win32_Bench"), 0);
        for (int row = 0; row < RowCount; row++)
        {
            WMI::Row* cells = new WMI::Row(16);
            for (int column = 0; column < ColumnCount; column++)
            {
                cells->Add(Cell(pool, row, column));
            }
            object.GetRows().Add(cells);
        }
        figures.objectBytes = RowBytes(object);
    }
    double cells = static_cast<double>(RowCount) * ColumnCount;
    std::printf("heap for 10,000,000 cells: grid %.1f MB (%.1f bytes per cell), ManagementObject rows %.1f MB "
                "(%.1f bytes per cell)\n",
                static_cast<double>(figures.gridBytes) / 1e6, static_cast<double>(figures.gridBytes) / cells,
                static_cast<double>(figures.objectBytes) / 1e6, static_cast<double>(figures.objectBytes) / cells);
}

} // namespace

int main()
{
    std::vector<String> pool = MakePool();
    Figures figures;

    Form form;
    form.SetClientSize(1000, 700);
    Grid grid;
    grid.SetDock(DockStyle::Fill);
    form.GetControls().Add(&grid);
    AddColumns(grid);
    form.Show();
    Benchmark::PumpMessages();
    MeasureFill(pool, grid, figures);

    Form smallForm;
    smallForm.SetClientSize(1000, 700);
    Grid small;
    small.SetDock(DockStyle::Fill);
    smallForm.GetControls().Add(&small);
    FillSmall(pool, small);
    smallForm.Show();
    Benchmark::PumpMessages();
    MeasurePaint(grid, small, figures);
    MeasureSort(grid);
    MeasureMemory(pool, grid, figures);

    form.DestroyHandle();
    smallForm.DestroyHandle();
    TreeFigures();

    std::printf("RESULT grid-fill-vs-vector %.2f\n", figures.bestGrid / figures.bestVector);
    std::printf("RESULT grid-paint-1m-vs-100 %.2f\n", figures.bestLarge / figures.bestSmall);
    std::printf("RESULT grid-memory-vs-rows %.2f\n",
                static_cast<double>(figures.gridBytes) / static_cast<double>(figures.objectBytes));
    return 0;
}
