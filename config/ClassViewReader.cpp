#include "config/ClassViewReader.h"

#include "config/Catalogue.h"
#include "core/controls/TreeNode.h"
#include "core/io/Path.h"
#include "core/xml/XmlTextReader.h"
#include "wmi/ManagementObject.h"

using Core::String;
using Core::Controls::TreeNode;
using Core::Xml::XmlNodeType;
using Core::Xml::XmlTextReader;

namespace Config
{

namespace
{

bool Selected(const XmlTextReader& reader)
{
    return reader.GetAttribute(String(L"selected")) == String(L"Y");
}

bool OnANode(const XmlTextReader& reader)
{
    return reader.ReadState() == Core::Xml::ReadState::Interactive;
}

} // namespace

void ReadClassTree(TreeNode* machineNode, const String& configFile, StatusDisplay& status)
{
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        BuildDefaultTree(machineNode);
        return;
    }
    auto* connection = machineNode->GetDataAs<WMI::ManagementConnection>();
    TreeNode* lastCategory = nullptr;
    WMI::ManagementObject* lastObject = nullptr;
    try
    {
        XmlTextReader reader(configFile);
        // Operations that consume an element (skipping it, reading its text) leave the reader on the
        // node after it; that node is examined in the next pass rather than read past.
        bool onNode = reader.Read();
        while (onNode)
        {
            if (reader.NodeType() != XmlNodeType::Element)
            {
                onNode = reader.Read();
                continue;
            }
            String element = reader.Name();
            int depth = reader.Depth();
            if (element == String(L"Category") || element == String(L"Class"))
            {
                if (!Selected(reader))
                {
                    reader.Skip();
                    onNode = OnANode(reader);
                    continue;
                }
                String name = reader.GetAttribute(String(L"Name"));
                auto* node = new TreeNode(name);
                TreeNode* parent = machineNode;
                if (element == String(L"Category"))
                {
                    node->SetTag(String(NodeTag::Category));
                    node->SetImageIndex(CategoryImageIndex(name));
                    // Depth 1 goes under the machine; each deeper level under the last node one level up.
                    for (int level = 1; level < depth && parent->GetLastNode() != nullptr; level++)
                    {
                        parent = parent->GetLastNode();
                    }
                    lastCategory = node;
                }
                else
                {
                    lastObject = new WMI::ManagementObject(connection, name, 0);
                    node->SetOwnedData(lastObject);
                    node->SetTag(String(NodeTag::Class));
                    node->SetImageIndex(NodeImage::Class);
                    // Up from the last category until a node one level above the element's depth.
                    parent = lastCategory != nullptr ? lastCategory : machineNode;
                    while (parent != machineNode && parent->GetLevel() >= depth)
                    {
                        parent = parent->GetParent();
                    }
                }
                parent->GetNodes().Add(node);
                onNode = reader.Read();
            }
            else if (element == String(L"Property") || element == String(L"Filter"))
            {
                bool isProperty = element == String(L"Property");
                String text = reader.ReadElementString();
                if (lastObject != nullptr && isProperty)
                {
                    lastObject->GetProperties().Add(WMI::PropertyInfo(text, WMI::CimString));
                }
                else if (lastObject != nullptr)
                {
                    lastObject->SetFilter(text);
                }
                onNode = OnANode(reader);
            }
            else
            {
                onNode = reader.Read();
            }
        }
    }
    catch (const Core::Exception&)
    {
        status.ShowStatus(ConfigurationStatusPanel, String(InvalidConfigurationStatus));
    }
}

} // namespace Config
