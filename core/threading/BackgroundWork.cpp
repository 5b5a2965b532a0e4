#include "core/threading/BackgroundWork.h"

#include "core/Exception.h"
#include "core/io/SystemError.h"
#include "core/platform/windows/Com.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <windows.h>

namespace Core::Threading
{

namespace
{

// The workers running now; the condition tells WaitForAll of each end, so nobody polls.
std::atomic<int> runningWorkers{0};
std::mutex& WorkersLock()
{
    static std::mutex lock;
    return lock;
}
std::condition_variable& WorkerEnded()
{
    static std::condition_variable ended;
    return ended;
}

void CountWorkerEnd()
{
    {
        std::lock_guard<std::mutex> guard(WorkersLock());
        runningWorkers--;
    }
    WorkerEnded().notify_all();
}

// The worker's own copy of its work: freed by the worker, in its apartment, once the work has run.
struct WorkerBody
{
    std::function<void()> work;
};

unsigned long __stdcall RunWorker(void* parameter)
{
    {
        Platform::Windows::ComApartmentScope apartment;
        std::unique_ptr<WorkerBody> body(static_cast<WorkerBody*>(parameter));
        try
        {
            body->work();
        }
        catch (...)
        {
            // Nothing may leave a thread; work that has something to report keeps it itself.
        }
    }
    CountWorkerEnd();
    return 0;
}

} // namespace

BackgroundWork::BackgroundWork(std::function<void()> work)
{
    auto body = std::make_unique<WorkerBody>();
    body->work = std::move(work);
    runningWorkers++;
    m_handle = CreateThread(nullptr, 0, RunWorker, body.get(), 0, nullptr);
    if (m_handle == nullptr)
    {
        CountWorkerEnd();
        throw Exception(String(L"Failed to create thread (") + IO::GetLastErrorText() + L")");
    }
    body.release(); // the worker's now
}

BackgroundWork::~BackgroundWork()
{
    CloseHandle(m_handle);
}

bool BackgroundWork::HasEnded() const
{
    return WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0;
}

bool BackgroundWork::Join(uint32_t timeoutMilliseconds) const
{
    return WaitForSingleObject(m_handle, timeoutMilliseconds) == WAIT_OBJECT_0;
}

int BackgroundWork::GetRunningCount()
{
    return runningWorkers;
}

bool BackgroundWork::WaitForAll(uint32_t timeoutMilliseconds)
{
    std::unique_lock<std::mutex> guard(WorkersLock());
    auto none = [] { return runningWorkers.load() <= 0; };
    if (timeoutMilliseconds == InfiniteTimeout)
    {
        WorkerEnded().wait(guard, none);
        return true;
    }
    return WorkerEnded().wait_for(guard, std::chrono::milliseconds(timeoutMilliseconds), none);
}

} // namespace Core::Threading
