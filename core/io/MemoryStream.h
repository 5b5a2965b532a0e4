// A stream over bytes held in memory: reads from the start, writes append.
#pragma once

#include "core/io/Stream.h"

#include <string>

namespace Core::IO
{

class MemoryStream : public Stream
{
public:
    MemoryStream() = default;
    MemoryStream(const uint8_t* bytes, int count);

    bool CanRead() const override { return !m_closed; }
    bool CanWrite() const override { return !m_closed; }
    int Read(uint8_t* bytes, int offset, int count) override;
    void Write(const uint8_t* bytes, int offset, int count) override;
    void Flush() override {}
    void Close() override { m_closed = true; }

    const uint8_t* GetData() const { return reinterpret_cast<const uint8_t*>(m_data.data()); }
    int GetLength() const { return static_cast<int>(m_data.size()); }
    // The bytes as a string of chars, for comparisons in tests and tools.
    const std::string& GetBytes() const { return m_data; }

private:
    void CheckOpen() const;

    std::string m_data;
    size_t m_readPosition = 0;
    bool m_closed = false;
};

} // namespace Core::IO
