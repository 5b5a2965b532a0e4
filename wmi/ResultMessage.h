// Readable text for the result code of a failed WMI or COM call.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace WMI
{

// Prefers the description of the calling thread's COM error object, else the fixed table text.
// Call it right after the failing call, on the same thread. Never throws on its own account.
Core::String GetResultMessage(int32_t result);

} // namespace WMI
