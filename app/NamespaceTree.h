// The "Namespaces" node of each machine: its namespaces, their classes and the classes below those, each read on a
// worker when its node is first expanded, through one connection per namespace that the machine keeps.
#pragma once

#include "config/AppOptions.h"
#include "core/Event.h"
#include "core/controls/TreeNode.h"
#include "core/controls/TreeView.h"
#include "core/threading/Completion.h"
#include "wmi/ManagementConnection.h"
#include "wmi/Schema.h"

#include <functional>
#include <memory>
#include <vector>

namespace Quarrow
{

namespace NamespaceTag
{
constexpr const wchar_t* Namespaces = L"NSS"; // below the machine: every namespace inside root
constexpr const wchar_t* Namespace = L"NS";   // one namespace; its path is the names down from root
constexpr const wchar_t* Message = L"NSM";    // "Reading ..." or why nothing could be read
} // namespace NamespaceTag

constexpr const wchar_t* NamespacesNodeText = L"Namespaces";
constexpr const wchar_t* ReadingNodeText = L"Reading ...";
constexpr const wchar_t* StoppedNodeText = L"Stopped"; // a listing stopped: expanding the node again reads it anew

class NamespaceTree
{
public:
    NamespaceTree(Core::Controls::TreeView& tree, Config::AppOptions& options);
    ~NamespaceTree();
    NamespaceTree(const NamespaceTree&) = delete;
    NamespaceTree& operator=(const NamespaceTree&) = delete;

    // Appends the machine's "Namespaces" node, folded and not read yet. The first call starts watching the tree.
    void AddTo(Core::Controls::TreeNode* machine);
    // After the machine's node went: its namespace connections are released and its reads on their way dropped.
    void Forget(const WMI::ManagementConnection* machine);
    // Right before every machine's nodes are built again: the reads on their way are no longer wanted.
    void DropReads();
    // Every namespace connection loads in the given mode from now on.
    void SetAsyncLoad(bool asynchronous);
    // Whether connection is one of the namespace connections machine keeps.
    bool IsKeptBy(const WMI::ManagementConnection* machine, const WMI::ManagementConnection* connection) const;
    // The namespace path of a node below a "Namespaces" node (root for that node itself), or empty.
    static Core::String NamespaceOf(const Core::Controls::TreeNode* node);
    // Whether the node lies below a machine's "Namespaces" node.
    static bool IsUnderNamespaces(const Core::Controls::TreeNode* node);

    // What Open hands back on the window thread: the node opened, or null and why not.
    using OpenedHandler = std::function<void(Core::Controls::TreeNode* node, const Core::String& failure)>;
    // Checks on a worker that the machine has the namespace (and the class, when className is given), then adds
    // its node under the machine's "Namespaces" node (and the namespaces leading to it) unless it is there, and
    // hands it to opened. For machines whose WMI lists nothing: a class named is opened all the same.
    void Open(Core::Controls::TreeNode* machine, const Core::String& nameSpace, const Core::String& className,
              OpenedHandler opened);
    // What ConnectTo hands back on the window thread: the namespace's connection, or null and why not.
    using ConnectedHandler = std::function<void(WMI::ManagementConnection* connection, const Core::String& failure)>;
    // The machine's connection to the namespace, kept for the machine: at once when it is open, otherwise made on a
    // worker first. connected is dropped when the machine goes or its tree is built again meanwhile.
    void ConnectTo(Core::Controls::TreeNode* machine, const Core::String& nameSpace, ConnectedHandler connected);
    // Every "Namespaces" node folded and emptied, to be read again when opened (the system classes shown or not).
    void Reset();
    // Whether a node's listing is being read.
    bool IsReading() const;
    // Stops every listing being read: its worker is let go and its node says "Stopped" instead of "Reading ...".
    void StopReads();
    // Runs when a listing starts or ends, or the listings stop (what Stop offers changed).
    void SetReadingChanged(std::function<void()> changed) { m_readingChanged = std::move(changed); }

private:
    struct Machine;
    struct Listing;

    void OnBeforeExpand(Core::Object* sender, Core::Controls::TreeViewCancelEventArgs& args);
    void StartReading(Core::Controls::TreeNode* node);
    void OnRead(Core::Controls::TreeNode* node, const WMI::ManagementConnection* machine,
                Core::Threading::Outcome<Listing>& read);
    void ShowListing(Core::Controls::TreeNode* node, Machine& owner, Listing& listing);
    Machine* FindMachine(const WMI::ManagementConnection* machine) const;
    Machine& MachineFor(const WMI::ManagementConnection* machine);
    bool IsInTree(const Core::Controls::TreeNode* node) const;
    // The machine's node of the namespace, made with the ones leading to it when missing.
    Core::Controls::TreeNode* NamespaceNode(Core::Controls::TreeNode* machine, const Core::String& nameSpace);
    // The class's node in the namespace's node, made when missing.
    Core::Controls::TreeNode* ClassNode(Core::Controls::TreeNode* parent, WMI::ManagementConnection* connection,
                                        const Core::String& nameSpace, const WMI::ClassEntry& entry);
    static Core::Controls::TreeNode* NamespacesOf(Core::Controls::TreeNode* machine);
    void RaiseReadingChanged();

    Core::Controls::TreeView& m_tree;
    Config::AppOptions& m_options;
    Core::MemberEventHandler<NamespaceTree, Core::Controls::TreeViewCancelEventArgs> m_expandHandler;
    bool m_watching = false;
    std::function<void()> m_readingChanged;
    std::vector<std::unique_ptr<Machine>> m_machines; // owned: their connections outlive the tree's class nodes
};

} // namespace Quarrow
