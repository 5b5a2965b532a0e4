#include "tests/support/TempDirectory.h"

#include <atomic>
#include <stdexcept>
#include <windows.h>

namespace Testing
{

namespace
{

std::atomic<int> directoryCounter{0};

} // namespace

TempDirectory::TempDirectory()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    std::wstring path = std::wstring(base) + L"quarrow-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(directoryCounter++);
    if (!CreateDirectoryW(path.c_str(), nullptr))
    {
        throw std::runtime_error("cannot create the temporary test directory");
    }
    m_path = Core::String(path.c_str());
}

TempDirectory::~TempDirectory()
{
    RemoveTree(m_path.GetBuffer());
}

Core::String TempDirectory::File(const wchar_t* name) const
{
    return m_path + L"\\" + name;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
            {
                continue;
            }
            std::wstring child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            {
                RemoveTree(child);
            }
            else
            {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

Core::String ThroughUnixDrive(const Core::String& path)
{
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    auto unixFileName = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixFileName != nullptr ? unixFileName(path.GetBuffer()) : nullptr;
    if (name == nullptr)
    {
        return Core::String();
    }
    std::wstring mapped = L"Z:";
    for (const char* c = name; *c != 0; c++)
    {
        mapped += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
    }
    HeapFree(GetProcessHeap(), 0, name);
    return Core::String(mapped.c_str());
}

std::string ReadFileBytes(const Core::String& path)
{
    HANDLE file = CreateFileW(path.GetBuffer(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        throw std::runtime_error("cannot open the file to read");
    }
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0)
    {
        bytes.append(chunk, read);
    }
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const Core::String& path, const std::string& bytes)
{
    HANDLE file =
        CreateFileW(path.GetBuffer(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        throw std::runtime_error("cannot create the file to write");
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace Testing
