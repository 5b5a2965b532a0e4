// The workbook as a reader sees it: parsed with the project's XmlTextReader, it gives back the header
// block, the column names and every cell, whatever characters the values hold.
#include "reports/ReportWriter.h"

#include "core/io/FileStream.h"
#include "core/xml/XmlTextReader.h"
#include "tests/reports/SampleReport.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using Core::String;
using Core::Xml::XmlNodeType;
using Core::Xml::XmlTextReader;
using ReportsTesting::MakeObject;

namespace
{

const wchar_t SpreadsheetNamespace[] = L"urn:schemas-microsoft-com:office:spreadsheet";

struct WorkbookView
{
    std::wstring created;
    std::wstring sheetName;
    std::vector<std::wstring> styleIds;
    std::vector<std::wstring> columnStyles;
    std::vector<std::vector<std::wstring>> rows;
    std::vector<std::wstring> cellTypes;
    std::vector<std::wstring> dataNamespaces;
    std::vector<std::wstring> elementsInPrint;
};

std::wstring Text(const String& text)
{
    return std::wstring(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

// Reads the report file fileName into a view of what a spreadsheet program takes from it.
WorkbookView ReadWorkbook(const String& fileName)
{
    WorkbookView view;
    // All whitespace is reported, so a cell that holds only spaces, tabs or line ends keeps them.
    XmlTextReader reader(fileName);
    int printDepth = -1;
    while (reader.Read())
    {
        if (reader.NodeType() == XmlNodeType::EndElement && reader.LocalName() == String(L"Print"))
        {
            printDepth = -1;
        }
        if (reader.NodeType() != XmlNodeType::Element)
        {
            continue;
        }
        std::wstring name = Text(reader.LocalName());
        if (printDepth >= 0 && reader.Depth() == printDepth + 1)
        {
            view.elementsInPrint.push_back(name);
        }
        if (name == L"Print")
        {
            printDepth = reader.Depth();
        }
        else if (name == L"Created")
        {
            view.created = Text(reader.ReadString());
        }
        else if (name == L"Worksheet")
        {
            view.sheetName = Text(reader.GetAttribute(String(L"ss:Name")));
        }
        else if (name == L"Style")
        {
            view.styleIds.push_back(Text(reader.GetAttribute(String(L"ID"), String(SpreadsheetNamespace))));
        }
        else if (name == L"Column")
        {
            view.columnStyles.push_back(Text(reader.GetAttribute(String(L"ss:StyleID"))));
        }
        else if (name == L"Row")
        {
            view.rows.emplace_back();
        }
        else if (name == L"Data")
        {
            view.cellTypes.push_back(Text(reader.GetAttribute(String(L"ss:Type"))));
            view.dataNamespaces.push_back(Text(reader.NamespaceURI()));
            view.rows.back().push_back(Text(reader.ReadString()));
        }
    }
    reader.Close();
    return view;
}

class WorkbookReadBack : public testing::Test
{
protected:
    WorkbookView Write(WMI::ManagementObject* object, const Reports::ReportOrigin& origin = Reports::ReportOrigin())
    {
        String fileName = directory.File(L"WmiReport_Sample");
        Reports::ReportWriter(&ReportsTesting::FixedClock).Write(object, Reports::ReportType::Excel, fileName, origin);
        return ReadWorkbook(fileName);
    }

    Testing::TempDirectory directory;
};

} // namespace

TEST_F(WorkbookReadBack, GivesTheHeaderBlockTheColumnNamesAndEveryCell)
{
    auto object = ReportsTesting::MakeSampleObject();
    WorkbookView view = Write(object.get());
    EXPECT_EQ(L"03/03/2026 07:05", view.created);
    EXPECT_EQ(L"Sheet1", view.sheetName);
    EXPECT_EQ((std::vector<std::wstring>{L"Default", L"s0", L"s1", L"s2", L"s3"}), view.styleIds);
    EXPECT_EQ((std::vector<std::wstring>{L"s0", L"s1", L"s2", L"s3"}), view.columnStyles);

    std::vector<std::vector<std::wstring>> expected = {
        {L"Host", L""}, {L"Date", L"03/03/2026 07:05"}, {L"Category", L""}, {L"Subcategory", L""}, {},
    };
    std::vector<std::wstring> names;
    for (int i = 0; i < object->GetProperties().GetCount(); i++)
    {
        names.push_back(Text(object->GetProperties()[i].GetName()));
    }
    expected.push_back(names);
    for (int r = 0; r < object->GetRows().GetCount(); r++)
    {
        const WMI::Row& row = *object->GetRows()[r];
        std::vector<std::wstring> cells;
        for (int i = 0; i < row.GetCount(); i++)
        {
            cells.push_back(Text(row[i]));
        }
        expected.push_back(cells);
    }
    ASSERT_EQ(expected.size(), view.rows.size());
    for (size_t r = 0; r < expected.size(); r++)
    {
        EXPECT_EQ(expected[r], view.rows[r]) << "row " << r;
    }
    for (const std::wstring& type : view.cellTypes)
    {
        EXPECT_EQ(L"String", type);
    }
    for (const std::wstring& uri : view.dataNamespaces)
    {
        EXPECT_EQ(SpreadsheetNamespace, uri);
    }
}

// The report writer gives the workbook its origin: the machine and the class's place come back in their rows.
TEST_F(WorkbookReadBack, TheHeaderBlockGivesBackTheMachineAndTheClasssPlace)
{
    auto object = MakeObject(L"Win32_Service", {L"Name"}, {{L"Spooler"}});
    WorkbookView view = Write(object.get(), Reports::ReportOrigin{String(L"Local Machine, fileserver07"),
                                                                  String(L"Operating System"), String(L"Services")});
    ASSERT_EQ(7u, view.rows.size());
    EXPECT_EQ((std::vector<std::wstring>{L"Host", L"Local Machine, fileserver07"}), view.rows[0]);
    EXPECT_EQ((std::vector<std::wstring>{L"Date", L"03/03/2026 07:05"}), view.rows[1]);
    EXPECT_EQ((std::vector<std::wstring>{L"Category", L"Operating System"}), view.rows[2]);
    EXPECT_EQ((std::vector<std::wstring>{L"Subcategory", L"Services"}), view.rows[3]);
    EXPECT_EQ((std::vector<std::wstring>{}), view.rows[4]);
    EXPECT_EQ((std::vector<std::wstring>{L"Name"}), view.rows[5]);
    EXPECT_EQ((std::vector<std::wstring>{L"Spooler"}), view.rows[6]);
}

// Markup characters come back unchanged; a control character, which XML cannot hold, comes back as U+FFFD.
TEST_F(WorkbookReadBack, MarkupCharactersComeBackUnchangedAndControlCharactersReplaced)
{
    auto object = MakeObject(L"Win32_Thing", {L"A & B", L"<C>"},
                             {{L"a<b&c>d", L"]]> and &amp; as text"}, {L"bell \x07 and tab \t", L"\xFFFD"}});
    WorkbookView view = Write(object.get());
    ASSERT_EQ(8u, view.rows.size());
    EXPECT_EQ((std::vector<std::wstring>{L"A & B", L"<C>"}), view.rows[5]);
    EXPECT_EQ((std::vector<std::wstring>{L"a<b&c>d", L"]]> and &amp; as text"}), view.rows[6]);
    EXPECT_EQ((std::vector<std::wstring>{L"bell \xFFFD and tab \t", L"\xFFFD"}), view.rows[7]);
}

TEST_F(WorkbookReadBack, PrintHoldsTheSelectionPanesAndProtectionFlags)
{
    auto object = MakeObject(L"Win32_Thing", {L"A"});
    WorkbookView view = Write(object.get());
    EXPECT_EQ((std::vector<std::wstring>{L"ValidPrinterInfo", L"HorizontalResolution", L"VerticalResolution",
                                         L"Selected", L"Panes", L"ProtectObjects", L"ProtectScenarios"}),
              view.elementsInPrint);
}
