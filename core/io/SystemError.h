// The system's text for a Win32 error code, as FormatMessageW gives it.
#pragma once

#include "core/String.h"

namespace Core::IO
{

// Text of the calling thread's last error, without the line break the system ends it with: callers put it
// in brackets, after a colon or on a status line.
String GetLastErrorText();
String GetErrorText(unsigned long errorCode);

} // namespace Core::IO
