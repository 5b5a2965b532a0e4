// Writes UTF-16 text to a byte stream through an encoding, buffering characters.
#pragma once

#include "core/String.h"
#include "core/io/Encoding.h"
#include "core/io/Stream.h"

#include "core/CharacterBlocks.h"

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
    // buffer are copied without a call.
    void Write(const wchar_t* text, int count)
    {
        if (count > 0 && count <= m_charCapacity - m_charCount && m_stream != nullptr)
        {
            CopyCharacters(m_chars + m_charCount, text, count);
            m_charCount += count;
            return;
        }
        WriteThroughBuffer(text, count);
    }
    void Write(wchar_t ch)
    {
        if (m_charCount < m_charCapacity && m_stream != nullptr)
        {
            m_chars[m_charCount++] = ch;
            return;
        }
        WriteThroughBuffer(&ch, 1);
    }
    void WriteLine(const String& text);
    void WriteLine();
    // Writes the buffered text and flushes the stream.
    void Flush();
    void Close();

    const Encoding* GetEncoding() const { return m_encoding; }

private:
    // Fills and flushes the buffer as often as the text needs; refuses a closed writer.
    void WriteThroughBuffer(const wchar_t* text, int count);
    // Encodes and writes the buffered characters. finalChunk also writes a dangling high surrogate.
    void FlushBuffer(bool finalChunk);
    // Encodes at most one buffer's worth of characters and writes the bytes to the stream.
    void EncodeAndWrite(const wchar_t* chars, int count, bool finalChunk);
    void ReleaseBuffers();

    Stream* m_stream;           // not owned; null once closed
    const Encoding* m_encoding; // not owned
    Encoder* m_encoder;         // owned
    wchar_t* m_chars;           // owned
    int m_charCapacity;
    uint8_t* m_bytes; // owned: room for one encoded character buffer
    int m_charCount = 0;
    bool m_preambleWritten = false;
    bool m_closeStream;
};

} // namespace Core::IO
