#include "config/AppOptions.h"
#include "config/CategoryPath.h"
#include "config/ClassViewEditor.h"
#include "config/ClassViewReader.h"
#include "core/platform/windows/RegistryKey.h"

#include "core/controls/TreeNode.h"
#include "core/io/Path.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/TempDirectory.h"
#include "wmi/ManagementObject.h"

#include <algorithm>
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

// What the reader said of the files it could not read whole, as the window's status line would show it.
struct RecordingStatus
{
    std::vector<std::wstring> texts;
};

void ReadClassTree(TreeNode* machine, const String& configFile, RecordingStatus& status)
{
    String problem = Config::ReadClassTree(machine, configFile);
    if (!problem.IsEmpty())
    {
        status.texts.push_back(problem.GetBuffer());
    }
}

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
            if (!definition->IsInDefaultNamespace())
            {
                out += " in " + Narrow(definition->GetNamespace());
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
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
        options = std::make_unique<Config::AppOptions>(keyPath);
        machine = new TreeNode(String(L"Local Machine"), reinterpret_cast<uintptr_t>(&connection));
        machine->SetTag(String(L"M"));
        mainTree.Add(machine);
    }
    void TearDown() override
    {
        options.reset();
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
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
    ReadClassTree(machine, String(), status);
    EXPECT_EQ(2, machine->GetNodes().GetCount());
    TreeNode* other = new TreeNode(String(L"Other"), reinterpret_cast<uintptr_t>(&connection));
    mainTree.Add(other);
    ReadClassTree(other, directory.File(L"missing.xml"), status);
    EXPECT_EQ(2, other->GetNodes().GetCount());
    EXPECT_TRUE(status.texts.empty());
}

TEST_F(ClassViewTest, TheMainTreeShowsOnlySelectedCategoriesAndClasses)
{
    ReadClassTree(machine, WriteConfig("config.xml", HandWritten), status);
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
    ReadClassTree(machine, WriteConfig("nested.xml", nested), status);
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
    ReadClassTree(machine, WriteConfig("compact.xml", compact), status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT Q [0]\n"
              "    CL W [0] +A +B where A=1\n"
              "    CL V [0]\n",
              Dump(mainTree));
}

TEST_F(ClassViewTest, AnEmptyOrNonXmlFileLeavesTheMachineEmptyAndSaysSo)
{
    // The reader's own message follows the fixed text: where the file went wrong, and how.
    const std::pair<const char*, const wchar_t*> cases[] = {
        {"", L"Missing root element at 0, 0"},
        {"this is not xml", L"Invalid root data at 1, 1"},
        {"<?xml version=\"1.0\" encoding=\"x-mac-klingon\"?><Categories/>",
         L"System does not support 'x-mac-klingon' encoding at 1, 21"},
        {"<Categories><Category Name=\"A\" selected=\"Y\">", L"Unclosed elements at 0, 0"},
    };
    for (const auto& [content, reason] : cases)
    {
        machine->GetNodes().Clear();
        status.texts.clear();
        ReadClassTree(machine, WriteConfig("bad.xml", content), status);
        ASSERT_EQ(1u, status.texts.size()) << content;
        EXPECT_EQ(std::wstring(L"Configuration xml file is empty or has invalid structure (") + reason + L")",
                  status.texts[0]);
    }
    // A truncated file keeps what was built before the fault.
    EXPECT_EQ(1, machine->GetNodes().GetCount());
    EXPECT_TRUE(desktop.messages.empty());
}

// The system's reason ends with a line break, which has no place inside the brackets of a status panel.
TEST_F(ClassViewTest, AFileLockedByAnotherProgramShowsTheSystemsReasonOnOneLine)
{
    String path = WriteConfig("config.xml", HandWritten);
    HANDLE locked =
        CreateFileW(path.GetBuffer(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    ReadClassTree(machine, path, status);
    CloseHandle(locked);
    wchar_t system[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_SHARING_VIOLATION,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system, 512, nullptr);
    std::wstring reason = system;
    reason.erase(reason.find_last_not_of(L"\r\n ") + 1);
    ASSERT_FALSE(reason.empty());
    ASSERT_EQ(1u, status.texts.size());
    EXPECT_EQ(L"Configuration xml file is empty or has invalid structure (" + reason + L")", status.texts[0]);
    EXPECT_EQ(std::wstring::npos, status.texts[0].find_first_of(L"\r\n"));
    EXPECT_EQ(0, machine->GetNodes().GetCount());
}

TEST_F(ClassViewTest, ElementsWithUnexpectedContentStopTheReading)
{
    const char* odd = "<Categories><Category Name=\"A\" selected=\"Y\"><Class Name=\"X\" selected=\"Y\">"
                      "<Property>Name<b/></Property></Class></Category>"
                      "<Category Name=\"Later\" selected=\"Y\"/></Categories>";
    ReadClassTree(machine, WriteConfig("odd.xml", odd), status);
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
    ReadClassTree(machine, WriteConfig("orphans.xml", orphans), status);
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
              "  CL Win32_Process [1] +Name +ProcessId where ProcessId > 4\n"
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
              L"please do so. Cannot build the tree.\r\n\r\nTag mismatch at 1, 47",
              desktop.messages[0].text);
    EXPECT_EQ(L"Configuration file error", desktop.messages[0].caption);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONWARNING), desktop.messages[0].style);
    EXPECT_EQ(reinterpret_cast<void*>(0x1234), desktop.messages[0].owner);
    EXPECT_EQ("CT A [1]\n", Dump(checkTree));
}

// Saving over a file that was read only in part would lose everything after its error: the original is kept beside
// it, byte for byte, and the user is told where.
TEST_F(ClassViewTest, SavingOverAPartlyReadFileKeepsTheOriginalBesideIt)
{
    const std::string broken = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>"
                               "<Category Name=\"Lost\" selected=\"Y\"><Class Name=\"Win32_Process\" selected=\"Y\"/>"
                               "</Category></Categories>";
    String path = WriteConfig("broken.xml", broken);
    options->SetConfigFile(path);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    ASSERT_EQ("CT A [1]\n", Dump(checkTree));
    editor.SetChangeFlags(Config::ClassViewChanged);
    desktop.messages.clear();
    ASSERT_TRUE(editor.SaveConfiguration(path));
    EXPECT_EQ(broken, Testing::ReadFileBytes(path + L".bak"));
    EXPECT_NE(std::string::npos, Testing::ReadFileBytes(path).find("Name=\"A\""));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(std::wstring(Config::PartlyReadKeptMessage) + L"\r\n\r\n" + (path + L".bak").GetBuffer(),
              desktop.messages[0].text);
    // The file now holds what the tree shows: a later save needs no second copy.
    editor.SetChangeFlags(Config::ClassViewChanged);
    ASSERT_TRUE(editor.SaveConfiguration(path));
    EXPECT_FALSE(Core::IO::File::Exists(path + L".2.bak"));
    EXPECT_EQ(1u, desktop.messages.size());
}

TEST_F(ClassViewTest, AnEarlierCopyIsNeverOverwritten)
{
    String path = WriteConfig("broken.xml", "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>");
    Testing::WriteFileBytes(path + L".bak", "an older copy");
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SetChangeFlags(Config::ClassViewChanged);
    ASSERT_TRUE(editor.SaveConfiguration(path));
    EXPECT_EQ("an older copy", Testing::ReadFileBytes(path + L".bak"));
    EXPECT_EQ("<Categories><Category Name=\"A\" selected=\"Y\"></Oops>", Testing::ReadFileBytes(path + L".2.bak"));
}

TEST_F(ClassViewTest, APartlyReadFileThatCannotBeCopiedIsNotOverwritten)
{
    const std::string broken = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>";
    String path = WriteConfig("broken.xml", broken);
    ASSERT_TRUE(CreateDirectoryW((path + L".bak").GetBuffer(), nullptr)); // the copy's name is taken by a folder
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SetChangeFlags(Config::ClassViewChanged);
    desktop.messages.clear();
    EXPECT_FALSE(editor.SaveConfiguration(path));
    EXPECT_EQ(broken, Testing::ReadFileBytes(path));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(Config::PartlyReadNotCopiedMessage, desktop.messages[0].text);
    RemoveDirectoryW((path + L".bak").GetBuffer());
}

namespace
{

// A file of about 41 KB whose reading stops at an error near its start.
std::string LargeBrokenFile()
{
    std::string text = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>";
    for (int i = 0; text.size() < 41 * 1024; i++)
    {
        text += "<Category Name=\"Lost " + std::to_string(i) +
                "\" selected=\"Y\"><Class Name=\"Win32_Process\" selected=\"Y\"/></Category>";
    }
    return text + "</Categories>";
}

bool Exists(const String& path)
{
    return GetFileAttributesW(path.GetBuffer()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

// A copy that failed half way on a nearly full disk used to stay: half of the original passing for all of it, and
// the room the advised save to another file needs; OK again added an empty second copy.
TEST_F(ClassViewTest, ACopyThatFailsPartWayIsRemoved)
{
    const std::string broken = LargeBrokenFile();
    String path = WriteConfig("view.xml", broken);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SetChangeFlags(Config::ClassViewChanged);
    desktop.messages.clear();
    {
        Testing::NearlyFullDisk disk(20480);
        for (int attempt = 1; attempt <= 2; attempt++)
        {
            EXPECT_FALSE(editor.SaveConfiguration(path)) << "attempt " << attempt;
            EXPECT_FALSE(Exists(path + L".bak")) << "attempt " << attempt;
            EXPECT_FALSE(Exists(path + L".2.bak")) << "attempt " << attempt;
            EXPECT_TRUE(Testing::ReadFileBytes(path) == broken) << "attempt " << attempt;
            ASSERT_EQ(static_cast<size_t>(attempt), desktop.messages.size());
            EXPECT_EQ(Config::PartlyReadNotCopiedMessage, desktop.messages.back().text);
        }
    }
    // With room again the copy takes the first name: no failed copy holds it.
    ASSERT_TRUE(editor.SaveConfiguration(path));
    ASSERT_TRUE(Exists(path + L".bak"));
    EXPECT_TRUE(Testing::ReadFileBytes(path + L".bak") == broken);
    EXPECT_FALSE(Exists(path + L".2.bak"));
}

// Wine maps the Unix file system to Z:, so the file read as C:\...\view.xml can be saved as Z:\...\view.xml: the
// same file, which used to be saved over without a copy because the two names differ.
TEST_F(ClassViewTest, APartlyReadFileSavedUnderAnotherOfItsNamesIsCopiedFirst)
{
    const std::string broken = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>"
                               "<Category Name=\"Lost\" selected=\"Y\"/></Categories>";
    String path = directory.File(L"view.xml");
    String unixName = Testing::ThroughUnixDrive(path);
    if (unixName.IsEmpty())
    {
        GTEST_SKIP() << "needs Wine's Z: drive";
    }
    for (const auto& [read, saved] : {std::pair{path, unixName}, std::pair{unixName, path}})
    {
        Testing::WriteFileBytes(path, broken);
        DeleteFileW((saved + L".bak").GetBuffer());
        TreeNodeCollection tree;
        ClassViewEditor editor(tree, *options);
        editor.LoadCheckTree(read);
        editor.SetChangeFlags(Config::ClassViewChanged);
        desktop.messages.clear();
        ASSERT_TRUE(editor.SaveConfiguration(saved)) << std::wstring(saved.GetBuffer());
        ASSERT_TRUE(Exists(path + L".bak")) << "no copy when saved as " << std::wstring(saved.GetBuffer());
        EXPECT_EQ(broken, Testing::ReadFileBytes(path + L".bak")) << std::wstring(saved.GetBuffer());
        ASSERT_EQ(1u, desktop.messages.size());
        EXPECT_EQ(std::wstring(Config::PartlyReadKeptMessage) + L"\r\n\r\n" + (saved + L".bak").GetBuffer(),
                  desktop.messages[0].text);
        EXPECT_EQ(std::string::npos, Testing::ReadFileBytes(path).find("Lost"));
    }
}

// When the file read can no longer be told apart from the one saved over, a copy too many costs less than a lost
// file: here the file read was renamed to the name it is then saved under.
TEST_F(ClassViewTest, AFileThatMayBeThePartlyReadOneIsCopiedFirst)
{
    const std::string broken = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>"
                               "<Category Name=\"Lost\" selected=\"Y\"/></Categories>";
    String path = WriteConfig("view.xml", broken);
    String renamed = directory.File(L"renamed.xml");
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    ASSERT_TRUE(MoveFileW(path.GetBuffer(), renamed.GetBuffer()));
    editor.SetChangeFlags(Config::ClassViewChanged);
    desktop.messages.clear();
    ASSERT_TRUE(editor.SaveConfiguration(renamed));
    ASSERT_TRUE(Exists(renamed + L".bak"));
    EXPECT_EQ(broken, Testing::ReadFileBytes(renamed + L".bak"));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(std::wstring(Config::PartlyReadKeptMessage) + L"\r\n\r\n" + (renamed + L".bak").GetBuffer(),
              desktop.messages[0].text);
}

// Saving the partial tree to another file, or after a whole file was loaded, touches nothing else.
TEST_F(ClassViewTest, OnlyThePartlyReadFileIsCopied)
{
    const std::string broken = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>";
    String path = WriteConfig("broken.xml", broken);
    String other = WriteConfig("other.xml", HandWritten);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    editor.SetChangeFlags(Config::ClassViewChanged);
    desktop.messages.clear();
    ASSERT_TRUE(editor.SaveConfiguration(other));
    EXPECT_FALSE(Core::IO::File::Exists(other + L".bak"));
    EXPECT_EQ(broken, Testing::ReadFileBytes(path));
    EXPECT_TRUE(desktop.messages.empty());
    editor.LoadCheckTree(other);
    editor.SetChangeFlags(Config::ClassViewChanged);
    ASSERT_TRUE(editor.SaveConfiguration(other));
    EXPECT_FALSE(Core::IO::File::Exists(other + L".bak"));
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
    // The main window shows the same without a file: there is nothing to save until the user changes it.
    EXPECT_EQ(0, editor.GetChangeFlags());
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
    ReadClassTree(machine, saved, status);
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT Processes [0]\n"
              "    CL Win32_Process [0] +Name +ProcessId where ProcessId > 4\n",
              Dump(mainTree));
}

// A file in Latin-1, as older editors save them, naming its encoding, with a control character in a name: it
// loads with its accents, saves as UTF-8 that any XML reader opens (the control character as U+FFFD, which XML
// can hold), and that file loads back as the same tree and saves again unchanged.
TEST_F(ClassViewTest, ALatin1FileWithAControlCharacterSavesAndLoadsBackAsTheSameTree)
{
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
                               "<Categories>\r\n"
                               "  <Category Name=\"Caf\xE9 &#x1; tools\" selected=\"Y\">\r\n"
                               "    <Class Name=\"Win32_Process\" selected=\"Y\">\r\n"
                               "      <Property>Name</Property>\r\n"
                               "      <Filter>Name = 'caf\xE9.exe'</Filter>\r\n"
                               "    </Class>\r\n"
                               "  </Category>\r\n"
                               "</Categories>\r\n";
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("latin1.xml", latin1));
    ASSERT_EQ(1, checkTree.GetCount());
    EXPECT_EQ(std::wstring(L"Caf\u00E9 \x01 tools"), checkTree[0]->GetText().GetBuffer());
    editor.SetChangeFlags(Config::ClassViewChanged);
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    std::string written = Testing::ReadFileBytes(saved);
    EXPECT_NE(std::string::npos, written.find("<Category Name=\"Caf\xC3\xA9 \xEF\xBF\xBD tools\" selected=\"Y\">"));
    EXPECT_NE(std::string::npos, written.find("<Filter>Name = 'caf\xC3\xA9.exe'</Filter>"));

    TreeNodeCollection reloaded;
    ClassViewEditor second(reloaded, *options);
    second.LoadCheckTree(saved);
    ASSERT_EQ(1, reloaded.GetCount());
    EXPECT_EQ(std::wstring(L"Caf\u00E9 \uFFFD tools"), reloaded[0]->GetText().GetBuffer());
    checkTree[0]->SetText(String(L"Caf\u00E9 \uFFFD tools"));
    EXPECT_EQ(Dump(checkTree), Dump(reloaded));
    second.SetChangeFlags(Config::ClassViewChanged);
    String again = directory.File(L"again.xml");
    second.SaveConfiguration(again);
    EXPECT_EQ(written, Testing::ReadFileBytes(again));
    ReadClassTree(machine, saved, status);
    ASSERT_EQ(1, machine->GetNodes().GetCount());
    EXPECT_EQ(std::wstring(L"Caf\u00E9 \uFFFD tools"), machine->GetNodes()[0]->GetText().GetBuffer());
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
    // All chosen properties checked again: the class's box says so; the file still lists only those properties.
    EXPECT_EQ(1, process->GetCheckState());
    // Unchecking the class and checking it again keeps the choice too.
    process->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(process);
    EXPECT_EQ(0, name->GetCheckState());
    process->SetCheckState(TreeNode::Checked);
    editor.OnAfterCheck(process);
    EXPECT_EQ(1, process->GetCheckState());
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

// Out of memory while saving: the message of the step that failed, the old file as it was, a new one gone.
TEST_F(ClassViewTest, RunningOutOfMemoryWhileSavingSaysSoAndKeepsTheOldFile)
{
    String path = directory.File(L"config.xml");
    String fresh = directory.File(L"fresh.xml");
    const std::wstring saveFailed = L"Error occured while saving to configuration file";
    int failures = 0;
    bool injected = true;
    for (int64_t failing = 0; injected; failing++)
    {
        for (const String& target : {path, fresh})
        {
            Testing::WriteFileBytes(path, HandWritten);
            TreeNodeCollection tree;
            ClassViewEditor editor(tree, *options);
            editor.LoadCheckTree(path);
            editor.SetChangeFlags(Config::ClassViewChanged);
            desktop.messages.clear();
            injected = Testing::RunWithFailingAllocation(failing, [&] { editor.SaveConfiguration(target); });
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((target + L".tmp").GetBuffer()));
            if (desktop.messages.empty())
            {
                DeleteFileW(fresh.GetBuffer());
                continue;
            }
            failures++;
            ASSERT_EQ(1u, desktop.messages.size()) << "allocation " << failing;
            const std::wstring& text = desktop.messages[0].text;
            if (target == path)
            {
                EXPECT_EQ(saveFailed, text);
                EXPECT_EQ(HandWritten, Testing::ReadFileBytes(path));
            }
            else
            {
                EXPECT_TRUE(text == saveFailed || text == L"Error occured while trying to create configuration file");
                EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(fresh.GetBuffer())) << "allocation " << failing;
            }
        }
    }
    EXPECT_GT(failures, 10);
}

// Out of memory at any allocation of a save over a partly read file: nothing escapes, the original is either as it
// was or kept whole beside the new file, and a kept copy is always told. Memory running out after the copy and the
// new file were written used to end the save with an exception, the copy untold.
TEST_F(ClassViewTest, RunningOutOfMemoryWhileKeepingTheOriginalNeverHidesTheCopy)
{
    const std::string broken = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>"
                               "<Category Name=\"Lost\" selected=\"Y\"/></Categories>";
    String path = directory.File(L"view.xml");
    String copy = path + L".bak";
    const std::wstring told = std::wstring(Config::PartlyReadKeptMessage) + L"\r\n\r\n" + copy.GetBuffer();
    int kept = 0;
    bool injected = true;
    for (int64_t failing = 0; injected; failing++)
    {
        Testing::WriteFileBytes(path, broken);
        DeleteFileW(copy.GetBuffer());
        TreeNodeCollection tree;
        ClassViewEditor editor(tree, *options);
        editor.LoadCheckTree(path);
        editor.SetChangeFlags(Config::ClassViewChanged);
        desktop.messages.clear();
        bool saved = false;
        EXPECT_NO_THROW(injected =
                            Testing::RunWithFailingAllocation(failing, [&] { saved = editor.SaveConfiguration(path); }))
            << "allocation " << failing;
        ASSERT_EQ(1u, desktop.messages.size()) << "allocation " << failing;
        if (Exists(copy))
        {
            kept++;
            EXPECT_TRUE(saved) << "allocation " << failing;
            EXPECT_EQ(broken, Testing::ReadFileBytes(copy)) << "allocation " << failing;
            EXPECT_EQ(told, desktop.messages[0].text) << "allocation " << failing;
            EXPECT_EQ(std::string::npos, Testing::ReadFileBytes(path).find("Lost")) << "allocation " << failing;
        }
        else
        {
            EXPECT_FALSE(saved) << "allocation " << failing;
            EXPECT_EQ(broken, Testing::ReadFileBytes(path)) << "allocation " << failing;
            EXPECT_NE(told, desktop.messages[0].text) << "allocation " << failing;
        }
    }
    // Besides the save that ran out of nothing: failures after the copy was kept, which used to escape.
    EXPECT_GT(kept, 1);
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

// The innermost of depth nested categories L1, L2, ..., each the only node of the level above, starting at
// nodes; null, with a failure recorded, where the chain breaks.
TreeNode* InnermostCategory(const TreeNodeCollection& nodes, int depth, int checkState)
{
    const TreeNodeCollection* level = &nodes;
    TreeNode* node = nullptr;
    for (int i = 1; i <= depth; i++, level = &node->GetNodes())
    {
        node = level->GetCount() == 1 ? (*level)[0] : nullptr;
        if (node == nullptr || node->GetText() != String((L"L" + std::to_wstring(i)).c_str()) ||
            node->GetTag() != String(L"CT") || node->GetCheckState() != checkState)
        {
            ADD_FAILURE() << "the chain of categories breaks at level " << i;
            return nullptr;
        }
    }
    return node;
}

// Runs work on a thread with only 64 KB of stack left for it: recursion that goes as deep as a tree overflows
// that within a few thousand levels, where a whole stack would last for tens of thousands.
void RunWithSmallStack(const std::function<void()>& work)
{
    std::thread thread(
        [&work]
        {
            char here = 0;
            MEMORY_BASIC_INFORMATION stack = {};
            VirtualQuery(&here, &stack, sizeof(stack));
            // Taken page by page, so the stack's guard page moves down as it would.
            volatile char* taken = static_cast<char*>(
                alloca(static_cast<size_t>(&here - static_cast<char*>(stack.AllocationBase)) - 64 * 1024));
            taken[0] = here;
            work();
        });
    thread.join();
}

// Deletes a tree at the end of a test the way deep trees must be deleted.
struct DeleteAtEnd
{
    TreeNodeCollection& nodes;
    ~DeleteAtEnd() { Config::DeleteNodes(nodes); }
};

} // namespace

// Each new category used to be placed by walking down from the top, and every tree was deleted and saved
// recursively: 20,000 levels took seconds and then overflowed the stack.
TEST_F(ClassViewTest, TwentyThousandNestedCategoriesAreReadIntoBothTreesAndSavedBack)
{
    const int depth = 20000;
    const std::string deep = DeepFile(depth);
    String path = WriteConfig("deep.xml", deep);
    DeleteAtEnd deleteMainTree{mainTree};
    DeleteAtEnd deleteCheckTree{checkTree};

    ReadClassTree(machine, path, status);
    EXPECT_TRUE(status.texts.empty());
    TreeNode* innermost = InnermostCategory(machine->GetNodes(), depth, TreeNode::Unchecked);
    ASSERT_NE(nullptr, innermost);
    EXPECT_EQ("CL Win32_Deep [0] +Name where A=1\n", Dump(innermost->GetNodes()));

    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    innermost = InnermostCategory(checkTree, depth, TreeNode::Checked);
    ASSERT_NE(nullptr, innermost);
    EXPECT_EQ("CL Win32_Deep [1] +Name where A=1\n  PR Name [1]\n", Dump(innermost->GetNodes()));

    // Too deep to indent every line by its depth: the file comes back as it was written, on one line.
    editor.SetChangeFlags(Config::ClassViewChanged);
    String saved = directory.File(L"saved.xml");
    editor.SaveConfiguration(saved);
    EXPECT_TRUE(Testing::ReadFileBytes(saved) == "<?xml version=\"1.0\"?>" + deep);
    // Loading again deletes the whole deep tree first.
    editor.LoadCheckTree(saved);
    EXPECT_NE(nullptr, InnermostCategory(checkTree, depth, TreeNode::Checked));
    EXPECT_TRUE(desktop.messages.empty());
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
        bool indented = levels <= ClassViewEditor::MaxIndentedDepth;
        EXPECT_EQ(indented, Testing::ReadFileBytes(saved).find("\r\n\t\t<Category Name=\"L2\"") != std::string::npos);
    }
}

TEST_F(ClassViewTest, CheckStatesFollowThroughADeepTreeWithoutDeepRecursion)
{
    const int depth = 2000;
    DeleteAtEnd deleteCheckTree{checkTree};
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("deep.xml", DeepFile(depth)));
    TreeNode* innermost = InnermostCategory(checkTree, depth, TreeNode::Checked);
    ASSERT_NE(nullptr, innermost);
    TreeNode* deepClass = innermost->GetNodes()[0];
    checkTree[0]->SetCheckState(TreeNode::Unchecked);
    RunWithSmallStack([&] { editor.OnAfterCheck(checkTree[0]); });
    EXPECT_NE(nullptr, InnermostCategory(checkTree, depth, TreeNode::Unchecked));
    EXPECT_EQ(TreeNode::Unchecked, deepClass->GetNodes()[0]->GetCheckState());
    // Checking the class brings back its chosen property; every level above it, holding only it, is checked.
    deepClass->SetCheckState(TreeNode::Checked);
    RunWithSmallStack([&] { editor.OnAfterCheck(deepClass); });
    EXPECT_NE(nullptr, InnermostCategory(checkTree, depth, TreeNode::Checked));
    EXPECT_EQ(TreeNode::Checked, deepClass->GetNodes()[0]->GetCheckState());
}

// A category misplaced inside a class element goes beside the class, where saving keeps it; categories still
// open when the file ends early stay with everything read into them.
TEST_F(ClassViewTest, IrregularNestingKeepsEveryCategoryInBothTrees)
{
    String path = WriteConfig("irregular.xml", "<Categories><Category Name=\"A\" selected=\"Y\"><Class Name=\"X\" "
                                               "selected=\"Y\"><Category Name=\"B\" selected=\"Y\"><Class Name=\"Y\" "
                                               "selected=\"Y\"/></Category></Class><Category Name=\"C\" "
                                               "selected=\"Y\"><Class Name=\"Z\" selected=\"Y\">");
    const std::string nodes = "CT A [1]\n  CL X [1]\n  CT B [1]\n    CL Y [1]\n  CT C [1]\n    CL Z [1]\n";
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    EXPECT_EQ(nodes, Dump(checkTree));
    EXPECT_EQ(1u, desktop.messages.size());
    ReadClassTree(machine, path, status);
    std::string mainNodes = "M Local Machine [0]\n" + nodes;
    for (size_t at = mainNodes.find("\n"); at + 1 < mainNodes.size(); at = mainNodes.find("\n", at + 1))
    {
        mainNodes.insert(at + 1, "  "); // one level deeper under the machine, and nothing checked
    }
    std::replace(mainNodes.begin(), mainNodes.end(), '1', '0');
    EXPECT_EQ(mainNodes, Dump(mainTree));
    EXPECT_EQ(1u, status.texts.size());
}

TEST_F(ClassViewTest, DeletingATreeTellsItsObserverOfTheTopNodesOnlyAndKeepsIt)
{
    struct Removals : Core::Controls::TreeObserver
    {
        void OnNodeInserted(TreeNode*) override {}
        void OnNodeRemoving(TreeNode* node) override { texts.push_back(node->GetText().GetBuffer()); }
        void OnNodeChanged(TreeNode*) override {}
        void OnNodeExpandedChanged(TreeNode*) override {}
        void OnNodeCheckChanged(TreeNode*) override {}
        std::vector<std::wstring> texts;
    } observer;
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(WriteConfig("config.xml", HandWritten));
    checkTree.SetObserver(&observer);
    TreeNodeCollection& processes = checkTree[0]->GetNodes();
    Config::DeleteNodes(processes);
    EXPECT_EQ(&observer, processes.GetObserver()); // still asks the root
    Config::DeleteNodes(checkTree);
    EXPECT_EQ((std::vector<std::wstring>{L"Win32_Thread", L"Win32_Process", L"Lower", L"Hidden", L"Processes"}),
              observer.texts);
    EXPECT_EQ(&observer, checkTree.GetObserver());
    checkTree.SetObserver(nullptr);
}

// --- namespaces ---

namespace
{

// A file as the options dialog writes it: declaration without encoding, tabs, CRLF between lines and none at the
// end, escaped attribute and text characters, UTF-8 beyond the BMP, empty elements, an unselected category holding
// a selected class, an unselected class keeping its chosen property, and a level mixing categories and classes.
const std::string WriterFormatted =
    "<?xml version=\"1.0\"?>\r\n"
    "<Categories>\r\n"
    "\t<Category Name=\"Caf\xC3\xA9 &amp; &quot;tools&quot; &lt;1&gt;\" selected=\"Y\">\r\n"
    "\t\t<Category Name=\"Processes\" selected=\"N\">\r\n"
    "\t\t\t<Class Name=\"Win32_Process\" selected=\"Y\">\r\n"
    "\t\t\t\t<Property>Name</Property>\r\n"
    "\t\t\t\t<Property>ProcessId</Property>\r\n"
    "\t\t\t\t<Filter>Name &lt;&gt; 'caf\xC3\xA9.exe' AND Caption = \"a\tb\"</Filter>\r\n"
    "\t\t\t</Class>\r\n"
    "\t\t\t<Class Name=\"Win32_Thread\" selected=\"N\">\r\n"
    "\t\t\t\t<Property>Handle</Property>\r\n"
    "\t\t\t</Class>\r\n"
    "\t\t</Category>\r\n"
    "\t\t<Class Name=\"Win32_Service\" selected=\"Y\">\r\n"
    "\t\t\t<Filter>StartMode = 'Auto'</Filter>\r\n"
    "\t\t</Class>\r\n"
    "\t</Category>\r\n"
    "\t<Category Name=\"Empty\" selected=\"N\" />\r\n"
    "\t<Category Name=\"Screens \xF0\x9F\x92\xBB\" selected=\"Y\">\r\n"
    "\t\t<Class Name=\"Win32_DesktopMonitor\" selected=\"Y\" />\r\n"
    "\t</Category>\r\n"
    "</Categories>";

// Classes of three namespaces, one of them spelled in capitals, and one class that names none.
const char* const Namespaced =
    "<?xml version=\"1.0\"?>\r\n"
    "<Categories>\r\n"
    "  <Category Name=\"Network\" selected=\"Y\">\r\n"
    "    <Class Name=\"MSNdis_80211_BSSIList\" selected=\"Y\" Namespace=\"root\\WMI\">\r\n"
    "      <Property>InstanceName</Property>\r\n"
    "      <Property>Active</Property>\r\n"
    "    </Class>\r\n"
    "    <Class Name=\"MSFT_NetAdapter\" selected=\"Y\" Namespace=\"root\\StandardCimv2\">\r\n"
    "      <Filter>Virtual = FALSE</Filter>\r\n"
    "    </Class>\r\n"
    "    <Class Name=\"Win32_NetworkAdapter\" selected=\"Y\" />\r\n"
    "    <Class Name=\"Win32_NetworkAdapterConfiguration\" selected=\"Y\" Namespace=\"ROOT\\CIMV2\" />\r\n"
    "    <Class Name=\"Win32_IP4RouteTable\" selected=\"Y\" Namespace=\"\" />\r\n"
    "  </Category>\r\n"
    "</Categories>\r\n";

} // namespace

// Files without namespaces are what every file was: the same trees, and saving gives back every byte.
TEST_F(ClassViewTest, AFileWithoutNamespacesIsReadAndSavedByteForByte)
{
    String path = WriteConfig("view.xml", WriterFormatted);
    ReadClassTree(machine, path, status);
    EXPECT_TRUE(status.texts.empty());
    // Dump shows a unit a byte: the two halves of the pair as their low bytes.
    const std::string screens = Narrow(String(L"Screens \U0001F4BB"));
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT Caf\xE9 & \"tools\" <1> [0]\n"
              "    CL Win32_Service [0] where StartMode = 'Auto'\n"
              "  CT " +
                  screens +
                  " [0]\n"
                  "    CL Win32_DesktopMonitor [0]\n",
              Dump(mainTree));
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    EXPECT_EQ("CT Caf\xE9 & \"tools\" <1> [1]\n"
              "  CT Processes [0]\n"
              "    CL Win32_Process [1] +Name +ProcessId where Name <> 'caf\xE9.exe' AND Caption = \"a\tb\"\n"
              "      PR Name [1]\n"
              "      PR ProcessId [1]\n"
              "    CL Win32_Thread [0] +Handle\n"
              "      PR Handle [0]\n"
              "  CL Win32_Service [1] where StartMode = 'Auto'\n"
              "CT Empty [0]\n"
              "CT " +
                  screens +
                  " [1]\n"
                  "  CL Win32_DesktopMonitor [1]\n",
              Dump(checkTree));
    editor.SetChangeFlags(Config::ClassViewChanged);
    ASSERT_TRUE(editor.SaveConfiguration(path));
    EXPECT_EQ(WriterFormatted, Testing::ReadFileBytes(path));
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ClassViewTest, TheNamespaceOfAClassReachesTheObjectOfItsNodeInTheMainTree)
{
    ReadClassTree(machine, WriteConfig("namespaced.xml", Namespaced), status);
    EXPECT_TRUE(status.texts.empty());
    EXPECT_EQ("M Local Machine [0]\n"
              "  CT Network [0]\n"
              "    CL MSNdis_80211_BSSIList [0] +InstanceName +Active in root\\WMI\n"
              "    CL MSFT_NetAdapter [0] where Virtual = FALSE in root\\StandardCimv2\n"
              "    CL Win32_NetworkAdapter [0]\n"
              "    CL Win32_NetworkAdapterConfiguration [0]\n"
              "    CL Win32_IP4RouteTable [0]\n",
              Dump(mainTree));
    TreeNodeCollection& classes = machine->GetNodes()[0]->GetNodes();
    // Bound to the machine's connection as every class is; where the class lives is the object's to say.
    for (int i = 0; i < classes.GetCount(); i++)
    {
        EXPECT_EQ(&connection, ClassObject(classes[i])->GetConnection()) << i;
    }
    EXPECT_STREQ(L"root\\WMI", ClassObject(classes[0])->GetNamespace().GetBuffer());
    EXPECT_STREQ(L"root\\cimv2", ClassObject(classes[2])->GetNamespace().GetBuffer());
    // As written, and the default all the same.
    EXPECT_STREQ(L"ROOT\\CIMV2", ClassObject(classes[3])->GetNamespace().GetBuffer());
    EXPECT_TRUE(ClassObject(classes[3])->IsInDefaultNamespace());
    // An empty attribute names no namespace.
    EXPECT_STREQ(L"root\\cimv2", ClassObject(classes[4])->GetNamespace().GetBuffer());
    EXPECT_EQ(L"Select InstanceName, Active from MSNdis_80211_BSSIList",
              std::wstring(ClassObject(classes[0])->GetQueryText().GetBuffer()));
}

TEST_F(ClassViewTest, TheCheckTreeKeepsTheNamespaceThroughEditsAndSavesItOnlyWhereItIsNotTheDefault)
{
    String path = WriteConfig("namespaced.xml", Namespaced);
    ClassViewEditor editor(checkTree, *options);
    editor.LoadCheckTree(path);
    EXPECT_EQ("CT Network [1]\n"
              "  CL MSNdis_80211_BSSIList [1] +InstanceName +Active in root\\WMI\n"
              "    PR InstanceName [1]\n"
              "    PR Active [1]\n"
              "  CL MSFT_NetAdapter [1] where Virtual = FALSE in root\\StandardCimv2\n"
              "  CL Win32_NetworkAdapter [1]\n"
              "  CL Win32_NetworkAdapterConfiguration [1]\n"
              "  CL Win32_IP4RouteTable [1]\n",
              Dump(checkTree));
    // Edits as the dialog makes them: a property unticked, a filter typed, a class unticked.
    TreeNode* bssi = checkTree[0]->GetNodes()[0];
    bssi->GetNodes()[1]->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(bssi->GetNodes()[1]);
    bssi->GetDataAs<WMI::ClassDefinition>()->SetFilter(String(L"Active = TRUE"));
    TreeNode* adapter = checkTree[0]->GetNodes()[1];
    adapter->SetCheckState(TreeNode::Unchecked);
    editor.OnAfterCheck(adapter);
    String saved = directory.File(L"saved.xml");
    ASSERT_TRUE(editor.SaveConfiguration(saved));
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n"
              "<Categories>\r\n"
              "\t<Category Name=\"Network\" selected=\"Y\">\r\n"
              "\t\t<Class Name=\"MSNdis_80211_BSSIList\" selected=\"Y\" Namespace=\"root\\WMI\">\r\n"
              "\t\t\t<Property>InstanceName</Property>\r\n"
              "\t\t\t<Filter>Active = TRUE</Filter>\r\n"
              "\t\t</Class>\r\n"
              "\t\t<Class Name=\"MSFT_NetAdapter\" selected=\"N\" Namespace=\"root\\StandardCimv2\">\r\n"
              "\t\t\t<Filter>Virtual = FALSE</Filter>\r\n"
              "\t\t</Class>\r\n"
              "\t\t<Class Name=\"Win32_NetworkAdapter\" selected=\"Y\" />\r\n"
              "\t\t<Class Name=\"Win32_NetworkAdapterConfiguration\" selected=\"Y\" />\r\n"
              "\t\t<Class Name=\"Win32_IP4RouteTable\" selected=\"Y\" />\r\n"
              "\t</Category>\r\n"
              "</Categories>",
              Testing::ReadFileBytes(saved));
    // And back: the saved file is the edited tree.
    TreeNodeCollection reloaded;
    ClassViewEditor again(reloaded, *options);
    again.LoadCheckTree(saved);
    EXPECT_EQ("CT Network [1]\n"
              "  CL MSNdis_80211_BSSIList [1] +InstanceName where Active = TRUE in root\\WMI\n"
              "    PR InstanceName [1]\n"
              "  CL MSFT_NetAdapter [0] where Virtual = FALSE in root\\StandardCimv2\n"
              "  CL Win32_NetworkAdapter [1]\n"
              "  CL Win32_NetworkAdapterConfiguration [1]\n"
              "  CL Win32_IP4RouteTable [1]\n",
              Dump(reloaded));
    EXPECT_TRUE(desktop.messages.empty());
}

// A namespace that is no namespace path below the machine is not guessed at: another namespace would show another
// class, and a machine's name would lead to another machine. The file stops there, as at other faulty content.
TEST_F(ClassViewTest, ANamespaceThatIsNoNamespacePathStopsTheReadingWhereItStands)
{
    const char* const values[] = {
        "\\\\server\\root\\cimv2", "\\root\\wmi", "root\\\\wmi", "root\\wmi\\",  "root/wmi", "//server/root",
        "winmgmts:root\\cimv2",    " root\\wmi",  "root\\wmi ",  "root&#x9;wmi", " "};
    for (const char* value : values)
    {
        std::string file =
            "<Categories>\r\n<Category Name=\"A\" selected=\"Y\">\r\n"
            "<Class Name=\"Before\" selected=\"Y\" />\r\n<Class Name=\"Odd\" selected=\"N\" Namespace=\"" +
            std::string(value) + "\" />\r\n<Class Name=\"After\" selected=\"Y\" />\r\n</Category>\r\n</Categories>";
        String path = WriteConfig("odd.xml", file);
        machine->GetNodes().Clear();
        status.texts.clear();
        ReadClassTree(machine, path, status);
        EXPECT_EQ("M Local Machine [0]\n"
                  "  CT A [0]\n"
                  "    CL Before [0]\n",
                  Dump(mainTree))
            << value;
        ASSERT_EQ(1u, status.texts.size()) << value;
        EXPECT_EQ(0u, status.texts[0].find(L"Configuration xml file is empty or has invalid structure (Class Odd has "
                                           L"a Namespace that is not a namespace path ('"))
            << value;
        EXPECT_NE(std::wstring::npos, status.texts[0].find(L"') at 4, 2)")) << value;

        desktop.messages.clear();
        TreeNodeCollection tree;
        ClassViewEditor editor(tree, *options);
        editor.LoadCheckTree(path);
        EXPECT_EQ("CT A [1]\n  CL Before [1]\n", Dump(tree)) << value;
        ASSERT_EQ(1u, desktop.messages.size()) << value;
        EXPECT_NE(std::wstring::npos, desktop.messages[0].text.find(L"Class Odd has a Namespace")) << value;
    }
}

// --- adding a class to the file ---

namespace
{

WMI::ClassDefinition Definition(const wchar_t* name, const wchar_t* nameSpace,
                                std::initializer_list<const wchar_t*> properties = {}, const wchar_t* filter = L"")
{
    WMI::ClassDefinition definition{String(name), 0};
    definition.SetNamespace(String(nameSpace));
    for (const wchar_t* property : properties)
    {
        definition.GetProperties().Add(WMI::PropertyInfo(String(property)));
    }
    definition.SetFilter(String(filter));
    return definition;
}

// WriterFormatted with the given lines inserted before the end of the document element.
std::string WriterFormattedWith(const std::string& lines)
{
    std::string text = WriterFormatted;
    return text.insert(text.rfind("</Categories>"), lines);
}

} // namespace

TEST_F(ClassViewTest, AnAddedClassGoesIntoItsCategoryAtTheEndAndEveryOtherByteStays)
{
    String path = WriteConfig("view.xml", WriterFormatted);
    void* owner = reinterpret_cast<void*>(0x4321);
    ASSERT_TRUE(Config::AddClassToClassView(
        path, Definition(L"MSNdis_80211_BSSIList", L"root\\wmi", {L"InstanceName", L"Active"}, L"Active = TRUE"),
        owner));
    const std::string first = "\t<Category Name=\"Added classes\" selected=\"Y\">\r\n"
                              "\t\t<Class Name=\"MSNdis_80211_BSSIList\" selected=\"Y\" Namespace=\"root\\wmi\">\r\n"
                              "\t\t\t<Property>InstanceName</Property>\r\n"
                              "\t\t\t<Property>Active</Property>\r\n"
                              "\t\t\t<Filter>Active = TRUE</Filter>\r\n"
                              "\t\t</Class>\r\n";
    EXPECT_EQ(WriterFormattedWith(first + "\t</Category>\r\n"), Testing::ReadFileBytes(path));
    // The next one joins it; a class of the default namespace names none.
    ASSERT_TRUE(Config::AddClassToClassView(path, Definition(L"Win32_Battery", L""), owner));
    ASSERT_TRUE(
        Config::AddClassToClassView(path, Definition(L"MSFT_Disk", L"root\\Microsoft\\Windows\\Storage"), owner));
    const std::string all = WriterFormattedWith(first + "\t\t<Class Name=\"Win32_Battery\" selected=\"Y\" />\r\n"
                                                        "\t\t<Class Name=\"MSFT_Disk\" selected=\"Y\" "
                                                        "Namespace=\"root\\Microsoft\\Windows\\Storage\" />\r\n"
                                                        "\t</Category>\r\n");
    EXPECT_EQ(all, Testing::ReadFileBytes(path));
    // The same class again, in other capitals, is there already: the file is not written.
    WIN32_FILE_ATTRIBUTE_DATA before = {};
    ASSERT_TRUE(GetFileAttributesExW(path.GetBuffer(), GetFileExInfoStandard, &before));
    // Read-only, so that a write would fail and say so.
    SetFileAttributesW(path.GetBuffer(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(
        Config::AddClassToClassView(path, Definition(L"msft_disk", L"ROOT\\microsoft\\windows\\storage"), owner));
    SetFileAttributesW(path.GetBuffer(), FILE_ATTRIBUTE_NORMAL);
    WIN32_FILE_ATTRIBUTE_DATA after = {};
    ASSERT_TRUE(GetFileAttributesExW(path.GetBuffer(), GetFileExInfoStandard, &after));
    EXPECT_EQ(0, CompareFileTime(&before.ftLastWriteTime, &after.ftLastWriteTime));
    EXPECT_EQ(all, Testing::ReadFileBytes(path));
    EXPECT_TRUE(desktop.messages.empty());
    // What the main tree makes of it.
    ReadClassTree(machine, path, status);
    ASSERT_EQ(3, machine->GetNodes().GetCount());
    std::string added;
    Dump(machine->GetNodes()[2]->GetNodes(), 0, added);
    EXPECT_EQ("CL MSNdis_80211_BSSIList [0] +InstanceName +Active where Active = TRUE in root\\wmi\n"
              "CL Win32_Battery [0]\n"
              "CL MSFT_Disk [0] in root\\Microsoft\\Windows\\Storage\n",
              added);
}

// The category and the class may be there already, unticked: adding shows them again, and nothing else changes.
TEST_F(ClassViewTest, AddingAClassTicksItsCategoryAndAnEqualClassInsteadOfAddingItTwice)
{
    const std::string hidden = "<Categories>\r\n"
                               "  <Category Name=\"Added classes\" selected=\"N\">\r\n"
                               "    <Class Name=\"Win32_Battery\" selected=\"N\" />\r\n"
                               "    <Class Name=\"MSNdis_X\" selected=\"N\" Namespace=\"root\\wmi\">\r\n"
                               "      <Property>Active</Property>\r\n"
                               "    </Class>\r\n"
                               "  </Category>\r\n"
                               "  <Category Name=\"Other\" selected=\"Y\" />\r\n"
                               "</Categories>\r\n";
    String path = WriteConfig("hidden.xml", hidden);
    // Another property list is another view of the class: added beside it.
    ASSERT_TRUE(Config::AddClassToClassView(path, Definition(L"MSNdis_X", L"root\\wmi"), nullptr));
    ASSERT_TRUE(Config::AddClassToClassView(path, Definition(L"MSNdis_X", L"root\\wmi", {L"Active"}), nullptr));
    EXPECT_EQ("<?xml version=\"1.0\"?>\r\n"
              "<Categories>\r\n"
              "\t<Category Name=\"Added classes\" selected=\"Y\">\r\n"
              "\t\t<Class Name=\"Win32_Battery\" selected=\"N\" />\r\n"
              "\t\t<Class Name=\"MSNdis_X\" selected=\"Y\" Namespace=\"root\\wmi\">\r\n"
              "\t\t\t<Property>Active</Property>\r\n"
              "\t\t</Class>\r\n"
              "\t\t<Class Name=\"MSNdis_X\" selected=\"Y\" Namespace=\"root\\wmi\" />\r\n"
              "\t</Category>\r\n"
              "\t<Category Name=\"Other\" selected=\"Y\" />\r\n"
              "</Categories>",
              Testing::ReadFileBytes(path));
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(ClassViewTest, AddingAClassToAMissingFileIsRefusedAndMakesNone)
{
    String path = directory.File(L"missing.xml");
    for (const String& target : {path, String()})
    {
        desktop.messages.clear();
        EXPECT_FALSE(
            Config::AddClassToClassView(target, Definition(L"MSNdis_X", L"root\\wmi"), reinterpret_cast<void*>(0x77)));
        ASSERT_EQ(1u, desktop.messages.size());
        EXPECT_EQ(Config::NoFileToAddToMessage, desktop.messages[0].text);
        EXPECT_EQ(L"Configuration file error", desktop.messages[0].caption);
        EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONWARNING), desktop.messages[0].style);
        EXPECT_EQ(reinterpret_cast<void*>(0x77), desktop.messages[0].owner);
    }
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(path + L".tmp"));
}

// Writing back what could be read would lose the rest of the file.
TEST_F(ClassViewTest, AddingAClassToAFileThatCannotBeReadToItsEndLeavesItAsItIs)
{
    const std::string broken = "<Categories><Category Name=\"A\" selected=\"Y\"></Oops>"
                               "<Category Name=\"Lost\" selected=\"Y\"/></Categories>";
    String path = WriteConfig("broken.xml", broken);
    EXPECT_FALSE(Config::AddClassToClassView(path, Definition(L"MSNdis_X", L"root\\wmi"), nullptr));
    EXPECT_EQ(broken, Testing::ReadFileBytes(path));
    EXPECT_FALSE(Exists(path + L".bak"));
    EXPECT_FALSE(Exists(path + L".tmp"));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(std::wstring(Config::PartlyReadNotAddedMessage) + L"\r\n\r\nTag mismatch at 1, 47",
              desktop.messages[0].text);
    EXPECT_EQ(L"Configuration file error", desktop.messages[0].caption);
}

TEST_F(ClassViewTest, AClassThatCannotBeWrittenLeavesTheFileAsItIs)
{
    String path = WriteConfig("view.xml", WriterFormatted);
    // The file is written beside the old one first; make that impossible.
    ASSERT_TRUE(CreateDirectoryW((path + L".tmp").GetBuffer(), nullptr));
    EXPECT_FALSE(Config::AddClassToClassView(path, Definition(L"MSNdis_X", L"root\\wmi"), nullptr));
    RemoveDirectoryW((path + L".tmp").GetBuffer());
    EXPECT_EQ(WriterFormatted, Testing::ReadFileBytes(path));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(0u, desktop.messages[0].text.find(Config::AddClassFailedMessage));
}

TEST_F(ClassViewTest, AClassWithoutANameIsRefusedBeforeTheFileIsRead)
{
    String path = WriteConfig("view.xml", WriterFormatted);
    EXPECT_THROW(Config::AddClassToClassView(path, Definition(L"", L"root\\wmi"), nullptr), Core::ArgumentException);
    EXPECT_THROW(Config::AddClassToClassView(directory.File(L"missing.xml"), Definition(L"", L""), nullptr),
                 Core::ArgumentException);
    EXPECT_EQ(WriterFormatted, Testing::ReadFileBytes(path));
    EXPECT_TRUE(desktop.messages.empty());
}
