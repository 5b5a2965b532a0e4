// Where a node of a class tree stands: its machine and its categories, read from the nodes above it, however the
// class view nests its categories.
#include "config/ClassTreeNodes.h"

#include "core/controls/TreeNode.h"

#include <gtest/gtest.h>
#include <string>

using Config::NodePlace;
using Config::PlaceOf;
using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;

namespace
{

TreeNode* Add(TreeNodeCollection& nodes, const wchar_t* text, const wchar_t* tag)
{
    auto* node = new TreeNode(String(text));
    node->SetTag(String(tag));
    nodes.Add(node);
    return node;
}

std::wstring W(const String& text)
{
    return std::wstring(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

class ClassTreeNodesTest : public testing::Test
{
protected:
    // machine "fileserver07": Operating System > Processes > Win32_Process, and a class-view file's nesting:
    // Servers at a glance > Win32_OperatingSystem, Servers at a glance > Services > Automatic > Win32_Service.
    void SetUp() override
    {
        machine = Add(roots, L"fileserver07", L"M");
        TreeNode* system = Add(machine->GetNodes(), L"Operating System", L"CT");
        process = Add(Add(system->GetNodes(), L"Processes", L"CT")->GetNodes(), L"Win32_Process", L"CL");
        TreeNode* glance = Add(machine->GetNodes(), L"Servers at a glance", L"CT");
        operatingSystem = Add(glance->GetNodes(), L"Win32_OperatingSystem", L"CL");
        TreeNode* services = Add(glance->GetNodes(), L"Services", L"CT");
        service = Add(Add(services->GetNodes(), L"Automatic", L"CT")->GetNodes(), L"Win32_Service", L"CL");
    }

    TreeNodeCollection roots;
    TreeNode* machine = nullptr;
    TreeNode* process = nullptr;
    TreeNode* operatingSystem = nullptr;
    TreeNode* service = nullptr;
};

} // namespace

TEST_F(ClassTreeNodesTest, AClassTwoCategoriesDownHasTheGroupAsCategoryAndItsOwnAsSubcategory)
{
    NodePlace place = PlaceOf(process);
    EXPECT_EQ(L"fileserver07", W(place.machine));
    EXPECT_EQ(L"Operating System", W(place.category));
    EXPECT_EQ(L"Processes", W(place.subcategory));
}

TEST_F(ClassTreeNodesTest, AClassRightBelowTheOutermostCategoryHasNoSubcategory)
{
    NodePlace place = PlaceOf(operatingSystem);
    EXPECT_EQ(L"fileserver07", W(place.machine));
    EXPECT_EQ(L"Servers at a glance", W(place.category));
    EXPECT_EQ(L"", W(place.subcategory));
}

// The categories between the outermost and the class's own are left out.
TEST_F(ClassTreeNodesTest, ADeeperClassHasTheOutermostCategoryAndItsOwn)
{
    NodePlace place = PlaceOf(service);
    EXPECT_EQ(L"fileserver07", W(place.machine));
    EXPECT_EQ(L"Servers at a glance", W(place.category));
    EXPECT_EQ(L"Automatic", W(place.subcategory));
}

// The options dialog's tree has no machine nodes; a machine node itself has no machine above it.
TEST_F(ClassTreeNodesTest, WithoutAMachineAboveOnlyTheCategoriesAreNamed)
{
    TreeNodeCollection options;
    TreeNode* group = Add(options, L"Operating System", L"CT");
    TreeNode* thread = Add(Add(group->GetNodes(), L"Processes", L"CT")->GetNodes(), L"Win32_Thread", L"CL");
    NodePlace place = PlaceOf(thread);
    EXPECT_EQ(L"", W(place.machine));
    EXPECT_EQ(L"Operating System", W(place.category));
    EXPECT_EQ(L"Processes", W(place.subcategory));

    NodePlace ofMachine = PlaceOf(machine);
    EXPECT_EQ(L"", W(ofMachine.machine));
    EXPECT_EQ(L"", W(ofMachine.category));
    EXPECT_EQ(L"", W(ofMachine.subcategory));
    NodePlace ofNothing = PlaceOf(nullptr);
    EXPECT_EQ(L"", W(ofNothing.category));
}
