// Room for ASCII bytes written straight into a buffer: the room a StreamWriter lends at the end of its byte
// buffer, or a writer's own. Writers that narrow text themselves fill it in one pass instead of a check and a
// copy.
#pragma once

#include <cstdint>
#include <cstring>

namespace Core::IO
{

class AsciiRoom
{
public:
    // Where a fill writes.
    using Place = uint8_t*;

    // What the owner of the buffer keeps past the room: block stores may reach that far, but what lies
    // there is never kept.
    static constexpr int Spare = 32;

    AsciiRoom() = default;
    // size bytes of room at start, with Spare bytes more behind them.
    AsciiRoom(uint8_t* start, int size) : m_start(start), m_cursor(start), m_end(start + size) {}

    bool IsEmpty() const { return m_end == m_start; }
    int GetLeft() const { return static_cast<int>(m_end - m_cursor); }
    int GetUsed() const { return static_cast<int>(m_cursor - m_start); }
    const uint8_t* GetStart() const { return m_start; }

    // Lets fill write up to most bytes at the cursor (and whole blocks up to Spare bytes further) and keeps
    // as many as it returns; a negative count keeps nothing, for text that turned out not to be ASCII.
    // Returns that count, or -1 without calling fill when less than most bytes are left. The fills are the
    // writers' hot paths: they are lambdas marked always_inline, as a call would cost their callers the
    // registers the calling convention saves.
    template <typename Fill> __attribute__((always_inline)) int Write(int most, Fill fill)
    {
        if (most > GetLeft())
        {
            return -1;
        }
        int kept = fill(m_cursor);
        if (kept > most)
        {
            kept = -1;
        }
        if (kept > 0)
        {
            m_cursor += kept;
        }
        return kept;
    }

    bool TryPut(uint8_t byte)
    {
        if (m_cursor == m_end)
        {
            return false;
        }
        *m_cursor++ = byte;
        return true;
    }

    // An ASCII literal, whole or not at all.
    template <int N> bool TryPut(const char (&text)[N])
    {
        if (N - 1 > m_end - m_cursor)
        {
            return false;
        }
        std::memcpy(m_cursor, text, N - 1);
        m_cursor += N - 1;
        return true;
    }

private:
    uint8_t* m_start = nullptr; // not owned
    uint8_t* m_cursor = nullptr;
    uint8_t* m_end = nullptr;
};

} // namespace Core::IO
