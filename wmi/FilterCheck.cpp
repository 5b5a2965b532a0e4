#include "wmi/FilterCheck.h"

#include "core/Exception.h"
#include "core/platform/windows/Com.h"
#include "wmi/ClassDefinition.h"
#include "wmi/ManagementConnection.h"
#include "wmi/ResultMessage.h"

#include <windows.h>

#include <wbemidl.h>

using Core::String;
using Core::Platform::Windows::ComScope;

namespace WMI
{

String FilterCheck::QueryText(const WMI::ClassDefinition& definition, const String& filter)
{
    WMI::ClassDefinition query(definition.GetName(), 0);
    const Core::Collections::ArrayList<WMI::PropertyInfo>& properties = definition.GetProperties();
    for (int i = 0; i < properties.GetCount(); i++)
    {
        query.GetProperties().Add(properties[i]);
    }
    if (properties.GetCount() == 0)
    {
        query.GetProperties().Add(WMI::PropertyInfo(String(L"*")));
    }
    query.SetFilter(filter);
    return query.GetQueryText();
}

FilterCheckResult FilterCheck::Run(WMI::ManagementConnection& connection, const String& query, int timeoutMilliseconds)
{
    try
    {
        return Run(*connection.GetSession(), query, timeoutMilliseconds);
    }
    catch (const Core::Exception& exception)
    {
        FilterCheckResult result;
        result.failure = exception.GetMessageText();
        return result;
    }
}

FilterCheckResult FilterCheck::Run(const WMI::ConnectionSession& session, const String& query, int timeoutMilliseconds)
{
    FilterCheckResult result;
    try
    {
        ComScope<IEnumWbemClassObject> enumerator;
        HRESULT status = session.ExecQuery(query, enumerator.Receive());
        if (FAILED(status))
        {
            result.failure = WMI::GetResultMessage(status);
            return result;
        }
        // A query that returns immediately reports most of its faults on the first Next.
        IWbemClassObject* batch[BatchSize];
        ULONG returned = 0;
        status = enumerator->Next(static_cast<long>(timeoutMilliseconds), BatchSize, batch, &returned);
        for (ULONG i = 0; i < returned; i++)
        {
            batch[i]->Release();
        }
        if (status != WBEM_S_NO_ERROR && status != WBEM_S_FALSE && status != WBEM_S_TIMEDOUT)
        {
            result.failure = WMI::GetResultMessage(status);
            return result;
        }
        // Still running when the wait ended: the machine took the query, which is what is being checked.
        result.valid = true;
        result.instances = static_cast<int>(returned);
        result.batchFull = returned == BatchSize;
        result.timedOut = status == WBEM_S_TIMEDOUT;
        result.waitedMilliseconds = timeoutMilliseconds;
    }
    catch (const Core::Exception& exception)
    {
        result.valid = false;
        result.failure = exception.GetMessageText();
    }
    catch (...)
    {
        result.valid = false;
        result.failure = String(L"Not enough memory to run the query");
    }
    return result;
}

String FilterCheck::Describe(const FilterCheckResult& result)
{
    if (!result.valid)
    {
        return result.failure;
    }
    String text(L"The filter is valid. The query returned ");
    if (result.timedOut)
    {
        text += result.instances;
        text += result.instances == 1 ? L" instance" : L" instances";
        text += L" in the first ";
        text += result.waitedMilliseconds >= 1000 ? result.waitedMilliseconds / 1000 : result.waitedMilliseconds;
        text += result.waitedMilliseconds >= 1000 ? L" seconds" : L" milliseconds";
        text += L"; the machine was still collecting more.";
        return text;
    }
    if (result.batchFull)
    {
        text += BatchSize;
        text += L" or more instances.";
    }
    else if (result.instances == 0)
    {
        text += L"no instances.";
    }
    else if (result.instances == 1)
    {
        text += L"1 instance.";
    }
    else
    {
        text += result.instances;
        text += L" instances.";
    }
    return text;
}

} // namespace WMI
