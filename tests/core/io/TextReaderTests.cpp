#include "core/io/TextReader.h"

#include "core/Exception.h"
#include "core/io/FileStream.h"
#include "core/io/IOException.h"
#include "core/io/MemoryStream.h"
#include "core/io/StreamWriter.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

using namespace Core;
using namespace Core::IO;

namespace
{

// Hands out its bytes at most `step` at a time, as a slow device would.
class TrickleStream : public MemoryStream
{
public:
    TrickleStream(const std::string& bytes, int step)
        : MemoryStream(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size())), m_step(step)
    {
    }
    int Read(uint8_t* bytes, int offset, int count) override
    {
        return MemoryStream::Read(bytes, offset, count < m_step ? count : m_step);
    }

private:
    int m_step;
};

std::wstring ReadAll(const std::string& bytes, int step = 1 << 20, int bufferSize = 1024)
{
    TrickleStream stream(bytes, step);
    StreamReader reader(&stream, nullptr, true, bufferSize);
    return reader.ReadToEnd().GetBuffer();
}

} // namespace

TEST(StreamReader, ByteOrderMarksChooseTheEncodingAndAreSkipped)
{
    EXPECT_EQ(L"h\u00E9", ReadAll("\xEF\xBB\xBFh\xC3\xA9"));
    EXPECT_EQ(L"hi", ReadAll(std::string("\xFF\xFEh\0i\0", 6)));
    EXPECT_EQ(L"hi", ReadAll(std::string("\xFE\xFF\0h\0i", 6)));
    EXPECT_EQ(L"h\u00E9", ReadAll("h\xC3\xA9")); // no mark: UTF-8
    EXPECT_EQ(L"", ReadAll(""));
    EXPECT_EQ(L"\xFFFD", ReadAll("\xFE")); // a single byte is not a mark
}

TEST(StreamReader, MarksAndSequencesArrivingByteByByte)
{
    EXPECT_EQ(L"h\u00E9\U0001F600", ReadAll("\xEF\xBB\xBFh\xC3\xA9\xF0\x9F\x98\x80", 1));
    EXPECT_EQ(L"hi", ReadAll(std::string("\xFF\xFEh\0i\0", 6), 1));
}

TEST(StreamReader, LongTextsInSmallAndLargeReads)
{
    std::string bytes;
    std::wstring expected;
    for (int i = 0; i < 20000; i++)
    {
        bytes += i % 3 == 0 ? "\xE2\x82\xAC" : "x";
        expected += i % 3 == 0 ? L'\u20AC' : L'x';
    }
    EXPECT_EQ(expected, ReadAll(bytes, 1 << 20, 128));
    EXPECT_EQ(expected, ReadAll(bytes, 1000, 1024));

    MemoryStream stream(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int>(bytes.size()));
    StreamReader reader(&stream);
    std::wstring pieces;
    wchar_t buffer[5000];
    for (int n = reader.Read(buffer, 3, 7); n > 0; n = reader.Read(buffer, 3, n == 7 ? 4000 : 7))
    {
        pieces.append(buffer + 3, static_cast<size_t>(n));
    }
    EXPECT_EQ(expected, pieces);
}

// Each allocation of the constructor failing in turn: the reader's buffers made before it are freed, none leaks.
TEST(StreamReader, AReaderThatRunsOutOfMemoryWhileMadeLeavesNothing)
{
    MemoryStream stream;
    bool injected = true;
    for (int64_t failing = 0; injected; failing++)
    {
        EXPECT_EQ(0, Testing::LeakedBy(
                         [&]
                         {
                             try
                             {
                                 injected =
                                     Testing::RunWithFailingAllocation(failing, [&] { StreamReader reader(&stream); });
                             }
                             catch (const std::bad_alloc&)
                             {
                                 injected = true;
                             }
                         }))
            << "allocation " << failing;
    }
}

TEST(StreamReader, ArgumentsAndClosing)
{
    EXPECT_THROW(StreamReader(static_cast<Stream*>(nullptr)), ArgumentNullException);
    MemoryStream stream;
    StreamReader reader(&stream, nullptr, true, 1024, true);
    wchar_t buffer[4];
    EXPECT_THROW(reader.Read(nullptr, 0, 1), ArgumentNullException);
    EXPECT_THROW(reader.Read(buffer, -1, 1), ArgumentOutOfRangeException);
    EXPECT_EQ(0, reader.Read(buffer, 0, 4));
    reader.Close();
    EXPECT_FALSE(stream.CanRead());
    EXPECT_THROW(reader.Read(buffer, 0, 1), Exception);
}

TEST(StreamReader, ReadsBackWhatAWriterWroteToAFile)
{
    Testing::TempDirectory directory;
    String name = directory.File(L"text.txt");
    const std::wstring text = L"line \u00E9\u20AC\U0001F600\r\nsecond";
    for (const Encoding* encoding : {Encoding::UTF8(), Encoding::UTF16LittleEndian(), Encoding::UTF16BigEndian()})
    {
        {
            FileStream file(name, FileMode::Create, FileAccess::Write, FileShare::None);
            StreamWriter writer(&file, encoding);
            writer.Write(String(text.c_str()));
            writer.Close();
        }
        EXPECT_EQ(0, Testing::LeakedBy(
                         [&]
                         {
                             StreamReader reader(name);
                             EXPECT_EQ(text, std::wstring(reader.ReadToEnd().GetBuffer()));
                         }));
    }
}

TEST(StreamReader, MissingFileNamesTheFile)
{
    Testing::TempDirectory directory;
    String name = directory.File(L"absent.xml");
    try
    {
        StreamReader reader(name);
        FAIL() << "no exception";
    }
    catch (const IOException& e)
    {
        EXPECT_EQ(String(L"File not found '") + name + L"'", e.GetMessageText());
    }
}

TEST(StringReader, ReadsItsTextInPieces)
{
    StringReader reader(String(L"abcdef"));
    wchar_t buffer[8] = {};
    EXPECT_EQ(4, reader.Read(buffer, 1, 4));
    EXPECT_EQ(L'a', buffer[1]);
    EXPECT_STREQ(L"ef", reader.ReadToEnd().GetBuffer());
    EXPECT_EQ(0, reader.Read(buffer, 0, 8));
}
