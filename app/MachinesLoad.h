// One class read from several machines at once, each machine on a worker of its own: the rows come together in
// one class object whose first column is "Machine", so the grid and the reports show where each row came from.
// A machine that fails says why and does not stop the others. Nothing here waits: the workers tell the window
// thread, through its own loop, that rows arrived, and the caller collects them then.
#pragma once

#include "core/String.h"
#include "wmi/ManagementObject.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace Quarrow
{

// A machine to read from: the name the tree shows and its connection (not owned).
struct MachineSource
{
    Core::String name;
    WMI::ManagementConnection* connection;
};

class MachinesLoad
{
public:
    // The class as model is read from every machine: its properties (a list read from its definition when empty)
    // and its filter.
    MachinesLoad(const WMI::ManagementObject& model, const std::vector<MachineSource>& machines);
    MachinesLoad(const MachinesLoad&) = delete;
    MachinesLoad& operator=(const MachinesLoad&) = delete;

    // Starts every machine's worker; a machine whose load cannot start counts as failed with its reason. changed
    // runs on the calling (window) thread, from its loop, after rows arrived or a machine ended, until this load
    // is stopped, told to stop telling, or gone; calls close together come as one.
    void Start(std::function<void()> changed);
    // Lets every machine's worker go, at once: the rows collected so far stay, nothing more is told.
    void Stop();
    // Nothing more is told (the load has ended and its end is being shown).
    void StopTelling() { m_telling.Reset(); }
    bool IsRunning() const;
    bool IsStopRequested() const { return m_stopRequested; }
    // Moves the rows that arrived since the last call into the merged object; the number of new rows.
    int Collect();

    // The merged rows: "Machine" then the class's properties. Take its lock while collecting may run.
    WMI::ManagementObject& GetMerged() { return m_merged; }
    // Where merged row i came from: the machine's connection, and the instance's path as its load gave it (empty:
    // none). Null for a row not collected. Window thread, as Collect.
    WMI::ManagementConnection* GetRowSource(int row, Core::String& path) const;
    const Core::String& GetClassName() const { return m_className; }
    int GetMachineCount() const { return static_cast<int>(m_machines.size()); }

    // "Loading ...N records ready (Local Machine 120, SRV1 failed, SRV2 40 ...)": each machine's own progress.
    Core::String GetProgressText();
    // "Loading completed. N records from M of K machines", or the cancelled form after a Stop; the rows a failed
    // machine gave before it failed are counted in N and named: "(150 from SRV8 before it failed)".
    Core::String GetEndText();
    // One line per failed machine with its reason and the rows it gave; empty when none failed.
    Core::String GetFailuresText() const;

private:
    struct Machine
    {
        Core::String name;
        std::unique_ptr<WMI::ManagementObject> load;
        int taken = 0; // rows already moved into the merged object
        Core::String startFailure;
    };

    // Whether the machine's load ended in failure, and its reason.
    static bool HasFailed(const Machine& machine);
    static Core::String FailureOf(const Machine& machine);
    int CountFailed() const;

    Core::Threading::CompletionOwner m_telling;
    Core::String m_className;
    std::vector<Machine> m_machines;
    // Per merged row: the index of its machine and its instance's path.
    std::vector<std::pair<size_t, Core::String>> m_rowSources;
    WMI::ManagementObject m_merged;
    bool m_stopRequested = false;
};

} // namespace Quarrow
