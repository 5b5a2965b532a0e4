#include "tests/core/xml/XmlTestSupport.h"

using namespace Core;
using namespace Core::Xml;

namespace XmlTesting
{

namespace
{

const wchar_t* KindName(int kind)
{
    switch (kind)
    {
    case XmlNodeType::None:
        return L"None";
    case XmlNodeType::Element:
        return L"Element";
    case XmlNodeType::Attribute:
        return L"Attribute";
    case XmlNodeType::Text:
        return L"Text";
    case XmlNodeType::CDATA:
        return L"CDATA";
    case XmlNodeType::EntityReference:
        return L"EntityReference";
    case XmlNodeType::ProcessingInstruction:
        return L"ProcessingInstruction";
    case XmlNodeType::Comment:
        return L"Comment";
    case XmlNodeType::Whitespace:
        return L"Whitespace";
    case XmlNodeType::SignificantWhitespace:
        return L"SignificantWhitespace";
    case XmlNodeType::EndElement:
        return L"EndElement";
    case XmlNodeType::XmlDeclaration:
        return L"XmlDeclaration";
    default:
        return L"?";
    }
}

void AppendShown(std::wstring& out, const String& text)
{
    for (int i = 0; i < text.GetLength(); i++)
    {
        wchar_t ch = text[i];
        if (ch == L'\r')
        {
            out += L"\\r";
        }
        else if (ch == L'\n')
        {
            out += L"\\n";
        }
        else
        {
            out += ch;
        }
    }
}

} // namespace

std::wstring Describe(const XmlTextReader& reader)
{
    std::wstring out = KindName(reader.NodeType().GetValue());
    if (!reader.Name().IsEmpty())
    {
        out += L' ';
        out += reader.Name().GetBuffer();
    }
    if (reader.HasValue())
    {
        out += L" \"";
        AppendShown(out, reader.Value());
        out += L'"';
    }
    out += L" @";
    out += std::to_wstring(reader.Depth());
    return out;
}

std::wstring Trace(XmlTextReader& reader)
{
    std::wstring out;
    try
    {
        while (reader.Read())
        {
            out += Describe(reader);
            if (reader.MoveToFirstAttribute())
            {
                do
                {
                    out += L" [" + Describe(reader) + L"]";
                } while (reader.MoveToNextAttribute());
                reader.MoveToElement();
            }
            out += L'\n';
        }
    }
    catch (const XmlException& e)
    {
        out += L"error: ";
        out += e.GetMessageText().GetBuffer();
        out += L'\n';
    }
    return out;
}

std::wstring Trace(const std::wstring& text, int step, bool namespaces)
{
    TricklingReader input(text, step);
    XmlTextReader reader(&input);
    reader.SetNamespaces(namespaces);
    return Trace(reader);
}

std::wstring ErrorOf(const std::wstring& text, bool namespaces)
{
    IO::StringReader input(String(text.c_str(), static_cast<int>(text.size())));
    XmlTextReader reader(&input);
    reader.SetNamespaces(namespaces);
    try
    {
        while (reader.Read())
        {
        }
    }
    catch (const XmlException& e)
    {
        return e.GetMessageText().GetBuffer();
    }
    return L"(no error)";
}

} // namespace XmlTesting
