#include "wmi/InstanceReading.h"

#include "core/Exception.h"
#include "core/platform/windows/Com.h"
#include "wmi/InvalidWMIClassException.h"
#include "wmi/QueryText.h"
#include "wmi/ResultMessage.h"
#include "wmi/WbemText.h"

#include <windows.h>

#include <wbemidl.h>

using Core::String;
using Core::Platform::Windows::ComScope;
using Core::Platform::Windows::ComString;

namespace WMI
{

namespace
{

std::shared_ptr<const ConnectionSession> SessionOf(ManagementConnection* connection)
{
    if (connection == nullptr)
    {
        throw Core::ArgumentNullException(String(L"connection"));
    }
    return connection->GetSession();
}

} // namespace

ObjectValue GetInstance(const ConnectionSession& session, const String& path)
{
    // GetObject with no path hands out an empty object to build a class on, which is nothing to show.
    if (path.IsEmpty())
    {
        throw Core::InvalidArgumentException(String(L"No object path was given"));
    }
    ComScope<IWbemClassObject> object;
    HRESULT result = session.GetServices()->GetObject(ComString(path).Get(), 0, nullptr, object.Receive(), nullptr);
    if (FAILED(result) || !object)
    {
        String className = GetObjectPathClass(path);
        if (result == static_cast<HRESULT>(WBEM_E_INVALID_CLASS) && !className.IsEmpty())
        {
            throw InvalidWMIClassException(className);
        }
        throw Core::Exception(
            GetObjectFailureMessage(FAILED(result) ? result : static_cast<HRESULT>(WBEM_E_NOT_FOUND), path));
    }
    return ReadObject(object.Get());
}

ObjectValue GetInstance(ManagementConnection* connection, const String& path)
{
    return GetInstance(*SessionOf(connection), path);
}

bool IsSameMachine(const String& server, const ManagementConnection& machine, const String& knownServer)
{
    if (server.IsEmpty() || server == String(L".") || SameName(server, knownServer) ||
        SameName(server, machine.GetServer()))
    {
        return true;
    }
    if (machine.IsRemote())
    {
        return false;
    }
    if (SameName(server, String(L"localhost")) || server == String(L"127.0.0.1"))
    {
        return true;
    }
    for (COMPUTER_NAME_FORMAT format : {ComputerNameNetBIOS, ComputerNameDnsHostname, ComputerNameDnsFullyQualified})
    {
        wchar_t name[MAX_COMPUTERNAME_LENGTH + 256];
        DWORD size = static_cast<DWORD>(sizeof(name) / sizeof(name[0]));
        if (GetComputerNameExW(format, name, &size) && SameName(server, String(name)))
        {
            return true;
        }
    }
    return false;
}

std::shared_ptr<const ConnectionSession> OpenPathNamespace(const ConnectionSession& session,
                                                           const ManagementConnection& machine, const String& path,
                                                           const String& knownServer)
{
    ObjectPathPlace place = GetObjectPathPlace(path);
    // Another machine's object would need its own connection and credentials: the user makes that one.
    if (!IsSameMachine(place.server, machine, knownServer))
    {
        throw Core::Exception(String(L"The object ") + path + L" is on another machine (" + place.server +
                              L"). Connect to " + place.server + L" to open it.");
    }
    if (place.nameSpace.IsEmpty() || SameName(place.nameSpace, session.GetNamespace()))
    {
        return nullptr;
    }
    return machine.ConnectNamespace(place.nameSpace)->GetSession();
}

void ReadInstance(const Core::Threading::CompletionOwner& owner, ManagementConnection* connection, const String& path,
                  std::function<void(Core::Threading::Outcome<ObjectValue>&)> completion)
{
    std::shared_ptr<const ConnectionSession> session = SessionOf(connection);
    String className = GetObjectPathClass(path);
    std::shared_ptr<ClassTurn> turn = className.IsEmpty() ? nullptr : session->GetClassTurns().Take(className);
    Core::Threading::CompletionTarget wanted = owner.GetTarget();
    Core::Threading::RunInBackground<ObjectValue>(
        owner,
        [session, turn, path, wanted]
        {
            auto read = [&]
            {
                if (!wanted.IsWanted())
                {
                    return ObjectValue();
                }
                return GetInstance(*session, path);
            };
            return turn != nullptr ? turn->Run(read) : read();
        },
        std::move(completion));
}

} // namespace WMI
