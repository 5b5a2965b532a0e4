#include "config/ClassViewFile.h"

#include "core/xml/XmlTextReader.h"
#include "wmi/ClassDefinition.h"

using Core::String;
using Core::Xml::XmlNodeType;
using Core::Xml::XmlTextReader;

namespace Config
{

namespace
{

// The Namespace of the Class element the reader is on: the default one when it is missing or empty. Any other
// text that is no namespace path stops the reading, as other unexpected content does: guessing another
// namespace would show another class, and a machine's name in it would lead elsewhere.
String ClassNamespace(const XmlTextReader& reader, const String& className)
{
    String nameSpace = reader.GetAttribute(String(NamespaceAttribute));
    if (nameSpace.IsEmpty())
    {
        return String(WMI::DefaultNamespace);
    }
    if (!WMI::IsNamespacePath(nameSpace))
    {
        String text =
            String(L"Class ") + className + L" has a Namespace that is not a namespace path ('" + nameSpace + L"') at ";
        text += reader.LineNumber();
        text += L", ";
        text += reader.LinePosition();
        throw Core::Xml::XmlException(text);
    }
    return nameSpace;
}

} // namespace

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
            bool wanted = element == category
                              ? visitor.OnCategory(name, selected, reader.Depth())
                              : visitor.OnClass(name, ClassNamespace(reader, name), selected, reader.Depth());
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
