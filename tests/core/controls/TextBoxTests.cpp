// Text boxes holding texts far wider than themselves: the box scrolls so the caret is always in view, and a long
// text is drawn exactly as a short text holding its visible part.
#include "core/controls/Form.h"
#include "core/controls/TextBox.h"
#include "core/controls/Theme.h"

#include "tests/core/controls/ControlTestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::String;

namespace
{

class TextBoxTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        form.SetBounds(0, 0, 500, 400);
    }
    void TearDown() override
    {
        form.DestroyHandle();
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }
    int Px(int value) { return Theme::Scale(value, form.GetDpi()); }

    Form form;
};

const std::wstring pattern = L"Name = 'svchost.exe' or ";

// Whole patterns up to at least length characters.
std::wstring Repeated(size_t length)
{
    std::wstring text;
    while (text.size() < length)
    {
        text += pattern;
    }
    return text;
}

String ToString(const std::wstring& text)
{
    return String(text.c_str(), static_cast<int>(text.size()));
}

// The text area of a text box as painted, without the border.
std::vector<uint32_t> TextPixels(TextBox& box)
{
    Testing::Picture picture = Testing::Render(box);
    std::vector<uint32_t> inner;
    for (int y = 3; y < picture.height - 3; y++)
    {
        for (int x = 3; x < picture.width - 3; x++)
        {
            inner.push_back(picture.pixels[static_cast<size_t>(y * picture.width + x)]);
        }
    }
    return inner;
}

// The caret of the focused box, in its client coordinates.
int CaretX()
{
    POINT caret{-1, -1};
    GetCaretPos(&caret);
    return caret.x;
}

// Pixels other than the background in a column band of the box's text rows.
int InkBetween(TextBox& box, int left, int right)
{
    Testing::Picture picture = Testing::Render(box);
    return picture.CountOther(Theme::Window(), left, 4, right - left, picture.height - 8);
}

} // namespace

// However long the text, the box scrolls so the caret is in view and shows the characters around it: the end of
// a long text looks exactly like the end of a short one, and Home shows the start again.
TEST_F(TextBoxTest, ATextBoxShowsTheCaretAndItsTextAtAnyLength)
{
    TextBox shortBox;
    TextBox longBox;
    shortBox.SetBounds(0, 0, 300, 23);
    longBox.SetBounds(0, 30, 300, 23);
    form.GetControls().Add(&shortBox);
    form.GetControls().Add(&longBox);
    form.Show();
    std::wstring tail = Repeated(4 * pattern.size());
    shortBox.SetText(ToString(tail));
    Testing::PressKey(shortBox, Keys::End);
    std::vector<uint32_t> end = TextPixels(shortBox);
    shortBox.Focus();
    std::wstring text;
    for (size_t length : {300u, 600u, 1500u, 100000u})
    {
        text = Repeated(length - tail.size()) + tail;
        longBox.SetText(ToString(text));
        longBox.Focus();
        Testing::PressKey(longBox, Keys::End);
        int caret = CaretX();
        EXPECT_GT(caret, Px(200)) << "the caret after the end of a text of " << text.size() << " characters";
        EXPECT_LT(caret, Px(300));
        EXPECT_GT(InkBetween(longBox, caret - Px(40), caret), 20) << "the characters before the caret are drawn";
        shortBox.Focus();
        EXPECT_EQ(static_cast<int>(text.size()), longBox.GetCaretIndex());
        EXPECT_TRUE(end == TextPixels(longBox)) << "the end of a text of " << text.size() << " characters";
        EXPECT_EQ(text, std::wstring(longBox.GetText().GetBuffer())) << "the text is kept whole";
    }
    // Typing at the end keeps the caret in view, right after the new character.
    shortBox.SetText(ToString(tail + L"x"));
    Testing::PressKey(shortBox, Keys::End);
    std::vector<uint32_t> typedEnd = TextPixels(shortBox);
    longBox.Focus();
    Testing::PressKey(longBox, Keys::End); // focus selects the whole text
    Testing::TypeText(longBox.GetHandle(), L"x");
    EXPECT_GT(CaretX(), Px(250));
    EXPECT_LT(CaretX(), Px(300));
    shortBox.Focus();
    EXPECT_TRUE(typedEnd == TextPixels(longBox));
    EXPECT_EQ(text + L"x", std::wstring(longBox.GetText().GetBuffer()));
    // Home shows the start again.
    shortBox.SetText(ToString(tail + pattern)); // wider than the box, as the long text is
    Testing::PressKey(shortBox, Keys::Home);
    std::vector<uint32_t> start = TextPixels(shortBox);
    Testing::PressKey(longBox, Keys::Home);
    EXPECT_EQ(0, longBox.GetCaretIndex());
    EXPECT_TRUE(start == TextPixels(longBox));
}

// Arrow keys, selections, clicks, deletions and a wider box treat a text of 100,000 characters as they treat the
// short text of its last characters: every step leaves both boxes looking the same, the caret in view.
TEST_F(TextBoxTest, ALongTextMovesSelectsAndTakesClicksAsItsTailDoes)
{
    TextBox shortBox;
    TextBox longBox;
    shortBox.SetBounds(0, 0, 300, 23);
    longBox.SetBounds(0, 30, 300, 23);
    form.GetControls().Add(&shortBox);
    form.GetControls().Add(&longBox);
    form.Show();
    std::wstring tail = Repeated(8 * pattern.size());
    std::wstring text = Repeated(100000 - tail.size()) + tail;
    shortBox.SetText(ToString(tail));
    longBox.SetText(ToString(text));

    auto press = [](int key, int times, int modifiers = 0)
    {
        return [=](TextBox& box)
        {
            for (int i = 0; i < times; i++)
            {
                Testing::PressKey(box, key, modifiers);
            }
        };
    };
    auto drag = [&](int from, int to)
    {
        return [=](TextBox& box)
        {
            SendMessageW(box.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, 8));
            SendMessageW(box.GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to, 8));
            SendMessageW(box.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(to, 8));
        };
    };
    struct Step
    {
        const char* what;
        std::function<void(TextBox&)> action;
    };
    std::vector<Step> steps = {
        {"at the end", press(Keys::End, 1)},
        {"left inside the view", press(Keys::Left, 20)},
        {"left past the left edge", press(Keys::Left, 100)},
        {"right again", press(Keys::Right, 10)},
        {"selected to the end", press(Keys::End, 1, Keys::Shift)},
        {"the word before", press(Keys::Left, 1, Keys::Control | Keys::Shift)},
        {"all selected", press('A', 1, Keys::Control)},
        {"clicked", [&](TextBox& box) { Testing::Click(box, Px(100), 8); }},
        {"dragged to the left edge", drag(Px(150), Px(4))},
        {"dragged out to the left", drag(Px(150), Px(-60))},
        {"end, then characters deleted",
         [&](TextBox& box)
         {
             press(Keys::End, 1)(box);
             press(Keys::Back, 30)(box);
         }},
        {"widened", [](TextBox& box) { box.SetWidth(400); }},
        {"a selection set in the middle", [](TextBox& box) { box.SetSelection(box.GetText().GetLength() - 100, 5); }},
    };
    struct Seen
    {
        std::vector<uint32_t> pixels;
        int fromEnd = 0; // the caret's distance from the end of the text
        int caretX = 0;
        int selected = 0;
        int highlighted = 0;
    };
    auto run = [&](TextBox& box)
    {
        std::vector<Seen> seen;
        box.Focus();
        for (const Step& step : steps)
        {
            step.action(box);
            Testing::Picture picture = Testing::Render(box);
            seen.push_back(Seen{TextPixels(box), box.GetText().GetLength() - box.GetCaretIndex(), CaretX(),
                                box.GetSelectionLength(),
                                picture.CountIn(Theme::Highlight(), Px(4), 4, Px(290), picture.height - 8)});
            EXPECT_GE(seen.back().caretX, Px(4)) << step.what << ": the caret is in view";
            EXPECT_LE(seen.back().caretX, box.GetClientRectangle().width - Px(4)) << step.what;
        }
        return seen;
    };
    std::vector<Seen> small = run(shortBox);
    std::vector<Seen> large = run(longBox);
    ASSERT_EQ(steps.size(), large.size());
    for (size_t i = 0; i < steps.size(); i++)
    {
        EXPECT_TRUE(small[i].pixels == large[i].pixels) << steps[i].what;
        EXPECT_EQ(small[i].fromEnd, large[i].fromEnd) << steps[i].what;
        EXPECT_EQ(small[i].caretX, large[i].caretX) << steps[i].what;
        if (i != 6) // all of each text
        {
            EXPECT_EQ(small[i].selected, large[i].selected) << steps[i].what;
        }
    }
    EXPECT_EQ(20, large[1].fromEnd);
    EXPECT_EQ(120, large[2].fromEnd);
    EXPECT_LT(large[2].caretX, Px(20)) << "the view follows the caret to the left";
    EXPECT_EQ(110, large[4].selected);
    EXPECT_GT(large[4].highlighted, Px(200)) << "the selection in view is highlighted";
    EXPECT_EQ(static_cast<int>(text.size()), large[6].selected);
    EXPECT_GT(large[6].highlighted, Px(1000)) << "selected from far before the view: highlighted throughout";
    EXPECT_GT(large[7].fromEnd, 10);
    EXPECT_EQ(0, large[7].selected);
    EXPECT_GT(large[8].selected, 10);
    EXPECT_GT(large[9].selected, large[8].selected + 5) << "dragging past the edge selects beyond the view";
    EXPECT_EQ(std::wstring(text, 0, text.size() - 30), std::wstring(longBox.GetText().GetBuffer()));
    EXPECT_GT(large[11].caretX, Px(350)) << "a wider box shows more of the text before the caret";
    EXPECT_EQ(95, large[12].fromEnd);
}

// A password box of any length shows its character up to the caret, as a short one does, and keeps the text.
TEST_F(TextBoxTest, ALongPasswordShowsItsCharacterUpToTheCaret)
{
    TextBox shortBox;
    TextBox longBox;
    shortBox.SetBounds(0, 0, 300, 23);
    longBox.SetBounds(0, 30, 300, 23);
    form.GetControls().Add(&shortBox);
    form.GetControls().Add(&longBox);
    shortBox.SetPasswordChar(L'*');
    longBox.SetPasswordChar(L'*');
    form.Show();
    shortBox.SetText(ToString(std::wstring(200, L'k')));
    std::wstring secret = Repeated(100000);
    longBox.SetText(ToString(secret));
    std::vector<uint32_t> end = TextPixels(shortBox);
    EXPECT_TRUE(end == TextPixels(longBox));
    longBox.Focus();
    Testing::PressKey(longBox, Keys::End);
    Testing::TypeText(longBox.GetHandle(), L"!");
    int caret = CaretX();
    EXPECT_GT(caret, Px(250));
    EXPECT_LT(caret, Px(300));
    EXPECT_GT(InkBetween(longBox, caret - Px(40), caret), 20);
    EXPECT_EQ(secret + L"!", std::wstring(longBox.GetText().GetBuffer()));
    Testing::PressKey(longBox, Keys::Home);
    EXPECT_LT(CaretX(), Px(8));
    EXPECT_GT(InkBetween(longBox, Px(4), Px(60)), 20) << "the start is shown";
}
