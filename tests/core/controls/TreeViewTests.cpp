#include "core/controls/Form.h"
#include "core/controls/ImageList.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"
#include "core/controls/TreeView.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::CancelEventArgs;
using Core::MemberEventHandler;
using Core::Object;
using Core::String;
using Rect = Core::Controls::Rectangle;

namespace
{

// Records the tree's events and vetoes selections when told to.
class Recorder
{
public:
    std::vector<std::wstring> log;
    TreeNode* veto = nullptr;
    bool vetoAll = false;
    // Children added to an expandable node when it is first expanded.
    int childrenToLoad = 0;

    void OnBeforeSelect(Object*, TreeViewCancelEventArgs& args)
    {
        log.push_back(L"before " + Name(args.GetNode()));
        args.SetCancel(vetoAll || args.GetNode() == veto);
    }
    void OnAfterSelect(Object*, TreeViewEventArgs& args) { log.push_back(L"after " + Name(args.GetNode())); }
    void OnAfterCheck(Object*, TreeViewEventArgs& args)
    {
        log.push_back(L"check " + Name(args.GetNode()) + L" " + std::to_wstring(args.GetNode()->GetCheckState()));
    }
    void OnBeforeExpand(Object*, TreeViewCancelEventArgs& args)
    {
        TreeNode* node = args.GetNode();
        log.push_back(L"expand " + Name(node));
        if (node->GetNodes().GetCount() == 0)
        {
            for (int i = 0; i < childrenToLoad; i++)
            {
                node->GetNodes().Add(new TreeNode(String(L"Loaded") + i));
            }
        }
    }
    static std::wstring Name(TreeNode* node) { return node != nullptr ? node->GetText().GetBuffer() : L"(none)"; }
};

class TreeViewTest : public testing::Test
{
protected:
    TreeViewTest()
        : beforeSelect(&recorder, &Recorder::OnBeforeSelect), afterSelect(&recorder, &Recorder::OnAfterSelect),
          afterCheck(&recorder, &Recorder::OnAfterCheck), beforeExpand(&recorder, &Recorder::OnBeforeExpand)
    {
    }
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(300, 240);
        tree.SetBounds(0, 0, 300, 240);
        form.GetControls().Add(&tree);
        tree.BeforeSelect.Subscribe(&beforeSelect);
        tree.AfterSelect.Subscribe(&afterSelect);
        tree.AfterCheck.Subscribe(&afterCheck);
        tree.BeforeExpand.Subscribe(&beforeExpand);
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    void ShowAndFocus()
    {
        form.Show();
        tree.Focus();
        Testing::PumpMessages();
    }
    // Machine > two categories with three classes each, the first category expanded.
    void BuildCatalogue()
    {
        machine = new TreeNode(String(L"Local Machine"));
        hardware = new TreeNode(String(L"Hardware"));
        software = new TreeNode(String(L"Software"));
        const wchar_t* hardwareClasses[] = {L"Win32_Fan", L"Win32_Keyboard", L"Win32_Processor"};
        const wchar_t* softwareClasses[] = {L"Win32_Process", L"Win32_Service", L"Win32_Thread"};
        for (const wchar_t* name : hardwareClasses)
        {
            hardware->GetNodes().Add(new TreeNode(String(name)));
        }
        for (const wchar_t* name : softwareClasses)
        {
            software->GetNodes().Add(new TreeNode(String(name)));
        }
        machine->GetNodes().Add(hardware);
        machine->GetNodes().Add(software);
        machine->Expand();
        hardware->Expand();
        tree.GetNodes().Add(machine);
    }
    Point Center(const Rect& r) const { return Point{r.left + r.width / 2, r.top + r.height / 2}; }
    void ClickAt(const Point& point) { Testing::Click(tree, point.x, point.y); }
    void DoubleClickAt(const Point& point)
    {
        LPARAM position = MAKELPARAM(point.x, point.y);
        SendMessageW(tree.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, position);
        SendMessageW(tree.GetHandle(), WM_LBUTTONUP, 0, position);
        SendMessageW(tree.GetHandle(), WM_LBUTTONDBLCLK, MK_LBUTTON, position);
        SendMessageW(tree.GetHandle(), WM_LBUTTONUP, 0, position);
    }
    std::wstring Selected() const { return Recorder::Name(tree.GetSelectedNode()); }

    Form form;
    TreeView tree;
    Recorder recorder;
    MemberEventHandler<Recorder, TreeViewCancelEventArgs> beforeSelect;
    MemberEventHandler<Recorder, TreeViewEventArgs> afterSelect;
    MemberEventHandler<Recorder, TreeViewEventArgs> afterCheck;
    MemberEventHandler<Recorder, TreeViewCancelEventArgs> beforeExpand;
    TreeNode* machine = nullptr;
    TreeNode* hardware = nullptr;
    TreeNode* software = nullptr;
};

} // namespace

// --- Selection ---

TEST_F(TreeViewTest, AClickSelectsTheNodeAndRaisesBeforeAndAfterSelect)
{
    BuildCatalogue();
    ShowAndFocus();
    TreeNode* fan = hardware->GetNodes()[0];
    ClickAt(Center(tree.GetPartBounds(fan, TreeViewHitArea::Text)));
    EXPECT_EQ(fan, tree.GetSelectedNode());
    EXPECT_EQ((std::vector<std::wstring>{L"before Win32_Fan", L"after Win32_Fan"}), recorder.log);
    // A click on the selected node changes nothing and raises no selection event: it says it was clicked again.
    Core::MemberEventHandler<Recorder, TreeViewEventArgs> again(&recorder, &Recorder::OnAfterSelect);
    tree.SelectedNodeClick.Subscribe(&again);
    ClickAt(Center(tree.GetPartBounds(fan, TreeViewHitArea::Text)));
    EXPECT_EQ(fan, tree.GetSelectedNode());
    EXPECT_EQ((std::vector<std::wstring>{L"before Win32_Fan", L"after Win32_Fan", L"after Win32_Fan"}), recorder.log);
    // A click on another node selects it as before.
    ClickAt(Center(tree.GetPartBounds(software, TreeViewHitArea::Text)));
    EXPECT_EQ((std::vector<std::wstring>{L"before Win32_Fan", L"after Win32_Fan", L"after Win32_Fan",
                                         L"before Software", L"after Software"}),
              recorder.log);
    tree.SelectedNodeClick.Unsubscribe(&again);
}

TEST_F(TreeViewTest, ABeforeSelectVetoKeepsThePreviousNodeForMouseAndKeyboard)
{
    BuildCatalogue();
    ShowAndFocus();
    TreeNode* fan = hardware->GetNodes()[0];
    TreeNode* keyboard = hardware->GetNodes()[1];
    ASSERT_TRUE(tree.SetSelectedNode(fan));
    recorder.log.clear();
    recorder.veto = keyboard;
    ClickAt(Center(tree.GetPartBounds(keyboard, TreeViewHitArea::Text)));
    EXPECT_EQ(fan, tree.GetSelectedNode());
    Testing::PressKey(tree, Keys::Down);
    EXPECT_EQ(fan, tree.GetSelectedNode());
    EXPECT_FALSE(tree.SetSelectedNode(keyboard));
    EXPECT_EQ(fan, tree.GetSelectedNode());
    // Asked three times, never told of a change.
    EXPECT_EQ((std::vector<std::wstring>{L"before Win32_Keyboard", L"before Win32_Keyboard", L"before Win32_Keyboard"}),
              recorder.log);
    // The picture still shows the old node highlighted.
    Testing::Picture picture = Testing::Render(tree);
    Rect fanText = tree.GetPartBounds(fan, TreeViewHitArea::Text);
    Rect keyboardText = tree.GetPartBounds(keyboard, TreeViewHitArea::Text);
    EXPECT_GT(picture.CountIn(Theme::Highlight(), fanText.left, fanText.top, fanText.width, fanText.height), 20);
    EXPECT_EQ(0, picture.CountIn(Theme::Highlight(), keyboardText.left, keyboardText.top, keyboardText.width,
                                 keyboardText.height));
}

// While the focus is in the tree's companion (its find strip's box, which works the tree from the keyboard), the
// selected node shows as when the tree has the focus, in the system's selection colours, without the focus frame;
// once the focus is elsewhere the tree repaints it as an inactive selection.
TEST_F(TreeViewTest, TheSelectionShowsAsFocusedWhileTheCompanionHasTheKeyboard)
{
    TextBox find;
    TextBox elsewhere;
    find.SetBounds(0, 0, 100, 20);
    elsewhere.SetBounds(100, 0, 100, 20);
    form.GetControls().Add(&find);
    form.GetControls().Add(&elsewhere);
    tree.SetFocusCompanion(&find);
    BuildCatalogue();
    ShowAndFocus();
    TreeNode* fan = hardware->GetNodes()[0];
    ASSERT_TRUE(tree.SetSelectedNode(fan));
    Rect text = tree.GetPartBounds(fan, TreeViewHitArea::Text);
    auto count = [&](const Testing::Picture& picture, Color color)
    { return picture.CountIn(color, text.left, text.top, text.width, text.height); };

    find.Focus();
    Testing::Picture companion = Testing::Render(tree);
    EXPECT_GT(count(companion, Theme::Highlight()), text.width * text.height / 2);
    EXPECT_GT(count(companion, Theme::HighlightText()), 5) << "the text in the selection's text colour";

    UpdateWindow(static_cast<HWND>(tree.GetHandle()));
    elsewhere.Focus();
    EXPECT_TRUE(GetUpdateRect(static_cast<HWND>(tree.GetHandle()), nullptr, FALSE)) << "the selection is repainted";
    Testing::Picture inactive = Testing::Render(tree);
    EXPECT_EQ(0, count(inactive, Theme::Highlight()));
    EXPECT_GT(count(inactive, Theme::Face()), text.width * text.height / 2);

    // Without a companion its focus means nothing to the tree.
    tree.SetFocusCompanion(nullptr);
    find.Focus();
    EXPECT_EQ(0, count(Testing::Render(tree), Theme::Highlight()));
}

TEST_F(TreeViewTest, ArrowsHomeEndAndPagesMoveOverTheVisibleNodes)
{
    BuildCatalogue();
    ShowAndFocus();
    // Visible: Local Machine, Hardware, Fan, Keyboard, Processor, Software (collapsed).
    ASSERT_EQ(6, tree.GetVisibleCount());
    Testing::PressKey(tree, Keys::Down);
    EXPECT_EQ(L"Local Machine", Selected());
    Testing::PressKey(tree, Keys::Down);
    Testing::PressKey(tree, Keys::Down);
    EXPECT_EQ(L"Win32_Fan", Selected());
    Testing::PressKey(tree, Keys::Up);
    EXPECT_EQ(L"Hardware", Selected());
    Testing::PressKey(tree, Keys::End);
    EXPECT_EQ(L"Software", Selected());
    Testing::PressKey(tree, Keys::Down);
    EXPECT_EQ(L"Software", Selected());
    Testing::PressKey(tree, Keys::Home);
    EXPECT_EQ(L"Local Machine", Selected());
    Testing::PressKey(tree, Keys::PageDown);
    EXPECT_EQ(L"Software", Selected()) << "a page holds more rows than the tree has";
    Testing::PressKey(tree, Keys::PageUp);
    EXPECT_EQ(L"Local Machine", Selected());
}

TEST_F(TreeViewTest, LeftAndRightCollapseExpandAndMoveBetweenParentAndChild)
{
    BuildCatalogue();
    ShowAndFocus();
    tree.SetSelectedNode(hardware->GetNodes()[1]);
    Testing::PressKey(tree, Keys::Left);
    EXPECT_EQ(L"Hardware", Selected());
    EXPECT_TRUE(hardware->IsExpanded());
    Testing::PressKey(tree, Keys::Left);
    EXPECT_FALSE(hardware->IsExpanded());
    EXPECT_EQ(3, tree.GetVisibleCount());
    Testing::PressKey(tree, Keys::Right);
    EXPECT_TRUE(hardware->IsExpanded());
    EXPECT_EQ(L"Hardware", Selected());
    Testing::PressKey(tree, Keys::Right);
    EXPECT_EQ(L"Win32_Fan", Selected());
    // A leaf has nothing to open: Right stays.
    Testing::PressKey(tree, Keys::Right);
    EXPECT_EQ(L"Win32_Fan", Selected());
}

TEST_F(TreeViewTest, SelectingAHiddenNodeOpensItsAncestorsAndScrollsToIt)
{
    BuildCatalogue();
    for (int i = 0; i < 40; i++)
    {
        software->GetNodes().Add(new TreeNode(String(L"Extra") + i));
    }
    ShowAndFocus();
    TreeNode* last = software->GetLastNode();
    ASSERT_EQ(-1, tree.GetVisibleRow(last));
    ASSERT_TRUE(tree.SetSelectedNode(last));
    EXPECT_TRUE(software->IsExpanded());
    Rect row = tree.GetRowBounds(last);
    Rect client = tree.GetClientRectangle();
    EXPECT_GE(row.top, 0);
    EXPECT_LE(row.GetBottom(), client.height);
    EXPECT_EQ(last, tree.GetNodeAt(Center(row)));
}

TEST_F(TreeViewTest, RemovingTheSelectedNodeOrAnAncestorClearsTheSelection)
{
    BuildCatalogue();
    ShowAndFocus();
    tree.SetSelectedNode(software->GetNodes()[2]);
    machine->GetNodes().Remove(software);
    EXPECT_EQ(nullptr, tree.GetSelectedNode());
    EXPECT_EQ(5, tree.GetVisibleCount());
    // A node of another tree cannot be selected.
    TreeNode stranger(String(L"Stranger"));
    EXPECT_THROW(tree.SetSelectedNode(&stranger), Core::ArgumentException);
}

// --- Expansion ---

TEST_F(TreeViewTest, TheGlyphAndADoubleClickExpandAndCollapse)
{
    BuildCatalogue();
    ShowAndFocus();
    ClickAt(Center(tree.GetPartBounds(software, TreeViewHitArea::Glyph)));
    EXPECT_TRUE(software->IsExpanded());
    EXPECT_EQ(9, tree.GetVisibleCount());
    EXPECT_EQ(nullptr, tree.GetSelectedNode()) << "the glyph does not select";
    ClickAt(Center(tree.GetPartBounds(software, TreeViewHitArea::Glyph)));
    EXPECT_FALSE(software->IsExpanded());
    DoubleClickAt(Center(tree.GetPartBounds(hardware, TreeViewHitArea::Text)));
    EXPECT_FALSE(hardware->IsExpanded());
    EXPECT_EQ(hardware, tree.GetSelectedNode());
    DoubleClickAt(Center(tree.GetPartBounds(hardware, TreeViewHitArea::Text)));
    EXPECT_TRUE(hardware->IsExpanded());
}

TEST_F(TreeViewTest, PlusMinusAndStarExpandCollapseAndExpandTheWholeBranch)
{
    BuildCatalogue();
    TreeNode* deep = software->GetNodes()[0];
    deep->GetNodes().Add(new TreeNode(String(L"Handle")));
    machine->Collapse();
    ShowAndFocus();
    tree.SetSelectedNode(machine);
    machine->Collapse();
    ASSERT_EQ(1, tree.GetVisibleCount());
    Testing::PressKey(tree, VK_ADD);
    EXPECT_TRUE(machine->IsExpanded());
    Testing::PressKey(tree, VK_SUBTRACT);
    EXPECT_FALSE(machine->IsExpanded());
    // The characters of the main keyboard do the same.
    Testing::TypeText(tree.GetHandle(), L"+");
    EXPECT_TRUE(machine->IsExpanded());
    Testing::TypeText(tree.GetHandle(), L"-");
    EXPECT_FALSE(machine->IsExpanded());
    Testing::PressKey(tree, VK_MULTIPLY);
    EXPECT_TRUE(machine->IsExpanded());
    EXPECT_TRUE(software->IsExpanded());
    EXPECT_TRUE(deep->IsExpanded());
    EXPECT_EQ(10, tree.GetVisibleCount());
    EXPECT_EQ(L"Local Machine", Selected());
}

TEST_F(TreeViewTest, CollapsingAboveTheSelectionSelectsTheCollapsedNode)
{
    BuildCatalogue();
    ShowAndFocus();
    tree.SetSelectedNode(hardware->GetNodes()[2]);
    recorder.log.clear();
    ClickAt(Center(tree.GetPartBounds(machine, TreeViewHitArea::Glyph)));
    EXPECT_EQ(machine, tree.GetSelectedNode());
    EXPECT_EQ((std::vector<std::wstring>{L"before Local Machine", L"after Local Machine"}), recorder.log);
}

TEST_F(TreeViewTest, AnExpandableNodeLoadsItsChildrenWhenFirstExpanded)
{
    BuildCatalogue();
    TreeNode* lazy = hardware->GetNodes()[0];
    lazy->SetExpandable(true);
    ShowAndFocus();
    ASSERT_TRUE(lazy->CanExpand());
    recorder.childrenToLoad = 3;
    ClickAt(Center(tree.GetPartBounds(lazy, TreeViewHitArea::Glyph)));
    EXPECT_TRUE(lazy->IsExpanded());
    EXPECT_EQ(3, lazy->GetNodes().GetCount());
    EXPECT_EQ(L"Loaded0", Recorder::Name(tree.GetVisibleNode(tree.GetVisibleRow(lazy) + 1)));
    // A second one whose loading finds nothing loses its glyph.
    TreeNode* empty = hardware->GetNodes()[1];
    empty->SetExpandable(true);
    recorder.childrenToLoad = 0;
    tree.SetSelectedNode(empty);
    Testing::PressKey(tree, Keys::Right);
    EXPECT_FALSE(empty->IsExpanded());
    EXPECT_FALSE(empty->CanExpand());
    EXPECT_EQ((std::vector<std::wstring>{L"expand Win32_Fan", L"before Win32_Keyboard", L"after Win32_Keyboard",
                                         L"expand Win32_Keyboard"}),
              recorder.log);
}

// --- Check boxes ---

TEST_F(TreeViewTest, ClickingACheckBoxCyclesCheckedAndUncheckedAndRaisesAfterCheck)
{
    BuildCatalogue();
    tree.SetCheckBoxes(true);
    TreeNode* fan = hardware->GetNodes()[0];
    hardware->SetCheckState(TreeNode::PartlyChecked);
    ShowAndFocus();
    recorder.log.clear();
    ClickAt(Center(tree.GetPartBounds(fan, TreeViewHitArea::CheckBox)));
    EXPECT_EQ(TreeNode::Checked, fan->GetCheckState());
    ClickAt(Center(tree.GetPartBounds(fan, TreeViewHitArea::CheckBox)));
    EXPECT_EQ(TreeNode::Unchecked, fan->GetCheckState());
    // A partly checked node becomes checked.
    ClickAt(Center(tree.GetPartBounds(hardware, TreeViewHitArea::CheckBox)));
    EXPECT_EQ(TreeNode::Checked, hardware->GetCheckState());
    EXPECT_EQ(nullptr, tree.GetSelectedNode()) << "the box does not select";
    tree.SetSelectedNode(software);
    recorder.log.clear();
    Testing::PressKey(tree, Keys::Space);
    EXPECT_EQ(TreeNode::Checked, software->GetCheckState());
    EXPECT_EQ((std::vector<std::wstring>{L"check Software 1"}), recorder.log);
}

TEST_F(TreeViewTest, CheckBoxesShowTheirThreeStates)
{
    BuildCatalogue();
    tree.SetCheckBoxes(true);
    TreeNode* fan = hardware->GetNodes()[0];
    TreeNode* keyboard = hardware->GetNodes()[1];
    TreeNode* processor = hardware->GetNodes()[2];
    fan->SetCheckState(TreeNode::Checked);
    processor->SetCheckState(TreeNode::PartlyChecked);
    ShowAndFocus();
    Testing::Picture picture = Testing::Render(tree);
    auto inkIn = [&](TreeNode* node)
    {
        Rect box = tree.GetPartBounds(node, TreeViewHitArea::CheckBox).Deflate(tree.Scale(2), tree.Scale(2));
        return picture.CountOther(Theme::Window(), box.left, box.top, box.width, box.height);
    };
    EXPECT_EQ(0, inkIn(keyboard));
    EXPECT_GT(inkIn(fan), 8);
    // The partly checked box is a filled square: more ink than the mark.
    EXPECT_GT(inkIn(processor), inkIn(fan));
}

// --- Type-ahead ---

TEST_F(TreeViewTest, TypingTheFirstLettersSelectsTheNextVisibleNodeThatStartsWithThem)
{
    BuildCatalogue();
    software->Expand();
    ShowAndFocus();
    Testing::TypeText(tree.GetHandle(), L"win32_p");
    EXPECT_EQ(L"Win32_Processor", Selected());
    Sleep(1100);
    Testing::TypeText(tree.GetHandle(), L"Win32_Th");
    EXPECT_EQ(L"Win32_Thread", Selected());
    Sleep(1100);
    // One letter again and again steps through the nodes that start with it, wrapping round.
    Testing::TypeText(tree.GetHandle(), L"s");
    EXPECT_EQ(L"Software", Selected());
    Testing::TypeText(tree.GetHandle(), L"h");
    EXPECT_EQ(L"Software", Selected()) << "no node starts with \"sh\"";
    Sleep(1100);
    Testing::TypeText(tree.GetHandle(), L"w");
    EXPECT_EQ(L"Win32_Process", Selected());
    Testing::TypeText(tree.GetHandle(), L"ww");
    EXPECT_EQ(L"Win32_Thread", Selected());
    Testing::TypeText(tree.GetHandle(), L"w");
    EXPECT_EQ(L"Win32_Fan", Selected());
}

TEST_F(TreeViewTest, TypeAheadRespectsAVetoAndSkipsCollapsedBranches)
{
    BuildCatalogue();
    ShowAndFocus();
    Testing::TypeText(tree.GetHandle(), L"Win32_T");
    EXPECT_EQ(L"Win32_Fan", Selected()) << "Win32_Thread is inside a collapsed branch";
    Sleep(1100);
    recorder.vetoAll = true;
    Testing::TypeText(tree.GetHandle(), L"Win32_K");
    EXPECT_EQ(L"Win32_Fan", Selected());
}

// --- Scale and depth ---

namespace
{

std::vector<long>* announcedRows = nullptr; // the running test's

void CALLBACK RecordStateChange(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG child, DWORD, DWORD)
{
    if (object == OBJID_CLIENT && announcedRows != nullptr)
    {
        announcedRows->push_back(child);
    }
}

} // namespace

// Each node opened is announced at the row it shows in, also amid other changes not yet shown: one hidden by a
// closed parent is not announced at all.
TEST_F(TreeViewTest, AnOpenedNodeIsAnnouncedAtItsRow)
{
    auto add = [](TreeNodeCollection& nodes, const wchar_t* text)
    {
        auto* node = new TreeNode(String(text));
        nodes.Add(node);
        return node;
    };
    TreeNode* a = add(tree.GetNodes(), L"A");
    TreeNode* a1 = add(a->GetNodes(), L"A1");
    add(a1->GetNodes(), L"A11");
    add(a->GetNodes(), L"A2");
    TreeNode* b = add(tree.GetNodes(), L"B");
    add(b->GetNodes(), L"B1");
    TreeNode* c = add(tree.GetNodes(), L"C");
    add(c->GetNodes(), L"C1");
    ShowAndFocus();
    std::vector<long> announced;
    announcedRows = &announced;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, RecordStateChange,
                                         GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);

    a1->Expand();   // under the closed A
    a->Expand();    // A, A1, A11, A2
    a1->Collapse(); // A, A1, A2
    b->Expand();    // A, A1, A2, B, B1
    tree.GetNodes().Insert(0, new TreeNode(String(L"First")));
    c->Expand(); // First, A, A1, A2, B, B1, C, C1
    Testing::PumpMessages();
    UnhookWinEvent(hook);
    announcedRows = nullptr;

    // Child ids count from 1.
    EXPECT_EQ((std::vector<long>{1, 2, 4, 7}), announced);
    EXPECT_EQ(c, tree.GetVisibleNode(6));
}

TEST_F(TreeViewTest, AWholeSubtreeInsertedAtOnceAppearsAndScrollsToItsEnd)
{
    ShowAndFocus();
    // Built detached, as the class view builds its categories, and inserted in one step.
    TreeNode* root = new TreeNode(String(L"Root"));
    for (int i = 0; i < 100; i++)
    {
        TreeNode* category = new TreeNode(String(L"Category ") + i);
        for (int j = 0; j < 50; j++)
        {
            category->GetNodes().Add(new TreeNode(String(L"Class ") + i + L"." + j));
        }
        root->GetNodes().Add(category);
    }
    tree.GetNodes().Add(root);
    tree.ExpandAll();
    EXPECT_EQ(1 + 100 + 5000, tree.GetVisibleCount());
    Testing::PressKey(tree, Keys::End);
    EXPECT_EQ(L"Class 99.49", Selected());
    Rect row = tree.GetRowBounds(tree.GetSelectedNode());
    EXPECT_LE(row.GetBottom(), tree.GetClientRectangle().height);
    Testing::Picture picture = Testing::Render(tree);
    EXPECT_GT(picture.CountIn(Theme::Highlight(), 0, row.top, picture.width, row.height), 20);
}

TEST_F(TreeViewTest, ATwentyThousandLevelChainExpandsPaintsNavigatesAndGoesAway)
{
    ShowAndFocus();
    // Bottom-up, as the class view closes its categories: each insert goes into a detached parent.
    TreeNode* current = new TreeNode(String(L"Level 20000"));
    TreeNode* top = current;
    for (int level = 19999; level >= 0; level--)
    {
        TreeNode* parent = new TreeNode(String(L"Level ") + level);
        parent->GetNodes().Add(top);
        top = parent;
    }
    tree.GetNodes().Add(top);
    tree.ExpandAll();
    EXPECT_EQ(20001, tree.GetVisibleCount());
    Testing::PressKey(tree, Keys::End);
    EXPECT_EQ(current, tree.GetSelectedNode());
    Testing::PressKey(tree, Keys::Left);
    EXPECT_EQ(L"Level 19999", Selected());
    // The deepest text is far to the right: scrolled to, it is painted.
    tree.SetSelectedNode(current);
    Rect text = tree.GetPartBounds(current, TreeViewHitArea::Text);
    EXPECT_GE(text.left, 0);
    EXPECT_LT(text.left, tree.GetClientRectangle().width);
    Testing::Picture picture = Testing::Render(tree);
    EXPECT_GT(picture.CountIn(Theme::Highlight(), text.left, text.top, text.width, text.height), 20);
    tree.GetNodes().Clear();
    EXPECT_EQ(0, tree.GetVisibleCount());
    EXPECT_EQ(nullptr, tree.GetSelectedNode());
}

TEST_F(TreeViewTest, ImagesAreDrawnBeforeTheText)
{
    ImageList images;
    std::vector<uint8_t> red = Testing::SolidIconFile({{16, Colors::FromRgb(200, 0, 0)}});
    images.AddFromMemory(red.data(), static_cast<int>(red.size()));
    tree.SetImageList(&images);
    BuildCatalogue();
    hardware->SetImageIndex(0);
    ShowAndFocus();
    Testing::Picture picture = Testing::Render(tree);
    Rect image = tree.GetPartBounds(hardware, TreeViewHitArea::Image);
    Rect text = tree.GetPartBounds(hardware, TreeViewHitArea::Text);
    EXPECT_LE(image.GetRight(), text.left);
    EXPECT_GT(picture.CountIn(Colors::FromRgb(200, 0, 0), image.left, image.top, image.width, image.height),
              image.width * image.height / 2);
    Rect other = tree.GetPartBounds(software, TreeViewHitArea::Image);
    EXPECT_EQ(0, picture.CountIn(Colors::FromRgb(200, 0, 0), other.left, other.top, other.width, other.height));
    tree.SetImageList(nullptr);
}
