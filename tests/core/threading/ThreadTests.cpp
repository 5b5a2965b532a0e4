#include "core/Exception.h"
#include "core/threading/Thread.h"

#include "core/threading/SynchronizationEvent.h"
#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <gtest/gtest.h>
#include <windows.h>

using namespace Core;
using namespace Core::Threading;

namespace
{

// Work for a test thread: records what CurrentThread returned on it, and can block on an event.
class Probe
{
public:
    void Record()
    {
        seen = Thread::CurrentThread();
        seenId = GetCurrentThreadId();
    }
    void Block() { WaitForSingleObject(release, INFINITE); }

    Thread* seen = nullptr;
    DWORD seenId = 0;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Probe() { CloseHandle(release); }
};

} // namespace

TEST(Thread, CurrentThreadIsOneObjectPerThread)
{
    Thread* first = Thread::CurrentThread();
    EXPECT_EQ(first, Thread::CurrentThread());
    EXPECT_TRUE(first->IsAttached());
    EXPECT_EQ(GetCurrentThreadId(), first->GetId());

    // A plain Win32 thread gets an attached object of its own.
    struct Context
    {
        Thread* seen;
    } context{nullptr};
    HANDLE plain = CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD
        {
            static_cast<Context*>(parameter)->seen = Thread::CurrentThread();
            return 0;
        },
        &context, 0, nullptr);
    WaitForSingleObject(plain, INFINITE);
    CloseHandle(plain);
    ASSERT_NE(nullptr, context.seen);
    EXPECT_NE(first, context.seen);
    EXPECT_TRUE(context.seen->IsAttached());
    delete context.seen;
}

TEST(Thread, AStartedThreadIsRegisteredBeforeItRuns)
{
    Probe probe;
    ThreadStart start(&probe, &Probe::Record);
    uint32_t id;
    {
        Thread thread(&start);
        EXPECT_EQ(0xFFFFFFFFu, thread.GetId());
        thread.Start();
        id = thread.GetId();
        EXPECT_EQ(&thread, Thread::Find(id));
        EXPECT_TRUE(thread.Join());
        // Its own CurrentThread on the new thread was this object, not a second attached one.
        EXPECT_EQ(&thread, probe.seen);
        EXPECT_EQ(id, probe.seenId);
        EXPECT_FALSE(thread.IsAlive());
        EXPECT_EQ(&thread, Thread::Find(id)); // an ended thread stays registered until destroyed
    }
    EXPECT_EQ(nullptr, Thread::Find(id));
}

TEST(Thread, ToStringNamesTheThreadAndItsId)
{
    Probe probe;
    ThreadStart start(&probe, &Probe::Record);
    Thread thread(&start);
    thread.Start();
    thread.Join();
    String expected(L"Core::Threading::Thread: ");
    expected += static_cast<unsigned int>(thread.GetId());
    EXPECT_EQ(expected, thread.ToString());
    thread.SetName(String(L"Main Application Thread"));
    EXPECT_EQ(String(L"Main Application Thread: ") + static_cast<int>(thread.GetId()), thread.ToString());
    Thread unstarted(&start);
    EXPECT_EQ(String(L"Core::Threading::Thread: 4294967295"), unstarted.ToString());
}

TEST(Thread, JoinWaitsForTheEnd)
{
    Probe probe;
    ThreadStart start(&probe, &Probe::Block);
    Thread thread(&start);
    thread.Start();
    EXPECT_FALSE(thread.Join(0));
    EXPECT_TRUE(thread.IsAlive());
    SetEvent(probe.release);
    EXPECT_TRUE(thread.Join());
    EXPECT_FALSE(thread.IsAlive());
    EXPECT_THROW(thread.Start(), InvalidOperationException);
}

TEST(Thread, DestroyingARunningThreadStopsItAsALastResort)
{
    Probe probe;
    ThreadStart start(&probe, &Probe::Block);
    HANDLE copy = nullptr;
    {
        Thread thread(&start);
        thread.Start();
        DuplicateHandle(GetCurrentProcess(), thread.GetHandle(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
    }
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(copy, 5000));
    CloseHandle(copy);
}

TEST(Thread, StartingWithoutADelegateIsRefused)
{
    Thread thread(nullptr);
    EXPECT_THROW(thread.Start(), ArgumentNullException);
}
