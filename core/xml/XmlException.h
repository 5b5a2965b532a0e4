// XML syntax and structure errors; the message ends with the line and column of the fault.
#pragma once

#include "core/Exception.h"

namespace Core::Xml
{

class XmlException : public Exception
{
public:
    using Exception::Exception;
};

} // namespace Core::Xml
