#include "core/xml/XmlTextWriter.h"

#include "core/io/FileStream.h"
#include "core/io/IOException.h"
#include "core/io/MemoryStream.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Core;
using namespace Core::IO;
using namespace Core::Xml;
using Testing::ThrownMessage;

namespace
{

String S(const wchar_t* text)
{
    return String(text);
}

// The UTF-8 bytes a writer produces, with the writer flushed first.
class Output
{
public:
    explicit Output(bool indented = false) : m_writer(&m_stream, nullptr)
    {
        if (indented)
        {
            m_writer.SetFormatting(Formatting::Indented);
        }
    }
    XmlTextWriter* operator->() { return &m_writer; }
    XmlTextWriter& Writer() { return m_writer; }
    std::string Text()
    {
        if (m_writer.GetWriteState() != WriteState::Closed)
        {
            m_writer.Flush();
        }
        return m_stream.GetBytes();
    }

private:
    MemoryStream m_stream;
    XmlTextWriter m_writer;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Construction and settings

TEST(XmlTextWriter, StartsWithTheDefaultSettings)
{
    Output out;
    EXPECT_EQ(WriteState::Start, out->GetWriteState());
    EXPECT_EQ(Formatting::None, out->GetFormatting());
    EXPECT_EQ(1, out->GetIndentation());
    EXPECT_EQ(L'\t', out->GetIndentChar());
    EXPECT_EQ(L'"', out->GetQuoteChar());
    EXPECT_TRUE(out->GetNamespaces());
    EXPECT_THROW(out->SetQuoteChar(L'x'), ArgumentException);
    EXPECT_THROW(out->SetIndentation(-1), ArgumentException);
}

TEST(XmlTextWriter, WritesAFileItOwnsAndClosesIt)
{
    Testing::TempDirectory directory;
    String path = directory.File(L"out.xml");
    {
        XmlTextWriter writer(path, nullptr);
        writer.WriteStartDocument();
        writer.WriteElementString(S(L"a"), S(L"caf\u00E9"));
        writer.WriteEndDocument();
        writer.Close();
        EXPECT_EQ(WriteState::Closed, writer.GetWriteState());
        writer.Close();
        EXPECT_THROW(writer.WriteComment(S(L"late")), InvalidOperationException);
    }
    EXPECT_EQ("<?xml version=\"1.0\"?><a>caf\xC3\xA9</a>", Testing::ReadFileBytes(path));
}

TEST(XmlTextWriter, AFileInAMissingDirectoryCannotBeCreated)
{
    Testing::TempDirectory directory;
    EXPECT_THROW(XmlTextWriter writer(directory.File(L"no\\such\\dir.xml"), nullptr), IOException);
}

TEST(XmlTextWriter, TheCallersStreamStaysOpenAndTheEncodingIsHonoured)
{
    MemoryStream stream;
    {
        XmlTextWriter writer(&stream, Encoding::UTF16LittleEndian());
        writer.WriteElementString(S(L"a"), S(L"x"));
        writer.Close();
    }
    EXPECT_TRUE(stream.CanWrite());
    EXPECT_EQ(std::string("\xFF\xFE<\0a\0>\0x\0<\0/\0a\0>\0", 18), stream.GetBytes());
}

// ---------------------------------------------------------------------------------------------------------------
// Documents and indentation

TEST(XmlTextWriter, TheDeclarationCarriesVersionAndOptionallyStandalone)
{
    Output plain;
    plain->WriteStartDocument();
    EXPECT_EQ(WriteState::Prolog, plain->GetWriteState());
    EXPECT_EQ("<?xml version=\"1.0\"?>", plain.Text());
    Output standalone;
    standalone->SetQuoteChar(L'\'');
    standalone->WriteStartDocument(false);
    EXPECT_EQ("<?xml version='1.0' standalone='no'?>", standalone.Text());
    Output yes;
    yes->WriteStartDocument(true);
    EXPECT_EQ("<?xml version=\"1.0\" standalone=\"yes\"?>", yes.Text());
}

TEST(XmlTextWriter, ASecondDeclarationIsAStateError)
{
    Output out;
    out->WriteStartDocument();
    EXPECT_EQ(L"", ThrownMessage([&] { out->WriteStartDocument(); }));
    EXPECT_THROW(out->WriteStartDocument(), InvalidOperationException);
}

TEST(XmlTextWriter, IndentedOutputPutsNestedElementsOnTabbedLines)
{
    Output out(true);
    out->WriteStartDocument();
    out->WriteStartElement(S(L"a"));
    out->WriteStartElement(S(L"b"));
    out->WriteString(S(L"x"));
    out->WriteEndElement();
    out->WriteEndElement();
    out->WriteEndDocument();
    EXPECT_EQ(WriteState::Start, out->GetWriteState());
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n<a>\r\n\t<b>x</b>\r\n</a>", out.Text());
}

TEST(XmlTextWriter, IndentationFollowsDepthAndStopsInsideMixedContent)
{
    Output out(true);
    out->SetIndentation(2);
    out->SetIndentChar(L' ');
    out->WriteStartElement(S(L"r")); // the very first output gets no line end
    out->WriteComment(S(L"c"));
    out->WriteStartElement(S(L"a"));
    out->WriteStartElement(S(L"b"));
    out->WriteEndElement();
    out->WriteEndElement();
    out->WriteStartElement(S(L"m"));
    out->WriteString(S(L"t"));
    out->WriteStartElement(S(L"i"));
    out->WriteEndElement();
    out->WriteEndElement();
    out->WriteStartElement(S(L"f"));
    out->WriteFullEndElement();
    out->WriteEndElement();
    EXPECT_EQ("<r>\r\n  <!--c-->\r\n  <a>\r\n    <b />\r\n  </a>\r\n  <m>t<i /></m>\r\n  <f></f>\r\n</r>", out.Text());
}

TEST(XmlTextWriter, RawTextGoesOutUnchangedAndUnindented)
{
    Output out(true);
    out->WriteStartDocument();
    out->WriteRaw(S(L"\r\n<?mso-application progid=\"Excel.Sheet\"?>"));
    out->WriteStartElement(S(L"Workbook"));
    out->WriteRaw(S(L"<&>"));
    out->WriteRaw(String());
    out->WriteEndElement();
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n<?mso-application progid=\"Excel.Sheet\"?>\r\n<Workbook><&>\r\n</Workbook>",
              out.Text());
}

TEST(XmlTextWriter, EndDocumentClosesOpenElementsAndNeedsARoot)
{
    Output out;
    out->WriteStartDocument();
    out->WriteStartElement(S(L"a"));
    out->WriteStartElement(S(L"b"));
    out->WriteEndDocument();
    EXPECT_EQ("<?xml version=\"1.0\"?><a><b /></a>", out.Text());
    Output noRoot;
    noRoot->WriteStartDocument();
    EXPECT_THROW(noRoot->WriteEndDocument(), ArgumentException);
    Output noDeclaration;
    noDeclaration->WriteElementString(S(L"a"), String());
    EXPECT_THROW(noDeclaration->WriteEndDocument(), ArgumentException);
}

TEST(XmlTextWriter, CloseEndsOpenElements)
{
    Output out;
    out->WriteStartElement(S(L"a"));
    out->WriteStartElement(S(L"b"));
    out->WriteAttributeString(S(L"x"), S(L"1"));
    out->Close();
    EXPECT_EQ(WriteState::Closed, out->GetWriteState());
    EXPECT_THROW(out->WriteString(S(L"x")), InvalidOperationException);
}

// ---------------------------------------------------------------------------------------------------------------
// Elements and attributes

TEST(XmlTextWriter, AnEmptyElementEndsWithSpaceSlash)
{
    Output out;
    out->WriteElementString(S(L"Author"), String());
    EXPECT_EQ("<Author />", out.Text());
    Output attributes;
    attributes->WriteStartElement(S(L"Column"));
    attributes->WriteAttributeString(String(), S(L"ss:Width"), String(), S(L"80.5"));
    attributes->WriteAttributeString(S(L"ss:AutoFitWidth"), S(L"0"));
    attributes->WriteEndElement();
    EXPECT_EQ("<Column ss:Width=\"80.5\" ss:AutoFitWidth=\"0\" />", attributes.Text());
}

TEST(XmlTextWriter, NamespaceDeclarationsAreWrittenAsGivenAndRemembered)
{
    Output out;
    out->WriteStartElement(S(L"Workbook"));
    out->WriteAttributeString(String(), S(L"xmlns"), String(), S(L"urn:s"));
    out->WriteAttributeString(S(L"xmlns"), S(L"o"), String(), S(L"urn:o"));
    out->WriteStartElement(S(L"Properties"), S(L"urn:o"));
    out->WriteAttributeString(S(L"xmlns"), String(), String(), S(L"urn:x"));
    EXPECT_EQ(S(L"o"), out->LookupPrefix(S(L"urn:o")));
    EXPECT_EQ(S(L""), out->LookupPrefix(S(L"urn:x")));
    out->WriteEndElement();
    out->WriteEndElement();
    EXPECT_EQ("<Workbook xmlns=\"urn:s\" xmlns:o=\"urn:o\"><o:Properties xmlns=\"urn:x\" /></Workbook>", out.Text());
}

TEST(XmlTextWriter, AnUndeclaredNamespaceIsDeclaredOnItsElement)
{
    Output out;
    out->WriteStartElement(S(L"p"), S(L"a"), S(L"urn:p"));
    out->WriteStartElement(S(L"p"), S(L"b"), S(L"urn:p"));
    out->WriteStartElement(S(L"c"), S(L"urn:d"));
    out->WriteStartAttribute(S(L"q"), S(L"x"), S(L"urn:q"));
    out->WriteEndAttribute();
    out->Close();
    EXPECT_EQ("<p:a xmlns:p=\"urn:p\"><p:b><c q:x=\"\" xmlns=\"urn:d\" xmlns:q=\"urn:q\" /></p:b></p:a>", out.Text());
}

// The declaration is an attribute: a quote or a line end in the name must not end or bend its value.
TEST(XmlTextWriter, AnAddedDeclarationEscapesItsValueAsAnAttribute)
{
    Output out;
    out->WriteStartElement(S(L"p"), S(L"a"), S(L"urn:\"x\"\n<y>"));
    out->Close();
    EXPECT_EQ("<p:a xmlns:p=\"urn:&quot;x&quot;&#xA;&lt;y&gt;\" />", out.Text());
}

TEST(XmlTextWriter, NamespaceRulesRejectMisusedPrefixes)
{
    Output out;
    EXPECT_THROW(out->WriteStartElement(S(L"xmlns"), S(L"a"), S(L"urn:x")), ArgumentException);
    EXPECT_THROW(out->WriteStartElement(S(L"xml"), S(L"a"), S(L"urn:x")), ArgumentException);
    EXPECT_THROW(out->WriteStartElement(S(L"p"), S(L"a"), S(XmlNamespaceManager::XmlNamespace)), ArgumentException);
    EXPECT_THROW(out->WriteStartElement(S(L"p"), S(L"a"), String()), ArgumentException); // p is not bound
    EXPECT_EQ(WriteState::Start, out->GetWriteState()); // a rejected argument changes nothing
    Output off;
    off->SetNamespaces(false);
    EXPECT_THROW(off->WriteStartElement(S(L"p"), S(L"a"), String()), ArgumentException);
    EXPECT_THROW(off->WriteStartElement(S(L"a"), S(L"urn:x")), ArgumentException);
    off->WriteStartElement(S(L"a"));
    EXPECT_THROW(off->WriteStartAttribute(S(L"p"), S(L"x"), String()), ArgumentException);
    EXPECT_THROW(off->SetNamespaces(true), InvalidOperationException);
}

TEST(XmlTextWriter, XmlSpaceAndXmlLangAreTracked)
{
    Output out;
    out->WriteStartElement(S(L"a"));
    out->WriteAttributeString(S(L"xml"), S(L"space"), String(), S(L"preserve"));
    out->WriteAttributeString(S(L"xml"), S(L"lang"), String(), S(L"en"));
    EXPECT_EQ(XmlSpace::Preserve, out->GetXmlSpace());
    EXPECT_EQ(S(L"en"), out->GetXmlLang());
    out->WriteStartElement(S(L"b"));
    EXPECT_EQ(XmlSpace::Preserve, out->GetXmlSpace()); // inherited
    out->WriteStartAttribute(S(L"xml"), S(L"space"), String());
    out->WriteString(S(L"keep"));
    EXPECT_EQ(L"", ThrownMessage([&] { out->WriteEndAttribute(); }));
    EXPECT_THROW(out->WriteEndAttribute(), ArgumentException);
}

TEST(XmlTextWriter, AttributesNeedAnOpenStartTag)
{
    Output out;
    EXPECT_THROW(out->WriteStartAttribute(String(), S(L"x"), String()), InvalidOperationException);
    EXPECT_THROW(out->WriteEndAttribute(), InvalidOperationException);
    out->WriteStartElement(S(L"a"));
    out->WriteString(S(L"t"));
    EXPECT_EQ(L"", ThrownMessage([&] { out->WriteAttributeString(S(L"x"), S(L"1")); }));
    out->WriteEndElement();
    EXPECT_THROW(out->WriteEndElement(), InvalidOperationException); // no element is open
}

TEST(XmlTextWriter, StartingAnAttributeEndsThePreviousOne)
{
    Output out;
    out->WriteStartElement(S(L"a"));
    out->WriteStartAttribute(String(), S(L"x"), String());
    out->WriteString(S(L"1"));
    out->WriteStartAttribute(String(), S(L"y"), String());
    out->WriteEndElement();
    EXPECT_EQ("<a x=\"1\" y=\"\" />", out.Text());
}

TEST(XmlTextWriter, OnlyOneRootElementFollowsADeclaration)
{
    Output out;
    out->WriteStartDocument();
    out->WriteElementString(S(L"a"), String());
    EXPECT_THROW(out->WriteStartElement(S(L"b")), InvalidOperationException);
    EXPECT_THROW(out->WriteString(S(L"x")), InvalidOperationException);
    out->WriteComment(S(L"after"));
    EXPECT_EQ("<?xml version=\"1.0\"?><a /><!--after-->", out.Text());
    Output fragment; // without a declaration, several top-level elements are allowed
    fragment->WriteElementString(S(L"a"), String());
    fragment->WriteElementString(S(L"b"), S(L"t"));
    EXPECT_EQ("<a /><b>t</b>", fragment.Text());
}

// ---------------------------------------------------------------------------------------------------------------
// Escaping

TEST(XmlTextWriter, TextEscapesMarkupCharacters)
{
    Output out;
    out->WriteStartElement(S(L"a"));
    out->WriteAttributeString(S(L"v"), S(L"a<b&c\"d'e>"));
    out->WriteString(S(L"a<b&c\"d'e>"));
    out->WriteEndElement();
    EXPECT_EQ("<a v=\"a&lt;b&amp;c&quot;d'e&gt;\">a&lt;b&amp;c\"d'e&gt;</a>", out.Text());
    Output apostrophes;
    apostrophes->SetQuoteChar(L'\'');
    apostrophes->WriteStartElement(S(L"a"));
    apostrophes->WriteAttributeString(S(L"v"), S(L"\"'"));
    apostrophes->WriteEndElement();
    EXPECT_EQ("<a v='\"&apos;' />", apostrophes.Text());
}

// Control characters, U+FFFE and U+FFFF cannot stand in XML 1.0, not even as references: strict readers refuse
// the whole document. They become U+FFFD, so the document stays readable; line ends in attribute values become
// references, as a reader would turn them into spaces.
TEST(XmlTextWriter, CharactersXmlCannotHoldBecomeTheReplacementCharacter)
{
    Output out;
    out->WriteStartElement(S(L"a"));
    out->WriteAttributeString(S(L"v"), S(L"1\r\n2\t3\x0001") + String(L'\0', 1));
    out->WriteString(S(L"x\x0001y\r\n\tz\x001F\xFFFE\xFFFF\xFFFD"));
    out->WriteEndElement();
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ("<a v=\"1&#xD;&#xA;2\t3" + fffd + fffd + "\">x" + fffd + "y\r\n\tz" + fffd + fffd + fffd + fffd + "</a>",
              out.Text());
}

// Plain runs are skipped in blocks of eight units: every special unit must be found wherever it falls in a
// block, in text and in attribute values.
TEST(XmlTextWriter, EscapingFindsASpecialUnitAtEveryPositionOfLongText)
{
    struct Case
    {
        wchar_t unit;
        const char* inText;
        const char* inAttribute;
    };
    const Case cases[] = {{L'&', "&amp;", "&amp;"},
                          {L'<', "&lt;", "&lt;"},
                          {L'>', "&gt;", "&gt;"},
                          {L'"', "\"", "&quot;"},
                          {L'\'', "'", "'"},
                          {L'\x01', "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
                          {L'\t', "\t", "\t"},
                          {L'\n', "\n", "&#xA;"},
                          {L'\r', "\r", "&#xD;"},
                          {L'\x1F', "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
                          {0xFFFE, "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
                          {0xE9, "\xC3\xA9", "\xC3\xA9"},
                          {L' ', " ", " "},
                          {0xD7FF, "\xED\x9F\xBF", "\xED\x9F\xBF"}};
    for (int length = 1; length <= 20; length++)
    {
        for (int position = 0; position < length; position++)
        {
            for (const Case& c : cases)
            {
                String text(L'x', length);
                std::wstring units(text.GetBuffer(), static_cast<size_t>(length));
                units[static_cast<size_t>(position)] = c.unit;
                text = String(units.c_str(), length);
                std::string before(static_cast<size_t>(position), 'x');
                std::string after(static_cast<size_t>(length - position - 1), 'x');
                Output out;
                out->WriteStartElement(S(L"a"));
                out->WriteAttributeString(S(L"v"), text);
                out->WriteString(text);
                out->WriteEndElement();
                std::string expected =
                    "<a v=\"" + before + c.inAttribute + after + "\">" + before + c.inText + after + "</a>";
                ASSERT_EQ(expected, out.Text())
                    << "unit " << static_cast<int>(c.unit) << " at " << position << " of " << length;
            }
        }
    }
}

// Text longer than the writer's buffer goes through it in pieces; specials on either side of a piece's end are
// still found.
TEST(XmlTextWriter, EscapingLongTextAcrossTheBuffer)
{
    for (int position : {0, 1, 900, 1000, 1007, 1008, 1015, 1016, 1017, 2040, 2047, 2999})
    {
        std::wstring chars(3000, L'z');
        chars[static_cast<size_t>(position)] = L'<';
        chars[2999 - static_cast<size_t>(position) / 2] = L'&';
        // The later unit is replaced first, so the earlier one's index still holds.
        size_t less = static_cast<size_t>(position);
        size_t amp = 2999 - less / 2;
        std::string expected(3000, 'z');
        if (less > amp)
        {
            expected.replace(less, 1, "&lt;");
        }
        expected.replace(amp, 1, "&amp;");
        if (less < amp)
        {
            expected.replace(less, 1, "&lt;");
        }
        Output out;
        out->WriteStartElement(S(L"a"));
        out->WriteAttributeString(S(L"v"), S(L"w"));
        out->WriteString(String(L"12345"));
        out->WriteString(String(chars.c_str(), 3000));
        out->WriteEndElement();
        ASSERT_EQ("<a v=\"w\">12345" + expected + "</a>", out.Text()) << position;
    }
}

// The writer hands its buffer to the stream writer narrowed when it is all ASCII and through the encoder when
// not; a pair split between two hand-overs (raw text may end with half of one) must still become one character.
TEST(XmlTextWriter, ASurrogatePairSplitBetweenTwoHandOversStaysOneCharacter)
{
    for (int before = 1000; before < 1030; before++)
    {
        Output out;
        std::wstring first(static_cast<size_t>(before), L'x');
        first += L'\xD83D';
        std::wstring second = L"\xDE00" + std::wstring(2000, L'y');
        out->WriteRaw(String(first.c_str(), static_cast<int>(first.size())));
        out->WriteRaw(String(second.c_str(), static_cast<int>(second.size())));
        ASSERT_EQ(std::string(static_cast<size_t>(before), 'x') + "\xF0\x9F\x98\x80" + std::string(2000, 'y'),
                  out.Text())
            << before;
    }
}

TEST(XmlTextWriter, ASurrogatePairIsWrittenAsItIs)
{
    Output out;
    out->WriteElementString(S(L"a"), S(L"\xD83D\xDE00!"));
    EXPECT_EQ("<a>\xF0\x9F\x98\x80!</a>", out.Text());
}

TEST(XmlTextWriter, EmptyTextWritesNothingAndKeepsTheStartTagOpen)
{
    Output out;
    out->WriteStartElement(S(L"a"));
    out->WriteString(String());
    EXPECT_EQ(WriteState::Element, out->GetWriteState());
    out->WriteEndElement();
    EXPECT_EQ("<a />", out.Text());
}

// ---------------------------------------------------------------------------------------------------------------
// Comments, CDATA, processing instructions and other nodes

TEST(XmlTextWriter, CommentsAndCdataRejectTextThatWouldEndThem)
{
    Output out;
    out->WriteStartElement(S(L"a"));
    EXPECT_THROW(out->WriteComment(S(L"a--b")), ArgumentException);
    EXPECT_THROW(out->WriteComment(S(L"ends-")), ArgumentException);
    EXPECT_THROW(out->WriteCData(S(L"x]]>y")), ArgumentException);
    EXPECT_EQ(WriteState::Element, out->GetWriteState());
    out->WriteComment(S(L"a-b"));
    out->WriteCData(S(L"<x>]]"));
    out->WriteEndElement();
    EXPECT_EQ("<a><!--a-b--><![CDATA[<x>]]]]></a>", out.Text());
}

TEST(XmlTextWriter, CdataIsNotAllowedAtTheTopLevelOfADeclaredDocument)
{
    Output out;
    out->WriteStartDocument();
    EXPECT_THROW(out->WriteCData(S(L"x")), InvalidOperationException);
}

TEST(XmlTextWriter, ProcessingInstructionsEntityReferencesWhitespaceAndDocumentTypes)
{
    Output out;
    out->WriteDocType(S(L"r"), String(), S(L"r.dtd"), String());
    out->WriteProcessingInstruction(S(L"p"), S(L"v"));
    out->WriteStartElement(S(L"r"));
    out->WriteEntityRef(S(L"nbsp"));
    out->WriteWhitespace(S(L" \t"));
    EXPECT_THROW(out->WriteWhitespace(S(L" x")), ArgumentException);
    EXPECT_THROW(out->WriteEntityRef(S(L"1x")), ArgumentException);
    EXPECT_THROW(out->WriteProcessingInstruction(S(L"q"), S(L"a?>b")), ArgumentException);
    EXPECT_THROW(out->WriteProcessingInstruction(S(L"xml"), S(L"version='1.0'")), InvalidOperationException);
    EXPECT_THROW(out->WriteDocType(S(L"r"), String(), String(), String()), InvalidOperationException);
    out->WriteEndElement();
    EXPECT_EQ("<!DOCTYPE r SYSTEM \"r.dtd\"><?p v?><r>&nbsp; \t</r>", out.Text());
    Output full;
    full->WriteDocType(S(L"r"), S(L"-//P"), S(L"s"), S(L"<!ENTITY e 'x'>"));
    EXPECT_EQ("<!DOCTYPE r PUBLIC \"-//P\" \"s\" [<!ENTITY e 'x'>]>", full.Text());
}

TEST(XmlTextWriter, BinHexWritesUppercaseDigitsHighNibbleFirst)
{
    Output out;
    const uint8_t bytes[] = {0x00, 0x1F, 0xA0, 0xFF};
    out->WriteStartElement(S(L"b"));
    out->WriteBinHex(bytes, 1, 3);
    out->WriteEndElement();
    EXPECT_EQ("<b>1FA0FF</b>", out.Text());
    EXPECT_THROW(out->WriteBinHex(nullptr, 0, 1), ArgumentNullException);
    EXPECT_THROW(out->WriteBinHex(bytes, -1, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(out->WriteBase64(bytes, 0, 1), NotImplementedException);
}

// ---------------------------------------------------------------------------------------------------------------
// States and failures

TEST(XmlTextWriter, TextBeforeTheRootIsAllowedOnlyWithoutDeclaration)
{
    Output out;
    out->WriteString(S(L"loose"));
    EXPECT_EQ(WriteState::Content, out->GetWriteState());
    Output declared;
    declared->WriteStartDocument();
    EXPECT_THROW(declared->WriteString(S(L"x")), InvalidOperationException);
    EXPECT_THROW(declared->WriteEndElement(), InvalidOperationException);
}

// Names are looked up in a small cache that many names share: every end tag must still be the name of its own
// start tag, also when the names before it have pushed its entry out.
TEST(XmlTextWriter, EndTagsKeepTheirNamesWhateverNamesCameBetween)
{
    Output out;
    std::string expected;
    for (int i = 0; i < 120; i++)
    {
        String name = String(L"n") + (i * 7 % 120);
        out->WriteStartElement(name);
        expected += "<n" + std::to_string(i * 7 % 120) + ">";
        out->WriteString(S(L"t"));
        expected += "t";
    }
    for (int i = 119; i >= 0; i--)
    {
        out->WriteEndElement();
        expected += "</n" + std::to_string(i * 7 % 120) + ">";
    }
    EXPECT_EQ(expected, out.Text());
}

// Markup is buffered by the writer; text longer than its buffer and many small pieces must reach the stream
// in the order they were written.
TEST(XmlTextWriter, LongTextAndManySmallPiecesArriveInOrder)
{
    Output out;
    std::string expected;
    out->WriteStartElement(S(L"a"));
    expected += "<a>";
    for (int round = 0; round < 30; round++)
    {
        int length = round * 173 % 3000;
        out->WriteElementString(S(L"b"), String(L'x', length));
        expected += length == 0 ? "<b />" : "<b>" + std::string(static_cast<size_t>(length), 'x') + "</b>";
        out->WriteString(S(L"&"));
        expected += "&amp;";
    }
    out->WriteEndElement();
    expected += "</a>";
    EXPECT_EQ(expected, out.Text());
}

TEST(XmlTextWriter, AFailingStreamPutsTheWriterInTheErrorState)
{
    Testing::TempDirectory directory;
    String path = directory.File(L"read-only.xml");
    Testing::WriteFileBytes(path, "");
    FileStream readOnly(path, FileMode::Open, FileAccess::Read, FileShare::ReadWrite);
    XmlTextWriter writer(&readOnly, nullptr);
    writer.WriteStartElement(S(L"a"));
    EXPECT_THROW(writer.WriteString(String(L'x', 5000)), Exception);
    EXPECT_EQ(WriteState::Error, writer.GetWriteState());
    EXPECT_THROW(writer.WriteEndElement(), InvalidOperationException);
    EXPECT_THROW(writer.WriteComment(S(L"c")), InvalidOperationException);
}

TEST(XmlTextWriter, WritingLeavesNothingAllocated)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         MemoryStream stream;
                         XmlTextWriter writer(&stream, nullptr);
                         writer.SetFormatting(Formatting::Indented);
                         writer.WriteStartDocument();
                         writer.WriteStartElement(S(L"p"), S(L"r"), S(L"urn:p"));
                         writer.WriteAttributeString(S(L"xml"), S(L"lang"), String(), S(L"en"));
                         for (int i = 0; i < 40; i++)
                         {
                             writer.WriteElementString(S(L"e"), String(L"v") + i);
                         }
                         writer.WriteEndDocument();
                         writer.Close();
                     }));
}

TEST(XmlTextWriter, AFailingAllocationLeavesNothingBehind)
{
    bool injected = true;
    for (int failing = 0; injected; failing++)
    {
        int64_t leaked = Testing::LeakedBy(
            [&]
            {
                try
                {
                    injected = Testing::RunWithFailingAllocation(failing,
                                                                 []
                                                                 {
                                                                     MemoryStream stream;
                                                                     XmlTextWriter writer(&stream, nullptr);
                                                                     writer.SetFormatting(Formatting::Indented);
                                                                     writer.WriteStartDocument();
                                                                     writer.WriteStartElement(S(L"r"));
                                                                     writer.WriteAttributeString(S(L"xmlns"), S(L"p"),
                                                                                                 String(), S(L"urn:p"));
                                                                     writer.WriteElementString(S(L"e"), S(L"<v>"));
                                                                     writer.WriteEndDocument();
                                                                     writer.Close();
                                                                 });
                }
                catch (const std::bad_alloc&)
                {
                }
            });
        EXPECT_EQ(0, leaked) << "allocation " << failing;
    }
}
