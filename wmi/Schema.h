// What WMI tells of its own schema: the namespaces inside a namespace, the classes of a namespace and their
// hierarchy, one class. Blocking calls, for workers; the class search is SchemaCatalogue's.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "wmi/ManagementConnection.h"

#include <cstdint>
#include <functional>
#include <memory>

// Every function here may run on any thread of the process's multithreaded apartment (a worker of
// RunInBackground) and touches no window. A worker takes the session with ManagementConnection::GetSession on the
// window thread and keeps it: the session outlives a disconnect while the worker still reads.
namespace WMI
{

// Asked before each WMI call of a read (and between the batches of one enumeration); true stops the read. A null
// one never stops. Any thread: for example [&stop] { return stop.load(); } or [target] { return !target.IsWanted(); }.
using StopRequest = std::function<bool()>;

// A class as a listing shows it.
struct ClassEntry
{
    Core::String name;
    Core::String superclass;    // the direct superclass; empty for a top class
    bool isAbstract = false;    // its "abstract" qualifier is true: a base for other classes, without instances
    bool isAssociation = false; // its "Association" qualifier is true: it relates instances of other classes
    bool isSystem = false;      // a system class: its name begins with "__"
};

// A class with the names of its non-system properties, inherited ones included, in the order WMI gives them.
struct ClassSchema : ClassEntry
{
    Core::Collections::ArrayList<Core::String> properties;
};

// The namespaces directly inside the session's namespace: the Name of each of its __NAMESPACE instances, sorted
// without regard to case, without the localised ones (ms_ and three digits, as ms_409). Throws Exception
// "Could not list the namespaces in " + namespace + ": " + WMI's reason (GetResultReason). A stopped read gives
// what it had.
Core::Collections::ArrayList<Core::String> ReadChildNamespaces(const ConnectionSession& session,
                                                               const StopRequest& stop = nullptr);
// The same through an open connection; a null one throws ArgumentNullException, a closed one
// InvalidOperationException.
Core::Collections::ArrayList<Core::String> ReadChildNamespaces(ManagementConnection* connection,
                                                               const StopRequest& stop = nullptr);
// The path of the namespace name inside parent: root and cimv2 give root\cimv2.
Core::String ChildNamespacePath(const Core::String& parent, const Core::String& name);

// The classes directly below superclass (empty: the top classes of the namespace), sorted by name without regard
// to case; their properties are not read. Throws InvalidWMIClassException for a superclass the namespace lacks,
// otherwise Exception "Could not list the classes in " + namespace + ": " + WMI's reason (Wine's WMI, which
// cannot enumerate classes, gives "Unspecified error"). A stopped read gives what it had.
Core::Collections::ArrayList<ClassEntry>
ReadSubclasses(const ConnectionSession& session, const Core::String& superclass, const StopRequest& stop = nullptr);
Core::Collections::ArrayList<ClassEntry>
ReadSubclasses(ManagementConnection* connection, const Core::String& superclass, const StopRequest& stop = nullptr);

// Every class of the namespace with its property names, sorted by name without regard to case. Throws as
// ReadSubclasses does.
Core::Collections::ArrayList<ClassSchema> ReadAllClasses(const ConnectionSession& session,
                                                         const StopRequest& stop = nullptr);
Core::Collections::ArrayList<ClassSchema> ReadAllClasses(ManagementConnection* connection,
                                                         const StopRequest& stop = nullptr);

// One class by name (GetObject), with its property names. Throws InvalidWMIClassException when the namespace
// lacks it, otherwise Exception "Could not read the class " + className + " in " + namespace + ": " + WMI's reason.
ClassSchema ReadClass(const ConnectionSession& session, const Core::String& className);
ClassSchema ReadClass(ManagementConnection* connection, const Core::String& className);

// Every class of the session's namespace as WMI hands it out (a deep enumeration from the top), for readers that
// keep the names their own way (SchemaCatalogue): each class's name, then its non-system property names; the texts
// are valid during the call only. Throws as ReadSubclasses does; a stop is seen between batches of classes.
class ClassNameVisitor
{
public:
    virtual ~ClassNameVisitor() = default;
    virtual void VisitClass(const wchar_t* name, uint32_t length) = 0;
    virtual void VisitProperty(const wchar_t* name, uint32_t length) = 0;
};
void VisitAllClasses(const ConnectionSession& session, ClassNameVisitor& visitor, const StopRequest& stop = nullptr);

} // namespace WMI
