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

// Why reading the object at path with GetObject failed, naming the path: "The instance " + path + " does not exist
// on the machine" (WBEM_E_NOT_FOUND: it may have ended or been removed since it was listed), "Access to the
// instance " + path + " is denied" (WBEM_E_ACCESS_DENIED, E_ACCESSDENIED), "Not a valid object path: " + path
// (WBEM_E_INVALID_OBJECT_PATH), else "Could not read " + path + ": " + GetResultReason. Call it right after the
// failing call, on the same thread.
Core::String GetObjectFailureMessage(int32_t result, const Core::String& path);

} // namespace WMI
