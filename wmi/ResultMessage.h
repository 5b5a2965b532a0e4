// Readable text for the result code of a failed WMI or COM call.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace WMI
{

// Prefers the description of the calling thread's COM error object, else the fixed table text.
// Call it right after the failing call, on the same thread. Never throws on its own account.
Core::String GetResultMessage(int32_t result);
// GetResultMessage, followed by the code in hexadecimal when the table does not know it ("Unknown error
// (0x80041010)"), so that a message naming what failed still tells one unknown failure from another.
Core::String GetResultReason(int32_t result);

} // namespace WMI
