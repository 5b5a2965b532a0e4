// The process-wide application: the instance handle and start values, the main form, the main thread's
// object, and the message loop that runs until the quit message.
#pragma once

#include "core/String.h"
#include "core/controls/NativeTypes.h"
#include "core/threading/Thread.h"

#include <exception>

namespace Core::Threading
{
class Thread;
}

namespace Core::Controls
{

class Form;

class Application
{
public:
    // The thread message that ends the application; posted when a window of type 2 is destroyed.
    static constexpr unsigned int ApplicationEndMessage = Threading::ApplicationEndMessage;

    // Stores the values and names the calling thread "Main Application Thread".
    static void Init(InstanceHandle instance, InstanceHandle previousInstance, const String& commandLine,
                     int showCommand);
    // Shows the form if it is hidden and runs the message loop until the quit message; returns its code.
    static int Run(Form* mainApplicationWindow);
    // Releases the main-thread object and posts the quit message with the code.
    static void Exit(int exitCode);

    // The instance given to Init, or the program's module.
    static InstanceHandle GetInstance();
    static InstanceHandle GetPreviousInstance();
    static const String& GetCommandLineText();
    static int GetShowCommand();
    static Form* GetMainForm();
    // The main thread's object between Init and Exit, else null.
    static Threading::Thread* GetMainThread();

    // A handler that throws while the system dispatches a message cannot let the exception pass through
    // the system's frames; the window procedure keeps it here and the message loops throw it again.
    static void StorePendingException(std::exception_ptr exception);
    static void ThrowPendingException();
};

} // namespace Core::Controls
