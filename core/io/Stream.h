// A byte stream: the target of text writers and the source of text readers.
#pragma once

#include "core/EnumValue.h"

#include <cstdint>

namespace Core::IO
{

class Stream : public Object
{
public:
    virtual bool CanRead() const = 0;
    virtual bool CanWrite() const = 0;
    // Reads up to count bytes into bytes[offset...]; returns the number read, 0 at the end.
    virtual int Read(uint8_t* bytes, int offset, int count) = 0;
    virtual void Write(const uint8_t* bytes, int offset, int count) = 0;
    virtual void Flush() = 0;
    virtual void Close() = 0;
};

} // namespace Core::IO
