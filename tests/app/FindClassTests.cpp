// The Find Class window over the scripted provider's namespaces and over Wine's WMI: the search, its progress and
// Stop, the failures, and a result opened in the main tree.
#include "app/FindClassForm.h"
#include "app/MainForm.h"
#include "app/NamespaceTree.h"

#include "tests/app/ScriptedMainForm.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Quarrow::FindClassForm;

namespace
{

using namespace AppTesting;

class FindClassTest : public ScriptedMainFormTest
{
protected:
    FindClassForm& Window()
    {
        FindClassForm* window = form->GetFindClassForm();
        EXPECT_NE(nullptr, window);
        return *window;
    }
    // Opens the window as the View menu's item does and searches the text with Enter in its box.
    void Search(const wchar_t* text)
    {
        form->RunCommand(Quarrow::Command::FindClass);
        ASSERT_NE(nullptr, form->GetFindClassForm());
        ASSERT_TRUE(Window().IsVisible());
        Window().GetTextBox().SetText(String(text));
        Window().GetTextBox().Focus();
        Testing::PressKey(Window().GetTextBox(), VK_RETURN);
    }
    void SearchToTheEnd(const wchar_t* text)
    {
        Search(text);
        ASSERT_TRUE(Testing::PumpUntil([&] { return !Window().IsSearching(); }));
    }
    // Each result as namespace:class or namespace:class.property.
    std::vector<std::wstring> Results()
    {
        std::vector<std::wstring> results;
        Grid& grid = Window().GetResults();
        for (int row = 0; row < grid.GetRowCount(); row++)
        {
            std::wstring property = W(grid.GetCellText(row, 2));
            results.push_back(W(grid.GetCellText(row, 0)) + L":" + W(grid.GetCellText(row, 1)) +
                              (property.empty() ? L"" : L"." + property));
        }
        return results;
    }
    // A left click in the middle of a control, as a person presses a button.
    void Press(Control& control)
    {
        Core::Controls::Rectangle client = control.GetClientRectangle();
        Testing::Click(control, client.width / 2, client.height / 2);
    }
};

} // namespace

// Ctrl+Shift+F in the main window opens the window; it searches every namespace of the machine for class and
// property names holding the text, without regard to case, and the second search asks the machine nothing.
TEST_F(FindClassTest, FindsClassesAndPropertiesInEveryNamespace)
{
    Start();
    Tree().Focus();
    Testing::PressKey(Tree(), 'F', Keys::Control | Keys::Shift);
    ASSERT_NE(nullptr, form->GetFindClassForm());
    EXPECT_TRUE(Window().IsVisible());
    EXPECT_EQ(L"Find Class - Local Machine", W(Window().GetText()));
    SearchToTheEnd(L"processor");
    EXPECT_EQ(std::vector<std::wstring>{L"root\\wmi:MSNdis_StatusEvent.ProcessorNumber"}, Results());
    EXPECT_EQ(L"1 match for \"processor\" in 6 namespaces (6 classes)", W(Window().GetStatusText()));
    EXPECT_TRUE(Window().GetFailuresText().IsEmpty());
    EXPECT_FALSE(Window().GetStopButton().IsEnabled());
    EXPECT_TRUE(Window().GetOpenButton().IsEnabled());
    int calls = provider->calls;
    SearchToTheEnd(L"PROCESS");
    EXPECT_EQ((std::vector<std::wstring>{L"root\\cimv2:Win32_Process", L"root\\cimv2:Win32_Process.ProcessId",
                                         L"root\\wmi:MSNdis_StatusEvent.ProcessorNumber"}),
              Results());
    EXPECT_EQ(calls, provider->calls.load()) << "the machine's classes were kept";
}

// Stop ends the search at once while the worker still waits inside the machine: what the namespaces read so far
// matched stays listed, and nothing of the let-go worker comes back. The next search reads every namespace again.
TEST_F(FindClassTest, StopEndsTheSearchAtOnceAndKeepsWhatItFound)
{
    Start();
    BlockConnectsTo(L"\\wmi");
    Search(L"process");
    // Namespaces are read in name order: root\cimv2's classes come before the worker waits on root\wmi.
    ASSERT_TRUE(Testing::PumpUntil([&] { return blocked && Window().GetResults().GetRowCount() == 2; }));
    EXPECT_TRUE(Window().IsSearching());
    EXPECT_TRUE(Window().GetStopButton().IsEnabled());
    EXPECT_EQ(0u, W(Window().GetStatusText()).find(L"Searching ... ")) << W(Window().GetStatusText());
    Press(Window().GetStopButton());
    EXPECT_FALSE(Window().IsSearching());
    EXPECT_FALSE(Window().GetStopButton().IsEnabled());
    EXPECT_EQ(L"Stopped: 2 matches found so far", W(Window().GetStatusText()));
    EXPECT_EQ((std::vector<std::wstring>{L"root\\cimv2:Win32_Process", L"root\\cimv2:Win32_Process.ProcessId"}),
              Results());
    Release();
    Testing::PumpMessages();
    EXPECT_EQ(L"Stopped: 2 matches found so far", W(Window().GetStatusText()));
    EXPECT_EQ(2, Window().GetResults().GetRowCount());
    SearchToTheEnd(L"process");
    EXPECT_EQ(3, Window().GetResults().GetRowCount());
}

// Enter on a result selects its class under the machine's Namespaces node, opening the namespace as Open Class
// does, and the class loads as any class does.
TEST_F(FindClassTest, EnterOnAResultSelectsItsClassInTheTreeAndLoadsIt)
{
    Start();
    SearchToTheEnd(L"smbios");
    ASSERT_EQ(std::vector<std::wstring>{L"root\\wmi:MSSMBios_RawSMBiosTables"}, Results());
    Window().GetResults().Focus();
    Testing::PressKey(Window().GetResults(), VK_RETURN);
    ASSERT_TRUE(Testing::PumpUntil([&] { return form->GetCurrentClass() != nullptr; }));
    Settle();
    TreeNode* selected = Tree().GetSelectedNode();
    ASSERT_NE(nullptr, selected);
    EXPECT_EQ(L"MSSMBios_RawSMBiosTables", W(selected->GetText()));
    EXPECT_EQ(L"wmi", W(selected->GetParent()->GetText()));
    EXPECT_EQ(Namespaces(), selected->GetParent()->GetParent());
    EXPECT_EQ(L"Loading completed. 3 records", Status(0));
    EXPECT_EQ(L"12", W(form->GetResultsGrid().GetCellText(2, 0)));
    EXPECT_TRUE(desktop.messages.empty());
}

// A double click on a property's row opens the class that has the property.
TEST_F(FindClassTest, ADoubleClickOnAPropertyOpensItsClass)
{
    Start();
    SearchToTheEnd(L"processid");
    ASSERT_EQ(std::vector<std::wstring>{L"root\\cimv2:Win32_Process.ProcessId"}, Results());
    Grid& results = Window().GetResults();
    Core::Controls::Rectangle row = results.GetRowBounds(0);
    LPARAM point = MAKELPARAM(row.left + 10, row.top + row.height / 2);
    SendMessageW(static_cast<HWND>(results.GetHandle()), WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(static_cast<HWND>(results.GetHandle()), WM_LBUTTONUP, 0, point);
    SendMessageW(static_cast<HWND>(results.GetHandle()), WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(static_cast<HWND>(results.GetHandle()), WM_LBUTTONUP, 0, point);
    ASSERT_TRUE(Testing::PumpUntil([&] { return form->GetCurrentClass() != nullptr; }));
    Settle();
    TreeNode* selected = Tree().GetSelectedNode();
    ASSERT_NE(nullptr, selected);
    EXPECT_EQ(L"Win32_Process", W(selected->GetText()));
    EXPECT_EQ(L"cimv2", W(selected->GetParent()->GetText()));
    EXPECT_TRUE(Quarrow::NamespaceTree::IsUnderNamespaces(selected));
    EXPECT_EQ(L"Loading completed. 4 records", Status(0));
}

// A namespace the user may not open, and one that cannot be listed, are counted and named; the search goes on.
TEST_F(FindClassTest, NamespacesThatCannotBeReadAreCountedAndNamed)
{
    provider->AddNamespace(L"root\\secure").connectResult = WBEM_E_ACCESS_DENIED;
    provider->AddClass(L"root\\closed", L"Closed_Process", L"", {});
    provider->FindNamespace(L"root\\closed")->classEnumResult = WBEM_E_FAILED;
    Start();
    SearchToTheEnd(L"smbios");
    EXPECT_EQ(std::vector<std::wstring>{L"root\\wmi:MSSMBios_RawSMBiosTables"}, Results());
    std::wstring failures = W(Window().GetFailuresText());
    EXPECT_EQ(0u, failures.find(L"2 namespaces could not be read whole: ")) << failures;
    EXPECT_NE(std::wstring::npos, failures.find(L"Could not list the classes in root\\closed: ")) << failures;
    EXPECT_NE(std::wstring::npos, failures.find(L"Could not open namespace root\\secure: ")) << failures;
    EXPECT_EQ(0u, W(Window().GetStatusText()).find(L"1 match for \"smbios\" in 7 namespaces (6 classes)"))
        << W(Window().GetStatusText());
}

// The tree's find strip holds only what the tree has; its link searches the strip's text in all of WMI.
TEST_F(FindClassTest, TheTreesFindStripSearchesAllOfWmiFromItsLink)
{
    Start();
    Tree().Focus();
    form->RunCommand(Quarrow::Command::Find);
    Quarrow::ClassFind& strip = form->GetClassFind();
    ASSERT_TRUE(strip.GetBox().IsVisible());
    strip.GetBox().GetTextBox().SetText(String(L"smbios"));
    Testing::PumpMessages();
    EXPECT_TRUE(strip.GetFindClassLink().IsVisible());
    Press(strip.GetFindClassLink());
    ASSERT_NE(nullptr, form->GetFindClassForm());
    EXPECT_TRUE(Window().IsVisible());
    EXPECT_EQ(L"smbios", W(Window().GetTextBox().GetText()));
    ASSERT_TRUE(Testing::PumpUntil([&] { return !Window().IsSearching(); }));
    EXPECT_EQ(std::vector<std::wstring>{L"root\\wmi:MSSMBios_RawSMBiosTables"}, Results());
    EXPECT_TRUE(desktop.launches.empty()) << "the link opens no web page";
}

namespace
{

class WineFindClassTest : public FindClassTest
{
protected:
    WineFindClassTest() { scripted = false; }
};

} // namespace

// Wine's WMI lists no namespaces and cannot enumerate classes: the window says the machine lists no classes and
// points at Open Class instead of showing an empty list.
TEST_F(WineFindClassTest, AMachineThatListsNothingSaysSoAndSuggestsOpenClass)
{
    Start();
    SearchToTheEnd(L"process");
    EXPECT_EQ(0, Window().GetResults().GetRowCount());
    std::wstring status = W(Window().GetStatusText());
    EXPECT_EQ(0u, status.find(L"This machine lists no classes")) << status;
    EXPECT_NE(std::wstring::npos, status.find(L"Open Class...")) << status;
    EXPECT_NE(std::wstring::npos, W(Window().GetFailuresText()).find(L"Could not list the classes in root"));
    EXPECT_FALSE(Window().GetOpenButton().IsEnabled());
}

// ---------------------------------------------------------------------------------------------------------------
// Stop for the listings under the Namespaces node

namespace
{

class NamespaceListingTest : public ScriptedMainFormTest
{
protected:
    bool StopOffered() { return form->GetToolBar().GetButtons()[4]->IsEnabled(); }
    bool Lists(TreeNode* node, const wchar_t* text) { return Find(node->GetNodes(), {text}) != nullptr; }
};

} // namespace

// The toolbar's Stop is offered while a namespace's listing is read and stops it at once: the node says "Stopped",
// nothing of the let-go worker arrives later, and opening the node again reads it anew.
TEST_F(NamespaceListingTest, StopEndsAListingAndOpeningAgainReadsIt)
{
    Start();
    Tree().ExpandNode(Namespaces());
    ASSERT_TRUE(Testing::PumpUntil([&] { return !Lists(Namespaces(), Quarrow::ReadingNodeText); }));
    TreeNode* wmi = Find(Namespaces()->GetNodes(), {L"wmi"});
    ASSERT_NE(nullptr, wmi);
    EXPECT_FALSE(StopOffered());
    BlockConnectsTo(L"\\wmi");
    Tree().ExpandNode(wmi);
    ASSERT_TRUE(Testing::PumpUntil([&] { return blocked.load(); }));
    EXPECT_TRUE(Lists(wmi, Quarrow::ReadingNodeText));
    EXPECT_TRUE(StopOffered());
    form->RunCommand(Quarrow::Command::StopLoading);
    EXPECT_FALSE(StopOffered());
    ASSERT_EQ(1, wmi->GetNodes().GetCount());
    EXPECT_EQ(L"Stopped", W(wmi->GetNodes()[0]->GetText()));
    Release();
    Testing::PumpMessages();
    ASSERT_EQ(1, wmi->GetNodes().GetCount()) << "the let-go listing is dropped";
    EXPECT_EQ(L"Stopped", W(wmi->GetNodes()[0]->GetText()));
    Tree().CollapseNode(wmi);
    Tree().ExpandNode(wmi);
    ASSERT_TRUE(Testing::PumpUntil([&] { return Lists(wmi, L"MSSMBios_RawSMBiosTables"); }));
    EXPECT_FALSE(Lists(wmi, L"Stopped"));
    EXPECT_FALSE(StopOffered());
}
