#include "core/controls/Grid.h"

#include "core/controls/GdiHandles.h"
#include "core/controls/Graphics.h"
#include "core/controls/GridCellBuffer.h"
#include "core/controls/TextFinder.h"
#include "core/controls/Theme.h"

#include <string>
#include <windows.h>

namespace Core::Controls
{

using Internal::CellBuffer;

namespace
{

constexpr unsigned int RefreshMessage = WM_APP + 0x47;
constexpr int RefreshTimer = 1;
constexpr int FilterTimer = 2;
// A new filter text searches this long before SetFilterText returns; what is left goes on in slices of
// FilterSlice between the user's input and painting, a timer's tick apart.
constexpr double FirstFilterSlice = 0.06;
constexpr double FilterSlice = 0.04;
// With live refresh off the view catches up this often.
constexpr int RefreshInterval = 250;
constexpr int MinimumColumnWidth = 8;
constexpr int AutoSizeAllRowsLimit = 20000;
constexpr int AutoSizeAroundView = 1000;
constexpr int NoRow = GridRowView::NoPosition;

// Tabs and line breaks inside a cell would break the line structure of copied text.
void AppendCellForCopy(std::wstring& text, const wchar_t* cell, int length)
{
    for (int i = 0; i < length; i++)
    {
        wchar_t c = cell[i];
        text.push_back(c == L'\t' || c == L'\r' || c == L'\n' ? L' ' : c);
    }
}

} // namespace

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

Grid::Grid() : m_view(m_model), m_columns(this), m_rowCollection(this)
{
    SetClassName(String(L"Core.Controls.Grid"));
    UseOwnScrollBars();
    SetTabStop(true);
    m_view.SetObserver(this);
}

Grid::~Grid()
{
    m_view.SetObserver(nullptr);
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

void Grid::SetCellFormatter(CellFormatter formatter)
{
    m_formatter = std::move(formatter);
    if (m_formatter)
    {
        m_view.SetShownMatcher([this](int row, const TextFinder& finder) { return ShowsText(row, finder); });
    }
    else
    {
        m_view.SetShownMatcher(nullptr);
    }
    if (IsFiltered())
    {
        // Without a window there is no timer to go on with: the whole search is done now.
        m_view.ContinueFilter(m_handle != nullptr ? FirstFilterSlice : GridRowView::Unlimited);
        UpdateFilterTimer();
        FilterTextApplied();
    }
    Invalidate();
}

bool Grid::ShowsText(int row, const TextFinder& finder) const
{
    CellBuffer cell;
    String shown;
    for (int column = 0; column < m_model.GetColumnCount(); column++)
    {
        cell.Read(m_model, row, column);
        if (m_formatter(row, column, cell.characters.data(), cell.length, shown) && finder.IsFoundIn(shown))
        {
            return true;
        }
    }
    return false;
}

String Grid::GetShownText(int row, int column) const
{
    String text = m_model.GetCellText(row, column);
    String shown;
    if (m_formatter && m_formatter(row, column, text.GetBuffer(), text.GetLength(), shown))
    {
        return shown;
    }
    return text;
}

const wchar_t* Grid::ShownText(int row, int column, const CellBuffer& cell, String& shown, int& length) const
{
    if (m_formatter && m_formatter(row, column, cell.characters.data(), cell.length, shown))
    {
        length = shown.GetLength();
        return shown.GetBuffer();
    }
    length = cell.length;
    return cell.characters.data();
}

void Grid::ColumnsChanged()
{
    m_scrollDirty = true;
    Invalidate();
    ScheduleRefresh();
}

// --- View changes ---

void Grid::OnViewChanged(int firstPosition, bool countChanged)
{
    if (countChanged)
    {
        m_scrollDirty = true;
    }
    MarkDirtyFrom(firstPosition);
}

void Grid::OnLongSortStarted()
{
    // A million rows take a few seconds: the user sees that something is going on.
    m_sortCursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Grid::OnLongSortEnded()
{
    if (m_sortCursor != nullptr)
    {
        SetCursor(static_cast<HCURSOR>(m_sortCursor));
        m_sortCursor = nullptr;
    }
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
    m_view.Sort(column, descending);
    Invalidate();
    MarkDirtyFrom(0);
}

void Grid::ClearSort()
{
    m_view.ClearSort();
    Invalidate();
    MarkDirtyFrom(0);
}

void Grid::EnsureView()
{
    m_view.Update();
    if (m_view.IsFilterPending())
    {
        // Without a window there is no timer to go on with: the search is done now.
        if (m_handle != nullptr)
        {
            StartFilterTimer();
        }
        else
        {
            m_view.ContinueFilter();
        }
    }
}

int Grid::ViewCount()
{
    EnsureView();
    return m_view.GetVisibleRowCount();
}

int Grid::RowToView(int row)
{
    if (row < 0)
    {
        return row;
    }
    EnsureView();
    return m_view.GetPositionOf(row);
}

int Grid::GetRowAtViewIndex(int viewIndex)
{
    if (viewIndex < 0 || viewIndex >= ViewCount())
    {
        throw ArgumentOutOfRangeException(viewIndex, String(L"Grid.GetRowAtViewIndex method - index out of range"));
    }
    return m_view.GetRowAt(viewIndex);
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
    // Without a window there is no timer to go on with: the whole search is done now.
    if (!m_view.SetFilterText(text, m_handle != nullptr ? FirstFilterSlice : GridRowView::Unlimited))
    {
        return;
    }
    UpdateFilterTimer();
    FilterTextApplied();
}

void Grid::FilterTextApplied()
{
    m_scrollDirty = true;
    if (m_handle != nullptr)
    {
        Settle();
        // The focused row stays in view if it is still shown; otherwise the view starts at the top.
        int focus = m_view.GetFocusRow();
        if (focus >= 0 && RowToView(focus) >= 0)
        {
            EnsureVisible(focus);
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
    return m_view.IsFilterPending();
}

void Grid::FinishFilter()
{
    if (!IsFilterPending())
    {
        return;
    }
    EnsureView();
    m_view.ContinueFilter();
    UpdateFilterTimer();
    ApplyPendingChanges();
    DropHiddenSelection();
    ReportVisibleRowCount();
}

int Grid::GetVisibleRowCount() const
{
    return m_view.GetVisibleRowCount();
}

bool Grid::IsRowVisible(int row) const
{
    if (row < 0 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"Grid.IsRowVisible method - row index out of range"));
    }
    return m_view.IsRowVisible(row);
}

void Grid::UpdateFilterTimer()
{
    if (m_view.IsFilterPending())
    {
        StartFilterTimer();
    }
    else
    {
        StopFilterTimer();
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
    m_view.ContinueFilter(FilterSlice);
    UpdateFilterTimer();
    ApplyPendingChanges();
    if (!IsFilterPending())
    {
        DropHiddenSelection();
    }
    ReportVisibleRowCount();
}

void Grid::DropHiddenSelection()
{
    if (m_view.DropHiddenSelection())
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
        NotifyAccessibleReorder();
    }
    m_reportedCount = count;
    m_reportedPending = pending;
    EventArgs args;
    VisibleRowCountChanged.Raise(this, args);
}

// --- Selection ---

bool Grid::IsRowSelected(int row) const
{
    return m_view.IsRowSelected(row);
}

int Grid::GetSelectedRowCount() const
{
    return m_view.GetSelectedRowCount();
}

void Grid::SelectRow(int row)
{
    if (row < -1 || row >= m_model.GetRowCount())
    {
        throw ArgumentOutOfRangeException(row, String(L"Grid.SelectRow method - row index out of range"));
    }
    m_view.SelectRow(row);
    if (row >= 0)
    {
        EnsureVisible(row);
    }
    Invalidate();
}

void Grid::SelectAll()
{
    if (IsFiltered())
    {
        // The rows shown, searched to the end first when there is no window to go on later.
        EnsureView();
    }
    m_view.SelectAll();
    Invalidate();
}

void Grid::ClearSelection()
{
    m_view.ClearSelection();
    Invalidate();
}

void Grid::RaiseSelectionChanged()
{
    NotifyAccessibleSelection();
    EventArgs args;
    SelectionChanged.Raise(this, args);
}

void Grid::MoveFocus(int viewIndex, int keys)
{
    Settle();
    int row = m_view.MoveFocus(viewIndex, (keys & Keys::Shift) != 0, (keys & Keys::Control) != 0);
    if (row < 0)
    {
        return;
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
        m_view.ToggleRow(row);
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
    CellBuffer cell;
    String shown;
    int count = ViewCount();
    for (int view = 0; view < count && m_view.GetSelectedRowCount() > 0; view++)
    {
        int row = m_view.GetRowAt(view);
        if (!m_view.IsRowSelected(row))
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
            int length = 0;
            const wchar_t* characters = ShownText(row, column, cell, shown, length);
            AppendCellForCopy(text, characters, length);
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
    return view >= 0 && view < ViewCount() ? m_view.GetRowAt(view) : -1;
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
    CellBuffer cell;
    String shown;
    for (int view = first; view <= last; view++)
    {
        int row = m_view.GetRowAt(view);
        cell.Read(m_model, row, column);
        int length = 0;
        const wchar_t* characters = ShownText(row, column, cell, shown, length);
        int width = measure(characters, length);
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
        if (!m_view.IsRowSelected(row))
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
        if (row >= 0 && row != m_view.GetFocusRow())
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
            Sort(column, column == GetSortColumn() ? !IsSortDescending() : false);
            EnsureVisible(m_view.GetFocusRow());
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
    int current = RowToView(m_view.GetFocusRow());
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
        if (modifiers == Keys::Control && m_view.GetFocusRow() >= 0)
        {
            m_view.ToggleFocusRow();
            InvalidateRow(m_view.GetFocusRow());
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
        if (column == GetSortColumn())
        {
            // The arrow sits above the text, in the middle, as in the system's lists.
            Rectangle arrow{cell.left, 0, cell.width, Scale(8)};
            graphics.DrawChevron(arrow, IsSortDescending() ? Direction::Down : Direction::Up,
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
    CellBuffer cell;
    String shown;
    int columns = m_columns.GetCount();
    for (int view = first; view <= last; view++)
    {
        int row = m_view.GetRowAt(view);
        int y = header + view * rowHeight - position.y;
        bool selected = m_view.IsRowSelected(row);
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
            int length = 0;
            const wchar_t* characters = ShownText(row, column, cell, shown, length);
            if (length > 0)
            {
                RECT bounds = {cellLeft + padding, y, left - padding, y + rowHeight};
                DrawTextW(deviceContext, characters, length, &bounds,
                          DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            }
        }
        if (focused && row == m_view.GetFocusRow())
        {
            graphics.DrawFocusRectangle(Rectangle{-position.x, y, ContentWidth(), rowHeight},
                                        selected ? selectedText : text, selected ? selectedFill : window);
        }
    }
}

} // namespace Core::Controls
