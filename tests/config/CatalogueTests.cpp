#include "config/Catalogue.h"

#include "core/controls/TreeNode.h"
#include "tests/support/AllocationCounter.h"
#include "wmi/ManagementObject.h"

#include <gtest/gtest.h>

using Config::CategoryImageIndex;
using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;

namespace
{

class CatalogueTree : public testing::Test
{
protected:
    void SetUp() override
    {
        machine = new TreeNode(String(L"Local Machine"), reinterpret_cast<uintptr_t>(&connection));
        machine->SetTag(String(L"M"));
        roots.Add(machine);
        Config::BuildDefaultTree(machine);
    }

    int CountClasses(TreeNode* node)
    {
        int classes = 0;
        for (int i = 0; i < node->GetNodes().GetCount(); i++)
        {
            TreeNode* child = node->GetNodes()[i];
            classes += child->GetTag() == String(L"CL") ? 1 : CountClasses(child);
        }
        return classes;
    }

    TreeNode* Category(TreeNode* group, const wchar_t* name)
    {
        for (int i = 0; i < group->GetNodes().GetCount(); i++)
        {
            if (group->GetNodes()[i]->GetText() == String(name))
            {
                return group->GetNodes()[i];
            }
        }
        return nullptr;
    }

    WMI::ManagementConnection connection;
    TreeNodeCollection roots;
    TreeNode* machine = nullptr;
};

} // namespace

TEST_F(CatalogueTree, TwoExpandedGroupsWithNineAndTwentyOneCategories)
{
    ASSERT_EQ(2, machine->GetNodes().GetCount());
    TreeNode* hardware = machine->GetNodes()[0];
    TreeNode* system = machine->GetNodes()[1];
    EXPECT_STREQ(L"Computer Hardware", hardware->GetText().GetBuffer());
    EXPECT_STREQ(L"Operating System", system->GetText().GetBuffer());
    for (TreeNode* group : {hardware, system})
    {
        EXPECT_TRUE(group->IsExpanded());
        EXPECT_STREQ(L"CT", group->GetTag().GetBuffer());
        EXPECT_EQ(1, group->GetImageIndex());
    }
    EXPECT_EQ(9, hardware->GetNodes().GetCount());
    EXPECT_EQ(21, system->GetNodes().GetCount());
    EXPECT_EQ(90, CountClasses(hardware));
    EXPECT_EQ(241, CountClasses(system));
    EXPECT_EQ(331, CountClasses(machine));
}

TEST_F(CatalogueTree, CategoriesAndClassesCarryTheirTagsAndImagesInTableOrder)
{
    TreeNode* hardware = machine->GetNodes()[0];
    TreeNode* cooling = hardware->GetNodes()[0];
    EXPECT_STREQ(L"Cooling Devices", cooling->GetText().GetBuffer());
    EXPECT_STREQ(L"CT", cooling->GetTag().GetBuffer());
    EXPECT_EQ(24, cooling->GetImageIndex());
    EXPECT_STREQ(L"Video and Monitor", hardware->GetNodes()[8]->GetText().GetBuffer());
    TreeNode* fan = cooling->GetNodes()[0];
    EXPECT_STREQ(L"Win32_Fan", fan->GetText().GetBuffer());
    EXPECT_STREQ(L"CL", fan->GetTag().GetBuffer());
    EXPECT_EQ(2, fan->GetImageIndex());
    TreeNode* last = machine->GetNodes()[1]->GetNodes()[20];
    EXPECT_STREQ(L"Windows Product Activation", last->GetText().GetBuffer());
    EXPECT_STREQ(L"Win32_WindowsProductActivation", last->GetLastNode()->GetText().GetBuffer());
}

TEST_F(CatalogueTree, SchedulerJobsKeepsItsOwnOrder)
{
    TreeNode* jobs = Category(machine->GetNodes()[1], L"Scheduler Jobs");
    ASSERT_NE(nullptr, jobs);
    const wchar_t* expected[] = {L"Win32_CurrentTime", L"Win32_ScheduledJob", L"Win32_LocalTime", L"Win32_UTCTime"};
    ASSERT_EQ(4, jobs->GetNodes().GetCount());
    for (int i = 0; i < 4; i++)
    {
        EXPECT_STREQ(expected[i], jobs->GetNodes()[i]->GetText().GetBuffer());
    }
}

TEST_F(CatalogueTree, EveryClassNodeHasItsOwnObjectOnTheMachinesConnection)
{
    TreeNode* system = machine->GetNodes()[1];
    TreeNode* fileSystem = Category(system, L"FileSystem");
    TreeNode* storage = Category(system, L"Storage");
    TreeNode* first = nullptr;
    TreeNode* second = nullptr;
    for (int i = 0; i < fileSystem->GetNodes().GetCount(); i++)
    {
        first = fileSystem->GetNodes()[i]->GetText() == String(L"Win32_Volume") ? fileSystem->GetNodes()[i] : first;
    }
    for (int i = 0; i < storage->GetNodes().GetCount(); i++)
    {
        second = storage->GetNodes()[i]->GetText() == String(L"Win32_Volume") ? storage->GetNodes()[i] : second;
    }
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    auto* firstObject = first->GetDataAs<WMI::ManagementObject>();
    auto* secondObject = second->GetDataAs<WMI::ManagementObject>();
    EXPECT_NE(firstObject, secondObject);
    EXPECT_EQ(&connection, firstObject->GetConnection());
    EXPECT_EQ(&connection, secondObject->GetConnection());
    EXPECT_STREQ(L"Win32_Volume", secondObject->GetName().GetBuffer());
    EXPECT_EQ(0, secondObject->GetKind());
    EXPECT_EQ(0, secondObject->GetProperties().GetCount());
}

TEST_F(CatalogueTree, ATreeOfThreeHundredClassObjectsIsFreedCompletely)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         TreeNodeCollection other;
                         auto* node = new TreeNode(String(L"Remote"), reinterpret_cast<uintptr_t>(&connection));
                         other.Add(node);
                         Config::BuildDefaultTree(node);
                     }));
}

TEST(CategoryImageIndex, AliasesCaseAndUnknownNames)
{
    EXPECT_EQ(20, CategoryImageIndex(String(L"Mass Storage")));
    EXPECT_EQ(20, CategoryImageIndex(String(L"Storage")));
    EXPECT_EQ(15, CategoryImageIndex(String(L"Job Objects")));
    EXPECT_EQ(15, CategoryImageIndex(String(L"Scheduler Jobs")));
    EXPECT_EQ(11, CategoryImageIndex(String(L"Networking Devices")));
    EXPECT_EQ(4, CategoryImageIndex(String(L"Applications")));
    EXPECT_EQ(30, CategoryImageIndex(String(L"Video and Monitor")));
    EXPECT_EQ(1, CategoryImageIndex(String(L"mass storage")));
    EXPECT_EQ(1, CategoryImageIndex(String(L"Storage ")));
    EXPECT_EQ(1, CategoryImageIndex(String()));
    EXPECT_EQ(1, CategoryImageIndex(String(L"My own category")));
}

TEST(CatalogueTables, CountsMatchTheNames)
{
    int total = 0;
    for (int i = 0; i < Config::HardwareCategoryCount; i++)
    {
        total += Config::HardwareCategories[i].count;
    }
    EXPECT_EQ(90, total);
    for (int i = 0; i < Config::OperatingSystemCategoryCount; i++)
    {
        total += Config::OperatingSystemCategories[i].count;
        // Every category's image is its own, not the fallback.
        EXPECT_NE(1, CategoryImageIndex(String(Config::OperatingSystemCategories[i].name)));
    }
    EXPECT_EQ(331, total);
}

TEST(AddClassNodes, NothingForACountOfZeroOrLess)
{
    TreeNode category(String(L"Empty"));
    const wchar_t* names[] = {L"Win32_Fan"};
    Config::AddClassNodes(&category, names, 0);
    Config::AddClassNodes(&category, names, -3);
    EXPECT_EQ(0, category.GetNodes().GetCount());
    EXPECT_STREQ(L"CT", category.GetTag().GetBuffer());
}
