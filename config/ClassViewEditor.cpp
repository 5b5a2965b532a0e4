#include "config/ClassViewEditor.h"

#include "config/AppOptions.h"
#include "config/Catalogue.h"
#include "config/CategoryPath.h"
#include "config/ClassTreeNodes.h"
#include "config/ClassViewFile.h"
#include "core/Exception.h"
#include "core/controls/TreeNode.h"
#include "core/io/FileStream.h"
#include "core/io/IOException.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"
#include "core/xml/XmlTextWriter.h"
#include "wmi/ClassDefinition.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>
#include <windows.h>

using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;
using Core::Platform::Windows::Desktop;
using Core::Xml::XmlTextWriter;

namespace Config
{

namespace
{

// A class whose children came from Property elements of the file: they are a chosen subset of the class's
// properties, and the file keeps that choice even when every one of them is ticked.
bool HasChosenProperties(const TreeNode* node)
{
    if (KindOf(node) != NodeKind::Class)
    {
        return false;
    }
    for (int i = 0; i < node->GetNodes().GetCount(); i++)
    {
        if (KindOf(node->GetNodes()[i]) == NodeKind::Property)
        {
            return true;
        }
    }
    return false;
}

int CombinedState(const TreeNode* node);

// Children first, so a node whose children cannot all follow (chosen properties) shows what they hold.
// The subtree may be as deep as the file nested it, so the path down is kept here, not on the call stack.
void SetSubtreeState(TreeNode* top, int state)
{
    struct Visit
    {
        TreeNode* node;
        int nextChild;
    };
    std::vector<Visit> path{{top, 0}};
    while (!path.empty())
    {
        Visit& visit = path.back();
        if (visit.nextChild < visit.node->GetNodes().GetCount())
        {
            TreeNode* child = visit.node->GetNodes()[visit.nextChild++];
            path.push_back({child, 0});
            continue;
        }
        TreeNode* node = visit.node;
        path.pop_back();
        node->SetCheckState(node->GetNodes().GetCount() > 0 ? CombinedState(node) : state);
    }
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
    return shared;
}

// The number of levels of the tree: 0 when empty, 1 when no node has children.
int TreeDepth(const TreeNodeCollection& nodes)
{
    struct Level
    {
        const TreeNodeCollection* nodes;
        int next;
    };
    int deepest = 0;
    std::vector<Level> open{{&nodes, 0}};
    while (!open.empty())
    {
        Level& level = open.back();
        if (level.next == level.nodes->GetCount())
        {
            open.pop_back();
            continue;
        }
        const TreeNode* node = (*level.nodes)[level.next++];
        deepest = std::max(deepest, static_cast<int>(open.size()));
        if (node->GetNodes().GetCount() > 0)
        {
            open.push_back({&node->GetNodes(), 0});
        }
    }
    return deepest;
}

std::unique_ptr<TreeNode> NewCheckNode(const String& text, const wchar_t* tag, int image, int state)
{
    auto node = std::make_unique<TreeNode>(text);
    node->SetTag(String(tag));
    node->SetImageIndex(image);
    node->SetCheckState(state);
    return node;
}

// A class node whose properties the dialog loads when it is first expanded.
std::unique_ptr<TreeNode> NewClassNode(const String& name, int state)
{
    std::unique_ptr<TreeNode> node = NewCheckNode(name, NodeTag::Class, NodeImage::Class, state);
    node->SetExpandable(true);
    return node;
}

// Builds the check tree: every category and class, checked as selected, with the chosen properties.
class CheckTreeBuilder : public ClassViewVisitor
{
public:
    explicit CheckTreeBuilder(TreeNodeCollection& nodes) : m_path(nodes) {}

    // Puts the categories still open into the tree.
    void Close() { m_path.Close(); }

    bool OnCategory(const String& name, bool selected, int depth) override
    {
        // This tree has no machine level: categories that no other encloses are its top level, expanded.
        bool topLevel = m_path.Reach(depth) == nullptr;
        std::unique_ptr<TreeNode> node = NewCheckNode(name, NodeTag::Category, CategoryImageIndex(name),
                                                      selected ? TreeNode::Checked : TreeNode::Unchecked);
        if (topLevel)
        {
            node->Expand();
        }
        m_path.Open(node.release(), depth);
        return true;
    }

    bool OnClass(const String& name, const String& nameSpace, bool selected, int depth) override
    {
        std::unique_ptr<TreeNode> node = NewClassNode(name, selected ? TreeNode::Checked : TreeNode::Unchecked);
        auto definition = std::make_unique<WMI::ClassDefinition>(name, 0);
        definition->SetNamespace(nameSpace);
        node->SetOwnedData(definition.get());
        WMI::ClassDefinition* owned = definition.release();
        TreeNode* classNode = node.release();
        m_path.Add(classNode, depth);
        m_lastClass = classNode;
        m_lastDefinition = owned;
        return true;
    }

    void OnProperty(const String& name) override
    {
        if (m_lastClass == nullptr)
        {
            return;
        }
        m_lastDefinition->GetProperties().Add(WMI::PropertyInfo(name, WMI::CimString));
        // Ticked as its class is, so that the class's box and its properties' boxes agree.
        std::unique_ptr<TreeNode> property =
            NewCheckNode(name, NodeTag::Property, NodeImage::Property, m_lastClass->GetCheckState());
        m_lastClass->GetNodes().Add(property.get());
        property.release();
    }

    void OnFilter(const String& filter) override
    {
        if (m_lastDefinition != nullptr)
        {
            m_lastDefinition->SetFilter(filter);
        }
    }

private:
    CategoryPath m_path;                              // the tree's top level and the open categories
    TreeNode* m_lastClass = nullptr;                  // not owned: belongs to the tree
    WMI::ClassDefinition* m_lastDefinition = nullptr; // not owned: belongs to its node
};

void WriteClassContent(XmlTextWriter& writer, const TreeNode* classNode)
{
    // The ticked properties are the list when they are a choice: fewer than all, or chosen in the file. An
    // unchecked class keeps the properties chosen in the file for when it is selected again.
    bool chosen = HasChosenProperties(classNode);
    bool keepAll = chosen && classNode->GetCheckState() == TreeNode::Unchecked;
    if (chosen || classNode->GetCheckState() == TreeNode::PartlyChecked)
    {
        for (int p = 0; p < classNode->GetNodes().GetCount(); p++)
        {
            const TreeNode* property = classNode->GetNodes()[p];
            if (keepAll || property->GetCheckState() == TreeNode::Checked)
            {
                writer.WriteElementString(String(L"Property"), property->GetText());
            }
        }
    }
    auto* definition = DefinitionOf(classNode);
    if (definition != nullptr && !definition->GetFilter().IsEmpty())
    {
        writer.WriteElementString(String(L"Filter"), definition->GetFilter());
    }
}

// Writes the whole tree as Category and Class elements.
void WriteTree(XmlTextWriter& writer, const TreeNodeCollection& nodes)
{
    // Categories nest as deep as the tree does: the open levels are kept here, not on the call stack.
    struct Level
    {
        const TreeNodeCollection* nodes;
        int next;
    };
    std::vector<Level> open{{&nodes, 0}};
    while (!open.empty())
    {
        Level& level = open.back();
        if (level.next == level.nodes->GetCount())
        {
            open.pop_back();
            if (!open.empty())
            {
                writer.WriteEndElement(); // the category whose children these were
            }
            continue;
        }
        const TreeNode* child = (*level.nodes)[level.next++];
        // Each node is written as its own kind, so a level mixing categories and classes loses neither.
        bool isClass = KindOf(child) == NodeKind::Class;
        if (!isClass && KindOf(child) != NodeKind::Category)
        {
            continue;
        }
        writer.WriteStartElement(String(isClass ? L"Class" : L"Category"));
        writer.WriteAttributeString(String(L"Name"), child->GetText());
        writer.WriteAttributeString(String(L"selected"), String(child->IsChecked() ? L"Y" : L"N"));
        if (isClass)
        {
            // The default namespace goes unwritten: files of classes in root\cimv2 stay as they always were.
            auto* definition = DefinitionOf(child);
            if (definition != nullptr && !definition->IsInDefaultNamespace())
            {
                writer.WriteAttributeString(String(NamespaceAttribute), definition->GetNamespace());
            }
            WriteClassContent(writer, child);
            writer.WriteEndElement();
        }
        else
        {
            open.push_back({&child->GetNodes(), 0});
        }
    }
}

void WriteClassViewFile(const String& path, const TreeNodeCollection& nodes)
{
    // Written beside the file and moved over it only when complete: a failure never leaves half a file.
    String temporary = path + L".tmp";
    try
    {
        Core::IO::FileStream stream(temporary, Core::IO::FileMode::Create, Core::IO::FileAccess::Write,
                                    Core::IO::FileShare::None, 4096);
        XmlTextWriter writer(&stream, nullptr);
        // Indentation grows with the depth on every line: a tree nested deeper than anyone would read
        // is written on one line, so the file grows with the tree and not with its square.
        writer.SetFormatting(TreeDepth(nodes) <= ClassViewEditor::MaxIndentedDepth ? Core::Xml::Formatting::Indented
                                                                                   : Core::Xml::Formatting::None);
        writer.WriteStartDocument();
        writer.WriteStartElement(String(L"Categories"));
        WriteTree(writer, nodes);
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
        catch (...)
        {
            // A stray temporary file harms nothing; the failure itself is what matters.
        }
        throw;
    }
}

// A message that could not be shown for want of memory is shown once more: it is how the user learns what became
// of the file, and the failure that took the memory is over.
template <typename Show> void ShowAgainOnFailure(Show show) noexcept
{
    for (int attempt = 0; attempt < 2; attempt++)
    {
        try
        {
            show();
            return;
        }
        catch (...)
        {
        }
    }
}

} // namespace

namespace
{

// Class and property names, like namespaces, are the same in any case to WMI.
bool SameName(const String& first, const String& second)
{
    return WMI::IsSameNamespace(first, second);
}

// Whether the class node describes definition: the same class, namespace, chosen properties and filter.
bool Describes(const TreeNode* node, const WMI::ClassDefinition& definition)
{
    const WMI::ClassDefinition* held = DefinitionOf(node);
    if (held == nullptr || !SameName(node->GetText(), definition.GetName()) ||
        !WMI::IsSameNamespace(held->GetNamespace(), definition.GetNamespace()) ||
        held->GetFilter() != definition.GetFilter() ||
        held->GetProperties().GetCount() != definition.GetProperties().GetCount())
    {
        return false;
    }
    for (int i = 0; i < held->GetProperties().GetCount(); i++)
    {
        if (!SameName(held->GetProperties()[i].GetName(), definition.GetProperties()[i].GetName()))
        {
            return false;
        }
    }
    return true;
}

// The class node for definition, ticked with its properties, as the file's reader would have made it.
std::unique_ptr<TreeNode> NewAddedClassNode(const WMI::ClassDefinition& definition)
{
    std::unique_ptr<TreeNode> node = NewClassNode(definition.GetName(), TreeNode::Checked);
    auto copy = std::make_unique<WMI::ClassDefinition>(definition.GetName(), 0);
    copy->SetNamespace(definition.GetNamespace());
    copy->SetFilter(definition.GetFilter());
    node->SetOwnedData(copy.get());
    WMI::ClassDefinition* owned = copy.release();
    for (int i = 0; i < definition.GetProperties().GetCount(); i++)
    {
        const String& name = definition.GetProperties()[i].GetName();
        owned->GetProperties().Add(WMI::PropertyInfo(name, WMI::CimString));
        std::unique_ptr<TreeNode> property =
            NewCheckNode(name, NodeTag::Property, NodeImage::Property, TreeNode::Checked);
        node->GetNodes().Add(property.get());
        property.release();
    }
    return node;
}

// Puts definition, ticked, into the added classes' category of the tree; false when it was there already, ticked.
bool AddToTree(TreeNodeCollection& nodes, const WMI::ClassDefinition& definition)
{
    TreeNode* category = nullptr;
    for (int i = 0; i < nodes.GetCount() && category == nullptr; i++)
    {
        if (KindOf(nodes[i]) == NodeKind::Category && nodes[i]->GetText() == String(AddedClassesCategory))
        {
            category = nodes[i];
        }
    }
    if (category == nullptr)
    {
        std::unique_ptr<TreeNode> created =
            NewCheckNode(String(AddedClassesCategory), NodeTag::Category,
                         CategoryImageIndex(String(AddedClassesCategory)), TreeNode::Checked);
        nodes.Add(created.get());
        category = created.release();
    }
    bool changed = category->GetCheckState() == TreeNode::Unchecked;
    // Only its own box: the other classes in it keep theirs.
    category->SetCheckState(TreeNode::Checked);
    for (int i = 0; i < category->GetNodes().GetCount(); i++)
    {
        TreeNode* node = category->GetNodes()[i];
        if (KindOf(node) == NodeKind::Class && Describes(node, definition))
        {
            if (node->GetCheckState() == TreeNode::Unchecked)
            {
                SetSubtreeState(node, TreeNode::Checked);
                changed = true;
            }
            return changed;
        }
    }
    std::unique_ptr<TreeNode> added = NewAddedClassNode(definition);
    category->GetNodes().Add(added.get());
    added.release();
    return true;
}

} // namespace

bool AddClassToClassView(const String& path, const WMI::ClassDefinition& definition, void* owner)
{
    // The reason, when there is one, follows the message; a message that cannot be made whole is shown without it.
    auto tell = [owner](const wchar_t* text, const Core::Exception* reason)
    {
        ShowAgainOnFailure(
            [&]
            {
                String shown(text);
                if (reason != nullptr && !reason->GetMessageText().IsEmpty())
                {
                    shown += String(L"\r\n\r\n") + reason->GetMessageText();
                }
                Desktop::Current().ShowMessage(owner, shown, String(L"Configuration file error"),
                                               MB_OK | MB_ICONWARNING);
            });
    };
    try
    {
        if (definition.GetName().IsEmpty())
        {
            throw Core::ArgumentException(String(L"AddClassToClassView function - the class has no name"));
        }
        if (path.IsEmpty() || !Core::IO::File::Exists(path))
        {
            tell(NoFileToAddToMessage, nullptr);
            return false;
        }
        // The whole file, as the options dialog shows it: what is not added is written back as it was read.
        TreeNodeCollection nodes;
        {
            CheckTreeBuilder builder(nodes);
            try
            {
                ReadClassViewFile(path, builder);
            }
            catch (const Core::Exception& exception)
            {
                // Saving what was read would lose the rest of the file.
                tell(PartlyReadNotAddedMessage, &exception);
                return false;
            }
            builder.Close();
        }
        if (AddToTree(nodes, definition))
        {
            WriteClassViewFile(path, nodes);
        }
        return true;
    }
    catch (const Core::ArgumentException&)
    {
        throw;
    }
    catch (const Core::Exception& exception)
    {
        tell(AddClassFailedMessage, &exception);
    }
    catch (...)
    {
        tell(AddClassFailedMessage, nullptr);
    }
    return false;
}

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

void ClassViewEditor::ShowMessage(const wchar_t* text, const wchar_t* caption, unsigned int style) noexcept
{
    ShowAgainOnFailure([&] { Desktop::Current().ShowMessage(m_owner, String(text), String(caption), style); });
}

void ClassViewEditor::ShowMessage(const String& text, const String& caption, unsigned int style) noexcept
{
    ShowAgainOnFailure([&] { Desktop::Current().ShowMessage(m_owner, text, caption, style); });
}

void ClassViewEditor::LoadCheckTree(const String& path)
{
    CheckHandlerPause pause(*this);
    DeleteNodes(m_nodes);
    m_partlyRead = String();
    if (path.IsEmpty() || !Core::IO::File::Exists(path))
    {
        // The catalogue is what the main window shows without a file: nothing to save or rebuild until the user
        // changes it.
        int flags = m_changeFlags;
        BuildDefaultCheckTree();
        m_changeFlags = flags;
        return;
    }
    CheckTreeBuilder builder(m_nodes);
    bool readWhole = true;
    String reason;
    try
    {
        ReadClassViewFile(path, builder);
    }
    catch (const Core::Exception& exception)
    {
        readWhole = false;
        reason = exception.GetMessageText();
    }
    // What was read stays, also when the file ends too early, and can be saved.
    builder.Close();
    if (!readWhole)
    {
        m_partlyRead = path;
        String text(InvalidCheckTreeMessage);
        if (!reason.IsEmpty())
        {
            text += String(L"\r\n\r\n") + reason;
        }
        Core::Platform::Windows::Desktop::Current().ShowMessage(m_owner, text, String(L"Configuration file error"),
                                                                MB_OK | MB_ICONWARNING);
    }
}

void ClassViewEditor::BuildDefaultCheckTree()
{
    m_changeFlags |= ClassViewChanged;
    m_partlyRead = String();
    CheckHandlerPause pause(*this);
    DeleteNodes(m_nodes);
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
        std::unique_ptr<TreeNode> created =
            NewCheckNode(String(group.name), NodeTag::Category, NodeImage::Group, TreeNode::Checked);
        created->Expand();
        m_nodes.Add(created.get());
        TreeNode* groupNode = created.release();
        for (int i = 0; i < group.count; i++)
        {
            String name(group.categories[i].name);
            auto category = std::make_unique<TreeNode>(name);
            category->SetImageIndex(CategoryImageIndex(name));
            category->SetCheckState(TreeNode::Checked);
            groupNode->GetNodes().Add(category.get());
            AddCheckClassNodes(category.release(), group.categories[i].classes, group.categories[i].count);
        }
    }
}

void ClassViewEditor::AddCheckClassNodes(TreeNode* categoryNode, const wchar_t* const* classNames, int count)
{
    categoryNode->SetTag(String(NodeTag::Category));
    for (int i = 0; i < count; i++)
    {
        String name(classNames[i]);
        std::unique_ptr<TreeNode> node = NewClassNode(name, TreeNode::Checked);
        auto definition = std::make_unique<WMI::ClassDefinition>(name, 0);
        node->SetOwnedData(definition.release());
        categoryNode->GetNodes().Add(node.get());
        node.release();
    }
}

// Every failure, out of memory included, ends in a message: the dialog goes on either way.
bool ClassViewEditor::SaveConfiguration(const String& configFile)
{
    bool existed = false;
    try
    {
        if (configFile != m_options.GetConfigFile())
        {
            m_options.SetConfigFile(configFile);
            m_changeFlags |= ConfigFileChanged;
        }
        if ((m_changeFlags & (ConfigFileChanged | ClassViewChanged)) == 0)
        {
            return true;
        }
        existed = Core::IO::File::Exists(configFile);
    }
    catch (...)
    {
        ShowMessage(SaveConfigurationFailedMessage, L"Error", MB_OK | MB_ICONERROR);
        return false;
    }
    if (!existed)
    {
        try
        {
            Core::IO::FileStream created(configFile, Core::IO::FileMode::Create, Core::IO::FileAccess::ReadWrite,
                                         Core::IO::FileShare::Read, 4096);
            created.Close();
        }
        catch (...)
        {
            // The file may have come into being before the failure.
            RemoveCreatedFile(configFile);
            ShowMessage(CreateConfigurationFailedMessage, L"Error", MB_OK | MB_ICONERROR);
            return false;
        }
    }
    // The message naming the copy is made before the copy: once the file is saved over, that message is the
    // only way the user learns where the original went, so showing it must not need memory.
    String original;
    String keptText;
    String keptCaption;
    try
    {
        if (existed && IsPartlyRead(configFile))
        {
            original = FreeCopyName(configFile);
            keptText = String(PartlyReadKeptMessage) + L"\r\n\r\n" + original;
            keptCaption = String(L"Configuration file error");
            Core::IO::File::Copy(configFile, original);
        }
    }
    catch (...)
    {
        ShowMessage(PartlyReadNotCopiedMessage, L"Configuration file error", MB_OK | MB_ICONWARNING);
        return false;
    }
    try
    {
        WriteClassViewFile(configFile, m_nodes);
    }
    catch (...)
    {
        if (!existed)
        {
            RemoveCreatedFile(configFile);
        }
        // The original is as it was: a copy of it would only be a file the user was not told of.
        if (!original.IsEmpty())
        {
            RemoveCreatedFile(original);
        }
        ShowMessage(SaveConfigurationFailedMessage, L"Error", MB_OK | MB_ICONERROR);
        return false;
    }
    if (!original.IsEmpty())
    {
        // Moved out, which leaves it empty without allocating.
        String saved(std::move(m_partlyRead));
        ShowMessage(keptText, keptCaption, MB_OK | MB_ICONINFORMATION);
    }
    return true;
}

bool ClassViewEditor::IsPartlyRead(const String& path) const
{
    if (m_partlyRead.IsEmpty())
    {
        return false;
    }
    // The file's identity, not its name: one file has many names (another drive mapping the same folder, a link).
    try
    {
        return Core::IO::File::IsSame(m_partlyRead, path);
    }
    catch (const Core::IO::IOException&)
    {
        // Cannot tell (the file read is gone, perhaps renamed to this one): a copy too many costs less than a
        // lost file.
        return true;
    }
}

String ClassViewEditor::FreeCopyName(const String& path)
{
    // An older copy is never overwritten: it may hold what an earlier broken file lost.
    for (int n = 1;; n++)
    {
        String copy = n == 1 ? path + L".bak" : path + L"." + n + L".bak";
        if (!Core::IO::File::Exists(copy))
        {
            return copy;
        }
    }
}

void ClassViewEditor::RemoveCreatedFile(const String& path)
{
    try
    {
        if (Core::IO::File::Exists(path))
        {
            Core::IO::File::Delete(path);
        }
    }
    catch (...)
    {
        // The empty file stays; the message that follows says what happened.
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
