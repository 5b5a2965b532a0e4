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
    std::atomic<HRESULT> joined{E_FAIL};
    {
        BackgroundWork work(
            [&]
            {
                HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
                if (SUCCEEDED(again))
                {
                    CoUninitialize();
                }
                joined = again;
            });
        ASSERT_TRUE(work.Join());
    }
    EXPECT_EQ(S_FALSE, joined.load()) << "S_FALSE: the thread had joined the apartment already";
}
