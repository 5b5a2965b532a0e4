#include "core/io/Path.h"

#include "core/io/IOException.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

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
