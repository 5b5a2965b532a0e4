#include "app/MachineTree.h"

#include "config/Catalogue.h"
#include "config/ClassTreeNodes.h"
#include "config/ClassViewReader.h"

namespace Quarrow
{

using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::UpdatesPaused;
using WMI::ManagementConnection;

MachineTree::MachineTree(Core::Controls::TreeView& tree, Config::AppOptions& options, StatusLine& status)
    : m_connections(2), m_namespaces(tree, options), m_tree(tree), m_options(options), m_status(status)
{
}

void MachineTree::AddLocalMachine()
{
    auto* local = new ManagementConnection();
    m_connections.Add(local);
    local->SetAsyncLoad(m_options.GetAsyncLoad());
    AddNode(local, String(L"Local Machine"));
}

void MachineTree::AddMachine(std::unique_ptr<ManagementConnection> connection)
{
    // The name is the one connected to, without stray blanks.
    ManagementConnection* added = connection.get();
    m_connections.Add(added);
    connection.release();
    AddNode(added, added->GetServer());
}

void MachineTree::Remove(TreeNode* machine)
{
    auto* connection = machine->GetDataAs<ManagementConnection>();
    m_tree.GetNodes().Remove(machine);
    // Its nodes are gone: nothing uses its namespace connections any more.
    m_namespaces.Forget(connection);
    for (int i = 0; i < m_connections.GetCount(); i++)
    {
        if (m_connections[i] == connection)
        {
            m_connections.RemoveAt(i);
            break;
        }
    }
}

void MachineTree::Rebuild()
{
    UpdatesPaused paused(m_tree);
    // The nodes the reads on their way were for go now; the namespace connections stay for the new ones.
    m_namespaces.DropReads();
    Core::Controls::TreeNodeCollection& machines = m_tree.GetNodes();
    for (int i = 0; i < machines.GetCount(); i++)
    {
        TreeNode* machine = machines[i];
        machine->GetNodes().Clear();
        Fill(machine);
    }
}

std::vector<MachineSource> MachineTree::GetConnectedMachines() const
{
    std::vector<MachineSource> machines;
    Core::Controls::TreeNodeCollection& nodes = m_tree.GetNodes();
    for (int i = 0; i < nodes.GetCount(); i++)
    {
        auto* connection = nodes[i]->GetDataAs<ManagementConnection>();
        if (connection != nullptr && connection->IsConnected())
        {
            machines.push_back(MachineSource{nodes[i]->GetText(), connection});
        }
    }
    return machines;
}

void MachineTree::SetAsyncLoad(bool asynchronous)
{
    for (int i = 0; i < m_connections.GetCount(); i++)
    {
        m_connections[i]->SetAsyncLoad(asynchronous);
    }
    m_namespaces.SetAsyncLoad(asynchronous);
}

bool MachineTree::IsConnectionOf(TreeNode* machine, const ManagementConnection* connection) const
{
    const ManagementConnection* own = Config::MachineOf(machine);
    return own != nullptr && (own == connection || m_namespaces.IsKeptBy(own, connection));
}

void MachineTree::AddNode(ManagementConnection* connection, const String& text)
{
    auto* machine = new TreeNode(text, reinterpret_cast<uintptr_t>(connection));
    machine->SetTag(String(Config::NodeTag::Machine));
    machine->SetImageIndex(Config::NodeImage::Machine);
    UpdatesPaused paused(m_tree);
    m_tree.GetNodes().Add(machine);
    Fill(machine);
}

namespace
{

// One rule whatever built the tree, the catalogue or a file: opened down to the categories, so that every
// category shows and its classes wait folded. A file may nest thousands deep: the path is kept here, not on the
// call stack.
void ExpandToCategories(TreeNode* machine)
{
    std::vector<TreeNode*> open{machine};
    while (!open.empty())
    {
        TreeNode* node = open.back();
        open.pop_back();
        Core::Controls::TreeNodeCollection& children = node->GetNodes();
        bool holdsClasses = false;
        for (int i = 0; i < children.GetCount() && !holdsClasses; i++)
        {
            holdsClasses = Config::KindOf(children[i]) == Config::NodeKind::Class;
        }
        if (holdsClasses || children.GetCount() == 0)
        {
            continue;
        }
        node->Expand();
        for (int i = 0; i < children.GetCount(); i++)
        {
            open.push_back(children[i]);
        }
    }
}

} // namespace

void MachineTree::Fill(TreeNode* machine)
{
    String problem = Config::ReadClassTree(machine, m_options.GetConfigFile());
    if (!problem.IsEmpty())
    {
        m_status.ShowConfiguration(problem);
    }
    ExpandToCategories(machine);
    // After the class view's categories, folded until it is read.
    m_namespaces.AddTo(machine);
}

} // namespace Quarrow
