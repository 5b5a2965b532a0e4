#include "core/io/Path.h"

#include "core/io/FileStream.h"
#include "core/io/IOException.h"
#include "core/io/SystemError.h"

#include <memory>
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
    // Not CopyFileW: under Wine a copy that failed half way stays behind. Unbuffered streams: the chunk is the
    // buffer, and a target stream that exists was created by this copy.
    const int chunkSize = 64 * 1024;
    FileStream from(source, FileMode::Open, FileAccess::Read, FileShare::Read, 0);
    std::unique_ptr<uint8_t[]> chunk(new uint8_t[chunkSize]);
    FileStream to(target, FileMode::CreateNew, FileAccess::Write, FileShare::None, 0);
    try
    {
        for (int read = from.Read(chunk.get(), 0, chunkSize); read > 0; read = from.Read(chunk.get(), 0, chunkSize))
        {
            to.Write(chunk.get(), 0, read);
        }
        to.FlushToDisk();
        to.Close();
    }
    catch (...)
    {
        // Part of a file would pass for all of it, and would hold the room a full disk lacks.
        try
        {
            to.Close();
        }
        catch (...)
        {
            // Closed all the same; the failure of the copy is what the caller needs to know.
        }
        try
        {
            Delete(target);
        }
        catch (...)
        {
            // Nothing more can be done for it here.
        }
        throw;
    }
}

namespace
{

// Opened for no access at all, so that no other program's share mode keeps the identity from being read.
BY_HANDLE_FILE_INFORMATION IdentityOf(const String& path)
{
    HANDLE file = CreateFileW(path.GetBuffer(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        throw IOException(GetLastErrorText());
    }
    BY_HANDLE_FILE_INFORMATION information = {};
    BOOL read = GetFileInformationByHandle(file, &information);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!read)
    {
        throw IOException(GetErrorText(error));
    }
    return information;
}

} // namespace

bool File::IsSame(const String& first, const String& second)
{
    BY_HANDLE_FILE_INFORMATION one = IdentityOf(first);
    BY_HANDLE_FILE_INFORMATION other = IdentityOf(second);
    return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
           one.nFileIndexLow == other.nFileIndexLow;
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
