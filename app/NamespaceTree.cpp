#include "app/NamespaceTree.h"

#include "config/Catalogue.h"
#include "config/ClassTreeNodes.h"
#include "core/Exception.h"
#include "resources/ResourceIds.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/ManagementObject.h"
#include "wmi/Schema.h"

#include <atomic>
#include <new>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>

namespace Quarrow
{

using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::UpdatesPaused;
using WMI::ManagementConnection;

// One machine's namespace connections, made on workers as its nodes are first read, and the reads on their way.
struct NamespaceTree::Machine
{
    const ManagementConnection* machine = nullptr; // not owned: the machine node's connection
    std::vector<std::unique_ptr<ManagementConnection>> connections;
    Core::Threading::CompletionOwner reads;
    // The listings being read, apart from the other reads so that Stop drops only them; each node's stop request
    // is shared with its worker.
    Core::Threading::CompletionOwner listings;
    std::vector<std::pair<TreeNode*, std::shared_ptr<std::atomic<bool>>>> listed;

    bool Unlist(const TreeNode* node)
    {
        for (size_t i = 0; i < listed.size(); i++)
        {
            if (listed[i].first == node)
            {
                listed.erase(listed.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }

    ManagementConnection* Find(const String& nameSpace) const
    {
        for (const auto& connection : connections)
        {
            if (WMI::IsSameNamespace(connection->GetNamespace(), nameSpace))
            {
                return connection.get();
            }
        }
        return nullptr;
    }
};

// What one read brought: the connection it had to make, and the node's children.
struct NamespaceTree::Listing
{
    String nameSpace;
    std::unique_ptr<ManagementConnection> connection; // made by the read; null when the namespace had one
    Core::Collections::ArrayList<String> namespaces;
    Core::Collections::ArrayList<WMI::ClassEntry> classes;
    String namespacesFailure;
    String classesFailure;
};

namespace
{

String MessageOf(const std::exception_ptr& failure)
{
    return Core::FailureText(failure, String(L"The namespace could not be read."));
}

TreeNode* NewMessage(const String& text)
{
    auto* node = new TreeNode(text);
    node->SetTag(String(NamespaceTag::Message));
    return node;
}

// The data word of a namespace node that Open gave children before it was listed: listed when opened all the same.
constexpr uint64_t Unlisted = 1;

bool HasTag(const TreeNode* node, const wchar_t* tag)
{
    return node != nullptr && node->GetTag() == String(tag);
}

TreeNode* NewNamespace(const String& name)
{
    auto* node = new TreeNode(name);
    node->SetTag(String(NamespaceTag::Namespace));
    node->SetImageIndex(Resources::NamespaceImage);
    node->SetExpandable(true);
    return node;
}

// A namespace child by its name, or a class child by its class's name; without regard to case, as WMI names both.
TreeNode* FindChild(TreeNode* parent, const String& name, bool isClass)
{
    Core::Controls::TreeNodeCollection& children = parent->GetNodes();
    for (int i = 0; i < children.GetCount(); i++)
    {
        TreeNode* child = children[i];
        WMI::ManagementObject* object = Config::ClassOf(child);
        if (isClass ? object != nullptr && object->GetName().ToLower() == name.ToLower()
                    : HasTag(child, NamespaceTag::Namespace) && child->GetText().ToLower() == name.ToLower())
        {
            return child;
        }
    }
    return nullptr;
}

// What a class's node says of it beside its name.
String ClassText(const WMI::ClassEntry& entry)
{
    String text = entry.name;
    if (entry.isAbstract && entry.isAssociation)
    {
        text += L" (abstract association)";
    }
    else if (entry.isAbstract)
    {
        text += L" (abstract)";
    }
    else if (entry.isAssociation)
    {
        text += L" (association)";
    }
    return text;
}

// The picture tells at a glance what the text says after the name; WMI's own classes have one of their own.
int ClassImage(const WMI::ClassEntry& entry)
{
    if (entry.isSystem)
    {
        return Resources::SystemClassImage;
    }
    if (entry.isAssociation)
    {
        return Resources::AssociationClassImage;
    }
    return entry.isAbstract ? Resources::AbstractClassImage : Config::NodeImage::Class;
}

// A class's node, its class object not bound to a namespace's connection until it is chosen.
TreeNode* NewClass(ManagementConnection* connection, const String& nameSpace, const WMI::ClassEntry& entry)
{
    auto* child = new TreeNode(ClassText(entry));
    auto object = std::make_unique<WMI::ManagementObject>(connection, entry.name, 0);
    object->SetNamespace(nameSpace);
    child->SetOwnedData(object.release());
    child->SetTag(String(Config::NodeTag::Class));
    child->SetImageIndex(ClassImage(entry));
    child->SetExpandable(true);
    return child;
}

// A name as WMI compares it, without regard to case.
std::wstring Folded(const String& name)
{
    String lower = name.ToLower();
    return std::wstring(lower.GetBuffer(), static_cast<size_t>(lower.GetLength()));
}

} // namespace

NamespaceTree::NamespaceTree(Core::Controls::TreeView& tree, Config::AppOptions& options)
    : m_tree(tree), m_options(options), m_expandHandler(this, &NamespaceTree::OnBeforeExpand)
{
}

NamespaceTree::~NamespaceTree() = default;

void NamespaceTree::AddTo(TreeNode* machine)
{
    if (!m_watching)
    {
        // Not in the constructor: the tree is made after the machines' owner.
        m_tree.BeforeExpand.Subscribe(&m_expandHandler);
        m_watching = true;
    }
    auto* namespaces = new TreeNode(String(NamespacesNodeText));
    namespaces->SetTag(String(NamespaceTag::Namespaces));
    namespaces->SetImageIndex(Resources::NamespaceImage);
    namespaces->SetExpandable(true);
    machine->GetNodes().Add(namespaces);
}

void NamespaceTree::Forget(const ManagementConnection* machine)
{
    for (size_t i = 0; i < m_machines.size(); i++)
    {
        if (m_machines[i]->machine == machine)
        {
            bool reading = !m_machines[i]->listed.empty();
            m_machines.erase(m_machines.begin() + static_cast<std::ptrdiff_t>(i));
            if (reading)
            {
                RaiseReadingChanged();
            }
            return;
        }
    }
}

void NamespaceTree::DropReads()
{
    bool reading = IsReading();
    for (const auto& machine : m_machines)
    {
        machine->reads.Reset();
        machine->listings.Reset();
        machine->listed.clear();
    }
    if (reading)
    {
        RaiseReadingChanged();
    }
}

void NamespaceTree::SetAsyncLoad(bool asynchronous)
{
    for (const auto& machine : m_machines)
    {
        for (const auto& connection : machine->connections)
        {
            connection->SetAsyncLoad(asynchronous);
        }
    }
}

bool NamespaceTree::IsKeptBy(const ManagementConnection* machine, const ManagementConnection* connection) const
{
    Machine* kept = FindMachine(machine);
    if (kept == nullptr)
    {
        return false;
    }
    for (const auto& own : kept->connections)
    {
        if (own.get() == connection)
        {
            return true;
        }
    }
    return false;
}

String NamespaceTree::NamespaceOf(const TreeNode* node)
{
    if (WMI::ManagementObject* object = Config::ClassOf(node); object != nullptr && IsUnderNamespaces(node))
    {
        return object->GetNamespace();
    }
    String path;
    for (const TreeNode* above = node; above != nullptr; above = above->GetParent())
    {
        if (HasTag(above, NamespaceTag::Namespaces))
        {
            return path.IsEmpty() ? String(L"root") : String(L"root\\") + path;
        }
        if (!HasTag(above, NamespaceTag::Namespace))
        {
            return String();
        }
        path = path.IsEmpty() ? above->GetText() : above->GetText() + L"\\" + path;
    }
    return String();
}

bool NamespaceTree::IsUnderNamespaces(const TreeNode* node)
{
    for (const TreeNode* above = node != nullptr ? node->GetParent() : nullptr; above != nullptr;
         above = above->GetParent())
    {
        if (HasTag(above, NamespaceTag::Namespaces))
        {
            return true;
        }
    }
    return false;
}

void NamespaceTree::OnBeforeExpand(Core::Object*, Core::Controls::TreeViewCancelEventArgs& args)
{
    TreeNode* node = args.GetNode();
    bool namespaceClass = Config::KindOf(node) == Config::NodeKind::Class && IsUnderNamespaces(node);
    bool ours = HasTag(node, NamespaceTag::Namespaces) || HasTag(node, NamespaceTag::Namespace) || namespaceClass;
    // Read once: a node that has children (a listing, "Reading ..." or why it failed) is not read again.
    bool unlisted = !namespaceClass && node->GetData() == Unlisted;
    // A listing stopped is read again.
    Core::Controls::TreeNodeCollection& children = node->GetNodes();
    bool stopped = false;
    for (int i = children.GetCount() - 1; i >= 0; i--)
    {
        if (HasTag(children[i], NamespaceTag::Message) && children[i]->GetText() == String(StoppedNodeText))
        {
            children.RemoveAt(i);
            stopped = true;
        }
    }
    if (!ours || (children.GetCount() > 0 && !unlisted && !stopped))
    {
        return;
    }
    StartReading(node);
}

void NamespaceTree::StartReading(TreeNode* node)
{
    const ManagementConnection* machine = Config::MachineOf(node);
    if (machine == nullptr)
    {
        return;
    }
    Machine& owner = MachineFor(machine);
    String nameSpace = NamespaceOf(node);
    bool classes = !HasTag(node, NamespaceTag::Namespaces);
    bool namespaces = !Config::ClassOf(node);
    String superclass = Config::ClassOf(node) != nullptr ? Config::ClassOf(node)->GetName() : String();

    // The worker keeps what it calls through: the namespace's session when it is open, otherwise the machine's
    // credentials to open it with.
    std::shared_ptr<const WMI::ConnectionSession> session;
    std::shared_ptr<const ManagementConnection> credentials;
    if (ManagementConnection* open = owner.Find(nameSpace); open != nullptr && open->IsConnected())
    {
        session = open->GetSession();
    }
    else
    {
        credentials = machine->CopyCredentials();
    }
    node->GetNodes().Add(NewMessage(String(ReadingNodeText)));
    auto stop = std::make_shared<std::atomic<bool>>(false);
    Core::Threading::RunInBackground<Listing>(
        owner.listings,
        [session, credentials, nameSpace, namespaces, classes, superclass, stop]() mutable
        {
            WMI::StopRequest stopRequest = [stop] { return stop->load(); };
            Listing listing;
            listing.nameSpace = nameSpace;
            if (session == nullptr)
            {
                listing.connection = credentials->ConnectNamespace(nameSpace);
                session = listing.connection->GetSession();
            }
            if (namespaces)
            {
                try
                {
                    listing.namespaces = WMI::ReadChildNamespaces(*session, stopRequest);
                }
                catch (const Core::Exception& exception)
                {
                    listing.namespacesFailure = exception.GetMessageText();
                }
            }
            if (classes)
            {
                try
                {
                    listing.classes = WMI::ReadSubclasses(*session, superclass, stopRequest);
                }
                catch (const Core::Exception& exception)
                {
                    listing.classesFailure = exception.GetMessageText();
                }
            }
            return listing;
        },
        [this, node, machine](Core::Threading::Outcome<Listing>& read) { OnRead(node, machine, read); });
    owner.listed.emplace_back(node, stop);
    RaiseReadingChanged();
}

void NamespaceTree::OnRead(TreeNode* node, const ManagementConnection* machine, Core::Threading::Outcome<Listing>& read)
{
    Machine* owner = FindMachine(machine);
    if (owner != nullptr && owner->Unlist(node))
    {
        RaiseReadingChanged();
    }
    if (owner == nullptr || !IsInTree(node))
    {
        return;
    }
    UpdatesPaused paused(m_tree);
    // "Reading ..." goes; what Open added meanwhile stays.
    Core::Controls::TreeNodeCollection& children = node->GetNodes();
    for (int i = children.GetCount() - 1; i >= 0; i--)
    {
        if (HasTag(children[i], NamespaceTag::Message))
        {
            children.RemoveAt(i);
        }
    }
    if (!Config::ClassOf(node))
    {
        node->SetData(0);
    }
    if (read.Failed())
    {
        // Said once in the tree; expanding again reads nothing until the tree is built again.
        node->GetNodes().Add(NewMessage(MessageOf(read.GetFailure())));
        return;
    }
    ShowListing(node, *owner, read.Get());
}

void NamespaceTree::ShowListing(TreeNode* node, Machine& owner, Listing& listing)
{
    ManagementConnection* connection = owner.Find(listing.nameSpace);
    if (connection == nullptr && listing.connection != nullptr)
    {
        connection = listing.connection.get();
        owner.connections.push_back(std::move(listing.connection));
    }
    bool rootList = HasTag(node, NamespaceTag::Namespaces);
    // The names already under the node (what Open added), looked up once each: a namespace lists thousands of
    // classes, and a search of the children for each would make the listing quadratic.
    std::unordered_set<std::wstring> namespacesThere;
    std::unordered_set<std::wstring> classesThere;
    Core::Controls::TreeNodeCollection& children = node->GetNodes();
    for (int i = 0; i < children.GetCount(); i++)
    {
        if (WMI::ManagementObject* object = Config::ClassOf(children[i]))
        {
            classesThere.insert(Folded(object->GetName()));
        }
        else if (HasTag(children[i], NamespaceTag::Namespace))
        {
            namespacesThere.insert(Folded(children[i]->GetText()));
        }
    }
    for (int i = 0; i < listing.namespaces.GetCount(); i++)
    {
        if (namespacesThere.insert(Folded(listing.namespaces[i])).second)
        {
            children.Add(NewNamespace(listing.namespaces[i]));
        }
    }
    bool showSystem = m_options.GetShowSystemClasses();
    for (int i = 0; i < listing.classes.GetCount() && connection != nullptr; i++)
    {
        const WMI::ClassEntry& entry = listing.classes[i];
        if ((entry.isSystem && !showSystem) || !classesThere.insert(Folded(entry.name)).second)
        {
            continue;
        }
        children.Add(NewClass(connection, listing.nameSpace, entry));
    }
    for (const String& failure : {listing.namespacesFailure, listing.classesFailure})
    {
        if (!failure.IsEmpty())
        {
            node->GetNodes().Add(NewMessage(failure));
        }
    }
    if (node->GetNodes().GetCount() > 0)
    {
        return;
    }
    if (rootList)
    {
        node->GetNodes().Add(NewMessage(String(L"This machine lists no namespaces")));
    }
    else if (Config::ClassOf(node) == nullptr)
    {
        node->GetNodes().Add(NewMessage(String(L"This namespace lists no classes")));
    }
    else
    {
        // A class without subclasses: its glyph goes.
        node->Collapse();
        node->SetExpandable(false);
    }
}

TreeNode* NamespaceTree::ClassNode(TreeNode* parent, ManagementConnection* connection, const String& nameSpace,
                                   const WMI::ClassEntry& entry)
{
    if (TreeNode* kept = FindChild(parent, entry.name, true))
    {
        return kept;
    }
    TreeNode* child = NewClass(connection, nameSpace, entry);
    parent->GetNodes().Add(child);
    return child;
}

TreeNode* NamespaceTree::NamespacesOf(TreeNode* machine)
{
    Core::Controls::TreeNodeCollection& children = machine->GetNodes();
    for (int i = children.GetCount() - 1; i >= 0; i--)
    {
        if (HasTag(children[i], NamespaceTag::Namespaces))
        {
            return children[i];
        }
    }
    return nullptr;
}

TreeNode* NamespaceTree::NamespaceNode(TreeNode* machine, const String& nameSpace)
{
    TreeNode* node = NamespacesOf(machine);
    Core::Collections::Array<String> names = nameSpace.Split(String(L"\\"));
    // The first name is root, which the "Namespaces" node stands for.
    for (int i = 1; i < names.GetLength() && node != nullptr; i++)
    {
        TreeNode* child = FindChild(node, names[i], false);
        if (child == nullptr)
        {
            if (node->GetNodes().GetCount() == 0)
            {
                node->SetData(Unlisted);
            }
            child = NewNamespace(names[i]);
            node->GetNodes().Add(child);
        }
        node = child;
    }
    return node;
}

void NamespaceTree::Open(TreeNode* machine, const String& nameSpace, const String& className, OpenedHandler opened)
{
    const ManagementConnection* machineConnection = Config::MachineOf(machine);
    Machine& owner = MachineFor(machineConnection);
    std::shared_ptr<const WMI::ConnectionSession> session;
    std::shared_ptr<const ManagementConnection> credentials;
    if (ManagementConnection* open = owner.Find(nameSpace); open != nullptr && open->IsConnected())
    {
        session = open->GetSession();
    }
    else
    {
        credentials = machineConnection->CopyCredentials();
    }
    Core::Threading::RunInBackground<Listing>(
        owner.reads,
        [session, credentials, nameSpace, className]() mutable
        {
            Listing listing;
            listing.nameSpace = nameSpace;
            if (session == nullptr)
            {
                listing.connection = credentials->ConnectNamespace(nameSpace);
                session = listing.connection->GetSession();
            }
            if (!className.IsEmpty())
            {
                try
                {
                    listing.classes.Add(WMI::ReadClass(*session, className));
                }
                catch (const WMI::InvalidWMIClassException&)
                {
                    // Said with the namespace typed: the class may well be in another one.
                    throw Core::Exception(String(L"The namespace ") + nameSpace + L" has no class " + className + L".");
                }
            }
            return listing;
        },
        [this, machine, machineConnection, opened](Core::Threading::Outcome<Listing>& read)
        {
            Machine* kept = FindMachine(machineConnection);
            if (kept == nullptr || !IsInTree(machine))
            {
                return;
            }
            if (read.Failed())
            {
                opened(nullptr, MessageOf(read.GetFailure()));
                return;
            }
            Listing& listing = read.Get();
            ManagementConnection* connection = kept->Find(listing.nameSpace);
            if (connection == nullptr)
            {
                connection = listing.connection.get();
                kept->connections.push_back(std::move(listing.connection));
            }
            UpdatesPaused paused(m_tree);
            TreeNode* node = NamespaceNode(machine, listing.nameSpace);
            if (node != nullptr && listing.classes.GetCount() > 0)
            {
                if (node->GetNodes().GetCount() == 0)
                {
                    node->SetData(Unlisted);
                }
                node = ClassNode(node, connection, listing.nameSpace, listing.classes[0]);
            }
            opened(node, node != nullptr ? String() : String(L"The machine has no Namespaces node."));
        });
}

void NamespaceTree::ConnectTo(TreeNode* machine, const String& nameSpace, ConnectedHandler connected)
{
    const ManagementConnection* machineConnection = Config::MachineOf(machine);
    Machine& owner = MachineFor(machineConnection);
    if (ManagementConnection* open = owner.Find(nameSpace); open != nullptr && open->IsConnected())
    {
        connected(open, String());
        return;
    }
    std::shared_ptr<const ManagementConnection> credentials = machineConnection->CopyCredentials();
    using Made = std::unique_ptr<ManagementConnection>;
    Core::Threading::RunInBackground<Made>(
        owner.reads, [credentials, nameSpace] { return credentials->ConnectNamespace(nameSpace); },
        [this, machineConnection, nameSpace, connected](Core::Threading::Outcome<Made>& read)
        {
            Machine* kept = FindMachine(machineConnection);
            if (kept == nullptr)
            {
                return;
            }
            if (read.Failed())
            {
                connected(nullptr, MessageOf(read.GetFailure()));
                return;
            }
            ManagementConnection* connection = kept->Find(nameSpace);
            if (connection == nullptr)
            {
                connection = read.Get().get();
                kept->connections.push_back(std::move(read.Get()));
            }
            connected(connection, String());
        });
}

void NamespaceTree::Reset()
{
    DropReads();
    UpdatesPaused paused(m_tree);
    Core::Controls::TreeNodeCollection& machines = m_tree.GetNodes();
    for (int i = 0; i < machines.GetCount(); i++)
    {
        if (TreeNode* namespaces = NamespacesOf(machines[i]))
        {
            namespaces->Collapse();
            namespaces->GetNodes().Clear();
            namespaces->SetData(0);
            namespaces->SetExpandable(true);
        }
    }
}

bool NamespaceTree::IsReading() const
{
    for (const auto& machine : m_machines)
    {
        if (!machine->listed.empty())
        {
            return true;
        }
    }
    return false;
}

void NamespaceTree::StopReads()
{
    if (!IsReading())
    {
        return;
    }
    UpdatesPaused paused(m_tree);
    for (const auto& machine : m_machines)
    {
        for (const auto& [node, stop] : machine->listed)
        {
            stop->store(true);
            if (!IsInTree(node))
            {
                continue;
            }
            Core::Controls::TreeNodeCollection& children = node->GetNodes();
            for (int i = children.GetCount() - 1; i >= 0; i--)
            {
                if (HasTag(children[i], NamespaceTag::Message))
                {
                    children.RemoveAt(i);
                }
            }
            children.Add(NewMessage(String(StoppedNodeText)));
        }
        machine->listed.clear();
        machine->listings.Reset();
    }
    RaiseReadingChanged();
}

void NamespaceTree::RaiseReadingChanged()
{
    if (m_readingChanged)
    {
        m_readingChanged();
    }
}

NamespaceTree::Machine* NamespaceTree::FindMachine(const ManagementConnection* machine) const
{
    for (const auto& kept : m_machines)
    {
        if (kept->machine == machine)
        {
            return kept.get();
        }
    }
    return nullptr;
}

NamespaceTree::Machine& NamespaceTree::MachineFor(const ManagementConnection* machine)
{
    if (Machine* kept = FindMachine(machine))
    {
        return *kept;
    }
    m_machines.push_back(std::make_unique<Machine>());
    m_machines.back()->machine = machine;
    return *m_machines.back();
}

bool NamespaceTree::IsInTree(const TreeNode* node) const
{
    // A class node the machine reported missing leaves the tree without a rebuild: its read finds it gone.
    std::vector<TreeNode*> open;
    Core::Controls::TreeNodeCollection& roots = m_tree.GetNodes();
    for (int i = 0; i < roots.GetCount(); i++)
    {
        open.push_back(roots[i]);
    }
    while (!open.empty())
    {
        TreeNode* next = open.back();
        open.pop_back();
        if (next == node)
        {
            return true;
        }
        Core::Controls::TreeNodeCollection& children = next->GetNodes();
        for (int i = 0; i < children.GetCount(); i++)
        {
            open.push_back(children[i]);
        }
    }
    return false;
}

} // namespace Quarrow
