// The machines of the class tree: each connection kept together with its node, the local machine first. A
// machine node's data is its connection; the class nodes below it hold class objects bound to that connection.
#pragma once

#include "app/MachinesLoad.h"
#include "app/NamespaceTree.h"
#include "app/StatusLine.h"
#include "config/AppOptions.h"
#include "core/collections/PointerArrayList.h"
#include "core/controls/TreeView.h"
#include "wmi/ManagementConnection.h"

#include <memory>
#include <vector>

namespace Quarrow
{

class MachineTree
{
public:
    // A class-view file that cannot be read whole says so in status.
    MachineTree(Core::Controls::TreeView& tree, Config::AppOptions& options, StatusLine& status);

    // The connections, in the order of their nodes.
    Core::Collections::PointerArrayList<WMI::ManagementConnection>& GetConnections() { return m_connections; }
    WMI::ManagementConnection* GetLocalConnection() { return m_connections[0]; }

    // The local machine's node, its connection made but not connected, with the loading mode of the options.
    void AddLocalMachine();
    // A node for a connected machine, named as its server; the tree keeps the connection.
    void AddMachine(std::unique_ptr<WMI::ManagementConnection> connection);
    // Removes a machine's node and releases its connection.
    void Remove(Core::Controls::TreeNode* machine);
    // Empties every machine node and fills it again from the configuration.
    void Rebuild();
    // The machines connected now, in the order of their nodes, each named as its node.
    std::vector<MachineSource> GetConnectedMachines() const;
    // Every connection loads in the given mode from now on.
    void SetAsyncLoad(bool asynchronous);
    // Whether connection serves the machine node's machine: its own, or one of its namespaces'.
    bool IsConnectionOf(Core::Controls::TreeNode* machine, const WMI::ManagementConnection* connection) const;
    NamespaceTree& GetNamespaces() { return m_namespaces; }

private:
    void AddNode(WMI::ManagementConnection* connection, const Core::String& text);
    void Fill(Core::Controls::TreeNode* machine);

    // Declared first, so destroyed last: the class objects of the tree's nodes use them.
    Core::Collections::PointerArrayList<WMI::ManagementConnection> m_connections; // owned
    NamespaceTree m_namespaces; // each machine's namespace connections, used by the class nodes below it
    Core::Controls::TreeView& m_tree;
    Config::AppOptions& m_options;
    StatusLine& m_status;
};

} // namespace Quarrow
