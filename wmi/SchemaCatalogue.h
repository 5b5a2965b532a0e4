// Every class and property name of every namespace of one machine, read once on a worker and searched as often as
// wanted without asking WMI again.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"
#include "wmi/ManagementConnection.h"
#include "wmi/Schema.h"

#include <functional>
#include <memory>

namespace WMI
{

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

// The names of a machine's classes for class search. Read runs on one thread at a time (a worker); Find and the
// getters run on any thread while no read runs (hand the catalogue to the window thread with the read's
// completion, and keep it there for the next search).
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
    // read, by class name within a namespace, a class's name before its properties. At most limit of them, the first
    // in that order, when limit is above 0 (a list of a few thousand names is all a person reads; Count tells how
    // many there are). The empty text finds nothing. Asks WMI nothing.
    Core::Collections::ArrayList<SchemaMatch> Find(const Core::String& text, int limit = 0) const;
    // How many names Find would give without a limit, without making them.
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
