// Failed COM runtime calls: initialisation, class factories, object creation.
#pragma once

#include "core/Exception.h"

namespace Core::Platform::Windows
{

class COMException : public Exception
{
public:
    using Exception::Exception;
};

} // namespace Core::Platform::Windows
