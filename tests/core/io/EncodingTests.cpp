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
    EXPECT_EQ(nullptr, Encoding::GetEncoding(String(L"utf-8 "))); // names are not trimmed or guessed at
    EXPECT_EQ(Encoding::UTF16LittleEndian(), Encoding::GetEncoding(String(L"UTF-16")));
    EXPECT_EQ(Encoding::UTF16BigEndian(), Encoding::GetEncoding(String(L"unicodeFFFE")));
    // IANA aliases lead to the same code page as the preferred name.
    const std::pair<const wchar_t*, int> aliases[] = {
        {L"csShiftJIS", 932}, {L"MS_Kanji", 932}, {L"csGB2312", 936},      {L"KS_C_5601-1987", 949},
        {L"EUC-KR", 949},     {L"csBig5", 950},   {L"IBM850", 850},        {L"iso-ir-144", 28595},
        {L"KOI8-R", 20866},   {L"EUC-JP", 51932}, {L"ISO-2022-JP", 50221}, {L"csISO2022JP", 50221},
        {L"UTF-7", 65000},
    };
    for (const auto& [name, codePage] : aliases)
    {
        const Encoding* encoding = Encoding::GetEncoding(String(name));
        ASSERT_NE(nullptr, encoding) << name;
        EXPECT_EQ(codePage, encoding->GetCodePage()) << name;
    }
}

// --- multi-byte code pages ---

namespace
{

// The encodings a document can name whose characters take more than one byte. Any of them the system cannot
// convert is not offered (GetEncoding gives null) and is left out.
const wchar_t* const MultiByteNames[] = {
    L"shift_jis",
    L"gbk",
    L"big5",
    L"euc-kr",
    L"johab",
    L"x-mac-japanese",
    L"x-mac-chinesetrad",
    L"x-mac-korean",
    L"x-mac-chinesesimp",
    L"x-cp20949",
    L"gb18030",
    L"euc-jp",
    L"iso-2022-jp",
    L"utf-7",
};

// Characters of several scripts; each test keeps those the encoding round-trips.
const wchar_t Candidates[] = L"Aあア一漢字가한ｱé§　丂績z+-";

std::wstring SampleFor(const Encoding* encoding)
{
    std::wstring kept;
    for (const wchar_t* c = Candidates; *c != 0; c++)
    {
        std::wstring one(1, *c);
        if (Decode(encoding, Encode(encoding, one)) == one)
        {
            kept += *c;
        }
    }
    // Repeated with a shifting run of ASCII between, so that every character meets every chunk offset.
    std::wstring sample;
    for (int i = 0; i < 12; i++)
    {
        sample += kept + std::wstring(static_cast<size_t>(i % 3), L'x');
    }
    return sample;
}

} // namespace

// A character cut in two by the end of a chunk must come out whole, wherever the cut falls.
TEST(CodePageEncoding, ACharacterSplitBetweenChunksIsDecodedOnce)
{
    int tested = 0;
    for (const wchar_t* name : MultiByteNames)
    {
        const Encoding* encoding = Encoding::GetEncoding(String(name));
        if (encoding == nullptr)
        {
            continue;
        }
        std::wstring sample = SampleFor(encoding);
        std::string bytes = Encode(encoding, sample);
        ASSERT_GT(bytes.size(), sample.size() + 40) << "too few multi-byte characters in the sample for " << name;
        ASSERT_EQ(sample, Decode(encoding, bytes)) << name;
        for (size_t cut = 0; cut <= bytes.size(); cut++)
        {
            std::unique_ptr<Decoder> decoder(encoding->CreateDecoder());
            std::wstring text(static_cast<size_t>(encoding->GetMaxCharCount(static_cast<int>(bytes.size()))), L'\0');
            const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
            int n = decoder->GetChars(data, static_cast<int>(cut), text.data(), false);
            n += decoder->GetChars(data + cut, static_cast<int>(bytes.size() - cut), text.data() + n, true);
            ASSERT_EQ(sample, text.substr(0, static_cast<size_t>(n))) << name << " cut at byte " << cut;
        }
        for (int piece : {1, 2, 3, 7})
        {
            EXPECT_EQ(sample, Decode(encoding, bytes, piece)) << name << " in pieces of " << piece;
        }
        tested++;
    }
    EXPECT_GE(tested, 8); // Shift_JIS, GBK, Big5, EUC-KR, Johab, EUC-JP, ISO-2022-JP, UTF-7 at least
}

// EUC-JP writes JIS X 0212 in three bytes and half-width katakana after 8E; ISO-2022-JP switches sets with escapes
// and ends in ASCII.
TEST(CodePageEncoding, JapaneseFormsAreWrittenAsTheirStandardsSay)
{
    const Encoding* euc = Encoding::GetEncoding(String(L"EUC-JP"));
    const Encoding* iso = Encoding::GetEncoding(String(L"ISO-2022-JP"));
    ASSERT_NE(nullptr, euc);
    ASSERT_NE(nullptr, iso);
    EXPECT_EQ("a\xA4\xA2\x8F\xB0\xA1\x8E\xB1", Encode(euc, L"a\u3042\u4E02\uFF71"));
    EXPECT_EQ(L"a\u3042\u4E02\uFF71", Decode(euc, "a\xA4\xA2\x8F\xB0\xA1\x8E\xB1"));
    EXPECT_EQ("a\x1B$B$\"\x1B$(D0!\x1B(I1\x1B(Bb", Encode(iso, L"a\u3042\u4E02\uFF71b"));
    EXPECT_EQ(L"a\u3042\u4E02\uFF71b", Decode(iso, "a\x1B$B$\"\x1B$(D0!\x1B(I1\x1B(Bb"));
    EXPECT_EQ(L"\u3042\uFF71", Decode(iso, "\x1B$@$\"\x0E"
                                           "1\x0F")); // the older 0208 escape; SO and SI for kana
    // Bytes that cannot be what they start are replaced, and what follows them is still read.
    const std::wstring r(1, 0xFFFD);
    EXPECT_EQ(r + L"a", Decode(euc, "\xA4"
                                    "a"));
    EXPECT_EQ(L"a" + r, Decode(euc, "a\x8F\xB0"));
    EXPECT_EQ(r + L"(Zb", Decode(iso, "\x1B(Zb"));
    EXPECT_EQ(r, Decode(iso, "\x1B$B$"));
}
