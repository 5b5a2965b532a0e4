// "Copy as PowerShell": a Get-CimInstance command line that reads what a class or a query shows in the grid, for
// an administrator to run or script. It never carries a password.
#pragma once

#include "core/String.h"
#include "core/collections/ArrayList.h"

namespace WMI
{

class ClassDefinition;

// Where the command runs: the machine as Quarrow reached it. An empty server is the local machine; a user (with
// its domain) asks PowerShell to prompt for that user's password.
struct PowerShellTarget
{
    Core::String server;
    Core::String user;
    Core::String domain;
};

// Text as one PowerShell single-quoted string: every single quote, also the typographic ones PowerShell takes for
// quotes, doubled.
Core::String QuoteForPowerShell(const Core::String& text);

// Get-CimInstance -Namespace ... -ClassName ... [-Property ...] [-Filter ...] [machine] | Select-Object -Property
// ... : the properties in the grid's order, so that the output has the grid's columns. The properties given are
// the grid's columns (the class's own list, or all of them when that is empty).
Core::String PowerShellForClass(const ClassDefinition& definition,
                                const Core::Collections::ArrayList<Core::String>& columns,
                                const PowerShellTarget& target);

// Get-CimInstance -Namespace ... -Query ... [machine]: a typed WQL query as WMI takes it.
Core::String PowerShellForQuery(const Core::String& query, const Core::String& nameSpace,
                                const PowerShellTarget& target);

} // namespace WMI
