#include "core/io/Path.h"

#include "core/io/IOException.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using namespace Core;
using namespace Core::IO;

namespace
{

std::wstring Extension(const wchar_t* path)
{
    return GetExtension(String(path)).GetBuffer();
}

} // namespace

TEST(GetExtension, LastDotOfTheLastPart)
{
    EXPECT_EQ(L".gz", Extension(L"file.tar.gz"));
    EXPECT_EQ(L".xml", Extension(L"C:\\Reports\\WmiReport_Win32_Process.xml"));
    EXPECT_EQ(L".csv", Extension(L".csv"));
}

TEST(GetExtension, NoExtension)
{
    EXPECT_EQ(L"", Extension(L"C:\\dir.x\\file"));
    EXPECT_EQ(L"", Extension(L"dir.x/file"));
    EXPECT_EQ(L"", Extension(L"C:file"));
    EXPECT_EQ(L"", Extension(L"name."));
    EXPECT_EQ(L"", Extension(L"name"));
    EXPECT_EQ(L"", Extension(L""));
}

TEST(FileSystem, ExistsDeleteAndReplace)
{
    Testing::TempDirectory directory;
    String first = directory.File(L"first.txt");
    String second = directory.File(L"second.txt");
    EXPECT_FALSE(File::Exists(first));
    EXPECT_FALSE(File::Exists(String()));
    EXPECT_FALSE(File::Exists(directory.GetPath())); // a directory is not a file
    EXPECT_TRUE(Directory::Exists(directory.GetPath()));
    Testing::WriteFileBytes(first, "new");
    Testing::WriteFileBytes(second, "old");
    EXPECT_TRUE(File::Exists(first));
    File::Replace(first, second);
    EXPECT_FALSE(File::Exists(first));
    EXPECT_EQ("new", Testing::ReadFileBytes(second));
    File::Delete(second);
    EXPECT_FALSE(File::Exists(second));
    File::Delete(second); // already gone: not an error
    EXPECT_THROW(File::Replace(first, second), IOException);
}

TEST(FileSystem, CurrentDirectoryAndFullPaths)
{
    String current = Directory::GetCurrent();
    EXPECT_GT(current.GetLength(), 2);
    EXPECT_EQ(current + L"\\QuarrowConfig.xml", GetFullPath(String(L"QuarrowConfig.xml")));
    EXPECT_EQ(String(L"C:\\a\\c"), GetFullPath(String(L"C:\\a\\b\\..\\c")));
}

TEST(FileSystem, CopyMakesAWholeCopyAndNeverReplacesAFile)
{
    Testing::TempDirectory directory;
    String source = directory.File(L"view.xml");
    String copy = directory.File(L"view.xml.bak");
    std::string bytes;
    for (int i = 0; i < 150 * 1024; i++)
    {
        bytes += static_cast<char>(i * 31 + i / 1024); // more than one chunk, and every byte value
    }
    Testing::WriteFileBytes(source, bytes);
    File::Copy(source, copy);
    EXPECT_EQ(bytes, Testing::ReadFileBytes(copy));
    Testing::WriteFileBytes(copy, "an older copy");
    EXPECT_THROW(File::Copy(source, copy), IOException);
    EXPECT_EQ("an older copy", Testing::ReadFileBytes(copy));
    EXPECT_THROW(File::Copy(directory.File(L"missing.xml"), directory.File(L"missing.xml.bak")), IOException);
    EXPECT_FALSE(File::Exists(directory.File(L"missing.xml.bak")));
}

// A part of a file would pass for all of it, and would take the room that is missing from the disk.
TEST(FileSystem, ACopyThatFailsPartWayLeavesNothing)
{
    Testing::TempDirectory directory;
    String source = directory.File(L"view.xml");
    String copy = directory.File(L"view.xml.bak");
    const std::string bytes(41 * 1024, 'x');
    Testing::WriteFileBytes(source, bytes);
    {
        Testing::NearlyFullDisk disk(20480);
        EXPECT_THROW(File::Copy(source, copy), IOException);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(copy.GetBuffer()));
        // The disk is full now: not even an empty copy is left.
        EXPECT_THROW(File::Copy(source, copy), IOException);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(copy.GetBuffer()));
    EXPECT_EQ(bytes, Testing::ReadFileBytes(source));
}

TEST(FileSystem, OneFileIsTheSameUnderEachOfItsNames)
{
    Testing::TempDirectory directory;
    String file = directory.File(L"view.xml");
    String other = directory.File(L"other.xml");
    Testing::WriteFileBytes(file, "same");
    Testing::WriteFileBytes(other, "same");
    EXPECT_TRUE(File::IsSame(file, file));
    EXPECT_TRUE(File::IsSame(file, directory.GetPath() + L"\\.\\VIEW.XML"));
    EXPECT_FALSE(File::IsSame(file, other)); // the same bytes in another file
    String link = directory.File(L"link.xml");
    ASSERT_TRUE(CreateHardLinkW(link.GetBuffer(), file.GetBuffer(), nullptr));
    EXPECT_TRUE(File::IsSame(link, file));
    String unixName = Testing::ThroughUnixDrive(file);
    if (!unixName.IsEmpty())
    {
        EXPECT_TRUE(File::IsSame(file, unixName)) << std::wstring(unixName.GetBuffer());
        EXPECT_FALSE(File::IsSame(unixName, other));
    }
    // Another program's share mode does not hide the identity.
    HANDLE locked = CreateFileW(file.GetBuffer(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_TRUE(File::IsSame(file, link));
    CloseHandle(locked);
    EXPECT_THROW(File::IsSame(file, directory.File(L"missing.xml")), IOException);
    EXPECT_THROW(File::IsSame(directory.File(L"missing.xml"), file), IOException);
}
