#include "config/ClassTreeNodes.h"

#include "config/Catalogue.h"
#include "core/controls/TreeNode.h"
#include "wmi/ManagementObject.h"

#include <utility>

namespace Config
{

NodeKind KindOf(const Core::Controls::TreeNode* node)
{
    if (node == nullptr)
    {
        return NodeKind::Other;
    }
    const Core::String& tag = node->GetTag();
    const std::pair<const wchar_t*, NodeKind> kinds[] = {{NodeTag::Machine, NodeKind::Machine},
                                                         {NodeTag::Category, NodeKind::Category},
                                                         {NodeTag::Class, NodeKind::Class},
                                                         {NodeTag::Property, NodeKind::Property}};
    for (const auto& [text, kind] : kinds)
    {
        if (tag == Core::String(text))
        {
            return kind;
        }
    }
    return NodeKind::Other;
}

WMI::ManagementObject* ClassOf(const Core::Controls::TreeNode* node)
{
    return KindOf(node) == NodeKind::Class ? node->GetDataAs<WMI::ManagementObject>() : nullptr;
}

WMI::ClassDefinition* DefinitionOf(const Core::Controls::TreeNode* node)
{
    return KindOf(node) == NodeKind::Class ? node->GetDataAs<WMI::ClassDefinition>() : nullptr;
}

WMI::ManagementConnection* MachineOf(const Core::Controls::TreeNode* node)
{
    while (node != nullptr && KindOf(node) != NodeKind::Machine)
    {
        node = node->GetParent();
    }
    return node != nullptr ? node->GetDataAs<WMI::ManagementConnection>() : nullptr;
}

NodePlace PlaceOf(const Core::Controls::TreeNode* node)
{
    NodePlace place;
    const Core::Controls::TreeNode* innermost = nullptr;
    const Core::Controls::TreeNode* outermost = nullptr;
    for (const Core::Controls::TreeNode* above = node != nullptr ? node->GetParent() : nullptr; above != nullptr;
         above = above->GetParent())
    {
        NodeKind kind = KindOf(above);
        if (kind == NodeKind::Machine)
        {
            place.machine = above->GetText();
            break;
        }
        if (kind == NodeKind::Category)
        {
            innermost = innermost != nullptr ? innermost : above;
            outermost = above;
        }
    }
    if (outermost != nullptr)
    {
        place.category = outermost->GetText();
    }
    if (innermost != outermost)
    {
        place.subcategory = innermost->GetText();
    }
    return place;
}

} // namespace Config
