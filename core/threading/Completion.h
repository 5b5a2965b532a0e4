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
    // What a posted call that throws hands its exception to (the application keeps it for its loop); without
    // one, the exception is dropped.
    static void SetFailureHandler(void (*handler)(std::exception_ptr));
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
    std::weak_ptr<const void> GetToken() const { return m_token; }

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
    WindowThread::Accept();
    unsigned long thread = CurrentThreadId();
    std::weak_ptr<const void> token = owner.GetToken();
    BackgroundWork worker(
        [thread, token, work = std::move(work), completion = std::move(completion)]() mutable
        {
            auto outcome = std::make_shared<Outcome<Result>>();
            outcome->Run(work);
            work = nullptr; // what the work captured goes on the worker, before the completion runs
            WindowThread::Post(thread,
                               [token, outcome, completion = std::move(completion)]
                               {
                                   if (!token.expired())
                                   {
                                       completion(*outcome);
                                   }
                               });
        });
}

} // namespace Core::Threading
