// The bytes the XML writer hands to its stream: ASCII collected in room lent by the UTF-8 stream writer or in
// the writer's own buffer, everything else passed on as units after it. Expected documents are built here,
// unit by unit, without the writer.
#include "core/xml/XmlTextWriter.h"

#include "core/io/IOException.h"
#include "core/io/MemoryStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

using namespace Core;
using namespace Core::IO;
using namespace Core::Xml;

namespace
{

String W(const std::wstring& text)
{
    return String(text.data(), static_cast<int>(text.size()));
}

// Bytes of a literal that holds zeros.
template <size_t N> std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

// Escaping as XML needs it, one unit at a time: entities for markup characters, in attribute values also
// references for line ends and the delimiting quote, and U+FFFD for what XML 1.0 cannot hold (control
// characters, U+FFFE and U+FFFF, a surrogate without its partner).
std::wstring Escape(const std::wstring& text, bool inAttribute, wchar_t quote = L'"')
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); i++)
    {
        wchar_t ch = text[i];
        bool paired =
            ch >= 0xD800 && ch <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (paired)
        {
            out += ch;
            out += text[++i];
        }
        else if (ch == L'&')
        {
            out += L"&amp;";
        }
        else if (ch == L'<')
        {
            out += L"&lt;";
        }
        else if (ch == L'>')
        {
            out += L"&gt;";
        }
        else if (inAttribute && ch == quote)
        {
            out += quote == L'"' ? L"&quot;" : L"&apos;";
        }
        else if (inAttribute && (ch == L'\n' || ch == L'\r'))
        {
            out += ch == L'\n' ? L"&#xA;" : L"&#xD;";
        }
        else if (ch == L'\t' || ch == L'\n' || ch == L'\r' || (ch >= 0x20 && ch < 0xD800) ||
                 (ch > 0xDFFF && ch < 0xFFFE))
        {
            out += ch;
        }
        else
        {
            out += L'\xFFFD';
        }
    }
    return out;
}

// U+FFFD count times, in UTF-8.
std::string Replaced(int count)
{
    std::string out;
    for (int i = 0; i < count; i++)
    {
        out += "\xEF\xBF\xBD";
    }
    return out;
}

// UTF-8 as the project's encoder writes it: a surrogate without its partner becomes U+FFFD.
std::string Utf8(const std::wstring& units)
{
    std::string out;
    for (size_t i = 0; i < units.size(); i++)
    {
        uint32_t code = units[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF)
        {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
            i++;
        }
        else if (code >= 0xD800 && code <= 0xDFFF)
        {
            code = 0xFFFD;
        }
        if (code < 0x80)
        {
            out += static_cast<char>(code);
        }
        else if (code < 0x800)
        {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        else if (code < 0x10000)
        {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

// UTF-16 with its byte-order mark; units go out as they are, lone surrogates included.
std::string Utf16(const std::wstring& units, bool bigEndian = false)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t unit : units)
    {
        char high = static_cast<char>(unit >> 8);
        char low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

std::string Encoded(const std::wstring& units, const Encoding* encoding)
{
    if (encoding == Encoding::UTF16LittleEndian())
    {
        return Utf16(units);
    }
    if (encoding == Encoding::UTF16BigEndian())
    {
        return Utf16(units, true);
    }
    return Utf8(units);
}

const char* NameOf(const Encoding* encoding)
{
    return encoding == nullptr ? "UTF-8" : encoding == Encoding::UTF16LittleEndian() ? "UTF-16LE" : "UTF-16BE";
}

std::string Shown(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (char c : bytes)
    {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\')
        {
            out += c;
        }
        else
        {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        }
    }
    return out;
}

// Long documents: where the bytes first differ, instead of two dumps of a hundred kilobytes.
testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual)
{
    if (expected == actual)
    {
        return testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
    {
        at++;
    }
    size_t from = at > 40 ? at - 40 : 0;
    return testing::AssertionFailure() << "lengths " << expected.size() << " and " << actual.size()
                                       << ", first difference at " << at
                                       << "\n  expected: " << Shown(expected.substr(from, 80)) << "\n  actual:   "
                                       << Shown(actual.substr(from < actual.size() ? from : actual.size(), 80));
}

// A writer over a memory stream; bufferSize 0 takes the writer's default.
class Output
{
public:
    explicit Output(const Encoding* encoding = nullptr, int bufferSize = 0, bool indented = false)
        : m_writer(bufferSize > 0 ? std::make_unique<XmlTextWriter>(&m_stream, encoding, bufferSize)
                                  : std::make_unique<XmlTextWriter>(&m_stream, encoding))
    {
        if (indented)
        {
            m_writer->SetFormatting(Formatting::Indented);
        }
    }
    XmlTextWriter* operator->() { return m_writer.get(); }
    XmlTextWriter& Writer() { return *m_writer; }
    // What reached the stream, without flushing.
    const std::string& Stream() const { return m_stream.GetBytes(); }
    const MemoryStream& GetStream() const { return m_stream; }
    std::string Bytes()
    {
        if (m_writer->GetWriteState() != WriteState::Closed)
        {
            m_writer->Flush();
        }
        return m_stream.GetBytes();
    }
    void Destroy() { m_writer.reset(); }

private:
    MemoryStream m_stream;
    std::unique_ptr<XmlTextWriter> m_writer;
};

// The steps that write a document, and the units it must consist of, built side by side.
struct Script
{
    std::vector<std::function<void(XmlTextWriter&)>> steps;
    std::wstring expected;

    void Run(XmlTextWriter& writer) const
    {
        for (const auto& step : steps)
        {
            step(writer);
        }
    }
};

// Many elements whose names, attributes and texts are drawn from pools mixing ASCII, other units, markup
// characters, surrogate pairs and lengths on either side of the writer's limits (8 units for names kept in
// their slot, 256 for the one-piece paths).
Script MixedDocument(bool indented, int count, uint32_t seed)
{
    const std::wstring names[] = {L"a",
                                  L"Row",
                                  L"Cell",
                                  L"C\u00E9ll",
                                  L"Cellules",
                                  L"Cellulesx",
                                  L"Cellule\u00E9",
                                  L"Cellules\u00E9",
                                  L"\u00DCberschrift",
                                  L"\u4E2D",
                                  L"\u0143ell",
                                  L"Data",
                                  std::wstring(40, L'n'),
                                  std::wstring(300, L'L')};
    const std::wstring attributeNames[] = {
        L"n", L"ss:Width", L"\u00F1", L"Abcdefgh", L"Abcdefghi", L"\u00DCberl\u00E4nge", std::wstring(260, L'q')};
    std::wstring mixed;
    for (int i = 0; i < 175; i++)
    {
        mixed += L"ab\u00E9<";
    }
    const std::wstring texts[] = {L"",
                                  L"x",
                                  L"plain ascii text",
                                  L"caf\u00E9",
                                  L"\u00E9t\u00E9 & <hiver>",
                                  L"\xD83D\xDE00 smile",
                                  L"line\r\nend\ttab",
                                  L"\u4E2D\u6587",
                                  L"a\"b'c",
                                  L"\x01\uFFFE\uFFFF",
                                  L"half\xD83D",
                                  std::wstring(300, L'z'),
                                  mixed};
    auto next = [&seed](size_t n)
    {
        seed = seed * 1103515245u + 12345u;
        return static_cast<size_t>((seed >> 8) % n);
    };
    auto pick = [&next](const auto& pool) -> const std::wstring& { return pool[next(std::size(pool))]; };
    auto line = [indented](int depth)
    { return indented ? L"\r\n" + std::wstring(static_cast<size_t>(depth), L'\t') : L""; };
    auto element = [](const std::wstring& name, const std::wstring& text)
    { return text.empty() ? L"<" + name + L" />" : L"<" + name + L">" + Escape(text, false) + L"</" + name + L">"; };

    Script script;
    script.steps.push_back([](XmlTextWriter& writer) { writer.WriteStartElement(W(L"r")); });
    script.expected = L"<r>";
    for (int i = 0; i < count; i++)
    {
        const std::wstring& name = pick(names);
        script.steps.push_back([s = W(name)](XmlTextWriter& writer) { writer.WriteStartElement(s); });
        script.expected += line(1) + L"<" + name;
        for (size_t attribute = next(3); attribute > 0; attribute--)
        {
            const std::wstring& attributeName = pick(attributeNames);
            const std::wstring& value = pick(texts);
            script.steps.push_back([n = W(attributeName), v = W(value)](XmlTextWriter& writer)
                                   { writer.WriteAttributeString(n, v); });
            script.expected += L" " + attributeName + L"=\"" + Escape(value, true) + L"\"";
        }
        switch (next(4))
        {
        case 0:
            script.steps.push_back([](XmlTextWriter& writer) { writer.WriteEndElement(); });
            script.expected += L" />";
            break;
        case 1:
        {
            const std::wstring& text = pick(texts);
            script.steps.push_back(
                [t = W(text)](XmlTextWriter& writer)
                {
                    writer.WriteString(t);
                    writer.WriteEndElement();
                });
            // An empty text leaves the start tag open.
            script.expected += text.empty() ? L" />" : L">" + Escape(text, false) + L"</" + name + L">";
            break;
        }
        case 2:
            script.expected += L">";
            for (size_t child = 1 + next(3); child > 0; child--)
            {
                const std::wstring& childName = pick(names);
                const std::wstring& text = pick(texts);
                script.steps.push_back([n = W(childName), t = W(text)](XmlTextWriter& writer)
                                       { writer.WriteElementString(n, t); });
                script.expected += line(2) + element(childName, text);
            }
            script.steps.push_back([](XmlTextWriter& writer) { writer.WriteEndElement(); });
            script.expected += line(1) + L"</" + name + L">";
            break;
        default:
            script.steps.push_back([](XmlTextWriter& writer) { writer.WriteFullEndElement(); });
            script.expected += L"></" + name + L">";
            break;
        }
    }
    script.steps.push_back([](XmlTextWriter& writer) { writer.WriteEndElement(); });
    script.expected += line(0) + L"</r>";
    return script;
}

// Takes bytes up to a limit, the write that crosses it only in part, then fails on every write.
class FailingStream : public Stream
{
public:
    explicit FailingStream(int limit) : m_limit(limit) {}

    bool CanRead() const override { return false; }
    bool CanWrite() const override { return true; }
    int Read(uint8_t*, int, int) override { return 0; }
    void Write(const uint8_t* bytes, int offset, int count) override
    {
        int room = m_limit - static_cast<int>(m_data.size());
        int taken = count < room ? count : room;
        m_data.append(reinterpret_cast<const char*>(bytes + offset), static_cast<size_t>(taken));
        if (taken < count)
        {
            throw IOException(String(L"disk full"));
        }
    }
    void Flush() override {}
    void Close() override {}

    const std::string& Data() const { return m_data; }

private:
    int m_limit;
    std::string m_data;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Names

// Short names are kept narrowed in their slot, to close the element and to recognise the next name at that
// depth; a name that is not ASCII, or longer than eight units, must neither be taken for nor close as another.
TEST(XmlTextWriterOutput, NonAsciiAndLongElementNamesGoOutAsUtf8AndCloseAsThemselves)
{
    for (bool indented : {false, true})
    {
        Output out(nullptr, 0, indented);
        out->WriteStartElement(W(L"r"));
        out->WriteElementString(W(L"Cell"), W(L"1"));
        out->WriteElementString(W(L"C\u00E9ll"), W(L"2"));
        out->WriteElementString(W(L"Cell"), W(L"3"));
        out->WriteStartElement(W(L"\u00DCberschrift-\u00E4"));
        out->WriteStartElement(W(L"\u4E2D"));
        out->WriteEndElement();
        out->WriteEndElement();
        out->WriteElementString(W(L"Cellules"), W(L"4"));
        out->WriteElementString(W(L"Cellulesx"), W(L"5"));
        out->WriteElementString(W(L"Cellule\u00E9"), W(L"6"));
        out->WriteElementString(W(L"Cellules"), W(L"7"));
        out->WriteStartElement(W(L"\u00E9"));
        out->WriteFullEndElement();
        out->WriteEndElement();
        auto line = [indented](int depth)
        { return indented ? "\r\n" + std::string(static_cast<size_t>(depth), '\t') : ""; };
        std::string expected = "<r>" + line(1) + "<Cell>1</Cell>" + line(1) + "<C\xC3\xA9ll>2</C\xC3\xA9ll>" + line(1) +
                               "<Cell>3</Cell>" + line(1) +
                               "<\xC3\x9C"
                               "berschrift-\xC3\xA4>" +
                               line(2) + "<\xE4\xB8\xAD />" + line(1) +
                               "</\xC3\x9C"
                               "berschrift-\xC3\xA4>" +
                               line(1) + "<Cellules>4</Cellules>" + line(1) + "<Cellulesx>5</Cellulesx>" + line(1) +
                               "<Cellule\xC3\xA9>6</Cellule\xC3\xA9>" + line(1) + "<Cellules>7</Cellules>" + line(1) +
                               "<\xC3\xA9></\xC3\xA9>" + line(0) + "</r>";
        EXPECT_EQ(expected, out.Bytes()) << "indented " << indented;
    }
}

TEST(XmlTextWriterOutput, NonAsciiElementNamesInUtf16)
{
    Output small(Encoding::UTF16LittleEndian());
    small->WriteStartElement(W(L"r"));
    small->WriteElementString(W(L"\u00E9"), W(L"\u4E2D"));
    small->WriteElementString(W(L"e"), W(L"x"));
    small->WriteEndElement();
    EXPECT_EQ(Bytes("\xFF\xFE<\0r\0>\0<\0\xE9\0>\0\x2D\x4E<\0/\0\xE9\0>\0<\0e\0>\0x\0<\0/\0e\0>\0<\0/\0r\0>\0"),
              small.Bytes());
    for (bool indented : {false, true})
    {
        Output out(Encoding::UTF16BigEndian(), 0, indented);
        out->WriteStartElement(W(L"r"));
        out->WriteElementString(W(L"Cell"), W(L"1"));
        out->WriteElementString(W(L"C\u00E9ll"), W(L"2"));
        out->WriteElementString(W(L"Cell"), W(L"3"));
        out->WriteStartElement(W(L"\u00DCberschrift-\u00E4"));
        out->WriteElementString(W(L"Cellule\u00E9"), String());
        out->WriteEndElement();
        out->WriteEndElement();
        std::wstring line = indented ? L"\r\n\t" : L"";
        std::wstring expected = L"<r>" + line + L"<Cell>1</Cell>" + line + L"<C\u00E9ll>2</C\u00E9ll>" + line +
                                L"<Cell>3</Cell>" + line + L"<\u00DCberschrift-\u00E4>" + line +
                                (indented ? L"\t" : L"") + L"<Cellule\u00E9 />" + line + L"</\u00DCberschrift-\u00E4>" +
                                (indented ? L"\r\n" : L"") + L"</r>";
        EXPECT_EQ(Utf16(expected, true), out.Bytes()) << "indented " << indented;
    }
}

// Every pair of names in a row at one depth, and under them at the next, with every kind of content: whatever
// the slot held before, the end tag is the element's own name.
TEST(XmlTextWriterOutput, SiblingsSwitchingBetweenAsciiAndNonAsciiNamesKeepTheirOwnEndTags)
{
    const std::wstring names[] = {L"Cell",
                                  L"C\u00E9ll",
                                  L"\u0143ell",
                                  L"Cellules",
                                  L"Cellulesx",
                                  L"Cellulesy",
                                  L"Cellulez",
                                  L"Cellule\u00E9",
                                  L"Cellules\u00E9",
                                  L"\u00E9",
                                  L"c",
                                  L"Cell1234",
                                  std::wstring(256, L'L'),
                                  std::wstring(257, L'L'),
                                  L"\u00E9" + std::wstring(256, L'L')};
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        for (bool indented : {false, true})
        {
            Output out(encoding, 128, indented);
            std::wstring expected = L"<r>";
            out->WriteStartElement(W(L"r"));
            std::wstring outer = indented ? L"\r\n\t" : L"";
            std::wstring inner = indented ? L"\r\n\t\t" : L"";
            int kind = 0;
            for (const std::wstring& first : names)
            {
                for (const std::wstring& second : names)
                {
                    for (const std::wstring& name : {first, second})
                    {
                        out->WriteStartElement(W(name));
                        expected += outer + L"<" + name;
                        switch (kind++ % 5)
                        {
                        case 0:
                            out->WriteEndElement();
                            expected += L" />";
                            break;
                        case 1:
                            out->WriteString(W(L"t"));
                            out->WriteEndElement();
                            expected += L">t</" + name + L">";
                            break;
                        case 2:
                            out->WriteFullEndElement();
                            expected += L"></" + name + L">";
                            break;
                        default:
                            // Children named like the pair, so the slot below meets the same changes.
                            out->WriteElementString(W(first), W(L"u"));
                            out->WriteElementString(W(second), String());
                            out->WriteElementString(W(first), String());
                            out->WriteEndElement();
                            expected += L">" + inner + L"<" + first + L">u</" + first + L">" + inner + L"<" + second +
                                        L" />" + inner + L"<" + first + L" />" + outer + L"</" + name + L">";
                            break;
                        }
                    }
                }
            }
            out->WriteEndElement();
            expected += (indented ? L"\r\n" : L"") + std::wstring(L"</r>");
            EXPECT_TRUE(SameBytes(Encoded(expected, encoding), out.Bytes()))
                << NameOf(encoding) << " indented " << indented;
        }
    }
}

TEST(XmlTextWriterOutput, NonAsciiAttributeNamesGoOutInTheirPlace)
{
    std::wstring longName = L"\u00E4" + std::wstring(299, L'q');
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        for (bool indented : {false, true})
        {
            Output out(encoding, 0, indented);
            out->WriteStartElement(W(L"r"));
            out->WriteStartElement(W(L"e"));
            out->WriteAttributeString(W(L"a"), W(L"1"));
            out->WriteAttributeString(W(L"\u00F1"), W(L"2"));
            out->WriteAttributeString(W(L"b"), W(L"3"));
            out->WriteAttributeString(W(L"\u00DCberl\u00E4nge-Name"), W(L"x<\u00E9\""));
            out->WriteAttributeString(W(L"Abcdefgh"), String());
            // Starting an attribute while one is open takes the general path.
            out->WriteStartAttribute(String(), W(L"z"), String());
            out->WriteString(W(L"4"));
            out->WriteStartAttribute(String(), W(L"\u00F6l"), String());
            out->WriteString(W(L"5"));
            out->WriteEndAttribute();
            out->WriteAttributeString(W(longName), W(L"6"));
            out->WriteAttributeString(W(L"c"), W(L"7"));
            out->WriteString(W(L"t"));
            out->WriteEndElement();
            out->WriteStartElement(W(L"\u00E9"));
            out->WriteAttributeString(W(L"\u00E9"), W(L"\u00E9"));
            out->WriteEndElement();
            out->WriteEndElement();
            std::wstring line = indented ? L"\r\n\t" : L"";
            std::wstring expected = L"<r>" + line +
                                    L"<e a=\"1\" \u00F1=\"2\" b=\"3\" \u00DCberl\u00E4nge-Name=\"x&lt;\u00E9&quot;\" "
                                    L"Abcdefgh=\"\" z=\"4\" \u00F6l=\"5\" " +
                                    longName + L"=\"6\" c=\"7\">t</e>" + line + L"<\u00E9 \u00E9=\"\u00E9\" />" +
                                    (indented ? L"\r\n" : L"") + L"</r>";
            EXPECT_EQ(Encoded(expected, encoding), out.Bytes()) << NameOf(encoding) << " indented " << indented;
        }
    }
}

TEST(XmlTextWriterOutput, NonAsciiPrefixesAndNamespacesAreDeclaredAndClosed)
{
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        for (bool indented : {false, true})
        {
            Output out(encoding, 128, indented);
            out->WriteStartElement(W(L"\u00F1s"), W(L"wurzel"), W(L"urn:\u00FC<&\"x"));
            out->WriteAttributeString(W(L"\u00E4t"), W(L"\u00E9"), W(L"urn:\u00E4"), W(L"v"));
            out->WriteAttributeString(String(), W(L"f\u00FC"), W(L"urn:\u00F6"), W(L"w"));
            out->WriteAttributeString(W(L"xmlns"), W(L"\u00F8"), String(), W(L"urn:\u00F8"));
            out->WriteAttributeString(W(L"xml"), W(L"lang"), String(), W(L"fr-\u00E9"));
            out->WriteStartElement(W(L"kind"), W(L"urn:\u00FC<&\"x"));
            out->WriteString(W(L"\u00E9"));
            out->WriteEndElement();
            out->WriteStartElement(W(L"\u00F1s"), W(L"leer"), W(L"urn:\u00FC<&\"x"));
            out->WriteEndElement();
            out->WriteStartElement(W(L"x"), W(L"urn:\u00F8"));
            EXPECT_EQ(W(L"fr-\u00E9"), out->GetXmlLang());
            out->WriteStartElement(W(L"\u00E9l"), W(L"urn:\u00E9"));
            out->WriteEndElement();
            out->WriteEndElement();
            out->WriteEndElement();
            std::wstring one = indented ? L"\r\n\t" : L"";
            std::wstring two = indented ? L"\r\n\t\t" : L"";
            std::wstring expected =
                L"<\u00F1s:wurzel \u00E4t:\u00E9=\"v\" d1p1:f\u00FC=\"w\" xmlns:\u00F8=\"urn:\u00F8\" "
                L"xml:lang=\"fr-\u00E9\" xmlns:\u00F1s=\"urn:\u00FC&lt;&amp;&quot;x\" xmlns:\u00E4t=\"urn:\u00E4\" "
                L"xmlns:d1p1=\"urn:\u00F6\">" +
                one + L"<\u00F1s:kind>\u00E9</\u00F1s:kind>" + one + L"<\u00F1s:leer />" + one + L"<\u00F8:x>" + two +
                L"<\u00E9l xmlns=\"urn:\u00E9\" />" + one + L"</\u00F8:x>" + (indented ? L"\r\n" : L"") +
                L"</\u00F1s:wurzel>";
            EXPECT_EQ(Encoded(expected, encoding), out.Bytes()) << NameOf(encoding) << " indented " << indented;
        }
    }
}

// Indent characters are units like any other: one that is not ASCII, or more tabs than go out in one piece.
TEST(XmlTextWriterOutput, IndentationWithANonAsciiCharacterOrManyTabs)
{
    Output wide(nullptr, 128, true);
    wide->SetIndentChar(L'\u3000');
    wide->SetIndentation(2);
    wide->WriteStartElement(W(L"r"));
    wide->WriteStartElement(W(L"a"));
    wide->WriteElementString(W(L"\u00E9"), W(L"x"));
    wide->WriteEndElement();
    wide->WriteEndElement();
    const std::string space = "\xE3\x80\x80";
    EXPECT_EQ("<r>\r\n" + space + space + "<a>\r\n" + space + space + space + space + "<\xC3\xA9>x</\xC3\xA9>\r\n" +
                  space + space + "</a>\r\n</r>",
              wide.Bytes());
    Output deep(nullptr, 128, true);
    deep->SetIndentation(16);
    deep->WriteStartElement(W(L"r"));
    deep->WriteStartElement(W(L"a"));
    deep->WriteElementString(W(L"b"), W(L"\u00E9"));
    deep->WriteEndElement();
    deep->WriteEndElement();
    EXPECT_EQ("<r>\r\n" + std::string(16, '\t') + "<a>\r\n" + std::string(32, '\t') + "<b>\xC3\xA9</b>\r\n" +
                  std::string(16, '\t') + "</a>\r\n</r>",
              deep.Bytes());
}

TEST(XmlTextWriterOutput, CommentsCdataInstructionsDocTypesRawTextAndEntityReferencesMayHoldNonAscii)
{
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        Output out(encoding, 128);
        out->WriteDocType(W(L"w\u00FCrzel"), W(L"-//\u00E9"), W(L"s\u00E9.dtd"), W(L"<!ENTITY \u00E9 '\u00FC'>"));
        out->WriteProcessingInstruction(W(L"p\u00EF"), W(L"d\u00E4t\u00E4 <&>"));
        out->WriteStartElement(W(L"w\u00FCrzel"));
        out->WriteComment(W(L" caf\u00E9 <&> "));
        out->WriteCData(W(L"\u00FC<&>]]"));
        out->WriteRaw(W(L"\u00DF<&>"));
        out->WriteEntityRef(W(L"\u00E9"));
        out->WriteString(W(L"x"));
        out->WriteEndElement();
        std::wstring expected = L"<!DOCTYPE w\u00FCrzel PUBLIC \"-//\u00E9\" \"s\u00E9.dtd\" [<!ENTITY \u00E9 "
                                L"'\u00FC'>]><?p\u00EF d\u00E4t\u00E4 <&>?><w\u00FCrzel><!-- caf\u00E9 <&> -->"
                                L"<![CDATA[\u00FC<&>]]]]>\u00DF<&>&\u00E9;x</w\u00FCrzel>";
        EXPECT_EQ(Encoded(expected, encoding), out.Bytes()) << NameOf(encoding);
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Texts that switch to units

// From the first unit that is not ASCII the rest of a text goes to the stream writer as units: the markup
// characters after it must still be escaped, and the markup after the text must follow it, not overtake it.
TEST(XmlTextWriterOutput, ATextSwitchingToUnitsMidWayIsStillEscaped)
{
    const std::wstring text = L"abc\u00E9&<>\"'\r\n\t\x01\x1F\uFFFE\uFFFF\uFFFD\xD83D\xDE00 end";
    const std::string inText = "abc\xC3\xA9&amp;&lt;&gt;\"'\r\n\t" + Replaced(5) + "\xF0\x9F\x98\x80 end";
    const std::string inQuotes = "abc\xC3\xA9&amp;&lt;&gt;&quot;'&#xD;&#xA;\t" + Replaced(5) + "\xF0\x9F\x98\x80 end";
    const std::string inApostrophes =
        "abc\xC3\xA9&amp;&lt;&gt;\"&apos;&#xD;&#xA;\t" + Replaced(5) + "\xF0\x9F\x98\x80 end";
    for (int bufferSize : {0, 128})
    {
        Output out(nullptr, bufferSize);
        out->WriteStartElement(W(L"r"));
        out->WriteAttributeString(W(L"v"), W(text));
        out->WriteAttributeString(W(L"w"), W(L"\u00E9"));
        out->WriteString(W(text));
        out->WriteElementString(W(L"b"), W(L"\u00FC"));
        out->WriteString(W(L"z&"));
        out->WriteString(W(L"\u00E9"));
        out->WriteString(W(L"<"));
        out->WriteEndElement();
        EXPECT_EQ("<r v=\"" + inQuotes + "\" w=\"\xC3\xA9\">" + inText + "<b>\xC3\xBC</b>z&amp;\xC3\xA9&lt;</r>",
                  out.Bytes())
            << bufferSize;
        Output apostrophes(nullptr, bufferSize);
        apostrophes->SetQuoteChar(L'\'');
        apostrophes->WriteStartElement(W(L"r"));
        apostrophes->WriteAttributeString(W(L"v"), W(text));
        apostrophes->WriteEndElement();
        EXPECT_EQ("<r v='" + inApostrophes + "' />", apostrophes.Bytes()) << bufferSize;
    }
    Output utf16(Encoding::UTF16LittleEndian());
    utf16->WriteStartElement(W(L"r"));
    utf16->WriteAttributeString(W(L"v"), W(text));
    utf16->WriteString(W(text));
    utf16->WriteEndElement();
    EXPECT_EQ(Utf16(L"<r v=\"abc\u00E9&amp;&lt;&gt;&quot;'&#xD;&#xA;\t\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\xD83D\xDE00 end\">"
                    L"abc\u00E9&amp;&lt;&gt;\"'\r\n\t\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\xD83D\xDE00 end</r>"),
              utf16.Bytes());
}

// A text starting with a unit that is not ASCII, and one whose only such unit is its last.
TEST(XmlTextWriterOutput, TextsStartingOrEndingWithTheirOnlyNonAsciiUnit)
{
    Output out;
    out->WriteStartElement(W(L"r"));
    out->WriteAttributeString(W(L"a"), W(L"\u00E9&"));
    out->WriteAttributeString(W(L"b"), W(L"&\"\u00E9"));
    out->WriteString(W(L"\u4E2D<x>"));
    out->WriteString(W(L"<x>\u4E2D"));
    out->WriteElementString(W(L"c"), W(L"\u00E9"));
    out->WriteEndElement();
    EXPECT_EQ("<r a=\"\xC3\xA9&amp;\" "
              "b=\"&amp;&quot;\xC3\xA9\">\xE4\xB8\xAD&lt;x&gt;&lt;x&gt;\xE4\xB8\xAD<c>\xC3\xA9</c></r>",
              out.Bytes());
}

// The UTF-8 encoder keeps a high surrogate that ends one text until the next text brings its partner.
TEST(XmlTextWriterOutput, AHighSurrogateEndingOneTextPairsWithALowSurrogateStartingTheNext)
{
    for (int bufferSize : {0, 128})
    {
        Output out(nullptr, bufferSize);
        out->WriteStartElement(W(L"r"));
        out->WriteStartAttribute(String(), W(L"a"), String());
        out->WriteString(W(L"x\xD83D"));
        out->WriteString(W(L"\xDE00y"));
        out->WriteEndAttribute();
        out->WriteString(W(L"p\xD83D"));
        out->WriteString(W(L"\xDE00q"));
        out->WriteString(W(L"\xD83D"));
        out->WriteString(W(L"\xDE00"));
        out->WriteString(W(L"abc"));
        out->WriteString(W(L"\xD83D"));
        out->WriteString(W(L"\xDE00&"));
        out->WriteEndElement();
        const std::string smile = "\xF0\x9F\x98\x80";
        EXPECT_EQ("<r a=\"x" + smile + "y\">p" + smile + "q" + smile + "abc" + smile + "&amp;</r>", out.Bytes())
            << bufferSize;
    }
    Output utf16(Encoding::UTF16LittleEndian());
    utf16->WriteStartElement(W(L"r"));
    utf16->WriteString(W(L"p\xD83D"));
    utf16->WriteString(W(L"\xDE00q"));
    utf16->WriteEndElement();
    EXPECT_EQ(Bytes("\xFF\xFE<\0r\0>\0p\0\x3D\xD8\x00\xDEq\0<\0/\0r\0>\0"), utf16.Bytes());
}

// The UTF-8 encoder writes a surrogate without its partner as U+FFFD; the markup after it keeps its place.
TEST(XmlTextWriterOutput, AnUnpairedSurrogateBeforeMarkupBecomesTheReplacementCharacter)
{
    const std::string replacement = "\xEF\xBF\xBD";
    for (int bufferSize : {0, 128})
    {
        Output out(nullptr, bufferSize);
        out->WriteStartElement(W(L"r"));
        out->WriteAttributeString(W(L"a"), W(L"\xDBFF"));
        out->WriteAttributeString(W(L"b"), W(L"c\xD800"));
        out->WriteStartElement(W(L"e"));
        out->WriteString(W(L"a\xD800"));
        out->WriteEndElement();
        out->WriteString(W(L"\xD800"));
        out->WriteStartElement(W(L"f"));
        out->WriteString(W(L"\xDC00z"));
        out->WriteEndElement();
        out->WriteString(W(L"\xD800"));
        out->WriteComment(W(L"c"));
        out->WriteString(W(L"\xD800"));
        out->WriteEndElement();
        EXPECT_EQ("<r a=\"" + replacement + "\" b=\"c" + replacement + "\"><e>a" + replacement + "</e>" + replacement +
                      "<f>" + replacement + "z</f>" + replacement + "<!--c-->" + replacement + "</r>",
                  out.Bytes())
            << bufferSize;
    }
    // In UTF-16 too: a surrogate alone is no character XML can hold.
    Output utf16(Encoding::UTF16LittleEndian());
    utf16->WriteStartElement(W(L"e"));
    utf16->WriteString(W(L"\xD800"));
    utf16->WriteEndElement();
    EXPECT_EQ(Bytes("\xFF\xFE<\0e\0>\0\xFD\xFF<\0/\0e\0>\0"), utf16.Bytes());
}

// A high surrogate is written together with the unit after it only when that unit is its partner: anything
// else after it is escaped as usual.
TEST(XmlTextWriterOutput, AnUnpairedHighSurrogateDoesNotCarryTheNextUnitPastEscaping)
{
    const std::string replacement = "\xEF\xBF\xBD";
    Output out;
    out->WriteStartElement(W(L"r"));
    out->WriteAttributeString(W(L"a"), W(L"\xD800\""));
    out->WriteAttributeString(W(L"b"), W(L"\xD800\n"));
    out->WriteString(W(L"\xD800<"));
    out->WriteString(W(L"\xD800&"));
    out->WriteString(W(L"\xD800\x01"));
    out->WriteString(W(L"\xD800\uFFFE"));
    out->WriteEndElement();
    EXPECT_EQ("<r a=\"" + replacement + "&quot;\" b=\"" + replacement + "&#xA;\">" + replacement + "&lt;" +
                  replacement + "&amp;" + replacement + replacement + replacement + replacement + "</r>",
              out.Bytes());
}

// Markup after a high surrogate the encoder still holds goes through the writer's own buffer, more than it holds.
TEST(XmlTextWriterOutput, MuchMarkupAfterAHeldHighSurrogate)
{
    for (int bufferSize : {0, 128, 4000})
    {
        Output out(nullptr, bufferSize);
        out->WriteStartElement(W(L"r"));
        out->WriteString(W(L"x\xD83D"));
        std::string expected = "<r>x\xEF\xBF\xBD";
        for (int i = 0; i < 400; i++)
        {
            out->WriteStartElement(W(L"item"));
            out->WriteAttributeString(W(L"n"), W(std::to_wstring(i)));
            out->WriteEndElement();
            expected += "<item n=\"" + std::to_string(i) + "\" />";
        }
        out->WriteString(W(L"\xD83D"));
        out->WriteString(W(L"\xDE00"));
        out->WriteEndElement();
        expected += "\xF0\x9F\x98\x80</r>";
        EXPECT_TRUE(SameBytes(expected, out.Bytes())) << bufferSize;
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Lots of output

TEST(XmlTextWriterOutput, ThousandsOfMixedElementsWhateverTheBufferAndEncoding)
{
    for (bool indented : {false, true})
    {
        Script script = MixedDocument(indented, 3000, indented ? 7u : 11u);
        for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
        {
            std::string expected = Encoded(script.expected, encoding);
            // 1 and 128 give the smallest buffer; above 8192 the room asked for stays 8192 bytes.
            for (int bufferSize : {0, 1, 128, 129, 1000, 10000})
            {
                Output out(encoding, bufferSize, indented);
                script.Run(out.Writer());
                ASSERT_TRUE(SameBytes(expected, out.Bytes()))
                    << NameOf(encoding) << " buffer " << bufferSize << " indented " << indented;
            }
        }
    }
}

// A text of every length up to 40, in an attribute and as content, placed by a lead text of every length so the
// end of the lent room (128 bytes) falls on each of its units, and on each unit of the markup around it.
TEST(XmlTextWriterOutput, EveryTextLengthMeetsTheEndOfTheRoomAtEveryPosition)
{
    const std::wstring cycles[] = {L"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGH", L"a&b<c>d\"e'f\tg\r\nh\x01i",
                                   L"x\u00E9&\xD83D\xDE00<\u00FC\x01z\uFFFEy\"\u4E2D"};
    for (const std::wstring& cycle : cycles)
    {
        for (size_t length = 0; length <= 40; length++)
        {
            std::wstring text;
            for (size_t k = 0; k < length; k++)
            {
                text += cycle[k % cycle.size()];
            }
            std::wstring tail = Escape(text, true) + L"\"" +
                                (text.empty() ? L" />" : L">" + Escape(text, false) + L"</e>") + Escape(text, false) +
                                L"<f>z</f></r>";
            auto write = [&](Output& out, const std::wstring& lead)
            {
                out->WriteStartElement(W(L"r"));
                out->WriteString(W(lead));
                out->WriteStartElement(W(L"e"));
                out->WriteAttributeString(W(L"v"), W(text));
                out->WriteString(W(text));
                out->WriteEndElement();
                out->WriteString(W(text));
                out->WriteElementString(W(L"f"), W(L"z"));
                out->WriteEndElement();
            };
            for (size_t before = 0; before < 140; before++)
            {
                std::wstring lead(before, L'-');
                Output out(nullptr, 128);
                write(out, lead);
                ASSERT_EQ(Utf8(L"<r>" + lead + L"<e v=\"" + tail), out.Bytes())
                    << "length " << length << " after " << before;
            }
            // The writer's own buffer (2048 bytes) ends in the same places with another encoding.
            for (size_t before = 1960; before < 2060; before++)
            {
                std::wstring lead(before, L'-');
                Output out(Encoding::UTF16LittleEndian());
                write(out, lead);
                ASSERT_EQ(Utf16(L"<r>" + lead + L"<e v=\"" + tail), out.Bytes())
                    << "length " << length << " after " << before;
            }
        }
    }
}

// Non-ASCII names and attribute names cross the end of the room the same way.
TEST(XmlTextWriterOutput, NonAsciiNamesMeetTheEndOfTheRoomAtEveryPosition)
{
    const std::wstring names[] = {L"\u00E9", L"C\u00E9ll", L"Cellule\u00E9", L"\u00DCberschrift", L"Cell"};
    for (const std::wstring& name : names)
    {
        for (size_t before = 0; before < 140; before++)
        {
            std::wstring lead(before, L'-');
            Output out(nullptr, 128);
            out->WriteStartElement(W(L"r"));
            out->WriteString(W(lead));
            out->WriteStartElement(W(name));
            out->WriteAttributeString(W(name), W(L"v"));
            out->WriteElementString(W(name), W(L"\u00E9"));
            out->WriteEndElement();
            out->WriteElementString(W(name), String());
            out->WriteEndElement();
            ASSERT_EQ(Utf8(L"<r>" + lead + L"<" + name + L" " + name + L"=\"v\"><" + name + L">\u00E9</" + name +
                           L"></" + name + L"><" + name + L" /></r>"),
                      out.Bytes())
                << "after " << before;
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Flushing, closing and failing

TEST(XmlTextWriterOutput, FlushHandsOverEverythingWrittenSoFarAndWritingGoesOn)
{
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        for (int bufferSize : {0, 128})
        {
            Output out(encoding, bufferSize);
            std::wstring written = L"<r><\u00E9l a=\"1\u00FC\"";
            out->WriteStartElement(W(L"r"));
            out->WriteStartElement(W(L"\u00E9l"));
            out->WriteAttributeString(W(L"a"), W(L"1\u00FC"));
            out->Flush();
            EXPECT_EQ(Encoded(written, encoding), out.Stream()) << NameOf(encoding) << " " << bufferSize;
            out->Flush();
            EXPECT_EQ(Encoded(written, encoding), out.Stream()) << NameOf(encoding) << " " << bufferSize;
            out->WriteAttributeString(W(L"b"), W(L"2"));
            out->WriteString(W(L"t"));
            written += L" b=\"2\">t";
            out->Flush();
            EXPECT_EQ(Encoded(written, encoding), out.Stream()) << NameOf(encoding) << " " << bufferSize;
            out->WriteString(W(std::wstring(3000, L'x') + L"\u00E9"));
            out->WriteStartElement(W(L"b"));
            written += std::wstring(3000, L'x') + L"\u00E9<b";
            out->Flush();
            EXPECT_TRUE(SameBytes(Encoded(written, encoding), out.Stream())) << NameOf(encoding) << " " << bufferSize;
            out->WriteEndElement();
            out->WriteEndElement();
            written += L" /></\u00E9l>";
            out->Flush();
            EXPECT_TRUE(SameBytes(Encoded(written, encoding), out.Stream())) << NameOf(encoding) << " " << bufferSize;
            out->Close();
            written += L"</r>";
            EXPECT_TRUE(SameBytes(Encoded(written, encoding), out.Stream())) << NameOf(encoding) << " " << bufferSize;
            EXPECT_TRUE(out.GetStream().CanWrite());
        }
    }
}

// Flush hands over everything, so a high surrogate cannot wait there for its partner.
TEST(XmlTextWriterOutput, FlushBetweenTheHalvesOfAPairWritesBothAsReplacementCharacters)
{
    Output out;
    out->WriteStartElement(W(L"r"));
    out->WriteString(W(L"a\xD83D"));
    out->Flush();
    EXPECT_EQ("<r>a\xEF\xBF\xBD", out.Stream());
    out->WriteString(W(L"\xDE00"));
    out->WriteEndElement();
    EXPECT_EQ("<r>a\xEF\xBF\xBD\xEF\xBF\xBD</r>", out.Bytes());
}

TEST(XmlTextWriterOutput, CloseEndsOpenNonAsciiElementsAndHandsOverTheRest)
{
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        for (bool indented : {false, true})
        {
            Output out(encoding, 128, indented);
            out->WriteStartElement(W(L"\u00F1s"), W(L"r"), W(L"urn:\u00E9"));
            out->WriteStartElement(W(L"C\u00E9ll"));
            out->WriteStartElement(W(L"Cell"));
            out->WriteString(W(L"\u00E9"));
            out->WriteStartElement(W(L"\u00DCberschrift"));
            out->WriteAttributeString(W(L"\u00E4"), W(L"\u00F6"));
            out->Close();
            EXPECT_EQ(WriteState::Closed, out->GetWriteState());
            EXPECT_THROW(out->WriteString(W(L"x")), InvalidOperationException);
            std::wstring one = indented ? L"\r\n\t" : L"";
            std::wstring two = indented ? L"\r\n\t\t" : L"";
            std::wstring expected = L"<\u00F1s:r xmlns:\u00F1s=\"urn:\u00E9\">" + one + L"<C\u00E9ll>" + two +
                                    L"<Cell>\u00E9<\u00DCberschrift \u00E4=\"\u00F6\" /></Cell>" + one +
                                    L"</C\u00E9ll>" + (indented ? L"\r\n" : L"") + L"</\u00F1s:r>";
            EXPECT_EQ(Encoded(expected, encoding), out.Stream()) << NameOf(encoding) << " indented " << indented;
            EXPECT_TRUE(out.GetStream().CanWrite());
        }
    }
}

// A writer destroyed without Close still hands over what was written; open elements stay open.
TEST(XmlTextWriterOutput, DestroyingTheWriterWithoutCloseHandsOverWhatWasWritten)
{
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        for (int bufferSize : {0, 128})
        {
            Output out(encoding, bufferSize);
            out->WriteStartElement(W(L"r"));
            out->WriteStartElement(W(L"\u00E9"));
            out->WriteAttributeString(W(L"a"), W(L"1"));
            out->WriteString(W(L"text \u00FC"));
            out->WriteStartElement(W(L"b"));
            out->WriteAttributeString(W(L"c"), W(L"2"));
            out.Destroy();
            EXPECT_EQ(Encoded(L"<r><\u00E9 a=\"1\">text \u00FC<b c=\"2\"", encoding), out.Stream())
                << NameOf(encoding) << " " << bufferSize;
        }
    }
    Output held;
    held->WriteStartElement(W(L"r"));
    held->WriteString(W(L"x\xD83D"));
    held.Destroy();
    EXPECT_EQ("<r>x\xEF\xBF\xBD", held.Stream());
}

// The stream fails part way through a write: what reached it is exactly the start of the document, nothing
// repeated or skipped, and the writer refuses to go on.
TEST(XmlTextWriterOutput, AStreamFailingPartWayGetsTheDocumentsStartAndTheWriterStops)
{
    Script script = MixedDocument(false, 1000, 3u);
    for (const Encoding* encoding : {static_cast<const Encoding*>(nullptr), Encoding::UTF16LittleEndian()})
    {
        std::string document = Encoded(script.expected, encoding);
        ASSERT_GT(document.size(), 60000u);
        std::vector<int> limits = {0,   1,   2,   3,    4,    127,  128,  129,  130,
                                   255, 256, 257, 1023, 1024, 1025, 2047, 2048, 2049};
        for (int limit = 3001; limit < static_cast<int>(document.size()) - 20000; limit += 2999)
        {
            limits.push_back(limit);
        }
        for (int bufferSize : {0, 128})
        {
            for (int limit : limits)
            {
                FailingStream stream(limit);
                {
                    XmlTextWriter writer(&stream, encoding, bufferSize > 0 ? bufferSize : 1024);
                    bool failed = false;
                    try
                    {
                        script.Run(writer);
                    }
                    catch (const IOException&)
                    {
                        failed = true;
                    }
                    ASSERT_TRUE(failed) << NameOf(encoding) << " buffer " << bufferSize << " limit " << limit;
                    EXPECT_EQ(WriteState::Error, writer.GetWriteState());
                    EXPECT_THROW(writer.WriteString(W(L"more")), InvalidOperationException);
                    EXPECT_THROW(writer.WriteStartElement(W(L"more")), InvalidOperationException);
                    EXPECT_THROW(writer.WriteEndElement(), InvalidOperationException);
                    EXPECT_THROW(writer.WriteAttributeString(W(L"a"), W(L"b")), InvalidOperationException);
                }
                ASSERT_TRUE(SameBytes(document.substr(0, static_cast<size_t>(limit)), stream.Data()))
                    << NameOf(encoding) << " buffer " << bufferSize << " limit " << limit;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------------------------
// Other encodings

// Without lent room the writer collects ASCII in its own buffer and hands it over widened to units, in order
// with the units of the texts that are not ASCII.
TEST(XmlTextWriterOutput, OtherEncodingsTakeMarkupFromTheWritersOwnBufferInOrder)
{
    for (const Encoding* encoding : {Encoding::UTF16LittleEndian(), Encoding::UTF16BigEndian()})
    {
        for (bool indented : {false, true})
        {
            Output out(encoding, 0, indented);
            std::wstring line = indented ? L"\r\n\t" : L"";
            std::wstring expected = L"<r>";
            out->WriteStartElement(W(L"r"));
            for (int round = 0; round < 3; round++)
            {
                for (int i = 0; i < 150; i++)
                {
                    out->WriteStartElement(W(L"item"));
                    out->WriteAttributeString(W(L"n"), W(std::to_wstring(i)));
                    out->WriteEndElement();
                    expected += line + L"<item n=\"" + std::to_wstring(i) + L"\" />";
                }
                out->WriteElementString(W(L"t"), W(L"caf\u00E9 \xD83D\xDE00 & <more>"));
                out->WriteElementString(W(L"\u00E9"), W(L"x"));
                expected += line + L"<t>caf\u00E9 \xD83D\xDE00 &amp; &lt;more&gt;</t>" + line + L"<\u00E9>x</\u00E9>";
            }
            out->WriteEndElement();
            expected += (indented ? L"\r\n" : L"") + std::wstring(L"</r>");
            ASSERT_GT(expected.size(), 4000u);
            EXPECT_TRUE(SameBytes(Utf16(expected, encoding == Encoding::UTF16BigEndian()), out.Bytes()))
                << NameOf(encoding) << " indented " << indented;
        }
    }
}

TEST(XmlTextWriterOutput, AWindowsCodePageTakesMarkupFromTheWritersOwnBuffer)
{
    CodePageEncoding windows1252(1252);
    Output out(&windows1252);
    std::string expected = "<r>";
    out->WriteStartElement(W(L"r"));
    for (int i = 0; i < 300; i++)
    {
        out->WriteElementString(W(L"item"), W(std::to_wstring(i)));
        expected += "<item>" + std::to_string(i) + "</item>";
    }
    out->WriteElementString(W(L"caf\u00E9"), W(L"\u20AC & \u00FC"));
    expected += "<caf\xE9>\x80 &amp; \xFC</caf\xE9>";
    for (int i = 0; i < 300; i++)
    {
        out->WriteElementString(W(L"item"), W(std::to_wstring(i)));
        expected += "<item>" + std::to_string(i) + "</item>";
    }
    out->WriteEndElement();
    expected += "</r>";
    EXPECT_TRUE(SameBytes(expected, out.Bytes()));
}

// UTF-8 with a byte-order mark lends room like plain UTF-8; the mark comes once, before the first bytes.
TEST(XmlTextWriterOutput, Utf8WithAByteOrderMarkWritesItOnce)
{
    UTF8Encoding marked(true);
    Output out(&marked, 128);
    out->WriteStartElement(W(L"r"));
    out->Flush();
    out->WriteString(W(L"\u00E9"));
    out->Flush();
    out->WriteString(W(std::wstring(300, L'x')));
    out->WriteEndElement();
    EXPECT_EQ("\xEF\xBB\xBF<r>\xC3\xA9" + std::string(300, 'x') + "</r>", out.Bytes());
}
