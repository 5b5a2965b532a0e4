// A function of a system library looked up at run time: for functions older systems (and some Wine versions)
// lack, and for libraries the program maps only when they are first wanted.
#pragma once

#include <windows.h>

namespace Core::Platform::Windows
{

// Pointer: the function pointer type. Null when the library or the function is missing.
template <typename Pointer> Pointer SystemFunction(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr)
    {
        module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Pointer>(reinterpret_cast<void (*)()>(address));
}

} // namespace Core::Platform::Windows
