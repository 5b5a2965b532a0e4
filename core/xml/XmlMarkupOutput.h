// The output side of the XML writer: markup and escaped text on their way to the stream writer.
#pragma once

#include "core/String.h"
#include "core/io/AsciiRoom.h"
#include "core/io/StreamWriter.h"
#include "core/xml/XmlPlainText.h"

#include <cstdint>

namespace Core::Xml::Detail
{

// Markup comes in pieces of a few characters. ASCII, nearly all of it, is collected as bytes in room the stream
// writer lends at the end of its buffer (UTF-8, where ASCII needs no encoder) or else in a buffer of its own;
// anything else goes to the stream writer as units, after what was collected.
class MarkupOutput
{
public:
    using Place = IO::AsciiRoom::Place;

    MarkupOutput() = default;
    // Before the first output.
    void Attach(IO::StreamWriter* writer);
    MarkupOutput(const MarkupOutput&) = delete;
    MarkupOutput& operator=(const MarkupOutput&) = delete;

    __attribute__((always_inline)) void Emit(const wchar_t* text, int count)
    {
        if (m_room.Write(
                count, [&](Place out) __attribute__((always_inline))
                       __attribute__((always_inline)) { return NarrowAscii(out, text, count) ? count : -1; }) < 0)
        {
            EmitUnits(text, count);
        }
    }
    __attribute__((always_inline)) void Emit(const String& text) { Emit(text.GetBuffer(), text.GetLength()); }
    __attribute__((always_inline)) void Emit(wchar_t ch)
    {
        if (ch >= 0x80 || !m_room.TryPut(static_cast<uint8_t>(ch)))
        {
            EmitUnits(&ch, 1);
        }
    }
    // An ASCII literal.
    template <int N> void Put(const char (&text)[N])
    {
        if (!m_room.TryPut(text))
        {
            Refill(N - 1);
            m_room.TryPut(text);
        }
    }

    // One piece of markup of at most most bytes (at most PieceLimit), written as ASCII in one go: fill writes it
    // at the place it is given and returns its length, or -1 when a unit was not ASCII, and then nothing is
    // kept. Fill may store whole blocks up to IO::AsciiRoom::Spare bytes past most.
    template <typename Fill> __attribute__((always_inline)) bool WritePiece(int most, Fill fill)
    {
        if (most > m_room.GetLeft())
        {
            Refill(most);
        }
        return m_room.Write(most, fill) >= 0;
    }
    static constexpr int PieceLimit = 1024;

    // Text or an attribute value delimited by quote, escaped: markup characters, characters XML cannot hold, and
    // inside an attribute value also line ends and the delimiting quote.
    __attribute__((always_inline)) void WriteEscaped(const wchar_t* text, int length, bool inAttribute, wchar_t quote);

    // Hands what was collected to the stream writer.
    void Flush();

private:
    // Room for count more bytes, after what was collected went to the stream writer.
    void Refill(int count);
    // Text from its first unit that the room could not take: ASCII still goes through the room, the rest as units.
    __attribute__((noinline)) void EmitUnits(const wchar_t* text, int count);
    __attribute__((noinline)) void WriteEscapedRuns(const wchar_t* text, int length, bool inAttribute, wchar_t quote);
    // The rest of a text from its first unit that is not ASCII, escaped and handed to the stream writer as units.
    void WriteEscapedUnits(const wchar_t* text, int length, bool inAttribute, wchar_t quote);

    static constexpr int OwnCapacity = 2048;
    static_assert(PieceLimit <= OwnCapacity, "a piece fits in the writer's own buffer");
    // Bytes asked of the stream writer at a time (at most its buffer's size).
    static constexpr int LendSize = 8192;
    IO::AsciiRoom m_room;
    // A high surrogate that ended the last text, held until the next output shows whether its partner follows;
    // 0 for none. While one is held the room is empty.
    wchar_t m_pendingHigh = 0;
    bool m_lent = false; // the room is the stream writer's
    int m_lendSize = 0;
    IO::StreamWriter* m_writer = nullptr; // not owned
    uint8_t m_own[OwnCapacity + IO::AsciiRoom::Spare];
};

// A short ASCII text with nothing to escape, the usual value, is one block, looked at and narrowed without the
// loop of the general path: the constants that loop keeps in registers would have to be saved and restored on
// every call.
inline void MarkupOutput::WriteEscaped(const wchar_t* text, int length, bool inAttribute, wchar_t quote)
{
    const PlainScan scan(inAttribute ? quote : L'&', 0x80);
    if (m_room.Write(
            length, [&](Place out) __attribute__((always_inline)) {
                return NarrowShortPlain(out, text, length, scan) ? length : -1;
            }) < 0)
    {
        WriteEscapedRuns(text, length, inAttribute, quote);
    }
}

} // namespace Core::Xml::Detail
