// The built-in catalogue of WMI classes in 30 categories, the images of category nodes, and the
// building of class trees from the catalogue.
#pragma once

#include "core/String.h"

namespace Core::Controls
{
class TreeNode;
}

namespace Config
{

struct CategoryEntry
{
    const wchar_t* name;
    const wchar_t* const* classes;
    int count;
};

extern const CategoryEntry HardwareCategories[];
extern const int HardwareCategoryCount;
extern const CategoryEntry OperatingSystemCategories[];
extern const int OperatingSystemCategoryCount;

// Tags and images of the class tree's nodes.
namespace NodeTag
{
constexpr const wchar_t* Machine = L"M";
constexpr const wchar_t* Category = L"CT";
constexpr const wchar_t* Class = L"CL";
constexpr const wchar_t* Property = L"PR";
} // namespace NodeTag

namespace NodeImage
{
constexpr int Machine = 0;
constexpr int Group = 1;
constexpr int Class = 2;
constexpr int Property = 3;
} // namespace NodeImage

constexpr const wchar_t* HardwareGroupName = L"Computer Hardware";
constexpr const wchar_t* OperatingSystemGroupName = L"Operating System";

// The image of a category node: exact, case-sensitive match on the catalogue's names (three of them
// aliases of others); any other name gets the group image 1.
int CategoryImageIndex(const Core::String& name);

// Fills a machine node of the class tree (its data: the ManagementConnection) with the two groups of
// the catalogue, each class node owning a ManagementObject bound to that connection.
void BuildDefaultTree(Core::Controls::TreeNode* machineNode);
// Appends count class nodes to a category whose grandparent's data is the connection.
void AddClassNodes(Core::Controls::TreeNode* categoryNode, const wchar_t* const* classNames, int count);

} // namespace Config
