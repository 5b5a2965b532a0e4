#include "core/Exception.h"
#include "core/threading/SynchronizationEvent.h"

#include "core/threading/CriticalSection.h"
#include "core/threading/Thread.h"
#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <vector>
#include <windows.h>

using namespace Core;
using namespace Core::Threading;

namespace
{

const UINT TestMessage = WM_APP + 7;

// A message-only window on the test's thread that counts the messages dispatched to it.
class CountingWindow
{
public:
    CountingWindow()
    {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"Quarrow.Tests.CountingWindow";
        RegisterClassW(&windowClass);
        handle = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 windowClass.hInstance, nullptr);
        SetWindowLongPtrW(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CountingWindow() { DestroyWindow(handle); }

    HWND handle;
    std::atomic<int> dispatched{0};
    HANDLE acknowledge = nullptr; // set when a TestMessage is dispatched, if given

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<CountingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self != nullptr && (message == TestMessage || message == ApplicationEndMessage))
        {
            self->dispatched++;
            if (self->acknowledge != nullptr)
            {
                SetEvent(self->acknowledge);
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

// Runs body on a Core thread and joins it at the end of the scope.
class Worker
{
public:
    template <typename Body> explicit Worker(Body body) : m_body(body), m_start(this, &Worker::Run), m_thread(&m_start)
    {
        m_thread.Start();
    }
    ~Worker() { m_thread.Join(); }

private:
    void Run() { m_body(); }

    std::function<void()> m_body;
    ThreadStart m_start;
    Thread m_thread;
};

void DrainQueue()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
    }
}

} // namespace

// --- the event itself ---

TEST(SynchronizationEvent, ManualResetStaysSignalledUntilReset)
{
    SynchronizationEvent event(String(), true, false);
    EXPECT_EQ(SynchronizationEvent::NotSignalled, event.Wait(0));
    event.Set();
    EXPECT_EQ(SynchronizationEvent::Signalled, event.Wait(0));
    EXPECT_EQ(SynchronizationEvent::Signalled, event.Wait(-1));
    event.Reset();
    int result = -5;
    event.Wait(0, result);
    EXPECT_EQ(128, result);
}

TEST(SynchronizationEvent, AutoResetAndInitiallySignalled)
{
    SynchronizationEvent event(String(), false, true);
    EXPECT_EQ(0, event.Wait(0));
    EXPECT_EQ(128, event.Wait(0));
}

TEST(SynchronizationEvent, EqualNamesShareOneEvent)
{
    String name(L"QuarrowTest_Shared_");
    name += static_cast<unsigned int>(GetCurrentProcessId());
    SynchronizationEvent first(name, true, false);
    SynchronizationEvent second(name, true, false);
    first.Set();
    EXPECT_EQ(0, second.Wait(0));
    EXPECT_EQ(name, second.GetName());
}

TEST(SynchronizationEvent, ToStringShowsTheHandle)
{
    SynchronizationEvent event(String(), true, false);
    String expected(L"SynchronizationEvent: handle ");
    expected += static_cast<long long>(reinterpret_cast<intptr_t>(event.GetHandle()));
    EXPECT_EQ(expected, event.ToString());
}

TEST(SynchronizationEvent, SetAndResetOfAFailedEventReportTheSystemError)
{
    // A mutex already holds the name, so no event can be created under it.
    String name(L"QuarrowTest_Taken_");
    name += static_cast<unsigned int>(GetCurrentProcessId());
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name.GetBuffer());
    SynchronizationEvent event(name, true, false);
    EXPECT_EQ(nullptr, event.GetHandle());
    try
    {
        event.Set();
        FAIL() << "no exception";
    }
    catch (const Exception& e)
    {
        String message = e.GetMessageText();
        EXPECT_EQ(0, message.IndexOf(L"Failed to set event: "));
        EXPECT_GT(message.GetLength(), 21);
    }
    try
    {
        event.Reset();
        FAIL() << "no exception";
    }
    catch (const Exception& e)
    {
        EXPECT_EQ(0, e.GetMessageText().IndexOf(L"Failed to reset event: "));
    }
    CloseHandle(mutex);
}

// --- the message-pumping wait ---

TEST(SynchronizationEventWait, TimeOutZeroReturnsAtOnceWithoutInput)
{
    DrainQueue();
    SynchronizationEvent event(String(), true, false);
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(128, event.Wait(0));
    EXPECT_LT(GetTickCount64() - start, 1000u);
}

TEST(SynchronizationEventWait, WindowMessagesAreDispatchedWhileWaiting)
{
    DrainQueue();
    CountingWindow window;
    window.acknowledge = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SynchronizationEvent done(String(), true, false);
    int result = -1;
    {
        // The worker sets the awaited event only after the waiting thread has dispatched its messages.
        Worker worker(
            [&]
            {
                for (int i = 0; i < 3; i++)
                {
                    PostMessageW(window.handle, TestMessage, 0, 0);
                    WaitForSingleObject(window.acknowledge, INFINITE);
                }
                done.Set();
            });
        done.Wait(-1, result);
    }
    EXPECT_EQ(0, result);
    EXPECT_EQ(3, window.dispatched.load());
    CloseHandle(window.acknowledge);
}

TEST(SynchronizationEventWait, SentMessagesFromAnotherThreadAreHandled)
{
    DrainQueue();
    CountingWindow window;
    SynchronizationEvent done(String(), true, false);
    {
        Worker worker(
            [&]
            {
                SendMessageW(window.handle, TestMessage, 0, 0); // returns only once the waiting thread handled it
                done.Set();
            });
        EXPECT_EQ(0, done.Wait(-1));
    }
    EXPECT_EQ(1, window.dispatched.load());
}

// A worker's signals can come faster than the waiting thread handles them. Messages queued meanwhile must still be
// handled at every wait, or the window would not answer until the signals stop.
TEST(SynchronizationEventWait, AnEventSignalledAgainAndAgainDoesNotStarveTheMessages)
{
    DrainQueue();
    CountingWindow window;
    SynchronizationEvent ready(String(), true, true); // signalled before every wait, as by a fast worker
    for (int round = 0; round < 5; round++)
    {
        PostMessageW(window.handle, TestMessage, 0, 0);
        EXPECT_EQ(0, ready.Wait(-1));
        EXPECT_EQ(round + 1, window.dispatched.load()) << "the message waited for the signals to stop";
    }
}

TEST(SynchronizationEventWait, QuitMessageEndsTheWaitAndStaysQueued)
{
    DrainQueue();
    SynchronizationEvent never(String(), true, false);
    DWORD waitingThread = GetCurrentThreadId();
    int result;
    {
        Worker worker([&] { PostThreadMessageW(waitingThread, WM_QUIT, 42, 0); });
        never.Wait(-1, result);
    }
    EXPECT_EQ(128, result);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), message.message);
    EXPECT_EQ(42u, message.wParam);
}

TEST(SynchronizationEventWait, ApplicationEndMessageEndsTheWaitAndStaysQueued)
{
    DrainQueue();
    CountingWindow window;
    SynchronizationEvent never(String(), true, false);
    // Queued before the wait starts: the wait must still notice it.
    PostMessageW(window.handle, ApplicationEndMessage, 0, 0); // a window message of that number is dispatched
    PostThreadMessageW(GetCurrentThreadId(), ApplicationEndMessage, 7, 0);
    EXPECT_EQ(128, never.Wait(-1));
    EXPECT_EQ(1, window.dispatched.load());
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(ApplicationEndMessage, message.message);
    EXPECT_EQ(nullptr, message.hwnd);
    EXPECT_EQ(7u, message.wParam);
}

TEST(SynchronizationEventWait, TimeOutCountsTimeSpentDispatching)
{
    DrainQueue();
    CountingWindow window;
    SynchronizationEvent never(String(), true, false);
    std::atomic<bool> stop{false};
    ULONGLONG start = GetTickCount64();
    {
        // A steady stream of messages must not keep extending a finite wait.
        Worker worker(
            [&]
            {
                while (!stop)
                {
                    PostMessageW(window.handle, TestMessage, 0, 0);
                    Sleep(5);
                }
            });
        EXPECT_EQ(128, never.Wait(200));
        stop = true;
    }
    EXPECT_LT(GetTickCount64() - start, 3000u);
    EXPECT_GT(window.dispatched.load(), 0);
    DrainQueue();
}

// --- stress ---

TEST(SynchronizationEventStress, ManyShortLivedWorkersSignalThePumpingWait)
{
    DrainQueue();
    CountingWindow window;
    const int rounds = 150;
    const int workersPerRound = 6;
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    int64_t leaked = Testing::LeakedBy(
        [&]
        {
            SynchronizationEvent allDone(String(), true, false);
            std::atomic<int> finished{0};
            for (int round = 0; round < rounds; round++)
            {
                allDone.Reset();
                finished = 0;
                std::vector<std::unique_ptr<Worker>> workers;
                for (int i = 0; i < workersPerRound; i++)
                {
                    workers.push_back(std::make_unique<Worker>(
                        [&]
                        {
                            PostMessageW(window.handle, TestMessage, 0, 0);
                            if (++finished == workersPerRound)
                            {
                                allDone.Set();
                            }
                        }));
                }
                // A lost signal or a deadlock shows as a time-out here instead of a hung test.
                ASSERT_EQ(0, allDone.Wait(20000)) << "round " << round;
                workers.clear(); // joins and destroys every worker
            }
        });
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        DispatchMessageW(&message);
    }
    EXPECT_EQ(rounds * workersPerRound, window.dispatched.load());
    EXPECT_EQ(0, leaked);
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 2);
}

TEST(CriticalSection, GuardsConcurrentUpdates)
{
    CriticalSection section;
    long long total = 0;
    {
        std::vector<std::unique_ptr<Worker>> workers;
        for (int i = 0; i < 4; i++)
        {
            workers.push_back(std::make_unique<Worker>(
                [&]
                {
                    for (int n = 0; n < 20000; n++)
                    {
                        CriticalSectionLock guard(section);
                        total += 1;
                    }
                }));
        }
    }
    EXPECT_EQ(80000, total);
}

TEST(CriticalSection, KnowsWhetherTheCallingThreadHoldsIt)
{
    CriticalSection section;
    bool heldElsewhere = true;
    EXPECT_FALSE(section.IsHeldByCurrentThread());
    section.Enter();
    ASSERT_TRUE(section.TryEnter()); // entered twice: held until left twice
    {
        Worker other([&] { heldElsewhere = section.IsHeldByCurrentThread(); });
    }
    EXPECT_FALSE(heldElsewhere);
    section.Leave();
    EXPECT_TRUE(section.IsHeldByCurrentThread());
    section.Leave();
    EXPECT_FALSE(section.IsHeldByCurrentThread());
}
