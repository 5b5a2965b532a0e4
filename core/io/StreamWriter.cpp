#include "core/io/StreamWriter.h"

#include "core/Exception.h"
#include "core/Utf16.h"

#include <cstring>

namespace Core::IO
{

namespace
{

constexpr int Utf8CodePage = 65001;

} // namespace

StreamWriter::StreamWriter(Stream* stream, const Encoding* encoding, int bufferSize, bool closeStream)
    : m_stream(stream), m_encoding(encoding != nullptr ? encoding : Encoding::UTF8()), m_encoder(nullptr),
      m_chars(nullptr), m_charCapacity(0), m_bytes(nullptr), m_closeStream(closeStream)
{
    if (stream == nullptr)
    {
        throw ArgumentNullException(String(L"stream"), String(L"Argument stream is null"));
    }
    if (bufferSize < 1)
    {
        throw ArgumentOutOfRangeException(bufferSize);
    }
    m_charCapacity = bufferSize < 128 ? 128 : bufferSize;
    try
    {
        m_encoder = m_encoding->CreateEncoder();
        if (m_encoding->GetCodePage() != Utf8CodePage)
        {
            m_chars = new wchar_t[static_cast<size_t>(m_charCapacity)];
        }
        m_bytes = new uint8_t[static_cast<size_t>(m_encoding->GetMaxByteCount(m_charCapacity)) + AsciiRoom::Spare];
    }
    catch (...)
    {
        ReleaseBuffers();
        throw;
    }
}

StreamWriter::~StreamWriter()
{
    if (m_stream != nullptr)
    {
        try
        {
            FlushBuffer(true);
        }
        catch (...)
        {
            // Nothing can be reported from a destructor; Close reports a failing final write.
        }
    }
    ReleaseBuffers();
}

void StreamWriter::ReleaseBuffers()
{
    delete m_encoder;
    delete[] m_chars;
    delete[] m_bytes;
    m_encoder = nullptr;
    m_chars = nullptr;
    m_bytes = nullptr;
}

void StreamWriter::WriteThroughBuffer(const wchar_t* text, int count)
{
    if (m_stream == nullptr)
    {
        throw Exception(String(L"InvalidOperationException"));
    }
    while (count > 0)
    {
        if (m_charCount == m_charCapacity)
        {
            FlushBuffer(false);
        }
        if (m_chars != nullptr && m_charCount == 0 && count >= m_charCapacity)
        {
            // A whole buffer's worth: encode it from where it is instead of copying it first.
            EncodeAndWrite(text, m_charCapacity, false);
            text += m_charCapacity;
            count -= m_charCapacity;
            continue;
        }
        int space = m_charCapacity - m_charCount;
        int n = count < space ? count : space;
        if (m_chars != nullptr)
        {
            std::memcpy(m_chars + m_charCount, text, static_cast<size_t>(n) * sizeof(wchar_t));
            m_charCount += n;
        }
        else
        {
            EncodeIntoBuffer(text, n);
        }
        text += n;
        count -= n;
    }
}

void StreamWriter::EncodeIntoBuffer(const wchar_t* chars, int count)
{
    // The byte buffer holds the encoding of a full character buffer, so count more always fit.
    m_byteCount += m_encoder->GetBytes(chars, count, m_bytes + m_byteCount, false);
    m_charCount += count;
    m_encoderHoldsUnit = IsHighSurrogate(chars[count - 1]);
}

void StreamWriter::WriteLine(const String& text)
{
    Write(text);
    WriteLine();
}

void StreamWriter::WriteLine()
{
    Write(L"\r\n", 2);
}

void StreamWriter::FlushBuffer(bool finalChunk)
{
    if (m_stream == nullptr)
    {
        throw Exception(String(L"InvalidOperationException"));
    }
    int count = m_charCount;
    m_charCount = 0;
    if (m_chars != nullptr)
    {
        EncodeAndWrite(m_chars, count, finalChunk);
        return;
    }
    if (finalChunk && m_encoderHoldsUnit)
    {
        m_byteCount += m_encoder->GetBytes(nullptr, 0, m_bytes + m_byteCount, true);
        m_encoderHoldsUnit = false;
    }
    int byteCount = m_byteCount;
    m_byteCount = 0;
    WriteBytes(byteCount);
}

void StreamWriter::EncodeAndWrite(const wchar_t* chars, int count, bool finalChunk)
{
    WriteBytes(m_encoder->GetBytes(chars, count, m_bytes, finalChunk));
}

void StreamWriter::WriteBytes(int byteCount)
{
    if (byteCount == 0)
    {
        return;
    }
    // The byte-order mark goes before the first bytes ever written, so an empty text stays empty.
    if (!m_preambleWritten)
    {
        uint8_t preamble[4];
        int length = m_encoding->GetPreamble(preamble);
        if (length > 0)
        {
            m_stream->Write(preamble, 0, length);
        }
        m_preambleWritten = true;
    }
    m_stream->Write(m_bytes, 0, byteCount);
}

void StreamWriter::Flush()
{
    FlushBuffer(true);
    // FlushBuffer has checked that the writer still has its stream.
    m_stream->Flush();
}

void StreamWriter::Close()
{
    if (m_stream == nullptr)
    {
        return;
    }
    Stream* stream = m_stream;
    try
    {
        Flush();
    }
    catch (...)
    {
        m_stream = nullptr;
        ReleaseBuffers();
        if (m_closeStream)
        {
            stream->Close();
        }
        throw;
    }
    m_stream = nullptr;
    ReleaseBuffers();
    if (m_closeStream)
    {
        stream->Close();
    }
}

} // namespace Core::IO
