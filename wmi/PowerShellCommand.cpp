#include "wmi/PowerShellCommand.h"

#include "wmi/ClassDefinition.h"

namespace WMI
{

using Core::String;

namespace
{

// "-ComputerName 'SRV1'", or a session for another user, whose password PowerShell asks for itself. Nothing for
// the local machine.
String MachineArguments(const PowerShellTarget& target)
{
    String server = target.server;
    bool local = server.IsEmpty() || server == String(L".");
    if (target.user.IsEmpty())
    {
        return local ? String() : String(L" -ComputerName ") + QuoteForPowerShell(server);
    }
    String user = target.domain.IsEmpty() ? target.user : target.domain + L"\\" + target.user;
    String session(L" -CimSession (New-CimSession");
    if (!local)
    {
        session += String(L" -ComputerName ") + QuoteForPowerShell(server);
    }
    return session + L" -Credential " + QuoteForPowerShell(user) + L")";
}

String QuotedList(const Core::Collections::ArrayList<String>& names)
{
    String list;
    for (int i = 0; i < names.GetCount(); i++)
    {
        list += i > 0 ? L"," : L"";
        list += QuoteForPowerShell(names[i]);
    }
    return list;
}

// WMI takes either separator; PowerShell users write forward slashes, but backslashes stay as given in quotes.
String NamespaceArgument(const String& nameSpace)
{
    return String(L"-Namespace ") + QuoteForPowerShell(nameSpace.IsEmpty() ? String(DefaultNamespace) : nameSpace);
}

} // namespace

String QuoteForPowerShell(const String& text)
{
    String quoted(L"'");
    for (int i = 0; i < text.GetLength(); i++)
    {
        wchar_t ch = text[i];
        quoted += ch;
        // PowerShell reads U+2018 to U+201B as single quotes too: each is doubled like the plain one.
        if (ch == L'\'' || (ch >= 0x2018 && ch <= 0x201B))
        {
            quoted += ch;
        }
    }
    quoted += L"'";
    return quoted;
}

String PowerShellForClass(const ClassDefinition& definition, const Core::Collections::ArrayList<String>& columns,
                          const PowerShellTarget& target)
{
    String command(L"Get-CimInstance ");
    command += NamespaceArgument(definition.GetNamespace());
    command += String(L" -ClassName ") + QuoteForPowerShell(definition.GetName());
    // A chosen list is what the query asks for; all properties are asked for when the class chose none.
    if (definition.GetProperties().GetCount() > 0)
    {
        Core::Collections::ArrayList<String> chosen;
        for (int i = 0; i < definition.GetProperties().GetCount(); i++)
        {
            chosen.Add(definition.GetProperties()[i].GetName());
        }
        command += String(L" -Property ") + QuotedList(chosen);
    }
    if (!definition.GetFilter().IsEmpty())
    {
        command += String(L" -Filter ") + QuoteForPowerShell(definition.GetFilter());
    }
    command += MachineArguments(target);
    if (columns.GetCount() > 0)
    {
        command += String(L" | Select-Object -Property ") + QuotedList(columns);
    }
    return command;
}

String PowerShellForQuery(const String& query, const String& nameSpace, const PowerShellTarget& target)
{
    return String(L"Get-CimInstance ") + NamespaceArgument(nameSpace) + L" -Query " + QuoteForPowerShell(query) +
           MachineArguments(target);
}

} // namespace WMI
