// Work off the user-interface thread: a worker that shares the lifetime of its work. Completion.h hands its
// results back to a window thread.
#pragma once

#include "core/threading/SynchronizationEvent.h"
#include "core/threading/Thread.h"

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace Core::Threading
{

// A worker thread, in the process's multithreaded apartment, that runs one piece of work. The work belongs to the
// worker: whoever started it may wait for its end, or let it go while it still runs (a provider that ignores its
// time-outs cannot be interrupted), and the worker then frees the work when it ends. Nothing here ever
// terminates a thread.
class BackgroundWork
{
public:
    // Starts the work at once; throws "Failed to create thread (...)" when no thread can be made.
    explicit BackgroundWork(std::function<void()> work);
    // Lets a worker that still runs go on by itself.
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // The thread's handle, signalled when the work has ended.
    void* GetHandle() const { return m_handle; }
    bool HasEnded() const;
    // True when the work has ended within the time-out.
    bool Join(uint32_t timeoutMilliseconds = InfiniteTimeout) const;

    // Workers of this kind still running in the process, whether or not anybody still waits for them.
    static int GetRunningCount();
    // Waits, without pumping, until no such worker runs; true when none does within the time-out.
    static bool WaitForAll(uint32_t timeoutMilliseconds);

private:
    void* m_handle = nullptr; // owned thread handle
};

} // namespace Core::Threading
