// One instance read whole by its object path, for a property sheet: every property with its CIM type, key mark and
// value, the system properties apart.
#pragma once

#include "core/threading/Completion.h"
#include "wmi/ManagementConnection.h"
#include "wmi/PropertyValue.h"

#include <functional>

namespace WMI
{

// Reads the object at path (an instance path such as Win32_Process.Handle="4" or
// \\server\root\cimv2:Win32_Process.Handle="4", as a row's path or a reference property gives it) with GetObject on
// the session's namespace, and every property of it (ReadObject). Blocking: call it on a worker. Throws
// InvalidArgumentException for an empty path, InvalidWMIClassException when the machine lacks the path's class,
// and Exception with GetObjectFailureMessage's text otherwise: "The instance ... does not exist on the machine" for
// one that is gone, "Access to the instance ... is denied" for one the user may not read.
ObjectValue GetInstance(const ConnectionSession& session, const Core::String& path);
// The same on the connection's session; throws when the connection is not open.
ObjectValue GetInstance(ManagementConnection* connection, const Core::String& path);

// Reads the instance at path on a worker, in its class's turn on the connection, and hands it, or what GetInstance
// threw, to completion on the calling (window) thread through its own loop, unless owner is gone or reset by then.
// A read whose owner is gone before its turn comes asks the machine nothing. Throws at once when the connection
// is not open.
void ReadInstance(const Core::Threading::CompletionOwner& owner, ManagementConnection* connection,
                  const Core::String& path, std::function<void(Core::Threading::Outcome<ObjectValue>&)> completion);

} // namespace WMI
