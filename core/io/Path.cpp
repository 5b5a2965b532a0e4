#include "core/io/Path.h"

#include "core/io/IOException.h"
#include "core/io/SystemError.h"

#include <windows.h>

namespace Core::IO
{

String GetExtension(const String& path)
{
    int length = path.GetLength();
    for (int i = length - 1; i >= 0; i--)
    {
        wchar_t ch = path[i];
        if (ch == L'.')
        {
            return i == length - 1 ? String() : path.Substring(i, length - i);
        }
        if (ch == L'\\' || ch == L'/' || ch == L':')
        {
            break;
        }
    }
    return String();
}

bool File::Exists(const String& path)
{
    if (path.IsEmpty())
    {
        return false;
    }
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(path.GetBuffer(), &data);
    if (search == INVALID_HANDLE_VALUE)
    {
        return false;
    }
    FindClose(search);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void File::Delete(const String& path)
{
    if (!DeleteFileW(path.GetBuffer()))
    {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
        {
            throw IOException(GetErrorText(error));
        }
    }
}

void File::Copy(const String& source, const String& target)
{
    if (!CopyFileW(source.GetBuffer(), target.GetBuffer(), TRUE))
    {
        throw IOException(GetErrorText(GetLastError()));
    }
}

void File::Replace(const String& source, const String& target)
{
    if (!MoveFileExW(source.GetBuffer(), target.GetBuffer(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        throw IOException(GetLastErrorText());
    }
}

String Directory::GetCurrent()
{
    DWORD length = GetCurrentDirectoryW(0, nullptr);
    if (length == 0)
    {
        throw IOException(GetLastErrorText());
    }
    wchar_t* buffer = new wchar_t[length];
    DWORD copied = GetCurrentDirectoryW(length, buffer);
    String result(buffer, copied < length ? static_cast<int>(copied) : 0);
    delete[] buffer;
    return result;
}

bool Directory::Exists(const String& path)
{
    DWORD attributes = GetFileAttributesW(path.GetBuffer());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

String GetFullPath(const String& path)
{
    DWORD length = GetFullPathNameW(path.GetBuffer(), 0, nullptr, nullptr);
    if (length == 0)
    {
        throw IOException(GetLastErrorText());
    }
    wchar_t* buffer = new wchar_t[length];
    DWORD copied = GetFullPathNameW(path.GetBuffer(), length, buffer, nullptr);
    String result(buffer, copied < length ? static_cast<int>(copied) : 0);
    delete[] buffer;
    return result;
}

} // namespace Core::IO
