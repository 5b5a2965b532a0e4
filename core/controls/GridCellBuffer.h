// A grid cell's text read into room reused from one cell to the next: what the grid's painting and copying and
// its row view's sorting share. Internal to the grid's files.
#pragma once

#include "core/controls/GridModel.h"

#include <vector>

namespace Core::Controls::Internal
{

struct CellBuffer
{
    std::vector<wchar_t> characters;
    int length = 0;

    // Reads the cell, followed by a zero.
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

} // namespace Core::Controls::Internal
