#include "core/threading/Completion.h"

#include "core/Exception.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <windows.h>

using namespace Core;
using namespace Core::Threading;

namespace
{

// Runs this thread's own loop, one message at a time, until done says so. No nested wait is involved: the
// completions must come through the loop itself.
template <typename Done> void RunLoopUntil(Done done)
{
    MSG message;
    while (!done() && GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Handles every message already queued; after a worker has ended, what it posted is among them.
void RunQueued()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        DispatchMessageW(&message);
    }
}

} // namespace

TEST(Completion, TheResultComesBackOnTheStartingThreadThroughItsOwnLoop)
{
    CompletionOwner owner;
    DWORD workerThread = 0;
    DWORD completionThread = 0;
    int result = 0;
    bool done = false;
    RunInBackground<int>(
        owner,
        [&]
        {
            workerThread = GetCurrentThreadId();
            return 42;
        },
        [&](Outcome<int>& outcome)
        {
            completionThread = GetCurrentThreadId();
            EXPECT_FALSE(outcome.Failed());
            result = outcome.Get();
            done = true;
        });
    EXPECT_FALSE(done) << "nothing is handed back before the loop runs";
    RunLoopUntil([&] { return done; });
    EXPECT_EQ(42, result);
    EXPECT_EQ(GetCurrentThreadId(), completionThread);
    EXPECT_NE(GetCurrentThreadId(), workerThread);
    EXPECT_TRUE(BackgroundWork::WaitForAll(InfiniteTimeout));
}

TEST(Completion, AnExceptionIsHandedBackAndThrownAgainByGet)
{
    CompletionOwner owner;
    bool done = false;
    String message;
    RunInBackground<int>(
        owner, []() -> int { throw InvalidOperationException(String(L"no answer")); },
        [&](Outcome<int>& outcome)
        {
            EXPECT_TRUE(outcome.Failed());
            try
            {
                outcome.Get();
            }
            catch (const InvalidOperationException& exception)
            {
                message = exception.GetMessageText();
            }
            done = true;
        });
    RunLoopUntil([&] { return done; });
    EXPECT_EQ(String(L"no answer"), message);
    EXPECT_TRUE(BackgroundWork::WaitForAll(InfiniteTimeout));
}

// The work of an owner that is gone still runs to its end, but its completion is dropped by the facility.
TEST(Completion, ACompletionWhoseOwnerIsGoneIsNotCalled)
{
    std::atomic<bool> worked{false};
    bool called = false;
    {
        CompletionOwner owner;
        RunInBackground<int>(
            owner,
            [&]
            {
                worked = true;
                return 1;
            },
            [&](Outcome<int>&) { called = true; });
    }
    ASSERT_TRUE(BackgroundWork::WaitForAll(InfiniteTimeout));
    RunQueued();
    EXPECT_TRUE(worked);
    EXPECT_FALSE(called);
}

// Reset drops what was posted before it, and only that: work started afterwards completes.
TEST(Completion, ResetDropsTheCompletionsStartedBeforeIt)
{
    CompletionOwner owner;
    std::vector<int> completed;
    RunInBackground<int>(owner, [] { return 1; }, [&](Outcome<int>& outcome) { completed.push_back(outcome.Get()); });
    owner.Reset();
    RunInBackground<int>(owner, [] { return 2; }, [&](Outcome<int>& outcome) { completed.push_back(outcome.Get()); });
    RunLoopUntil([&] { return !completed.empty(); });
    ASSERT_TRUE(BackgroundWork::WaitForAll(InfiniteTimeout));
    RunQueued();
    ASSERT_EQ(1u, completed.size());
    EXPECT_EQ(2, completed[0]);
}

// A completion that throws cannot pass its exception through the system's frames: the failure handler takes it.
TEST(Completion, AThrowingCompletionGoesToTheFailureHandler)
{
    static std::exception_ptr caught;
    caught = nullptr;
    WindowThread::SetFailureHandler([](std::exception_ptr failure) { caught = failure; });
    CompletionOwner owner;
    RunInBackground<int>(
        owner, [] { return 0; }, [](Outcome<int>&) { throw InvalidOperationException(String(L"in completion")); });
    RunLoopUntil([&] { return caught != nullptr; });
    WindowThread::SetFailureHandler(nullptr);
    EXPECT_THROW(std::rethrow_exception(caught), InvalidOperationException);
    caught = nullptr;
    EXPECT_TRUE(BackgroundWork::WaitForAll(InfiniteTimeout));
}

// A call sent from another thread runs on the window thread, inside whatever loop pumps it, and the sender gets
// its answer; a thread that takes no calls refuses at once.
TEST(Completion, SendRunsTheCallOnTheWindowThreadAndWaitsForIt)
{
    WindowThread::Accept();
    DWORD windowThread = GetCurrentThreadId();
    DWORD ranOn = 0;
    std::atomic<bool> answered{false};
    std::atomic<bool> sent{false};
    bool refused = false;
    std::thread sender(
        [&]
        {
            sent = WindowThread::Send(windowThread, [&] { ranOn = GetCurrentThreadId(); }, 60000);
            // This thread never accepted calls.
            refused = !WindowThread::Post(GetCurrentThreadId(), [] {});
            answered = true;
            // Wakes the loop: a sent message is handled inside GetMessage, which then waits on.
            PostThreadMessageW(windowThread, WM_NULL, 0, 0);
        });
    RunLoopUntil([&] { return answered.load(); });
    sender.join();
    RunQueued();
    EXPECT_TRUE(sent);
    EXPECT_EQ(windowThread, ranOn);
    EXPECT_TRUE(refused);
}
