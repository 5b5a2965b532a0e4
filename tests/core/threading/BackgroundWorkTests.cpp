#include "core/threading/BackgroundWork.h"

#include "core/Exception.h"
#include "tests/support/AllocationCounter.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <objbase.h>
#include <windows.h>

using namespace Core;
using namespace Core::Threading;

namespace
{

// Runs an action from a timer of this thread: inside whatever wait pumps messages then.
std::function<void()> timerAction;

void After(UINT milliseconds, std::function<void()> action)
{
    timerAction = std::move(action);
    SetTimer(nullptr, 0, milliseconds,
             [](HWND, UINT, UINT_PTR id, DWORD)
             {
                 KillTimer(nullptr, id);
                 std::function<void()> run = std::move(timerAction);
                 timerAction = nullptr;
                 run();
             });
}

// Sets its flag when destroyed, and tells on which thread.
struct Witness
{
    Witness(std::atomic<bool>* destroyedFlag, std::atomic<DWORD>* threadId) : destroyed(destroyedFlag), thread(threadId)
    {
    }
    Witness(const Witness&) = delete;
    Witness& operator=(const Witness&) = delete;
    std::atomic<bool>* destroyed;
    std::atomic<DWORD>* thread;
    ~Witness()
    {
        *thread = GetCurrentThreadId();
        *destroyed = true;
    }
};

bool TakeQuit()
{
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

} // namespace

TEST(RunWhilePumping, HandsBackTheResultOfTheWorkerWhileTimersAndMessagesGoOn)
{
    DWORD caller = GetCurrentThreadId();
    bool pumped = false;
    After(10, [&] { pumped = true; });
    std::optional<DWORD> worker = RunWhilePumping<DWORD>(
        [&]
        {
            Sleep(150);
            return GetCurrentThreadId();
        });
    ASSERT_TRUE(worker.has_value());
    EXPECT_NE(caller, *worker);
    EXPECT_TRUE(pumped) << "the caller's timer did not run during the wait";
}

TEST(RunWhilePumping, TheWorkersExceptionIsThrownToTheCaller)
{
    try
    {
        RunWhilePumping<int>([]() -> int { throw InvalidOperationException(String(L"provider says no")); });
        FAIL() << "no exception";
    }
    catch (const InvalidOperationException& exception)
    {
        EXPECT_EQ(String(L"provider says no"), exception.GetMessageText());
    }
    EXPECT_THROW(RunWhilePumping([] { throw Exception(String(L"void call")); }), Exception);
}

TEST(RunWhilePumping, AVoidCallTellsWhetherItEnded)
{
    std::atomic<int> runs{0};
    EXPECT_TRUE(RunWhilePumping([&] { runs++; }));
    EXPECT_EQ(1, runs.load());
    PostQuitMessage(0);
    EXPECT_FALSE(RunWhilePumping([] { Sleep(50); }));
    EXPECT_TRUE(TakeQuit());
    EXPECT_TRUE(BackgroundWork::WaitForAll(5000));
}

// The program ends while a provider keeps the worker: the wait gives up at once, the quit message stays for the
// main loop, and the worker frees its work on its own thread when it ends.
TEST(RunWhilePumping, AQuitCutsTheWaitShortAndTheWorkerFreesItsWorkAlone)
{
    std::atomic<bool> destroyed{false};
    std::atomic<DWORD> destroyedOn{0};
    std::atomic<bool> release{false};
    int64_t leaked = Testing::LeakedBy(
        [&]
        {
            auto witness = std::make_shared<Witness>(&destroyed, &destroyedOn);
            PostQuitMessage(0);
            DWORD start = GetTickCount();
            std::optional<int> result = RunWhilePumping<int>(
                [witness, &release]
                {
                    while (!release)
                    {
                        Sleep(5);
                    }
                    return 1;
                });
            witness.reset();
            EXPECT_FALSE(result.has_value());
            EXPECT_LT(GetTickCount() - start, 1000u);
            EXPECT_FALSE(destroyed) << "the work went before its worker ended";
            EXPECT_EQ(1, BackgroundWork::GetRunningCount());
            release = true;
            EXPECT_TRUE(BackgroundWork::WaitForAll(5000));
        });
    EXPECT_EQ(0, leaked);
    EXPECT_TRUE(destroyed);
    EXPECT_NE(GetCurrentThreadId(), destroyedOn.load());
    EXPECT_TRUE(TakeQuit());
}

// A second caller that needs the same answer while the first waits joins the running call: one call, two results.
TEST(BackgroundCall, TwoWaitersShareOneCall)
{
    std::atomic<int> calls{0};
    auto call = std::make_shared<BackgroundCall<int>>(
        [&]
        {
            calls++;
            Sleep(200);
            return 42;
        });
    int nestedResult = 0;
    After(20,
          [&]
          {
              EXPECT_FALSE(call->HasEnded());
              ASSERT_TRUE(call->WaitWhilePumping());
              nestedResult = call->GetResult();
          });
    ASSERT_TRUE(call->WaitWhilePumping());
    EXPECT_EQ(42, call->GetResult());
    EXPECT_EQ(42, nestedResult);
    EXPECT_EQ(1, calls.load());
    EXPECT_TRUE(call->WaitWhilePumping()) << "an ended call is waited for at once";
}

// Letting a BackgroundWork go never cuts its work short.
TEST(BackgroundWork, DestroyingTheHandleLetsTheWorkFinish)
{
    std::atomic<bool> finished{false};
    {
        BackgroundWork work(
            [&]
            {
                Sleep(100);
                finished = true;
            });
        EXPECT_FALSE(work.HasEnded());
        EXPECT_FALSE(work.Join(0));
    }
    EXPECT_TRUE(BackgroundWork::WaitForAll(5000));
    EXPECT_TRUE(finished);
    EXPECT_EQ(0, BackgroundWork::GetRunningCount());
}

// The worker belongs to the process's multithreaded apartment, so COM calls can be made from it.
TEST(BackgroundWork, TheWorkerIsInTheMultithreadedApartment)
{
    std::optional<HRESULT> joined = RunWhilePumping<HRESULT>(
        []
        {
            HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            if (SUCCEEDED(again))
            {
                CoUninitialize();
            }
            return again;
        });
    ASSERT_TRUE(joined.has_value());
    EXPECT_EQ(S_FALSE, *joined) << "S_FALSE: the thread had joined the apartment already";
}
