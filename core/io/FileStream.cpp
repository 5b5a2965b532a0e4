#include "core/io/FileStream.h"

#include "core/io/IOException.h"
#include "core/io/SystemError.h"

#include <atomic>
#include <cstring>
#include <windows.h>

namespace Core::IO
{

namespace
{

IOException LastErrorException()
{
    return IOException(GetLastErrorText());
}

std::atomic<int64_t> writeRoom{-1}; // negative: no limit

// How many of count bytes the disk takes.
int TakeWriteRoom(int count)
{
    int64_t room = writeRoom.load();
    while (room >= 0)
    {
        int64_t taken = room < count ? room : count;
        if (writeRoom.compare_exchange_weak(room, room - taken))
        {
            return static_cast<int>(taken);
        }
    }
    return count;
}

} // namespace

FileStream::FileStream(const String& fileName, FileMode mode, FileAccess access, FileShare share, int bufferSize)
    : m_handle(nullptr), m_fileName(fileName), m_canRead((access.GetValue() & FileAccess::Read) != 0),
      m_canWrite((access.GetValue() & FileAccess::Write) != 0), m_buffer(nullptr), m_bufferSize(bufferSize)
{
    if (bufferSize < 0)
    {
        throw ArgumentOutOfRangeException(bufferSize);
    }
    bool append = mode.GetValue() == FileMode::Append;
    if (append && m_canRead)
    {
        throw ArgumentException(String(L"Can not append to read-only files"));
    }
    if (!m_canWrite && mode.GetValue() != FileMode::Open && mode.GetValue() != FileMode::OpenOrCreate)
    {
        throw ArgumentException(String());
    }
    DWORD desiredAccess = (m_canRead ? GENERIC_READ : 0) | (m_canWrite ? GENERIC_WRITE : 0);
    // Append is not a creation disposition of its own: open the file, creating it if needed.
    DWORD disposition = append ? OPEN_ALWAYS : static_cast<DWORD>(mode.GetValue());
    HANDLE handle = CreateFileW(fileName.GetBuffer(), desiredAccess, static_cast<DWORD>(share.GetValue()), nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
    {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
        {
            throw IOException(String(L"File not found '") + fileName + L"'");
        }
        throw IOException(GetErrorText(error));
    }
    if (GetFileType(handle) != FILE_TYPE_DISK)
    {
        CloseHandle(handle);
        throw Exception(String(L"Files other than disk files are not supported"));
    }
    m_handle = handle;
    if (bufferSize > 0)
    {
        try
        {
            m_buffer = new uint8_t[static_cast<size_t>(bufferSize)];
        }
        catch (...)
        {
            // The constructor fails, so no destructor will close the file: close it here.
            m_handle = nullptr;
            CloseHandle(handle);
            throw;
        }
    }
    if (append)
    {
        LARGE_INTEGER end;
        end.QuadPart = 0;
        LARGE_INTEGER moved;
        if (!SetFilePointerEx(handle, end, &moved, FILE_END))
        {
            IOException failure = LastErrorException();
            Close();
            throw failure;
        }
        if (moved.QuadPart < 0)
        {
            Close();
            throw IOException(String(L"Internal error"));
        }
        m_position = moved.QuadPart;
    }
}

FileStream::~FileStream()
{
    try
    {
        Close();
    }
    catch (...)
    {
        // A destructor cannot report a failed final write; callers that care call Close themselves.
    }
    delete[] m_buffer;
}

void FileStream::CheckOpen() const
{
    if (m_handle == nullptr)
    {
        throw Exception(String(L"Invalid operation"));
    }
}

int FileStream::Read(uint8_t* bytes, int offset, int count)
{
    CheckOpen();
    if (!m_canRead)
    {
        throw Exception(String(L"Can not read from the stream"));
    }
    if (bytes == nullptr)
    {
        throw ArgumentNullException(String(L"array"));
    }
    if (offset < 0 || count < 0)
    {
        throw ArgumentOutOfRangeException(offset < 0 ? offset : count);
    }
    if (m_writeLength > 0)
    {
        WriteBuffer();
    }
    int total = 0;
    int buffered = m_readLength - m_readPosition;
    if (buffered > 0)
    {
        int n = count < buffered ? count : buffered;
        std::memcpy(bytes + offset, m_buffer + m_readPosition, static_cast<size_t>(n));
        m_readPosition += n;
        total = n;
    }
    int rest = count - total;
    if (rest > 0)
    {
        if (rest >= m_bufferSize)
        {
            total += ReadDirect(bytes + offset + total, rest);
        }
        else
        {
            m_readPosition = 0;
            m_readLength = ReadDirect(m_buffer, m_bufferSize);
            int n = rest < m_readLength ? rest : m_readLength;
            std::memcpy(bytes + offset + total, m_buffer, static_cast<size_t>(n));
            m_readPosition = n;
            total += n;
        }
    }
    m_position += total;
    return total;
}

int FileStream::ReadDirect(uint8_t* bytes, int count)
{
    DWORD read = 0;
    if (!ReadFile(static_cast<HANDLE>(m_handle), bytes, static_cast<DWORD>(count), &read, nullptr))
    {
        throw LastErrorException();
    }
    return static_cast<int>(read);
}

void FileStream::Write(const uint8_t* bytes, int offset, int count)
{
    CheckOpen();
    if (!m_canWrite)
    {
        throw Exception(String(L"Can not write to the stream"));
    }
    if (bytes == nullptr)
    {
        throw ArgumentNullException(String(L"array"));
    }
    if (offset < 0 || count < 0)
    {
        throw ArgumentOutOfRangeException(offset < 0 ? offset : count);
    }
    DiscardReadAhead();
    if (count > m_bufferSize)
    {
        // Larger than the buffer: keep the order of bytes, then bypass the buffer.
        WriteBuffer();
        WriteDirect(bytes + offset, count);
        m_position += count;
        return;
    }
    int done = 0;
    while (done < count)
    {
        int space = m_bufferSize - m_writeLength;
        int n = count - done < space ? count - done : space;
        std::memcpy(m_buffer + m_writeLength, bytes + offset + done, static_cast<size_t>(n));
        m_writeLength += n;
        done += n;
        if (m_writeLength == m_bufferSize)
        {
            WriteBuffer();
        }
    }
    m_position += count;
}

void FileStream::WriteBuffer()
{
    if (m_writeLength == 0)
    {
        return;
    }
    int length = m_writeLength;
    m_writeLength = 0;
    WriteDirect(m_buffer, length);
}

void FileStream::LimitWrites(int64_t bytes)
{
    writeRoom.store(bytes < 0 ? -1 : bytes);
}

void FileStream::WriteDirect(const uint8_t* bytes, int count)
{
    int refused = count - TakeWriteRoom(count);
    count -= refused;
    while (count > 0)
    {
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(m_handle), bytes, static_cast<DWORD>(count), &written, nullptr))
        {
            throw LastErrorException();
        }
        bytes += written;
        count -= static_cast<int>(written);
    }
    if (refused > 0)
    {
        throw IOException(GetErrorText(ERROR_DISK_FULL));
    }
}

void FileStream::DiscardReadAhead()
{
    int unread = m_readLength - m_readPosition;
    m_readPosition = 0;
    m_readLength = 0;
    if (unread > 0)
    {
        Seek(m_position);
    }
}

void FileStream::Seek(int64_t position)
{
    LARGE_INTEGER target;
    target.QuadPart = position;
    if (!SetFilePointerEx(static_cast<HANDLE>(m_handle), target, nullptr, FILE_BEGIN))
    {
        throw LastErrorException();
    }
}

void FileStream::Flush()
{
    CheckOpen();
    WriteBuffer();
}

void FileStream::FlushToDisk()
{
    Flush();
    if (!FlushFileBuffers(static_cast<HANDLE>(m_handle)))
    {
        throw LastErrorException();
    }
}

int64_t FileStream::GetLength()
{
    CheckOpen();
    WriteBuffer();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(static_cast<HANDLE>(m_handle), &size))
    {
        throw LastErrorException();
    }
    return size.QuadPart;
}

void FileStream::Close()
{
    if (m_handle == nullptr)
    {
        return;
    }
    HANDLE handle = static_cast<HANDLE>(m_handle);
    // The handle is forgotten even when the last write fails, so a failed stream is still closed.
    try
    {
        WriteBuffer();
    }
    catch (...)
    {
        m_handle = nullptr;
        CloseHandle(handle);
        throw;
    }
    m_handle = nullptr;
    CloseHandle(handle);
}

} // namespace Core::IO
