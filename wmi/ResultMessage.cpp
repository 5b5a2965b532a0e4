#include "wmi/ResultMessage.h"

#include <windows.h>

#include <oleauto.h>

namespace WMI
{

namespace
{

struct ResultText
{
    uint32_t code;
    const wchar_t* text;
};

const wchar_t* const AccessDenied =
    L"The current or specified user name and password were not valid or authorized to make the connection";

const ResultText ResultTexts[] = {
    {0x00000000, L"The call succeeded"},
    {0x80041003, AccessDenied},
    {0x80070005, AccessDenied},
    {0x80041001, L"Unspecified error"},
    {0x8004100E, L"The specified namespace did not exist on the server"},
    {0x80041008, L"An invalid parameter was specified"},
    {0x80041006, L"There was not enough memory to complete the operation"},
    {0x80041015, L"This indicates the failure of the remote procedure call (RPC) link between the current process "
                 L"and Windows Management"},
    {0x80041064, L"WMI is passing the user credential on local connection"},
    {0x800706BA, L"Cannot locate server"},
    {0x80041017, L"The query was not syntactically valid"},
    {0x80041018, L"The requested query language is not supported"},
    {0x80041033, L"Windows Management service was probably stopped and restarted. A new call to ConnectServer is "
                 L"needed"},
    {0x80041002, L"The query specifies a class that does not exist"},
    {0x8004106C, L"Quota violation"},
    {0x8004101D, L"An object in the enumeration has been deleted, destroying the validity of the enumeration"},
    {0x00040004, L"A time-out occurred before you obtained all the objects"},
};

const wchar_t* const UnknownText = L"Unknown error";

const wchar_t* TableText(int32_t result)
{
    for (const ResultText& entry : ResultTexts)
    {
        if (entry.code == static_cast<uint32_t>(result))
        {
            return entry.text;
        }
    }
    return UnknownText;
}

} // namespace

Core::String GetResultMessage(int32_t result)
{
    IErrorInfo* errorInfo = nullptr;
    HRESULT found = GetErrorInfo(0, &errorInfo);
    Core::String message(TableText(result));
    if (found == S_OK && errorInfo != nullptr)
    {
        BSTR description = nullptr;
        // An error object without a description says less than the table does.
        if (SUCCEEDED(errorInfo->GetDescription(&description)) && SysStringLen(description) > 0)
        {
            message = Core::String(description, static_cast<int>(SysStringLen(description)));
        }
        SysFreeString(description);
        errorInfo->Release();
    }
    return message;
}

Core::String GetResultReason(int32_t result)
{
    Core::String message = GetResultMessage(result);
    if (TableText(result) == UnknownText)
    {
        static const wchar_t digits[] = L"0123456789ABCDEF";
        wchar_t code[] = L" (0x00000000)";
        for (int i = 0; i < 8; i++)
        {
            code[4 + i] = digits[(static_cast<uint32_t>(result) >> (28 - 4 * i)) & 0xF];
        }
        message += code;
    }
    return message;
}

Core::String GetObjectFailureMessage(int32_t result, const Core::String& path)
{
    bool own = result == static_cast<int32_t>(0x80041002) || result == static_cast<int32_t>(0x80041003) ||
               result == static_cast<int32_t>(0x80070005) || result == static_cast<int32_t>(0x8004103A);
    if (own)
    {
        // These say more than a provider's own description would; it is not left behind for a later failure.
        SetErrorInfo(0, nullptr);
    }
    switch (static_cast<uint32_t>(result))
    {
    case 0x80041002: // WBEM_E_NOT_FOUND
        return Core::String(L"The instance ") + path + L" does not exist on the machine";
    case 0x80041003: // WBEM_E_ACCESS_DENIED
    case 0x80070005: // E_ACCESSDENIED
        return Core::String(L"Access to the instance ") + path + L" is denied";
    case 0x8004103A: // WBEM_E_INVALID_OBJECT_PATH
        return Core::String(L"Not a valid object path: ") + path;
    default:
        return Core::String(L"Could not read ") + path + L": " + GetResultReason(result);
    }
}

} // namespace WMI
