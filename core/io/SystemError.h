// The system's text for a Win32 error code, as FormatMessageW gives it.
#pragma once

#include "core/String.h"

namespace Core::IO
{

// Text of the calling thread's last error, including the system's trailing line break.
String GetLastErrorText();
String GetErrorText(unsigned long errorCode);

} // namespace Core::IO
