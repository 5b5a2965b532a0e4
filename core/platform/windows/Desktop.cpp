#include "core/platform/windows/Desktop.h"

#include <windows.h>

#include <shellapi.h>

namespace Core::Platform::Windows
{

namespace
{

const wchar_t* NullIfEmpty(const String& text)
{
    return text.IsEmpty() ? nullptr : text.GetBuffer();
}

class SystemDesktop : public Desktop
{
public:
    int ShowMessage(void* owner, const String& text, const String& caption, unsigned int style) override
    {
        return MessageBoxW(static_cast<HWND>(owner), text.GetBuffer(), caption.GetBuffer(), style);
    }

    intptr_t Execute(void* owner, const String& operation, const String& file, const String& parameters,
                     const String& directory, int showCommand) override
    {
        HINSTANCE result = ShellExecuteW(static_cast<HWND>(owner), NullIfEmpty(operation), file.GetBuffer(),
                                         NullIfEmpty(parameters), NullIfEmpty(directory), showCommand);
        return reinterpret_cast<intptr_t>(result);
    }
};

SystemDesktop systemDesktop;
Desktop* installed = nullptr; // not owned

} // namespace

Desktop& Desktop::Current()
{
    return installed != nullptr ? *installed : systemDesktop;
}

Desktop* Desktop::Install(Desktop* desktop)
{
    Desktop* previous = installed;
    installed = desktop;
    return previous;
}

} // namespace Core::Platform::Windows
