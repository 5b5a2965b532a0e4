// The Open Class and Open Namespace dialogs as a person uses them: a path typed into the box and Enter.
#include "app/MainForm.h"
#include "app/PathForm.h"

#include "tests/app/ScriptedMainForm.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using namespace Core::Controls;
using Core::String;

namespace
{

using namespace AppTesting;

class PathFormTest : public ScriptedMainFormTest
{
protected:
    // Runs the command; once its dialog shows, types text into its box and presses Enter.
    void Answer(int command, const wchar_t* text)
    {
        WhenVisible(L"Quarrow.PathForm",
                    [text](HWND dialog)
                    {
                        auto* dialogForm = dynamic_cast<Quarrow::PathForm*>(Control::FromHandle(dialog));
                        ASSERT_NE(nullptr, dialogForm);
                        Testing::TypeText(dialogForm->GetPathBox().GetHandle(), text);
                        Testing::PressKey(dialogForm->GetPathBox(), VK_RETURN);
                    });
        form->RunCommand(command);
    }
};

} // namespace

// A class path typed with blanks around it opens the class under its namespace, selects it, and it loads.
TEST_F(PathFormTest, AValidClassPathOpensTheClass)
{
    Start();
    Answer(Quarrow::Command::OpenClass, L"  root\\wmi:MSSMBios_RawSMBiosTables ");
    ASSERT_TRUE(Testing::PumpUntil([&] { return form->GetCurrentClass() != nullptr; }));
    Settle();
    TreeNode* selected = Tree().GetSelectedNode();
    ASSERT_NE(nullptr, selected);
    EXPECT_EQ(L"MSSMBios_RawSMBiosTables", W(selected->GetText()));
    EXPECT_EQ(L"wmi", W(selected->GetParent()->GetText()));
    EXPECT_EQ(L"Loading completed. 3 records", Status(0));
    EXPECT_TRUE(desktop.messages.empty());
}

// A namespace path opens and lists the namespace.
TEST_F(PathFormTest, AValidNamespacePathOpensTheNamespace)
{
    Start();
    Answer(Quarrow::Command::OpenNamespace, L"root\\Microsoft\\Windows\\Storage");
    ASSERT_TRUE(Testing::PumpUntil(
        [&]
        {
            return Tree().GetSelectedNode() != nullptr &&
                   Find(Tree().GetSelectedNode()->GetNodes(), {L"MSFT_Disk"}) != nullptr;
        }));
    EXPECT_EQ(L"Storage", W(Tree().GetSelectedNode()->GetText()));
    EXPECT_TRUE(desktop.messages.empty());
}

// What is no path of the kind asked for is refused with an example of one, and nothing is opened or asked.
TEST_F(PathFormTest, AnInvalidPathIsRefusedWithItsMessage)
{
    Start();
    int connects = static_cast<int>(provider->connects.size());
    for (const wchar_t* path : {L"wmi", L"root\\wmi", L"root\\wmi:", L"cimv2:Win32_Process"})
    {
        desktop.messages.clear();
        Answer(Quarrow::Command::OpenClass, path);
        ASSERT_EQ(1u, desktop.messages.size()) << path;
        EXPECT_EQ(L"Type a class path such as root\\wmi:MSSMBios_RawSMBiosTables.", desktop.messages[0].text) << path;
        EXPECT_EQ(L"Error", desktop.messages[0].caption);
    }
    desktop.messages.clear();
    Answer(Quarrow::Command::OpenNamespace, L"root\\wmi:WmiEvent");
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Type a namespace path such as root\\wmi.", desktop.messages[0].text);
    Testing::PumpMessages();
    EXPECT_EQ(connects, static_cast<int>(provider->connects.size()));
    EXPECT_EQ(nullptr, form->GetCurrentClass());
}
