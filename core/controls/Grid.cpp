#include "core/controls/Grid.h"

#include "core/controls/Accessibility.h"
#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/TextFinder.h"
#include "core/controls/Theme.h"
#include "core/threading/SynchronizationEvent.h"
#include "core/threading/Thread.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

namespace
{

constexpr unsigned int RefreshMessage = WM_APP + 0x47;
constexpr int RefreshTimer = 1;
constexpr int FilterTimer = 2;
// A new filter text searches this long before SetFilterText returns; what is left goes on in slices of
// FilterSlice between the user's input and painting, a timer's tick apart.
constexpr double FirstFilterSlice = 0.06;
constexpr double FilterSlice = 0.04;
// The filter's search looks at the clock once per stretch of this many rows; a stretch of at least
// ParallelRows is searched on two threads.
constexpr int FilterStretch = 65536;
constexpr int ParallelRows = 16384;
// The finished searches kept, so that deleting back to an earlier text needs no search.
constexpr size_t KeptSearches = 16;
// With live refresh off the view catches up this often.
constexpr int RefreshInterval = 250;
constexpr int MinimumColumnWidth = 8;
constexpr int AutoSizeAllRowsLimit = 20000;
constexpr int AutoSizeAroundView = 1000;
constexpr int NoRow = 0x7FFFFFFF;

// A cell's kind for ordering: empty cells first, then numbers by value, then texts.
enum CellKind
{
    EmptyCell = 0,
    NumberCell = 1,
    TextCell = 2
};

// Whole text a decimal number ("-12", "3.5", "1e6"): digits, at most one point, an exponent.
bool ParseNumber(const wchar_t* text, int length, double* value)
{
    int i = 0;
    if (i < length && (text[i] == L'-' || text[i] == L'+'))
    {
        i++;
    }
    int digits = 0;
    bool point = false;
    for (; i < length; i++)
    {
        if (text[i] >= L'0' && text[i] <= L'9')
        {
            digits++;
        }
        else if (text[i] == L'.' && !point)
        {
            point = true;
        }
        else
        {
            break;
        }
    }
    if (digits == 0)
    {
        return false;
    }
    if (i < length && (text[i] == L'e' || text[i] == L'E'))
    {
        i++;
        if (i < length && (text[i] == L'-' || text[i] == L'+'))
        {
            i++;
        }
        int exponent = 0;
        for (; i < length && text[i] >= L'0' && text[i] <= L'9'; i++)
        {
            exponent++;
        }
        if (exponent == 0)
        {
            return false;
        }
    }
    if (i != length || length > 63)
    {
        return false;
    }
    wchar_t copy[64];
    std::memcpy(copy, text, static_cast<size_t>(length) * sizeof(wchar_t));
    copy[length] = 0;
    *value = std::wcstod(copy, nullptr);
    return true;
}

// A cell's text read into a reusable buffer.
struct CellBuffer
{
    std::vector<wchar_t> characters;
    int length = 0;

    void Read(const GridModel& model, int row, int column)
    {
        int needed = model.GetCellLength(row, column);
        if (static_cast<int>(characters.size()) < needed + 1)
        {
            characters.resize(static_cast<size_t>(needed) + 1);
        }
        length = model.CopyCellText(row, column, characters.data());
        characters[static_cast<size_t>(length)] = 0;
    }
};

CellKind Classify(const CellBuffer& cell, double* number)
{
    if (cell.length == 0)
    {
        return EmptyCell;
    }
    return ParseNumber(cell.characters.data(), cell.length, number) ? NumberCell : TextCell;
}

int CompareTexts(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    int result =
        CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a, aLength, b, bLength, nullptr, nullptr, 0);
    return result == CSTR_LESS_THAN ? -1 : (result == CSTR_GREATER_THAN ? 1 : 0);
}

// Tabs and line breaks inside a cell would break the line structure of copied text.
void AppendCellForCopy(std::wstring& text, const wchar_t* cell, int length)
{
    for (int i = 0; i < length; i++)
    {
        wchar_t c = cell[i];
        text.push_back(c == L'\t' || c == L'\r' || c == L'\n' ? L' ' : c);
    }
}

// A row's cell of the sort column, keyed once for a whole sort: its kind, its number, or where the locale's sort
// key of its text starts in the sort's key bytes.
struct SortKey
{
    int kind;
    int row;
    double number;
    size_t offset;
};

// Appends the locale's sort key of the cell's text, ending in a zero byte, to keyBytes; scratch is room reused.
void AppendTextSortKey(const CellBuffer& cell, std::vector<uint8_t>& scratch, std::vector<uint8_t>& keyBytes)
{
    auto map = [&cell](uint8_t* out, int size)
    {
        return LCMapStringEx(LOCALE_NAME_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, cell.characters.data(),
                             cell.length, reinterpret_cast<LPWSTR>(out), size, nullptr, nullptr, 0);
    };
    int size = map(scratch.data(), static_cast<int>(scratch.size()));
    if (size == 0)
    {
        scratch.resize(static_cast<size_t>(map(nullptr, 0)) + 1);
        size = map(scratch.data(), static_cast<int>(scratch.size()));
    }
    keyBytes.insert(keyBytes.end(), scratch.begin(), scratch.begin() + size);
    // Sort keys end with a zero byte; make sure of it for strcmp.
    if (size == 0 || keyBytes.back() != 0)
    {
        keyBytes.push_back(0);
    }
}

// Reads and keys the column's cell of every row.
void MakeSortKeys(const GridModel& model, int column, CellBuffer& cell, std::vector<SortKey>& keys,
                  std::vector<uint8_t>& keyBytes)
{
    std::vector<uint8_t> scratch(256);
    for (size_t row = 0; row < keys.size(); row++)
    {
        cell.Read(model, static_cast<int>(row), column);
        SortKey& key = keys[row];
        key.row = static_cast<int>(row);
        key.number = 0;
        key.offset = 0;
        key.kind = Classify(cell, &key.number);
        if (key.kind == TextCell)
        {
            key.offset = keyBytes.size();
            AppendTextSortKey(cell, scratch, keyBytes);
        }
    }
}

// Orders keys as CompareRows orders their rows: kind, then value, then the order of addition.
void SortKeys(std::vector<SortKey>& keys, const uint8_t* bytes, bool descending)
{
    std::sort(keys.begin(), keys.end(),
              [descending, bytes](const SortKey& a, const SortKey& b)
              {
                  int result = 0;
                  if (a.kind != b.kind)
                  {
                      result = a.kind < b.kind ? -1 : 1;
                  }
                  else if (a.kind == NumberCell)
                  {
                      result = a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
                  }
                  else if (a.kind == TextCell)
                  {
                      result = std::strcmp(reinterpret_cast<const char*>(bytes + a.offset),
                                           reinterpret_cast<const char*>(bytes + b.offset));
                      result = result < 0 ? -1 : (result > 0 ? 1 : 0);
                  }
                  if (descending)
                  {
                      result = -result;
                  }
                  return result != 0 ? result < 0 : a.row < b.row;
              });
}

// A set of rows, one bit each.
struct RowBits
{
    std::vector<uint64_t> words;
    int count = 0;

    bool Get(int row) const
    {
        size_t word = static_cast<size_t>(row) / 64;
        return word < words.size() && (words[word] >> (row % 64) & 1) != 0;
    }
    void Set(int row, bool value)
    {
        size_t word = static_cast<size_t>(row) / 64;
        if (word >= words.size())
        {
            words.resize(word + 1, 0);
        }
        uint64_t bit = uint64_t{1} << (row % 64);
        bool was = (words[word] & bit) != 0;
        if (was != value)
        {
            words[word] ^= bit;
            count += value ? 1 : -1;
        }
    }
    void Clear()
    {
        if (count > 0)
        {
            std::fill(words.begin(), words.end(), 0);
        }
        count = 0;
    }
    void Release()
    {
        std::vector<uint64_t>().swap(words);
        count = 0;
    }
    // The first row of [from, end) in the set, or end.
    int NextSet(int from, int end) const
    {
        if (from >= end)
        {
            return end;
        }
        size_t word = static_cast<size_t>(from) / 64;
        uint64_t bits = word < words.size() ? words[word] & (~uint64_t{0} << (from % 64)) : 0;
        while (bits == 0)
        {
            word++;
            if (word >= words.size() || static_cast<long long>(word) * 64 >= end)
            {
                return end;
            }
            bits = words[word];
        }
        int row = static_cast<int>(word * 64) + __builtin_ctzll(bits);
        return row < end ? row : end;
    }
};

double Now()
{
    static const double frequency = []
    {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency;
}

// The rows of [first, end) whose filter bit changes: with candidates, those in matched that fail; otherwise those
// that pass.
void CollectRowChanges(const GridModel& model, const TextFinder& finder, const RowBits& matched, bool candidates,
                       int first, int end, std::vector<int>& changes)
{
    if (candidates)
    {
        for (int row = matched.NextSet(first, end); row < end; row = matched.NextSet(row + 1, end))
        {
            if (!model.RowContains(row, finder))
            {
                changes.push_back(row);
            }
        }
        return;
    }
    for (int row = model.FindRow(first, end, finder); row < end; row = model.FindRow(row + 1, end, finder))
    {
        changes.push_back(row);
    }
}

// A thread that searches the second half of each long stretch of rows while the grid's thread searches the first;
// made for the first long search and kept while the grid is (a new thread for every stretch costs milliseconds under
// Wine). Both only read: the model and the filter bits change after both halves are done.
class FilterHelper
{
public:
    FilterHelper()
        : m_start(this, &FilterHelper::Run), m_thread(&m_start), m_work(String(), false, false),
          m_done(String(), false, false)
    {
        m_thread.SetName(String(L"Grid filter"));
        m_thread.Start();
    }
    ~FilterHelper()
    {
        m_quit = true;
        m_work.Set();
        m_thread.Join();
    }
    FilterHelper(const FilterHelper&) = delete;
    FilterHelper& operator=(const FilterHelper&) = delete;

    // CollectRowChanges for a stretch: the second half here, the first on the calling thread meanwhile.
    void Collect(const GridModel& model, const TextFinder& finder, const RowBits& matched, bool candidates, int first,
                 int end, std::vector<int>& changes)
    {
        int middle = first + (end - first) / 2;
        m_model = &model;
        m_finder = &finder;
        m_matched = &matched;
        m_candidates = candidates;
        m_first = middle;
        m_end = end;
        m_changes.clear();
        m_failed = false;
        m_work.Set();
        try
        {
            CollectRowChanges(model, finder, matched, candidates, first, middle, changes);
        }
        catch (...)
        {
            WaitForSingleObject(m_done.GetHandle(), INFINITE);
            throw;
        }
        // A plain wait: messages dispatched here could change the rows being read.
        WaitForSingleObject(m_done.GetHandle(), INFINITE);
        if (m_failed)
        {
            // Out of memory on the helper: its half again, here, where the failure reaches the caller.
            m_changes.clear();
            CollectRowChanges(model, finder, matched, candidates, middle, end, m_changes);
        }
        changes.insert(changes.end(), m_changes.begin(), m_changes.end());
    }

private:
    void Run()
    {
        for (;;)
        {
            WaitForSingleObject(m_work.GetHandle(), INFINITE);
            if (m_quit)
            {
                return;
            }
            try
            {
                CollectRowChanges(*m_model, *m_finder, *m_matched, m_candidates, m_first, m_end, m_changes);
            }
            catch (...)
            {
                m_failed = true;
            }
            m_done.Set();
        }
    }

    Threading::ThreadStart m_start;
    Threading::Thread m_thread;
    Threading::SynchronizationEvent m_work;
    Threading::SynchronizationEvent m_done;
    // The work, handed over through the events (which order the memory between the threads).
    const GridModel* m_model = nullptr;   // not owned
    const TextFinder* m_finder = nullptr; // not owned
    const RowBits* m_matched = nullptr;   // not owned
    bool m_candidates = false;
    int m_first = 0;
    int m_end = 0;
    std::vector<int> m_changes;
    bool m_failed = false;
    bool m_quit = false;
};

} // namespace

// The order of the rows, the filter and the selection, kept apart from the header so that the standard
// containers stay in this file.
class Grid::State
{
public:
    // Positions of the order -> rows, while sorted; rows added since the last merge are not in it yet.
    std::vector<int> order;
    // Rows -> positions shown (-1 for a row the filter hides), rebuilt when needed after the view changed.
    std::vector<int> positions;
    bool positionsValid = false;
    bool needsSort = false;
    RowBits selected;
    CellBuffer first;
    CellBuffer second;

    // --- The filter, while there is one ---
    TextFinder finder;
    // The rows below filterRows that pass (or, while a narrower text is searched, may still pass).
    RowBits matched;
    int filterRows = 0;
    // The search under way: the rows below bitsEnd in matched, from bitsNext on (a text that extends the last
    // one looks only at what that found), then every row from rangeNext up to filterRows.
    int bitsNext = 0;
    int bitsEnd = 0;
    int rangeNext = 0;
    // Positions shown -> rows: the rows in matched, in the order.
    std::vector<int> shown;
    bool shownValid = false;
    // Searches half of each long stretch; made for the first.
    std::unique_ptr<FilterHelper> helper;
    // Finished searches of earlier texts (folded), the latest last; a change to a row they looked at drops them.
    struct KeptSearch
    {
        String folded;
        RowBits matched;
        int filterRows;
    };
    std::vector<KeptSearch> kept;

    // Takes the result of an earlier search of the same text, if one is kept: only rows added since are left.
    bool Reuse(const TextFinder& next)
    {
        for (const KeptSearch& search : kept)
        {
            if (search.folded == next.GetFoldedText())
            {
                matched = search.matched;
                bitsNext = 0;
                bitsEnd = 0;
                rangeNext = search.filterRows;
                return true;
            }
        }
        return false;
    }
    void Keep()
    {
        for (size_t i = 0; i < kept.size(); i++)
        {
            if (kept[i].folded == finder.GetFoldedText())
            {
                kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (kept.size() == KeptSearches)
        {
            kept.erase(kept.begin());
        }
        kept.push_back(KeptSearch{finder.GetFoldedText(), matched, filterRows});
    }

    bool IsSelected(int row) const { return selected.Get(row); }
    void SetSelected(int row, bool value) { selected.Set(row, value); }
    void ClearSelected() { selected.Clear(); }
    // The shown positions changed: what was derived from them is rebuilt when next needed.
    void ViewChanged()
    {
        shownValid = false;
        positionsValid = false;
    }
    bool IsSearching() const { return bitsNext < bitsEnd || rangeNext < filterRows; }
    // Drops the kept searches that looked at the row.
    void ForgetSearchesOf(int row)
    {
        for (size_t i = kept.size(); i-- > 0;)
        {
            if (row < kept[i].filterRows)
            {
                kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    void ResetFilter()
    {
        matched.Release();
        filterRows = 0;
        bitsNext = 0;
        bitsEnd = 0;
        rangeNext = 0;
        std::vector<int>().swap(shown);
        ViewChanged();
    }
};

// --- Columns and rows ---

void GridColumn::SetWidth(int width)
{
    m_width = width < MinimumColumnWidth ? MinimumColumnWidth : width;
    m_grid->ColumnsChanged();
}

void GridColumn::SetHeaderText(const String& text)
{
    m_headerText = text;
    m_grid->Invalidate();
}

int GridColumnCollection::Add(int width)
{
    m_columns.Add(new GridColumn(m_grid, width < MinimumColumnWidth ? MinimumColumnWidth : width));
    m_grid->m_model.SetColumnCount(m_columns.GetCount());
    m_grid->ColumnsChanged();
    return m_columns.GetCount() - 1;
}

int GridColumnCollection::Add(const String& headerText, int width)
{
    int index = Add(width);
    m_columns[index]->SetHeaderText(headerText);
    return index;
}

void GridColumnCollection::Clear()
{
    m_columns.Clear();
    m_grid->m_sortColumn = -1;
    m_grid->m_model.SetColumnCount(0);
    m_grid->ColumnsChanged();
}

GridColumn& GridColumnCollection::operator[](int index)
{
    m_grid->CheckColumn(index, L"GridColumnCollection.Item");
    return *m_columns[index];
}

int GridRowCollection::Add()
{
    return m_grid->m_model.AddRows(1);
}

int GridRowCollection::AddRange(int count)
{
    return m_grid->m_model.AddRows(count);
}

void GridRowCollection::Clear()
{
    m_grid->m_model.ClearRows();
}

int GridRowCollection::GetCount() const
{
    return m_grid->m_model.GetRowCount();
}

// --- Grid ---

Grid::Grid() : m_columns(this), m_rowCollection(this), m_state(new State())
{
    SetClassName(String(L"Core.Controls.Grid"));
    UseOwnScrollBars();
    SetTabStop(true);
    m_model.SetObserver(this);
}

Grid::~Grid()
{
    m_model.SetObserver(nullptr);
    delete m_state;
}

Color Grid::GetDefaultBackColor() const
{
    return Theme::Window();
}

void Grid::CheckColumn(int column, const wchar_t* operation) const
{
    if (column < 0 || column >= m_columns.GetCount())
    {
        throw ArgumentOutOfRangeException(column, String(operation) + L" - column index out of range");
    }
}

void Grid::SetHeaderText(int column, const String& text)
{
    CheckColumn(column, L"Grid.SetHeaderText method");
    m_columns[column].SetHeaderText(text);
}

const String& Grid::GetHeaderText(int column)
{
    CheckColumn(column, L"Grid.GetHeaderText method");
    return m_columns[column].GetHeaderText();
}

void Grid::SetColumnWidth(int column, int width)
{
    CheckColumn(column, L"Grid.SetColumnWidth method");
    m_columns[column].SetWidth(width);
}

int Grid::GetColumnWidth(int column)
{
    CheckColumn(column, L"Grid.GetColumnWidth method");
    return m_columns[column].GetWidth();
}

void Grid::SetCellText(int row, int column, const String& text)
{
    m_model.SetCellText(row, column, text);
}

String Grid::GetCellText(int row, int column) const
{
    return m_model.GetCellText(row, column);
}

void Grid::ColumnsChanged()
{
    m_scrollDirty = true;
    if (m_sortColumn >= m_columns.GetCount())
    {
        m_sortColumn = -1;
    }
    Invalidate();
    ScheduleRefresh();
}

// --- Model changes ---

void Grid::OnRowsAdded(int firstRow, int)
{
    if (IsFiltered())
    {
        // The new rows are still empty: the filter looks at them after this turn of the message loop, when
        // their cells are set, and they show from then on if they pass.
        ScheduleRefresh();
        return;
    }
    m_scrollDirty = true;
    // While sorted the new rows wait at the end of the model until the next merge puts them in place.
    MarkDirtyFrom(m_sortColumn >= 0 ? 0 : firstRow);
}

void Grid::OnCellChanged(int row, int column)
{
    State& state = *m_state;
    state.ForgetSearchesOf(row);
    if (IsFiltered() && row >= state.filterRows)
    {
        // Not shown yet: the filter looks at the row when it takes in the rows added.
        return;
    }
    if (IsFiltered())
    {
        // A row the filter has seen is looked at again; a row still to be searched is checked twice, which
        // changes nothing.
        bool passes = m_model.RowContains(row, state.finder);
        if (passes != state.matched.Get(row))
        {
            state.matched.Set(row, passes);
            state.ViewChanged();
            m_scrollDirty = true;
        }
    }
    if (m_sortColumn < 0 && !IsFiltered())
    {
        MarkDirtyFrom(row);
        return;
    }
    if (column == m_sortColumn && row < static_cast<int>(state.order.size()))
    {
        // A row already in place changed its key.
        state.needsSort = true;
        state.ViewChanged();
    }
    MarkDirtyFrom(0);
}

void Grid::OnModelReset()
{
    m_state->order.clear();
    m_state->positions.clear();
    m_state->positionsValid = false;
    m_state->needsSort = false;
    m_state->selected.Release();
    // A filter searches the rows that remain again, from the start.
    m_state->ResetFilter();
    std::vector<State::KeptSearch>().swap(m_state->kept);
    int rows = m_model.GetRowCount();
    m_focusRow = m_focusRow < rows ? m_focusRow : -1;
    m_anchorRow = m_anchorRow < rows ? m_anchorRow : -1;
    if (rows > 0 && m_sortColumn >= 0)
    {
        m_state->needsSort = true;
    }
    if (m_focusRow >= 0)
    {
        m_state->SetSelected(m_focusRow, true);
    }
    m_scrollDirty = true;
    MarkDirtyFrom(0);
}

void Grid::MarkDirtyFrom(int viewIndex)
{
    m_dirtyFrom = viewIndex < m_dirtyFrom ? viewIndex : m_dirtyFrom;
    ScheduleRefresh();
}

void Grid::ScheduleRefresh()
{
    if (m_handle == nullptr || !GetUpdatesEnabled())
    {
        return;
    }
    if (m_liveRefresh)
    {
        if (!m_refreshPosted)
        {
            m_refreshPosted = PostMessageW(m_handle, RefreshMessage, 0, 0) != FALSE;
        }
    }
    else if (!m_timerRunning)
    {
        StartTimer(RefreshTimer, RefreshInterval);
        m_timerRunning = true;
    }
}

void Grid::ApplyPendingChanges()
{
    if (m_handle == nullptr || !GetUpdatesEnabled())
    {
        return;
    }
    Settle();
    if (m_dirtyFrom != NoRow)
    {
        Rectangle client = GetViewportRectangle();
        int header = GetHeaderHeight();
        int top = header + m_dirtyFrom * GetRowHeight() - GetScrollPosition().y;
        top = top < header ? header : top;
        if (top < client.height)
        {
            Invalidate(Rectangle{0, top, client.width, client.height - top});
        }
        m_dirtyFrom = NoRow;
    }
    ReportVisibleRowCount();
}

void Grid::Settle()
{
    EnsureView();
    if (m_scrollDirty && m_handle != nullptr)
    {
        m_scrollDirty = false;
        int rowHeight = GetRowHeight();
        SetScrollLineSize(Scale(20), rowHeight);
        long long height = static_cast<long long>(ViewCount()) * rowHeight + GetHeaderHeight();
        SetScrollSize(Size{ContentWidth(), height > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(height)});
    }
}

void Grid::SetLiveRefresh(bool liveRefresh)
{
    m_liveRefresh = liveRefresh;
    if (liveRefresh)
    {
        // A window already destroyed (the program closing during a load) took its timer with it.
        if (m_timerRunning && GetHandle() != nullptr)
        {
            StopTimer(RefreshTimer);
        }
        m_timerRunning = false;
        ApplyPendingChanges();
    }
}

void Grid::OnTimer(int id)
{
    if (id == FilterTimer)
    {
        OnFilterTimer();
        return;
    }
    if (id != RefreshTimer)
    {
        ScrollableControl::OnTimer(id);
        return;
    }
    StopTimer(RefreshTimer);
    m_timerRunning = false;
    ApplyPendingChanges();
}

void Grid::OnUpdatesEnabledChanged()
{
    // The grid never stops its window's drawing: it only holds its own changes back while the switch is
    // off, so that switching it on repaints what changed rather than everything.
    if (!GetUpdatesEnabled())
    {
        return;
    }
    if (m_liveRefresh)
    {
        ApplyPendingChanges();
        Update();
    }
    else
    {
        ScheduleRefresh();
    }
}

intptr_t Grid::WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam)
{
    switch (message)
    {
    case RefreshMessage:
        m_refreshPosted = false;
        if (m_liveRefresh)
        {
            ApplyPendingChanges();
        }
        return 0;
    case WM_PAINT:
        // Before BeginPaint: the scroll range may show or hide a bar.
        Settle();
        break;
    case WM_CREATE:
    {
        intptr_t result = ScrollableControl::WndProc(message, wParam, lParam);
        // A timer of an earlier window went with it.
        m_filterTimerRunning = false;
        m_scrollDirty = true;
        Settle();
        return result;
    }
    default:
        break;
    }
    return ScrollableControl::WndProc(message, wParam, lParam);
}

// --- Order ---

void Grid::Sort(int column, bool descending)
{
    CheckColumn(column, L"Grid.Sort method");
    m_sortColumn = column;
    m_sortDescending = descending;
    m_state->order.clear();
    m_state->needsSort = true;
    m_state->ViewChanged();
    Invalidate();
    MarkDirtyFrom(0);
}

void Grid::ClearSort()
{
    m_sortColumn = -1;
    m_state->order.clear();
    std::vector<int>().swap(m_state->order);
    m_state->positions.clear();
    m_state->needsSort = false;
    m_state->ViewChanged();
    Invalidate();
    MarkDirtyFrom(0);
}

void Grid::EnsureOrder()
{
    if (m_sortColumn < 0)
    {
        return;
    }
    if (m_state->needsSort)
    {
        SortAll();
    }
    else if (static_cast<int>(m_state->order.size()) < m_model.GetRowCount())
    {
        MergeNewRows();
    }
}

int Grid::CompareRows(int a, int b)
{
    CellBuffer& first = m_state->first;
    CellBuffer& second = m_state->second;
    first.Read(m_model, a, m_sortColumn);
    second.Read(m_model, b, m_sortColumn);
    double x = 0;
    double y = 0;
    CellKind kindA = Classify(first, &x);
    CellKind kindB = Classify(second, &y);
    int result = 0;
    if (kindA != kindB)
    {
        result = kindA < kindB ? -1 : 1;
    }
    else if (kindA == NumberCell)
    {
        result = x < y ? -1 : (x > y ? 1 : 0);
    }
    else if (kindA == TextCell)
    {
        result = CompareTexts(first.characters.data(), first.length, second.characters.data(), second.length);
    }
    if (m_sortDescending)
    {
        result = -result;
    }
    return result != 0 ? result : (a < b ? -1 : (a > b ? 1 : 0));
}

void Grid::SortAll()
{
    // Each cell is read and keyed once (a number, or the locale's sort key of the text); the sort then
    // compares keys only.
    int count = m_model.GetRowCount();
    // A million rows take a few seconds: the user sees that something is going on.
    HCURSOR previousCursor = count > 50000 ? SetCursor(LoadCursorW(nullptr, IDC_WAIT)) : nullptr;
    std::vector<SortKey> keys(static_cast<size_t>(count));
    std::vector<uint8_t> keyBytes;
    MakeSortKeys(m_model, m_sortColumn, m_state->first, keys, keyBytes);
    SortKeys(keys, keyBytes.data(), m_sortDescending);
    m_state->order.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; i++)
    {
        m_state->order[static_cast<size_t>(i)] = keys[static_cast<size_t>(i)].row;
    }
    m_state->needsSort = false;
    m_state->ViewChanged();
    if (previousCursor != nullptr)
    {
        SetCursor(previousCursor);
    }
}

void Grid::MergeNewRows()
{
    std::vector<int>& order = m_state->order;
    int placed = static_cast<int>(order.size());
    int count = m_model.GetRowCount();
    int added = count - placed;
    if (added > 4096 && added > placed / 8)
    {
        SortAll();
        return;
    }
    // Sort the newcomers among themselves, find each one's place by binary search and merge in one pass.
    std::vector<int> incoming(static_cast<size_t>(added));
    for (int i = 0; i < added; i++)
    {
        incoming[static_cast<size_t>(i)] = placed + i;
    }
    std::stable_sort(incoming.begin(), incoming.end(), [this](int a, int b) { return CompareRows(a, b) < 0; });
    std::vector<int> places(static_cast<size_t>(added));
    int low = 0;
    for (int i = 0; i < added; i++)
    {
        int high = placed;
        int row = incoming[static_cast<size_t>(i)];
        while (low < high)
        {
            int middle = low + (high - low) / 2;
            if (CompareRows(order[static_cast<size_t>(middle)], row) < 0)
            {
                low = middle + 1;
            }
            else
            {
                high = middle;
            }
        }
        places[static_cast<size_t>(i)] = low;
    }
    std::vector<int> merged;
    merged.reserve(static_cast<size_t>(count));
    int next = 0;
    for (int i = 0; i < added; i++)
    {
        int place = places[static_cast<size_t>(i)];
        merged.insert(merged.end(), order.begin() + next, order.begin() + place);
        next = place;
        merged.push_back(incoming[static_cast<size_t>(i)]);
    }
    merged.insert(merged.end(), order.begin() + next, order.end());
    order.swap(merged);
    m_state->ViewChanged();
}

void Grid::EnsureView()
{
    EnsureOrder();
    if (!IsFiltered())
    {
        return;
    }
    State& state = *m_state;
    // Rows added since the filter last looked are searched with the rest, after them.
    state.filterRows = m_model.GetRowCount();
    if (state.IsSearching())
    {
        // Without a window there is no timer to go on with: the search is done now.
        if (m_handle != nullptr)
        {
            StartFilterTimer();
        }
        else
        {
            SearchFilter(1e9);
        }
    }
    if (!state.shownValid)
    {
        std::vector<int>& shown = state.shown;
        shown.clear();
        shown.reserve(static_cast<size_t>(state.matched.count));
        if (m_sortColumn >= 0)
        {
            for (int row : state.order)
            {
                if (state.matched.Get(row))
                {
                    shown.push_back(row);
                }
            }
        }
        else
        {
            for (int row = state.matched.NextSet(0, state.filterRows); row < state.filterRows;
                 row = state.matched.NextSet(row + 1, state.filterRows))
            {
                shown.push_back(row);
            }
        }
        state.shownValid = true;
        state.positionsValid = false;
    }
}

int Grid::ViewCount()
{
    EnsureView();
    return IsFiltered() ? static_cast<int>(m_state->shown.size()) : m_model.GetRowCount();
}

int Grid::ViewToRow(int viewIndex)
{
    if (IsFiltered())
    {
        return m_state->shown[static_cast<size_t>(viewIndex)];
    }
    return m_sortColumn >= 0 ? m_state->order[static_cast<size_t>(viewIndex)] : viewIndex;
}

int Grid::RowToView(int row)
{
    if ((m_sortColumn < 0 && !IsFiltered()) || row < 0)
    {
        return row;
    }
    EnsureView();
    State& state = *m_state;
    if (!state.positionsValid)
    {
        const std::vector<int>& view = IsFiltered() ? state.shown : state.order;
        state.positions.assign(static_cast<size_t>(m_model.GetRowCount()), -1);
        for (size_t i = 0; i < view.size(); i++)
        {
            state.positions[static_cast<size_t>(view[i])] = static_cast<int>(i);
        }
        state.positionsValid = true;
    }
    return static_cast<size_t>(row) < state.positions.size() ? state.positions[static_cast<size_t>(row)] : -1;
}

int Grid::GetRowAtViewIndex(int viewIndex)
{
    if (viewIndex < 0 || viewIndex >= ViewCount())
    {
        throw ArgumentOutOfRangeException(viewIndex, String(L"Grid.GetRowAtViewIndex method - index out of range"));
    }
    return ViewToRow(viewIndex);
}

int Grid::GetViewIndexOfRow(int row)
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"Grid.GetViewIndexOfRow method - index out of range"));
    }
    return RowToView(row);
}

// --- Filter ---

void Grid::SetFilterText(const String& text)
{
    if (text == m_filterText)
    {
        return;
    }
    State& state = *m_state;
    TextFinder finder(text);
    if (finder.IsEmpty())
    {
        m_filterText = String();
        state.finder = finder;
        // The kept searches stay for the next text.
        state.ResetFilter();
        StopFilterTimer();
        FilterTextApplied();
        return;
    }
    if (state.Reuse(finder))
    {
        state.filterRows = m_model.GetRowCount();
    }
    else if (IsFiltered() && finder.Narrows(state.finder))
    {
        // What the last text found, or may still find, is all the new one can find.
        state.bitsNext = 0;
        state.bitsEnd = state.rangeNext;
    }
    else
    {
        state.matched.Clear();
        state.filterRows = m_model.GetRowCount();
        state.bitsNext = 0;
        state.bitsEnd = 0;
        state.rangeNext = 0;
    }
    m_filterText = text;
    state.finder = finder;
    state.ViewChanged();
    // Without a window there is no timer to go on with: the whole search is done now.
    SearchFilter(m_handle != nullptr ? FirstFilterSlice : 1e9);
    FilterTextApplied();
}

void Grid::FilterTextApplied()
{
    m_state->ViewChanged();
    m_scrollDirty = true;
    if (m_handle != nullptr)
    {
        Settle();
        // The focused row stays in view if it is still shown; otherwise the view starts at the top.
        if (m_focusRow >= 0 && RowToView(m_focusRow) >= 0)
        {
            EnsureVisible(m_focusRow);
        }
        else
        {
            SetScrollPosition(Point{GetScrollPosition().x, 0});
        }
    }
    Invalidate();
    if (!IsFilterPending())
    {
        DropHiddenSelection();
    }
    ReportVisibleRowCount();
}

bool Grid::IsFilterPending() const
{
    const State& state = *m_state;
    return IsFiltered() && (state.IsSearching() || state.filterRows < m_model.GetRowCount());
}

void Grid::FinishFilter()
{
    if (!IsFilterPending())
    {
        return;
    }
    EnsureView();
    SearchFilter(1e9);
    ApplyPendingChanges();
    DropHiddenSelection();
    ReportVisibleRowCount();
}

int Grid::GetVisibleRowCount() const
{
    return IsFiltered() ? m_state->matched.count : m_model.GetRowCount();
}

bool Grid::IsRowVisible(int row) const
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"Grid.IsRowVisible method - row index out of range"));
    }
    return !IsFiltered() || m_state->matched.Get(row);
}

void Grid::SearchFilter(double seconds)
{
    State& state = *m_state;
    double deadline = Now() + seconds;
    int count = state.matched.count;
    std::vector<int> changes;
    // First the rows the last text found: those that fail the new one leave. Then every row not searched yet:
    // those that pass join. A stretch of rows at a time, between looks at the clock.
    while (state.IsSearching())
    {
        bool candidates = state.bitsNext < state.bitsEnd;
        int& next = candidates ? state.bitsNext : state.rangeNext;
        int limit = candidates ? state.bitsEnd : state.filterRows;
        int end = limit - next > FilterStretch ? next + FilterStretch : limit;
        changes.clear();
        if (end - next >= ParallelRows)
        {
            if (state.helper == nullptr)
            {
                state.helper = std::make_unique<FilterHelper>();
            }
            state.helper->Collect(m_model, state.finder, state.matched, candidates, next, end, changes);
        }
        else
        {
            CollectRowChanges(m_model, state.finder, state.matched, candidates, next, end, changes);
        }
        for (int row : changes)
        {
            state.matched.Set(row, !candidates);
        }
        next = end;
        if (Now() > deadline)
        {
            break;
        }
    }
    if (state.matched.count != count)
    {
        state.ViewChanged();
        m_scrollDirty = true;
        MarkDirtyFrom(0);
    }
    if (state.IsSearching())
    {
        StartFilterTimer();
    }
    else
    {
        StopFilterTimer();
        state.Keep();
    }
}

void Grid::StartFilterTimer()
{
    if (!m_filterTimerRunning && m_handle != nullptr)
    {
        // The shortest period: WM_TIMER comes after input and painting, so the user is answered between slices.
        StartTimer(FilterTimer, 1);
        m_filterTimerRunning = true;
    }
}

void Grid::StopFilterTimer()
{
    if (m_filterTimerRunning && m_handle != nullptr)
    {
        StopTimer(FilterTimer);
    }
    m_filterTimerRunning = false;
}

void Grid::OnFilterTimer()
{
    if (!IsFilterPending())
    {
        StopFilterTimer();
        return;
    }
    EnsureView();
    SearchFilter(FilterSlice);
    ApplyPendingChanges();
    if (!IsFilterPending())
    {
        DropHiddenSelection();
    }
    ReportVisibleRowCount();
}

void Grid::DropHiddenSelection()
{
    State& state = *m_state;
    if (!IsFiltered())
    {
        return;
    }
    bool changed = false;
    std::vector<uint64_t>& selected = state.selected.words;
    const std::vector<uint64_t>& matched = state.matched.words;
    for (size_t word = 0; word < selected.size() && state.selected.count > 0; word++)
    {
        uint64_t hidden = selected[word] & ~(word < matched.size() ? matched[word] : 0);
        if (hidden != 0)
        {
            selected[word] &= ~hidden;
            state.selected.count -= __builtin_popcountll(hidden);
            changed = true;
        }
    }
    m_anchorRow = m_anchorRow >= 0 && state.matched.Get(m_anchorRow) ? m_anchorRow : -1;
    if (m_focusRow >= 0 && !state.matched.Get(m_focusRow))
    {
        m_focusRow = -1;
        changed = true;
    }
    if (changed)
    {
        Invalidate();
        RaiseSelectionChanged();
    }
}

void Grid::ReportVisibleRowCount()
{
    int count = GetVisibleRowCount();
    bool pending = IsFilterPending();
    if (count == m_reportedCount && pending == m_reportedPending)
    {
        return;
    }
    if (count != m_reportedCount && IsFiltered())
    {
        // The table's rows are others now: screen readers ask again.
        NotifyAccessibleEvent(*this, EVENT_OBJECT_REORDER);
    }
    m_reportedCount = count;
    m_reportedPending = pending;
    EventArgs args;
    VisibleRowCountChanged.Raise(this, args);
}

// --- Selection ---

bool Grid::IsRowSelected(int row) const
{
    return m_state->IsSelected(row);
}

int Grid::GetSelectedRowCount() const
{
    return m_state->selected.count;
}

void Grid::SelectRow(int row)
{
    if (row < -1 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"Grid.SelectRow method - row index out of range"));
    }
    m_state->ClearSelected();
    m_focusRow = row;
    m_anchorRow = row;
    if (row >= 0)
    {
        m_state->SetSelected(row, true);
        EnsureVisible(row);
    }
    Invalidate();
}

void Grid::SelectAll()
{
    RowBits& selected = m_state->selected;
    if (IsFiltered())
    {
        // The rows shown.
        EnsureView();
        selected = m_state->matched;
        Invalidate();
        return;
    }
    int count = m_model.GetRowCount();
    selected.words.assign((static_cast<size_t>(count) + 63) / 64, ~uint64_t{0});
    if (count % 64 != 0)
    {
        selected.words.back() = (uint64_t{1} << (count % 64)) - 1;
    }
    selected.count = count;
    Invalidate();
}

void Grid::ClearSelection()
{
    m_state->ClearSelected();
    Invalidate();
}

void Grid::RaiseSelectionChanged()
{
    int view = m_focusRow >= 0 && m_focusRow < m_model.GetRowCount() ? GetViewIndexOfRow(m_focusRow) : -1;
    if (view >= 0)
    {
        // Item 0 is the header row: the row shown i-th is item i + 1.
        int item = view + 1;
        if (IsFocused())
        {
            NotifyAccessibleEvent(*this, EVENT_OBJECT_FOCUS, item);
        }
        NotifyAccessibleEvent(*this, EVENT_OBJECT_SELECTION, item);
    }
    EventArgs args;
    SelectionChanged.Raise(this, args);
}

void Grid::MoveFocus(int viewIndex, int keys)
{
    Settle();
    int count = ViewCount();
    if (count == 0)
    {
        return;
    }
    viewIndex = viewIndex < 0 ? 0 : (viewIndex >= count ? count - 1 : viewIndex);
    int row = ViewToRow(viewIndex);
    bool shift = (keys & Keys::Shift) != 0;
    bool control = (keys & Keys::Control) != 0;
    // An anchor the filter hides no longer marks where a range starts.
    int anchor = m_anchorRow >= 0 ? RowToView(m_anchorRow) : -1;
    if (shift && anchor >= 0)
    {
        if (!control)
        {
            m_state->ClearSelected();
        }
        int from = anchor < viewIndex ? anchor : viewIndex;
        int to = anchor < viewIndex ? viewIndex : anchor;
        for (int v = from; v <= to; v++)
        {
            m_state->SetSelected(ViewToRow(v), true);
        }
        m_focusRow = row;
    }
    else if (control)
    {
        // Ctrl moves the focus alone; Ctrl+Space then adds or removes the row.
        m_focusRow = row;
    }
    else
    {
        m_state->ClearSelected();
        m_state->SetSelected(row, true);
        m_focusRow = row;
        m_anchorRow = row;
    }
    EnsureVisible(row);
    Invalidate();
    RaiseSelectionChanged();
}

void Grid::ClickRow(int row, int keys)
{
    bool shift = (keys & Keys::Shift) != 0;
    bool control = (keys & Keys::Control) != 0;
    if (control && !shift)
    {
        m_state->SetSelected(row, !m_state->IsSelected(row));
        m_focusRow = row;
        m_anchorRow = row;
        Invalidate();
        RaiseSelectionChanged();
        return;
    }
    MoveFocus(RowToView(row), keys);
}

// --- Copying ---

String Grid::GetSelectionText()
{
    Settle();
    std::wstring text;
    int columns = m_columns.GetCount();
    for (int column = 0; column < columns; column++)
    {
        if (column > 0)
        {
            text.push_back(L'\t');
        }
        const String& header = m_columns[column].GetHeaderText();
        AppendCellForCopy(text, header.GetBuffer(), header.GetLength());
    }
    text.append(L"\r\n");
    CellBuffer& cell = m_state->first;
    int count = ViewCount();
    for (int view = 0; view < count && m_state->selected.count > 0; view++)
    {
        int row = ViewToRow(view);
        if (!m_state->IsSelected(row))
        {
            continue;
        }
        for (int column = 0; column < columns; column++)
        {
            if (column > 0)
            {
                text.push_back(L'\t');
            }
            cell.Read(m_model, row, column);
            AppendCellForCopy(text, cell.characters.data(), cell.length);
        }
        text.append(L"\r\n");
    }
    return String(text.data(), static_cast<int>(text.size()));
}

void Grid::CopySelection()
{
    PutOnClipboard(GetSelectionText());
}

// --- Geometry ---

void Grid::UpdateMetrics()
{
    if (m_rowHeight != 0 && m_metricsDpi == m_dpi)
    {
        return;
    }
    int lineHeight = MeasureText(String(), GetFontHandle()).height;
    m_rowHeight = lineHeight + Scale(6);
    m_headerHeight = lineHeight + Scale(10);
    m_metricsDpi = m_dpi;
}

int Grid::GetRowHeight()
{
    UpdateMetrics();
    return m_rowHeight;
}

int Grid::GetHeaderHeight()
{
    UpdateMetrics();
    return m_headerHeight;
}

int Grid::ContentWidth()
{
    int width = 0;
    for (int column = 0; column < m_columns.GetCount(); column++)
    {
        width += Scale(m_columns[column].GetWidth());
    }
    return width;
}

int Grid::GetColumnRight(int column)
{
    CheckColumn(column, L"Grid.GetColumnRight method");
    int right = -GetScrollPosition().x;
    for (int i = 0; i <= column; i++)
    {
        right += Scale(m_columns[i].GetWidth());
    }
    return right;
}

int Grid::GetRowAt(const Point& point)
{
    Settle();
    int header = GetHeaderHeight();
    if (point.y < header || point.y >= GetViewportRectangle().height)
    {
        return -1;
    }
    int view = (point.y - header + GetScrollPosition().y) / GetRowHeight();
    return view >= 0 && view < ViewCount() ? ViewToRow(view) : -1;
}

int Grid::GetColumnAt(const Point& point)
{
    int left = -GetScrollPosition().x;
    for (int column = 0; column < m_columns.GetCount(); column++)
    {
        int right = left + Scale(m_columns[column].GetWidth());
        if (point.x >= left && point.x < right)
        {
            return column;
        }
        left = right;
    }
    return -1;
}

int Grid::HitColumnEdge(int x)
{
    int reach = Scale(4);
    int right = -GetScrollPosition().x;
    int found = -1;
    for (int column = 0; column < m_columns.GetCount(); column++)
    {
        right += Scale(m_columns[column].GetWidth());
        // The last edge within reach wins, so that a column narrowed to nothing can be widened again.
        if (x >= right - reach && x <= right + reach)
        {
            found = column;
        }
    }
    return found;
}

Rectangle Grid::GetRowBounds(int row)
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"Grid.GetRowBounds method - row index out of range"));
    }
    Settle();
    int view = RowToView(row);
    if (view < 0)
    {
        return Rectangle{};
    }
    return Rectangle{0, GetHeaderHeight() + view * GetRowHeight() - GetScrollPosition().y, GetViewportRectangle().width,
                     GetRowHeight()};
}

void Grid::EnsureVisible(int row)
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        return;
    }
    Settle();
    // Whole rows at the top, as the system's lists scroll.
    int view = RowToView(row);
    if (view < 0)
    {
        return;
    }
    int rowHeight = GetRowHeight();
    Point position = GetScrollPosition();
    int fit = (GetViewportRectangle().height - GetHeaderHeight()) / rowHeight;
    fit = fit > 1 ? fit : 1;
    int first = (position.y + rowHeight - 1) / rowHeight;
    if (view < first)
    {
        SetScrollPosition(Point{position.x, view * rowHeight});
    }
    else if (view > first + fit - 1)
    {
        SetScrollPosition(Point{position.x, (view - fit + 1) * rowHeight});
    }
}

void Grid::InvalidateRow(int row)
{
    if (row >= 0 && row < m_model.GetRowCount() && m_handle != nullptr && RowToView(row) >= 0)
    {
        Invalidate(GetRowBounds(row));
    }
}

void Grid::AutoSizeColumn(int column)
{
    CheckColumn(column, L"Grid.AutoSizeColumn method");
    Settle();
    WindowContext context(m_handle);
    HDC screen = context.Get();
    Selection font(screen, GetFontHandle());
    auto measure = [screen](const wchar_t* text, int length)
    {
        SIZE size = {0, 0};
        GetTextExtentPoint32W(screen, text, length, &size);
        return static_cast<int>(size.cx);
    };
    const String& header = m_columns[column].GetHeaderText();
    // The header also holds the sort arrow.
    int widest = measure(header.GetBuffer(), header.GetLength()) + Scale(14);
    int count = ViewCount();
    int first = 0;
    int last = count - 1;
    if (count > AutoSizeAllRowsLimit)
    {
        int top = GetScrollPosition().y / GetRowHeight();
        first = top - AutoSizeAroundView < 0 ? 0 : top - AutoSizeAroundView;
        last = top + AutoSizeAroundView >= count ? count - 1 : top + AutoSizeAroundView;
    }
    CellBuffer& cell = m_state->first;
    for (int view = first; view <= last; view++)
    {
        cell.Read(m_model, ViewToRow(view), column);
        int width = measure(cell.characters.data(), cell.length);
        widest = width > widest ? width : widest;
    }
    m_columns[column].SetWidth(Unscale(widest + 2 * Scale(6)) + 1);
}

void Grid::OnFontChanged()
{
    m_rowHeight = 0;
    m_scrollDirty = true;
    ScrollableControl::OnFontChanged();
}

void Grid::OnDpiChanged(int oldDpi, int newDpi)
{
    // The metrics notice the new DPI themselves; the scroll range does not.
    m_scrollDirty = true;
    ScrollableControl::OnDpiChanged(oldDpi, newDpi);
}

void Grid::OnScroll(const Point& oldPosition, const Point& newPosition)
{
    if (m_handle == nullptr)
    {
        return;
    }
    if (oldPosition.x != newPosition.x)
    {
        Invalidate();
        return;
    }
    // Only the rows move; the header stays.
    Rectangle client = GetViewportRectangle();
    int header = GetHeaderHeight();
    RECT rows = {0, header, client.width, client.height};
    ScrollWindowEx(m_handle, 0, oldPosition.y - newPosition.y, &rows, &rows, nullptr, nullptr, SW_INVALIDATE);
}

// --- Mouse ---

void Grid::OnMouseDown(const Point& point, int button, int keys)
{
    Focus();
    if (point.y < GetHeaderHeight())
    {
        if (button != MouseButtons::Left)
        {
            return;
        }
        int edge = HitColumnEdge(point.x);
        if (edge >= 0)
        {
            m_resizeColumn = edge;
            m_resizeStartX = point.x;
            m_resizeStartWidth = Scale(m_columns[edge].GetWidth());
        }
        else
        {
            m_pressedHeader = GetColumnAt(point);
            Invalidate(Rectangle{0, 0, GetViewportRectangle().width, GetHeaderHeight()});
        }
        CaptureMouse();
        return;
    }
    int row = GetRowAt(point);
    if (row < 0)
    {
        return;
    }
    if (button == MouseButtons::Right)
    {
        // A right click keeps a selection it falls into, for a context menu acting on it.
        if (!m_state->IsSelected(row))
        {
            ClickRow(row, 0);
        }
        return;
    }
    if (button == MouseButtons::Left)
    {
        ClickRow(row, keys);
        m_selecting = true;
        CaptureMouse();
    }
}

void Grid::OnMouseMove(const Point& point, int keys)
{
    if (m_resizeColumn >= 0)
    {
        int width = m_resizeStartWidth + point.x - m_resizeStartX;
        m_columns[m_resizeColumn].SetWidth(Unscale(width < 0 ? 0 : width));
        Update();
        return;
    }
    if (m_selecting && (keys & MouseButtons::Left) != 0)
    {
        // Dragging extends the selection from the anchor, scrolling at the edges.
        Rectangle client = GetViewportRectangle();
        int y =
            point.y < GetHeaderHeight() ? GetHeaderHeight() : (point.y >= client.height ? client.height - 1 : point.y);
        int row = GetRowAt(Point{point.x, y});
        if (row >= 0 && row != m_focusRow)
        {
            MoveFocus(RowToView(row), Keys::Shift | (GetModifierKeys() & Keys::Control));
        }
        return;
    }
    bool onEdge = point.y < GetHeaderHeight() && HitColumnEdge(point.x) >= 0;
    SetCursorId(onEdge ? 0x7F84 : 0x7F00);
    if (onEdge)
    {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
    }
    int hot = point.y < GetHeaderHeight() && !onEdge ? GetColumnAt(point) : -1;
    if (hot != m_hotHeader)
    {
        m_hotHeader = hot;
        Invalidate(Rectangle{0, 0, GetViewportRectangle().width, GetHeaderHeight()});
    }
}

void Grid::OnMouseUp(const Point& point, int button, int)
{
    if (button != MouseButtons::Left)
    {
        return;
    }
    m_selecting = false;
    if (m_resizeColumn >= 0)
    {
        m_resizeColumn = -1;
        ReleaseMouse();
        return;
    }
    if (m_pressedHeader >= 0)
    {
        int column = m_pressedHeader;
        m_pressedHeader = -1;
        ReleaseMouse();
        Invalidate(Rectangle{0, 0, GetViewportRectangle().width, GetHeaderHeight()});
        if (point.y >= 0 && point.y < GetHeaderHeight() && GetColumnAt(point) == column)
        {
            // A second click on the sorted column turns the order round.
            Sort(column, column == m_sortColumn ? !m_sortDescending : false);
            EnsureVisible(m_focusRow);
        }
        return;
    }
    if (HasMouseCapture())
    {
        ReleaseMouse();
    }
}

void Grid::OnMouseDoubleClick(const Point& point, int button, int keys)
{
    if (button == MouseButtons::Left && point.y < GetHeaderHeight())
    {
        int edge = HitColumnEdge(point.x);
        if (edge >= 0)
        {
            AutoSizeColumn(edge);
            return;
        }
    }
    OnMouseDown(point, button, keys);
}

void Grid::OnMouseLeave()
{
    if (m_hotHeader >= 0)
    {
        m_hotHeader = -1;
        Invalidate(Rectangle{0, 0, GetViewportRectangle().width, GetHeaderHeight()});
    }
}

void Grid::OnCaptureLost()
{
    m_resizeColumn = -1;
    m_selecting = false;
    if (m_pressedHeader >= 0)
    {
        m_pressedHeader = -1;
        Invalidate();
    }
}

// --- Keyboard ---

bool Grid::IsInputKey(int keyData) const
{
    return Keys::IsNavigation(keyData);
}

bool Grid::OnKeyDown(int keyData)
{
    int key = keyData & Keys::KeyCode;
    int modifiers = keyData & Keys::Modifiers;
    if (modifiers == Keys::Control && key == Keys::A)
    {
        SelectAll();
        RaiseSelectionChanged();
        return true;
    }
    if (modifiers == Keys::Control && (key == Keys::C || key == Keys::Insert))
    {
        CopySelection();
        return true;
    }
    Settle();
    int count = ViewCount();
    int current = m_focusRow >= 0 ? RowToView(m_focusRow) : -1;
    int page = (GetViewportRectangle().height - GetHeaderHeight()) / GetRowHeight();
    page = page > 1 ? page : 1;
    switch (key)
    {
    case Keys::Up:
        MoveFocus(current < 0 ? 0 : current - 1, modifiers);
        return true;
    case Keys::Down:
        MoveFocus(current + 1, modifiers);
        return true;
    case Keys::PageUp:
        MoveFocus(current - (page - 1), modifiers);
        return true;
    case Keys::PageDown:
        MoveFocus(current < 0 ? page - 1 : current + (page - 1), modifiers);
        return true;
    case Keys::Home:
        MoveFocus(0, modifiers);
        return true;
    case Keys::End:
        MoveFocus(count - 1, modifiers);
        return true;
    case Keys::Left:
        ScrollBy(-Scale(20), 0);
        return true;
    case Keys::Right:
        ScrollBy(Scale(20), 0);
        return true;
    case Keys::Space:
        if (modifiers == Keys::Control && m_focusRow >= 0)
        {
            m_state->SetSelected(m_focusRow, !m_state->IsSelected(m_focusRow));
            m_anchorRow = m_focusRow;
            InvalidateRow(m_focusRow);
            RaiseSelectionChanged();
            return true;
        }
        return false;
    default:
        return false;
    }
}

// --- Painting ---

void Grid::OnPaint(Graphics& graphics, const Rectangle& clip)
{
    Settle();
    if (clip.GetBottom() > GetHeaderHeight())
    {
        int state = graphics.Save();
        graphics.IntersectClip(
            Rectangle{clip.left, GetHeaderHeight(), clip.width, clip.GetBottom() - GetHeaderHeight()});
        PaintRows(graphics, clip);
        graphics.Restore(state);
    }
    if (clip.top < GetHeaderHeight())
    {
        PaintHeader(graphics, clip);
    }
}

void Grid::PaintHeader(Graphics& graphics, const Rectangle& clip)
{
    int height = GetHeaderHeight();
    graphics.FillRectangle(Rectangle{clip.left, 0, clip.width, height}, Theme::Window());
    Color separator = Colors::Blend(Theme::Separator(), Theme::Window(), 80);
    FontHandle font = GetFontHandle();
    int left = -GetScrollPosition().x;
    int padding = Scale(6);
    for (int column = 0; column < m_columns.GetCount(); column++)
    {
        int width = Scale(m_columns[column].GetWidth());
        Rectangle cell{left, 0, width, height};
        left += width;
        if (cell.GetRight() < clip.left || cell.left >= clip.GetRight())
        {
            continue;
        }
        if (column == m_pressedHeader)
        {
            graphics.FillRectangle(cell, Theme::PressedFill());
        }
        else if (column == m_hotHeader)
        {
            graphics.FillRectangle(cell, Theme::HoverFill());
        }
        graphics.FillRectangle(Rectangle{cell.GetRight() - Scale(1), Scale(3), Scale(1), height - Scale(6)}, separator);
        if (column == m_sortColumn)
        {
            // The arrow sits above the text, in the middle, as in the system's lists.
            Rectangle arrow{cell.left, 0, cell.width, Scale(8)};
            graphics.DrawChevron(arrow, m_sortDescending ? Direction::Down : Direction::Up,
                                 Colors::Blend(Theme::ControlText(), Theme::Window(), 55));
        }
        Rectangle text{cell.left + padding, Scale(2), cell.width - 2 * padding, height - Scale(2)};
        graphics.DrawString(m_columns[column].GetHeaderText(), text, font, Theme::ControlText(),
                            TextFormat::SingleLine | TextFormat::VerticalCenter | TextFormat::NoPrefix |
                                TextFormat::EndEllipsis);
    }
    graphics.FillRectangle(Rectangle{clip.left, height - Scale(1), clip.width, Scale(1)}, separator);
}

void Grid::PaintRows(Graphics& graphics, const Rectangle& clip)
{
    int count = ViewCount();
    int rowHeight = GetRowHeight();
    int header = GetHeaderHeight();
    Point position = GetScrollPosition();
    int top = clip.top > header ? clip.top : header;
    int first = (top - header + position.y) / rowHeight;
    int last = (clip.GetBottom() - 1 - header + position.y) / rowHeight;
    last = last < count - 1 ? last : count - 1;
    bool focused = IsFocused();
    bool enabled = IsEnabled();
    Color window = GetBackColor();
    Color stripe = Colors::Blend(Theme::Face(), window, 55);
    Color selectedFill = focused ? Theme::Highlight() : Colors::Blend(Theme::Face(), Theme::Window(), 85);
    Color selectedText = focused ? Theme::HighlightText() : Theme::ControlText();
    Color text = enabled ? GetForeColor() : Theme::GrayText();
    Color gridLine = Colors::Blend(Theme::Separator(), window, 30);
    int contentRight = ContentWidth() - position.x;
    int padding = Scale(6);
    HDC deviceContext = static_cast<HDC>(graphics.GetHandle());
    SelectObject(deviceContext, GetFontHandle());
    CellBuffer& cell = m_state->first;
    int columns = m_columns.GetCount();
    for (int view = first; view <= last; view++)
    {
        int row = ViewToRow(view);
        int y = header + view * rowHeight - position.y;
        bool selected = m_state->IsSelected(row);
        if (selected)
        {
            graphics.FillRectangle(Rectangle{clip.left, y, contentRight - clip.left, rowHeight}, selectedFill);
        }
        else if (view % 2 == 1)
        {
            graphics.FillRectangle(Rectangle{clip.left, y, contentRight - clip.left, rowHeight}, stripe);
        }
        SetTextColor(deviceContext, Colors::ToColorRef(selected ? selectedText : text));
        int left = -position.x;
        for (int column = 0; column < columns; column++)
        {
            int width = Scale(m_columns[column].GetWidth());
            int cellLeft = left;
            left += width;
            if (left <= clip.left || cellLeft >= clip.GetRight())
            {
                continue;
            }
            if (!selected)
            {
                graphics.FillRectangle(Rectangle{left - Scale(1), y, Scale(1), rowHeight}, gridLine);
            }
            cell.Read(m_model, row, column);
            if (cell.length > 0)
            {
                RECT bounds = {cellLeft + padding, y, left - padding, y + rowHeight};
                DrawTextW(deviceContext, cell.characters.data(), cell.length, &bounds,
                          DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            }
        }
        if (focused && row == m_focusRow)
        {
            graphics.DrawFocusRectangle(Rectangle{-position.x, y, ContentWidth(), rowHeight},
                                        selected ? selectedText : text, selected ? selectedFill : window);
        }
    }
}

// --- Accessibility: a table whose first row holds the column headers ---
//
// Rows are objects of their own, made only when a client asks for one, so a million rows cost nothing until
// then; their cells are simple items named by their text and described by their column's header. A row object
// stands for its row, not for a place in the order, so a client holding it across a sort still reads that row.

namespace
{

class GridRowAccessibleObject : public AccessibleObject
{
public:
    // row -1 is the row of column headers.
    GridRowAccessibleObject(Grid& grid, const AccessibleObject& owner, int row)
        : AccessibleObject(grid, owner), m_grid(grid), m_row(row), m_clearCount(grid.GetModel().GetClearCount())
    {
    }

    // Gone while the filter hides the row, and for good once the rows are cleared: a new row may take its index.
    bool IsPresent() override
    {
        return m_row < 0 || (m_grid.GetModel().GetClearCount() == m_clearCount && m_row < m_grid.GetRowCount() &&
                             m_grid.IsRowVisible(m_row));
    }
    int GetRole() override { return AccessibleRoles::Row; }
    String GetName() override
    {
        if (m_row < 0)
        {
            return String(L"Column headers");
        }
        return m_grid.GetColumns().GetCount() > 0 ? m_grid.GetCellText(m_row, 0) : String();
    }
    int GetState() override
    {
        if (m_row < 0)
        {
            return 0;
        }
        int state = AccessibleStates::Selectable | AccessibleStates::Focusable;
        if (m_grid.IsRowSelected(m_row))
        {
            state |= AccessibleStates::Selected;
        }
        if (m_grid.IsFocused() && m_grid.GetSelectedRow() == m_row)
        {
            state |= AccessibleStates::Focused;
        }
        Rectangle bounds = RowBounds();
        if (bounds.GetBottom() <= m_grid.GetHeaderHeight() || bounds.top >= m_grid.GetClientRectangle().height)
        {
            state |= AccessibleStates::Offscreen;
        }
        return state;
    }
    Rectangle GetScreenBounds() override { return ClientToScreen(m_grid, RowBounds()); }
    void* GetParentInterface() override { return m_grid.GetAccessibilityObject().GetInterface(); }
    int GetChildControlCount() override { return 0; }
    Control* GetChildControl(int) override { return nullptr; }

    int GetItemCount() override { return m_grid.GetColumns().GetCount(); }
    AccessibleItem GetItem(int column) override
    {
        AccessibleItem item;
        Rectangle row = RowBounds();
        int right = m_grid.GetColumnRight(column);
        int left = column == 0 ? -m_grid.GetScrollPosition().x : m_grid.GetColumnRight(column - 1);
        item.bounds = Rectangle{left, row.top, right - left, row.height};
        if (m_row < 0)
        {
            item.role = AccessibleRoles::ColumnHeader;
            item.name = m_grid.GetHeaderText(column);
            item.defaultAction = String(L"Sort");
            return item;
        }
        item.role = AccessibleRoles::Cell;
        item.name = m_grid.GetCellText(m_row, column);
        item.description = m_grid.GetHeaderText(column);
        item.state = GetState() & (AccessibleStates::Selected | AccessibleStates::Offscreen);
        return item;
    }
    int HitTestItem(const Point& point) override { return m_grid.GetColumnAt(point); }
    bool DoItemAction(int column) override
    {
        if (m_row >= 0)
        {
            return false;
        }
        bool descending = m_grid.GetSortColumn() == column && !m_grid.IsSortDescending();
        m_grid.Sort(column, descending);
        return true;
    }

private:
    Rectangle RowBounds()
    {
        if (m_row < 0)
        {
            return Rectangle{0, 0, m_grid.GetClientRectangle().width, m_grid.GetHeaderHeight()};
        }
        return m_grid.GetRowBounds(m_row);
    }

    Grid& m_grid;
    int m_row;             // as added
    uint64_t m_clearCount; // the model's when the object was made
};

class GridAccessibleObject : public AccessibleObject
{
public:
    explicit GridAccessibleObject(Grid& grid) : AccessibleObject(grid), m_grid(grid) {}

    int GetRole() override { return AccessibleRoles::Table; }
    // Item 0 is the row of column headers; item i the row shown i-th.
    int GetItemCount() override { return m_grid.GetVisibleRowCount() + 1; }
    AccessibleItem GetItem(int index) override
    {
        AccessibleItem item;
        item.role = AccessibleRoles::Row;
        if (index > 0)
        {
            item.bounds = m_grid.GetRowBounds(m_grid.GetRowAtViewIndex(index - 1));
        }
        return item;
    }
    void* GetItemObject(int index) override
    {
        if (index < 0 || index >= GetItemCount())
        {
            return nullptr;
        }
        int row = index == 0 ? -1 : m_grid.GetRowAtViewIndex(index - 1);
        return CreateWindowlessAccessible(new GridRowAccessibleObject(m_grid, *this, row));
    }
    int HitTestItem(const Point& point) override
    {
        if (point.y < m_grid.GetHeaderHeight())
        {
            return 0;
        }
        int row = m_grid.GetRowAt(point);
        return row >= 0 ? m_grid.GetViewIndexOfRow(row) + 1 : -1;
    }
    int GetFocusedItem() override { return m_grid.IsFocused() ? GetSelectedItem() : -1; }
    int GetSelectedItem() override
    {
        int row = m_grid.GetSelectedRow();
        int view = row >= 0 && row < m_grid.GetModel().GetRowCount() ? m_grid.GetViewIndexOfRow(row) : -1;
        return view >= 0 ? view + 1 : -1;
    }
    bool SelectItem(int index) override
    {
        if (index < 1 || index >= GetItemCount())
        {
            return false;
        }
        m_grid.SelectRow(m_grid.GetRowAtViewIndex(index - 1));
        return true;
    }

private:
    Grid& m_grid;
};

} // namespace

AccessibleObject* Grid::CreateAccessibilityObject()
{
    return new GridAccessibleObject(*this);
}

} // namespace Core::Controls
