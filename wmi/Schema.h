// What WMI tells of its own schema: the namespaces inside a namespace, the classes of a namespace and their
// hierarchy, and a catalogue of every class of a machine for class search. Blocking calls, for workers.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "wmi/ManagementConnection.h"

#include <functional>
#include <memory>

// Every function here may run on any thread of the process's multithreaded apartment (a worker of
// RunInBackground) and touches no window. A worker takes the session with ManagementConnection::GetSession on the
// window thread and keeps it: the session outlives a disconnect while the worker still reads.
namespace WMI
{

// Asked before each WMI call of a read (and between the batches of one enumeration); true stops the read. A null
// one never stops. Any thread: for example [&stop] { return stop.load(); } or a completion target's IsWanted.
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

// One name that holds a searched text: a class's own name (property empty) or one of its property names.
struct SchemaMatch
{
    Core::String nameSpace;
    Core::String className;
    Core::String property;
};

// A namespace a read could not open or not read whole, and why (the message of what it threw, which names it).
struct NamespaceFailure
{
    Core::String nameSpace;
    Core::String message;
};

// How far a read has come.
struct SchemaProgress
{
    int namespacesDone = 0; // read, or given up with a failure
    int classesRead = 0;
    int matches = 0;        // names read so far that hold the text given to the read
    Core::String nameSpace; // the namespace just done
};

// Every class and property name of every namespace of one machine, read once and then searched as often as
// wanted without asking WMI again. Read on one thread at a time; Find and the getters from any thread while no
// read runs (hand the catalogue to the window thread with the read's completion).
class SchemaCatalogue
{
public:
    using ProgressHandler = std::function<void(const SchemaProgress&)>;

    SchemaCatalogue();
    ~SchemaCatalogue();
    SchemaCatalogue(const SchemaCatalogue&) = delete;
    SchemaCatalogue& operator=(const SchemaCatalogue&) = delete;

    // Forgets what was kept and reads the machine of machine (any connection of it, connected or not, such as one
    // made by CopyCredentials on the window thread): from root, each namespace, then the ones inside it in name
    // order, every class with its properties. A namespace that cannot be opened, listed or read is kept in
    // GetFailures and the read goes on past it. progress runs on the reading thread after each namespace and may
    // call Find; matches counts the names holding text (none when empty). A stop leaves what was read findable and
    // the catalogue incomplete. Throws only what the system does when memory runs out.
    void Read(const ManagementConnection& machine, const Core::String& text = Core::String(),
              const ProgressHandler& progress = nullptr, const StopRequest& stop = nullptr);
    // Reads as Read does unless a complete read is kept (a stopped one is read again), then finds text.
    Core::Collections::ArrayList<SchemaMatch> Search(const ManagementConnection& machine, const Core::String& text,
                                                     const ProgressHandler& progress = nullptr,
                                                     const StopRequest& stop = nullptr);
    // Every class name and property name kept that holds text, without regard to case: by namespace in the order
    // read, by class name within a namespace, a class's name before its properties. The empty text finds nothing.
    // Asks WMI nothing.
    Core::Collections::ArrayList<SchemaMatch> Find(const Core::String& text) const;
    // How many names Find would give, without making them.
    int Count(const Core::String& text) const;

    // Whether the last read went through every namespace (failed ones included) without being stopped.
    bool IsComplete() const;
    // The namespaces read, in the order read.
    Core::Collections::ArrayList<Core::String> GetNamespaces() const;
    int GetClassCount() const;
    Core::Collections::ArrayList<NamespaceFailure> GetFailures() const;

private:
    struct Data;
    std::unique_ptr<Data> m_data; // owned
};

} // namespace WMI
