#include "app/UserGuide.h"

#include "core/Exception.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"

#include <vector>
#include <windows.h>

namespace Quarrow
{

using Core::String;

String GetUserGuidePath()
{
    std::vector<wchar_t> module(MAX_PATH);
    // A program below a long path: the buffer grows until the whole name fits.
    while (GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size())) >= module.size())
    {
        module.resize(module.size() * 2);
    }
    String program(module.data());
    int slash = program.GetLength() > 0 ? program.LastIndexOf(L'\\', program.GetLength() - 1, program.GetLength()) : -1;
    return program.Substring(0, slash + 1) + UserGuideFileName;
}

void OpenUserGuide(void* owner)
{
    String path = GetUserGuidePath();
    if (!Core::IO::File::Exists(path))
    {
        throw Core::Exception(String(L"The user guide was not found beside the program:\r\n") + path);
    }
    intptr_t result = Core::Platform::Windows::Desktop::Current().Execute(owner, String(L"open"), path, String(),
                                                                          String(), SW_SHOWNORMAL);
    if (result <= 32)
    {
        throw Core::Exception(String(L"The user guide could not be opened:\r\n") + path + L"\r\n\r\n" +
                              Core::Platform::Windows::GetLaunchFailureText(result));
    }
}

} // namespace Quarrow
