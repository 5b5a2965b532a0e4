#include "core/io/MemoryStream.h"

#include "core/Exception.h"

#include <cstring>

namespace Core::IO
{

MemoryStream::MemoryStream(const uint8_t* bytes, int count)
{
    if (bytes == nullptr)
    {
        throw ArgumentNullException(String(L"bytes"));
    }
    if (count < 0)
    {
        throw ArgumentOutOfRangeException(count);
    }
    m_data.assign(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
}

void MemoryStream::CheckOpen() const
{
    if (m_closed)
    {
        throw Exception(String(L"Invalid operation"));
    }
}

int MemoryStream::Read(uint8_t* bytes, int offset, int count)
{
    CheckOpen();
    if (bytes == nullptr)
    {
        throw ArgumentNullException(String(L"array"));
    }
    if (offset < 0 || count < 0)
    {
        throw ArgumentOutOfRangeException(offset < 0 ? offset : count);
    }
    size_t available = m_data.size() - m_readPosition;
    size_t n = static_cast<size_t>(count) < available ? static_cast<size_t>(count) : available;
    std::memcpy(bytes + offset, m_data.data() + m_readPosition, n);
    m_readPosition += n;
    return static_cast<int>(n);
}

void MemoryStream::Write(const uint8_t* bytes, int offset, int count)
{
    CheckOpen();
    if (bytes == nullptr)
    {
        throw ArgumentNullException(String(L"array"));
    }
    if (offset < 0 || count < 0)
    {
        throw ArgumentOutOfRangeException(offset < 0 ? offset : count);
    }
    m_data.append(reinterpret_cast<const char*>(bytes) + offset, static_cast<size_t>(count));
}

} // namespace Core::IO
