// The options dialog as a person meets it: shown modally over a window, driven with real clicks and keys,
// its questions and file dialogs answered through the recording desktop. Results are read from the
// options, the controls' models and the configuration file it writes.
#include "app/options/OptionsForm.h"
#include "config/AppOptions.h"
#include "config/ClassViewEditor.h"
#include "core/controls/Cursor.h"
#include "core/controls/Form.h"
#include "core/controls/ImageList.h"
#include "core/io/Path.h"
#include "core/platform/windows/RegistryKey.h"
#include "core/threading/BackgroundWork.h"
#include "resources/ResourceIds.h"
#include "resources/generated/CategoryIcon.h"
#include "wmi/ClassDefinition.h"
#include "wmi/FilterCheck.h"
#include "wmi/ManagementConnection.h"
#include "wmi/ResultMessage.h"

#include "tests/app/AppTesting.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"
#include "tests/support/TempDirectory.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Config::OptionsForm;
using Core::String;
using WMI::ManagementConnection;

namespace
{

// What the main window hands the dialog: its options, the tree's images and its connections.
class TestOwner
{
public:
    explicit TestOwner(const String& keyPath) : options(keyPath)
    {
        for (int i = 0; i < Quarrow::Resources::TreeImageCount; i++)
        {
            if (i == Quarrow::Resources::CategoryImage)
            {
                images.AddFromMemory(Quarrow::Resources::CategoryIcon, sizeof(Quarrow::Resources::CategoryIcon));
            }
            else
            {
                images.AddFromResource(Quarrow::Resources::TreeImageIds[i]);
            }
        }
    }

    Config::AppOptions options;
    ImageList images;
    Core::Collections::PointerArrayList<ManagementConnection> connections;
};

const char* const ProcessesFile = "<?xml version=\"1.0\"?>\r\n"
                                  "<Categories>\r\n"
                                  "  <Category Name=\"Operating System\" selected=\"Y\">\r\n"
                                  "    <Category Name=\"Processes\" selected=\"Y\">\r\n"
                                  "      <Class Name=\"Win32_Process\" selected=\"Y\">\r\n"
                                  "        <Filter>ProcessId &gt; 4</Filter>\r\n"
                                  "      </Class>\r\n"
                                  "      <Class Name=\"Win32_Thread\" selected=\"Y\" />\r\n"
                                  "    </Category>\r\n"
                                  "  </Category>\r\n"
                                  "</Categories>\r\n";

int Count(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    {
        count++;
    }
    return count;
}

// The text without its line breaks and indentation.
std::string Compact(const std::string& text)
{
    std::string compact;
    for (char c : text)
    {
        if (c != '\r' && c != '\n' && c != '\t')
        {
            compact += c;
        }
    }
    return compact;
}

// Runs the actions inside the dialog's own modal loop, from a thread timer's callback.
std::function<void()>* pendingActions = nullptr;

void CALLBACK RunPendingActions(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (pendingActions != nullptr)
    {
        std::function<void()>* actions = pendingActions;
        pendingActions = nullptr;
        (*actions)();
    }
}

class OptionsFormTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
        owner = std::make_unique<TestOwner>(keyPath);
        configPath = directory.File(L"QuarrowConfig.xml");
        Testing::WriteFileBytes(configPath, ProcessesFile);
        owner->options.SetConfigFile(configPath);
        owner->options.SetReportDirectory(String(L"C:\\Reports"));
        owner->options.SetReportTarget(Config::ReportInExcel);
        owner->options.SetAsyncLoad(true);
        Testing::DropEndMessages();
        form.SetBounds(100, 100, 900, 700);
        form.Show();
        dialog = std::make_unique<OptionsForm>(owner->options, &owner->images, owner->connections);
        dialog->SetOwner(&form);
        dialog->SetStartPosition(StartPosition::CenterOwner);
    }
    void TearDown() override
    {
        dialog.reset();
        owner.reset();
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    // Shows the dialog modally and runs the actions in it; they end it (Enter or Esc) themselves.
    int Run(std::function<void()> actions)
    {
        std::function<void()> guarded = [&]
        {
            actions();
            if (dialog->IsModal())
            {
                ADD_FAILURE() << "the dialog is still open after the actions";
                dialog->EndDialog(DialogResult::Cancel);
            }
        };
        pendingActions = &guarded;
        SetTimer(nullptr, 0, 0, RunPendingActions);
        int result = dialog->ShowDialog(&form);
        pendingActions = nullptr;
        return result;
    }

    Config::OptionsConfigTabPage& Page() { return dialog->GetConfigPage(); }
    TreeView& Tree() { return Page().GetTree(); }
    void ShowConfigTab() { dialog->GetTabView().ShowPage(1); }
    void Press(int key, int modifiers = 0) { Testing::PressKey(*dialog, key, modifiers); }
    // Replaces a box's text as the user does: click, select all, type.
    void TypeInto(TextBox& box, const wchar_t* text)
    {
        Testing::Click(box, 4, 4);
        Press('A', Keys::Control);
        Press(VK_DELETE);
        Testing::TypeText(Testing::FocusedWindow(), text);
    }
    // The node at the end of a path of texts from the tree's top level.
    TreeNode* Node(std::initializer_list<const wchar_t*> path)
    {
        TreeNodeCollection* nodes = &Tree().GetNodes();
        TreeNode* found = nullptr;
        for (const wchar_t* text : path)
        {
            found = nullptr;
            for (int i = 0; i < nodes->GetCount() && found == nullptr; i++)
            {
                found = (*nodes)[i]->GetText() == String(text) ? (*nodes)[i] : nullptr;
            }
            if (found == nullptr)
            {
                ADD_FAILURE() << "no node " << std::string(text, text + wcslen(text));
                return nullptr;
            }
            nodes = &found->GetNodes();
        }
        return found;
    }
    void ClickPart(TreeNode* node, TreeViewHitArea part)
    {
        ASSERT_NE(nullptr, node);
        // Collapsed ancestors are opened with their glyphs, from the top.
        std::vector<TreeNode*> ancestors;
        for (TreeNode* parent = node->GetParent(); parent != nullptr; parent = parent->GetParent())
        {
            ancestors.insert(ancestors.begin(), parent);
        }
        for (TreeNode* ancestor : ancestors)
        {
            if (!ancestor->IsExpanded())
            {
                ClickPart(ancestor, TreeViewHitArea::Glyph);
            }
        }
        Tree().EnsureVisible(node);
        Core::Controls::Rectangle bounds = Tree().GetPartBounds(node, part);
        ASSERT_GT(bounds.width, 0);
        Testing::Click(Tree(), bounds.left + bounds.width / 2, bounds.top + bounds.height / 2);
        // A class's properties, read when it is first opened, come back through the dialog's loop.
        WaitForWork();
    }
    void WaitForWork()
    {
        ASSERT_TRUE(Testing::PumpUntil([&] { return !Page().IsWorking(); }));
    }
    WMI::ClassDefinition* Definition(TreeNode* node) { return node->GetDataAs<WMI::ClassDefinition>(); }
    void* DialogWindow() { return dialog->GetHandle(); }

    // Win32_Process with three properties, answered by the scripted provider on the first connection.
    void ConnectScripted(ScriptedWmi::Provider& provider)
    {
        provider.AddClass(L"Win32_Process",
                          {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}, {L"ThreadCount", CIM_UINT32}});
        auto* connection = new ManagementConnection();
        owner->connections.Add(connection);
        connection->Connect(String(), String(), String(), String());
    }

    String keyPath{L"Software\\QuarrowTests\\OptionsForm"};
    Testing::TempDirectory directory;
    String configPath;
    Testing::RecordingDesktop desktop;
    std::unique_ptr<TestOwner> owner;
    Form form;
    std::unique_ptr<OptionsForm> dialog;
};

} // namespace

TEST_F(OptionsFormTest, ShowsTheStoredOptionsAndOkWithoutChangesSetsNoFlagNorTouchesTheFile)
{
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    GetFileAttributesExW(configPath.GetBuffer(), GetFileExInfoStandard, &before);
    int result = Run(
        [&]
        {
            EXPECT_EQ(String(L"C:\\Reports"), dialog->GetDirectoryBox().GetText());
            ASSERT_EQ(4, dialog->GetTargetList().GetItems().GetCount());
            EXPECT_EQ(String(L"Opened in Excel spreadsheet"), dialog->GetTargetList().GetSelectedItem()->GetText());
            EXPECT_TRUE(dialog->GetAsyncCheckBox().GetChecked());
            EXPECT_EQ(configPath, Page().GetFileBox().GetText());
            TreeNode* process = Node({L"Operating System", L"Processes", L"Win32_Process"});
            EXPECT_EQ(String(L"ProcessId > 4"), Definition(process)->GetFilter());
            EXPECT_FALSE(Page().GetFilterBox().GetEnabled());
            EXPECT_FALSE(Page().GetValidateButton().GetEnabled());
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_EQ(0, dialog->GetChangeFlags());
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(ProcessesFile, Testing::ReadFileBytes(configPath));
    WIN32_FILE_ATTRIBUTE_DATA after = {};
    GetFileAttributesExW(configPath.GetBuffer(), GetFileExInfoStandard, &after);
    EXPECT_EQ(0, CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime));
    EXPECT_EQ(configPath, owner->options.GetConfigFile());
    EXPECT_EQ(String(L"C:\\Reports"), owner->options.GetReportDirectory());
    EXPECT_EQ(Config::ReportInExcel, owner->options.GetReportTarget());
    EXPECT_TRUE(owner->options.GetAsyncLoad());
}

TEST_F(OptionsFormTest, TheReportOptionsSetTheirFlagsAndTheNextShowingStartsClean)
{
    desktop.folderAnswers.push_back(L"D:\\Exports");
    int result = Run(
        [&]
        {
            Testing::Click(dialog->GetDirectoryBrowseButton(), 5, 5);
            Testing::Click(dialog->GetTargetList(), 5, 5);
            Press(VK_ESCAPE); // closes the open list, not the dialog
            Press(VK_DOWN);
            Testing::Click(dialog->GetAsyncCheckBox(), 5, 5);
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    ASSERT_EQ(1u, desktop.folderDialogs.size());
    EXPECT_EQ(DialogWindow(), desktop.folderDialogs[0].owner);
    EXPECT_EQ(String(L"C:\\Reports"), desktop.folderDialogs[0].initialPath);
    EXPECT_EQ(Config::ReportDirectoryChanged | Config::ReportTargetChanged | Config::AsyncLoadChanged,
              dialog->GetChangeFlags());
    EXPECT_EQ(String(L"D:\\Exports"), owner->options.GetReportDirectory());
    EXPECT_EQ(Config::ReportAsTabText, owner->options.GetReportTarget());
    EXPECT_FALSE(owner->options.GetAsyncLoad());

    // The dialog is kept; shown again, nothing is changed until the user changes it.
    EXPECT_EQ(DialogResult::OK, Run([&] { Press(VK_RETURN); }));
    EXPECT_EQ(0, dialog->GetChangeFlags());
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(OptionsFormTest, AStoredTargetThatNoEntryHasShowsNoSelectionAndOkStoresZero)
{
    owner->options.SetReportTarget(7);
    int result = Run(
        [&]
        {
            EXPECT_EQ(-1, dialog->GetTargetList().GetSelectedIndex());
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_EQ(Config::ReportTargetChanged, dialog->GetChangeFlags());
    EXPECT_EQ(0, owner->options.GetReportTarget());
}

// Cancel drops every edit: the options and the file stay, and the next showing shows what is stored.
TEST_F(OptionsFormTest, CancelAfterEditsChangesNothing)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    int result = Run(
        [&]
        {
            TypeInto(dialog->GetDirectoryBox(), L"E:\\Elsewhere");
            Testing::Click(dialog->GetAsyncCheckBox(), 5, 5);
            ShowConfigTab();
            ClickPart(Node({L"Operating System", L"Processes", L"Win32_Thread"}), TreeViewHitArea::CheckBox);
            ClickPart(Node({L"Operating System", L"Processes", L"Win32_Process"}), TreeViewHitArea::Text);
            TypeInto(Page().GetFilterBox(), L"Name = 'x'");
            EXPECT_NE(0, dialog->GetChangeFlags());
            Press(VK_ESCAPE);
        });
    EXPECT_EQ(DialogResult::Cancel, result);
    EXPECT_EQ(0, dialog->GetChangeFlags());
    EXPECT_EQ(ProcessesFile, Testing::ReadFileBytes(configPath));
    EXPECT_EQ(String(L"C:\\Reports"), owner->options.GetReportDirectory());
    EXPECT_TRUE(owner->options.GetAsyncLoad());
    EXPECT_TRUE(desktop.messages.empty());

    result = Run(
        [&]
        {
            EXPECT_EQ(String(L"C:\\Reports"), dialog->GetDirectoryBox().GetText());
            EXPECT_TRUE(dialog->GetAsyncCheckBox().GetChecked());
            EXPECT_EQ(TreeNode::Checked, Node({L"Operating System", L"Processes", L"Win32_Thread"})->GetCheckState());
            EXPECT_EQ(String(L"ProcessId > 4"),
                      Definition(Node({L"Operating System", L"Processes", L"Win32_Process"}))->GetFilter());
            EXPECT_EQ(0, dialog->GetChangeFlags());
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_EQ(0, dialog->GetChangeFlags());
    EXPECT_EQ(ProcessesFile, Testing::ReadFileBytes(configPath));
}

// The name typed is acted on when the box loses the focus, but not when the focus goes to Cancel or the
// dialog closes.
TEST_F(OptionsFormTest, ClickingCancelAfterTypingANameAsksNothing)
{
    String other = directory.File(L"Other.xml");
    Testing::WriteFileBytes(other, "<Categories />");
    int result = Run(
        [&]
        {
            ShowConfigTab();
            TypeInto(Page().GetFileBox(), other.GetBuffer());
            Testing::Click(*dialog->GetCancelButton(), 5, 5);
            EXPECT_EQ(1, Tree().GetNodes().GetCount()) << "no catalogue for a dropped name";
            EXPECT_EQ(0, dialog->GetChangeFlags());
        });
    EXPECT_EQ(DialogResult::Cancel, result);
    // Esc with the focus still in the box: hiding the dialog takes the focus, which is no reason to ask.
    result = Run(
        [&]
        {
            ShowConfigTab();
            TypeInto(Page().GetFileBox(), other.GetBuffer());
            Press(VK_ESCAPE);
        });
    EXPECT_EQ(DialogResult::Cancel, result);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(configPath, owner->options.GetConfigFile());
}

TEST_F(OptionsFormTest, ANewFileNameGetsTheWholeCatalogueAndOkWritesIt)
{
    String newPath = directory.File(L"New.xml");
    int result = Run(
        [&]
        {
            ShowConfigTab();
            TypeInto(Page().GetFileBox(), newPath.GetBuffer());
            Press(VK_TAB);
            ASSERT_EQ(2, Tree().GetNodes().GetCount());
            EXPECT_EQ(9, Node({L"Computer Hardware"})->GetNodes().GetCount());
            EXPECT_EQ(21, Node({L"Operating System"})->GetNodes().GetCount());
            EXPECT_EQ(TreeNode::Checked, Node({L"Operating System", L"Processes", L"Win32_Process"})->GetCheckState());
            EXPECT_EQ(nullptr, Page().GetRememberedNode());
            // The focus is on the browse button now, where Enter would press it.
            Testing::Click(*dialog->GetAcceptButton(), 5, 5);
        });
    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(Config::ConfigFileChanged | Config::ClassViewChanged, dialog->GetChangeFlags());
    EXPECT_EQ(newPath, owner->options.GetConfigFile());
    std::string written = Testing::ReadFileBytes(newPath);
    // 2 groups and 30 categories, 331 classes, every one selected, no properties.
    EXPECT_EQ(32, Count(written, "<Category Name="));
    EXPECT_EQ(331, Count(written, "<Class Name="));
    EXPECT_EQ(363, Count(written, "selected=\"Y\""));
    EXPECT_EQ(0, Count(written, "selected=\"N\""));
    EXPECT_EQ(0, Count(written, "<Property"));
    EXPECT_EQ(ProcessesFile, Testing::ReadFileBytes(configPath));
}

TEST_F(OptionsFormTest, TheBrowseButtonOffersXmlFilesAndAppliesTheChosenName)
{
    String chosen = directory.File(L"Chosen.xml");
    desktop.fileAnswers.push_back({Core::Platform::Windows::Desktop::DialogChosen, chosen.GetBuffer(), 0});
    Run(
        [&]
        {
            ShowConfigTab();
            Testing::Click(Page().GetBrowseButton(), 5, 5);
            EXPECT_EQ(chosen, Page().GetFileBox().GetText());
            EXPECT_EQ(2, Tree().GetNodes().GetCount()) << "a file that does not exist gets the catalogue";
            TypeInto(Page().GetFileBox(), L"");
            Press(VK_TAB);
            Testing::Click(Page().GetBrowseButton(), 5, 5);
            Press(VK_ESCAPE);
        });
    ASSERT_EQ(2u, desktop.fileDialogs.size());
    const Core::Platform::Windows::FileDialogRequest& first = desktop.fileDialogs[0];
    EXPECT_FALSE(first.save);
    EXPECT_EQ(DialogWindow(), first.owner);
    const wchar_t nativeFilter[] = L"XML Files (*.xml*)\0*.xml\0All Files (*.*)\0*.*\0";
    EXPECT_EQ(std::wstring(nativeFilter, sizeof(nativeFilter) / sizeof(wchar_t)),
              std::wstring(first.filter.GetBuffer(), static_cast<size_t>(first.filter.GetLength())));
    EXPECT_EQ(configPath, first.fileName);
    // With the box empty, the dialog starts in the current directory.
    EXPECT_EQ(String(), desktop.fileDialogs[1].fileName);
    EXPECT_EQ(Core::IO::Directory::GetCurrent(), desktop.fileDialogs[1].initialDirectory);
    EXPECT_EQ(configPath, owner->options.GetConfigFile());
}

// A blank name is refused when the box loses the focus and again on OK, which keeps the dialog open.
TEST_F(OptionsFormTest, ABlankFileNameIsRefused)
{
    const std::wstring blankMessage =
        L"Leaving configuration file name blank you wouldn't be able to configure Quarrow Class View, please enter "
        L"existing file name or name of the new file to be created";
    Run(
        [&]
        {
            ShowConfigTab();
            TypeInto(Page().GetFileBox(), L"  ");
            Press(VK_TAB);
            ASSERT_EQ(1u, desktop.messages.size());
            EXPECT_EQ(blankMessage, desktop.messages[0].text);
            EXPECT_EQ(L"Configuration error", desktop.messages[0].caption);
            EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONWARNING), desktop.messages[0].style);
            EXPECT_EQ(DialogWindow(), desktop.messages[0].owner);
            EXPECT_NE(nullptr, Node({L"Operating System", L"Processes"})) << "the tree stays";
            dialog->GetTabView().ShowPage(0);
            Press(VK_RETURN);
            EXPECT_TRUE(dialog->IsModal());
            ASSERT_EQ(2u, desktop.messages.size());
            EXPECT_EQ(blankMessage, desktop.messages[1].text);
            EXPECT_EQ(1, dialog->GetTabView().GetSelectedIndex());
            Press(VK_ESCAPE);
        });
    EXPECT_EQ(configPath, owner->options.GetConfigFile());
}

TEST_F(OptionsFormTest, AnExistingFileIsLoadedOnYesAndOverwrittenWithTheTreeOnNo)
{
    String other = directory.File(L"Other.xml");
    Testing::WriteFileBytes(other, "<Categories><Category Name=\"Services\" selected=\"Y\">"
                                   "<Class Name=\"Win32_Service\" selected=\"Y\" /></Category></Categories>");
    desktop.answers = {IDYES};
    Run(
        [&]
        {
            ShowConfigTab();
            TypeInto(Page().GetFileBox(), other.GetBuffer());
            Press(VK_TAB);
            ASSERT_EQ(1u, desktop.messages.size());
            EXPECT_EQ(L"Load tree from file? If you want to recreate file from existing tree structure, press 'No'.",
                      desktop.messages[0].text);
            EXPECT_EQ(L"Options", desktop.messages[0].caption);
            EXPECT_EQ(static_cast<unsigned int>(MB_YESNO | MB_ICONQUESTION), desktop.messages[0].style);
            ASSERT_EQ(1, Tree().GetNodes().GetCount());
            EXPECT_NE(nullptr, Node({L"Services", L"Win32_Service"}));
            Press(VK_ESCAPE);
        });

    desktop.messages.clear();
    desktop.answers = {IDNO};
    int result = Run(
        [&]
        {
            ShowConfigTab();
            // Enter right after typing: the name is acted on before the dialog closes.
            TypeInto(Page().GetFileBox(), other.GetBuffer());
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(Config::ConfigFileChanged, dialog->GetChangeFlags());
    EXPECT_EQ(other, owner->options.GetConfigFile());
    std::string written = Testing::ReadFileBytes(other);
    EXPECT_EQ(1, Count(written, "<Class Name=\"Win32_Process\" selected=\"Y\">"));
    EXPECT_EQ(1, Count(written, "<Filter>ProcessId &gt; 4</Filter>"));
    EXPECT_EQ(0, Count(written, "Win32_Service"));
}

// The partial tree of a file broken half way may be kept and saved, but the original is never lost: it stays
// beside the file, byte for byte, and the user is told where.
TEST_F(OptionsFormTest, OkAfterKeepingAPartlyReadFileKeepsTheOriginalBesideIt)
{
    String broken = directory.File(L"Broken.xml");
    const std::string original = "<Categories><Category Name=\"Kept\" selected=\"Y\"></Oops>"
                                 "<Category Name=\"After the error\" selected=\"Y\"/></Categories>";
    Testing::WriteFileBytes(broken, original);
    desktop.answers = {IDYES, IDOK, IDOK};
    int result = Run(
        [&]
        {
            ShowConfigTab();
            // Enter right after typing: the name is loaded (Yes), then the dialog closes with OK.
            TypeInto(Page().GetFileBox(), broken.GetBuffer());
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    ASSERT_EQ(3u, desktop.messages.size());
    EXPECT_EQ(std::wstring(Config::InvalidCheckTreeMessage) + L"\r\n\r\nTag mismatch at 1, 50",
              desktop.messages[1].text);
    EXPECT_EQ(std::wstring(Config::PartlyReadKeptMessage) + L"\r\n\r\n" + (broken + L".bak").GetBuffer(),
              desktop.messages[2].text);
    EXPECT_EQ(original, Testing::ReadFileBytes(broken + L".bak"));
    EXPECT_EQ(1, Count(Testing::ReadFileBytes(broken), "<Category Name=\"Kept\""));
}

// A file that cannot be written keeps the dialog open with the edits; Cancel then leaves everything stored.
TEST_F(OptionsFormTest, ASaveThatFailsKeepsTheDialogOpenAndTheOptions)
{
    String unreachable = directory.File(L"missing\\sub\\Config.xml");
    Run(
        [&]
        {
            TypeInto(dialog->GetDirectoryBox(), L"E:\\Elsewhere");
            ShowConfigTab();
            TypeInto(Page().GetFileBox(), unreachable.GetBuffer());
            Press(VK_RETURN);
            EXPECT_TRUE(dialog->IsModal());
            ASSERT_EQ(1u, desktop.messages.size());
            EXPECT_EQ(L"Error occured while trying to create configuration file", desktop.messages[0].text);
            EXPECT_EQ(L"Error", desktop.messages[0].caption);
            EXPECT_EQ(Config::ClassViewChanged, dialog->GetChangeFlags()) << "the catalogue came with the new name";
            Press(VK_ESCAPE);
        });
    EXPECT_EQ(configPath, owner->options.GetConfigFile());
    EXPECT_EQ(String(L"C:\\Reports"), owner->options.GetReportDirectory());
}

TEST_F(OptionsFormTest, UncheckingOnePropertyMakesItsAncestorsPartlyCheckedAndSavesTheRest)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    int result = Run(
        [&]
        {
            ShowConfigTab();
            TreeNode* process = Node({L"Operating System", L"Processes", L"Win32_Process"});
            ClickPart(process, TreeViewHitArea::Glyph);
            ASSERT_EQ(3, process->GetNodes().GetCount());
            for (int i = 0; i < 3; i++)
            {
                EXPECT_EQ(TreeNode::Checked, process->GetNodes()[i]->GetCheckState());
                EXPECT_EQ(3, process->GetNodes()[i]->GetImageIndex());
                EXPECT_EQ(String(), process->GetNodes()[i]->GetTag());
            }
            EXPECT_EQ(0, dialog->GetChangeFlags()) << "loading properties changes nothing";
            ClickPart(Node({L"Operating System", L"Processes", L"Win32_Process", L"ProcessId"}),
                      TreeViewHitArea::CheckBox);
            EXPECT_EQ(TreeNode::Unchecked, process->GetNodes()[1]->GetCheckState());
            EXPECT_EQ(TreeNode::PartlyChecked, process->GetCheckState());
            EXPECT_EQ(TreeNode::PartlyChecked, Node({L"Operating System", L"Processes"})->GetCheckState());
            EXPECT_EQ(TreeNode::PartlyChecked, Node({L"Operating System"})->GetCheckState());
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_EQ(Config::ClassViewChanged, dialog->GetChangeFlags());
    ASSERT_EQ(1u, provider.getObjectPaths.size());
    EXPECT_EQ(L"Win32_Process", provider.getObjectPaths[0]);
    std::string written = Compact(Testing::ReadFileBytes(configPath));
    EXPECT_NE(std::string::npos, written.find("<Class Name=\"Win32_Process\" selected=\"Y\">"
                                              "<Property>Name</Property><Property>ThreadCount</Property>"
                                              "<Filter>ProcessId &gt; 4</Filter></Class>"))
        << written;
    EXPECT_EQ(2, Count(written, "<Category Name=\"Operating System\" selected=\"Y\">") +
                     Count(written, "<Category Name=\"Processes\" selected=\"Y\">"));
}

TEST_F(OptionsFormTest, CheckingACategoryChecksEverythingBelowAndUncheckingClearsIt)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    Run(
        [&]
        {
            ShowConfigTab();
            TreeNode* processes = Node({L"Operating System", L"Processes"});
            TreeNode* process = Node({L"Operating System", L"Processes", L"Win32_Process"});
            ClickPart(process, TreeViewHitArea::Glyph);
            ClickPart(processes, TreeViewHitArea::CheckBox);
            EXPECT_EQ(TreeNode::Unchecked, processes->GetCheckState());
            for (TreeNode* node : {process, process->GetNodes()[0], process->GetNodes()[2],
                                   Node({L"Operating System", L"Processes", L"Win32_Thread"})})
            {
                EXPECT_EQ(TreeNode::Unchecked, node->GetCheckState()) << "below the category";
            }
            EXPECT_EQ(TreeNode::Unchecked, Node({L"Operating System"})->GetCheckState());
            ClickPart(processes, TreeViewHitArea::CheckBox);
            for (TreeNode* node :
                 {processes, process, process->GetNodes()[0], process->GetNodes()[2], Node({L"Operating System"})})
            {
                EXPECT_EQ(TreeNode::Checked, node->GetCheckState());
            }
            EXPECT_EQ(Config::ClassViewChanged, dialog->GetChangeFlags());
            Press(VK_ESCAPE);
        });
}

TEST_F(OptionsFormTest, AFilterTypedForAClassIsStoredWhenAnotherNodeIsSelected)
{
    Run(
        [&]
        {
            ShowConfigTab();
            TreeNode* process = Node({L"Operating System", L"Processes", L"Win32_Process"});
            TreeNode* thread = Node({L"Operating System", L"Processes", L"Win32_Thread"});
            ClickPart(process, TreeViewHitArea::Text);
            EXPECT_EQ(process, Page().GetRememberedNode());
            EXPECT_TRUE(Page().GetFilterBox().GetEnabled());
            EXPECT_TRUE(Page().GetValidateButton().GetEnabled());
            EXPECT_EQ(String(L"ProcessId > 4"), Page().GetFilterBox().GetText());
            TypeInto(Page().GetFilterBox(), L"Name = 'x'");
            EXPECT_EQ(String(L"ProcessId > 4"), Definition(process)->GetFilter()) << "not stored while typing";
            ClickPart(thread, TreeViewHitArea::Text);
            EXPECT_EQ(String(L"Name = 'x'"), Definition(process)->GetFilter());
            EXPECT_EQ(Config::ClassViewChanged, dialog->GetChangeFlags());
            EXPECT_EQ(String(), Page().GetFilterBox().GetText());
            EXPECT_TRUE(Page().GetFilterBox().GetEnabled());

            ClickPart(Node({L"Operating System", L"Processes"}), TreeViewHitArea::Text);
            EXPECT_EQ(String(), Page().GetFilterBox().GetText());
            EXPECT_FALSE(Page().GetFilterBox().GetEnabled());
            EXPECT_FALSE(Page().GetValidateButton().GetEnabled());

            // Typed and confirmed with Enter at once: the filter is not lost.
            ClickPart(thread, TreeViewHitArea::Text);
            TypeInto(Page().GetFilterBox(), L"Priority > 8");
            Press(VK_RETURN);
        });
    std::string written = Testing::ReadFileBytes(configPath);
    EXPECT_EQ(1, Count(written, "<Filter>Name = 'x'</Filter>"));
    EXPECT_EQ(1, Count(written, "<Filter>Priority &gt; 8</Filter>"));
}

TEST_F(OptionsFormTest, PropertiesOfAClassTheMachineLacksShowTheWmiMessage)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    Testing::WriteFileBytes(configPath, "<Categories><Category Name=\"Mine\" selected=\"Y\">"
                                        "<Class Name=\"Win32_NoSuchClass\" selected=\"Y\" /></Category></Categories>");
    Run(
        [&]
        {
            ShowConfigTab();
            TreeNode* missing = Node({L"Mine", L"Win32_NoSuchClass"});
            ClickPart(missing, TreeViewHitArea::Glyph);
            EXPECT_EQ(0, missing->GetNodes().GetCount());
            Press(VK_ESCAPE);
        });
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"WMI on target machine does not support classWin32_NoSuchClass", desktop.messages[0].text);
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONERROR), desktop.messages[0].style);
}

// Expanding a class whose provider takes long for its definition: the properties are read on a worker while the
// dialog keeps painting and taking input, with the wait cursor shown; then they appear under the class.
TEST_F(OptionsFormTest, ExpandingASlowClassReadsItsPropertiesWhileTheDialogAnswers)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    provider.FindClass(L"Win32_Process")->getObjectDelayMilliseconds = 600;
    bool answered = false;
    bool enabled = false;
    int cursor = 0;
    DWORD mainThread = GetCurrentThreadId();
    DWORD readOn = mainThread;
    provider.onGetObject = [&]
    {
        readOn = GetCurrentThreadId();
        DWORD_PTR reply = 0;
        answered =
            SendMessageTimeoutW(static_cast<HWND>(DialogWindow()), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &reply) != 0;
        enabled = IsWindowEnabled(static_cast<HWND>(DialogWindow())) != FALSE;
        cursor = Core::Controls::Cursor::GetCurrentId();
    };
    TreeNode* process = nullptr;
    Run(
        [&]
        {
            ShowConfigTab();
            process = Node({L"Operating System", L"Processes", L"Win32_Process"});
            ClickPart(process, TreeViewHitArea::Glyph);
            EXPECT_EQ(3, process->GetNodes().GetCount());
            EXPECT_TRUE(IsWindowEnabled(static_cast<HWND>(DialogWindow())));
            Press(VK_ESCAPE);
        });
    EXPECT_NE(mainThread, readOn);
    EXPECT_TRUE(answered) << "the dialog did not answer while the definition was read";
    EXPECT_TRUE(enabled) << "the dialog takes input while it waits";
    EXPECT_EQ(Core::Controls::Cursor::Wait, cursor) << "and shows that it waits";
    EXPECT_EQ(Core::Controls::Cursor::Arrow, Core::Controls::Cursor::GetCurrentId());
    EXPECT_TRUE(desktop.messages.empty());
}

// Esc, Cancel or the close box during a slow property read close the dialog at once: the read is let go and
// nothing of it comes back to a tree that is gone; the next showing reads the class again.
TEST_F(OptionsFormTest, TheDialogClosesAtOnceDuringASlowPropertyRead)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    HANDLE open = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    provider.onGetObject = [&]
    {
        SetEvent(inside);
        WaitForSingleObject(open, INFINITE); // a provider that takes as long as it likes
    };
    for (int close = 0; close < 3; close++)
    {
        ResetEvent(open);
        ResetEvent(inside);
        int result = Run(
            [&]
            {
                ShowConfigTab();
                TreeNode* process = Node({L"Operating System", L"Processes", L"Win32_Process"});
                ClickPart(Node({L"Operating System", L"Processes"}), TreeViewHitArea::Glyph);
                Tree().EnsureVisible(process);
                Core::Controls::Rectangle glyph = Tree().GetPartBounds(process, TreeViewHitArea::Glyph);
                Testing::Click(Tree(), glyph.left + glyph.width / 2, glyph.top + glyph.height / 2);
                WaitForSingleObject(inside, INFINITE);
                EXPECT_TRUE(Page().IsWorking());
                if (close == 0)
                {
                    Press(VK_ESCAPE);
                }
                else if (close == 1)
                {
                    Testing::Click(*dialog->GetCancelButton(), 5, 5);
                }
                else
                {
                    dialog->Close();
                }
                EXPECT_FALSE(dialog->IsModal()) << "closing waited for the machine";
            });
        EXPECT_EQ(DialogResult::Cancel, result);
        EXPECT_FALSE(Page().IsWorking());
        EXPECT_EQ(Core::Controls::Cursor::Arrow, Core::Controls::Cursor::GetCurrentId());
        SetEvent(open);
        ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(Core::Threading::InfiniteTimeout));
        Testing::PumpMessages(); // a completion that came would arrive now
        EXPECT_EQ(0, Node({L"Operating System", L"Processes", L"Win32_Process"})->GetNodes().GetCount());
    }
    provider.onGetObject = nullptr;
    CloseHandle(open);
    CloseHandle(inside);
    EXPECT_TRUE(desktop.messages.empty());
}

// The check runs on a worker thread while the dialog keeps answering; it runs the query the class view would
// (a partly checked class asks for its checked properties) and reads one batch.
TEST_F(OptionsFormTest, ValidatingAFilterRunsTheQueryOnAWorkerAndStoresNothing)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    ScriptedWmi::AddInstances(*provider.FindClass(L"Win32_Process"), 120,
                              [](int index, int) { return ScriptedWmi::Value::Int(index); });
    DWORD mainThread = GetCurrentThreadId();
    bool onWorker = false;
    bool answered = false;
    bool enabled = true;
    provider.nextDelayMilliseconds = 200;
    provider.onNext = [&](int)
    {
        onWorker = GetCurrentThreadId() != mainThread;
        DWORD_PTR reply = 0;
        answered =
            SendMessageTimeoutW(static_cast<HWND>(DialogWindow()), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &reply) != 0;
        enabled = Page().GetValidateButton().GetEnabled();
    };
    Run(
        [&]
        {
            ShowConfigTab();
            TreeNode* process = Node({L"Operating System", L"Processes", L"Win32_Process"});
            ClickPart(process, TreeViewHitArea::Glyph);
            ClickPart(process->GetNodes()[1], TreeViewHitArea::CheckBox);
            ClickPart(process, TreeViewHitArea::Text);
            TypeInto(Page().GetFilterBox(), L"Handle > 0");
            Testing::Click(Page().GetValidateButton(), 5, 5);
            WaitForWork();
            EXPECT_EQ(String(L"ProcessId > 4"), Definition(process)->GetFilter());
            EXPECT_EQ(String(L"Handle > 0"), Page().GetFilterBox().GetText());
            Press(VK_ESCAPE);
        });
    EXPECT_TRUE(onWorker);
    EXPECT_TRUE(answered) << "the dialog answered while the machine was busy";
    EXPECT_FALSE(enabled) << "the Validate button waits, greyed, for the answer";
    ASSERT_EQ(1u, provider.queries.size());
    EXPECT_EQ(L"Select Name, ThreadCount from Win32_Process where Handle > 0", provider.queries[0].text);
    EXPECT_EQ(1u, provider.nextCalls.size()) << "one batch at most";
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"The filter is valid. The query returned 50 or more instances.", desktop.messages[0].text);
    EXPECT_EQ(L"Validate Filter", desktop.messages[0].caption);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONINFORMATION), desktop.messages[0].style);
}

// A provider still collecting when the wait for the first batch ends (files, event logs): the machine took the
// query, so the filter is valid, and the dialog is not held for minutes.
TEST_F(OptionsFormTest, AFilterCheckThatOutlastsItsWaitCallsTheFilterValid)
{
    ScriptedWmi::Provider provider;
    ConnectScripted(provider);
    provider.neverReady = true;
    WMI::FilterCheckResult result =
        WMI::FilterCheck::Run(*owner->connections[0], String(L"select * from Win32_Process"), 50);
    EXPECT_TRUE(result.valid);
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(0, result.instances);
    EXPECT_EQ(L"The filter is valid. The query returned 0 instances in the first 50 milliseconds; the machine was "
              L"still collecting more.",
              std::wstring(WMI::FilterCheck::Describe(result).GetBuffer()));
    result.waitedMilliseconds = WMI::FilterCheck::FirstBatchTimeoutMilliseconds;
    result.instances = 1;
    EXPECT_EQ(L"The filter is valid. The query returned 1 instance in the first 10 seconds; the machine was still "
              L"collecting more.",
              std::wstring(WMI::FilterCheck::Describe(result).GetBuffer()));
}

// Against the machine's own WMI (Wine's in the test environment).
TEST_F(OptionsFormTest, ValidateFilterAsksTheMachine)
{
    auto* local = new ManagementConnection();
    owner->connections.Add(local);
    local->Connect(String(), String(), String(), String());
    Run(
        [&]
        {
            ShowConfigTab();
            ClickPart(Node({L"Operating System", L"Processes", L"Win32_Process"}), TreeViewHitArea::Text);
            TypeInto(Page().GetFilterBox(), L"ProcessId > 0");
            Testing::Click(Page().GetValidateButton(), 5, 5);
            WaitForWork();
            TypeInto(Page().GetFilterBox(), L"ProcessId >>> 0");
            Testing::Click(Page().GetValidateButton(), 5, 5);
            WaitForWork();
            Press(VK_ESCAPE);
        });
    ASSERT_EQ(2u, desktop.messages.size());
    EXPECT_EQ(0u, desktop.messages[0].text.find(L"The filter is valid. The query returned "))
        << std::string(desktop.messages[0].text.begin(), desktop.messages[0].text.end());
    EXPECT_EQ(WMI::GetResultMessage(static_cast<long>(WBEM_E_INVALID_QUERY)).GetBuffer(), desktop.messages[1].text);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONWARNING), desktop.messages[1].style);
    EXPECT_EQ(0, dialog->GetChangeFlags());
}

// Every label of both pages has an access key that nothing else in the dialog answers to (no other label, button
// or check box), and Alt with it puts the keyboard in the field the label names: the directory box, the report
// list, the configuration file's box and, once a class is selected, its filter box.
TEST_F(OptionsFormTest, EachLabelsAccessKeyIsItsOwnAndPutsTheKeyboardInItsField)
{
    Run(
        [&]
        {
            std::vector<Label*> labels = AppTesting::FindControls<Label>(*dialog);
            // The namespace beside the filter label names no field.
            labels.erase(std::remove(labels.begin(), labels.end(), &Page().GetNamespaceLabel()), labels.end());
            ASSERT_EQ(4u, labels.size());
            std::set<wchar_t> keys;
            int keyed = 0;
            for (Control* control : AppTesting::FindControls<Control>(*dialog))
            {
                if (control->GetMnemonic() != 0)
                {
                    keys.insert(control->GetMnemonic());
                    keyed++;
                }
            }
            EXPECT_EQ(static_cast<size_t>(keyed), keys.size()) << "two controls share an access key";
            for (Label* label : labels)
            {
                EXPECT_NE(0, label->GetMnemonic()) << AppTesting::W(label->GetText());
            }
            Control* fields[] = {&dialog->GetDirectoryBox(), &dialog->GetTargetList(), &Page().GetFileBox(),
                                 &Page().GetFilterBox()};
            Press(labels[1]->GetMnemonic(), Keys::Alt);
            EXPECT_TRUE(fields[1]->IsFocused());
            Press(labels[0]->GetMnemonic(), Keys::Alt);
            EXPECT_TRUE(fields[0]->IsFocused());
            ShowConfigTab();
            ClickPart(Node({L"Operating System", L"Processes", L"Win32_Process"}), TreeViewHitArea::Text);
            Press(labels[2]->GetMnemonic(), Keys::Alt);
            EXPECT_TRUE(fields[2]->IsFocused());
            Press(labels[3]->GetMnemonic(), Keys::Alt);
            EXPECT_TRUE(fields[3]->IsFocused());
            Press(VK_ESCAPE);
        });
}

// --- classes of other namespaces ---

namespace
{

const char* const NamespacedFile =
    "<?xml version=\"1.0\"?>\r\n"
    "<Categories>\r\n"
    "  <Category Name=\"Network\" selected=\"Y\">\r\n"
    "    <Class Name=\"MSNdis_80211_BSSIList\" selected=\"Y\" Namespace=\"root\\wmi\" />\r\n"
    "    <Class Name=\"Win32_NetworkAdapter\" selected=\"Y\" />\r\n"
    "  </Category>\r\n"
    "</Categories>\r\n";

} // namespace

// The node says the class's name, as every class node does; the label beside the filter's says where it lives.
// Edited and saved, the class keeps its namespace; the class of the default namespace still names none.
TEST_F(OptionsFormTest, AClassOfAnotherNamespaceShowsItBesideTheFilterAndKeepsItThroughOk)
{
    Testing::WriteFileBytes(configPath, NamespacedFile);
    int result = Run(
        [&]
        {
            ShowConfigTab();
            EXPECT_EQ(String(), Page().GetNamespaceLabel().GetText());
            TreeNode* bssi = Node({L"Network", L"MSNdis_80211_BSSIList"});
            TreeNode* adapter = Node({L"Network", L"Win32_NetworkAdapter"});
            ClickPart(bssi, TreeViewHitArea::Text);
            Label& shown = Page().GetNamespaceLabel();
            EXPECT_EQ(String(L"Namespace: root\\wmi"), shown.GetText());
            // Whole, on the filter label's row after its text, and ending where the tree ends.
            EXPECT_TRUE(shown.GetVisible());
            Label* filterLabel = nullptr;
            for (Label* label : AppTesting::FindControls<Label>(Page()))
            {
                filterLabel =
                    label->GetText() == String(L"Enter filter &text for selected class:") ? label : filterLabel;
            }
            ASSERT_NE(nullptr, filterLabel);
            Core::Controls::Rectangle at = shown.GetDeviceBounds();
            Core::Controls::Rectangle filterAt = filterLabel->GetDeviceBounds();
            EXPECT_EQ(filterAt.top, at.top);
            EXPECT_GE(at.left, filterAt.left + filterLabel->GetPreferredSize().width);
            EXPECT_GE(at.width, shown.GetPreferredSize().width);
            Core::Controls::Rectangle button = Page().GetValidateButton().GetDeviceBounds();
            EXPECT_EQ(button.left + button.width, at.left + at.width);
            TypeInto(Page().GetFilterBox(), L"Active = TRUE");
            ClickPart(adapter, TreeViewHitArea::Text);
            EXPECT_EQ(String(), Page().GetNamespaceLabel().GetText());
            ClickPart(Node({L"Network"}), TreeViewHitArea::Text);
            EXPECT_EQ(String(), Page().GetNamespaceLabel().GetText());
            ClickPart(bssi, TreeViewHitArea::Text);
            EXPECT_EQ(String(L"Namespace: root\\wmi"), Page().GetNamespaceLabel().GetText());
            Press(VK_RETURN);
        });
    EXPECT_EQ(DialogResult::OK, result);
    EXPECT_EQ(Config::ClassViewChanged, dialog->GetChangeFlags());
    std::string written = Compact(Testing::ReadFileBytes(configPath));
    EXPECT_NE(std::string::npos, written.find("<Class Name=\"MSNdis_80211_BSSIList\" selected=\"Y\" "
                                              "Namespace=\"root\\wmi\"><Filter>Active = TRUE</Filter></Class>"
                                              "<Class Name=\"Win32_NetworkAdapter\" selected=\"Y\" />"))
        << written;
    EXPECT_EQ(1, Count(written, "Namespace="));
    // Shown again, the dialog reads the file it wrote.
    Run(
        [&]
        {
            ShowConfigTab();
            TreeNode* bssi = Node({L"Network", L"MSNdis_80211_BSSIList"});
            ASSERT_NE(nullptr, bssi);
            EXPECT_STREQ(L"root\\wmi", Definition(bssi)->GetNamespace().GetBuffer());
            Press(VK_ESCAPE);
        });
}

// The dialog reads properties and tries filters on its first connection, to the default namespace: a class of the
// same name there is another class, so nothing is asked of it for a class of another namespace.
TEST_F(OptionsFormTest, AClassOfAnotherNamespaceAsksTheDefaultNamespaceNeitherPropertiesNorFilter)
{
    ScriptedWmi::Provider provider;
    provider.AddClass(L"MSNdis_80211_BSSIList", {{L"Name", CIM_STRING}});
    ConnectScripted(provider);
    Testing::WriteFileBytes(configPath, NamespacedFile);
    Run(
        [&]
        {
            ShowConfigTab();
            TreeNode* bssi = Node({L"Network", L"MSNdis_80211_BSSIList"});
            ClickPart(bssi, TreeViewHitArea::Glyph);
            EXPECT_EQ(0, bssi->GetNodes().GetCount());
            ClickPart(bssi, TreeViewHitArea::Text);
            TypeInto(Page().GetFilterBox(), L"Active = TRUE");
            Testing::Click(Page().GetValidateButton(), 5, 5);
            WaitForWork();
            Press(VK_ESCAPE);
        });
    EXPECT_TRUE(provider.getObjectPaths.empty());
    EXPECT_TRUE(provider.queries.empty());
    ASSERT_EQ(2u, desktop.messages.size());
    EXPECT_EQ(L"MSNdis_80211_BSSIList is in the namespace root\\wmi. Its properties cannot be listed here: the dialog "
              L"reads root\\cimv2 only.",
              desktop.messages[0].text);
    EXPECT_EQ(L"MSNdis_80211_BSSIList is in the namespace root\\wmi. Its filter cannot be tried here: the dialog "
              L"reads root\\cimv2 only.",
              desktop.messages[1].text);
    for (const auto& message : desktop.messages)
    {
        EXPECT_EQ(L"Error", message.caption);
        EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONERROR), message.style);
    }
}
