#include "core/String.h"

#include "core/Exception.h"
#include "core/collections/Array.h"
#include "tests/support/AllocationCounter.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <gtest/gtest.h>

using Core::ArgumentException;
using Core::ArgumentNullException;
using Core::ArgumentOutOfRangeException;
using Core::String;

namespace
{

// Message of the ArgumentOutOfRangeException that call throws, with its index.
template <typename Call> std::pair<String, int> OutOfRange(Call call)
{
    try
    {
        call();
    }
    catch (const ArgumentOutOfRangeException& e)
    {
        return {e.GetMessageText(), e.GetIndex()};
    }
    ADD_FAILURE() << "no ArgumentOutOfRangeException";
    return {String(), -1};
}

void ExpectText(const wchar_t* expected, const String& actual)
{
    EXPECT_STREQ(expected, actual.GetBuffer());
    EXPECT_EQ(static_cast<int>(std::wcslen(expected)), actual.GetLength());
}

} // namespace

// --- construction and storage ---

TEST(StringConstruction, NullAndEmptySourcesGiveALoneTerminator)
{
    const String fromNullWide(static_cast<const wchar_t*>(nullptr));
    const String fromNullNarrow(static_cast<const char*>(nullptr));
    const String byDefault;
    for (const String* s : {&fromNullWide, &fromNullNarrow, &byDefault, &String::Empty})
    {
        EXPECT_EQ(0, s->GetLength());
        ASSERT_NE(nullptr, s->GetBuffer());
        EXPECT_EQ(0, s->GetBuffer()[0]);
    }
}

TEST(StringConstruction, BuffersAndLengthsCopyExactly)
{
    ExpectText(L"abc", String(L"abcdef", 3));
    ExpectText(L"abc", String("abcdef", 3));
    ExpectText(L"hello", String("hello"));
    // Embedded NULs are kept when a length is given.
    String withNul(L"a\0b", 3);
    EXPECT_EQ(3, withNul.GetLength());
    EXPECT_EQ(L'b', withNul[2]);
}

TEST(StringConstruction, NarrowBytesBecomeOneUnitEach)
{
    String latin("\xE9t\xE9");
    ASSERT_EQ(3, latin.GetLength());
    EXPECT_EQ(0xE9, latin[0]);
}

TEST(StringConstruction, FillRepeatsTheCharacterAndIgnoresNegativeCounts)
{
    ExpectText(L"xxx", String(L'x', 3));
    ExpectText(L"---", String('-', 3));
    ExpectText(L"", String(L'x', 0));
    ExpectText(L"", String(L'x', -5));
}

TEST(StringConstruction, CopiesOwnTheirBuffers)
{
    String original(L"abc");
    String copy(original);
    EXPECT_NE(original.GetBuffer(), copy.GetBuffer());
    original += L"d";
    ExpectText(L"abc", copy);
}

TEST(StringConstruction, AssignmentIncludingSelfAssignment)
{
    String s(L"one");
    const String& alias = s;
    s = alias;
    ExpectText(L"one", s);
    s = L"two";
    ExpectText(L"two", s);
    s = "three";
    ExpectText(L"three", s);
    s = static_cast<const wchar_t*>(nullptr);
    ExpectText(L"", s);
    String other(L"moved");
    s = std::move(other);
    ExpectText(L"moved", s);
    // The source of a move still holds a valid terminated buffer.
    ASSERT_NE(nullptr, other.GetBuffer());
    EXPECT_EQ(0, other.GetBuffer()[other.GetLength()]);
}

TEST(StringConstruction, EveryChangeReallocatesExactlyAndNothingLeaks)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         String s(L"a");
                         const wchar_t* before = s.GetBuffer();
                         Testing::AllocationScope scope;
                         s += L"b";
                         EXPECT_EQ(1, scope.Allocations());
                         EXPECT_NE(before, s.GetBuffer());
                         String t = s + L"c" + 5;
                         t = s;
                         t += t;
                         ExpectText(L"abab", t);
                         (void)t.Split(String(L"a"));
                     }));
}

TEST(StringConstruction, ResourceStringsAreLoadedAndCut)
{
    ExpectText(L"Version 1.0.0.0", String(Core::ResourceId(100), 256));
    // A buffer of 8 characters holds 7 and the terminator.
    ExpectText(L"Version", String(Core::ResourceId(100), 8));
    ExpectText(L"", String(Core::ResourceId(4242), 256));
}

// --- appending and concatenation ---

TEST(StringAppend, NumbersAreFormattedBeforeAppending)
{
    String s;
    s += 42;
    s += L' ';
    s += -7L;
    s += ' ';
    s += static_cast<short>(-32768);
    s += " ";
    s += 4294967295u;
    ExpectText(L"42 -7 -32768 4294967295", s);
}

TEST(StringAppend, MostNegativeIntKeepsAllTenDigits)
{
    String s(L"n=");
    s += INT_MIN;
    ExpectText(L"n=-2147483648", s);
}

TEST(StringAppend, FloatingPointUsesSixDecimals)
{
    String s;
    s += 2.5;
    s += L"|";
    s += 0.1;
    s += L"|";
    s += 1.5f;
    s += L"|";
    s += -0.0000004;
    ExpectText(L"2.500000|0.100000|1.500000|-0.000000", s);
    String large;
    large += 1e300;
    EXPECT_EQ(301 + 7, large.GetLength());
}

TEST(StringAppend, BooleansAppendTrueAndFalse)
{
    String s;
    s += true;
    s += false;
    ExpectText(L"TrueFalse", s);
}

TEST(StringAppend, NullAndEmptyPiecesAppendNothing)
{
    String s(L"x");
    s += static_cast<const wchar_t*>(nullptr);
    s += static_cast<const char*>(nullptr);
    s += String();
    ExpectText(L"x", s);
}

TEST(StringAppend, ConcatenationLeavesOperandsUnchanged)
{
    const String left(L"Loading ...");
    ExpectText(L"Loading ...12", left + 12);
    ExpectText(L"Loading ...-3", left + -3L);
    ExpectText(L"Loading ... records", left + " records");
    ExpectText(L"Loading ...!", left + String(L"!"));
    ExpectText(L"\\WmiReport_x", L"\\WmiReport_" + String(L"x"));
    ExpectText(L"ab", "a" + String(L"b"));
    ExpectText(L"Loading ...", left);
}

// --- comparison and indexing ---

TEST(StringCompare, EqualityIsOrdinalAndCaseSensitive)
{
    EXPECT_TRUE(String() == String(L""));
    EXPECT_TRUE(String(L"abc") == String("abc"));
    EXPECT_FALSE(String(L"abc") == String(L"ABC"));
    EXPECT_TRUE(String(L"abc") != String(L"abcd"));
}

TEST(StringCompare, NullPointers)
{
    String a(L"a");
    EXPECT_EQ(0, String::Compare(nullptr, 0, nullptr, 0, 5));
    EXPECT_EQ(1, String::Compare(&a, 0, nullptr, 0, 1));
    EXPECT_EQ(-1, String::Compare(nullptr, 0, &a, 0, 1));
}

TEST(StringCompare, RangesAndDifferences)
{
    String empty;
    String abc(L"abc");
    String abd(L"abd");
    String ab(L"ab");
    EXPECT_EQ(0, String::Compare(&empty, 0, &abc, 0, 3));
    EXPECT_EQ(0, String::Compare(&abc, 0, &abc, 0, 0));
    EXPECT_EQ(L'c' - L'd', String::Compare(&abc, 0, &abd, 0, 3));
    EXPECT_EQ(0, String::Compare(&abc, 0, &abd, 0, 2));
    EXPECT_EQ(-1, String::Compare(&ab, 0, &abc, 0, 3));
    EXPECT_EQ(1, String::Compare(&abc, 0, &ab, 0, 3));
    EXPECT_EQ(0, String::Compare(&abc, 1, &abd, 1, 1));
    // Units compare as unsigned 16-bit values.
    String high(L"\xFFFF");
    String low(L"a");
    EXPECT_GT(String::Compare(&high, 0, &low, 0, 1), 0);
}

TEST(StringCompare, NegativeArgumentsAreOutOfRange)
{
    String abc(L"abc");
    EXPECT_EQ(-1, OutOfRange([&] { String::Compare(&abc, -1, &abc, 0, 1); }).second);
    EXPECT_EQ(-2, OutOfRange([&] { String::Compare(&abc, 0, &abc, -2, 1); }).second);
    EXPECT_EQ(-3, OutOfRange([&] { String::Compare(&abc, 0, &abc, 0, -3); }).second);
    EXPECT_THROW(String::Compare(&abc, 4, &abc, 0, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(String::Compare(&abc, 0, &abc, 5, 1), ArgumentOutOfRangeException);
    EXPECT_EQ(0, String::Compare(&abc, 3, &abc, 0, 1));
}

TEST(StringIndexer, ReadsUnitsAndRejectsOutsideIndexes)
{
    String abc(L"abc");
    EXPECT_EQ(L'a', abc[0]);
    EXPECT_EQ(L'c', abc[2]);
    auto [message, index] = OutOfRange([&] { (void)abc[3]; });
    ExpectText(L"Index should be within the string - 3", message);
    EXPECT_EQ(3, index);
    ExpectText(L"Index should be within the string - -1", OutOfRange([&] { (void)abc[-1]; }).first);
    ExpectText(L"Index should be within the string - 0", OutOfRange([] { (void)String()[0]; }).first);
}

// --- substrings and searching ---

TEST(StringSubstring, ValidRanges)
{
    String s(L"Win32_Process");
    ExpectText(L"Win32", s.Substring(0, 5));
    ExpectText(L"Process", s.Substring(6));
    ExpectText(L"s", s.Substring(12, 1));
}

TEST(StringSubstring, CountZeroSkipsEveryCheck)
{
    ExpectText(L"", String(L"abc").Substring(1000, 0));
    ExpectText(L"", String().Substring(-5, 0));
}

TEST(StringSubstring, BadStartOrEndNamesTheOffendingIndex)
{
    String abc(L"abc");
    auto start = OutOfRange([&] { abc.Substring(3, 1); });
    ExpectText(L"Index should be within the string - 3", start.first);
    EXPECT_EQ(3, start.second);
    auto end = OutOfRange([&] { abc.Substring(1, 5); });
    ExpectText(L"Index should be within the string - 5", end.first);
    EXPECT_EQ(5, end.second);
    EXPECT_THROW(abc.Substring(-1, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(abc.Substring(4), ArgumentOutOfRangeException);
    ExpectText(L"", abc.Substring(3)); // start == length leaves a count of 0
    // A negative count is rejected rather than producing a negative length.
    EXPECT_THROW(abc.Substring(1, -1), ArgumentOutOfRangeException);
}

TEST(StringIndexOfChar, ScansTheGivenRange)
{
    String s(L"a.b.c");
    EXPECT_EQ(1, s.IndexOf(L'.', 0));
    EXPECT_EQ(3, s.IndexOf(L'.', 2));
    EXPECT_EQ(-1, s.IndexOf(L'.', 2, 1));
    EXPECT_EQ(-1, s.IndexOf(L'x', 0));
    EXPECT_EQ(4, s.IndexOf(L'c', 4, 1));
}

TEST(StringIndexOfChar, EmptyStringFindsNothingForAnyStart)
{
    EXPECT_EQ(-1, String().IndexOf(L'a', 0));
    EXPECT_EQ(-1, String().IndexOf(L'a', 99, 3));
    EXPECT_EQ(-1, String().IndexOf(L'a', -4));
}

TEST(StringIndexOfChar, RangeViolations)
{
    String s(L"abc");
    auto start = OutOfRange([&] { s.IndexOf(L'a', 3, 0); });
    ExpectText(L"Argument index is out of range: 3", start.first);
    EXPECT_THROW(s.IndexOf(L'a', -1, 1), ArgumentOutOfRangeException);
    try
    {
        s.IndexOf(L'a', 1, 3);
        FAIL() << "no ArgumentException";
    }
    catch (const ArgumentException& e)
    {
        ExpectText(L"", e.GetMessageText());
    }
}

TEST(StringIndexOfString, FindsWithinStartAndCount)
{
    String s(L"abcabc");
    EXPECT_EQ(4, s.IndexOf(String(L"bc"), 2, 4));
    EXPECT_EQ(1, s.IndexOf(String(L"bc"), 0));
    EXPECT_EQ(1, s.IndexOf(L"bc"));
    EXPECT_EQ(-1, s.IndexOf(String(L"bc"), 2, 2));
    EXPECT_EQ(-1, s.IndexOf(String(L"abcabcd"), 0));
    EXPECT_EQ(3, s.IndexOf(String(L"abc"), 1));
}

TEST(StringIndexOfString, EmptyValuesAndCounts)
{
    String s(L"abc");
    EXPECT_EQ(2, s.IndexOf(String(), 2));
    EXPECT_EQ(-1, s.IndexOf(String(L"a"), 0, 0));
    EXPECT_EQ(-1, s.IndexOf(String(L"a"), 99, -1));
    EXPECT_EQ(-1, String().IndexOf(String(L"a"), 0));
    EXPECT_THROW(s.IndexOf(String(L"a"), 3, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(s.IndexOf(static_cast<const wchar_t*>(nullptr)), ArgumentNullException);
}

TEST(StringLastIndexOf, ScansBackwardOverCount)
{
    String s(L"a.b.c");
    EXPECT_EQ(3, s.LastIndexOf(L'.', 4, 5));
    EXPECT_EQ(1, s.LastIndexOf(L'.', 2, 3));
    EXPECT_EQ(-1, s.LastIndexOf(L'.', 2, 1));
    // Start 0 and count 1 looks at position 0 only.
    EXPECT_EQ(0, s.LastIndexOf(L'a', 0, 1));
    EXPECT_EQ(-1, s.LastIndexOf(L'.', 0, 1));
    EXPECT_THROW(s.LastIndexOf(L'.', 5, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(s.LastIndexOf(L'.', 1, 3), ArgumentException);
    EXPECT_THROW(String().LastIndexOf(L'.', 0, 0), ArgumentOutOfRangeException);
}

TEST(StringSplit, KeepsEmptyPieces)
{
    auto pieces = String(L"a,,b").Split(String(L","));
    ASSERT_EQ(3, pieces.GetLength());
    ExpectText(L"a", pieces[0]);
    ExpectText(L"", pieces[1]);
    ExpectText(L"b", pieces[2]);

    auto trailing = String(L"a,").Split(String(L","));
    ASSERT_EQ(2, trailing.GetLength());
    ExpectText(L"a", trailing[0]);
    ExpectText(L"", trailing[1]);

    auto leading = String(L",a").Split(String(L","));
    ASSERT_EQ(2, leading.GetLength());
    ExpectText(L"", leading[0]);
}

TEST(StringSplit, MultiUnitSeparatorsAndEdgeInputs)
{
    auto pieces = String(L"Name, ProcessId, Caption").Split(String(L", "));
    ASSERT_EQ(3, pieces.GetLength());
    ExpectText(L"ProcessId", pieces[1]);

    auto none = String(L"abc").Split(String(L";"));
    ASSERT_EQ(1, none.GetLength());
    ExpectText(L"abc", none[0]);

    auto empty = String().Split(String(L","));
    ASSERT_EQ(1, empty.GetLength());
    ExpectText(L"", empty[0]);

    auto only = String(L",").Split(String(L","));
    ASSERT_EQ(2, only.GetLength());

    // An empty separator cannot advance; the whole text is one piece instead of an endless loop.
    auto whole = String(L"abc").Split(String());
    ASSERT_EQ(1, whole.GetLength());
    ExpectText(L"abc", whole[0]);
}

// --- case and padding ---

TEST(StringCase, OnlyAsciiLettersChange)
{
    ExpectText(L"WIN32_PROCESS \xE9", String(L"Win32_Process \xE9").ToUpper());
    ExpectText(L"localhost 127.0.0.1", String(L"LocalHost 127.0.0.1").ToLower());
    ExpectText(L"", String().ToUpper());
}

TEST(StringPad, PadsOnTheRequestedSide)
{
    ExpectText(L"0007", String(L"7").PadLeft(4, L'0'));
    ExpectText(L"7...", String(L"7").PadRight(4, L'.'));
    ExpectText(L"  ab", String(L"ab").Pad(4, L' ', String::PadLeftSide));
    ExpectText(L"abcde", String(L"abcde").PadLeft(3, L'0'));
    ExpectText(L"abc", String(L"abc").PadRight(3, L'0'));
    ExpectText(L"abc", String(L"abc").PadRight(-1, L'0'));
}

namespace
{
const void* watchedBlock = nullptr;
wchar_t seenAtRelease[8] = {};

void RememberWatchedBlock(const void* block)
{
    if (block == watchedBlock)
    {
        std::memcpy(seenAtRelease, block, sizeof(seenAtRelease));
    }
}
} // namespace

// A password's copy is zeroed before its memory goes back to the heap, where another allocation could read it.
TEST(StringWipe, ZeroesTheUnitsBeforeTheBufferIsFreed)
{
    String password(L"s3cret!");
    watchedBlock = password.GetBuffer();
    std::fill(seenAtRelease, seenAtRelease + 8, L'x');
    Testing::AllocationCounter::ObserveReleases(RememberWatchedBlock);
    password.Wipe();
    Testing::AllocationCounter::ObserveReleases(nullptr);
    EXPECT_TRUE(password.IsEmpty());
    for (int i = 0; i < 7; i++)
    {
        EXPECT_EQ(0, seenAtRelease[i]) << i;
    }
    password.Wipe(); // an empty string has nothing to wipe
    EXPECT_TRUE(password.IsEmpty());
}
