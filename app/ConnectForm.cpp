#include "app/ConnectForm.h"

#include "config/AppOptions.h"
#include "core/Exception.h"
#include "core/controls/Cursor.h"
#include "core/platform/windows/Com.h"
#include "core/platform/windows/Desktop.h"
#include "core/threading/Thread.h"
#include "wmi/ManagementConnection.h"

#include <memory>
#include <windows.h>

namespace Quarrow
{

using namespace Core::Controls;
using Core::String;
using WMI::ManagementConnection;

namespace
{

// One connection attempt, run on a worker thread so that the windows go on painting; it owns copies of the
// credentials and wipes its copy of the password.
class ConnectAttempt : public Core::Object
{
public:
    ConnectAttempt(ManagementConnection& connection, const String& server, const String& user, const String& password,
                   const String& domain)
        : m_connection(connection), m_server(server), m_user(user), m_password(password), m_domain(domain)
    {
    }
    ~ConnectAttempt() override { m_password.Wipe(); }

    void Run()
    {
        Core::Platform::Windows::ComApartmentScope apartment;
        try
        {
            m_connection.Connect(m_server, m_user, m_password, m_domain);
        }
        catch (const Core::Exception& exception)
        {
            m_failure = exception.GetMessageText();
        }
        catch (...)
        {
            m_failure = String(L"Not enough memory to connect");
        }
        m_password.Wipe();
    }

    // The failure's message after Run, empty when connected.
    const String& GetFailure() const { return m_failure; }

private:
    ManagementConnection& m_connection;
    String m_server;
    String m_user;
    String m_password;
    String m_domain;
    String m_failure;
};

} // namespace

ConnectForm::ConnectForm(ConnectionOwner& owner) : m_owner(owner)
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
        {&m_serverLabel, &m_serverBox, L"Server:", L"Name of the server to view WMI info."},
        {&m_userLabel, &m_userBox, L"User:",
         L"Enter your administrative user ID in format Domain\\UserID\n\r or just UserID for current domain."},
        {&m_passwordLabel, &m_passwordBox, L"Password:", L"Enter your login password."},
        {&m_domainLabel, &m_domainBox, L"Domain:",
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

ConnectForm::~ConnectForm() = default;

bool ConnectForm::OnClosing(int dialogResult)
{
    if (m_connecting)
    {
        return false;
    }
    if (dialogResult != DialogResult::OK)
    {
        return true;
    }
    String server = m_serverBox.GetText();
    String upperServer = server.ToUpper();
    Core::Collections::PointerArrayList<ManagementConnection>& connections = m_owner.GetConnections();
    for (int i = 0; i < connections.GetCount(); i++)
    {
        if (connections[i]->GetServer().ToUpper() == upperServer)
        {
            ShowConnectionError(String(L"You already have connection to this machine"), MB_ICONEXCLAMATION);
            return false;
        }
    }
    std::unique_ptr<ManagementConnection> connection;
    String failure;
    try
    {
        connection = std::make_unique<ManagementConnection>();
        connection->SetAsyncLoad(m_owner.GetOptions().GetAsyncLoad());
        String password = m_passwordBox.GetText();
        failure = ConnectWhileWaiting(*connection, server, m_userBox.GetText(), password, m_domainBox.GetText());
        password.Wipe();
    }
    catch (const Core::Exception& exception)
    {
        failure = exception.GetMessageText();
    }
    if (!failure.IsEmpty())
    {
        ShowConnectionError(failure, MB_ICONERROR);
        return false;
    }
    connections.Add(connection.get());
    connection.release();
    return true;
}

String ConnectForm::ConnectWhileWaiting(ManagementConnection& connection, const String& server, const String& user,
                                        const String& password, const String& domain)
{
    ConnectAttempt attempt(connection, server, user, password, domain);
    Core::Threading::ThreadStart start(&attempt, &ConnectAttempt::Run);
    // The windows keep painting while the machine answers; the dialog takes no input meanwhile.
    struct Busy
    {
        ConnectForm& form;
        WaitCursor wait;
        explicit Busy(ConnectForm& busyForm) : form(busyForm)
        {
            form.m_connecting = true;
            form.SetInputEnabled(false);
        }
        ~Busy()
        {
            form.m_connecting = false;
            form.SetInputEnabled(true);
        }
    } busy(*this);
    Core::Threading::RunWhilePumping(&start, String(L"Connect to ") + server);
    return attempt.GetFailure();
}

void ConnectForm::SetInputEnabled(bool enabled)
{
    for (Control* control : {static_cast<Control*>(&m_serverBox), static_cast<Control*>(&m_userBox),
                             static_cast<Control*>(&m_passwordBox), static_cast<Control*>(&m_domainBox),
                             static_cast<Control*>(&m_okButton), static_cast<Control*>(&m_cancelButton)})
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
