#include "core/threading/SynchronizationEvent.h"

#include "core/Exception.h"
#include "core/io/SystemError.h"
#include "core/threading/Thread.h"

#include <windows.h>

namespace Core::Threading
{

SynchronizationEvent::SynchronizationEvent(const String& name, bool manualReset, bool initiallySignalled) : m_name(name)
{
    SetHandle(CreateEventW(nullptr, manualReset, initiallySignalled, name.IsEmpty() ? nullptr : name.GetBuffer()));
}

void SynchronizationEvent::Set()
{
    if (!SetEvent(GetHandle()))
    {
        throw Exception(String(L"Failed to set event: ") + IO::GetLastErrorText());
    }
}

void SynchronizationEvent::Reset()
{
    if (!ResetEvent(GetHandle()))
    {
        throw Exception(String(L"Failed to reset event: ") + IO::GetLastErrorText());
    }
}

int SynchronizationEvent::Wait(int timeoutMilliseconds)
{
    int result = NotSignalled;
    Wait(timeoutMilliseconds, result);
    return result;
}

void SynchronizationEvent::Wait(int timeoutMilliseconds, int& result)
{
    result = WaitWithMessagePumping(GetHandle(), timeoutMilliseconds);
}

namespace
{

// Dispatches every queued message (sent ones included); false when a quit or application-end message was met,
// which is left for the caller's own message loop.
bool DispatchQueuedMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (message.message == WM_QUIT || (message.message == ApplicationEndMessage && message.hwnd == nullptr))
        {
            PostMessageW(message.hwnd, message.message, message.wParam, message.lParam);
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

} // namespace

int WaitWithMessagePumping(void* handle, int timeoutMilliseconds)
{
    const DWORD timeout = static_cast<DWORD>(timeoutMilliseconds);
    const ULONGLONG start = GetTickCount64();
    // Key, mouse, posted, timer, paint, sent and hot-key input.
    const DWORD wakeMask = 0xFF;
    // What is queued goes first: a handle signalled again and again (a worker's batches) would otherwise win
    // every wait, and the window would not answer until it stops.
    if (!DispatchQueuedMessages())
    {
        return SynchronizationEvent::NotSignalled;
    }
    for (;;)
    {
        DWORD remaining = INFINITE;
        if (timeout != INFINITE)
        {
            // Time spent dispatching counts against the time-out.
            ULONGLONG elapsed = GetTickCount64() - start;
            remaining = elapsed >= timeout ? 0 : static_cast<DWORD>(timeout - elapsed);
        }
        // MWMO_INPUTAVAILABLE: also wake for messages that were queued before the wait began.
        DWORD outcome = MsgWaitForMultipleObjectsEx(1, &handle, remaining, wakeMask, MWMO_INPUTAVAILABLE);
        if (outcome == WAIT_OBJECT_0)
        {
            return SynchronizationEvent::Signalled;
        }
        if (outcome != WAIT_OBJECT_0 + 1 || !DispatchQueuedMessages())
        {
            return SynchronizationEvent::NotSignalled;
        }
    }
}

String SynchronizationEvent::ToString() const
{
    String text(L"SynchronizationEvent: handle ");
    text += static_cast<long long>(reinterpret_cast<intptr_t>(GetHandle()));
    return text;
}

} // namespace Core::Threading
