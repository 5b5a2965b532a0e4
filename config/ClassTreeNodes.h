// Typed access to the nodes of the class trees: what a node is, and the class object, class definition or
// connection its data word holds. The tags and data words stay as the trees store them; they are read here only.
#pragma once

#include "core/String.h"

namespace Core::Controls
{
class TreeNode;
}

namespace WMI
{
class ClassDefinition;
class ManagementConnection;
class ManagementObject;
} // namespace WMI

namespace Config
{

enum class NodeKind
{
    Other, // no node, or a node without a known tag (a property added by the options tree's loader)
    Machine,
    Category,
    Class,
    Property
};

NodeKind KindOf(const Core::Controls::TreeNode* node);
// A class node's object in the main tree; null for any other node or a class node without one.
WMI::ManagementObject* ClassOf(const Core::Controls::TreeNode* node);
// A class node's definition in the options tree; null for any other node.
WMI::ClassDefinition* DefinitionOf(const Core::Controls::TreeNode* node);
// The connection of the machine a node of the main tree lies under (the node itself for a machine), or null.
WMI::ManagementConnection* MachineOf(const Core::Controls::TreeNode* node);

// Where a node of a class tree stands, by the texts of the nodes above it.
struct NodePlace
{
    Core::String machine;     // the machine node above it ("Local Machine" or a server name); empty without one
    Core::String category;    // the outermost category above it, the one right below the machine
    Core::String subcategory; // the category right above it when that is not the outermost one, else empty
};
NodePlace PlaceOf(const Core::Controls::TreeNode* node);

} // namespace Config
