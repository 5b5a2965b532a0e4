#include "reports/DelimitedWriter.h"

#include "core/io/MemoryStream.h"
#include "tests/reports/SampleReport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

using Core::String;
using Core::IO::MemoryStream;
using Core::IO::StreamWriter;
using Reports::DelimitedWriter;
using ReportsTesting::MakeObject;
using Testing::ThrownMessage;

namespace
{

// The bytes the writer produces for object with separator.
std::string Delimited(WMI::ManagementObject* object, const wchar_t* separator)
{
    MemoryStream stream;
    StreamWriter writer(&stream);
    DelimitedWriter::Write(object, writer, String(separator));
    writer.Close();
    return stream.GetBytes();
}

} // namespace

// --- layout ---

TEST(DelimitedWriter, ThreeColumnsWithoutInstancesGiveOneLine)
{
    auto object = MakeObject(L"Win32_Process", {L"Name", L"ProcessId", L"Caption"});
    EXPECT_EQ("Name,ProcessId,Caption\r\n", Delimited(object.get(), L","));
    EXPECT_EQ("Name\tProcessId\tCaption\r\n", Delimited(object.get(), L"\t"));
}

TEST(DelimitedWriter, RowsFollowInOrderEachEndedByCarriageReturnLineFeed)
{
    auto object = MakeObject(L"Win32_Process", {L"Name", L"ProcessId", L"Caption"},
                             {{L"System", L"4", L"System"}, {L"smss.exe", L"312", L""}, {L"", L"", L""}});
    EXPECT_EQ("Name,ProcessId,Caption\r\nSystem,4,System\r\nsmss.exe,312,\r\n,,\r\n", Delimited(object.get(), L","));
    EXPECT_EQ("Name\tProcessId\tCaption\r\nSystem\t4\tSystem\r\nsmss.exe\t312\t\r\n\t\t\r\n",
              Delimited(object.get(), L"\t"));
}

// With the user's "Show value names" a value is written as shown, given its column: quoted when what is shown needs
// it, the header and the values left as they are where nothing is made of them.
TEST(DelimitedWriter, ShownValuesAreWrittenInPlaceOfTheLoadedOnes)
{
    auto object = MakeObject(L"Win32_Service", {L"Name", L"State"}, {{L"Spooler", L"2"}, {L"Audio", L"9"}});
    MemoryStream stream;
    StreamWriter writer(&stream);
    std::vector<int> columns;
    DelimitedWriter::Write(object.get(), writer, String(L","),
                           [&](int column, const String& value)
                           {
                               columns.push_back(column);
                               return column == 1 ? value + L" (Running, Paused)" : value;
                           });
    writer.Close();
    EXPECT_EQ("Name,State\r\nSpooler,\"2 (Running, Paused)\"\r\nAudio,\"9 (Running, Paused)\"\r\n", stream.GetBytes());
    EXPECT_EQ((std::vector<int>{0, 1, 0, 1}), columns);
}

TEST(DelimitedWriter, OneColumnHasNoSeparatorAtAll)
{
    auto object = MakeObject(L"Win32_Thing", {L"Name"}, {{L"one"}, {L"two"}});
    EXPECT_EQ("Name\r\none\r\ntwo\r\n", Delimited(object.get(), L","));
}

TEST(DelimitedWriter, NoColumnsGiveEmptyLines)
{
    auto object = MakeObject(L"Win32_Thing", {});
    EXPECT_EQ("\r\n", Delimited(object.get(), L","));
    object->GetRows().Add(new WMI::Row());
    EXPECT_EQ("\r\n\r\n", Delimited(object.get(), L","));
}

TEST(DelimitedWriter, TextIsUtf8WithoutByteOrderMark)
{
    auto object = MakeObject(L"Win32_Thing", {L"Name"}, {{L"caf\u00E9 \u65E5 \U0001F600"}});
    EXPECT_EQ("Name\r\ncaf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\r\n", Delimited(object.get(), L","));
}

TEST(DelimitedWriter, ManyRowsCrossTheWriterBufferInOrder)
{
    auto object = MakeObject(L"Win32_Thing", {L"Index", L"Text"});
    std::string expected = "Index,Text\r\n";
    for (int i = 0; i < 3000; i++)
    {
        auto* row = new WMI::Row();
        object->GetRows().Add(row);
        row->Add(String(L"") + i);
        row->Add(String(L"value number ") + i);
        expected += std::to_string(i) + ",value number " + std::to_string(i) + "\r\n";
    }
    EXPECT_EQ(expected, Delimited(object.get(), L","));
}

// --- quoting: only a field holding the separator, a double quote, CR or LF is quoted ---

TEST(DelimitedWriter, FieldHoldingTheSeparatorIsQuoted)
{
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B"}, {{L"a,b", L"tab\there"}});
    EXPECT_EQ("A,B\r\n\"a,b\",tab\there\r\n", Delimited(object.get(), L","));
    EXPECT_EQ("A\tB\r\na,b\t\"tab\there\"\r\n", Delimited(object.get(), L"\t"));
}

TEST(DelimitedWriter, DoubleQuotesAreDoubledInsideQuotes)
{
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B", L"C"}, {{L"say \"hi\"", L"\"", L"\"\""}});
    EXPECT_EQ("A,B,C\r\n\"say \"\"hi\"\"\",\"\"\"\",\"\"\"\"\"\"\r\n", Delimited(object.get(), L","));
}

// Quotes are looked for eight units at a time: runs of them, and quotes on both sides of a block's end.
TEST(DelimitedWriter, EveryQuoteOfALongFieldIsDoubled)
{
    for (int first = 0; first < 20; first++)
    {
        std::wstring field(24, L'q');
        std::string expected(24, 'q');
        for (int at : {first + 3, first + 1, first})
        {
            field[static_cast<size_t>(at)] = L'"';
            expected.replace(static_cast<size_t>(at), 1, "\"\"");
        }
        auto object = MakeObject(L"Win32_Thing", {L"A"}, {{field.c_str()}});
        ASSERT_EQ("A\r\n\"" + expected + "\"\r\n", Delimited(object.get(), L",")) << first;
    }
}

TEST(DelimitedWriter, LineBreaksAreKeptInsideQuotes)
{
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B", L"C"}, {{L"1\r\n2", L"lf\n", L"\rcr"}});
    EXPECT_EQ("A,B,C\r\n\"1\r\n2\",\"lf\n\",\"\rcr\"\r\n", Delimited(object.get(), L","));
    EXPECT_EQ("A\tB\tC\r\n\"1\r\n2\"\t\"lf\n\"\t\"\rcr\"\r\n", Delimited(object.get(), L"\t"));
}

TEST(DelimitedWriter, ColumnNamesFollowTheSameRule)
{
    auto object = MakeObject(L"Win32_Thing", {L"Caption, short", L"Say \"what\""});
    EXPECT_EQ("\"Caption, short\",\"Say \"\"what\"\"\"\r\n", Delimited(object.get(), L","));
}

TEST(DelimitedWriter, OtherFieldsAreWrittenExactlyAsTheyAre)
{
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B", L"C", L"D", L"E"},
                             {{L" padded ", L"semi;colon", L"'apostrophe'", L"", L"C:\\Windows\\notepad.exe"}});
    EXPECT_EQ("A,B,C,D,E\r\n padded ,semi;colon,'apostrophe',,C:\\Windows\\notepad.exe\r\n",
              Delimited(object.get(), L","));
}

TEST(DelimitedWriter, LongerSeparatorIsLookedForAsAWhole)
{
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B"}, {{L"x; y", L"x;y"}});
    EXPECT_EQ("A; B\r\n\"x; y\"; x;y\r\n", Delimited(object.get(), L"; "));
}

TEST(DelimitedWriter, FieldsLongerThanTheWritersBatchFollowTheSameRule)
{
    std::wstring plain(5000, L'p');
    std::wstring quoted = std::wstring(3000, L'q') + L"\"" + std::wstring(3000, L'q');
    std::wstring separated = std::wstring(4500, L's') + L"; " + L"s";
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B", L"C"}, {{plain.c_str(), quoted.c_str(), separated.c_str()}});
    std::string expected = "A,B,C\r\n" + std::string(5000, 'p') + ",\"" + std::string(3000, 'q') + "\"\"" +
                           std::string(3000, 'q') + "\"," + std::string(4500, 's') + "; s\r\n";
    EXPECT_EQ(expected, Delimited(object.get(), L","));
    std::string semicolons = "A; B; C\r\n" + std::string(5000, 'p') + "; \"" + std::string(3000, 'q') + "\"\"" +
                             std::string(3000, 'q') + "\"; \"" + std::string(4500, 's') + "; s\"\r\n";
    EXPECT_EQ(semicolons, Delimited(object.get(), L"; "));
}

TEST(DelimitedWriter, EmptySeparatorJoinsFieldsAndQuotesOnlyForQuotesAndLineBreaks)
{
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B"}, {{L"x,y", L"a\"b"}});
    EXPECT_EQ("AB\r\nx,y\"a\"\"b\"\r\n", Delimited(object.get(), L""));
}

TEST(DelimitedWriter, TheSampleOfTheCsvReaderCheckIsExact)
{
    auto object = ReportsTesting::MakeSampleObject();
    EXPECT_EQ("Name,\"Caption, short\",\"Say \"\"what\"\"\",Tab\there\r\n"
              "svchost.exe,Host Process,C:\\Windows\\System32\\svchost.exe,plain\r\n"
              "\"a,b\",tab\there,\",\",\t\r\n"
              "\"say \"\"hi\"\"\",\"\"\"\",\"\"\"\"\"\",'apostrophe'\r\n"
              "\"line1\r\nline2\",\"lf\nonly\",\"cr\ronly\",\"\r\n\"\r\n"
              ",,,\r\n"
              " padded ,caf\xC3\xA9,\xE6\x97\xA5\xE6\x9C\xAC,\xF0\x9F\x98\x80\r\n"
              "semi;colon,a<b&c>d,\"end,\"\"mixed\"\"\r\n\tall\",last\r\n",
              Delimited(object.get(), L","));
    EXPECT_EQ("Name\tCaption, short\t\"Say \"\"what\"\"\"\t\"Tab\there\"\r\n"
              "svchost.exe\tHost Process\tC:\\Windows\\System32\\svchost.exe\tplain\r\n"
              "a,b\t\"tab\there\"\t,\t\"\t\"\r\n"
              "\"say \"\"hi\"\"\"\t\"\"\"\"\t\"\"\"\"\"\"\t'apostrophe'\r\n"
              "\"line1\r\nline2\"\t\"lf\nonly\"\t\"cr\ronly\"\t\"\r\n\"\r\n"
              "\t\t\t\r\n"
              " padded \tcaf\xC3\xA9\t\xE6\x97\xA5\xE6\x9C\xAC\t\xF0\x9F\x98\x80\r\n"
              "semi;colon\ta<b&c>d\t\"end,\"\"mixed\"\"\r\n\tall\"\tlast\r\n",
              Delimited(object.get(), L"\t"));
}

// --- errors and resources ---

// Fields are checked in blocks of four and eight units: a unit that calls for quotes must be found at every
// position of fields of every length, and nothing else may cause quotes.
TEST(DelimitedWriter, EveryUnitThatCallsForQuotesIsFoundWhereverItStands)
{
    auto utf8 = [](const std::wstring& text)
    {
        std::string bytes;
        for (wchar_t unit : text)
        {
            if (unit < 0x80)
            {
                bytes += static_cast<char>(unit);
            }
            else if (unit < 0x800)
            {
                bytes += static_cast<char>(0xC0 | (unit >> 6));
                bytes += static_cast<char>(0x80 | (unit & 0x3F));
            }
            else
            {
                bytes += static_cast<char>(0xE0 | (unit >> 12));
                bytes += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
                bytes += static_cast<char>(0x80 | (unit & 0x3F));
            }
        }
        return bytes;
    };
    for (const wchar_t* separator : {L",", L"\t", L"::"})
    {
        std::wstring separatorText(separator);
        for (wchar_t unit : {L'"', L'\r', L'\n', L',', L'\t', L':', L'x', static_cast<wchar_t>(0x7F),
                             static_cast<wchar_t>(0x80), static_cast<wchar_t>(0xE9), static_cast<wchar_t>(0x4E2D)})
        {
            for (int length = 1; length <= 20; length++)
            {
                for (int position = 0; position < length; position++)
                {
                    std::wstring field(static_cast<size_t>(length), L'a');
                    field[static_cast<size_t>(position)] = unit;
                    if (separatorText == L"::" && unit == L':' && position + 1 < length)
                    {
                        field[static_cast<size_t>(position) + 1] = L':';
                    }
                    bool quoted = field.find_first_of(L"\"\r\n") != std::wstring::npos ||
                                  field.find(separatorText) != std::wstring::npos;
                    std::wstring expected = field;
                    if (quoted)
                    {
                        expected.clear();
                        for (wchar_t ch : field)
                        {
                            expected += ch == L'"' ? L"\"\"" : std::wstring(1, ch);
                        }
                        expected = L"\"" + expected + L"\"";
                    }
                    auto object = MakeObject(L"Win32_Thing", {L"A"}, {{field.c_str()}});
                    ASSERT_EQ("A\r\n" + utf8(expected) + "\r\n", Delimited(object.get(), separator))
                        << "unit " << static_cast<int>(unit) << " at " << position << " of " << length;
                }
            }
        }
    }
}

// Plain rows go into the writer's buffer whole; a row is taken apart at the first field that needs quotes or is
// not ASCII, wherever it stands, and the fields after it follow the usual way.
TEST(DelimitedWriter, ARowChangesWaysAtItsFirstSpecialField)
{
    const wchar_t* const specials[] = {L"a,b", L"say \"x\"", L"caf\xE9", L"line\nbreak", L"", L"\xE9,\"\t"};
    const char* const commaTexts[] = {"\"a,b\"", "\"say \"\"x\"\"\"",  "caf\xC3\xA9", "\"line\nbreak\"",
                                      "",        "\"\xC3\xA9,\"\"\t\""};
    const char* const tabTexts[] = {"a,b", "\"say \"\"x\"\"\"",  "caf\xC3\xA9", "\"line\nbreak\"",
                                    "",    "\"\xC3\xA9,\"\"\t\""};
    for (int kind = 0; kind < 6; kind++)
    {
        for (int column = 0; column < 4; column++)
        {
            std::vector<const wchar_t*> first = {L"one", L"two", L"three", L"four"};
            std::vector<const wchar_t*> second = {L"5", L"six six six", L"7", L"eight"};
            second[static_cast<size_t>(column)] = specials[kind];
            auto object = MakeObject(L"Win32_Thing", {L"A", L"B", L"C", L"D"},
                                     {{first[0], first[1], first[2], first[3]},
                                      {second[0], second[1], second[2], second[3]},
                                      {first[0], first[1], first[2], first[3]}});
            for (bool comma : {true, false})
            {
                std::string separator = comma ? "," : "\t";
                std::string line;
                for (int i = 0; i < 4; i++)
                {
                    std::string value =
                        i == column
                            ? (comma ? commaTexts[kind] : tabTexts[kind])
                            : std::string(second[static_cast<size_t>(i)],
                                          second[static_cast<size_t>(i)] + std::wcslen(second[static_cast<size_t>(i)]));
                    line += (i > 0 ? separator : "") + value;
                }
                std::string plain = "one" + separator + "two" + separator + "three" + separator + "four\r\n";
                std::string header = "A" + separator + "B" + separator + "C" + separator + "D\r\n";
                ASSERT_EQ(header + plain + line + "\r\n" + plain, Delimited(object.get(), comma ? L"," : L"\t"))
                    << kind << " in column " << column;
            }
        }
    }
}

TEST(DelimitedWriter, ARowShortOfValuesIsRefused)
{
    auto object = MakeObject(L"Win32_Thing", {L"A", L"B", L"C"}, {{L"1", L"2", L"3"}});
    auto* shortRow = new WMI::Row();
    shortRow->Add(String(L"only"));
    object->GetRows().Add(shortRow);
    MemoryStream stream;
    StreamWriter writer(&stream);
    EXPECT_THROW(DelimitedWriter::Write(object.get(), writer, String(L",")), Core::ArgumentOutOfRangeException);
}

TEST(DelimitedWriter, NullObjectIsRejectedBeforeAnythingIsWritten)
{
    MemoryStream stream;
    StreamWriter writer(&stream);
    EXPECT_EQ(L"Argument is null: managementObject",
              ThrownMessage([&] { DelimitedWriter::Write(nullptr, writer, String(L",")); }));
    writer.Close();
    EXPECT_EQ("", stream.GetBytes());
}

TEST(DelimitedWriter, RowsAreReadUnderTheObjectsLock)
{
    // A worker appends rows under this lock; while the writer reads them it keeps the worker out.
    auto object = MakeObject(L"Win32_Thing", {L"Name"});
    for (int i = 0; i < 2000; i++)
    {
        auto* row = new WMI::Row();
        object->GetRows().Add(row);
        row->Add(String(L"row ") + i);
    }
    ReportsTesting::LockProbeStream stream(*object);
    StreamWriter writer(&stream);
    DelimitedWriter::Write(object.get(), writer, String(L","));
    EXPECT_GT(stream.writesLocked, 0);
    EXPECT_EQ(0, stream.writesUnlocked);
    writer.Close();
    EXPECT_EQ(1, stream.writesUnlocked); // the rest, written by Close after the writer returned
}

TEST(DelimitedWriter, FreesEverythingItAllocates)
{
    auto object = ReportsTesting::MakeSampleObject();
    EXPECT_EQ(0, Testing::LeakedBy([&] { Delimited(object.get(), L","); }));
    EXPECT_EQ(0, Testing::LeakedBy([&] { Delimited(object.get(), L"\t"); }));
}
