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
