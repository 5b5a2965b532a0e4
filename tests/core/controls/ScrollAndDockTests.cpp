#include "core/controls/ContextMenu.h"
#include "core/controls/Form.h"
#include "core/controls/Panel.h"
#include "core/controls/ScrollableControl.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"
#include "core/controls/ToolTip.h"

#include "tests/core/controls/ControlTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Rect = Core::Controls::Rectangle;

namespace
{

// A scrolling view that records where it was asked to scroll from and to.
class View : public ScrollableControl
{
public:
    int scrolls = 0;

protected:
    void OnScroll(const Point& oldPosition, const Point& newPosition) override
    {
        scrolls++;
        ScrollableControl::OnScroll(oldPosition, newPosition);
    }
};

class ScrollAndDockTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(300, 200);
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    Form form;
};

} // namespace

TEST_F(ScrollAndDockTest, DockedChildrenTakeTheirSidesInOrderAndTheFilledOneTheRest)
{
    Panel top;
    Panel bottom;
    Panel left;
    Panel fill;
    top.SetHeight(30);
    bottom.SetHeight(20);
    left.SetWidth(50);
    top.SetDock(DockStyle::Top);
    bottom.SetDock(DockStyle::Bottom);
    left.SetDock(DockStyle::Left);
    fill.SetDock(DockStyle::Fill);
    fill.SetMargin(Padding::All(4));
    for (Panel* panel : {&top, &bottom, &left, &fill})
    {
        form.GetControls().Add(panel);
    }
    form.Show();
    Rect client = form.GetClientRectangle();
    auto px = [this](int value) { return form.Scale(value); };
    EXPECT_EQ((Rect{0, 0, client.width, px(30)}), top.GetDeviceBounds());
    EXPECT_EQ((Rect{0, client.height - px(20), client.width, px(20)}), bottom.GetDeviceBounds());
    EXPECT_EQ((Rect{0, px(30), px(50), client.height - px(50)}), left.GetDeviceBounds());
    EXPECT_EQ((Rect{px(50) + px(4), px(30) + px(4), client.width - px(50) - px(8), client.height - px(50) - px(8)}),
              fill.GetDeviceBounds());
    // Hiding a docked child gives its room to the others.
    top.Hide();
    EXPECT_EQ(px(4), fill.GetDeviceBounds().top);
    EXPECT_EQ(30, top.GetBounds().height) << "the asked height is kept for when it shows again";
}

TEST_F(ScrollAndDockTest, AScrollableControlClampsItsPositionAndScrollsByBarAndWheel)
{
    View view;
    view.SetDock(DockStyle::Fill);
    form.GetControls().Add(&view);
    form.Show();
    Rect client = view.GetClientRectangle();
    view.SetScrollLineSize(10, 20);
    view.SetScrollSize(Size{0, 1000});
    client = view.GetClientRectangle();
    int maxY = 1000 - client.height;

    view.SetScrollPosition(Point{50, 5000});
    EXPECT_EQ((Point{0, maxY}), view.GetScrollPosition()) << "clamped to the content";
    EXPECT_EQ(maxY, GetScrollPos(view.GetHandle(), SB_VERT)) << "the system's bar follows";
    view.SetScrollPosition(Point{0, 0});

    SendMessageW(view.GetHandle(), WM_VSCROLL, SB_LINEDOWN, 0);
    EXPECT_EQ(20, view.GetScrollPosition().y);
    SendMessageW(view.GetHandle(), WM_VSCROLL, SB_PAGEDOWN, 0);
    EXPECT_EQ(20 + client.height - 20, view.GetScrollPosition().y);
    SendMessageW(view.GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_EQ(maxY, view.GetScrollPosition().y);
    SendMessageW(view.GetHandle(), WM_VSCROLL, SB_TOP, 0);
    EXPECT_EQ(0, view.GetScrollPosition().y);

    // One notch of the wheel scrolls the system's number of lines; half notches add up.
    UINT lines = 3;
    SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    POINT centre = {client.width / 2, client.height / 2};
    ClientToScreen(view.GetHandle(), &centre);
    SendMessageW(view.GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(centre.x, centre.y));
    EXPECT_EQ(static_cast<int>(lines) * 20, view.GetScrollPosition().y);
    SendMessageW(view.GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 60), MAKELPARAM(centre.x, centre.y));
    EXPECT_EQ(static_cast<int>(lines) * 20, view.GetScrollPosition().y);
    SendMessageW(view.GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 60), MAKELPARAM(centre.x, centre.y));
    EXPECT_EQ(0, view.GetScrollPosition().y);

    // Bringing a rectangle into view scrolls as little as it needs.
    view.ScrollIntoView(Rect{0, 500, 10, 40});
    EXPECT_EQ(540 - client.height, view.GetScrollPosition().y);
    view.ScrollIntoView(Rect{0, 520, 10, 10});
    EXPECT_EQ(540 - client.height, view.GetScrollPosition().y);
    EXPECT_GE(view.scrolls, 6);

    // A smaller content takes the position back inside it.
    view.SetScrollSize(Size{0, client.height + 10});
    EXPECT_EQ(10, view.GetScrollPosition().y);
}

TEST_F(ScrollAndDockTest, BarsThatNarrowTheViewAreAllowedForInBothRanges)
{
    View view;
    view.SetDock(DockStyle::Fill);
    form.GetControls().Add(&view);
    form.Show();
    Rect full = view.GetClientRectangle();
    // As wide as the view without bars: the vertical bar narrows it, so a horizontal bar is needed
    // too, and the vertical range reckons with the lower view that leaves.
    view.SetScrollSize(Size{full.width, 1000});
    Rect client = view.GetClientRectangle();
    EXPECT_LT(client.width, full.width);
    EXPECT_LT(client.height, full.height);
    view.SetScrollPosition(Point{1000, 5000});
    EXPECT_EQ((Point{full.width - client.width, 1000 - client.height}), view.GetScrollPosition());
    EXPECT_EQ(1000 - client.height, GetScrollPos(view.GetHandle(), SB_VERT));
    EXPECT_EQ(full.width - client.width, GetScrollPos(view.GetHandle(), SB_HORZ));
}

TEST_F(ScrollAndDockTest, AWheelOverAControlThatCannotScrollGoesToItsParent)
{
    View view;
    view.SetDock(DockStyle::Fill);
    form.GetControls().Add(&view);
    TextBox box;
    view.GetControls().Add(&box);
    form.Show();
    view.SetScrollSize(Size{10, 2000});
    POINT point = {2, 2};
    ClientToScreen(box.GetHandle(), &point);
    SendMessageW(box.GetHandle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(point.x, point.y));
    EXPECT_GT(view.GetScrollPosition().y, 0);
}

TEST_F(ScrollAndDockTest, OpenMenusCloseWhenTheirWindowIsDeactivated)
{
    TextBox box;
    form.GetControls().Add(&box);
    ContextMenu menu;
    menu.GetMenuItems().Add(new MenuItem(String(L"&Copy"), 1));
    box.SetContextMenu(&menu);
    form.Show();
    SendMessageW(box.GetHandle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(box.GetHandle()), MAKELPARAM(-1, -1));
    ASSERT_TRUE(menu.IsOpen()) << "the context-menu key opens it too";
    SendMessageW(form.GetHandle(), WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_FALSE(menu.IsOpen());
}

TEST_F(ScrollAndDockTest, ADeletedControlLeavesItsToolTip)
{
    ToolTip tip;
    auto* box = new TextBox();
    form.GetControls().Add(box);
    tip.SetToolTip(box, String(L"Name of the server to view WMI info."));
    form.Show();
    delete box;
    EXPECT_TRUE(tip.GetToolTip(box).IsEmpty());
    tip.HideText();
}
