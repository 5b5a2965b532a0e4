#include "core/controls/CommonDialog.h"
#include "core/controls/Form.h"
#include "core/controls/TextBox.h"

#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ThrownMessage.h"

#include <gtest/gtest.h>

using namespace Core::Controls;
using Core::String;
using Core::Platform::Windows::Desktop;
using Testing::ThrownMessage;

TEST(CommonDialogTest, AnOpenFileDialogIsAskedWithTheFilterInTheSystemsFormAndAnswersTheFile)
{
    Testing::RecordingDesktop desktop;
    desktop.fileAnswers.push_back({Desktop::DialogChosen, L"C:\\Config\\QuarrowConfig.xml", 0});
    Form form;
    TextBox box;
    form.GetControls().Add(&box);
    form.Show();
    CommonDialog dialog;
    dialog.SetFilter(String(L"XML Files (*.xml*)|*.xml|All Files (*.*)|*.*"));
    dialog.SetInitialDirectory(String(L"C:\\Config"));
    dialog.SetCheckExisting(false);

    EXPECT_EQ(DialogResult::OK, dialog.ShowOpenFileDialog(&box));

    ASSERT_EQ(1u, desktop.fileDialogs.size());
    const auto& request = desktop.fileDialogs[0];
    EXPECT_EQ(form.GetHandle(), request.owner) << "owned by the control's window";
    EXPECT_FALSE(request.save);
    EXPECT_FALSE(request.checkExisting);
    std::wstring expected(L"XML Files (*.xml*)\0*.xml\0All Files (*.*)\0*.*\0\0", 46);
    EXPECT_EQ(expected, std::wstring(request.filter.GetBuffer(), static_cast<size_t>(request.filter.GetLength())));
    EXPECT_STREQ(L"C:\\Config", request.initialDirectory.GetBuffer());
    EXPECT_STREQ(L"C:\\Config\\QuarrowConfig.xml", dialog.GetFileName().GetBuffer());
    form.DestroyHandle();
    Testing::PumpMessages();
    Testing::DropEndMessages();
}

TEST(CommonDialogTest, CancelKeepsTheFileAndAFailureIsReported)
{
    Testing::RecordingDesktop desktop;
    CommonDialog dialog;
    dialog.SetFileName(String(L"C:\\old.xml"));
    EXPECT_EQ(DialogResult::Cancel, dialog.ShowSaveFileDialog(nullptr));
    EXPECT_TRUE(desktop.fileDialogs[0].save);
    EXPECT_STREQ(L"C:\\old.xml", desktop.fileDialogs[0].fileName.GetBuffer()) << "the dialog starts at the file";
    EXPECT_STREQ(L"C:\\old.xml", dialog.GetFileName().GetBuffer());

    desktop.fileAnswers.push_back({Desktop::DialogFailed, L"", 0x3003});
    EXPECT_EQ(L"Error occurred in File dialog.", ThrownMessage([&] { dialog.ShowOpenFileDialog(nullptr); }));
    EXPECT_STREQ(L"C:\\old.xml", dialog.GetFileName().GetBuffer());
}

TEST(CommonDialogTest, AFilterNeedsAPatternForEveryDescription)
{
    CommonDialog dialog;
    EXPECT_EQ(L"CommonDialog.SetFilter method - every description needs a pattern: XML Files|*.xml|All Files",
              ThrownMessage([&] { dialog.SetFilter(String(L"XML Files|*.xml|All Files")); }));
    EXPECT_TRUE(dialog.GetFilter().IsEmpty());
    dialog.SetFilter(String());
}

TEST(CommonDialogTest, TheFolderBrowserStartsAtThePathAndAnswersTheChosenFolder)
{
    Testing::RecordingDesktop desktop;
    CommonDialog dialog;
    dialog.SetSelectedPath(String(L"C:\\Reports"));
    EXPECT_EQ(DialogResult::Cancel, dialog.ShowFolderDialog(nullptr));
    EXPECT_STREQ(L"C:\\Reports", dialog.GetSelectedPath().GetBuffer());
    desktop.folderAnswers.push_back(L"D:\\Shared Reports");
    EXPECT_EQ(DialogResult::OK, dialog.ShowFolderDialog(nullptr));
    ASSERT_EQ(2u, desktop.folderDialogs.size());
    EXPECT_STREQ(L"C:\\Reports", desktop.folderDialogs[1].initialPath.GetBuffer());
    EXPECT_STREQ(L"D:\\Shared Reports", dialog.GetSelectedPath().GetBuffer());
}
