// The class object behind a class node: loads the instances of its class once, as rows of text
// cells, on the calling thread or on a worker thread while the caller's messages keep running.
#pragma once

#include "core/Event.h"
#include "core/collections/PointerArrayList.h"
#include "core/threading/Completion.h"
#include "core/threading/CriticalSection.h"
#include "wmi/ClassDefinition.h"
#include "wmi/ManagementConnection.h"

#include <functional>
#include <memory>

namespace Core::Threading
{
class BackgroundWork;
class SynchronizationEvent;
} // namespace Core::Threading

namespace WMI
{

enum LoadState
{
    LoadIdle = 0,
    LoadLoading = 1,
    LoadCompleted = 2,
    LoadCancelled = 3,
    LoadFailed = 4
};

class ManagementObject;

// Progress carries the value 1; Completed carries the final LoadState.
class LoadEventArgs : public Core::EventArgs
{
public:
    LoadEventArgs(ManagementObject* sender, int value) : m_sender(sender), m_reserved(0), m_value(value) {}

    ManagementObject* GetSender() const { return m_sender; }
    int GetReserved() const { return m_reserved; }
    int GetValue() const { return m_value; }

private:
    ManagementObject* m_sender; // not owned
    int m_reserved;
    int m_value;
};

using Row = Core::Collections::ArrayList<Core::String>;

class ManagementObject : public ClassDefinition
{
public:
    static constexpr int BatchSize = 50;
    // Each Next call waits at most this long, so a stop request is seen promptly even while a provider is slow.
    static constexpr unsigned long NextTimeoutMilliseconds = 250;

    ManagementObject(ManagementConnection* connection, const Core::String& className, int kind);
    // A load still running is asked to stop and left to end by itself: its worker keeps what it uses, so
    // nothing waits here for a provider that does not answer.
    ~ManagementObject() override;
    ManagementObject(const ManagementObject&) = delete;
    ManagementObject& operator=(const ManagementObject&) = delete;

    // Loads the instances unless loaded or loading. Synchronous on a connection without asynchronous
    // loading (no events); otherwise runs a worker and waits, pumping messages, raising Progress after
    // each batch signal (lock held) and finally Progress and Completed. Throws InvalidWMIClassException
    // once the machine has reported the class missing.
    void Load();
    // Stops a running asynchronous load at once: its worker is let go (a provider may keep it inside one Next for
    // many seconds) and ends by itself on the state it shares, and the class goes on cancelled, with no rows.
    // The load's own wait, further down the stack, then raises its last Progress and Completed with
    // LoadCancelled. A later load of the class waits on its worker for the let-go one to end, so no two calls
    // ever use the class at once.
    void Cancel();
    // Starts a load on a worker of its own, whatever the connection's mode, and returns at once: no events are
    // raised; onRows, when given, runs on the worker after each batch and once the load has ended, and the
    // caller reads IsLoading and the rows (under the lock). For loads from several machines at once. False when
    // the class is loaded or loading already. Cancel lets such a load go as it does any other.
    bool BeginLoad(std::function<void()> onRows = nullptr);
    // Asks a running load to stop and returns at once; the worker sees it within NextTimeoutMilliseconds and
    // ends the load as cancelled.
    void RequestStop();
    // Forgets the rows of a finished load and the kept definition, so the next selection reads both again (a
    // refresh). Throws while a load is running.
    void Discard();
    // The properties with their CIM types as last read for display, kept until Discard: a class shown again asks
    // the machine nothing. Null until kept.
    const Core::Collections::ArrayList<PropertyInfo>* GetDefinition() const { return m_definition.get(); }
    void KeepDefinition(const Core::Collections::ArrayList<PropertyInfo>& properties);
    // Replaces the property list by all non-system properties of the class (types not read).
    void FillProperties();

    // A typed query: from now on Load runs this WQL text (SELECT, ASSOCIATORS OF, REFERENCES OF, SELECT ... FROM
    // meta_class) as it is, in place of the text built from the class, and the columns come from the objects it
    // returns (GetColumns). The empty text goes back to loading the class. Forgets the rows of a finished load so
    // that the next Load runs the new text; throws InvalidOperationException while a load is running. Only
    // ExecQuery reaches the machine: a text that is not a query (a method call) is refused by WMI and the load
    // fails with its message. A failing query fails the load with a message naming its cause (GetFailureMessage):
    // an invalid query names the text, a class the machine lacks names the class (GetQueriedClass).
    void SetQueryText(const Core::String& text);
    bool IsQuery() const { return !m_queryText.IsEmpty(); }
    const Core::String& GetTypedQueryText() const { return m_queryText; }

    // Watches this object's life: expired once it is destroyed. A Load that pumped messages may outlive the object
    // it was called on (its node removed meanwhile); the caller checks the watch before touching the object again.
    std::weak_ptr<const void> Watch() const { return m_lifetime; }

    bool IsLoading() const;
    bool IsLoaded() const;
    bool IsSupported() const;
    int GetState() const;
    // Why the last load failed (the machine's or the system's message); empty while loading and after success.
    Core::String GetFailureMessage() const;
    ManagementConnection* GetConnection() const { return m_connection; }
    // One row per instance, one cell per property; take the lock while a worker may be appending.
    Core::Collections::PointerArrayList<Row>& GetRows();
    // The object path (__PATH) of row i as WMI gave it with the row, to open the row's instance (GetInstance in
    // wmi/InstanceReading.h); read with the row, no call of its own. Empty when WMI gave none: a query (or a class
    // view's property list) that selected properties without the class's keys, a row of a class without keys (and,
    // on Wine, any select of some properties rather than *). Kept beside the rows under the same lock, one path per
    // row; throws ArgumentOutOfRangeException for a row that is not there.
    Core::String GetRowPath(int row) const;
    Core::Threading::CriticalSection& GetLock();
    // The names of the rows' cells, under the same lock as the rows, which it always matches: cell i of a row
    // belongs to column i. A class load sets them once, from the property list, before its first row. A query
    // adds them as objects come: the union of the returned objects' non-system properties in the order first
    // seen (names compared without regard to case), with "__CLASS" first once objects of a second class came
    // back. A row has one cell per column up to the last column of its own class, so a row of a class seen
    // early may be shorter than the column list: its missing cells are empty. While GetColumnLayout stays the
    // same, columns and rows only grow at their ends (read the new ones since the last look); it changes when
    // columns already shown moved, which happens once, when "__CLASS" is put first and every earlier row got
    // its class name as first cell: read the columns and rows again from the start. Every load starts with no
    // columns and no rows, as a cancelled one ends.
    const Core::Collections::ArrayList<Core::String>& GetColumns() const;
    unsigned int GetColumnLayout() const;

    Core::Event<LoadEventArgs> Progress;
    Core::Event<LoadEventArgs> Completed;

private:
    struct Shared;
    // Checks and fixes what a load starts from; false when there is nothing to do.
    bool PrepareLoad(bool asynchronous);
    // Leaves the current state to whatever worker still uses it and goes on with a new one in the given state.
    void StartAfresh(int state);
    void StartWorker();
    void CreateEvents();
    void RaiseProgress();
    // After a load: a property list the load filled becomes the class's own.
    void TakeFilledProperties();

    // What the load body touches, shared with the worker so that it outlives this object while a provider
    // keeps the worker waiting.
    std::shared_ptr<Shared> m_shared;
    ManagementConnection* m_connection;                                       // not owned
    unsigned int m_loadsStarted = 0;                                          // numbers the rows-ready events
    std::unique_ptr<Core::Collections::ArrayList<PropertyInfo>> m_definition; // owned; see GetDefinition
    std::shared_ptr<const int> m_lifetime = std::make_shared<const int>(0);   // what Watch observes
    Core::String m_queryText;                                                 // empty: a class load
};

using PropertyList = Core::Collections::ArrayList<PropertyInfo>;

// Reads the properties of a class with their CIM types on a worker (a slow provider may take minutes for a class
// definition), in the class's turn on the connection, and hands them, or what GetClassProperties threw, to
// completion on the calling thread through its own loop, unless owner is gone or reset by then. A read whose
// owner is gone before its turn comes asks the machine nothing. Throws at once when the connection is not open.
void ReadClassDefinition(const Core::Threading::CompletionOwner& owner, ManagementConnection* connection,
                         const Core::String& className,
                         std::function<void(Core::Threading::Outcome<PropertyList>&)> completion);

// Fills list with the non-system properties of className in the order WMI gives them, with their CIM
// types when readTypes is set (otherwise string). A class the machine lacks raises InvalidWMIClassException.
void GetClassProperties(Core::Collections::ArrayList<PropertyInfo>& list, ManagementConnection* connection,
                        const Core::String& className, bool readTypes);
void GetClassProperties(Core::Collections::ArrayList<PropertyInfo>& list, const ConnectionSession& session,
                        const Core::String& className, bool readTypes);

} // namespace WMI
