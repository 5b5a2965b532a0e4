// The class object behind a class node: loads the instances of its class once, as rows of text
// cells, on the calling thread or on a worker thread while the caller's messages keep running.
#pragma once

#include "core/Event.h"
#include "core/collections/PointerArrayList.h"
#include "core/threading/CriticalSection.h"
#include "wmi/ClassDefinition.h"
#include "wmi/ManagementConnection.h"

#include <atomic>

struct IWbemClassObject;

namespace Core::Threading
{
class SynchronizationEvent;
class Thread;
class ThreadStart;
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
    // A load still running is asked to stop and its worker is joined first.
    ~ManagementObject() override;
    ManagementObject(const ManagementObject&) = delete;
    ManagementObject& operator=(const ManagementObject&) = delete;

    // Loads the instances unless loaded or loading. Synchronous on a connection without asynchronous
    // loading (no events); otherwise runs a worker and waits, pumping messages, raising Progress after
    // each batch signal (lock held) and finally Progress and Completed. Throws InvalidWMIClassException
    // once the machine has reported the class missing.
    void Load();
    // Stops a running asynchronous load and returns once its worker has ended. Called on a thread that
    // holds the lock (a Progress handler), it only asks the worker to stop: the worker needs the lock for
    // its next batch, and the load's own wait then ends the load as cancelled. A request that comes after
    // the worker has finished its enumeration is dropped.
    void Cancel();
    // Replaces the property list by all non-system properties of the class (types not read).
    void FillProperties();

    bool IsLoading() const { return m_loading; }
    bool IsLoaded() const { return m_loaded; }
    bool IsSupported() const { return m_supported; }
    int GetState() const { return m_state; }
    ManagementConnection* GetConnection() const { return m_connection; }
    // One row per instance, one cell per property; take the lock while a worker may be appending.
    Core::Collections::PointerArrayList<Row>& GetRows() { return m_rows; }
    Core::Threading::CriticalSection& GetLock() { return m_lock; }

    Core::Event<LoadEventArgs> Progress;
    Core::Event<LoadEventArgs> Completed;

private:
    // The load body: on the worker, or on the calling thread for a synchronous load.
    void LoadRows();
    void ReadInstances();
    void AppendRows(IWbemClassObject** objects, unsigned long count);
    void RunWorker();
    void CreateEvents();
    void ClearRows();
    void RaiseProgress();

    // Where the enumeration is, for stop requests: a request is taken only while it runs, and the
    // enumeration's end takes it back in the same step, so no request outlives the load it was meant for.
    enum RunPhase
    {
        NotRunning,
        Running,
        StopPending
    };
    void RequestStop();
    bool IsStopRequested() const { return m_phase == StopPending; }

    std::atomic<bool> m_loaded{false};
    std::atomic<bool> m_supported{true};
    std::atomic<bool> m_loading{false};
    std::atomic<int> m_phase{NotRunning};
    std::atomic<int> m_state{LoadIdle};
    // The mode of the running load, fixed when it starts even if the connection's flag changes meanwhile.
    bool m_asyncRun = false;
    Core::Collections::PointerArrayList<Row> m_rows; // owned rows
    ManagementConnection* m_connection;              // not owned
    Core::Threading::CriticalSection m_lock;
    Core::Threading::SynchronizationEvent* m_loadComplete = nullptr; // owned
    Core::Threading::SynchronizationEvent* m_rowsReady = nullptr;    // owned
    Core::Threading::ThreadStart* m_threadStart = nullptr;           // owned
    Core::Threading::Thread* m_worker = nullptr;                     // owned
};

// Fills list with the non-system properties of className in the order WMI gives them, with their CIM
// types when readTypes is set (otherwise string). A class the machine lacks raises InvalidWMIClassException.
void GetClassProperties(Core::Collections::ArrayList<PropertyInfo>& list, ManagementConnection* connection,
                        const Core::String& className, bool readTypes);

} // namespace WMI
