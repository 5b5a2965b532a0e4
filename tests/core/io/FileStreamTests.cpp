#include "core/io/FileStream.h"

#include "core/io/IOException.h"
#include "core/io/Path.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <new>
#include <windows.h>

using namespace Core;
using namespace Core::IO;
using Testing::ReadFileBytes;
using Testing::TempDirectory;
using Testing::ThrownMessage;

namespace
{

const uint8_t* Bytes(const std::string& text)
{
    return reinterpret_cast<const uint8_t*>(text.data());
}

std::string Pattern(int length)
{
    std::string bytes;
    for (int i = 0; i < length; i++)
    {
        bytes += static_cast<char>(i * 7 + i / 256);
    }
    return bytes;
}

} // namespace

// --- opening ---

TEST(FileStreamOpen, MissingFileNamesTheFile)
{
    TempDirectory directory;
    String name = directory.File(L"missing.xml");
    try
    {
        FileStream stream(name, FileMode::Open, FileAccess::Read, FileShare::Read);
        FAIL() << "no exception";
    }
    catch (const IOException& e)
    {
        EXPECT_EQ(String(L"File not found '") + name + L"'", e.GetMessageText());
    }
}

TEST(FileStreamOpen, OtherFailuresCarryTheSystemText)
{
    TempDirectory directory;
    String inMissingDirectory = directory.File(L"no such folder\\report.csv");
    std::wstring message = ThrownMessage(
        [&] { FileStream stream(inMissingDirectory, FileMode::Create, FileAccess::Write, FileShare::None); });
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(std::wstring::npos, message.find(L"File not found"));

    String existing = directory.File(L"exists.txt");
    Testing::WriteFileBytes(existing, "x");
    EXPECT_THROW(FileStream(existing, FileMode::CreateNew, FileAccess::Write, FileShare::None), IOException);
}

TEST(FileStreamOpen, ArgumentRulesComeBeforeTheFileIsTouched)
{
    TempDirectory directory;
    String name = directory.File(L"never.txt");
    EXPECT_THROW(FileStream(name, FileMode::Create, FileAccess::Write, FileShare::None, -1),
                 ArgumentOutOfRangeException);
    EXPECT_EQ(L"Can not append to read-only files",
              ThrownMessage([&] { FileStream(name, FileMode::Append, FileAccess::ReadWrite, FileShare::None); }));
    EXPECT_EQ(L"", ThrownMessage([&] { FileStream(name, FileMode::Create, FileAccess::Read, FileShare::None); }));
    EXPECT_FALSE(File::Exists(name));
}

TEST(FileStreamOpen, DevicesAreRefused)
{
    EXPECT_EQ(
        L"Files other than disk files are not supported",
        ThrownMessage([] { FileStream(String(L"NUL"), FileMode::Open, FileAccess::Read, FileShare::ReadWrite); }));
}

// Tests stand in for a full disk with a limit on what the process's streams write.
TEST(FileStreamData, AWritePastTheLimitStoresWhatFitsAndFailsAsOnAFullDisk)
{
    TempDirectory directory;
    String name = directory.File(L"full.bin");
    const std::string bytes = Pattern(10000);
    std::wstring message;
    {
        FileStream stream(name, FileMode::Create, FileAccess::Write, FileShare::None, 0);
        Testing::NearlyFullDisk disk(6000);
        stream.Write(Bytes(bytes), 0, 5000);
        message = ThrownMessage([&] { stream.Write(Bytes(bytes), 5000, 5000); });
        EXPECT_THROW(stream.Write(Bytes(bytes), 6000, 1), IOException);
    }
    wchar_t system[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_DISK_FULL,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system, 512, nullptr);
    EXPECT_EQ(0u, std::wstring(system).find(message));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(bytes.substr(0, 6000), ReadFileBytes(name));
    // Without the limit every write goes through again.
    FileStream again(name, FileMode::Append, FileAccess::Write, FileShare::None, 0);
    again.Write(Bytes(bytes), 6000, 4000);
    again.Close();
    EXPECT_EQ(bytes, ReadFileBytes(name));
}

// --- access rules ---

TEST(FileStreamAccess, ReadOnlyAndWriteOnlyStreams)
{
    TempDirectory directory;
    String name = directory.File(L"data.bin");
    Testing::WriteFileBytes(name, "abc");
    uint8_t buffer[4];
    {
        FileStream reading(name, FileMode::Open, FileAccess::Read, FileShare::Read);
        EXPECT_TRUE(reading.CanRead());
        EXPECT_FALSE(reading.CanWrite());
        EXPECT_EQ(L"Can not write to the stream", ThrownMessage([&] { reading.Write(buffer, 0, 1); }));
    }
    FileStream writing(name, FileMode::Create, FileAccess::Write, FileShare::None);
    EXPECT_EQ(L"Can not read from the stream", ThrownMessage([&] { writing.Read(buffer, 0, 1); }));
}

TEST(FileStreamAccess, ClosedStreamsRefuseEverything)
{
    TempDirectory directory;
    FileStream stream(directory.File(L"closed.bin"), FileMode::Create, FileAccess::ReadWrite, FileShare::None);
    stream.Close();
    stream.Close(); // a second close does nothing
    uint8_t buffer[1] = {0};
    EXPECT_EQ(L"Invalid operation", ThrownMessage([&] { stream.Write(buffer, 0, 1); }));
    EXPECT_EQ(L"Invalid operation", ThrownMessage([&] { stream.Read(buffer, 0, 1); }));
}

// --- writing and reading back ---

TEST(FileStreamData, SmallWritesAreBufferedAndALargeOneBypassesTheBuffer)
{
    TempDirectory directory;
    String name = directory.File(L"mixed.bin");
    std::string large = Pattern(10000);
    {
        // Shared for reading, so the test can look at the file while the stream is open.
        FileStream stream(name, FileMode::Create, FileAccess::Write, FileShare::Read, 64);
        stream.Write(Bytes("head"), 0, 4);
        EXPECT_EQ(0u, ReadFileBytes(name).size()); // still in the buffer
        stream.Write(Bytes(large), 0, static_cast<int>(large.size()));
        // The buffered bytes went first, then the large block directly.
        EXPECT_EQ("head" + large, ReadFileBytes(name));
        stream.Write(Bytes("tail"), 1, 3);
        EXPECT_EQ(10007, stream.GetPosition());
    }
    EXPECT_EQ("head" + large + "ail", ReadFileBytes(name));
}

TEST(FileStreamData, WritesFillingTheBufferExactlyAreFlushedInOrder)
{
    TempDirectory directory;
    String name = directory.File(L"exact.bin");
    std::string data = Pattern(300);
    {
        FileStream stream(name, FileMode::Create, FileAccess::Write, FileShare::Read, 100);
        for (size_t done = 0; done < data.size(); done += 30)
        {
            stream.Write(Bytes(data), static_cast<int>(done), 30);
        }
        EXPECT_EQ(data.substr(0, 300), ReadFileBytes(name));
    }
}

TEST(FileStreamData, ReadingBackWhatWasWrittenInChunksOfEverySize)
{
    TempDirectory directory;
    String name = directory.File(L"roundtrip.bin");
    std::string data = Pattern(5000);
    for (int bufferSize : {0, 1, 16, 4096})
    {
        {
            FileStream writer(name, FileMode::Create, FileAccess::Write, FileShare::None, bufferSize);
            writer.Write(Bytes(data), 0, static_cast<int>(data.size()));
            writer.Close();
        }
        for (int chunk : {1, 7, 100, 4096, 8000})
        {
            FileStream reader(name, FileMode::Open, FileAccess::Read, FileShare::Read, bufferSize);
            EXPECT_EQ(5000, reader.GetLength());
            std::string back;
            std::string piece(static_cast<size_t>(chunk), '\0');
            for (int n = reader.Read(reinterpret_cast<uint8_t*>(piece.data()), 0, chunk); n > 0;
                 n = reader.Read(reinterpret_cast<uint8_t*>(piece.data()), 0, chunk))
            {
                back.append(piece.data(), static_cast<size_t>(n));
            }
            ASSERT_EQ(data, back) << "buffer " << bufferSize << ", chunk " << chunk;
        }
    }
}

TEST(FileStreamData, AppendAddsToTheEndAndCreatesMissingFiles)
{
    TempDirectory directory;
    String name = directory.File(L"log.txt");
    {
        FileStream first(name, FileMode::Append, FileAccess::Write, FileShare::None);
        first.Write(Bytes("one"), 0, 3);
    }
    {
        FileStream second(name, FileMode::Append, FileAccess::Write, FileShare::None);
        EXPECT_EQ(3, second.GetPosition());
        second.Write(Bytes(",two"), 0, 4);
    }
    EXPECT_EQ("one,two", ReadFileBytes(name));
}

TEST(FileStreamData, CreateReplacesAndTruncateEmpties)
{
    TempDirectory directory;
    String name = directory.File(L"replace.txt");
    Testing::WriteFileBytes(name, "a much longer old content");
    {
        FileStream stream(name, FileMode::Create, FileAccess::Write, FileShare::None);
        stream.Write(Bytes("new"), 0, 3);
    }
    EXPECT_EQ("new", ReadFileBytes(name));
    {
        FileStream stream(name, FileMode::Truncate, FileAccess::Write, FileShare::None);
    }
    EXPECT_EQ("", ReadFileBytes(name));
}

TEST(FileStreamData, SwitchingFromReadingToWritingKeepsThePosition)
{
    TempDirectory directory;
    String name = directory.File(L"both.bin");
    Testing::WriteFileBytes(name, "0123456789");
    {
        FileStream stream(name, FileMode::Open, FileAccess::ReadWrite, FileShare::None, 64);
        uint8_t two[2];
        EXPECT_EQ(2, stream.Read(two, 0, 2));
        stream.Write(Bytes("ab"), 0, 2);
    }
    EXPECT_EQ("01ab456789", ReadFileBytes(name));
}

TEST(FileStreamData, StreamsReleaseEverything)
{
    TempDirectory directory;
    String name = directory.File(L"leak.bin");
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         FileStream stream(name, FileMode::Create, FileAccess::ReadWrite, FileShare::None);
                         stream.Write(Bytes("data"), 0, 4);
                     }));
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         EXPECT_THROW(
                             FileStream(directory.File(L"x\\y"), FileMode::Open, FileAccess::Read, FileShare::Read),
                             IOException);
                     }));
}

TEST(FileStreamData, AFailedBufferAllocationClosesTheFile)
{
    TempDirectory directory;
    String name = directory.File(L"buffer.bin");
    // The constructor copies the name, opens the file, then takes its buffer: the second allocation.
    EXPECT_THROW(Testing::RunWithFailingAllocation(
                     1, [&] { FileStream stream(name, FileMode::Create, FileAccess::Write, FileShare::None, 4096); }),
                 std::bad_alloc);
    ASSERT_TRUE(File::Exists(name));
    // Opened again without sharing: only possible when the first handle was closed.
    FileStream again(name, FileMode::Open, FileAccess::Write, FileShare::None);
    EXPECT_TRUE(again.CanWrite());
}
