#include "core/controls/Form.h"
#include "core/controls/Grid.h"
#include "core/controls/ScrollBar.h"
#include "core/controls/Theme.h"

#include "tests/core/controls/ControlTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace Core::Controls;
using Core::EventArgs;
using Core::MemberEventHandler;
using Core::Object;
using Core::String;
using Rect = Core::Controls::Rectangle;

namespace
{

class ScrollCounter
{
public:
    int scrolls = 0;
    void OnScroll(Object*, EventArgs&) { scrolls++; }
};

class ScrollBarTest : public testing::Test
{
protected:
    ScrollBarTest() : scrolled(&counter, &ScrollCounter::OnScroll) {}
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetClientSize(300, 300);
        bar.SetBounds(100, 0, 17, 300);
        form.GetControls().Add(&bar);
        bar.SetRange(0, 999, 100);
        bar.SetSmallChange(10);
        bar.Scroll.Subscribe(&scrolled);
        form.Show();
        Testing::PumpMessages();
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    Point Center(const Rect& r) const { return Point{r.left + r.width / 2, r.top + r.height / 2}; }
    void Press(const Point& point)
    {
        SendMessageW(bar.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    }
    void Release(const Point& point) { SendMessageW(bar.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y)); }

    Form form;
    VScrollBar bar;
    ScrollCounter counter;
    MemberEventHandler<ScrollCounter, EventArgs> scrolled;
};

} // namespace

TEST_F(ScrollBarTest, TheValueStaysWithinTheRangeLessOnePage)
{
    EXPECT_EQ(900, bar.GetMaximumValue());
    bar.SetValue(5000);
    EXPECT_EQ(900, bar.GetValue());
    bar.SetValue(-3);
    EXPECT_EQ(0, bar.GetValue());
    bar.SetValue(450);
    // A smaller range pulls the value in.
    bar.SetRange(0, 299, 100);
    EXPECT_EQ(200, bar.GetValue());
    // A page larger than the range: nothing to scroll, no thumb.
    bar.SetRange(0, 49, 100);
    EXPECT_EQ(0, bar.GetValue());
    EXPECT_TRUE(bar.GetPartBounds(ScrollBar::Part::Thumb).IsEmpty());
    EXPECT_EQ(0, counter.scrolls) << "code that sets the value is not the user";
}

TEST_F(ScrollBarTest, ArrowsStepTrackClicksPageAndBothTellTheListener)
{
    Point down = Center(bar.GetPartBounds(ScrollBar::Part::LineAhead));
    Press(down);
    Release(down);
    EXPECT_EQ(10, bar.GetValue());
    Point ahead = Center(bar.GetPartBounds(ScrollBar::Part::PageAhead));
    Press(ahead);
    Release(ahead);
    EXPECT_EQ(110, bar.GetValue());
    Point up = Center(bar.GetPartBounds(ScrollBar::Part::LineBack));
    Press(up);
    Release(up);
    EXPECT_EQ(100, bar.GetValue());
    Point back = Center(bar.GetPartBounds(ScrollBar::Part::PageBack));
    Press(back);
    Release(back);
    EXPECT_EQ(0, bar.GetValue());
    Press(up);
    Release(up);
    EXPECT_EQ(0, bar.GetValue());
    EXPECT_EQ(4, counter.scrolls) << "a step at the start moves nothing and tells nothing";
}

TEST_F(ScrollBarTest, TheThumbShowsTheVisibleShareAndDragsToTheEnds)
{
    Rect track{0, bar.GetPartBounds(ScrollBar::Part::LineBack).GetBottom(), 0, 0};
    track.height = bar.GetPartBounds(ScrollBar::Part::LineAhead).top - track.top;
    Rect thumb = bar.GetPartBounds(ScrollBar::Part::Thumb);
    // A page of 100 out of 1000: a tenth of the track.
    EXPECT_NEAR(track.height / 10.0, thumb.height, 1.0);
    Point grab = Center(thumb);
    Press(grab);
    SendMessageW(bar.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.x, grab.y + 1000));
    Release(Point{grab.x, grab.y + 1000});
    EXPECT_EQ(900, bar.GetValue());
    thumb = bar.GetPartBounds(ScrollBar::Part::Thumb);
    EXPECT_EQ(track.GetBottom(), thumb.GetBottom());
    // The picture: the thumb is drawn where its bounds are, the track above it is empty.
    Testing::Picture picture = Testing::Render(bar);
    EXPECT_GT(picture.CountOther(picture.At(0, track.top + 2), thumb.left + 3, thumb.top + 2, thumb.width - 6,
                                 thumb.height - 4),
              (thumb.width - 6) * (thumb.height - 4) / 2);
    grab = Center(thumb);
    Press(grab);
    SendMessageW(bar.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.x, grab.y - track.height / 2));
    Release(Point{grab.x, grab.y - track.height / 2});
    // Half the track is 500 of the 900 values: the thumb takes a tenth of it.
    EXPECT_NEAR(400, bar.GetValue(), 10);
}

TEST_F(ScrollBarTest, HoldingTheTrackRepeatsUntilTheThumbReachesThePointer)
{
    Rect lower = bar.GetPartBounds(ScrollBar::Part::LineAhead);
    Point hold{lower.width / 2, lower.top - 5};
    Press(hold);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 1500)
    {
        Sleep(10);
        Testing::PumpMessages();
    }
    Release(hold);
    EXPECT_EQ(900, bar.GetValue()) << "the thumb came down to the pointer at the end of the track";
    EXPECT_GT(counter.scrolls, 2);
}

TEST_F(ScrollBarTest, AGridShowsBothBarsAndTheCornerOnlyWhenItsContentNeedsThem)
{
    Grid grid;
    grid.SetBounds(0, 0, 200, 200);
    form.GetControls().Add(&grid);
    grid.GetColumns().Add(100);
    grid.GetRows().AddRange(3);
    Testing::PumpMessages();
    EXPECT_FALSE(grid.GetVerticalScrollBar()->IsVisible());
    EXPECT_FALSE(grid.GetHorizontalScrollBar()->IsVisible());
    EXPECT_EQ(grid.GetClientRectangle(), grid.GetViewportRectangle());
    grid.GetColumns().Add(300);
    grid.GetRows().AddRange(100);
    Testing::PumpMessages();
    ScrollBar* vertical = grid.GetVerticalScrollBar();
    ScrollBar* horizontal = grid.GetHorizontalScrollBar();
    EXPECT_TRUE(vertical->IsVisible());
    EXPECT_TRUE(horizontal->IsVisible());
    int thickness = ScrollBar::GetThickness(grid.GetDpi());
    Rect client = grid.GetClientRectangle();
    EXPECT_EQ((Rect{0, 0, client.width - thickness, client.height - thickness}), grid.GetViewportRectangle());
    // Dragging the grid's thumb to the bottom shows the last row above the horizontal bar; the grid keeps the focus.
    grid.Focus();
    Rect thumb = vertical->GetPartBounds(ScrollBar::Part::Thumb);
    Point grab{thumb.left + thumb.width / 2, thumb.top + thumb.height / 2};
    SendMessageW(vertical->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
    SendMessageW(vertical->GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.x, grab.y + 500));
    SendMessageW(vertical->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(grab.x, grab.y + 500));
    EXPECT_TRUE(grid.IsFocused());
    EXPECT_EQ(grid.GetViewportRectangle().height, grid.GetRowBounds(102).GetBottom());
    // The corner between the bars is the face colour, not a row.
    Testing::Picture picture = Testing::Render(grid);
    EXPECT_EQ(Theme::Face() | 0xFF000000u, picture.At(client.width - thickness / 2, client.height - thickness / 2));
    form.GetControls().Remove(&grid);
}
