#include "core/io/Encoding.h"

#include "core/Exception.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <windows.h>

using namespace Core;
using namespace Core::IO;

namespace
{

// Encodes text in one call, or in pieces of `piece` units with the final call flushing.
std::string Encode(const Encoding* encoding, const std::wstring& text, int piece = 0)
{
    std::unique_ptr<Encoder> encoder(encoding->CreateEncoder());
    int size = static_cast<int>(text.size());
    if (piece <= 0)
    {
        piece = size > 0 ? size : 1;
    }
    std::string bytes;
    int done = 0;
    do
    {
        int n = size - done < piece ? size - done : piece;
        std::string chunk(static_cast<size_t>(encoding->GetMaxByteCount(n)), '\0');
        int written =
            encoder->GetBytes(text.data() + done, n, reinterpret_cast<uint8_t*>(chunk.data()), done + n >= size);
        bytes.append(chunk.data(), static_cast<size_t>(written));
        done += n;
    } while (done < size);
    return bytes;
}

// Decodes bytes handed over `piece` bytes at a time (0: all at once).
std::wstring Decode(const Encoding* encoding, const std::string& bytes, int piece = 0)
{
    std::unique_ptr<Decoder> decoder(encoding->CreateDecoder());
    int size = static_cast<int>(bytes.size());
    if (piece <= 0)
    {
        piece = size > 0 ? size : 1;
    }
    std::wstring text;
    int done = 0;
    do
    {
        int n = size - done < piece ? size - done : piece;
        std::wstring chunk(static_cast<size_t>(encoding->GetMaxCharCount(n)), L'\0');
        int written = decoder->GetChars(reinterpret_cast<const uint8_t*>(bytes.data()) + done, n, chunk.data(), false);
        text.append(chunk.data(), static_cast<size_t>(written));
        done += n;
    } while (done < size);
    std::wstring rest(8, L'\0');
    text.append(rest.data(), static_cast<size_t>(decoder->GetChars(nullptr, 0, rest.data(), true)));
    return text;
}

const std::wstring Mixed = L"A\u00E9\u20AC\U0001F600z"; // 1-, 2-, 3- and 4-byte UTF-8 sequences
const std::string MixedUtf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";

} // namespace

// --- UTF-8 encoding ---

TEST(Utf8Encoding, EncodesEachLengthAndSurrogatePairsAsFourBytes)
{
    EXPECT_EQ(MixedUtf8, Encode(Encoding::UTF8(), Mixed));
    EXPECT_EQ(4u, Encode(Encoding::UTF8(), L"\U0001F600").size());
    EXPECT_EQ("\xF4\x8F\xBF\xBF", Encode(Encoding::UTF8(), L"\U0010FFFF"));
}

TEST(Utf8Encoding, APairSplitBetweenChunksStaysOneSequence)
{
    for (int piece = 1; piece <= 6; piece++)
    {
        EXPECT_EQ(MixedUtf8, Encode(Encoding::UTF8(), Mixed, piece)) << "piece " << piece;
    }
}

TEST(Utf8Encoding, UnpairedSurrogatesTakeThreeBytesOrThrow)
{
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ("a" + replacement + "b", Encode(Encoding::UTF8(), L"a\xD800"
                                                                L"b"));
    EXPECT_EQ("a" + replacement, Encode(Encoding::UTF8(), L"a\xDC00"));
    EXPECT_EQ(replacement, Encode(Encoding::UTF8(), L"\xD83D")); // high surrogate at the very end
    UTF8Encoding strict(false, true);
    EXPECT_THROW(Encode(&strict, L"a\xD800"
                                 L"b"),
                 ArgumentException);
    EXPECT_EQ(MixedUtf8, Encode(&strict, Mixed));
}

TEST(Utf8Encoding, PreambleOnlyWhenAsked)
{
    uint8_t bytes[4];
    EXPECT_EQ(0, Encoding::UTF8()->GetPreamble(bytes));
    UTF8Encoding marked(true, false);
    ASSERT_EQ(3, marked.GetPreamble(bytes));
    EXPECT_EQ(0xEF, bytes[0]);
    EXPECT_EQ(0xBF, bytes[2]);
}

TEST(Utf8Encoding, ByteCount)
{
    EXPECT_EQ(11, Encoding::UTF8()->GetByteCount(Mixed.data(), static_cast<int>(Mixed.size())));
    EXPECT_EQ(0, Encoding::UTF8()->GetByteCount(L"", 0));
    std::wstring long_(5000, L'\u00E9');
    EXPECT_EQ(10000, Encoding::UTF8()->GetByteCount(long_.data(), 5000));
    EXPECT_THROW(Encoding::UTF8()->GetByteCount(L"x", -1), ArgumentOutOfRangeException);
}

// --- UTF-8 decoding ---

TEST(Utf8Decoding, SequencesSplitAtEveryBoundaryDecodeTheSame)
{
    for (int piece = 0; piece <= 5; piece++)
    {
        EXPECT_EQ(Mixed, Decode(Encoding::UTF8(), MixedUtf8, piece)) << "piece " << piece;
    }
}

TEST(Utf8Decoding, MalformedInputBecomesReplacementCharacters)
{
    const std::wstring r = L"\xFFFD";
    EXPECT_EQ(L"a" + r + L"b", Decode(Encoding::UTF8(), "a\x80"
                                                        "b"));      // lone continuation
    EXPECT_EQ(r + r, Decode(Encoding::UTF8(), "\xC0\x80"));         // overlong lead
    EXPECT_EQ(r, Decode(Encoding::UTF8(), "\xE0\x80\x80"));         // overlong three-byte form
    EXPECT_EQ(r, Decode(Encoding::UTF8(), "\xED\xA0\x80"));         // encoded surrogate
    EXPECT_EQ(r + L"x", Decode(Encoding::UTF8(), "\xE2\x82x"));     // cut short by an ASCII byte
    EXPECT_EQ(L"a" + r, Decode(Encoding::UTF8(), "a\xF0\x9F\x98")); // cut short by the end
    EXPECT_EQ(L"a" + r, Decode(Encoding::UTF8(), "a\xF0\x9F\x98", 1));
    EXPECT_EQ(r, Decode(Encoding::UTF8(), "\xF5\x80\x80\x80").substr(0, 1)); // above U+10FFFF
}

// --- UTF-16 ---

TEST(Utf16Encoding, BothByteOrdersWithMarksAndOddSplits)
{
    EXPECT_EQ(std::string("A\0\x01\xD8", 4), Encode(Encoding::UTF16LittleEndian(), L"A\xD801"));
    EXPECT_EQ(std::string("\0A\xD8\x01", 4), Encode(Encoding::UTF16BigEndian(), L"A\xD801"));
    uint8_t mark[4];
    ASSERT_EQ(2, Encoding::UTF16LittleEndian()->GetPreamble(mark));
    EXPECT_EQ(0xFF, mark[0]);
    ASSERT_EQ(2, Encoding::UTF16BigEndian()->GetPreamble(mark));
    EXPECT_EQ(0xFE, mark[0]);
    UnicodeEncoding unmarked(false, false);
    EXPECT_EQ(0, unmarked.GetPreamble(mark));
    for (int piece = 0; piece <= 3; piece++)
    {
        EXPECT_EQ(Mixed, Decode(Encoding::UTF16LittleEndian(), Encode(Encoding::UTF16LittleEndian(), Mixed), piece));
        EXPECT_EQ(Mixed, Decode(Encoding::UTF16BigEndian(), Encode(Encoding::UTF16BigEndian(), Mixed), piece));
    }
    EXPECT_EQ(L"A\xFFFD", Decode(Encoding::UTF16LittleEndian(), std::string("A\0B", 3)));
}

// --- the system default ---

TEST(DefaultEncoding, FollowsTheAnsiCodePage)
{
    const Encoding* encoding = Encoding::GetDefault();
    UINT codePage = GetACP();
    if (codePage == 65001)
    {
        EXPECT_EQ(Encoding::UTF8(), encoding);
        return;
    }
    EXPECT_EQ(static_cast<int>(codePage), encoding->GetCodePage());
    if (codePage == 1252)
    {
        EXPECT_EQ("caf\xE9", Encode(encoding, L"caf\u00E9"));
        EXPECT_EQ(L"caf\u00E9", Decode(encoding, "caf\xE9"));
    }
    EXPECT_EQ("plain ASCII", Encode(encoding, L"plain ASCII"));
}

// Documents name their encodings in any case and by the usual aliases; names the foundation does not know give
// null, so the caller keeps its own.
TEST(Encoding, IsFoundByTheNameADocumentGives)
{
    EXPECT_EQ(Encoding::UTF8(), Encoding::GetEncoding(String(L"utf-8")));
    EXPECT_EQ(Encoding::UTF8(), Encoding::GetEncoding(String(L"UTF8")));
    const Encoding* latin1 = Encoding::GetEncoding(String(L"ISO-8859-1"));
    ASSERT_NE(nullptr, latin1);
    EXPECT_EQ(28591, latin1->GetCodePage());
    EXPECT_EQ(latin1, Encoding::GetEncoding(String(L"latin1")));
    ASSERT_NE(nullptr, Encoding::GetEncoding(String(L"Windows-1252")));
    EXPECT_EQ(1252, Encoding::GetEncoding(String(L"Windows-1252"))->GetCodePage());
    EXPECT_EQ(nullptr, Encoding::GetEncoding(String(L"x-unknown")));
    EXPECT_EQ(nullptr, Encoding::GetEncoding(String(L"")));
    EXPECT_EQ(nullptr, Encoding::GetEncoding(String(L"utf-16"))); // a text that can be sniffed is not UTF-16
}
