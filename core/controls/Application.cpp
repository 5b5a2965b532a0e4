#include "core/controls/Application.h"

#include "core/Exception.h"
#include "core/controls/Form.h"
#include "core/threading/Completion.h"
#include "core/threading/Thread.h"

#include <windows.h>

namespace Core::Controls
{

namespace
{

struct ApplicationState
{
    HINSTANCE instance = nullptr;
    HINSTANCE previousInstance = nullptr;
    int showCommand = SW_SHOWNORMAL;
    Form* mainForm = nullptr; // not owned
    Threading::Thread* mainThread = nullptr;
    std::exception_ptr pendingException;
    String commandLine;
};

ApplicationState state;

// The attached Thread object of the main thread is the registry's; releasing it deletes it.
void ReleaseMainThread()
{
    delete state.mainThread;
    state.mainThread = nullptr;
}

} // namespace

void Application::Init(InstanceHandle instance, InstanceHandle previousInstance, const String& commandLine,
                       int showCommand)
{
    state.instance = instance;
    state.previousInstance = previousInstance;
    state.commandLine = commandLine;
    state.showCommand = showCommand;
    state.mainThread = Threading::Thread::CurrentThread();
    state.mainThread->SetName(String(L"Main Application Thread"));
    // Results of work done off this thread come back through its loop; a completion that throws is reported
    // like any handler's failure.
    Threading::WindowThread::SetFailureHandler(&Application::StorePendingException);
    Threading::WindowThread::Accept();
}

int Application::Run(Form* mainApplicationWindow)
{
    if (mainApplicationWindow == nullptr)
    {
        throw ArgumentNullException(String(L"mainApplicationWindow"),
                                    String(L"Main applicatin window can not be null"));
    }
    state.mainForm = mainApplicationWindow;
    if (!mainApplicationWindow->IsVisible())
    {
        mainApplicationWindow->Show();
    }
    MSG message;
    for (;;)
    {
        BOOL result = GetMessageW(&message, nullptr, 0, 0);
        if (result == 0)
        {
            break;
        }
        if (result == -1)
        {
            ReleaseMainThread();
            PostQuitMessage(-1);
            continue;
        }
        if (message.hwnd == nullptr && message.message == ApplicationEndMessage)
        {
            ReleaseMainThread();
            PostQuitMessage(0);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        ThrowPendingException();
    }
    state.mainForm = nullptr;
    return static_cast<int>(message.wParam);
}

void Application::Exit(int exitCode)
{
    ReleaseMainThread();
    PostQuitMessage(exitCode);
}

InstanceHandle Application::GetInstance()
{
    return state.instance != nullptr ? state.instance : GetModuleHandleW(nullptr);
}

InstanceHandle Application::GetPreviousInstance()
{
    return state.previousInstance;
}

const String& Application::GetCommandLineText()
{
    return state.commandLine;
}

int Application::GetShowCommand()
{
    return state.showCommand;
}

Form* Application::GetMainForm()
{
    return state.mainForm;
}

Threading::Thread* Application::GetMainThread()
{
    return state.mainThread;
}

void Application::StorePendingException(std::exception_ptr exception)
{
    // The first failure is the one to report; later ones are usually its consequences.
    if (!state.pendingException)
    {
        state.pendingException = exception;
    }
}

void Application::ThrowPendingException()
{
    if (state.pendingException)
    {
        std::exception_ptr exception = state.pendingException;
        state.pendingException = nullptr;
        std::rethrow_exception(exception);
    }
}

} // namespace Core::Controls
