#include "core/io/StreamWriter.h"

#include "core/io/FileStream.h"
#include "core/io/MemoryStream.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace Core;
using namespace Core::IO;
using Testing::ThrownMessage;

TEST(StreamWriter, ConstructionRules)
{
    EXPECT_EQ(L"Argument stream is null", ThrownMessage([] { StreamWriter(nullptr); }));
    MemoryStream stream;
    EXPECT_THROW(StreamWriter(&stream, nullptr, 0), ArgumentOutOfRangeException);
    StreamWriter writer(&stream);
    EXPECT_EQ(Encoding::UTF8(), writer.GetEncoding());
}

TEST(StreamWriter, DefaultUtf8WritesNoByteOrderMark)
{
    MemoryStream stream;
    StreamWriter writer(&stream);
    writer.Write(String(L"caf\u00E9"));
    writer.Flush();
    EXPECT_EQ("caf\xC3\xA9", stream.GetBytes());
}

TEST(StreamWriter, AFileThatReceivedNoTextIsEmpty)
{
    Testing::TempDirectory directory;
    String name = directory.File(L"empty.txt");
    FileStream file(name, FileMode::Create, FileAccess::Write, FileShare::None);
    UTF8Encoding marked(true, false);
    StreamWriter writer(&file, &marked);
    writer.Write(String());
    writer.Close();
    file.Close();
    EXPECT_EQ("", Testing::ReadFileBytes(name));
}

TEST(StreamWriter, ByteOrderMarkComesOnceBeforeTheFirstBytes)
{
    MemoryStream stream;
    StreamWriter writer(&stream, Encoding::UTF16LittleEndian(), 128);
    writer.Write(L'a');
    writer.Flush();
    writer.Write(L'b');
    writer.Flush();
    EXPECT_EQ(std::string("\xFF\xFE"
                          "a\0b\0",
                          6),
              stream.GetBytes());
}

TEST(StreamWriter, TextLongerThanTheBufferArrivesInOrder)
{
    MemoryStream stream;
    StreamWriter writer(&stream, nullptr, 1); // rounded up to 128 characters
    std::wstring text;
    for (int i = 0; i < 1000; i++)
    {
        text += static_cast<wchar_t>(L'a' + i % 26);
    }
    writer.Write(String(text.c_str()));
    EXPECT_EQ(896, stream.GetLength()); // seven full buffers so far
    writer.Close();
    EXPECT_EQ(std::string(text.begin(), text.end()), stream.GetBytes());
}

TEST(StreamWriter, SurrogatePairAcrossTheBufferBoundaryStaysFourBytes)
{
    MemoryStream stream;
    StreamWriter writer(&stream, nullptr, 128);
    writer.Write(String(L'a', 127));
    writer.Write(String(L"\U0001F600!"));
    writer.Close();
    EXPECT_EQ(std::string(127, 'a') + "\xF0\x9F\x98\x80!", stream.GetBytes());
}

TEST(StreamWriter, WriteLineEndsWithCarriageReturnLineFeed)
{
    MemoryStream stream;
    StreamWriter writer(&stream);
    writer.WriteLine(String(L"one"));
    writer.WriteLine();
    writer.Close();
    EXPECT_EQ("one\r\n\r\n", stream.GetBytes());
}

TEST(StreamWriter, ClosedWriterRefusesToWrite)
{
    MemoryStream stream;
    StreamWriter writer(&stream);
    writer.Close();
    writer.Close();
    EXPECT_EQ(L"InvalidOperationException", ThrownMessage([&] { writer.Write(String(L"late")); }));
    EXPECT_EQ(L"InvalidOperationException", ThrownMessage([&] { writer.Flush(); }));
    EXPECT_TRUE(stream.CanWrite()); // the stream stays open unless the writer was told to close it
}

TEST(StreamWriter, ClosesTheStreamWhenAsked)
{
    MemoryStream stream;
    StreamWriter writer(&stream, nullptr, 1024, true);
    writer.Write(String(L"x"));
    writer.Close();
    EXPECT_FALSE(stream.CanWrite());
    EXPECT_EQ("x", stream.GetBytes());
}

TEST(StreamWriter, ADestroyedWriterHasWrittenItsText)
{
    MemoryStream stream;
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         StreamWriter writer(&stream, Encoding::UTF16BigEndian());
                         writer.Write(String(L"hi"));
                     }));
    EXPECT_EQ(std::string("\xFE\xFF\0h\0i", 6), stream.GetBytes());
}

TEST(StreamWriter, AFailingStreamLeavesTheBufferedTextUnwritten)
{
    Testing::TempDirectory directory;
    String name = directory.File(L"read-only.txt");
    Testing::WriteFileBytes(name, "");
    FileStream readOnly(name, FileMode::Open, FileAccess::Read, FileShare::ReadWrite);
    StreamWriter writer(&readOnly);
    writer.Write(String(L"data"));
    EXPECT_EQ(L"Can not write to the stream", ThrownMessage([&] { writer.Flush(); }));
}

namespace
{

// The bytes the encoding makes of the whole text in one call.
std::string EncodedAtOnce(const Encoding* encoding, const std::wstring& text)
{
    std::unique_ptr<Encoder> encoder(encoding->CreateEncoder());
    std::string bytes(static_cast<size_t>(encoding->GetMaxByteCount(static_cast<int>(text.size()))), '\0');
    int count =
        encoder->GetBytes(text.data(), static_cast<int>(text.size()), reinterpret_cast<uint8_t*>(bytes.data()), true);
    bytes.resize(static_cast<size_t>(count));
    return bytes;
}

} // namespace

// However the text is cut into writes (single units, short runs, runs longer than the buffer) and whatever
// it holds (ASCII, two- and three-byte characters, surrogate pairs cut between writes, lone surrogates), the
// stream receives exactly the bytes of encoding it in one piece.
TEST(StreamWriter, TextCutIntoWritesOfAnySizeEncodesAsAWhole)
{
    const wchar_t* pieces[] = {L"plain ascii text", L"\x00E9t\x00E9", L"\x20AC", L"\xD83D\xDE00", L"\xD83D", L"\xDE00",
                               L"<tag attr=\"v\">", L"\r\n\t\t",      L"x",      L"\xD800x",      L"\xDC00"};
    for (const Encoding* encoding : {Encoding::UTF8(), static_cast<const Encoding*>(Encoding::UTF16LittleEndian())})
    {
        unsigned seed = 12345;
        auto next = [&seed](unsigned bound)
        {
            seed = seed * 1103515245u + 12345u;
            return (seed >> 16) % bound;
        };
        for (int round = 0; round < 40; round++)
        {
            std::wstring text;
            while (text.size() < 700)
            {
                text += pieces[next(sizeof(pieces) / sizeof(pieces[0]))];
            }
            MemoryStream stream;
            {
                StreamWriter writer(&stream, encoding, 128);
                size_t at = 0;
                while (at < text.size())
                {
                    unsigned kind = next(4);
                    size_t n = kind == 0 ? 1 : kind == 1 ? 1 + next(8) : kind == 2 ? 1 + next(40) : 100 + next(300);
                    n = std::min(n, text.size() - at);
                    if (n == 1 && next(2) == 0)
                    {
                        writer.Write(text[at]);
                    }
                    else
                    {
                        writer.Write(text.data() + at, static_cast<int>(n));
                    }
                    at += n;
                }
                writer.Close();
            }
            std::string expected = EncodedAtOnce(encoding, text);
            if (encoding != Encoding::UTF8())
            {
                expected = std::string("\xFF\xFE", 2) + expected;
            }
            ASSERT_EQ(expected, stream.GetBytes()) << "round " << round;
        }
    }
}

TEST(StreamWriter, AHighSurrogateLeftAtTheEndBecomesAReplacementCharacter)
{
    MemoryStream stream;
    StreamWriter writer(&stream);
    writer.Write(String(L"a\xD83D"));
    writer.Flush(); // a flush ends the text so far: the unit can no longer be paired
    writer.Write(L'b');
    writer.Write(String(L"\xDBFF"));
    writer.Close();
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD",
              stream.GetBytes());
}

// Bytes put straight into the buffer take their place among the written text, and the buffer is written out
// first when the room asked for is not left.
TEST(StreamWriter, AsciiPutIntoTheBufferKeepsItsPlaceAmongTheText)
{
    MemoryStream stream;
    StreamWriter writer(&stream, nullptr, 128);
    writer.Write(String(L'a', 100));
    Core::IO::AsciiRoom room = writer.LendAscii(20);
    ASSERT_FALSE(room.IsEmpty());
    EXPECT_EQ(0, stream.GetLength()); // 120 characters fit
    room.Write(20, [](uint8_t* out) { return static_cast<int>(std::fill_n(out, 20, 'b') - out); });
    writer.TakeAscii(room);
    room = writer.LendAscii(10);
    ASSERT_FALSE(room.IsEmpty());
    EXPECT_EQ(120, stream.GetLength()); // only 8 were left
    room.Write(10,
               [](uint8_t* out)
               {
                   std::fill_n(out, 10, 'c');
                   return 5; // what is not kept is not written
               });
    writer.TakeAscii(room);
    writer.Write(String(L"\xE9!"));
    writer.Close();
    EXPECT_EQ(std::string(100, 'a') + std::string(20, 'b') + "ccccc\xC3\xA9!", stream.GetBytes());
}

TEST(StreamWriter, AsciiCannotBePutWhereTheWriterNeedsItsEncoder)
{
    MemoryStream stream;
    StreamWriter utf16(&stream, Encoding::UTF16LittleEndian(), 128);
    EXPECT_TRUE(utf16.LendAscii(4).IsEmpty());
    StreamWriter utf8(&stream, nullptr, 128);
    EXPECT_TRUE(utf8.LendAscii(129).IsEmpty()); // more than the buffer holds
    utf8.Write(String(L"x\xD83D"));             // a high surrogate waits for its partner
    EXPECT_TRUE(utf8.LendAscii(4).IsEmpty());
    utf8.Write(String(L"\xDE00"));
    EXPECT_FALSE(utf8.LendAscii(4).IsEmpty());
    utf8.Close();
    EXPECT_TRUE(utf8.LendAscii(4).IsEmpty());
}

// The lent room is the only way into the buffer: it refuses a piece larger than what is left without letting
// the fill write, keeps only what the fill says it wrote, and only the room lent last can be taken back.
TEST(StreamWriter, LentRoomKeepsWritesInsideWhatWasLent)
{
    MemoryStream stream;
    StreamWriter writer(&stream, nullptr, 128);
    Core::IO::AsciiRoom room = writer.LendAscii(10);
    bool called = false;
    EXPECT_EQ(-1, room.Write(11,
                             [&](uint8_t*)
                             {
                                 called = true;
                                 return 11;
                             }));
    EXPECT_FALSE(called);
    EXPECT_EQ(-1, room.Write(4, [](uint8_t* out) { return static_cast<int>(std::fill_n(out, 4, 'x') - out) - 5; }));
    EXPECT_EQ(3, room.Write(4, [](uint8_t* out) { return static_cast<int>(std::fill_n(out, 3, 'a') - out); }));
    EXPECT_TRUE(room.TryPut("bcdefgh"));
    EXPECT_FALSE(room.TryPut('!')); // all ten are used
    Core::IO::AsciiRoom stale = room;
    writer.TakeAscii(room);
    EXPECT_THROW(writer.TakeAscii(stale), Core::InvalidOperationException); // taken already
    writer.Close();
    EXPECT_EQ("aaabcdefgh", stream.GetBytes());
}
