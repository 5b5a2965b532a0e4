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

// The namespace of machine (a connection or a copy of its credentials) that path names, opened for GetInstance
// (ConnectNamespace) when it is not session's: GetObject reads only the namespace of its services. Null when the path
// names no namespace or session's own. knownServer is a name the machine goes by besides its connection's server
// (the __SERVER of an object read from it: WMI names the local machine by its computer name). Throws Exception when
// the path names another machine ("The object ... is on another machine (X). Connect to X to open it.") and as
// ConnectNamespace does when the namespace cannot be opened. Blocking: call it on a worker.
std::shared_ptr<const ConnectionSession> OpenPathNamespace(const ConnectionSession& session,
                                                           const ManagementConnection& machine,
                                                           const Core::String& path, const Core::String& knownServer);
// Whether server, as an object path names it, is machine's: empty, ".", knownServer, the connection's server, and on
// the local machine "localhost", "127.0.0.1" and the computer's names. Without regard to case.
bool IsSameMachine(const Core::String& server, const ManagementConnection& machine, const Core::String& knownServer);

// Reads the instance at path on a worker, in its class's turn on the connection, and hands it, or what GetInstance
// threw, to completion on the calling (window) thread through its own loop, unless owner is gone or reset by then.
// A read whose owner is gone before its turn comes asks the machine nothing. Throws at once when the connection
// is not open.
void ReadInstance(const Core::Threading::CompletionOwner& owner, ManagementConnection* connection,
                  const Core::String& path, std::function<void(Core::Threading::Outcome<ObjectValue>&)> completion);

} // namespace WMI
