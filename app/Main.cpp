// Quarrow's entry point: COM for the process, the toolkit's application, the main window and its message loop.
#include "app/MainForm.h"
#include "core/Exception.h"
#include "core/controls/Application.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/Desktop.h"

#include <new>
#include <objbase.h>
#include <windows.h>

namespace
{

void ShowFatalError(const Core::String& text)
{
    Core::Platform::Windows::Desktop::Current().ShowMessage(nullptr, text, Core::String(L"Error"),
                                                            MB_OK | MB_ICONERROR);
}

// Builds, runs and destroys the main window. An exception that leaves the message loop is shown, and the program
// ends in order: the window is destroyed (its options saved) before COM goes.
void RunApplication(HINSTANCE instance, HINSTANCE previous, const Core::String& commandLine, int show)
{
    using Core::Controls::Application;
    Application::Init(instance, previous, commandLine, show);
    Quarrow::MainForm form;
    form.SetText(Core::String(L"Quarrow"));
    form.SetBounds(0, 0, 800, 600);
    form.SetStartPosition(Core::Controls::StartPosition::CenterScreen);
    try
    {
        Application::Run(&form);
    }
    catch (const Core::Exception& exception)
    {
        ShowFatalError(exception.GetMessageText());
    }
    catch (const std::bad_alloc&)
    {
        ShowFatalError(Core::String(L"There is not enough memory to go on."));
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    try
    {
        Core::Platform::Windows::InitializeCom();
    }
    catch (const Core::Exception& exception)
    {
        ShowFatalError(exception.GetMessageText());
        return 0;
    }
    try
    {
        Core::Platform::Windows::InitializeComSecurity();
        RunApplication(instance, previous, Core::String(commandLine), show);
    }
    catch (const Core::Exception& exception)
    {
        ShowFatalError(exception.GetMessageText());
    }
    catch (const std::bad_alloc&)
    {
        ShowFatalError(Core::String(L"There is not enough memory to go on."));
    }
    CoUninitialize();
    return 0;
}
