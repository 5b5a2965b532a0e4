// What one instance is related to, for its property sheet: the objects ASSOCIATORS OF returns, with the association
// class that links each when the machine tells it, and the association instances REFERENCES OF returns.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "wmi/ManagementConnection.h"

#include <functional>

namespace Quarrow
{

struct RelatedObject
{
    Core::String className;
    Core::String association; // the association class; empty when the machine does not tell it
    Core::String path;        // __PATH, to open it
    Core::String relativePath;
};

struct RelatedObjects
{
    // In the order the machine gave them, association by association when those are known.
    Core::Collections::ArrayList<RelatedObject> associators;
    Core::String associatorsFailure; // why ASSOCIATORS OF failed; empty when it answered
    // The association instances (their association field empty).
    Core::Collections::ArrayList<RelatedObject> references;
    Core::String referencesFailure; // why REFERENCES OF failed; empty when it answered
};

// Reads what the instance at relativePath (Class.Key="value") is related to, on its session's namespace. The
// association classes come from REFERENCES OF ... WHERE ClassDefsOnly, and then each class's associators from
// ASSOCIATORS OF ... WHERE AssocClass; a machine that refuses REFERENCES OF (Wine's) gives the associators without
// their association. Blocking: call it on a worker. A stop request is seen between the queries and while a provider
// is slow; failures are kept in the result, never thrown for WMI's sake.
RelatedObjects ReadRelatedObjects(const WMI::ConnectionSession& session, const Core::String& relativePath,
                                  const std::function<bool()>& stopRequested);

// The key values of a relative path, as a short name for its object: Win32_Disk.DeviceID="D0" gives D0,
// Link.A="x",B=2 gives "x, 2", Class=@ gives @; a path without keys gives its class.
Core::String KeyValuesOf(const Core::String& relativePath);
// A short name for an association instance seen from the object at relativePath: the key values of the objects it
// links that one with (Link.A="Disk.ID=\"D0\"",B="Part.ID=\"P0\"" seen from Disk.ID="D0" gives P0); its own key
// values when it links nothing else.
Core::String OtherEndsOf(const Core::String& associationPath, const Core::String& relativePath);
// The key properties a relative path names: Link.A="x",B=2 gives A and B; Class=@ and a path without keys none.
Core::Collections::ArrayList<Core::String> KeyNamesOf(const Core::String& relativePath);

} // namespace Quarrow
