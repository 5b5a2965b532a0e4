// The Metadata page with what a class's qualifiers say, over the scripted provider: descriptions in the user's
// locale with English where it has none, key/read/write marks, value names, the class's own description, the MOF
// page; and a machine without any of them (Wine's kind), which shows the page as it always was.
#include "app/MainForm.h"

#include "tests/app/ScriptedMainForm.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

#include <wbemidl.h>

using namespace Core::Controls;
using Core::String;
using ScriptedWmi::Value;

namespace
{

using namespace AppTesting;

class ClassMetadataTest : public ScriptedMainFormTest
{
protected:
    void SetUp() override
    {
        ScriptedMainFormTest::SetUp();
        ScriptedWmi::ClassScript& service = provider->AddClass(L"Win32_Service", {{L"Name", CIM_STRING},
                                                                                  {L"State", CIM_UINT32},
                                                                                  {L"Access", CIM_UINT32},
                                                                                  {L"Started", CIM_BOOLEAN},
                                                                                  {L"InstallDate", CIM_DATETIME}});
        service.Amend(L"MS_409", L"", L"Description", Value::Text(L"A Windows service."));
        service.Amend(L"MS_407", L"", L"Description", Value::Text(L"Ein Windows-Dienst."));
        service.SetKeys({L"Name"});
        service.Qualify(L"Name", L"read", Value::Bool(true));
        service.Amend(L"MS_409", L"Name", L"Description", Value::Text(L"The name of the service."));
        service.Amend(L"MS_407", L"Name", L"Description", Value::Text(L"Der Name des Dienstes."));
        service.Qualify(L"State", L"read", Value::Bool(true));
        service.Qualify(L"State", L"ValueMap", Value::Strings({L"1", L"2", L"0x10"}));
        service.Amend(L"MS_409", L"State", L"Values", Value::Strings({L"Stopped", L"Running", L"Sixteen"}));
        // German has no description of State: English stands in.
        service.Amend(L"MS_409", L"State", L"Description", Value::Text(L"Current state."));
        service.Qualify(L"Access", L"BitMap", Value::Strings({L"0", L"3"}));
        service.Amend(L"MS_409", L"Access", L"BitValues", Value::Strings({L"Read", L"Execute"}));
        service.Qualify(L"Started", L"read", Value::Bool(true));
        service.Qualify(L"Started", L"write", Value::Bool(true));
        service.Amend(L"MS_407", L"Started", L"Description", Value::Text(L"Ob er läuft."));
        service.instances.push_back(ScriptedWmi::Instance{{{L"Name", Value::Text(L"Spooler")},
                                                           {L"State", Value::UInt32(2)},
                                                           {L"Access", Value::UInt32(9)},
                                                           {L"Started", Value::Bool(true)},
                                                           {L"InstallDate", Value::Null()}}});
    }

    // Started with the local machine's connection in the locale given.
    void StartIn(const wchar_t* locale)
    {
        Start();
        WMI::ManagementConnection* local = form->GetConnections()[0];
        local->SetLocale(String(locale));
        local->Connect(String(), String(), String(), String());
    }
    TreeNode* Service()
    {
        return Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Services", L"Win32_Service"});
    }
    TreeNode* Process()
    {
        return Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"});
    }
    // Selects the class and waits for its load and its texts.
    void Show(TreeNode* node)
    {
        ASSERT_NE(nullptr, node);
        Tree().SetSelectedNode(node);
        Settle();
        ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().GetMetadata().IsReading(); }));
    }
    Grid& Metadata() { return form->GetMetadataGrid(); }
    // The Metadata row of a property, by its name.
    std::vector<std::wstring> Row(const wchar_t* name)
    {
        for (int r = 0; r < Metadata().GetRowCount(); r++)
        {
            if (W(Metadata().GetCellText(r, 0)) == name)
            {
                std::vector<std::wstring> cells;
                for (int c = 0; c < Metadata().GetColumns().GetCount(); c++)
                {
                    cells.push_back(W(Metadata().GetCellText(r, c)));
                }
                return cells;
            }
        }
        return {};
    }
    int AmendedReads()
    {
        int reads = 0;
        std::lock_guard<std::mutex> guard(provider->logLock);
        for (LONG flags : provider->getObjectFlags)
        {
            reads += (flags & WBEM_FLAG_USE_AMENDED_QUALIFIERS) != 0 ? 1 : 0;
        }
        return reads;
    }
};

} // namespace

// In German: the German texts, English where German has none; the marks and the value names of every kind beside the
// name and type, which stay the first two columns as they were. The texts are read on a worker.
TEST_F(ClassMetadataTest, TheGridShowsDescriptionsMarksAndValueNamesInTheUsersLocale)
{
    DWORD mainThread = GetCurrentThreadId();
    std::atomic<bool> readOnMainThread{false};
    provider->onGetObject = [&]
    {
        if (GetCurrentThreadId() == mainThread)
        {
            readOnMainThread = true;
        }
    };
    StartIn(L"MS_407");
    Show(Service());
    EXPECT_FALSE(readOnMainThread) << "a class's texts were read on the window thread";
    EXPECT_EQ(1, AmendedReads() > 0 ? 1 : 0);
    ASSERT_EQ(5, Metadata().GetColumns().GetCount());
    EXPECT_EQ(L"Property Name", W(Metadata().GetHeaderText(0)));
    EXPECT_EQ(L"Property Type", W(Metadata().GetHeaderText(1)));
    EXPECT_EQ(L"Description", W(Metadata().GetHeaderText(2)));
    EXPECT_EQ(L"Marks", W(Metadata().GetHeaderText(3)));
    EXPECT_EQ(L"Value Names", W(Metadata().GetHeaderText(4)));
    EXPECT_EQ(300, Metadata().GetColumnWidth(0));
    EXPECT_EQ(150, Metadata().GetColumnWidth(1));
    EXPECT_EQ((std::vector<std::wstring>{L"Name", L"string", L"Der Name des Dienstes.", L"Key, Read", L""}),
              Row(L"Name"));
    EXPECT_EQ((std::vector<std::wstring>{L"State", L"unsigned int32", L"Current state.", L"Read",
                                         L"1 = Stopped, 2 = Running, 0x10 = Sixteen"}),
              Row(L"State"));
    EXPECT_EQ((std::vector<std::wstring>{L"Access", L"unsigned int32", L"", L"", L"bit 0 = Read, bit 3 = Execute"}),
              Row(L"Access"));
    EXPECT_EQ((std::vector<std::wstring>{L"Started", L"bool", L"Ob er läuft.", L"Read, Write", L""}), Row(L"Started"));
    EXPECT_EQ(L"Win32_Service", W(form->GetClassLabel().GetText()));
    Label& description = form->GetClassView().GetMetadata().GetDescriptionLabel();
    EXPECT_EQ(L"Ein Windows-Dienst.", W(description.GetText()));
    EXPECT_GT(description.GetBounds().height, 0) << "the class's description has room under its name";
    EXPECT_TRUE(desktop.messages.empty());
}

// The MOF page holds the class's declaration with its texts, to read and copy, not to edit.
TEST_F(ClassMetadataTest, TheMofPageShowsTheClassDeclarationReadOnly)
{
    StartIn(L"MS_409");
    Show(Service());
    TabView& pages = form->GetTabView();
    ASSERT_EQ(3, pages.GetPages().GetCount());
    EXPECT_EQ(L"MOF", W(pages.GetPages()[2]->GetTitle()));
    pages.ShowPage(2);
    TextArea& mof = form->GetClassView().GetMetadata().GetMofText();
    EXPECT_TRUE(mof.IsVisible());
    EXPECT_TRUE(mof.GetReadOnly());
    std::wstring text = W(mof.GetText());
    EXPECT_NE(std::wstring::npos, text.find(L"class Win32_Service")) << text;
    EXPECT_NE(std::wstring::npos, text.find(L"A Windows service.")) << text;
    mof.Focus();
    Testing::TypeText(mof.GetHandle(), L"x");
    EXPECT_EQ(text, W(mof.GetText())) << "the MOF text was edited";
}

// A class without texts (as every class on Wine): the grid keeps its two columns, the description takes no room,
// and nothing is said of it.
TEST_F(ClassMetadataTest, AClassWithoutTextsShowsThePageAsBefore)
{
    StartIn(L"MS_409");
    Show(Service());
    ASSERT_EQ(5, Metadata().GetColumns().GetCount());
    Show(Process());
    EXPECT_EQ(2, Metadata().GetColumns().GetCount()) << "the columns of the class before stayed";
    EXPECT_EQ(300, Metadata().GetColumnWidth(0));
    ASSERT_EQ(2, Metadata().GetRowCount());
    EXPECT_EQ(L"ProcessId", W(Metadata().GetCellText(1, 0)));
    EXPECT_EQ(L"unsigned int32", W(Metadata().GetCellText(1, 1)));
    Label& description = form->GetClassView().GetMetadata().GetDescriptionLabel();
    EXPECT_EQ(L"", W(description.GetText()));
    EXPECT_EQ(0, description.GetBounds().height);
    EXPECT_TRUE(desktop.messages.empty());
}

// Texts read once are kept with the class: selecting it again asks nothing, a refresh reads them again.
TEST_F(ClassMetadataTest, TheTextsAreKeptUntilARefresh)
{
    StartIn(L"MS_409");
    Show(Service());
    int reads = AmendedReads();
    ASSERT_GT(reads, 0);
    Show(Process());
    Show(Service());
    EXPECT_EQ(reads + 1, AmendedReads()) << "only Win32_Process was read";
    EXPECT_EQ(L"A Windows service.", W(form->GetClassView().GetMetadata().GetDescriptionLabel().GetText()));
    EXPECT_EQ(L"Current state.", Row(L"State").at(2));
    form->RunCommand(Quarrow::Command::Refresh);
    Settle();
    ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().GetMetadata().IsReading(); }));
    EXPECT_EQ(reads + 2, AmendedReads());
    EXPECT_EQ(L"Current state.", Row(L"State").at(2));
}

namespace
{

class WineClassMetadataTest : public ScriptedMainFormTest
{
protected:
    WineClassMetadataTest() { scripted = false; }
};

} // namespace

// Wine's WMI keeps no texts: Win32_Process's Metadata page is the name and type columns alone, as before, its MOF
// page says quietly that there is none, and no message comes.
TEST_F(WineClassMetadataTest, WinesClassesShowTheMetadataPageAsBefore)
{
    Start();
    TreeNode* node = Find(Tree().GetNodes(), {L"Local Machine", L"Operating System", L"Processes", L"Win32_Process"});
    ASSERT_NE(nullptr, node);
    Tree().SetSelectedNode(node);
    Settle();
    ASSERT_TRUE(Testing::PumpUntil([&] { return !form->GetClassView().GetMetadata().IsReading(); }));
    Grid& metadata = form->GetMetadataGrid();
    EXPECT_EQ(2, metadata.GetColumns().GetCount());
    EXPECT_GT(metadata.GetRowCount(), 3);
    EXPECT_EQ(L"", W(form->GetClassView().GetMetadata().GetDescriptionLabel().GetText()));
    EXPECT_EQ(L"This machine gives no MOF text for the class.",
              W(form->GetClassView().GetMetadata().GetMofText().GetText()));
    EXPECT_TRUE(desktop.messages.empty());
}
