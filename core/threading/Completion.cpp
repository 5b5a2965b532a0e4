#include "core/threading/Completion.h"

#include <mutex>
#include <windows.h>

namespace Core::Threading
{

namespace
{

constexpr UINT RunCallMessage = WM_APP + 0x3A2;
constexpr int ThreadLimit = 16;

struct CallWindow
{
    DWORD thread;
    HWND window;
};

// Fixed room, so that nothing of it shows as a heap block that outlives a test.
SRWLOCK g_windowsLock = SRWLOCK_INIT;
CallWindow g_windows[ThreadLimit] = {};
void (*g_failureHandler)(std::exception_ptr) = nullptr;

// A sent call that its sender may give up on: the window thread runs it only while the sender still waits, and a
// sender that gives up waits for a call already running, so the call never touches a sender that has returned.
struct SentCall
{
    const std::function<void()>* call; // the sender's
    std::mutex lock;
    bool abandoned = false;
    bool ran = false;
};

void RunGuarded(const std::function<void()>& call)
{
    try
    {
        call();
    }
    catch (...)
    {
        // Nothing may pass through the system's frames.
        if (g_failureHandler != nullptr)
        {
            g_failureHandler(std::current_exception());
        }
    }
}

LRESULT CALLBACK CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != RunCallMessage)
    {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (wParam != 0)
    {
        // A posted call is the queue's own copy.
        std::unique_ptr<std::function<void()>> posted(reinterpret_cast<std::function<void()>*>(lParam));
        RunGuarded(*posted);
        return 0;
    }
    std::unique_ptr<std::shared_ptr<SentCall>> sent(reinterpret_cast<std::shared_ptr<SentCall>*>(lParam));
    std::lock_guard<std::mutex> guard((*sent)->lock);
    if (!(*sent)->abandoned)
    {
        RunGuarded(*(*sent)->call);
        (*sent)->ran = true;
    }
    return 0;
}

HWND FindWindowOf(DWORD thread)
{
    AcquireSRWLockShared(&g_windowsLock);
    HWND found = nullptr;
    for (const CallWindow& entry : g_windows)
    {
        if (entry.thread == thread && entry.window != nullptr && IsWindow(entry.window))
        {
            found = entry.window;
        }
    }
    ReleaseSRWLockShared(&g_windowsLock);
    return found;
}

} // namespace

unsigned long CurrentThreadId()
{
    return GetCurrentThreadId();
}

void WindowThread::Accept()
{
    DWORD thread = GetCurrentThreadId();
    if (FindWindowOf(thread) != nullptr)
    {
        return;
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CallProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Quarrow.WindowThreadCalls";
    RegisterClassW(&windowClass); // fails harmlessly once registered
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    if (window == nullptr)
    {
        return;
    }
    AcquireSRWLockExclusive(&g_windowsLock);
    for (CallWindow& entry : g_windows)
    {
        // A thread that ended took its window with it: its place is free again.
        if (entry.window == nullptr || !IsWindow(entry.window) || entry.thread == thread)
        {
            entry = CallWindow{thread, window};
            window = nullptr;
            break;
        }
    }
    ReleaseSRWLockExclusive(&g_windowsLock);
    if (window != nullptr)
    {
        DestroyWindow(window); // no room: calls to this thread are then refused
    }
}

bool WindowThread::Post(unsigned long threadId, std::function<void()> call)
{
    HWND window = FindWindowOf(threadId);
    if (window == nullptr)
    {
        return false;
    }
    auto posted = std::make_unique<std::function<void()>>(std::move(call));
    if (!PostMessageW(window, RunCallMessage, 1, reinterpret_cast<LPARAM>(posted.get())))
    {
        return false;
    }
    posted.release(); // the window's procedure frees it once run
    return true;
}

bool WindowThread::Send(unsigned long threadId, const std::function<void()>& call, uint32_t timeoutMilliseconds)
{
    if (threadId == GetCurrentThreadId())
    {
        call();
        return true;
    }
    HWND window = FindWindowOf(threadId);
    if (window == nullptr)
    {
        return false;
    }
    auto sent = std::make_shared<SentCall>();
    sent->call = &call;
    auto message = std::make_unique<std::shared_ptr<SentCall>>(sent);
    DWORD_PTR result = 0;
    SetLastError(0);
    if (SendMessageTimeoutW(window, RunCallMessage, 0, reinterpret_cast<LPARAM>(message.get()), SMTO_NORMAL,
                            timeoutMilliseconds, &result) != 0)
    {
        message.release(); // the procedure freed it
        return sent->ran;
    }
    // Timed out: the message may still be handled later, and then frees what it carries. Otherwise it never
    // arrived, and is freed here.
    if (GetLastError() == ERROR_TIMEOUT)
    {
        message.release();
    }
    std::lock_guard<std::mutex> guard(sent->lock);
    sent->abandoned = true;
    return sent->ran;
}

void WindowThread::RunPosted()
{
    HWND window = FindWindowOf(GetCurrentThreadId());
    MSG message;
    while (window != nullptr && PeekMessageW(&message, window, RunCallMessage, RunCallMessage, PM_REMOVE))
    {
        DispatchMessageW(&message);
    }
}

void WindowThread::SetFailureHandler(void (*handler)(std::exception_ptr))
{
    g_failureHandler = handler;
}

} // namespace Core::Threading
