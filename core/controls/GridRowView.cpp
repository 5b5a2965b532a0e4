#include "core/controls/GridRowView.h"

#include "core/Exception.h"
#include "core/controls/GridCellBuffer.h"
#include "core/controls/TextFinder.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>
#include <windows.h>

namespace Core::Controls
{

using Internal::CellBuffer;

namespace
{

// The filter's search looks at the clock once per stretch of this many rows.
constexpr int FilterStretch = 65536;
// The finished searches kept, so that deleting back to an earlier text needs no search.
constexpr size_t KeptSearches = 16;
// A sort of more rows than this tells the observer, which shows that something is going on.
constexpr int LongSortRows = 50000;

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

} // namespace

// The order, the filter's rows and the selection, kept apart from the header so that the standard containers stay
// in this file.
class GridRowView::State
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

GridRowView::GridRowView(GridModel& model) : m_model(model), m_state(new State())
{
    m_model.SetObserver(this);
}

GridRowView::~GridRowView()
{
    m_model.SetObserver(nullptr);
    delete m_state;
}

void GridRowView::Notify(int firstPosition, bool countChanged)
{
    if (m_observer != nullptr)
    {
        m_observer->OnViewChanged(firstPosition, countChanged);
    }
}

// --- Model changes ---

void GridRowView::OnRowsAdded(int firstRow, int)
{
    if (IsFiltered())
    {
        // The new rows are still empty: the filter looks at them once they are taken in, when their cells are set,
        // and they show from then on if they pass.
        Notify(NoPosition, false);
        return;
    }
    // While sorted the new rows wait at the end of the model until the next merge puts them in place.
    Notify(m_sortColumn >= 0 ? 0 : firstRow, true);
}

void GridRowView::OnCellChanged(int row, int column)
{
    State& state = *m_state;
    state.ForgetSearchesOf(row);
    if (IsFiltered() && row >= state.filterRows)
    {
        // Not shown yet: the filter looks at the row when it takes in the rows added.
        return;
    }
    bool countChanged = false;
    if (IsFiltered())
    {
        // A row the filter has seen is looked at again; a row still to be searched is checked twice, which
        // changes nothing.
        bool passes = RowPasses(row, state.finder);
        if (passes != state.matched.Get(row))
        {
            state.matched.Set(row, passes);
            state.ViewChanged();
            countChanged = true;
        }
    }
    if (m_sortColumn < 0 && !IsFiltered())
    {
        Notify(row, false);
        return;
    }
    if (column == m_sortColumn && row < static_cast<int>(state.order.size()))
    {
        // A row already in place changed its key.
        state.needsSort = true;
        state.ViewChanged();
    }
    Notify(0, countChanged);
}

void GridRowView::OnModelReset()
{
    State& state = *m_state;
    state.order.clear();
    state.positions.clear();
    state.positionsValid = false;
    state.needsSort = false;
    state.selected.Release();
    // A filter searches the rows that remain again, from the start.
    state.ResetFilter();
    std::vector<State::KeptSearch>().swap(state.kept);
    if (m_sortColumn >= m_model.GetColumnCount())
    {
        m_sortColumn = -1;
    }
    int rows = m_model.GetRowCount();
    m_focusRow = m_focusRow < rows ? m_focusRow : -1;
    m_anchorRow = m_anchorRow < rows ? m_anchorRow : -1;
    if (rows > 0 && m_sortColumn >= 0)
    {
        state.needsSort = true;
    }
    if (m_focusRow >= 0)
    {
        state.selected.Set(m_focusRow, true);
    }
    Notify(0, true);
}

// --- Order ---

void GridRowView::Sort(int column, bool descending)
{
    if (column < 0 || column >= m_model.GetColumnCount())
    {
        throw ArgumentOutOfRangeException(column, String(L"GridRowView.Sort method - column index out of range"));
    }
    m_sortColumn = column;
    m_sortDescending = descending;
    m_state->order.clear();
    m_state->needsSort = true;
    m_state->ViewChanged();
}

void GridRowView::ClearSort()
{
    m_sortColumn = -1;
    std::vector<int>().swap(m_state->order);
    m_state->positions.clear();
    m_state->needsSort = false;
    m_state->ViewChanged();
}

void GridRowView::EnsureOrder()
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

int GridRowView::CompareRows(int a, int b)
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

void GridRowView::SortAll()
{
    // Each cell is read and keyed once (a number, or the locale's sort key of the text); the sort then
    // compares keys only.
    int count = m_model.GetRowCount();
    bool longSort = count > LongSortRows && m_observer != nullptr;
    if (longSort)
    {
        m_observer->OnLongSortStarted();
    }
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
    if (longSort)
    {
        m_observer->OnLongSortEnded();
    }
}

void GridRowView::MergeNewRows()
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

// --- Positions ---

void GridRowView::Update()
{
    EnsureOrder();
    if (IsFiltered())
    {
        // Rows added since the filter last looked are searched with the rest, after them.
        m_state->filterRows = m_model.GetRowCount();
    }
}

void GridRowView::EnsureShown()
{
    Update();
    State& state = *m_state;
    if (!IsFiltered() || state.shownValid)
    {
        return;
    }
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

int GridRowView::GetVisibleRowCount() const
{
    return IsFiltered() ? m_state->matched.count : m_model.GetRowCount();
}

int GridRowView::RowAt(int position) const
{
    if (IsFiltered())
    {
        return m_state->shown[static_cast<size_t>(position)];
    }
    return m_sortColumn >= 0 ? m_state->order[static_cast<size_t>(position)] : position;
}

int GridRowView::GetRowAt(int position)
{
    if (position < 0 || position >= GetVisibleRowCount())
    {
        throw ArgumentOutOfRangeException(position, String(L"GridRowView.GetRowAt method - position out of range"));
    }
    EnsureShown();
    return RowAt(position);
}

int GridRowView::GetPositionOf(int row)
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"GridRowView.GetPositionOf method - row index out of range"));
    }
    if (m_sortColumn < 0 && !IsFiltered())
    {
        return row;
    }
    EnsureShown();
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
    return state.positions[static_cast<size_t>(row)];
}

// --- Filter ---

bool GridRowView::SetFilterText(const String& text, double seconds)
{
    if (text == m_filterText)
    {
        return false;
    }
    State& state = *m_state;
    TextFinder finder(text);
    if (finder.IsEmpty())
    {
        m_filterText = String();
        state.finder = finder;
        // The kept searches stay for the next text.
        state.ResetFilter();
        return true;
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
    Search(seconds);
    return true;
}

bool GridRowView::IsFilterPending() const
{
    const State& state = *m_state;
    return IsFiltered() && (state.IsSearching() || state.filterRows < m_model.GetRowCount());
}

void GridRowView::ContinueFilter(double seconds)
{
    Update();
    if (IsFilterPending())
    {
        Search(seconds);
    }
}

bool GridRowView::IsRowVisible(int row) const
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"GridRowView.IsRowVisible method - row index out of range"));
    }
    return !IsFiltered() || m_state->matched.Get(row);
}

void GridRowView::Search(double seconds)
{
    State& state = *m_state;
    double deadline = Now() + seconds;
    int count = state.matched.count;
    const TextFinder& finder = state.finder;
    RowBits& matched = state.matched;
    // First the rows the last text found: those that fail the new one leave. Then every row not searched yet:
    // those that pass join. A stretch of rows at a time, between looks at the clock.
    while (state.IsSearching())
    {
        if (state.bitsNext < state.bitsEnd)
        {
            int end = state.bitsEnd - state.bitsNext > FilterStretch ? state.bitsNext + FilterStretch : state.bitsEnd;
            for (int row = matched.NextSet(state.bitsNext, end); row < end; row = matched.NextSet(row + 1, end))
            {
                if (!RowPasses(row, finder))
                {
                    matched.Set(row, false);
                }
            }
            state.bitsNext = end;
        }
        else
        {
            int end =
                state.filterRows - state.rangeNext > FilterStretch ? state.rangeNext + FilterStretch : state.filterRows;
            if (m_shownMatcher)
            {
                for (int row = state.rangeNext; row < end; row++)
                {
                    if (RowPasses(row, finder))
                    {
                        matched.Set(row, true);
                    }
                }
            }
            else
            {
                for (int row = m_model.FindRow(state.rangeNext, end, finder); row < end;
                     row = m_model.FindRow(row + 1, end, finder))
                {
                    matched.Set(row, true);
                }
            }
            state.rangeNext = end;
        }
        if (Now() > deadline)
        {
            break;
        }
    }
    if (!state.IsSearching())
    {
        state.Keep();
    }
    if (state.matched.count != count)
    {
        state.ViewChanged();
        Notify(0, true);
    }
}

bool GridRowView::RowPasses(int row, const TextFinder& finder) const
{
    return m_model.RowContains(row, finder) || (m_shownMatcher && m_shownMatcher(row, finder));
}

void GridRowView::SetShownMatcher(ShownMatcher matches)
{
    m_shownMatcher = std::move(matches);
    State& state = *m_state;
    // What was found by the texts shown before holds no longer.
    std::vector<State::KeptSearch>().swap(state.kept);
    if (IsFiltered())
    {
        state.matched.Clear();
        state.filterRows = m_model.GetRowCount();
        state.bitsNext = 0;
        state.bitsEnd = 0;
        state.rangeNext = 0;
        state.ViewChanged();
        Notify(0, true);
    }
}

bool GridRowView::DropHiddenSelection()
{
    State& state = *m_state;
    if (!IsFiltered())
    {
        return false;
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
    return changed;
}

// --- Selection ---

bool GridRowView::IsRowSelected(int row) const
{
    return m_state->selected.Get(row);
}

int GridRowView::GetSelectedRowCount() const
{
    return m_state->selected.count;
}

void GridRowView::SelectRow(int row)
{
    if (row < -1 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"GridRowView.SelectRow method - row index out of range"));
    }
    m_state->selected.Clear();
    m_focusRow = row;
    m_anchorRow = row;
    if (row >= 0)
    {
        m_state->selected.Set(row, true);
    }
}

void GridRowView::SelectAll()
{
    RowBits& selected = m_state->selected;
    if (IsFiltered())
    {
        selected = m_state->matched;
        return;
    }
    int count = m_model.GetRowCount();
    selected.words.assign((static_cast<size_t>(count) + 63) / 64, ~uint64_t{0});
    if (count % 64 != 0)
    {
        selected.words.back() = (uint64_t{1} << (count % 64)) - 1;
    }
    selected.count = count;
}

void GridRowView::ClearSelection()
{
    m_state->selected.Clear();
}

void GridRowView::ToggleRow(int row)
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"GridRowView.ToggleRow method - row index out of range"));
    }
    m_state->selected.Set(row, !m_state->selected.Get(row));
    m_focusRow = row;
    m_anchorRow = row;
}

void GridRowView::ToggleFocusRow()
{
    if (m_focusRow < 0)
    {
        return;
    }
    m_state->selected.Set(m_focusRow, !m_state->selected.Get(m_focusRow));
    m_anchorRow = m_focusRow;
}

int GridRowView::MoveFocus(int position, bool extend, bool keep)
{
    EnsureShown();
    int count = GetVisibleRowCount();
    if (count == 0)
    {
        return -1;
    }
    position = position < 0 ? 0 : (position >= count ? count - 1 : position);
    int row = RowAt(position);
    RowBits& selected = m_state->selected;
    // An anchor the filter hides no longer marks where a range starts.
    int anchor = m_anchorRow >= 0 ? GetPositionOf(m_anchorRow) : -1;
    if (extend && anchor >= 0)
    {
        if (!keep)
        {
            selected.Clear();
        }
        int from = anchor < position ? anchor : position;
        int to = anchor < position ? position : anchor;
        for (int v = from; v <= to; v++)
        {
            selected.Set(RowAt(v), true);
        }
        m_focusRow = row;
    }
    else if (keep)
    {
        // Ctrl moves the focus alone; Ctrl+Space then adds or removes the row.
        m_focusRow = row;
    }
    else
    {
        selected.Clear();
        selected.Set(row, true);
        m_focusRow = row;
        m_anchorRow = row;
    }
    return row;
}

} // namespace Core::Controls
