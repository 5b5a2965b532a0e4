#include "core/controls/GridModel.h"

#include "core/Exception.h"
#include "core/controls/TextFinder.h"

#include <cstring>
#include <vector>

namespace Core::Controls
{

// A cell's slot is 0 for an empty text; with its lowest bit set it holds up to 7 one-byte characters
// itself (the length in the low byte above that bit); with the next bit set it refers to a record in a
// text block: (block index << 32 | offset) << 2 | 2. A record is a 4-byte header (length << 1 | wide) and the
// characters.
class GridModel::Storage
{
public:
    static constexpr int BlockRows = 1024;
    static constexpr uint32_t ChunkSize = 256 * 1024;
    static constexpr int InlineLength = 7;
    // Bytes after each text block, so that a search may read whole vector blocks past a record's end; and slots
    // after each block of slots, for a search in the characters of the last slot.
    static constexpr uint32_t Padding = TextFinder::NarrowPadding;
    static constexpr size_t SlotPadding = TextFinder::NarrowPadding / sizeof(uint64_t);

    ~Storage() { Release(); }

    void Release()
    {
        for (uint64_t* block : blocks)
        {
            delete[] block;
        }
        for (uint8_t* chunk : chunks)
        {
            delete[] chunk;
        }
        std::vector<uint64_t*>().swap(blocks);
        std::vector<uint8_t*>().swap(chunks);
        std::vector<uint32_t>().swap(chunkSizes);
        current = -1;
        used = 0;
        liveBytes = 0;
        garbageBytes = 0;
    }

    uint64_t& Slot(int row, int column) { return blocks[row / BlockRows][(row % BlockRows) * stride + column]; }
    uint64_t Slot(int row, int column) const { return blocks[row / BlockRows][(row % BlockRows) * stride + column]; }

    void EnsureRows(int rowCount)
    {
        if (stride == 0)
        {
            return;
        }
        size_t needed = static_cast<size_t>((rowCount + BlockRows - 1) / BlockRows);
        while (blocks.size() < needed)
        {
            size_t slots = static_cast<size_t>(BlockRows) * stride + SlotPadding;
            uint64_t* block = new uint64_t[slots];
            std::memset(block, 0, slots * sizeof(uint64_t));
            blocks.push_back(block);
        }
    }

    static int RecordSize(uint32_t header) { return 4 + static_cast<int>(header >> 1) * ((header & 1) != 0 ? 2 : 1); }

    const uint8_t* Record(uint64_t slot) const
    {
        uint64_t reference = slot >> 2;
        return chunks[static_cast<size_t>(reference >> 32)] + static_cast<uint32_t>(reference);
    }

    static uint32_t Header(const uint8_t* record)
    {
        uint32_t header;
        std::memcpy(&header, record, sizeof(header));
        return header;
    }

    // Room for a record of size bytes; returns the slot that refers to it.
    uint64_t Reserve(int size, uint8_t** place)
    {
        uint32_t bytes = static_cast<uint32_t>(size);
        if (bytes > ChunkSize / 4)
        {
            // A long text gets a block of its own, so the shared blocks stay dense.
            chunks.push_back(new uint8_t[bytes + Padding]);
            chunkSizes.push_back(bytes);
            *place = chunks.back();
            return (static_cast<uint64_t>(chunks.size() - 1) << 32) << 2 | 2;
        }
        if (current < 0 || used + bytes > chunkSizes[static_cast<size_t>(current)])
        {
            chunks.push_back(new uint8_t[ChunkSize + Padding]);
            chunkSizes.push_back(ChunkSize);
            current = static_cast<int>(chunks.size()) - 1;
            used = 0;
        }
        *place = chunks[static_cast<size_t>(current)] + used;
        uint64_t slot = ((static_cast<uint64_t>(current) << 32) | used) << 2 | 2;
        used += bytes;
        return slot;
    }

    uint64_t Encode(const wchar_t* text, int length)
    {
        if (length == 0)
        {
            return 0;
        }
        bool narrow = true;
        for (int i = 0; i < length && narrow; i++)
        {
            narrow = text[i] < 0x100;
        }
        if (narrow && length <= InlineLength)
        {
            uint64_t slot = static_cast<uint64_t>(length << 1 | 1);
            for (int i = 0; i < length; i++)
            {
                slot |= static_cast<uint64_t>(static_cast<uint8_t>(text[i])) << (8 * (i + 1));
            }
            return slot;
        }
        uint32_t header = static_cast<uint32_t>(length) << 1 | (narrow ? 0u : 1u);
        uint8_t* place = nullptr;
        uint64_t slot = Reserve(RecordSize(header), &place);
        std::memcpy(place, &header, sizeof(header));
        if (narrow)
        {
            for (int i = 0; i < length; i++)
            {
                place[4 + i] = static_cast<uint8_t>(text[i]);
            }
        }
        else
        {
            std::memcpy(place + 4, text, static_cast<size_t>(length) * sizeof(wchar_t));
        }
        liveBytes += RecordSize(header);
        return slot;
    }

    int Length(uint64_t slot) const
    {
        if (slot == 0)
        {
            return 0;
        }
        if ((slot & 1) != 0)
        {
            return static_cast<int>((slot & 0xFF) >> 1);
        }
        return static_cast<int>(Header(Record(slot)) >> 1);
    }

    int Decode(uint64_t slot, wchar_t* buffer) const
    {
        if (slot == 0)
        {
            return 0;
        }
        if ((slot & 1) != 0)
        {
            int length = static_cast<int>((slot & 0xFF) >> 1);
            for (int i = 0; i < length; i++)
            {
                buffer[i] = static_cast<wchar_t>((slot >> (8 * (i + 1))) & 0xFF);
            }
            return length;
        }
        const uint8_t* record = Record(slot);
        uint32_t header = Header(record);
        int length = static_cast<int>(header >> 1);
        if ((header & 1) != 0)
        {
            std::memcpy(buffer, record + 4, static_cast<size_t>(length) * sizeof(wchar_t));
        }
        else
        {
            for (int i = 0; i < length; i++)
            {
                buffer[i] = static_cast<wchar_t>(record[4 + i]);
            }
        }
        return length;
    }

    // Whether the cell of the slot (in a block, followed by SlotPadding) holds the finder's text.
    bool Contains(const uint64_t& slot, const TextFinder& finder) const
    {
        uint64_t value = slot;
        if ((value & 1) != 0)
        {
            // The characters follow the length byte in the slot itself (little-endian).
            return finder.IsFoundInNarrow(reinterpret_cast<const uint8_t*>(&slot) + 1,
                                          static_cast<int>((value & 0xFF) >> 1));
        }
        if (value == 0)
        {
            return finder.IsEmpty();
        }
        const uint8_t* record = Record(value);
        uint32_t header = Header(record);
        int length = static_cast<int>(header >> 1);
        if ((header & 1) == 0)
        {
            return finder.IsFoundInNarrow(record + 4, length);
        }
        // Wide records need not be aligned for wchar_t.
        wchar_t local[256];
        std::vector<wchar_t> large;
        wchar_t* units = local;
        if (length > 256)
        {
            large.resize(static_cast<size_t>(length));
            units = large.data();
        }
        std::memcpy(units, record + 4, static_cast<size_t>(length) * sizeof(wchar_t));
        return finder.IsFoundIn(units, length);
    }

    bool RowContains(int row, int columns, const TextFinder& finder) const
    {
        if (columns == 0)
        {
            return false;
        }
        const uint64_t* slots = blocks[static_cast<size_t>(row / BlockRows)] + (row % BlockRows) * stride;
        for (int column = 0; column < columns; column++)
        {
            if (Contains(slots[column], finder))
            {
                return true;
            }
        }
        return false;
    }

    void Forget(uint64_t slot)
    {
        if (slot != 0 && (slot & 1) == 0)
        {
            int size = RecordSize(Header(Record(slot)));
            liveBytes -= size;
            garbageBytes += size;
        }
    }

    // Rewrites the live records into fresh blocks once overwritten texts waste more than they hold.
    void CompactIfWasteful(int rowCount)
    {
        if (garbageBytes < 4 * static_cast<int64_t>(ChunkSize) || garbageBytes < liveBytes)
        {
            return;
        }
        Storage fresh;
        for (int row = 0; row < rowCount; row++)
        {
            for (int column = 0; column < stride; column++)
            {
                uint64_t& slot = Slot(row, column);
                if (slot != 0 && (slot & 1) == 0)
                {
                    const uint8_t* record = Record(slot);
                    int size = RecordSize(Header(record));
                    uint8_t* place = nullptr;
                    slot = fresh.Reserve(size, &place);
                    std::memcpy(place, record, static_cast<size_t>(size));
                    fresh.liveBytes += size;
                }
            }
        }
        // The old blocks go with fresh.
        chunks.swap(fresh.chunks);
        chunkSizes.swap(fresh.chunkSizes);
        current = fresh.current;
        used = fresh.used;
        liveBytes = fresh.liveBytes;
        garbageBytes = 0;
    }

    int stride = 0;
    std::vector<uint64_t*> blocks; // owned: BlockRows * stride slots each
    std::vector<uint8_t*> chunks;  // owned: text records
    std::vector<uint32_t> chunkSizes;
    int current = -1; // the shared block being filled
    uint32_t used = 0;
    int64_t liveBytes = 0;
    int64_t garbageBytes = 0;
};

GridModel::GridModel() : m_storage(new Storage()) {}

GridModel::~GridModel()
{
    delete m_storage;
}

void GridModel::CheckCell(int row, int column, const wchar_t* operation) const
{
    if (row < 0 || row >= m_rowCount)
    {
        throw ArgumentOutOfRangeException(row, String(operation) + L" - row index out of range");
    }
    if (column < 0 || column >= m_columnCount)
    {
        throw ArgumentOutOfRangeException(column, String(operation) + L" - column index out of range");
    }
}

void GridModel::SetColumnCount(int count)
{
    if (count < 0)
    {
        throw ArgumentOutOfRangeException(count, String(L"GridModel.SetColumnCount method - negative count"));
    }
    if (count == m_columnCount)
    {
        return;
    }
    Storage& old = *m_storage;
    if (m_rowCount == 0 || count == 0)
    {
        if (count == 0)
        {
            old.Release();
        }
        else
        {
            for (uint64_t* block : old.blocks)
            {
                delete[] block;
            }
            old.blocks.clear();
        }
        old.stride = count;
        m_columnCount = count;
        old.EnsureRows(m_rowCount);
    }
    else
    {
        // Lay the slots out again with the new row width; texts stay where they are.
        std::vector<uint64_t*> previous;
        previous.swap(old.blocks);
        int oldStride = old.stride;
        old.stride = count;
        old.EnsureRows(m_rowCount);
        int kept = oldStride < count ? oldStride : count;
        for (int row = 0; row < m_rowCount; row++)
        {
            const uint64_t* source = previous[row / Storage::BlockRows] + (row % Storage::BlockRows) * oldStride;
            for (int column = 0; column < oldStride; column++)
            {
                if (column < kept)
                {
                    old.Slot(row, column) = source[column];
                }
                else
                {
                    old.Forget(source[column]);
                }
            }
        }
        for (uint64_t* block : previous)
        {
            delete[] block;
        }
        m_columnCount = count;
    }
    if (m_observer != nullptr)
    {
        m_observer->OnModelReset();
    }
}

int GridModel::AddRows(int count)
{
    if (count < 0 || count > 0x7FFFFFFF - m_rowCount)
    {
        throw ArgumentOutOfRangeException(count, String(L"GridModel.AddRows method - invalid count"));
    }
    int first = m_rowCount;
    m_storage->EnsureRows(m_rowCount + count);
    m_rowCount += count;
    if (m_observer != nullptr && count > 0)
    {
        m_observer->OnRowsAdded(first, count);
    }
    return first;
}

void GridModel::ClearRows()
{
    int stride = m_storage->stride;
    m_storage->Release();
    m_storage->stride = stride;
    m_rowCount = 0;
    m_clearCount++;
    if (m_observer != nullptr)
    {
        m_observer->OnModelReset();
    }
}

void GridModel::SetCellText(int row, int column, const String& text)
{
    SetCellText(row, column, text.GetBuffer(), text.GetLength());
}

void GridModel::SetCellText(int row, int column, const wchar_t* text, int length)
{
    CheckCell(row, column, L"GridModel.SetCellText method");
    uint64_t& slot = m_storage->Slot(row, column);
    uint64_t previous = slot;
    slot = m_storage->Encode(text, length);
    if (previous != 0)
    {
        m_storage->Forget(previous);
        m_storage->CompactIfWasteful(m_rowCount);
    }
    if (m_observer != nullptr)
    {
        m_observer->OnCellChanged(row, column);
    }
}

String GridModel::GetCellText(int row, int column) const
{
    CheckCell(row, column, L"GridModel.GetCellText method");
    uint64_t slot = m_storage->Slot(row, column);
    int length = m_storage->Length(slot);
    if (length <= 64)
    {
        wchar_t buffer[64];
        m_storage->Decode(slot, buffer);
        return String(buffer, length);
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(length));
    m_storage->Decode(slot, buffer.data());
    return String(buffer.data(), length);
}

int GridModel::GetCellLength(int row, int column) const
{
    CheckCell(row, column, L"GridModel.GetCellLength method");
    return m_storage->Length(m_storage->Slot(row, column));
}

int GridModel::CopyCellText(int row, int column, wchar_t* buffer) const
{
    CheckCell(row, column, L"GridModel.CopyCellText method");
    return m_storage->Decode(m_storage->Slot(row, column), buffer);
}

bool GridModel::RowContains(int row, const TextFinder& finder) const
{
    if (row < 0 || row >= m_rowCount)
    {
        throw ArgumentOutOfRangeException(row, String(L"GridModel.RowContains method - row index out of range"));
    }
    return m_storage->RowContains(row, m_columnCount, finder);
}

int GridModel::FindRow(int first, int end, const TextFinder& finder) const
{
    if (first < 0 || end > m_rowCount)
    {
        throw ArgumentOutOfRangeException(first < 0 ? first : end,
                                          String(L"GridModel.FindRow method - row index out of range"));
    }
    for (int row = first; row < end; row++)
    {
        if (m_storage->RowContains(row, m_columnCount, finder))
        {
            return row;
        }
    }
    return end;
}

int64_t GridModel::GetAllocatedBytes() const
{
    const Storage& storage = *m_storage;
    int64_t bytes = static_cast<int64_t>(storage.blocks.size()) * Storage::BlockRows * storage.stride * 8;
    for (uint32_t size : storage.chunkSizes)
    {
        bytes += size;
    }
    bytes += static_cast<int64_t>(storage.blocks.capacity() + storage.chunks.capacity()) * 8 +
             static_cast<int64_t>(storage.chunkSizes.capacity()) * 4;
    return bytes;
}

} // namespace Core::Controls
