#include "config/ClassViewReader.h"

#include "config/Catalogue.h"
#include "config/CategoryPath.h"
#include "config/ClassViewFile.h"
#include "core/controls/TreeNode.h"
#include "core/io/Path.h"
#include "wmi/ManagementObject.h"

#include <memory>

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
        : m_connection(machineNode->GetDataAs<WMI::ManagementConnection>()), m_path(machineNode->GetNodes())
    {
    }

    // Puts the categories still open into the tree.
    void Close() { m_path.Close(); }

    bool OnCategory(const String& name, bool selected, int depth) override
    {
        if (!selected)
        {
            return false;
        }
        auto node = std::make_unique<TreeNode>(name);
        node->SetTag(String(NodeTag::Category));
        node->SetImageIndex(CategoryImageIndex(name));
        // Depth 1 goes under the machine, each deeper level under the enclosing category.
        m_path.Open(node.release(), depth);
        return true;
    }

    bool OnClass(const String& name, const String& nameSpace, bool selected, int depth) override
    {
        if (!selected)
        {
            return false;
        }
        auto node = std::make_unique<TreeNode>(name);
        // Bound to the machine's connection; the namespace tells the window where the class lives.
        auto object = std::make_unique<WMI::ManagementObject>(m_connection, name, 0);
        object->SetNamespace(nameSpace);
        node->SetOwnedData(object.get());
        WMI::ManagementObject* owned = object.release();
        node->SetTag(String(NodeTag::Class));
        node->SetImageIndex(NodeImage::Class);
        m_path.Add(node.release(), depth);
        m_lastObject = owned;
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
    WMI::ManagementConnection* m_connection;       // not owned
    CategoryPath m_path;                           // the machine node's children and the open categories
    WMI::ManagementObject* m_lastObject = nullptr; // not owned: belongs to its node
};

} // namespace

String ReadClassTree(TreeNode* machineNode, const String& configFile)
{
    if (configFile.IsEmpty() || !Core::IO::File::Exists(configFile))
    {
        BuildDefaultTree(machineNode);
        return String();
    }
    MainTreeBuilder builder(machineNode);
    bool readWhole = true;
    String reason;
    try
    {
        ReadClassViewFile(configFile, builder);
    }
    catch (const Core::Exception& exception)
    {
        readWhole = false;
        reason = exception.GetMessageText();
    }
    // What was read stays, also when the file ends too early.
    builder.Close();
    if (readWhole)
    {
        return String();
    }
    // The reader's own words say where and what: a line, a tag, an encoding it cannot read.
    String text(InvalidConfigurationStatus);
    if (!reason.IsEmpty())
    {
        text += String(L" (") + reason + L")";
    }
    return text;
}

} // namespace Config
