#include "core/controls/Button.h"
#include "core/controls/Form.h"
#include "core/controls/TabView.h"
#include "core/controls/Theme.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace Core::Controls;
using Core::EventArgs;
using Core::MemberEventHandler;
using Core::Object;
using Core::String;
using Rect = Core::Controls::Rectangle;
using Testing::ThrownMessage;

namespace
{

class ChangeCounter
{
public:
    int changes = 0;
    void OnChanged(Object*, EventArgs&) { changes++; }
};

class TabViewTest : public testing::Test
{
protected:
    TabViewTest()
        : results(String(L"Results")), metadata(String(L"Metadata")), changed(&counter, &ChangeCounter::OnChanged)
    {
    }
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(400, 300);
        view.SetDock(DockStyle::Fill);
        form.GetControls().Add(&view);
        view.GetPages().Add(&results);
        view.GetPages().Add(&metadata);
        first.SetText(String(L"First"));
        first.SetDock(DockStyle::Top);
        first.SetTabStop(true);
        second.SetText(String(L"Second"));
        second.SetDock(DockStyle::Top);
        second.SetTabStop(true);
        results.GetControls().Add(&first);
        metadata.GetControls().Add(&second);
        view.SelectedIndexChanged.Subscribe(&changed);
        form.Show();
        Testing::PumpMessages();
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    Form form;
    TabView view;
    TabPage results;
    TabPage metadata;
    Button first;
    Button second;
    ChangeCounter counter;
    MemberEventHandler<ChangeCounter, EventArgs> changed;
};

} // namespace

TEST_F(TabViewTest, TheFirstPageIsShownAndShowPageSwitchesAndTellsOnce)
{
    EXPECT_EQ(2, view.GetPages().GetCount());
    EXPECT_EQ(0, view.GetSelectedIndex());
    EXPECT_TRUE(results.IsVisible());
    EXPECT_FALSE(metadata.IsVisible());
    EXPECT_EQ(L"Metadata", std::wstring(view.GetPages()[1]->GetTitle().GetBuffer()));
    view.ShowPage(1);
    EXPECT_EQ(&metadata, view.GetSelectedPage());
    EXPECT_FALSE(results.IsVisible());
    EXPECT_TRUE(metadata.IsVisible());
    EXPECT_TRUE(second.IsVisible());
    view.ShowPage(1);
    EXPECT_EQ(1, counter.changes);
    // The page fills the view below the tabs.
    Rect page = metadata.GetDeviceBounds();
    Rect client = view.GetClientRectangle();
    EXPECT_EQ(view.GetToolBar().GetDeviceBounds().GetBottom() + view.Scale(1), page.top);
    EXPECT_EQ(client.height - view.Scale(1), page.GetBottom());
}

TEST_F(TabViewTest, ShowPageWithABadIndexNamesTheIndexAndChangesNothing)
{
    EXPECT_EQ(L"TabView::ShowPage() - index out of range: 2", ThrownMessage([&] { view.ShowPage(2); }));
    EXPECT_EQ(L"TabView::ShowPage() - index out of range: -1", ThrownMessage([&] { view.ShowPage(-1); }));
    EXPECT_EQ(0, view.GetSelectedIndex());
    EXPECT_EQ(0, counter.changes);
}

TEST_F(TabViewTest, AClickOnATabShowsItsPage)
{
    TabViewToolBar& strip = view.GetToolBar();
    Rect tab = strip.GetTabBounds(1);
    ASSERT_FALSE(tab.IsEmpty());
    EXPECT_GE(tab.left, strip.GetTabBounds(0).GetRight());
    Testing::Click(strip, tab.left + tab.width / 2, tab.top + tab.height / 2);
    EXPECT_EQ(1, view.GetSelectedIndex());
    // The selected tab is drawn in the page's colour and carries the accent line.
    Testing::Picture picture = Testing::Render(strip);
    Rect selected = strip.GetTabBounds(1);
    EXPECT_GT(picture.CountIn(Theme::Highlight(), selected.left, selected.top, selected.width, view.Scale(2)),
              selected.width / 2);
    Rect other = strip.GetTabBounds(0);
    EXPECT_EQ(0, picture.CountIn(Theme::Highlight(), other.left, other.top, other.width, other.height));
}

TEST_F(TabViewTest, CtrlTabAndCtrlShiftTabStepThroughThePagesFromInsideAPage)
{
    first.Focus();
    ASSERT_TRUE(first.IsFocused());
    Testing::PressKey(first, Keys::Tab, Keys::Control);
    EXPECT_EQ(1, view.GetSelectedIndex());
    // The focus did not stay on the hidden button.
    EXPECT_FALSE(first.IsFocused());
    Testing::PressKey(view, Keys::Tab, Keys::Control);
    EXPECT_EQ(0, view.GetSelectedIndex()) << "wraps round";
    Testing::PressKey(view, Keys::Tab, Keys::Control | Keys::Shift);
    EXPECT_EQ(1, view.GetSelectedIndex());
    Testing::PressKey(view, Keys::PageUp, Keys::Control);
    EXPECT_EQ(0, view.GetSelectedIndex());
    EXPECT_EQ(4, counter.changes);
}

TEST_F(TabViewTest, ArrowKeysOnTheFocusedTabsSwitchPages)
{
    ASSERT_TRUE(view.GetToolBar().Focus());
    Testing::PressKey(view.GetToolBar(), Keys::Right);
    EXPECT_EQ(1, view.GetSelectedIndex());
    Testing::PressKey(view.GetToolBar(), Keys::Right);
    EXPECT_EQ(1, view.GetSelectedIndex());
    Testing::PressKey(view.GetToolBar(), Keys::Left);
    EXPECT_EQ(0, view.GetSelectedIndex());
}
