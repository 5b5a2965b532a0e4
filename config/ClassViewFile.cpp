#include "config/ClassViewFile.h"

#include "core/xml/XmlTextReader.h"

using Core::String;
using Core::Xml::XmlNodeType;
using Core::Xml::XmlTextReader;

namespace Config
{

void ReadClassViewFile(const String& path, ClassViewVisitor& visitor)
{
    XmlTextReader reader(path);
    const String category(L"Category");
    const String classElement(L"Class");
    const String property(L"Property");
    const String filter(L"Filter");
    // Skipping an element or reading its text leaves the reader on the node after it; that node is
    // examined in the next pass rather than read past, so files without white space lose nothing.
    bool onNode = reader.Read();
    while (onNode)
    {
        if (reader.NodeType() != XmlNodeType::Element)
        {
            onNode = reader.Read();
            continue;
        }
        String element = reader.Name();
        if (element == category || element == classElement)
        {
            String name = reader.GetAttribute(String(L"Name"));
            bool selected = reader.GetAttribute(String(L"selected")) == String(L"Y");
            bool wanted = element == category ? visitor.OnCategory(name, selected, reader.Depth())
                                              : visitor.OnClass(name, selected, reader.Depth());
            if (!wanted)
            {
                reader.Skip();
                onNode = reader.ReadState() == Core::Xml::ReadState::Interactive;
                continue;
            }
            onNode = reader.Read();
        }
        else if (element == property || element == filter)
        {
            String text = reader.ReadElementString();
            if (element == property)
            {
                visitor.OnProperty(text);
            }
            else
            {
                visitor.OnFilter(text);
            }
            onNode = reader.ReadState() == Core::Xml::ReadState::Interactive;
        }
        else
        {
            onNode = reader.Read();
        }
    }
}

} // namespace Config
