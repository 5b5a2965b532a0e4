// The one way back to a window thread: work runs on a worker, and its result or its exception is posted to the
// thread that started it and handed to a completion there, by that thread's own message loop, with no nested loop.
#pragma once

#include "core/threading/BackgroundWork.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace Core::Threading
{

// The calling thread's id (kept out of this header's includes).
unsigned long CurrentThreadId();

// Calls carried to a window thread: a message-only window of that thread takes them, so whichever loop pumps its
// messages (its main loop, a modal dialog's, a message box's) runs them.
class WindowThread
{
public:
    // Lets the calling thread take calls from now on (makes its window once). A thread that hands out work whose
    // results come back calls it first; RunInBackground does.
    static void Accept();
    // Runs call on the given thread, from its loop; false when that thread takes no calls (the call is dropped
    // there and then, on the calling thread).
    static bool Post(unsigned long threadId, std::function<void()> call);
    // Runs call on the given thread and returns once it ran there (at once on that thread itself); false when the
    // thread takes no calls or did not run it within the time-out.
    static bool Send(unsigned long threadId, const std::function<void()>& call, uint32_t timeoutMilliseconds);
    // Runs the calls already posted to the calling thread, and only those (a test's end, before it counts what
    // is left allocated: a call whose owner is gone is dropped as it runs).
    static void RunPosted();
    // What a posted call that throws hands its exception to (the application keeps it for its loop); without
    // one, the exception is dropped.
    static void SetFailureHandler(void (*handler)(std::exception_ptr));
};

// Where a worker sends what it has for an owner: the owner's window thread, and whether the owner still wants it.
// A value, copied to any thread.
class CompletionTarget
{
public:
    CompletionTarget(unsigned long thread, std::weak_ptr<const void> token)
        : m_thread(thread), m_token(std::move(token))
    {
    }

    // From any thread: runs call on the owner's thread unless the owner is gone or reset by then.
    void Post(std::function<void()> call) const
    {
        WindowThread::Post(m_thread,
                           [token = m_token, call = std::move(call)]
                           {
                               if (!token.expired())
                               {
                                   call();
                               }
                           });
    }
    // Whether the owner still wants what this target was made for; any thread.
    bool IsWanted() const { return !m_token.expired(); }

private:
    unsigned long m_thread;
    std::weak_ptr<const void> m_token;
};

// What completions belong to. Once it is destroyed, or Reset, the completions still on their way to it are dropped
// by the facility: no caller keeps serials or weak pointers of its own. Window thread only.
class CompletionOwner
{
public:
    CompletionOwner() : m_token(std::make_shared<const int>(0)) {}
    CompletionOwner(const CompletionOwner&) = delete;
    CompletionOwner& operator=(const CompletionOwner&) = delete;

    // Drops every completion posted for this owner so far: the work they end is no longer wanted.
    void Reset() { m_token = std::make_shared<const int>(0); }
    // Where work started now sends its results; the calling thread must be the owner's (window) thread.
    CompletionTarget GetTarget() const
    {
        WindowThread::Accept();
        return CompletionTarget(CurrentThreadId(), m_token);
    }

private:
    std::shared_ptr<const int> m_token;
};

// What a piece of work gave: its result, or the exception it threw.
template <typename Result> class Outcome
{
public:
    bool Failed() const { return m_failure != nullptr; }
    std::exception_ptr GetFailure() const { return m_failure; }
    // The result, or the work's exception thrown again.
    Result& Get()
    {
        if (m_failure)
        {
            std::rethrow_exception(m_failure);
        }
        return *m_result;
    }

    // On the worker.
    void Run(const std::function<Result()>& work)
    {
        try
        {
            m_result.emplace(work());
        }
        catch (...)
        {
            m_failure = std::current_exception();
        }
    }

private:
    std::optional<Result> m_result;
    std::exception_ptr m_failure;
};

// Runs work on a worker of its own and hands its outcome to completion on the calling (window) thread, unless
// owner was destroyed or reset meanwhile. The worker is let go: work that outlives its owner ends by itself on
// what it captured. Throws "Failed to create thread (...)" when no worker can be made.
template <typename Result>
void RunInBackground(const CompletionOwner& owner, std::function<Result()> work,
                     std::function<void(Outcome<Result>&)> completion)
{
    CompletionTarget target = owner.GetTarget();
    BackgroundWork worker(
        [target, work = std::move(work), completion = std::move(completion)]() mutable
        {
            auto outcome = std::make_shared<Outcome<Result>>();
            outcome->Run(work);
            work = nullptr; // what the work captured goes on the worker, before the completion runs
            target.Post([outcome, completion = std::move(completion)] { completion(*outcome); });
        });
}

} // namespace Core::Threading
