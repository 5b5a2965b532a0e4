// Raised when the connected machine does not know a WMI class.
#pragma once

#include "core/Exception.h"

namespace WMI
{

class InvalidWMIClassException : public Core::Exception
{
public:
    explicit InvalidWMIClassException(const Core::String& className)
        : Core::Exception(Core::String(L"WMI on target machine does not support class") + className)
    {
    }
};

} // namespace WMI
