#include "config/ClassViewEditor.h"

#include "config/AppOptions.h"
#include "config/Catalogue.h"
#include "config/ClassViewFile.h"
#include "core/controls/TreeNode.h"
#include "core/io/FileStream.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"
#include "core/xml/XmlTextWriter.h"
#include "wmi/ClassDefinition.h"

#include <windows.h>

using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;
using Core::Xml::XmlTextWriter;

namespace Config
{

namespace
{

bool HasTag(const TreeNode* node, const wchar_t* tag)
{
    return node->GetTag() == String(tag);
}

// A class whose children came from Property elements of the file: they are a chosen subset of the
// class's properties, so the class can at most be partly checked, and its choice must be kept.
bool HasChosenProperties(const TreeNode* node)
{
    if (!HasTag(node, NodeTag::Class))
    {
        return false;
    }
    for (int i = 0; i < node->GetNodes().GetCount(); i++)
    {
        if (HasTag(node->GetNodes()[i], NodeTag::Property))
        {
            return true;
        }
    }
    return false;
}

int StateFor(const TreeNode* node, int state)
{
    return state == TreeNode::Checked && HasChosenProperties(node) ? static_cast<int>(TreeNode::PartlyChecked) : state;
}

int CombinedState(const TreeNode* node);

// Children first, so a node whose children cannot all follow (chosen properties) shows what they hold.
void SetSubtreeState(TreeNode* node, int state)
{
    for (int i = 0; i < node->GetNodes().GetCount(); i++)
    {
        SetSubtreeState(node->GetNodes()[i], state);
    }
    node->SetCheckState(node->GetNodes().GetCount() > 0 ? CombinedState(node) : StateFor(node, state));
}

// The state all children share, or partly checked when they differ.
int CombinedState(const TreeNode* node)
{
    const TreeNodeCollection& children = node->GetNodes();
    if (children.GetCount() == 0)
    {
        return node->GetCheckState();
    }
    int shared = children[0]->GetCheckState();
    for (int i = 1; i < children.GetCount(); i++)
    {
        if (children[i]->GetCheckState() != shared)
        {
            return TreeNode::PartlyChecked;
        }
    }
    return StateFor(node, shared);
}

TreeNode* NewCheckNode(const String& text, const wchar_t* tag, int image, int state)
{
    auto* node = new TreeNode(text);
    node->SetTag(String(tag));
    node->SetImageIndex(image);
    node->SetCheckState(state);
    return node;
}

// Builds the check tree: every category and class, checked as selected, with the chosen properties.
class CheckTreeBuilder : public ClassViewVisitor
{
public:
    explicit CheckTreeBuilder(TreeNodeCollection& nodes) : m_nodes(nodes) {}

    bool OnCategory(const String& name, bool selected, int depth) override
    {
        TreeNode* node = NewCheckNode(name, NodeTag::Category, CategoryImageIndex(name),
                                      selected ? TreeNode::Checked : TreeNode::Unchecked);
        TreeNode* parent = depth > 1 && m_nodes.GetCount() > 0 ? m_nodes[m_nodes.GetCount() - 1] : nullptr;
        for (int level = 2; parent != nullptr && level < depth && parent->GetLastNode() != nullptr; level++)
        {
            parent = parent->GetLastNode();
        }
        if (parent != nullptr)
        {
            parent->GetNodes().Add(node);
        }
        else
        {
            node->Expand();
            m_nodes.Add(node);
        }
        m_lastCategory = node;
        return true;
    }

    bool OnClass(const String& name, bool selected, int depth) override
    {
        TreeNode* node =
            NewCheckNode(name, NodeTag::Class, NodeImage::Class, selected ? TreeNode::Checked : TreeNode::Unchecked);
        m_lastDefinition = new WMI::ClassDefinition(name, 0);
        node->SetOwnedData(m_lastDefinition);
        // This tree has no machine level: a node's level is one less than the element's depth.
        TreeNode* parent = m_lastCategory;
        while (parent != nullptr && parent->GetLevel() >= depth - 1)
        {
            parent = parent->GetParent();
        }
        if (parent != nullptr)
        {
            parent->GetNodes().Add(node);
        }
        else
        {
            m_nodes.Add(node);
        }
        m_lastClass = node;
        return true;
    }

    void OnProperty(const String& name) override
    {
        if (m_lastClass == nullptr)
        {
            return;
        }
        m_lastDefinition->GetProperties().Add(WMI::PropertyInfo(name, WMI::CimString));
        m_lastClass->GetNodes().Add(NewCheckNode(name, NodeTag::Property, NodeImage::Property, TreeNode::Checked));
        // A selected class with chosen properties is partly checked: saving keeps the choice.
        if (m_lastClass->GetCheckState() == TreeNode::Checked)
        {
            m_lastClass->SetCheckState(TreeNode::PartlyChecked);
        }
    }

    void OnFilter(const String& filter) override
    {
        if (m_lastDefinition != nullptr)
        {
            m_lastDefinition->SetFilter(filter);
        }
    }

private:
    TreeNodeCollection& m_nodes;
    TreeNode* m_lastCategory = nullptr;               // not owned: belongs to the tree
    TreeNode* m_lastClass = nullptr;                  // not owned: belongs to the tree
    WMI::ClassDefinition* m_lastDefinition = nullptr; // not owned: belongs to its node
};

} // namespace

// Keeps the check handler from reacting to the changes its own work makes.
class ClassViewEditor::CheckHandlerPause
{
public:
    explicit CheckHandlerPause(ClassViewEditor& editor) : m_editor(editor) { m_editor.m_checkHandlerPaused++; }
    ~CheckHandlerPause() { m_editor.m_checkHandlerPaused--; }
    CheckHandlerPause(const CheckHandlerPause&) = delete;
    CheckHandlerPause& operator=(const CheckHandlerPause&) = delete;

private:
    ClassViewEditor& m_editor;
};

ClassViewEditor::ClassViewEditor(TreeNodeCollection& nodes, AppOptions& options) : m_nodes(nodes), m_options(options) {}

void ClassViewEditor::ShowMessage(const wchar_t* text, const wchar_t* caption, unsigned int style)
{
    Core::Platform::Windows::Desktop::Current().ShowMessage(m_owner, String(text), String(caption), style);
}

void ClassViewEditor::LoadCheckTree(const String& path)
{
    CheckHandlerPause pause(*this);
    m_nodes.Clear();
    if (path.IsEmpty() || !Core::IO::File::Exists(path))
    {
        BuildDefaultCheckTree();
        return;
    }
    CheckTreeBuilder builder(m_nodes);
    try
    {
        ReadClassViewFile(path, builder);
    }
    catch (const Core::Exception&)
    {
        ShowMessage(InvalidCheckTreeMessage, L"Configuration file error", MB_OK | MB_ICONWARNING);
    }
}

void ClassViewEditor::BuildDefaultCheckTree()
{
    m_changeFlags |= ClassViewChanged;
    CheckHandlerPause pause(*this);
    m_nodes.Clear();
    struct Group
    {
        const wchar_t* name;
        const CategoryEntry* categories;
        int count;
    };
    const Group groups[] = {{HardwareGroupName, HardwareCategories, HardwareCategoryCount},
                            {OperatingSystemGroupName, OperatingSystemCategories, OperatingSystemCategoryCount}};
    for (const Group& group : groups)
    {
        TreeNode* groupNode = NewCheckNode(String(group.name), NodeTag::Category, NodeImage::Group, TreeNode::Checked);
        groupNode->Expand();
        m_nodes.Add(groupNode);
        for (int i = 0; i < group.count; i++)
        {
            String name(group.categories[i].name);
            TreeNode* category = new TreeNode(name);
            category->SetImageIndex(CategoryImageIndex(name));
            category->SetCheckState(TreeNode::Checked);
            groupNode->GetNodes().Add(category);
            AddCheckClassNodes(category, group.categories[i].classes, group.categories[i].count);
        }
    }
}

void ClassViewEditor::AddCheckClassNodes(TreeNode* categoryNode, const wchar_t* const* classNames, int count)
{
    categoryNode->SetTag(String(NodeTag::Category));
    for (int i = 0; i < count; i++)
    {
        String name(classNames[i]);
        TreeNode* node = NewCheckNode(name, NodeTag::Class, NodeImage::Class, TreeNode::Checked);
        node->SetOwnedData(new WMI::ClassDefinition(name, 0));
        categoryNode->GetNodes().Add(node);
    }
}

void ClassViewEditor::WriteLevel(XmlTextWriter& writer, TreeNode* node)
{
    const TreeNodeCollection& level = node != nullptr ? node->GetNodes() : m_nodes;
    for (int i = 0; i < level.GetCount(); i++)
    {
        TreeNode* child = level[i];
        // Each node is written as its own kind, so a level mixing categories and classes loses neither.
        bool isClass = HasTag(child, NodeTag::Class);
        if (!isClass && !HasTag(child, NodeTag::Category))
        {
            continue;
        }
        writer.WriteStartElement(String(isClass ? L"Class" : L"Category"));
        writer.WriteAttributeString(String(L"Name"), child->GetText());
        writer.WriteAttributeString(String(L"selected"), String(child->IsChecked() ? L"Y" : L"N"));
        if (!isClass)
        {
            WriteLevel(writer, child);
            writer.WriteEndElement();
            continue;
        }
        // An unchecked class keeps the properties chosen in the file for when it is selected again.
        if (child->GetCheckState() == TreeNode::PartlyChecked ||
            (child->GetCheckState() == TreeNode::Unchecked && HasChosenProperties(child)))
        {
            for (int p = 0; p < child->GetNodes().GetCount(); p++)
            {
                TreeNode* property = child->GetNodes()[p];
                if (property->GetCheckState() == TreeNode::Checked)
                {
                    writer.WriteElementString(String(L"Property"), property->GetText());
                }
            }
        }
        auto* definition = child->GetDataAs<WMI::ClassDefinition>();
        if (definition != nullptr && !definition->GetFilter().IsEmpty())
        {
            writer.WriteElementString(String(L"Filter"), definition->GetFilter());
        }
        writer.WriteEndElement();
    }
}

void ClassViewEditor::SaveConfiguration(const String& configFile)
{
    if (configFile != m_options.GetConfigFile())
    {
        m_options.SetConfigFile(configFile);
        m_changeFlags |= ConfigFileChanged;
    }
    if ((m_changeFlags & (ConfigFileChanged | ClassViewChanged)) == 0)
    {
        return;
    }
    bool existed = Core::IO::File::Exists(configFile);
    if (!existed)
    {
        try
        {
            Core::IO::FileStream created(configFile, Core::IO::FileMode::Create, Core::IO::FileAccess::ReadWrite,
                                         Core::IO::FileShare::Read, 4096);
            created.Close();
        }
        catch (const Core::Exception&)
        {
            ShowMessage(CreateConfigurationFailedMessage, L"Error", MB_OK | MB_ICONERROR);
            return;
        }
    }
    try
    {
        WriteFile(configFile);
    }
    catch (const Core::Exception&)
    {
        if (!existed)
        {
            try
            {
                Core::IO::File::Delete(configFile);
            }
            catch (const Core::Exception&)
            {
                // The empty file stays; the message below says what happened.
            }
        }
        ShowMessage(SaveConfigurationFailedMessage, L"Error", MB_OK | MB_ICONERROR);
    }
}

void ClassViewEditor::WriteFile(const String& path)
{
    // Written beside the file and moved over it only when complete: a failure never leaves half a file.
    String temporary = path + L".tmp";
    try
    {
        Core::IO::FileStream stream(temporary, Core::IO::FileMode::Create, Core::IO::FileAccess::Write,
                                    Core::IO::FileShare::None, 4096);
        XmlTextWriter writer(&stream, nullptr);
        writer.SetFormatting(Core::Xml::Formatting::Indented);
        writer.WriteStartDocument();
        writer.WriteStartElement(String(L"Categories"));
        WriteLevel(writer, nullptr);
        writer.WriteEndDocument();
        writer.Flush();
        writer.Close();
        stream.FlushToDisk();
        stream.Close();
        Core::IO::File::Replace(temporary, path);
    }
    catch (...)
    {
        try
        {
            Core::IO::File::Delete(temporary);
        }
        catch (const Core::Exception&)
        {
            // A stray temporary file harms nothing; the failure itself is what matters.
        }
        throw;
    }
}

void ClassViewEditor::OnAfterCheck(TreeNode* node)
{
    if (m_checkHandlerPaused > 0)
    {
        return;
    }
    CheckHandlerPause pause(*this);
    SetSubtreeState(node, node->GetCheckState());
    for (TreeNode* ancestor = node->GetParent(); ancestor != nullptr; ancestor = ancestor->GetParent())
    {
        ancestor->SetCheckState(CombinedState(ancestor));
    }
    m_changeFlags |= ClassViewChanged;
}

} // namespace Config
