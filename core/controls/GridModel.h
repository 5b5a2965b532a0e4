// The grid's rows of text cells, without any window. Cells are kept compactly: an 8-byte slot per
// cell holds a short text itself, and longer texts live in large shared blocks, one byte per character
// when every character fits in one (as nearly all management data does), two otherwise.
#pragma once

#include "core/Object.h"
#include "core/String.h"

#include <cstdint>

namespace Core::Controls
{

// Told of every change; the grid view repaints from these.
class TextFinder;

class GridModelObserver
{
public:
    virtual ~GridModelObserver() = default;
    virtual void OnRowsAdded(int firstRow, int count) = 0;
    virtual void OnCellChanged(int row, int column) = 0;
    // Rows removed, or the column count changed (the cells were re-laid).
    virtual void OnModelReset() = 0;
};

class GridModel : public Object
{
public:
    GridModel();
    ~GridModel() override;
    GridModel(const GridModel&) = delete;
    GridModel& operator=(const GridModel&) = delete;

    void SetObserver(GridModelObserver* observer) { m_observer = observer; }

    int GetColumnCount() const { return m_columnCount; }
    // Keeps the cells of the columns that remain; new columns start empty.
    void SetColumnCount(int count);
    int GetRowCount() const { return m_rowCount; }
    // Appends empty rows; returns the index of the first.
    int AddRows(int count);
    void ClearRows();
    // Counts ClearRows calls: a row index held across them names its row only while this stays the same.
    uint64_t GetClearCount() const { return m_clearCount; }

    void SetCellText(int row, int column, const String& text);
    void SetCellText(int row, int column, const wchar_t* text, int length);
    String GetCellText(int row, int column) const;
    int GetCellLength(int row, int column) const;
    // Writes the cell's characters to buffer (at least GetCellLength of room) and returns the length.
    int CopyCellText(int row, int column, wchar_t* buffer) const;

    // Whether a cell of the row holds the finder's text; false for a grid without columns.
    bool RowContains(int row, const TextFinder& finder) const;
    // The first row of [first, end) with a cell that holds the finder's text, or end.
    int FindRow(int first, int end, const TextFinder& finder) const;

    // Heap bytes held for the cells (slots, text blocks and their bookkeeping).
    int64_t GetAllocatedBytes() const;

private:
    class Storage;
    void CheckCell(int row, int column, const wchar_t* operation) const;

    Storage* m_storage;                      // owned
    GridModelObserver* m_observer = nullptr; // not owned
    int m_columnCount = 0;
    int m_rowCount = 0;
    uint64_t m_clearCount = 0;
};

} // namespace Core::Controls
