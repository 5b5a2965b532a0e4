#include "app/ConnectForm.h"

#include "app/TextInput.h"
#include "config/AppOptions.h"
#include "core/Exception.h"
#include "core/controls/Cursor.h"
#include "core/platform/windows/Desktop.h"
#include "core/threading/Completion.h"
#include "wmi/ManagementConnection.h"

#include <memory>
#include <windows.h>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using WMI::ManagementConnection;

// What one connection attempt needs, kept by the worker that connects; the copy of the password is wiped when
// the attempt is over, also when nobody waits for it any more.
struct ConnectRequest
{
    String server;
    String user;
    String password;
    String domain;
    bool asyncLoad = true;
    ~ConnectRequest() { password.Wipe(); }
};

ConnectForm::ConnectForm(const Core::Collections::PointerArrayList<ManagementConnection>& connections,
                         const Config::AppOptions& options)
    : m_connections(connections), m_options(options)
{
    SetClassName(String(L"Quarrow.ConnectForm"));
    SetText(String(L"Connect to another machine"));
    SetSize(270, 160);

    m_layout.SetDock(DockStyle::Fill);
    m_layout.SetMargin(Padding{8, 8, 8, 6});
    m_layout.AddColumn(SizeType::Absolute, 66);
    m_layout.AddColumn(SizeType::Percent, 100);
    m_layout.AddColumn(SizeType::Absolute, 78);
    m_layout.AddColumn(SizeType::Absolute, 78);
    for (int row = 0; row < 4; row++)
    {
        m_layout.AddRow(SizeType::Absolute, 24);
    }
    m_layout.AddRow(SizeType::Percent, 100);
    m_layout.AddRow(SizeType::Absolute, 27);
    GetControls().Add(&m_layout);

    // Creation order is the Tab order: the boxes from the top, then the buttons.
    struct Entry
    {
        Label* label;
        TextBox* box;
        const wchar_t* text;
        const wchar_t* tip;
    };
    const Entry entries[] = {
        {&m_serverLabel, &m_serverBox, L"&Server:", L"Name of the server to view WMI info."},
        {&m_userLabel, &m_userBox, L"&User:",
         L"Enter your administrative user ID in format Domain\\UserID\n\r or just UserID for current domain."},
        {&m_passwordLabel, &m_passwordBox, L"&Password:", L"Enter your login password."},
        {&m_domainLabel, &m_domainBox, L"&Domain:",
         L"Enter domain name from which to retrieve login security credentials."},
    };
    for (int row = 0; row < 4; row++)
    {
        const Entry& entry = entries[row];
        entry.label->SetText(String(entry.text));
        entry.label->SetTextAlignment(ContentAlignment::MiddleLeft);
        m_layout.Add(entry.label, row, 0);
        entry.box->SetMargin(Padding{0, 1, 0, 1});
        m_layout.Add(entry.box, row, 1, 1, 3);
        m_toolTip.SetToolTip(entry.box, String(entry.tip));
    }
    m_passwordBox.SetPasswordChar(L'*');

    m_okButton.SetText(String(L"OK"));
    m_okButton.SetDialogResult(DialogResult::OK);
    m_okButton.SetMargin(Padding{4, 2, 0, 0});
    m_layout.Add(&m_okButton, 5, 2);
    m_cancelButton.SetText(String(L"Cancel"));
    m_cancelButton.SetDialogResult(DialogResult::Cancel);
    m_cancelButton.SetMargin(Padding{4, 2, 0, 0});
    m_layout.Add(&m_cancelButton, 5, 3);
    SetAcceptButton(&m_okButton);
    SetCancelButton(&m_cancelButton);
}

// The connection type is complete here.
ConnectForm::~ConnectForm() = default;

bool ConnectForm::OnClosing(int dialogResult)
{
    if (dialogResult != DialogResult::OK)
    {
        // An attempt under way is let go: a machine that never answers keeps nobody waiting.
        EndAttempt();
        return true;
    }
    if (m_connection != nullptr)
    {
        return true; // the attempt's completion ends the dialog with the connection it made
    }
    if (m_connecting)
    {
        return false; // the boxes are greyed and the wait cursor shows until the machine answers
    }
    String server = WithoutBlanks(m_serverBox.GetText());
    if (server.IsEmpty())
    {
        // The local machine is always connected; an empty name can only be a slip.
        ShowConnectionError(String(EmptyServerMessage), MB_ICONEXCLAMATION);
        m_serverBox.Focus();
        return false;
    }
    String upperServer = server.ToUpper();
    for (int i = 0; i < m_connections.GetCount(); i++)
    {
        if (m_connections[i]->GetServer().ToUpper() == upperServer)
        {
            ShowConnectionError(String(L"You already have connection to this machine"), MB_ICONEXCLAMATION);
            return false;
        }
    }
    auto request = std::make_shared<ConnectRequest>();
    request->server = server;
    request->user = m_userBox.GetText();
    request->password = m_passwordBox.GetText();
    request->domain = m_domainBox.GetText();
    request->asyncLoad = m_options.GetAsyncLoad();
    try
    {
        StartAttempt(request);
    }
    catch (const Core::Exception& exception)
    {
        ShowConnectionError(String(L"Could not connect to ") + server + L".\r\n\r\n" + exception.GetMessageText(),
                            MB_ICONERROR);
    }
    return false;
}

void ConnectForm::StartAttempt(std::shared_ptr<ConnectRequest> request)
{
    // An unreachable machine can take minutes to answer: the worker connects, the dialog keeps painting and
    // offers Cancel, and the outcome comes back through the dialog's own loop.
    m_connecting = true;
    SetInputEnabled(false);
    Cursor::SetCurrent(Cursor(Cursor::Wait));
    try
    {
        StartWorker(request);
    }
    catch (...)
    {
        EndAttempt();
        throw;
    }
}

void ConnectForm::StartWorker(std::shared_ptr<ConnectRequest> request)
{
    Core::Threading::RunInBackground<std::unique_ptr<ManagementConnection>>(
        m_attempt,
        [request]
        {
            auto connection = std::make_unique<ManagementConnection>();
            connection->SetAsyncLoad(request->asyncLoad);
            connection->Connect(request->server, request->user, request->password, request->domain);
            return connection;
        },
        [this, server = request->server](Core::Threading::Outcome<std::unique_ptr<ManagementConnection>>& outcome)
        { OnAttemptEnded(server, outcome); });
}

void ConnectForm::OnAttemptEnded(const String& server,
                                 Core::Threading::Outcome<std::unique_ptr<ManagementConnection>>& outcome)
{
    EndAttempt();
    String failure;
    try
    {
        m_connection = std::move(outcome.Get());
    }
    catch (const Core::Exception& exception)
    {
        failure = exception.GetMessageText();
    }
    catch (const std::bad_alloc&)
    {
        failure = String(L"Not enough memory to connect");
    }
    if (!failure.IsEmpty())
    {
        ShowConnectionError(String(L"Could not connect to ") + server + L".\r\n\r\n" + failure, MB_ICONERROR);
        return;
    }
    EndDialog(DialogResult::OK);
}

void ConnectForm::EndAttempt()
{
    if (m_connecting)
    {
        m_attempt.Reset();
        m_connecting = false;
        SetInputEnabled(true);
        Cursor::SetCurrent(Cursor(Cursor::Arrow));
    }
}

void ConnectForm::SetInputEnabled(bool enabled)
{
    // Cancel stays: it lets the attempt go.
    for (Control* control :
         {static_cast<Control*>(&m_serverBox), static_cast<Control*>(&m_userBox), static_cast<Control*>(&m_passwordBox),
          static_cast<Control*>(&m_domainBox), static_cast<Control*>(&m_okButton)})
    {
        control->SetEnabled(enabled);
    }
}

void ConnectForm::ShowConnectionError(const String& text, unsigned int icon)
{
    // The message has no owner window, so it is not hidden behind the dialog's owner.
    Core::Platform::Windows::Desktop::Current().ShowMessage(nullptr, text, String(L"Connection Error"), MB_OK | icon);
}

} // namespace Quarrow
