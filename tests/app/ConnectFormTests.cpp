// The connect dialog as a person meets it: machines already connected are refused, a failed connection keeps
// the dialog open with the WMI text and a retry works, and the connection is made on a worker thread while the
// dialog keeps answering. Wine's WMI refuses named servers at once and connects "localhost".
#include "app/ConnectForm.h"
#include "config/AppOptions.h"
#include "core/collections/PointerArrayList.h"
#include "core/controls/Button.h"
#include "core/controls/Cursor.h"
#include "core/controls/Form.h"
#include "core/controls/Label.h"
#include "core/controls/TextBox.h"
#include "core/platform/windows/RegistryKey.h"
#include "wmi/ManagementConnection.h"
#include "wmi/ResultMessage.h"

#include "tests/app/AppTesting.h"
#include "tests/core/controls/ControlTestSupport.h"
#include "tests/support/AccessibleClient.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

using namespace Core::Controls;
using Core::String;
using Quarrow::ConnectForm;
using WMI::ManagementConnection;

namespace
{

// What the main window hands the dialog: its connections and its options.
class TestOwner
{
public:
    explicit TestOwner(const String& keyPath) : options(keyPath) {}

    Core::Collections::PointerArrayList<ManagementConnection> connections;
    Config::AppOptions options;
};

using AppTesting::FindControls;
using AppTesting::W;

class ConnectFormTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
        owner = std::make_unique<TestOwner>(keyPath);
        // The local machine: an empty server name, as the main window makes it.
        owner->connections.Add(new ManagementConnection());
        Testing::DropEndMessages();
        form.SetBounds(100, 100, 600, 400);
        form.Show();
        dialog = std::make_unique<ConnectForm>(owner->connections, owner->options);
        dialog->SetOwner(&form);
        dialog->Create();
        boxes = FindControls<TextBox>(*dialog);
        buttons = FindControls<Button>(*dialog);
        ASSERT_EQ(4u, boxes.size());
        ASSERT_EQ(2u, buttons.size());
    }
    void TearDown() override
    {
        dialog.reset();
        owner.reset();
        Core::Platform::Windows::RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
        Testing::PumpMessages();
        Testing::DropEndMessages();
    }

    void Fill(const wchar_t* server, const wchar_t* user = L"", const wchar_t* password = L"",
              const wchar_t* domain = L"")
    {
        boxes[0]->SetText(String(server));
        boxes[1]->SetText(String(user));
        boxes[2]->SetText(String(password));
        boxes[3]->SetText(String(domain));
    }
    void PostKey(int key) { PostMessageW(static_cast<HWND>(dialog->GetHandle()), WM_KEYDOWN, key, 1); }

    String keyPath{L"Software\\QuarrowTests\\ConnectForm"};
    Testing::RecordingDesktop desktop;
    std::unique_ptr<TestOwner> owner;
    Form form;
    std::unique_ptr<ConnectForm> dialog;
    std::vector<TextBox*> boxes;
    std::vector<Button*> buttons; // OK, Cancel
};

} // namespace

// A server typed in other letters than a connected one is already connected; an empty box (or blanks only) is
// refused as empty, not as connected. Each refusal keeps the dialog open.
TEST_F(ConnectFormTest, AConnectedMachineOrAnEmptyNameIsRefused)
{
    // Besides the local machine, "localhost" is connected already (Wine's WMI connects it).
    auto* localhost = new ManagementConnection();
    owner->connections.Add(localhost);
    localhost->Connect(String(L"localhost"), String(), String(), String());
    Fill(L"  ");
    int shown = 0;
    desktop.whileShowing = [&]
    {
        if (++shown == 1)
        {
            Fill(L"LocalHost");
            PostKey(VK_RETURN);
        }
        else
        {
            PostKey(VK_ESCAPE);
        }
    };
    PostKey(VK_RETURN);
    EXPECT_EQ(DialogResult::Cancel, dialog->ShowDialog(&form));
    ASSERT_EQ(2u, desktop.messages.size());
    EXPECT_EQ(Quarrow::EmptyServerMessage, desktop.messages[0].text);
    EXPECT_EQ(L"You already have connection to this machine", desktop.messages[1].text);
    for (const auto& message : desktop.messages)
    {
        EXPECT_EQ(nullptr, message.owner);
        EXPECT_EQ(L"Connection Error", message.caption);
        EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONEXCLAMATION), message.style);
    }
    EXPECT_EQ(2, owner->connections.GetCount());
}

// "localhost" is not taken for the local machine: it makes a second connection, with the options' loading mode.
TEST_F(ConnectFormTest, LocalhostMakesASecondConnection)
{
    owner->options.SetAsyncLoad(false);
    Fill(L"localhost");
    PostKey(VK_RETURN);
    EXPECT_EQ(DialogResult::OK, dialog->ShowDialog(&form));
    EXPECT_TRUE(desktop.messages.empty());
    // The dialog hands the connection to its caller and leaves the owner's list alone.
    EXPECT_EQ(1, owner->connections.GetCount());
    std::unique_ptr<ManagementConnection> made = dialog->TakeConnection();
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(String(L"localhost"), made->GetServer());
    EXPECT_TRUE(made->IsConnected());
    EXPECT_FALSE(made->GetAsyncLoad());
    EXPECT_EQ(String(L"localhost"), dialog->GetServerName());
    EXPECT_EQ(nullptr, dialog->TakeConnection()) << "handed over once";
}

// A machine that cannot be reached keeps the dialog open with the WMI layer's text; correcting the entry and
// pressing OK again connects without reopening the dialog. The dialog remembers what was typed.
TEST_F(ConnectFormTest, AFailedConnectKeepsTheDialogOpenAndARetryWorks)
{
    Fill(L"NOSUCHMACHINE", L"ADMIN", L"secret", L"CONTOSO");
    desktop.whileShowing = [&]
    {
        boxes[0]->SetText(String(L"localhost"));
        PostKey(VK_RETURN);
    };
    PostKey(VK_RETURN);
    EXPECT_EQ(DialogResult::OK, dialog->ShowDialog(&form));
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(nullptr, desktop.messages[0].owner);
    EXPECT_EQ(L"Connection Error", desktop.messages[0].caption);
    // Wine refuses a named server with WBEM_E_TRANSPORT_FAILURE; the message names the machine first.
    EXPECT_EQ(std::wstring(L"Could not connect to NOSUCHMACHINE.\r\n\r\n") +
                  WMI::GetResultMessage(static_cast<long>(0x80041015)).GetBuffer(),
              desktop.messages[0].text);
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONERROR), desktop.messages[0].style);
    std::unique_ptr<ManagementConnection> made = dialog->TakeConnection();
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(String(L"localhost"), made->GetServer());

    // Reopened, it shows the last values; the password only as stars.
    desktop.whileShowing = nullptr;
    PostKey(VK_ESCAPE);
    EXPECT_EQ(DialogResult::Cancel, dialog->ShowDialog(&form));
    EXPECT_EQ(String(L"localhost"), boxes[0]->GetText());
    EXPECT_EQ(String(L"ADMIN"), boxes[1]->GetText());
    EXPECT_EQ(String(L"secret"), boxes[2]->GetText());
    EXPECT_EQ(String(L"******"), boxes[2]->GetDisplayText());
    EXPECT_EQ(String(L"CONTOSO"), boxes[3]->GetText());
    EXPECT_EQ(nullptr, dialog->TakeConnection()) << "a cancelled dialog makes no connection";
}

// An unreachable machine can take minutes to answer: the connection is made on a worker thread while the
// dialog keeps answering messages, its entries and buttons disabled and the wait cursor shown.
TEST_F(ConnectFormTest, ConnectsOnAWorkerThreadWhileTheDialogKeepsAnswering)
{
    ScriptedWmi::Provider provider;
    DWORD mainThread = GetCurrentThreadId();
    bool onWorker = false;
    bool okEnabled = true;
    bool answered = false;
    int cursor = 0;
    HWND dialogWindow = static_cast<HWND>(dialog->GetHandle());
    provider.onConnect = [&]
    {
        onWorker = GetCurrentThreadId() != mainThread;
        okEnabled = IsWindowEnabled(static_cast<HWND>(buttons[0]->GetHandle())) != FALSE;
        for (TextBox* box : boxes)
        {
            okEnabled = okEnabled || IsWindowEnabled(static_cast<HWND>(box->GetHandle()));
        }
        DWORD_PTR result = 0;
        answered = SendMessageTimeoutW(dialogWindow, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
        cursor = Cursor::GetCurrentId();
    };
    // The scripted provider answers any server name.
    Fill(L"far-away", L"ADMIN", L"pa55", L"");
    PostKey(VK_RETURN);
    EXPECT_EQ(DialogResult::OK, dialog->ShowDialog(&form));
    EXPECT_TRUE(onWorker);
    EXPECT_FALSE(okEnabled) << "the entries are disabled while the machine answers";
    EXPECT_TRUE(answered) << "the dialog answered a message sent while connecting";
    EXPECT_EQ(Cursor::Wait, cursor);
    EXPECT_EQ(Cursor::Arrow, Cursor::GetCurrentId());
    ASSERT_EQ(1u, provider.connects.size());
    EXPECT_EQ(L"\\\\far-away\\root\\cimv2", provider.connects[0].path);
    EXPECT_EQ(L"ADMIN", provider.connects[0].user);
    EXPECT_EQ(L"pa55", provider.connects[0].password);
    for (TextBox* box : boxes)
    {
        EXPECT_TRUE(IsWindowEnabled(static_cast<HWND>(box->GetHandle())));
    }
    EXPECT_NE(nullptr, dialog->TakeConnection());
}

// A screen reader names each box by its label and describes it by its tip; the password box says it is protected
// and never gives its value.
TEST_F(ConnectFormTest, AScreenReaderNamesTheBoxesAndKeepsThePasswordHidden)
{
    Fill(L"fileserver07", L"CONTOSO\\admin", L"secret", L"CONTOSO");
    Testing::Accessible server = Testing::Accessible::OfWindow(boxes[0]->GetHandle());
    EXPECT_EQ(L"Server:", server.Name());
    EXPECT_EQ(L"fileserver07", server.Value());
    EXPECT_EQ(L"Name of the server to view WMI info.", server.Description());
    Testing::Accessible password = Testing::Accessible::OfWindow(boxes[2]->GetHandle());
    EXPECT_EQ(L"Password:", password.Name());
    EXPECT_NE(0, password.State() & STATE_SYSTEM_PROTECTED);
    EXPECT_EQ(L"(none)", password.Value());
    Testing::Accessible window = Testing::Accessible::OfWindow(dialog->GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_DIALOG, window.Role());
    EXPECT_EQ(L"Connect to another machine", window.Name());
    Testing::Accessible ok = Testing::Accessible::OfWindow(buttons[0]->GetHandle());
    EXPECT_EQ(ROLE_SYSTEM_PUSHBUTTON, ok.Role());
    EXPECT_EQ(L"OK", ok.Name());
    EXPECT_NE(0, ok.State() & STATE_SYSTEM_DEFAULT);
    EXPECT_EQ(L"Press", ok.DefaultAction());
}

namespace
{

// Where the keyboard is once the dialog's loop runs; the dialog is then closed with Esc.
HWND g_focusWhenShown = nullptr;
void CALLBACK NoteFocusAndClose(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    g_focusWhenShown = GetFocus();
    PostMessageW(GetActiveWindow(), WM_KEYDOWN, VK_ESCAPE, 1);
}

} // namespace

// Closed with a click on Cancel, the dialog opens again with the keyboard in the server box, as it first did.
TEST_F(ConnectFormTest, ReopenedTheDialogStartsInTheServerBox)
{
    HWND cancel = static_cast<HWND>(buttons[1]->GetHandle());
    PostMessageW(cancel, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(cancel, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(DialogResult::Cancel, dialog->ShowDialog(&form));
    for (int showing = 0; showing < 2; showing++)
    {
        g_focusWhenShown = nullptr;
        SetTimer(nullptr, 0, 10, NoteFocusAndClose);
        EXPECT_EQ(DialogResult::Cancel, dialog->ShowDialog(&form));
        EXPECT_EQ(static_cast<HWND>(boxes[0]->GetHandle()), g_focusWhenShown) << "showing " << showing;
    }
}

namespace
{

// Runs the actions once the dialog's own loop runs; they close the dialog themselves.
std::function<void()> g_whileShown;
void CALLBACK RunWhileShown(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    std::function<void()> actions = std::move(g_whileShown);
    g_whileShown = nullptr;
    if (actions)
    {
        actions();
    }
}

} // namespace

// Each label has an access key that nothing else in the dialog answers to, and Alt with it puts the keyboard in
// the box beside the label (labels and boxes stand in the same order, Server to Domain).
TEST_F(ConnectFormTest, EachLabelsAccessKeyIsItsOwnAndPutsTheKeyboardInItsBox)
{
    std::vector<Label*> labels = FindControls<Label>(*dialog);
    ASSERT_EQ(4u, labels.size());
    std::set<wchar_t> keys;
    int keyed = 0;
    for (Control* control : FindControls<Control>(*dialog))
    {
        if (control->GetMnemonic() != 0)
        {
            keys.insert(control->GetMnemonic());
            keyed++;
        }
    }
    EXPECT_EQ(static_cast<size_t>(keyed), keys.size()) << "two controls share an access key";
    for (Label* label : labels)
    {
        EXPECT_NE(0, label->GetMnemonic()) << W(label->GetText());
    }
    std::vector<HWND> focused;
    g_whileShown = [&]
    {
        // From the last box up, so that every key moves the keyboard.
        for (int i = 3; i >= 0; i--)
        {
            Testing::PressKey(*dialog, labels[i]->GetMnemonic(), Keys::Alt);
            focused.push_back(GetFocus());
        }
        PostKey(VK_ESCAPE);
    };
    SetTimer(nullptr, 0, 10, RunWhileShown);
    EXPECT_EQ(DialogResult::Cancel, dialog->ShowDialog(&form));
    std::vector<HWND> expected;
    for (int i = 3; i >= 0; i--)
    {
        expected.push_back(static_cast<HWND>(boxes[i]->GetHandle()));
    }
    EXPECT_EQ(expected, focused);
}
