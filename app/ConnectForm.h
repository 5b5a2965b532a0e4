// The connect dialog: a server name and optional credentials. It refuses a machine that is already connected
// and closes only once the connection has been made; the main window then adds the machine's node.
#pragma once

#include "core/collections/PointerArrayList.h"
#include "core/controls/Button.h"
#include "core/controls/Label.h"
#include "core/controls/TableLayout.h"
#include "core/controls/TextBox.h"
#include "core/controls/ToolTip.h"
#include "core/controls/Window.h"
#include "core/threading/Completion.h"

#include <memory>

namespace Config
{
class AppOptions;
}

namespace WMI
{
class ManagementConnection;
}

namespace Quarrow
{

struct ConnectRequest;

constexpr const wchar_t* EmptyServerMessage =
    L"The server name is empty. Type the name of the machine to connect to; the local machine is always connected.";

class ConnectForm : public Core::Controls::Window
{
public:
    // The connections made so far (a machine is connected once) and the options (the loading mode of a new one).
    ConnectForm(const Core::Collections::PointerArrayList<WMI::ManagementConnection>& connections,
                const Config::AppOptions& options);
    ~ConnectForm() override;

    Core::String GetServerName() const { return m_serverBox.GetText(); }
    // The connection made by the last OK, handed to the caller; null when there is none.
    std::unique_ptr<WMI::ManagementConnection> TakeConnection() { return std::move(m_connection); }

protected:
    // OK connects and closes only when it succeeded; the other results close.
    bool OnClosing(int dialogResult) override;

private:
    void StartAttempt(std::shared_ptr<ConnectRequest> request);
    void StartWorker(std::shared_ptr<ConnectRequest> request);
    // The connection made, which ends the dialog with OK, or the failure, shown with the dialog kept open.
    void OnAttemptEnded(const Core::String& server,
                        Core::Threading::Outcome<std::unique_ptr<WMI::ManagementConnection>>& outcome);
    // An attempt under way is over for the dialog: let go, the input back.
    void EndAttempt();
    void SetInputEnabled(bool enabled);
    void ShowConnectionError(const Core::String& text, unsigned int icon);

    const Core::Collections::PointerArrayList<WMI::ManagementConnection>& m_connections; // the main window's
    const Config::AppOptions& m_options;
    Core::Controls::TableLayout m_layout;
    Core::Controls::ToolTip m_toolTip;
    Core::Controls::Label m_serverLabel;
    Core::Controls::Label m_userLabel;
    Core::Controls::Label m_passwordLabel;
    Core::Controls::Label m_domainLabel;
    Core::Controls::TextBox m_serverBox;
    Core::Controls::TextBox m_userBox;
    Core::Controls::TextBox m_passwordBox;
    Core::Controls::TextBox m_domainBox;
    Core::Controls::Button m_okButton;
    Core::Controls::Button m_cancelButton;
    std::unique_ptr<WMI::ManagementConnection> m_connection; // made by OK, until the caller takes it
    bool m_connecting = false;
    Core::Threading::CompletionOwner m_attempt; // the connection attempt under way
};

} // namespace Quarrow
