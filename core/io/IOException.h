// File and stream failures; the message is usually the system's error text.
#pragma once

#include "core/Exception.h"

namespace Core::IO
{

class IOException : public Exception
{
public:
    using Exception::Exception;
};

} // namespace Core::IO
