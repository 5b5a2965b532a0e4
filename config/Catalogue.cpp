#include "config/Catalogue.h"

#include "core/controls/TreeNode.h"
#include "wmi/ManagementObject.h"

using Core::String;
using Core::Controls::TreeNode;

namespace Config
{

namespace
{

struct CategoryImage
{
    const wchar_t* name;
    int image;
};

// Looked up in this order; the first match wins.
const CategoryImage CategoryImages[] = {
    {L"Applications", 4},
    {L"COM", 5},
    {L"Desktop", 6},
    {L"Drivers", 7},
    {L"Job Objects", 15}, // as "Scheduler Jobs"
    {L"FileSystem", 8},
    {L"Memory", 9},
    {L"Multimedia", 10},
    {L"Networking", 11},
    {L"Operating System Settings", 12},
    {L"Processes", 13},
    {L"Registry", 14},
    {L"Scheduler Jobs", 15},
    {L"Security", 16},
    {L"Services", 17},
    {L"Shares", 18},
    {L"StartMenu", 19},
    {L"Storage", 20},
    {L"Users", 21},
    {L"NT Event Log", 22},
    {L"Windows Product Activation", 23},
    {L"Cooling Devices", 24},
    {L"Input Devices", 25},
    {L"Mass Storage", 20}, // as "Storage"
    {L"Motherboard, Controller and Port", 26},
    {L"Networking Devices", 11}, // as "Networking"
    {L"Power", 27},
    {L"Printing Devices", 28},
    {L"Telephony", 29},
    {L"Video and Monitor", 30},
};

TreeNode* NewGroupNode(const wchar_t* name)
{
    TreeNode* group = new TreeNode(String(name));
    group->SetTag(String(NodeTag::Category));
    group->SetImageIndex(NodeImage::Group);
    return group;
}

void AddCategories(TreeNode* group, const CategoryEntry* categories, int count)
{
    for (int i = 0; i < count; i++)
    {
        String name(categories[i].name);
        TreeNode* category = new TreeNode(name);
        category->SetImageIndex(CategoryImageIndex(name));
        group->GetNodes().Add(category);
        AddClassNodes(category, categories[i].classes, categories[i].count);
    }
}

} // namespace

int CategoryImageIndex(const String& name)
{
    for (const CategoryImage& entry : CategoryImages)
    {
        if (name == String(entry.name))
        {
            return entry.image;
        }
    }
    return NodeImage::Group;
}

void BuildDefaultTree(TreeNode* machineNode)
{
    TreeNode* hardware = NewGroupNode(HardwareGroupName);
    hardware->Expand();
    machineNode->GetNodes().Add(hardware);
    AddCategories(hardware, HardwareCategories, HardwareCategoryCount);

    TreeNode* system = NewGroupNode(OperatingSystemGroupName);
    machineNode->GetNodes().Add(system);
    system->Expand();
    AddCategories(system, OperatingSystemCategories, OperatingSystemCategoryCount);
}

void AddClassNodes(TreeNode* categoryNode, const wchar_t* const* classNames, int count)
{
    categoryNode->SetTag(String(NodeTag::Category));
    TreeNode* parent = categoryNode->GetParent();
    TreeNode* machine = parent != nullptr ? parent->GetParent() : nullptr;
    auto* connection = machine != nullptr ? machine->GetDataAs<WMI::ManagementConnection>() : nullptr;
    for (int i = 0; i < count; i++)
    {
        String className(classNames[i]);
        // The node owns its class object: the object lives exactly as long as the node.
        auto* node = new TreeNode(className);
        node->SetOwnedData(new WMI::ManagementObject(connection, className, 0));
        node->SetTag(String(NodeTag::Class));
        node->SetImageIndex(NodeImage::Class);
        categoryNode->GetNodes().Add(node);
    }
}

} // namespace Config
