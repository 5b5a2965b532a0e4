#include "core/io/SystemError.h"

#include <windows.h>

namespace Core::IO
{

String GetLastErrorText()
{
    return GetErrorText(GetLastError());
}

String GetErrorText(unsigned long errorCode)
{
    wchar_t* text = nullptr;
    // Inserts are ignored: system messages with %1 placeholders would otherwise fail to format.
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode,
        MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    String result;
    if (length > 0 && text != nullptr)
    {
        while (length > 0 && (text[length - 1] == L'\n' || text[length - 1] == L'\r' || text[length - 1] == L' '))
        {
            length--;
        }
        result = String(text, static_cast<int>(length));
    }
    else
    {
        result = String(L"Unknown system error ");
        result += static_cast<unsigned int>(errorCode);
    }
    if (text != nullptr)
    {
        LocalFree(text);
    }
    return result;
}

} // namespace Core::IO
