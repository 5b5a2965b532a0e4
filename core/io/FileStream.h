// A buffered byte stream over one Win32 file handle.
#pragma once

#include "core/String.h"
#include "core/io/Stream.h"

namespace Core::IO
{

class FileMode : public EnumValue
{
public:
    enum Value
    {
        CreateNew = 1,
        Create = 2,
        Open = 3,
        OpenOrCreate = 4,
        Truncate = 5,
        Append = 6
    };
    FileMode(Value value) : EnumValue(value) {}
};

class FileAccess : public EnumValue
{
public:
    enum Value
    {
        Read = 1,
        Write = 2,
        ReadWrite = 3
    };
    FileAccess(Value value) : EnumValue(value) {}
};

class FileShare : public EnumValue
{
public:
    enum Value
    {
        None = 0,
        Read = 1,
        Write = 2,
        ReadWrite = 3
    };
    FileShare(Value value) : EnumValue(value) {}
};

class FileStream : public Stream
{
public:
    FileStream(const String& fileName, FileMode mode, FileAccess access, FileShare share, int bufferSize = 4096);
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    bool CanRead() const override { return m_canRead; }
    bool CanWrite() const override { return m_canWrite; }
    int Read(uint8_t* bytes, int offset, int count) override;
    void Write(const uint8_t* bytes, int offset, int count) override;
    // Hands the buffered bytes to the system.
    void Flush() override;
    // Flush, then asks the system to put the file's data on the disk (for safe replacement of files).
    void FlushToDisk();
    void Close() override;

    const String& GetName() const { return m_fileName; }
    int64_t GetLength();
    int64_t GetPosition() const { return m_position; }

    // Tests stand in for a nearly full disk: the process's file streams may write only `bytes` more bytes, and
    // the write that goes past them stores what fits and fails as the system's writes do on a full disk. A
    // negative value lifts the limit, which is the default.
    static void LimitWrites(int64_t bytes);

private:
    void CheckOpen() const;
    void WriteBuffer();
    void WriteDirect(const uint8_t* bytes, int count);
    int ReadDirect(uint8_t* bytes, int count);
    // Gives back bytes read ahead into the buffer, so the file position matches the stream's.
    void DiscardReadAhead();
    void Seek(int64_t position);

    void* m_handle; // owned; null once closed
    String m_fileName;
    bool m_canRead;
    bool m_canWrite;
    uint8_t* m_buffer; // owned; null for a buffer size of 0
    int m_bufferSize;
    int m_writeLength = 0;
    int m_readPosition = 0;
    int m_readLength = 0;
    int64_t m_position = 0;
};

} // namespace Core::IO
