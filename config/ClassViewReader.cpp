#include "config/ClassViewReader.h"

#include "config/Catalogue.h"
#include "config/ClassViewFile.h"
#include "core/controls/TreeNode.h"
#include "core/io/Path.h"
#include "wmi/ManagementObject.h"

using Core::String;
using Core::Controls::TreeNode;

namespace Config
{

namespace
{

// Builds the main tree: selected categories and classes only, each class node owning its object.
class MainTreeBuilder : public ClassViewVisitor
{
public:
    explicit MainTreeBuilder(TreeNode* machineNode)
        : m_machine(machineNode), m_connection(machineNode->GetDataAs<WMI::ManagementConnection>())
    {
    }

    bool OnCategory(const String& name, bool selected, int depth) override
    {
        if (!selected)
        {
            return false;
        }
        auto* node = new TreeNode(name);
        node->SetTag(String(NodeTag::Category));
        node->SetImageIndex(CategoryImageIndex(name));
        // Depth 1 goes under the machine; each deeper level under the last node one level up.
        TreeNode* parent = m_machine;
        for (int level = 1; level < depth && parent->GetLastNode() != nullptr; level++)
        {
            parent = parent->GetLastNode();
        }
        parent->GetNodes().Add(node);
        m_lastCategory = node;
        return true;
    }

    bool OnClass(const String& name, bool selected, int depth) override
    {
        if (!selected)
        {
            return false;
        }
        auto* node = new TreeNode(name);
        m_lastObject = new WMI::ManagementObject(m_connection, name, 0);
        node->SetOwnedData(m_lastObject);
        node->SetTag(String(NodeTag::Class));
        node->SetImageIndex(NodeImage::Class);
        // Up from the last category until a node one level above the element's depth.
        TreeNode* parent = m_lastCategory != nullptr ? m_lastCategory : m_machine;
        while (parent != m_machine && parent->GetLevel() >= depth)
        {
            parent = parent->GetParent();
        }
        parent->GetNodes().Add(node);
        return true;
    }

    void OnProperty(const String& name) override
    {
        if (m_lastObject != nullptr)
        {
            m_lastObject->GetProperties().Add(WMI::PropertyInfo(name, WMI::CimString));
        }
    }

    void OnFilter(const String& filter) override
    {
        if (m_lastObject != nullptr)
        {
            m_lastObject->SetFilter(filter);
        }
    }

private:
    TreeNode* m_machine;                           // not owned
    WMI::ManagementConnection* m_connection;       // not owned
    TreeNode* m_lastCategory = nullptr;            // not owned: belongs to the tree
    WMI::ManagementObject* m_lastObject = nullptr; // not owned: belongs to its node
};

} // namespace

void ReadClassTree(TreeNode* machineNode, const String& configFile, StatusDisplay& status)
{
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        BuildDefaultTree(machineNode);
        return;
    }
    MainTreeBuilder builder(machineNode);
    try
    {
        ReadClassViewFile(configFile, builder);
    }
    catch (const Core::Exception&)
    {
        status.ShowStatus(ConfigurationStatusPanel, String(InvalidConfigurationStatus));
    }
}

} // namespace Config
