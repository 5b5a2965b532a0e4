#include "reports/WorkbookWriter.h"

#include "core/io/MemoryStream.h"
#include "tests/reports/ReportsTesting.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/ThrownMessage.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <windows.h>

using Core::DateTime;
using Core::String;
using Core::IO::MemoryStream;
using Core::Xml::XmlTextWriter;
using Reports::WorkbookWriter;
using ReportsTesting::MakeObject;
using Testing::ThrownMessage;

namespace
{

// The lines joined by CR LF, as the indented writer separates them; no line end after the last.
std::string Lines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
    {
        if (!text.empty())
        {
            text += "\r\n";
        }
        text += line;
    }
    return text;
}

// The writer set up as the report writer sets it up: default encoding, indented.
std::string Workbook(WMI::ManagementObject* object, Reports::Clock clock = &ReportsTesting::FixedClock,
                     const Reports::ReportOrigin& origin = Reports::ReportOrigin())
{
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    writer.SetFormatting(Core::Xml::Formatting::Indented);
    WorkbookWriter(clock).Write(object, writer, origin);
    writer.Close();
    return stream.GetBytes();
}

// Everything before the Styles element, which does not depend on the data (time stamp of FixedClock).
const char* const Prologue[] = {
    "<?xml version=\"1.0\"?>",
    "<?mso-application progid=\"Excel.Sheet\"?>",
    "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\""
    " xmlns:o=\"urn:schemas-microsoft-com:office:office\""
    " xmlns:x=\"urn:schemas-microsoft-com:office:excel\""
    " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\""
    " xmlns:html=\"http://www.w3.org/TR/REC-html40\">",
    "\t<DocumentProperties xmlns=\"urn:schemas-microsoft-com:office:office\">",
    "\t\t<Author />",
    "\t\t<LastAuthor />",
    "\t\t<Created>03/03/2026 07:05</Created>",
    "\t\t<Company />",
    "\t\t<Version>11.8122</Version>",
    "\t</DocumentProperties>",
    "\t<ExcelWorkbook xmlns=\"urn:schemas-microsoft-com:office:excel\">",
    "\t\t<WindowHeight>13170</WindowHeight>",
    "\t\t<WindowWidth>14220</WindowWidth>",
    "\t\t<WindowTopX>480</WindowTopX>",
    "\t\t<WindowTopY>60</WindowTopY>",
    "\t\t<ProtectStructure>False</ProtectStructure>",
    "\t\t<ProtectWindows>False</ProtectWindows>",
    "\t</ExcelWorkbook>",
};

std::string PrologueText()
{
    std::string text;
    for (const char* line : Prologue)
    {
        text += line;
        text += "\r\n";
    }
    return text;
}

// The four header rows and the empty row, at the indentation of Table's children.
const char* const HeaderBlock[] = {
    "\t\t\t<Row>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\">Host</Data>",
    "\t\t\t\t</Cell>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\" />",
    "\t\t\t\t</Cell>",
    "\t\t\t</Row>",
    "\t\t\t<Row>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\">Date</Data>",
    "\t\t\t\t</Cell>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\">03/03/2026 07:05</Data>",
    "\t\t\t\t</Cell>",
    "\t\t\t</Row>",
    "\t\t\t<Row>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\">Category</Data>",
    "\t\t\t\t</Cell>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\" />",
    "\t\t\t\t</Cell>",
    "\t\t\t</Row>",
    "\t\t\t<Row>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\">Subcategory</Data>",
    "\t\t\t\t</Cell>",
    "\t\t\t\t<Cell>",
    "\t\t\t\t\t<Data ss:Type=\"String\" />",
    "\t\t\t\t</Cell>",
    "\t\t\t</Row>",
    "\t\t\t<Row />",
};

std::string HeaderBlockText()
{
    std::string text;
    for (const char* line : HeaderBlock)
    {
        text += line;
        text += "\r\n";
    }
    return text;
}

// From the end of Table to the end of the document.
const std::string Epilogue = Lines({
    "\t\t</Table>",
    "\t\t<WorksheetOptions xmlns=\"urn:schemas-microsoft-com:office:excel\">",
    "\t\t\t<Print>",
    "\t\t\t\t<ValidPrinterInfo />",
    "\t\t\t\t<HorizontalResolution>600</HorizontalResolution>",
    "\t\t\t\t<VerticalResolution>600</VerticalResolution>",
    "\t\t\t\t<Selected />",
    "\t\t\t\t<Panes>",
    "\t\t\t\t\t<Pane>",
    "\t\t\t\t\t\t<Number>1</Number>",
    "\t\t\t\t\t\t<ActiveRow>1</ActiveRow>",
    "\t\t\t\t\t</Pane>",
    "\t\t\t\t</Panes>",
    "\t\t\t\t<ProtectObjects>False</ProtectObjects>",
    "\t\t\t\t<ProtectScenarios>False</ProtectScenarios>",
    "\t\t\t</Print>",
    "\t\t</WorksheetOptions>",
    "\t</Worksheet>",
    "</Workbook>",
});

// The text of the first element named name ("<Created>" ... "</Created>"), or "(missing)".
std::string ElementText(const std::string& document, const std::string& name)
{
    size_t start = document.find("<" + name + ">");
    size_t end = document.find("</" + name + ">");
    if (start == std::string::npos || end == std::string::npos)
    {
        return "(missing)";
    }
    start += name.size() + 2;
    return document.substr(start, end - start);
}

int clockReadings = 0;

// A clock that moves one minute at every reading, from 07:05 on 3 March 2026.
DateTime TickingClock()
{
    return DateTime(ReportsTesting::TicksOf(2026, 3, 3, 7, 5) + clockReadings++ * DateTime::TicksPerMinute);
}

} // namespace

// --- whole documents ---

TEST(WorkbookWriter, NoColumnsAndNoRowsGiveTheHeaderBlockAndAnEmptyNameRow)
{
    auto object = MakeObject(L"Win32_Empty", {});
    std::string expected = PrologueText() +
                           Lines({
                               "\t<Styles>",
                               "\t\t<Style ss:ID=\"Default\" ss:Name=\"Normal\">",
                               "\t\t\t<Alignment ss:Vertical=\"Bottom\" />",
                               "\t\t</Style>",
                               "\t</Styles>",
                               "\t<Worksheet ss:Name=\"Sheet1\">",
                               "\t\t<Table>",
                           }) +
                           "\r\n" + HeaderBlockText() + "\t\t\t<Row />\r\n" + Epilogue;
    EXPECT_EQ(expected, Workbook(object.get()));
}

TEST(WorkbookWriter, ThreeColumnsGetAStyleAndAColumnEachAndEveryValueIsEscapedText)
{
    auto object = MakeObject(
        L"Win32_Process", {L"Name", L"Command & <line>", L"Caption"},
        {{L"a&b", L"<tag attr=\"1\">", L"it's \"quoted\""}, {L"", L"line1\r\nline2", L"caf\u00E9 \U0001F600 \x01"}});
    std::string expected = PrologueText() +
                           Lines({
                               "\t<Styles>",
                               "\t\t<Style ss:ID=\"Default\" ss:Name=\"Normal\">",
                               "\t\t\t<Alignment ss:Vertical=\"Bottom\" />",
                               "\t\t</Style>",
                               "\t\t<Style ss:ID=\"s0\">",
                               "\t\t\t<Alignment ss:Horizontal=\"Left\" ss:Vertical=\"Top\" />",
                               "\t\t</Style>",
                               "\t\t<Style ss:ID=\"s1\">",
                               "\t\t\t<Alignment ss:Horizontal=\"Left\" ss:Vertical=\"Top\" />",
                               "\t\t</Style>",
                               "\t\t<Style ss:ID=\"s2\">",
                               "\t\t\t<Alignment ss:Horizontal=\"Left\" ss:Vertical=\"Top\" />",
                               "\t\t</Style>",
                               "\t</Styles>",
                               "\t<Worksheet ss:Name=\"Sheet1\">",
                               "\t\t<Table>",
                               "\t\t\t<Column ss:StyleID=\"s0\" ss:AutoFitWidth=\"0\" ss:Width=\"80.5\" />",
                               "\t\t\t<Column ss:StyleID=\"s1\" ss:AutoFitWidth=\"0\" ss:Width=\"80.5\" />",
                               "\t\t\t<Column ss:StyleID=\"s2\" ss:AutoFitWidth=\"0\" ss:Width=\"80.5\" />",
                           }) +
                           "\r\n" + HeaderBlockText() +
                           Lines({
                               "\t\t\t<Row>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Name</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Command &amp; &lt;line&gt;</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Caption</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t</Row>",
                               "\t\t\t<Row>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">a&amp;b</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">&lt;tag attr=\"1\"&gt;</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">it's \"quoted\"</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t</Row>",
                               "\t\t\t<Row>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\" />",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">line1\r\nline2</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">caf\xC3\xA9 \xF0\x9F\x98\x80 \xEF\xBF\xBD</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t</Row>",
                           }) +
                           "\r\n" + Epilogue;
    EXPECT_EQ(expected, Workbook(object.get()));
}

TEST(WorkbookWriter, StartsWithTheDeclarationALineEndAndTheApplicationInstruction)
{
    auto object = MakeObject(L"Win32_Empty", {});
    std::string document = Workbook(object.get());
    const std::string start =
        "<?xml version=\"1.0\"?>\r\n<?mso-application progid=\"Excel.Sheet\"?>\r\n<Workbook xmlns=";
    EXPECT_EQ(start, document.substr(0, start.size()));
}

// --- the header block ---

// The machine and the class's place fill their rows, escaped as every text is (a class-view file names the
// categories); the rows, their order and the rest of the document stay as without them.
TEST(WorkbookWriter, TheHeaderBlockNamesTheHostAndTheClasssPlace)
{
    auto object = MakeObject(L"Win32_Empty", {});
    Reports::ReportOrigin origin{String(L"fileserver07"), String(L"Servers & <Services>"), String(L"Auto")};
    std::string expected = PrologueText() +
                           Lines({
                               "\t<Styles>",
                               "\t\t<Style ss:ID=\"Default\" ss:Name=\"Normal\">",
                               "\t\t\t<Alignment ss:Vertical=\"Bottom\" />",
                               "\t\t</Style>",
                               "\t</Styles>",
                               "\t<Worksheet ss:Name=\"Sheet1\">",
                               "\t\t<Table>",
                               "\t\t\t<Row>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Host</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">fileserver07</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t</Row>",
                               "\t\t\t<Row>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Date</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">03/03/2026 07:05</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t</Row>",
                               "\t\t\t<Row>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Category</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Servers &amp; &lt;Services&gt;</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t</Row>",
                               "\t\t\t<Row>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Subcategory</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">Auto</Data>",
                               "\t\t\t\t</Cell>",
                               "\t\t\t</Row>",
                               "\t\t\t<Row />",
                               "\t\t\t<Row />",
                           }) +
                           "\r\n" + Epilogue;
    EXPECT_EQ(expected, Workbook(object.get(), &ReportsTesting::FixedClock, origin));
}

// --- time stamps ---

TEST(WorkbookWriter, CreatedAndDateShowTheDayFirstWithoutSeconds)
{
    auto object = MakeObject(L"Win32_Empty", {});
    std::string document = Workbook(object.get());
    EXPECT_EQ("03/03/2026 07:05", ElementText(document, "Created"));
    EXPECT_NE(std::string::npos, document.find("<Data ss:Type=\"String\">03/03/2026 07:05</Data>"));
}

TEST(WorkbookWriter, CreatedAndDateAreTwoReadingsOfTheClock)
{
    auto object = MakeObject(L"Win32_Empty", {});
    clockReadings = 0;
    std::string document = Workbook(object.get(), &TickingClock);
    EXPECT_EQ(2, clockReadings);
    EXPECT_EQ("03/03/2026 07:05", ElementText(document, "Created"));
    EXPECT_NE(std::string::npos, document.find("<Data ss:Type=\"String\">03/03/2026 07:06</Data>"));
}

TEST(WorkbookWriter, TheSystemClockGivesTheCurrentUtcTime)
{
    auto object = MakeObject(L"Win32_Empty", {});
    auto format = [](const SYSTEMTIME& time)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%02u/%02u/%04u %02u:%02u", time.wDay, time.wMonth, time.wYear, time.wHour,
                      time.wMinute);
        return std::string(text);
    };
    SYSTEMTIME before;
    GetSystemTime(&before);
    std::string document = Workbook(object.get(), &DateTime::Now);
    SYSTEMTIME after;
    GetSystemTime(&after);
    std::string created = ElementText(document, "Created");
    // The minute may turn between the readings; the text is one of the two.
    EXPECT_TRUE(created == format(before) || created == format(after)) << created;
    EXPECT_EQ(std::string::npos, created.find_first_not_of("0123456789/: "));
}

// --- errors and resources ---

TEST(WorkbookWriter, NullObjectIsRejectedBeforeAnythingIsWritten)
{
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    EXPECT_EQ(L"Argument is null: managementObject", ThrownMessage([&] { WorkbookWriter().Write(nullptr, writer); }));
    EXPECT_EQ(Core::Xml::WriteState::Start, writer.GetWriteState());
    writer.Close();
    EXPECT_EQ("", stream.GetBytes());
}

TEST(WorkbookWriter, NullClockIsRejected)
{
    EXPECT_EQ(L"Argument is null: clock", ThrownMessage([] { WorkbookWriter writer(nullptr); }));
}

TEST(WorkbookWriter, EndsTheDocumentAndLeavesClosingToTheCaller)
{
    auto object = MakeObject(L"Win32_Empty", {});
    MemoryStream stream;
    XmlTextWriter writer(&stream, nullptr);
    writer.SetFormatting(Core::Xml::Formatting::Indented);
    WorkbookWriter(&ReportsTesting::FixedClock).Write(object.get(), writer);
    EXPECT_EQ(Core::Xml::WriteState::Start, writer.GetWriteState());
    EXPECT_TRUE(stream.CanWrite());
    writer.Close();
}

TEST(WorkbookWriter, RowsAreReadUnderTheObjectsLock)
{
    auto object = MakeObject(L"Win32_Thing", {L"Name"});
    for (int i = 0; i < 200; i++)
    {
        auto* row = new WMI::Row();
        object->GetRows().Add(row);
        row->Add(String(L"row ") + i);
    }
    ReportsTesting::LockProbeStream stream(*object);
    XmlTextWriter writer(&stream, nullptr);
    writer.SetFormatting(Core::Xml::Formatting::Indented);
    WorkbookWriter(&ReportsTesting::FixedClock).Write(object.get(), writer);
    EXPECT_GT(stream.writesLocked, 0);
    EXPECT_EQ(0, stream.writesUnlocked);
    writer.Close();
}

TEST(WorkbookWriter, FreesEverythingItAllocates)
{
    auto object = MakeObject(L"Win32_Process", {L"Name", L"Id"}, {{L"a&b", L"1"}, {L"c", L"2"}});
    EXPECT_EQ(0, Testing::LeakedBy([&] { Workbook(object.get()); }));
}

// With the user's "Show value names" the values are written as shown, and a "Values" row after the other header
// rows says so; the column names stay as they are.
TEST(WorkbookWriter, ShownValuesAreWrittenAndSaidInTheHeaderBlock)
{
    auto object = MakeObject(L"Win32_Service", {L"Name", L"State"}, {{L"Spooler", L"2"}});
    Reports::ReportOrigin origin;
    origin.showValue = [](int column, const String& value) { return column == 1 ? value + L" (Running)" : value; };
    std::string book = Workbook(object.get(), &ReportsTesting::FixedClock, origin);
    size_t subcategory = book.find(">Subcategory<");
    size_t values = book.find("<Data ss:Type=\"String\">Values</Data>");
    ASSERT_NE(std::string::npos, values) << book;
    EXPECT_LT(subcategory, values);
    EXPECT_NE(std::string::npos,
              book.find(Lines({"\t\t\t\t\t<Data ss:Type=\"String\">Values</Data>", "\t\t\t\t</Cell>", "\t\t\t\t<Cell>",
                               "\t\t\t\t\t<Data ss:Type=\"String\">With names</Data>"})))
        << book;
    EXPECT_NE(std::string::npos, book.find(">State<"));
    EXPECT_NE(std::string::npos, book.find(">Spooler<"));
    EXPECT_NE(std::string::npos, book.find(">2 (Running)<"));
    EXPECT_EQ(std::string::npos, Workbook(object.get()).find(">Values<")) << "without it, no Values row";
}
