// The about dialog as a person meets it: its texts and picture from the program's resources, the web
// site link launched through the desktop, a launch failure reported, and the ways to close it.
#include "app/AboutForm.h"
#include "core/controls/Application.h"
#include "core/controls/Form.h"
#include "core/platform/windows/Desktop.h"

#include "tests/app/UserGuideFile.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/RecordingDesktop.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Quarrow::AboutForm;

namespace
{

const wchar_t* const Notice = L"This program is provided \"as is\", without warranty of any kind,\r\n"
                              L"express or implied. You use it at your own risk.\r\n"
                              L"Windows and Excel are trademarks of Microsoft Corporation.";

class AboutFormTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Testing::DropEndMessages();
        owner.SetBounds(100, 100, 700, 400);
        owner.Show();
    }
    void TearDown() override
    {
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    Form owner;
};

// One dialog shown for all the tests that only look at it: each top-level window costs seconds under Wine.
class AboutFormLookTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        Testing::DropEndMessages();
        owner = new Form();
        owner->SetBounds(100, 100, 700, 400);
        owner->Show();
        lookedAt = new AboutForm();
        lookedAt->SetOwner(owner);
        lookedAt->Show();
        Testing::PumpMessages();
    }
    static void TearDownTestSuite()
    {
        delete lookedAt;
        delete owner;
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    static Form* owner;
    static AboutForm* lookedAt;
};

Form* AboutFormLookTest::owner = nullptr;
AboutForm* AboutFormLookTest::lookedAt = nullptr;

// Every control inside the window, depth first in creation order.
void CollectControls(Control& parent, std::vector<Control*>& controls)
{
    for (int i = 0; i < parent.GetControls().GetCount(); i++)
    {
        Control* child = parent.GetControls()[i];
        controls.push_back(child);
        CollectControls(*child, controls);
    }
}

template <typename T> std::vector<T*> ControlsOf(Control& window)
{
    std::vector<Control*> all;
    CollectControls(window, all);
    std::vector<T*> found;
    for (Control* control : all)
    {
        if (auto* typed = dynamic_cast<T*>(control))
        {
            found.push_back(typed);
        }
    }
    return found;
}

RECT ScreenRect(Control& control)
{
    RECT rect;
    GetWindowRect(control.GetHandle(), &rect);
    return rect;
}

LinkLabel& LinkOf(AboutForm& about)
{
    std::vector<LinkLabel*> links = ControlsOf<LinkLabel>(about);
    EXPECT_EQ(1u, links.size());
    return *links.at(0);
}

// A click on the link's text, queued for the dialog's own message loop.
void PostLinkClick(LinkLabel& link)
{
    RECT client;
    GetClientRect(link.GetHandle(), &client);
    LPARAM point = MAKELPARAM(3, client.bottom / 2);
    PostMessageW(link.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(link.GetHandle(), WM_LBUTTONUP, 0, point);
}

// An about dialog that notes which window has the focus when the test asks (WM_APP).
class ProbedAboutForm : public AboutForm
{
public:
    HWND focused = nullptr;

protected:
    intptr_t WndProc(unsigned int message, uintptr_t wParam, intptr_t lParam) override
    {
        if (message == WM_APP)
        {
            focused = GetFocus();
            return 0;
        }
        return AboutForm::WndProc(message, wParam, lParam);
    }
};

} // namespace

// --- What it shows ---

TEST_F(AboutFormLookTest, ItIsTheQuarrowAboutWindowOf600By250Pixels)
{
    AboutForm& about = *lookedAt;
    wchar_t className[64] = {};
    GetClassNameW(about.GetHandle(), className, 64);
    EXPECT_STREQ(L"Quarrow.AboutForm", className);
    wchar_t title[64] = {};
    GetWindowTextW(about.GetHandle(), title, 64);
    EXPECT_STREQ(L"About Quarrow", title);
    RECT rect = ScreenRect(about);
    EXPECT_EQ(about.Scale(600), rect.right - rect.left);
    EXPECT_EQ(about.Scale(250), rect.bottom - rect.top);
    EXPECT_EQ(WindowType::DialogWindow, about.GetWindowType().GetValue());
}

TEST_F(AboutFormLookTest, TheTextsStandTopToBottomRightOfThePicture)
{
    AboutForm& about = *lookedAt;
    std::vector<Control*> texts;
    for (Label* label : ControlsOf<Label>(about))
    {
        if (label->GetText().GetLength() > 0)
        {
            texts.push_back(label);
        }
    }
    for (Button* button : ControlsOf<Button>(about))
    {
        texts.push_back(button);
    }
    std::stable_sort(texts.begin(), texts.end(),
                     [](Control* a, Control* b) { return ScreenRect(*a).top < ScreenRect(*b).top; });
    std::vector<std::wstring> shown;
    for (Control* control : texts)
    {
        shown.push_back(control->GetText().GetBuffer());
    }
    std::vector<std::wstring> expected = {L"Quarrow",
                                          L"Version 1.0.0.0",
                                          L"Copyright \u00A9 Quarrow contributors",
                                          L"For more product information please read the user guide:",
                                          L"QuarrowGuide.html",
                                          Notice,
                                          L"OK"};
    EXPECT_EQ(expected, shown);

    std::vector<PictureBox*> pictures = ControlsOf<PictureBox>(about);
    ASSERT_EQ(1u, pictures.size());
    RECT picture = ScreenRect(*pictures[0]);
    for (Control* control : texts)
    {
        RECT rect = ScreenRect(*control);
        EXPECT_GE(rect.left, picture.right) << control->GetText().GetBuffer();
        // Nothing sticks out of the dialog.
        RECT client;
        GetClientRect(about.GetHandle(), &client);
        POINT corner = {rect.right, rect.bottom};
        ScreenToClient(about.GetHandle(), &corner);
        EXPECT_LE(corner.x, client.right) << control->GetText().GetBuffer();
        EXPECT_LE(corner.y, client.bottom) << control->GetText().GetBuffer();
    }
}

TEST_F(AboutFormLookTest, TheNoticeShowsItsThreeLinesWhole)
{
    AboutForm& about = *lookedAt;
    Label* notice = nullptr;
    for (Label* label : ControlsOf<Label>(about))
    {
        notice = label->GetText() == String(Notice) ? label : notice;
    }
    ASSERT_NE(nullptr, notice);
    Testing::Picture picture = Testing::Render(*notice);
    Color face = picture.At(picture.width - 1, picture.height - 1);
    // Bands of rows with text in them: one per line, none wrapped, none cut off at the bottom.
    int bands = 0;
    bool inText = false;
    int lastTextRow = -1;
    for (int y = 0; y < picture.height; y++)
    {
        bool text = picture.CountOther(face, 0, y, picture.width, 1) > 0;
        bands += text && !inText ? 1 : 0;
        inText = text;
        lastTextRow = text ? y : lastTextRow;
    }
    EXPECT_EQ(3, bands);
    EXPECT_LT(lastTextRow, picture.height - 1);
    // The longest line ends inside the label.
    EXPECT_EQ(0, picture.CountOther(face, picture.width - 2, 0, 2, picture.height));
}

TEST_F(AboutFormLookTest, ThePictureIsTheProductBitmapAt200By200Pixels)
{
    AboutForm& about = *lookedAt;
    std::vector<PictureBox*> pictures = ControlsOf<PictureBox>(about);
    ASSERT_EQ(1u, pictures.size());
    Testing::Picture shown = Testing::Render(*pictures[0]);
    EXPECT_EQ(about.Scale(200), shown.width);
    EXPECT_EQ(about.Scale(200), shown.height);
    if (about.GetDpi() != 96)
    {
        GTEST_SKIP() << "the pixels are compared at 96 DPI only";
    }
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(172), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, bitmap);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    int differing = 0;
    for (int y = 5; y < 200; y += 10)
    {
        for (int x = 5; x < 200; x += 10)
        {
            COLORREF expected = GetPixel(memory, x, y);
            Color actual = shown.At(x, y);
            int delta = std::abs(static_cast<int>(GetRValue(expected)) - Colors::GetRed(actual)) +
                        std::abs(static_cast<int>(GetGValue(expected)) - Colors::GetGreen(actual)) +
                        std::abs(static_cast<int>(GetBValue(expected)) - Colors::GetBlue(actual));
            differing += delta > 24 ? 1 : 0;
        }
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    EXPECT_EQ(0, differing) << "of 400 sampled pixels";
}

TEST_F(AboutFormLookTest, TheSeparatorIsAThinGreyLineBetweenLinkAndNotice)
{
    AboutForm& about = *lookedAt;
    Label* separator = nullptr;
    for (Label* label : ControlsOf<Label>(about))
    {
        separator = label->GetText().GetLength() == 0 ? label : separator;
    }
    ASSERT_NE(nullptr, separator);
    Testing::Picture line = Testing::Render(*separator);
    EXPECT_GE(line.height, 1);
    EXPECT_LE(line.height, about.Scale(2));
    EXPECT_GT(line.width, about.Scale(300));
    EXPECT_EQ(line.width * line.height, line.Count(Colors::FromRgb(0xA9, 0xA9, 0xA9)));
    EXPECT_GT(ScreenRect(*separator).top, ScreenRect(LinkOf(about)).bottom - 1);
}

// --- The user guide link ---

TEST_F(AboutFormTest, ClickingTheLinkOpensTheUserGuideBesideTheProgram)
{
    Testing::RecordingDesktop desktop;
    Testing::UserGuideFile guide;
    AboutForm about;
    about.SetOwner(&owner);
    about.Create();
    PostLinkClick(LinkOf(about));
    PostMessageW(about.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(DialogResult::OK, about.ShowDialog(&owner));
    ASSERT_EQ(1u, desktop.launches.size());
    EXPECT_EQ(about.GetHandle(), desktop.launches[0].owner);
    EXPECT_EQ(L"open", desktop.launches[0].operation);
    EXPECT_EQ(std::wstring(Quarrow::GetUserGuidePath().GetBuffer()), desktop.launches[0].file);
    EXPECT_EQ(L"", desktop.launches[0].parameters);
    EXPECT_EQ(L"", desktop.launches[0].directory);
    EXPECT_EQ(SW_SHOWNORMAL, desktop.launches[0].showCommand);
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(AboutFormTest, ABrowserThatCannotStartIsReportedAndTheDialogStaysOpen)
{
    Testing::RecordingDesktop desktop;
    Testing::UserGuideFile guide;
    desktop.executeResult = 2; // SE_ERR_FNF
    desktop.whileExecuting = [] { SetLastError(ERROR_FILE_NOT_FOUND); };
    AboutForm about;
    about.SetOwner(&owner);
    about.Create();
    PostLinkClick(LinkOf(about));
    PostMessageW(about.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);
    // The dialog ends by the Enter after the click, not by the failure.
    EXPECT_EQ(DialogResult::OK, about.ShowDialog(&owner));
    EXPECT_EQ(1u, desktop.launches.size());
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(std::wstring(L"The user guide could not be opened:\r\n") + Quarrow::GetUserGuidePath().GetBuffer() +
                  L"\r\n\r\n" + Core::Platform::Windows::GetLaunchFailureText(2).GetBuffer(),
              desktop.messages[0].text);
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(about.GetHandle(), desktop.messages[0].owner);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONERROR), desktop.messages[0].style);
}

// --- Closing ---

TEST_F(AboutFormTest, EnterEscTheCloseBoxAndOkEndTheDialogWhichCanBeShownAgain)
{
    ProbedAboutForm about;
    about.SetOwner(&owner);
    about.Create();
    std::vector<Button*> buttons = ControlsOf<Button>(about);
    ASSERT_EQ(1u, buttons.size());
    Button& ok = *buttons[0];
    EXPECT_EQ(&ok, about.GetAcceptButton());

    PostMessageW(about.GetHandle(), WM_APP, 0, 0);
    PostMessageW(about.GetHandle(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(DialogResult::OK, about.ShowDialog(&owner));
    Control* focused = Control::FromHandle(about.focused);
    EXPECT_EQ(&ok, focused) << "OK has the focus when the dialog opens, not "
                            << (focused != nullptr ? focused->GetText().GetBuffer() : L"(none)");
    EXPECT_FALSE(IsWindowVisible(about.GetHandle()));
    EXPECT_TRUE(IsWindowEnabled(owner.GetHandle()));

    PostMessageW(about.GetHandle(), WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(DialogResult::Cancel, about.ShowDialog(&owner));

    PostMessageW(about.GetHandle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(DialogResult::Cancel, about.ShowDialog(&owner));

    PostMessageW(ok.GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(ok.GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(DialogResult::OK, about.ShowDialog(&owner));
    EXPECT_FALSE(IsWindowVisible(about.GetHandle()));
}
