#include "config/AppOptions.h"
#include "config/CategoryPath.h"
#include "config/ClassViewEditor.h"
#include "config/ClassViewReader.h"
#include "config/RegistryKey.h"

#include "core/controls/TreeNode.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TempDirectory.h"
#include "wmi/ManagementObject.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <malloc.h>
#include <string>
#include <thread>
#include <windows.h>

using Config::ClassViewEditor;
using Core::String;
using Core::Controls::TreeNode;
using Core::Controls::TreeNodeCollection;

namespace
{

class RecordingStatus : public Config::StatusDisplay
{
public:
    void ShowStatus(int panel, const String& text) override
    {
        panels.push_back(panel);
        texts.push_back(text.GetBuffer());
    }
    std::vector<int> panels;
    std::vector<std::wstring> texts;
};

std::string Narrow(const String& text)
{
    std::string narrow;
    for (int i = 0; i < text.GetLength(); i++)
    {
        narrow += static_cast<char>(text[i]);
    }
    return narrow;
}

// One line per node: indentation by level, tag, text, check state, and a class's properties and filter.
void Dump(const TreeNodeCollection& nodes, int level, std::string& out)
{
    for (int i = 0; i < nodes.GetCount(); i++)
    {
        TreeNode* node = nodes[i];
        out += std::string(static_cast<size_t>(level) * 2, ' ') + Narrow(node->GetTag()) + " " +
               Narrow(node->GetText()) + " [" + std::to_string(node->GetCheckState()) + "]";
        if (node->GetTag() == String(L"CL") && node->GetData() != 0)
        {
            auto* definition = node->GetDataAs<WMI::ClassDefinition>();
            for (int p = 0; p < definition->GetProperties().GetCount(); p++)
            {
                out += " +" + Narrow(definition->GetProperties()[p].GetName());
            }
            if (!definition->GetFilter().IsEmpty())
            {
                out += " where " + Narrow(definition->GetFilter());
            }
        }
        out += "\n";
        Dump(node->GetNodes(), level + 1, out);
    }
}

std::string Dump(const TreeNodeCollection& nodes)
{
    std::string out;
    Dump(nodes, 0, out);
    return out;
}

const char* const HandWritten = "<?xml version=\"1.0\"?>\r\n"
                                "<Categories>\r\n"
                                "  <Category Name=\"Processes\" selected=\"Y\">\r\n"
                                "    <Class Name=\"Win32_Process\" selected=\"Y\">\r\n"
                                "      <Property>Name</Property>\r\n"
                                "      <Property>ProcessId</Property>\r\n"
                                "      <Filter>ProcessId &gt; 4</Filter>\r\n"
                                "    </Class>\r\n"
                                "    <Class Name=\"Win32_Thread\" selected=\"N\" />\r\n"
                                "  </Category>\r\n"
                                "  <Category Name=\"Hidden\" selected=\"N\">\r\n"
                                "    <Class Name=\"Win32_Service\" selected=\"Y\" />\r\n"
                                "  </Category>\r\n"
                                "  <Category Name=\"Lower\" selected=\"y\" />\r\n"
                                "</Categories>\r\n";

class ClassViewTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Config::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
        options = std::make_unique<Config::AppOptions>(keyPath);
        machine = new TreeNode(String(L"Local Machine"), reinterpret_cast<uintptr_t>(&connection));
        machine->SetTag(String(L"M"));
        mainTree.Add(machine);
    }
    void TearDown() override
    {
        options.reset();
        Config::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
    }

    String WriteConfig(const char* name, const std::string& content)
    {
        std::wstring wide(name, name + std::strlen(name));
        String path = directory.File(wide.c_str());
        Testing::WriteFileBytes(path, content);
        return path;
    }

    WMI::ManagementObject* ClassObject(TreeNode* node) { return node->GetDataAs<WMI::ManagementObject>(); }

    Testing::TempDirectory directory;
    Testing::RecordingDesktop desktop;
    RecordingStatus status;
    String keyPath{L"Software\\QuarrowTests\\ClassView"};
    std::unique_ptr<Config::AppOptions> options;
    WMI::ManagementConnection connection;
    TreeNodeCollection mainTree;
    TreeNode* machine = nullptr;
    TreeNodeCollection checkTree;
};

} // namespace

// --- reading for the main tree ---

TEST_F(ClassViewTest, WithoutAFileTheCatalogueIsUsed)
{
    Config::ReadClassTree(machine, String(), status);
    EXPECT_EQ(2, machine->GetNodes().GetCount());
    TreeNode* other = new TreeNode(String(L"Other"), reinterpret_cast<uintptr_t>(&connection));
    mainTree.Add(other);
    Config::ReadClassTree(other, directory.File(L"missing.xml"), status);
    EXPECT_EQ(2, other->GetNodes().GetCount());
    EXPECT_TRUE(status.texts.empty());
}

TEST_F(ClassViewTest, TheMainTreeShowsOnlySelectedCategoriesAndClasses)
{
    Config::ReadClassTree(machine, WriteConfig("config.xml", HandWritten), status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT Processes [0]\n"
              "    CL Win32_Process [0] +Name +ProcessId where ProcessId > 4\n",
              Dump(mainTree));
    TreeNode* process = machine->GetNodes()[0]->GetNodes()[0];
    EXPECT_EQ(13, machine->GetNodes()[0]->GetImageIndex());
    EXPECT_EQ(2, process->GetImageIndex());
    WMI::ManagementObject* object = ClassObject(process);
    EXPECT_EQ(&connection, object->GetConnection());
    ASSERT_EQ(2, object->GetProperties().GetCount());
    EXPECT_EQ(8, object->GetProperties()[0].GetCimType());
    EXPECT_EQ(8, object->GetProperties()[1].GetCimType());
    EXPECT_TRUE(status.texts.empty());
}

TEST_F(ClassViewTest, NestingFollowsTheDepthOfTheElements)
{
    const char* nested = "<Categories>"
                         "<Category Name=\"A\" selected=\"Y\">"
                         "<Category Name=\"B\" selected=\"Y\">"
                         "<Category Name=\"C\" selected=\"Y\"><Class Name=\"X\" selected=\"Y\"/></Category>"
                         "<Class Name=\"Y\" selected=\"Y\"/>"
                         "</Category>"
                         "<Class Name=\"Z\" selected=\"Y\"/>"
                         "</Category>"
                         "<Category Name=\"D\" selected=\"Y\"/>"
                         "</Categories>";
    Config::ReadClassTree(machine, WriteConfig("nested.xml", nested), status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT A [0]\n"
              "    CT B [0]\n"
              "      CT C [0]\n"
              "        CL X [0]\n"
              "      CL Y [0]\n"
              "    CL Z [0]\n"
              "  CT D [0]\n",
              Dump(mainTree));
}

TEST_F(ClassViewTest, ElementsWithoutWhiteSpaceBetweenThemAreAllRead)
{
    const char* compact = "<Categories><Category Name=\"P\" selected=\"N\"><Class Name=\"Hidden\" selected=\"Y\"/>"
                          "</Category><Category Name=\"Q\" selected=\"Y\"><Class Name=\"W\" selected=\"Y\">"
                          "<Property>A</Property><Property>B</Property><Filter>A=1</Filter></Class>"
                          "<Class Name=\"V\" selected=\"Y\"/></Category></Categories>";
    Config::ReadClassTree(machine, WriteConfig("compact.xml", compact), status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT Q [0]\n"
              "    CL W [0] +A +B where A=1\n"
              "    CL V [0]\n",
              Dump(mainTree));
}

TEST_F(ClassViewTest, AnEmptyOrNonXmlFileLeavesTheMachineEmptyAndSaysSo)
{
    for (const char* content : {"", "this is not xml", "<Categories><Category Name=\"A\" selected=\"Y\">"})
    {
        machine->GetNodes().Clear();
        status.texts.clear();
        Config::ReadClassTree(machine, WriteConfig("bad.xml", content), status);
        ASSERT_EQ(1u, status.texts.size()) << content;
        EXPECT_EQ(1, status.panels[0]);
        EXPECT_EQ(L"Configuration xml file is empty or has invalid structure", status.texts[0]);
    }
    // A truncated file keeps what was built before the fault.
    EXPECT_EQ(1, machine->GetNodes().GetCount());
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ClassViewTest, ElementsWithUnexpectedContentStopTheReading)
{
    const char* odd = "<Categories><Category Name=\"A\" selected=\"Y\"><Class Name=\"X\" selected=\"Y\">"
                      "<Property>Name<b/></Property></Class></Category>"
                      "<Category Name=\"Later\" selected=\"Y\"/></Categories>";
    Config::ReadClassTree(machine, WriteConfig("odd.xml", odd), status);
    EXPECT_EQ(1u, status.texts.size());
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT A [0]\n"
              "    CL X [0]\n",
              Dump(mainTree));
}

TEST_F(ClassViewTest, OrphanClassesAndPropertiesAreHandledQuietly)
{
    const char* orphans = "<Categories><Property>Lost</Property><Class Name=\"Top\" selected=\"Y\"/>"
                          "<Category Name=\"C\" selected=\"Y\"/></Categories>";
    Config::ReadClassTree(machine, WriteConfig("orphans.xml", orphans), status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CL Top [0]\n"
              "  CT C [0]\n",
              Dump(mainTree));
    EXPECT_TRUE(status.texts.empty());
}

// --- loading the check tree ---

TEST_F(ClassViewTest, TheCheckTreeKeepsUnselectedNodesUncheckedWithTheirContent)
{
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("config.xml", HandWritten));
    EXPECT_EQ("CT Processes [1]\n"
              "  CL Win32_Process [2] +Name +ProcessId where ProcessId > 4\n"
              "    PR Name [1]\n"
              "    PR ProcessId [1]\n"
              "  CL Win32_Thread [0]\n"
              "CT Hidden [0]\n"
              "  CL Win32_Service [1]\n"
              "CT Lower [0]\n",
              Dump(checkTree));
    EXPECT_TRUE(checkTree[0]->IsExpanded());
    EXPECT_EQ(3, checkTree[0]->GetNodes()[0]->GetNodes()[0]->GetImageIndex());
    EXPECT_TRUE(checkTree[0]->GetNodes()[0]->OwnsData());
    EXPECT_EQ(0, editor.GetChangeFlags());
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ClassViewTest, TheCheckTreeNestsLikeTheFile)
{
    const char* nested = "<Categories><Category Name=\"A\" selected=\"Y\"><Category Name=\"B\" selected=\"Y\">"
                         "<Class Name=\"X\" selected=\"Y\"/></Category><Class Name=\"Y\" selected=\"Y\"/></Category>"
                         "<Class Name=\"Top\" selected=\"N\"/></Categories>";
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("nested.xml", nested));
    EXPECT_EQ("CT A [1]\n"
              "  CT B [1]\n"
              "    CL X [1]\n"
              "  CL Y [1]\n"
              "CL Top [0]\n",
              Dump(checkTree));
}

TEST_F(ClassViewTest, AFileThatCannotBeReadKeepsThePartialCheckTreeAndSaysSo)
{
    ClassViewEditor editor(checkTree, *options);
    editor.SetOwnerWindow(reinterpret_cast<void*>(0x1234));
    editor.LoadCheckTree(WriteConfig("bad.xml", "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>"));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Configuration xml file is empty or has invalid structure. If you didn't setup config setting, "
              L"please do so. Cannot build the tree.",
              desktop.messages[0].text);
    EXPECT_EQ(L"Configuration file error", desktop.messages[0].caption);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONWARNING), desktop.messages[0].style);
    EXPECT_EQ(reinterpret_cast<void*>(0x1234), desktop.messages[0].owner);
    EXPECT_EQ("CT A [1]\n", Dump(checkTree));
}

TEST_F(ClassViewTest, WithoutAFileTheCheckTreeIsTheCatalogueAllChecked)
{
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(String());
    ASSERT_EQ(2, checkTree.GetCount());
    EXPECT_EQ(1, checkTree[0]->GetCheckState());
    EXPECT_TRUE(checkTree[0]->IsExpanded());
    EXPECT_TRUE(checkTree[1]->IsExpanded());
    TreeNode* firstClass = checkTree[0]->GetNodes()[0]->GetNodes()[0];
    EXPECT_EQ(1, firstClass->GetCheckState());
    EXPECT_STREQ(L"CL", firstClass->GetTag().GetBuffer());
    EXPECT_STREQ(L"Win32_Fan", firstClass->GetDataAs<WMI::ClassDefinition>()->GetName().GetBuffer());
    EXPECT_EQ(Config::ClassViewChanged, editor.GetChangeFlags());
}

// --- saving ---

TEST_F(ClassViewTest, NothingChangedWritesNothing)
{
    String path = WriteConfig("config.xml", HandWritten);
    options->SetConfigFile(path);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SaveConfiguration(path);
    EXPECT_EQ(HandWritten, Testing::ReadFileBytes(path));
    EXPECT_EQ(0, editor.GetChangeFlags());
}

TEST_F(ClassViewTest, TheCatalogueSavedLoadedAndSavedAgainIsTheSameFile)
{
    String first = directory.File(L"first.xml");
    String second = directory.File(L"second.xml");
    ClassViewEditor editor(checkTree, *options);
    editor.BuildDefaultCheckTree();
    editor.SaveConfiguration(first);
    EXPECT_EQ(Config::ConfigFileChanged | Config::ClassViewChanged, editor.GetChangeFlags());
    EXPECT_STREQ(first.GetBuffer(), options->GetConfigFile().GetBuffer());
    std::string written = Testing::ReadFileBytes(first);
    EXPECT_EQ(0u, written.find("<?xml version=\"1.0\"?>\r\n<Categories>\r\n\t<Category Name=\"Computer Hardware\" "
                               "selected=\"Y\">\r\n\t\t<Category Name=\"Cooling Devices\" selected=\"Y\">\r\n\t\t\t"
                               "<Class Name=\"Win32_Fan\" selected=\"Y\" />\r\n"));
    EXPECT_EQ(std::string::npos, written.find("<Property>"));

    TreeNodeCollection reloaded;
    ClassViewEditor again(reloaded, *options);
    again.LoadCheckTree(first);
    EXPECT_EQ(Dump(checkTree), Dump(reloaded));
    again.SetChangeFlags(Config::ClassViewChanged);
    again.SaveConfiguration(second);
    EXPECT_EQ(written, Testing::ReadFileBytes(second));
}

TEST_F(ClassViewTest, AHandWrittenFileSurvivesLoadAndSaveInMeaning)
{
    String path = WriteConfig("config.xml", HandWritten);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SetChangeFlags(Config::ClassViewChanged);
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    // The same main tree and the same check tree come back from both files.
    TreeNodeCollection fromSaved;
    ClassViewEditor second(fromSaved, *options);
    second.LoadCheckTree(saved);
    EXPECT_EQ(Dump(checkTree), Dump(fromSaved));
    Config::ReadClassTree(machine, saved, status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT Processes [0]\n"
              "    CL Win32_Process [0] +Name +ProcessId where ProcessId > 4\n",
              Dump(mainTree));
}

TEST_F(ClassViewTest, FullClassesAreWrittenWithoutPropertiesAndPartialOnesWithTheirCheckedOnes)
{
    ClassViewEditor editor(checkTree, *options);
    auto* category = new TreeNode(String(L"Processes"));
    category->SetTag(String(L"CT"));
    category->SetCheckState(TreeNode::Checked);
    checkTree.Add(category);
    const wchar_t* names[] = {L"Win32_Process", L"Win32_Thread"};
    editor.AddCheckClassNodes(category, names, 2);
    // Properties loaded for both classes, as the dialog does on expanding them.
    for (int c = 0; c < 2; c++)
    {
        for (const wchar_t* property : {L"Name", L"Handle", L"Priority"})
        {
            auto* node = new TreeNode(String(property));
            node->SetImageIndex(3);
            node->SetCheckState(TreeNode::Checked);
            category->GetNodes()[c]->GetNodes().Add(node);
        }
    }
    TreeNode* handle = category->GetNodes()[1]->GetNodes()[1];
    handle->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(handle);
    category->GetNodes()[0]->GetDataAs<WMI::ClassDefinition>()->SetFilter(String(L"Name <> 'x'"));
    String path = directory.File(L"partial.xml");
    editor.SaveConfiguration(path);
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n"
              "<Categories>\r\n"
              "\t<Category Name=\"Processes\" selected=\"Y\">\r\n"
              "\t\t<Class Name=\"Win32_Process\" selected=\"Y\">\r\n"
              "\t\t\t<Filter>Name &lt;&gt; 'x'</Filter>\r\n"
              "\t\t</Class>\r\n"
              "\t\t<Class Name=\"Win32_Thread\" selected=\"Y\">\r\n"
              "\t\t\t<Property>Name</Property>\r\n"
              "\t\t\t<Property>Priority</Property>\r\n"
              "\t\t</Class>\r\n"
              "\t</Category>\r\n"
              "</Categories>",
              Testing::ReadFileBytes(path));
}

TEST_F(ClassViewTest, ALevelMixingCategoriesAndClassesWritesEachAsItsOwnKind)
{
    const char* mixed = "<Categories><Category Name=\"A\" selected=\"Y\"><Class Name=\"X\" selected=\"Y\"/>"
                        "<Category Name=\"B\" selected=\"N\"/></Category></Categories>";
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("mixed.xml", mixed));
    editor.SetChangeFlags(Config::ClassViewChanged);
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    std::string text = Testing::ReadFileBytes(saved);
    EXPECT_NE(std::string::npos, text.find("<Class Name=\"X\" selected=\"Y\" />"));
    EXPECT_NE(std::string::npos, text.find("<Category Name=\"B\" selected=\"N\" />"));
}

TEST_F(ClassViewTest, ChosenPropertiesSurviveToggling)
{
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("config.xml", HandWritten));
    TreeNode* process = checkTree[0]->GetNodes()[0];
    TreeNode* name = process->GetNodes()[0];
    name->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(name);
    EXPECT_EQ(2, process->GetCheckState());
    EXPECT_EQ(2, checkTree[0]->GetCheckState());
    name->SetCheckState(TreeNode::Checked);
    editor.OnAfterCheck(name);
    // All chosen properties checked again: still only those properties, so still partly checked.
    EXPECT_EQ(2, process->GetCheckState());
    // Unchecking the class and checking it again keeps the choice too.
    process->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(process);
    EXPECT_EQ(0, name->GetCheckState());
    process->SetCheckState(TreeNode::Checked);
    editor.OnAfterCheck(process);
    EXPECT_EQ(2, process->GetCheckState());
    EXPECT_EQ(1, name->GetCheckState());
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    std::string text = Testing::ReadFileBytes(saved);
    EXPECT_NE(std::string::npos, text.find("<Property>Name</Property>"));
    EXPECT_NE(std::string::npos, text.find("<Property>ProcessId</Property>"));
}

TEST_F(ClassViewTest, AnUnselectedClassKeepsItsChosenPropertiesInTheFile)
{
    const char* unselected = "<Categories><Category Name=\"A\" selected=\"Y\"><Class Name=\"X\" selected=\"N\">"
                             "<Property>Name</Property></Class></Category></Categories>";
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("unselected.xml", unselected));
    editor.SetChangeFlags(Config::ClassViewChanged);
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    EXPECT_NE(std::string::npos, Testing::ReadFileBytes(saved).find(
                                     "<Class Name=\"X\" selected=\"N\">\r\n\t\t\t<Property>Name</Property>"));
}

TEST_F(ClassViewTest, SavingIntoAMissingDirectoryReportsTheCreateFailure)
{
    ClassViewEditor editor(checkTree, *options);
    editor.BuildDefaultCheckTree();
    String path = directory.File(L"no such folder\\QuarrowConfig.xml");
    editor.SaveConfiguration(path);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error occured while trying to create configuration file", desktop.messages[0].text);
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONERROR), desktop.messages[0].style);
}

TEST_F(ClassViewTest, AFailedWriteLeavesTheOldFileUntouched)
{
    String path = WriteConfig("config.xml", HandWritten);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SetChangeFlags(Config::ClassViewChanged);
    // The file is written beside the old one first; make that impossible.
    CreateDirectoryW((path + L".tmp").GetBuffer(), nullptr);
    editor.SaveConfiguration(path);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error occured while saving to configuration file", desktop.messages[0].text);
    EXPECT_EQ(HandWritten, Testing::ReadFileBytes(path));
}

TEST_F(ClassViewTest, AFailedWriteOfANewFileRemovesIt)
{
    String path = directory.File(L"new.xml");
    ClassViewEditor editor(checkTree, *options);
    editor.BuildDefaultCheckTree();
    CreateDirectoryW((path + L".tmp").GetBuffer(), nullptr);
    editor.SaveConfiguration(path);
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error occured while saving to configuration file", desktop.messages[0].text);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.GetBuffer()));
}

// Out of memory while saving: the same message as any failure to save, the old file as it was, a new one gone.
TEST_F(ClassViewTest, RunningOutOfMemoryWhileSavingSaysSoAndKeepsTheOldFile)
{
    String path = WriteConfig("config.xml", HandWritten);
    String fresh = directory.File(L"fresh.xml");
    String reference = directory.File(L"reference.xml");
    {
        TreeNodeCollection tree;
        ClassViewEditor editor(tree, *options);
        editor.LoadCheckTree(path);
        editor.SetChangeFlags(Config::ClassViewChanged);
        editor.SaveConfiguration(reference);
    }
    const std::string saved = Testing::ReadFileBytes(reference);
    for (const String& target : {path, fresh})
    {
        bool existed = target == path;
        int failures = 0;
        bool injected = true;
        for (int64_t failing = 0; injected; failing++)
        {
            TreeNodeCollection tree;
            ClassViewEditor editor(tree, *options);
            editor.LoadCheckTree(path);
            editor.SetChangeFlags(Config::ClassViewChanged);
            desktop.messages.clear();
            desktop.messages.reserve(4); // recording a message must not take the failing allocation
            bool escaped = false;
            injected = Testing::RunWithFailingAllocation(failing,
                                                         [&]
                                                         {
                                                             try
                                                             {
                                                                 editor.SaveConfiguration(target);
                                                             }
                                                             catch (...)
                                                             {
                                                                 escaped = true;
                                                             }
                                                         });
            ASSERT_FALSE(escaped) << "allocation " << failing << " failing";
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((target + L".tmp").GetBuffer()));
            if (desktop.messages.empty())
            {
                EXPECT_TRUE(saved == Testing::ReadFileBytes(target)) << "allocation " << failing << " failing";
                continue;
            }
            failures++;
            ASSERT_EQ(1u, desktop.messages.size());
            const std::wstring& text = desktop.messages[0].text;
            if (existed)
            {
                EXPECT_EQ(L"Error occured while saving to configuration file", text);
                EXPECT_EQ(HandWritten, Testing::ReadFileBytes(target));
            }
            else
            {
                EXPECT_TRUE(text == L"Error occured while saving to configuration file" ||
                            text == L"Error occured while trying to create configuration file")
                    << "allocation " << failing << " failing";
                EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.GetBuffer()));
            }
            EXPECT_EQ(L"Error", desktop.messages[0].caption);
            if (!existed)
            {
                DeleteFileW(target.GetBuffer());
            }
        }
        EXPECT_GT(failures, 10);
    }
}

// --- check states ---

TEST_F(ClassViewTest, CheckingPropagatesDownAndAncestorsFollow)
{
    ClassViewEditor editor(checkTree, *options);
    editor.BuildDefaultCheckTree();
    editor.SetChangeFlags(0);
    TreeNode* hardware = checkTree[0];
    TreeNode* cooling = hardware->GetNodes()[0];
    TreeNode* fan = cooling->GetNodes()[0];
    fan->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(fan);
    EXPECT_EQ(2, cooling->GetCheckState());
    EXPECT_EQ(2, hardware->GetCheckState());
    EXPECT_EQ(1, checkTree[1]->GetCheckState());
    EXPECT_EQ(Config::ClassViewChanged, editor.GetChangeFlags());
    cooling->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(cooling);
    for (int i = 0; i < cooling->GetNodes().GetCount(); i++)
    {
        EXPECT_EQ(0, cooling->GetNodes()[i]->GetCheckState());
    }
    EXPECT_EQ(2, hardware->GetCheckState());
    hardware->SetCheckState(TreeNode::Checked);
    editor.OnAfterCheck(hardware);
    EXPECT_EQ(1, fan->GetCheckState());
    EXPECT_EQ(1, cooling->GetCheckState());
}

TEST_F(ClassViewTest, EditingTheCheckTreeLeaksNothing)
{
    String path = WriteConfig("config.xml", HandWritten);
    EXPECT_EQ(0, Testing::LeakedBy(
                     [&]
                     {
                         TreeNodeCollection tree;
                         ClassViewEditor editor(tree, *options);
                         editor.LoadCheckTree(path);
                         editor.BuildDefaultCheckTree();
                         editor.LoadCheckTree(path);
                     }));
}

// --- deep nesting ---

namespace
{

// depth nested categories L1, L2, ..., the innermost holding one class with a property and a filter.
std::string DeepFile(int depth)
{
    std::string text = "<Categories>";
    for (int i = 1; i <= depth; i++)
    {
        text += "<Category Name=\"L" + std::to_string(i) + "\" selected=\"Y\">";
    }
    text += "<Class Name=\"Win32_Deep\" selected=\"Y\"><Property>Name</Property><Filter>A=1</Filter></Class>";
    for (int i = 0; i < depth; i++)
    {
        text += "</Category>";
    }
    return text + "</Categories>";
}

// The innermost of depth nested categories L1, L2, ..., each the only node of the level before, starting at
// nodes; null, with a failure recorded, where the chain breaks.
TreeNode* InnermostCategory(const TreeNodeCollection& nodes, int depth, int checkState)
{
    const TreeNodeCollection* level = &nodes;
    TreeNode* node = nullptr;
    for (int i = 1; i <= depth; i++)
    {
        std::wstring name = L"L" + std::to_wstring(i);
        if (level->GetCount() != 1 || (*level)[0]->GetText() != String(name.c_str()) ||
            (*level)[0]->GetTag() != String(L"CT") || (*level)[0]->GetCheckState() != checkState)
        {
            ADD_FAILURE() << "the chain of categories breaks at level " << i;
            return nullptr;
        }
        node = (*level)[0];
        level = &node->GetNodes();
    }
    return node;
}

} // namespace

namespace Testing
{

// Runs work on a thread with only 64 KB of stack left for it: recursion that goes as deep as a tree overflows
// that within a few thousand levels, where a thread's whole stack would last for tens of thousands.
void RunWithSmallStack(const std::function<void()>& work)
{
    std::thread thread(
        [&work]
        {
            char here = 0;
            MEMORY_BASIC_INFORMATION stack = {};
            VirtualQuery(&here, &stack, sizeof(stack));
            size_t left = static_cast<size_t>(&here - static_cast<char*>(stack.AllocationBase));
            const size_t budget = 64 * 1024;
            // Taken from the stack page by page, so the stack's guard page moves down as it would.
            volatile char* taken = static_cast<char*>(alloca(left - budget));
            taken[0] = here;
            work();
        });
    thread.join();
}

} // namespace Testing

namespace
{

// Deletes a tree at the end of a test the way deep trees must be deleted.
class DeleteAtEnd
{
public:
    explicit DeleteAtEnd(TreeNodeCollection& nodes) : m_nodes(nodes) {}
    ~DeleteAtEnd() { Config::DeleteNodes(m_nodes); }
    DeleteAtEnd(const DeleteAtEnd&) = delete;
    DeleteAtEnd& operator=(const DeleteAtEnd&) = delete;

private:
    TreeNodeCollection& m_nodes;
};

// Records what the tree tells its observer.
class RecordingObserver : public Core::Controls::TreeObserver
{
public:
    void OnNodeInserted(TreeNode* node) override { inserted.push_back(node->GetText().GetBuffer()); }
    void OnNodeRemoving(TreeNode* node) override { removing.push_back(node->GetText().GetBuffer()); }
    void OnNodeChanged(TreeNode*) override {}
    void OnNodeExpandedChanged(TreeNode*) override {}
    void OnNodeCheckChanged(TreeNode*) override {}
    std::vector<std::wstring> inserted;
    std::vector<std::wstring> removing;
};

} // namespace

// Each new category used to be placed by walking down from the top, and every tree was deleted and saved
// recursively: 20,000 levels took seconds and then overflowed the stack.
TEST_F(ClassViewTest, TwentyThousandNestedCategoriesAreReadIntoBothTreesAndSavedBack)
{
    const int depth = 20000;
    const std::string deep = DeepFile(depth);
    String path = WriteConfig("deep.xml", deep);
    DeleteAtEnd deleteMainTree(mainTree);
    DeleteAtEnd deleteCheckTree(checkTree);

    Config::ReadClassTree(machine, path, status);
    EXPECT_TRUE(status.texts.empty());
    TreeNode* innermost = InnermostCategory(machine->GetNodes(), depth, TreeNode::Unchecked);
    ASSERT_NE(nullptr, innermost);
    ASSERT_EQ(1, innermost->GetNodes().GetCount());
    WMI::ManagementObject* object = ClassObject(innermost->GetNodes()[0]);
    EXPECT_STREQ(L"Win32_Deep", object->GetName().GetBuffer());
    ASSERT_EQ(1, object->GetProperties().GetCount());
    EXPECT_STREQ(L"A=1", object->GetFilter().GetBuffer());

    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    EXPECT_TRUE(desktop.messages.empty());
    innermost = InnermostCategory(checkTree, depth, TreeNode::Checked);
    ASSERT_NE(nullptr, innermost);
    EXPECT_EQ("CL Win32_Deep [2] +Name where A=1\n  PR Name [1]\n", Dump(innermost->GetNodes()));

    // Too deep to indent every line by its depth: the file comes back as it was written, on one line.
    editor.SetChangeFlags(Config::ClassViewChanged);
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(Testing::ReadFileBytes(saved) == "<?xml version=\"1.0\"?>" + deep);

    // Loading again deletes the whole deep tree first.
    editor.LoadCheckTree(saved);
    EXPECT_NE(nullptr, InnermostCategory(checkTree, depth, TreeNode::Checked));
}

TEST_F(ClassViewTest, OnlyTreesDeeperThanAnyoneReadsAreSavedWithoutIndentation)
{
    // The deep file's levels: its categories, the class and the class's property.
    for (int levels : {ClassViewEditor::MaxIndentedDepth, ClassViewEditor::MaxIndentedDepth + 1})
    {
        TreeNodeCollection tree;
        ClassViewEditor editor(tree, *options);
        editor.LoadCheckTree(WriteConfig("deep.xml", DeepFile(levels - 2)));
        editor.SetChangeFlags(Config::ClassViewChanged);
        String saved = directory.File(L"saved.xml");
        editor.SaveConfiguration(saved);
        std::string text = Testing::ReadFileBytes(saved);
        bool indented = levels <= ClassViewEditor::MaxIndentedDepth;
        EXPECT_EQ(indented, text.find("\r\n\t\t<Category Name=\"L2\"") != std::string::npos) << levels;
        EXPECT_EQ(indented, text != "<?xml version=\"1.0\"?>" + DeepFile(levels - 2)) << levels;
    }
}

// Check boxes follow through a deep tree on a thread whose stack holds a few dozen frames at most: the path
// through the levels is kept on the heap.
TEST_F(ClassViewTest, CheckStatesFollowThroughADeepTreeWithoutDeepRecursion)
{
    const int depth = 2000;
    DeleteAtEnd deleteCheckTree(checkTree);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("deep.xml", DeepFile(depth)));
    TreeNode* innermost = InnermostCategory(checkTree, depth, TreeNode::Checked);
    ASSERT_NE(nullptr, innermost);
    TreeNode* deepClass = innermost->GetNodes()[0];
    Testing::RunWithSmallStack(
        [&]
        {
            checkTree[0]->SetCheckState(TreeNode::Unchecked);
            editor.OnAfterCheck(checkTree[0]);
        });
    EXPECT_NE(nullptr, InnermostCategory(checkTree, depth, TreeNode::Unchecked));
    EXPECT_EQ(TreeNode::Unchecked, deepClass->GetNodes()[0]->GetCheckState());
    // Checking the class again brings back its chosen property; every level above is partly checked.
    Testing::RunWithSmallStack(
        [&]
        {
            deepClass->SetCheckState(TreeNode::Checked);
            editor.OnAfterCheck(deepClass);
        });
    EXPECT_NE(nullptr, InnermostCategory(checkTree, depth, TreeNode::PartlyChecked));
    EXPECT_EQ(TreeNode::Checked, deepClass->GetNodes()[0]->GetCheckState());
}

TEST_F(ClassViewTest, AFileEndingInsideNestedCategoriesKeepsThemInBothTrees)
{
    String path = WriteConfig("cut.xml", "<Categories><Category Name=\"A\" selected=\"Y\">"
                                         "<Category Name=\"B\" selected=\"Y\"><Class Name=\"X\" selected=\"Y\"/>"
                                         "<Category Name=\"C\" selected=\"Y\"><Class Name=\"Y\" selected=\"Y\">");
    Config::ReadClassTree(machine, path, status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT A [0]\n"
              "    CT B [0]\n"
              "      CL X [0]\n"
              "      CT C [0]\n"
              "        CL Y [0]\n",
              Dump(mainTree));
    EXPECT_EQ(1u, status.texts.size());
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    EXPECT_EQ("CT A [1]\n"
              "  CT B [1]\n"
              "    CL X [1]\n"
              "    CT C [1]\n"
              "      CL Y [1]\n",
              Dump(checkTree));
    EXPECT_EQ(1u, desktop.messages.size());
}

TEST_F(ClassViewTest, ACategoryInsideAClassElementGoesUnderTheEnclosingCategory)
{
    // A class holds properties only: a category misplaced into one stays in the tree beside the class, so
    // saving cannot drop it.
    String path = WriteConfig("misplaced.xml", "<Categories><Category Name=\"A\" selected=\"Y\">"
                                               "<Class Name=\"X\" selected=\"Y\"><Category Name=\"B\" selected=\"Y\">"
                                               "<Class Name=\"Y\" selected=\"Y\"/></Category></Class>"
                                               "<Class Name=\"Z\" selected=\"Y\"/></Category></Categories>");
    Config::ReadClassTree(machine, path, status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT A [0]\n"
              "    CL X [0]\n"
              "    CT B [0]\n"
              "      CL Y [0]\n"
              "    CL Z [0]\n",
              Dump(mainTree));
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SetChangeFlags(Config::ClassViewChanged);
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    TreeNodeCollection reloaded;
    ClassViewEditor again(reloaded, *options);
    again.LoadCheckTree(saved);
    EXPECT_EQ("CT A [1]\n"
              "  CL X [1]\n"
              "  CT B [1]\n"
              "    CL Y [1]\n"
              "  CL Z [1]\n",
              Dump(reloaded));
}

TEST_F(ClassViewTest, RunningOutOfMemoryWhileReadingLeavesNothingBehind)
{
    String path = WriteConfig("nested.xml", "<Categories><Category Name=\"A\" selected=\"Y\"><Category Name=\"B\" "
                                            "selected=\"Y\"><Class Name=\"X\" selected=\"Y\"><Property>P</Property>"
                                            "<Filter>F</Filter></Class></Category><Class Name=\"Y\" selected=\"N\"/>"
                                            "</Category><Class Name=\"Z\" selected=\"Y\"/></Categories>");
    bool injected = true;
    for (int64_t failing = 0; injected; failing++)
    {
        int64_t leaked = Testing::LeakedBy(
            [&]
            {
                Testing::RecordingDesktop quiet;
                RecordingStatus statusHere;
                TreeNodeCollection tree;
                auto* machineNode = new TreeNode(String(L"Local Machine"), reinterpret_cast<uintptr_t>(&connection));
                tree.Add(machineNode);
                TreeNodeCollection checks;
                ClassViewEditor editor(checks, *options);
                injected =
                    Testing::RunWithFailingAllocation(failing,
                                                      [&]
                                                      {
                                                          try
                                                          {
                                                              Config::ReadClassTree(machineNode, path, statusHere);
                                                              editor.LoadCheckTree(path);
                                                          }
                                                          catch (const std::bad_alloc&)
                                                          {
                                                          }
                                                      });
            });
        ASSERT_EQ(0, leaked) << "allocation " << failing << " failing";
    }
}

TEST_F(ClassViewTest, DeletingATreeTellsItsObserverOfTheTopNodesOnlyAndKeepsTheObserver)
{
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("config.xml", HandWritten));
    RecordingObserver observer;
    checkTree.SetObserver(&observer);
    // Below the root, a collection asks the root for the observer before and after.
    TreeNodeCollection& processes = checkTree[0]->GetNodes();
    Config::DeleteNodes(processes);
    EXPECT_EQ(0, processes.GetCount());
    EXPECT_EQ((std::vector<std::wstring>{L"Win32_Thread", L"Win32_Process"}), observer.removing);
    EXPECT_EQ(&observer, processes.GetObserver());
    observer.removing.clear();
    Config::DeleteNodes(checkTree);
    EXPECT_EQ((std::vector<std::wstring>{L"Lower", L"Hidden", L"Processes"}), observer.removing);
    EXPECT_EQ(&observer, checkTree.GetObserver());
    // The next load tells of its top nodes, each inserted with everything below it.
    observer.removing.clear();
    editor.LoadCheckTree(WriteConfig("config.xml", HandWritten));
    EXPECT_EQ((std::vector<std::wstring>{L"Processes", L"Hidden", L"Lower"}), observer.inserted);
    EXPECT_TRUE(observer.removing.empty());
    checkTree.SetObserver(nullptr);
}
