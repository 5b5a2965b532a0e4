#include "core/io/TextReader.h"

#include "core/Exception.h"
#include "core/io/FileStream.h"

#include <cstring>
#include <memory>
#include <string>

namespace Core::IO
{

void TextReader::CheckArguments(const wchar_t* buffer, int index, int count)
{
    if (buffer == nullptr)
    {
        throw ArgumentNullException(String(L"buffer"));
    }
    if (index < 0)
    {
        throw ArgumentOutOfRangeException(index);
    }
    if (count < 0)
    {
        throw ArgumentOutOfRangeException(count);
    }
}

String TextReader::ReadToEnd()
{
    // Collected outside String, whose every append would copy the whole text again.
    std::wstring text;
    wchar_t chunk[4096];
    for (int n = Read(chunk, 0, 4096); n > 0; n = Read(chunk, 0, 4096))
    {
        text.append(chunk, static_cast<size_t>(n));
    }
    return String(text.data(), static_cast<int>(text.size()));
}

int StringReader::Read(wchar_t* buffer, int index, int count)
{
    CheckArguments(buffer, index, count);
    int available = m_text.GetLength() - m_position;
    int n = count < available ? count : available;
    std::memcpy(buffer + index, m_text.GetBuffer() + m_position, static_cast<size_t>(n) * sizeof(wchar_t));
    m_position += n;
    return n;
}

StreamReader::StreamReader(Stream* stream, const Encoding* encoding, bool detectEncoding, int bufferSize,
                           bool closeStream)
    : m_stream(stream), m_closeStream(closeStream), m_encoding(encoding != nullptr ? encoding : Encoding::UTF8()),
      m_detectEncoding(detectEncoding)
{
    if (stream == nullptr)
    {
        throw ArgumentNullException(String(L"stream"));
    }
    Initialise(bufferSize);
}

StreamReader::StreamReader(const String& path, const Encoding* encoding)
    : m_stream(nullptr), m_closeStream(true), m_encoding(encoding != nullptr ? encoding : Encoding::UTF8()),
      m_detectEncoding(true)
{
    m_stream = new FileStream(path, FileMode::Open, FileAccess::Read, FileShare::Read, 4096);
    m_ownsStream = true;
    try
    {
        Initialise(DefaultBufferSize);
    }
    catch (...)
    {
        delete m_stream;
        throw;
    }
}

void StreamReader::Initialise(int bufferSize)
{
    if (bufferSize <= 0)
    {
        throw ArgumentOutOfRangeException(bufferSize);
    }
    m_byteCapacity = bufferSize < 128 ? 128 : bufferSize;
    // Every decoder gives at most one unit per byte, plus what it held back from the chunk before (at most nine
    // bytes: a UTF-7 run cut inside).
    m_charCapacity = m_byteCapacity + 16;
    // The destructor does not run for a constructor that throws: the first buffer must not leak with the second.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[static_cast<size_t>(m_byteCapacity)]);
    m_chars = new wchar_t[static_cast<size_t>(m_charCapacity)];
    m_bytes = bytes.release();
}

StreamReader::~StreamReader()
{
    try
    {
        Close();
    }
    catch (...)
    {
        // Closing a read-only source has nothing to lose.
    }
}

void StreamReader::Close()
{
    if (m_stream != nullptr)
    {
        Stream* stream = m_stream;
        m_stream = nullptr;
        if (m_ownsStream)
        {
            delete stream;
        }
        else if (m_closeStream)
        {
            stream->Close();
        }
    }
    delete m_decoder;
    delete[] m_bytes;
    delete[] m_chars;
    m_decoder = nullptr;
    m_bytes = nullptr;
    m_chars = nullptr;
    m_charPosition = 0;
    m_charLength = 0;
}

void StreamReader::DetectEncoding()
{
    // A mark needs up to three bytes; a stream may hand them over in smaller reads.
    int length = 0;
    while (length < 3)
    {
        int n = m_stream->Read(m_bytes, length, m_byteCapacity - length);
        if (n == 0)
        {
            break;
        }
        length += n;
    }
    int skip = 0;
    if (m_detectEncoding && length >= 2)
    {
        if (m_bytes[0] == 0xFE && m_bytes[1] == 0xFF)
        {
            m_encoding = Encoding::UTF16BigEndian();
            skip = 2;
        }
        else if (m_bytes[0] == 0xFF && m_bytes[1] == 0xFE)
        {
            m_encoding = Encoding::UTF16LittleEndian();
            skip = 2;
        }
        else if (length >= 3 && m_bytes[0] == 0xEF && m_bytes[1] == 0xBB && m_bytes[2] == 0xBF)
        {
            m_encoding = Encoding::UTF8();
            skip = 3;
        }
    }
    if (skip == 0 && m_sniffer != nullptr)
    {
        while (length < m_byteCapacity && std::memchr(m_bytes, '>', static_cast<size_t>(length)) == nullptr)
        {
            int n = m_stream->Read(m_bytes, length, m_byteCapacity - length);
            if (n == 0)
            {
                break;
            }
            length += n;
        }
        if (const Encoding* named = m_sniffer(m_bytes, length))
        {
            m_encoding = named;
        }
    }
    m_decoder = m_encoding->CreateDecoder();
    m_detectedBytes = length - skip;
    m_detectedOffset = skip;
}

int StreamReader::Decode(wchar_t* target)
{
    if (m_endOfStream)
    {
        return 0;
    }
    if (m_decoder == nullptr)
    {
        DetectEncoding();
        if (m_detectedBytes > 0)
        {
            int n = m_decoder->GetChars(m_bytes + m_detectedOffset, m_detectedBytes, target, false);
            m_detectedBytes = 0;
            if (n > 0)
            {
                return n;
            }
        }
    }
    for (;;)
    {
        int read = m_stream->Read(m_bytes, 0, m_byteCapacity);
        if (read == 0)
        {
            m_endOfStream = true;
            // Whatever an unfinished sequence left behind becomes text now.
            return m_decoder->GetChars(m_bytes, 0, target, true);
        }
        int n = m_decoder->GetChars(m_bytes, read, target, false);
        if (n > 0)
        {
            return n;
        }
    }
}

int StreamReader::Read(wchar_t* buffer, int index, int count)
{
    CheckArguments(buffer, index, count);
    if (m_stream == nullptr)
    {
        throw Exception(String(L"Invalid operation"));
    }
    int total = 0;
    while (total < count)
    {
        if (m_charPosition == m_charLength)
        {
            if (count - total >= m_charCapacity)
            {
                // Room for a whole chunk: decode straight into the caller's buffer.
                int n = Decode(buffer + index + total);
                if (n == 0)
                {
                    break;
                }
                total += n;
                continue;
            }
            m_charPosition = 0;
            m_charLength = Decode(m_chars);
            if (m_charLength == 0)
            {
                break;
            }
        }
        int available = m_charLength - m_charPosition;
        int n = count - total < available ? count - total : available;
        std::memcpy(buffer + index + total, m_chars + m_charPosition, static_cast<size_t>(n) * sizeof(wchar_t));
        m_charPosition += n;
        total += n;
    }
    return total;
}

} // namespace Core::IO
