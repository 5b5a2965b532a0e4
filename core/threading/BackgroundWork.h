// Work off the user-interface thread: a worker that shares the lifetime of its work, and a call that runs on such
// a worker while the caller's windows go on answering, handing back the result or the exception.
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

// A call run on a BackgroundWork whose end can be awaited by several callers while their windows go on: two
// requests for the same slow answer share one call instead of asking twice.
template <typename Result> class BackgroundCall
{
public:
    explicit BackgroundCall(std::function<Result()> call) : m_state(std::make_shared<State>(std::move(call)))
    {
        std::shared_ptr<State> state = m_state;
        m_worker = std::make_unique<BackgroundWork>(
            [state]
            {
                try
                {
                    state->result.emplace(state->call());
                }
                catch (...)
                {
                    state->failure = std::current_exception();
                }
                state->ended = true;
            });
    }

    // Waits with the message-pumping wait: true when the call has ended, false when a quit or application-end
    // message cut the wait short (the message stays queued, the call goes on by itself).
    bool WaitWhilePumping() const
    {
        return m_state->ended || WaitWithMessagePumping(m_worker->GetHandle(), -1) == 0;
    }
    bool HasEnded() const { return m_state->ended; }
    // After the end: the call's result, or its exception thrown again.
    const Result& GetResult() const
    {
        ThrowFailure();
        return *m_state->result;
    }
    // The same, moving the result out.
    Result TakeResult()
    {
        ThrowFailure();
        return std::move(*m_state->result);
    }

private:
    void ThrowFailure() const
    {
        if (m_state->failure)
        {
            std::rethrow_exception(m_state->failure);
        }
    }

    // Shared with the worker, which may outlive this object.
    struct State
    {
        explicit State(std::function<Result()> work) : call(std::move(work)) {}
        std::function<Result()> call;
        std::optional<Result> result;
        std::exception_ptr failure;
        std::atomic<bool> ended{false};
    };
    std::shared_ptr<State> m_state;
    std::unique_ptr<BackgroundWork> m_worker;
};

// Runs call on a worker and waits for it with the message-pumping wait, so the windows keep painting and
// answering; returns its result, or throws its exception. Empty when a quit or application-end message cut the
// wait short: the caller unwinds, the message stays for the main loop, and the worker finishes by itself.
template <typename Result> std::optional<Result> RunWhilePumping(std::function<Result()> call)
{
    BackgroundCall<Result> running(std::move(call));
    if (!running.WaitWhilePumping())
    {
        return std::nullopt;
    }
    return running.TakeResult();
}

// The same for a call without a result: false when the wait was cut short.
bool RunWhilePumping(std::function<void()> call);

} // namespace Core::Threading
