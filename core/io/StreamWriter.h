// Writes UTF-16 text to a byte stream through an encoding, buffering characters.
#pragma once

#include "core/CharacterBlocks.h"
#include "core/Exception.h"
#include "core/String.h"
#include "core/io/AsciiRoom.h"
#include "core/io/Encoding.h"
#include "core/io/Stream.h"

namespace Core::IO
{

class StreamWriter : public Object
{
public:
    // encoding null means UTF-8 without byte-order mark. With closeStream set, Close closes the stream
    // as well; the stream object itself always stays the caller's.
    StreamWriter(Stream* stream, const Encoding* encoding = nullptr, int bufferSize = 1024, bool closeStream = false);
    ~StreamWriter() override;
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    void Write(const String& text) { Write(text.GetBuffer(), text.GetLength()); }
    // Writers make many small writes (a tag, a quote, one indent character): those that fit in the
    // buffer are taken without a call. UTF-8 text is encoded as it arrives, ASCII without the encoder.
    void Write(const wchar_t* text, int count)
    {
        // Unsigned, so a negative count takes the checked path; an empty text is taken here like any other.
        if (static_cast<unsigned int>(count) <= static_cast<unsigned int>(m_charCapacity - m_charCount) &&
            m_stream != nullptr)
        {
            if (m_chars != nullptr)
            {
                CopyCharacters(m_chars + m_charCount, text, count);
                m_charCount += count;
                return;
            }
            if (count <= ShortText && !m_encoderHoldsUnit)
            {
                // Narrowed on trust, kept only when all of it was ASCII; the byte buffer has room either way.
                if (NarrowAscii(m_bytes + m_byteCount, text, count))
                {
                    m_byteCount += count;
                    m_charCount += count;
                    return;
                }
            }
        }
        WriteThroughBuffer(text, count);
    }
    void Write(wchar_t ch)
    {
        if (m_charCount < m_charCapacity && m_stream != nullptr)
        {
            if (m_chars != nullptr)
            {
                m_chars[m_charCount++] = ch;
                return;
            }
            if (ch < 0x80 && !m_encoderHoldsUnit)
            {
                m_bytes[m_byteCount++] = static_cast<uint8_t>(ch);
                m_charCount++;
                return;
            }
        }
        WriteThroughBuffer(&ch, 1);
    }
    // For writers that narrow ASCII text themselves (one pass instead of a check and a copy): room for count
    // bytes at the end of the buffer, written out first when less is left, or an empty room where the writer
    // cannot take bytes directly (an encoding other than UTF-8, a high surrogate waiting for its partner, a
    // count larger than the buffer or negative, a closed writer). Only ASCII may be put there, and what was
    // put is taken with TakeAscii before any other call.
    AsciiRoom LendAscii(int count)
    {
        if (m_chars != nullptr || m_encoderHoldsUnit || m_stream == nullptr ||
            static_cast<unsigned int>(count) > static_cast<unsigned int>(m_charCapacity))
        {
            return AsciiRoom();
        }
        if (count > m_charCapacity - m_charCount)
        {
            FlushBuffer(false);
        }
        return AsciiRoom(m_bytes + m_byteCount, count);
    }
    // Takes the bytes put into the room last lent, as text written after what came before.
    void TakeAscii(const AsciiRoom& room)
    {
        if (room.GetStart() != m_bytes + m_byteCount || room.GetUsed() > m_charCapacity - m_charCount)
        {
            throw InvalidOperationException();
        }
        m_byteCount += room.GetUsed();
        m_charCount += room.GetUsed();
    }
    // The buffer's size in characters: the most LendAscii can lend at once.
    int GetBufferSize() const { return m_charCapacity; }
    void WriteLine(const String& text);
    void WriteLine();
    // Writes the buffered text and flushes the stream.
    void Flush();
    void Close();

    const Encoding* GetEncoding() const { return m_encoding; }

private:
    static constexpr int ShortText = 32;

    // Fills and flushes the buffer as often as the text needs; refuses a closed writer.
    void WriteThroughBuffer(const wchar_t* text, int count);
    // Encodes and writes the buffered characters. finalChunk also writes a dangling high surrogate.
    void FlushBuffer(bool finalChunk);
    // Encodes at most one buffer's worth of characters and writes the bytes to the stream.
    void EncodeAndWrite(const wchar_t* chars, int count, bool finalChunk);
    // UTF-8: encodes characters that fit in the buffer straight into the byte buffer.
    void EncodeIntoBuffer(const wchar_t* chars, int count);
    void WriteBytes(int byteCount);
    void ReleaseBuffers();

    Stream* m_stream;           // not owned; null once closed
    const Encoding* m_encoding; // not owned
    Encoder* m_encoder;         // owned
    // owned; null for UTF-8, which is encoded as it is written and buffered as bytes only
    wchar_t* m_chars;
    int m_charCapacity;
    int m_charCount = 0; // characters taken since the last flush
    uint8_t* m_bytes;    // owned: room for one encoded character buffer, and AsciiRoom::Spare bytes more
    // UTF-8: the bytes of those characters. Kept apart from the count of characters: the compiler would
    // otherwise update both in one 8-byte step, which stalls on the 4-byte stores of the other paths.
    int m_byteCount = 0;
    // UTF-8: the encoder keeps a high surrogate for the unit that follows, so the next text goes through it.
    bool m_encoderHoldsUnit = false;
    bool m_preambleWritten = false;
    bool m_closeStream;
};

} // namespace Core::IO
