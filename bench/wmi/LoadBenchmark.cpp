// Loads 100,000 scripted instances of 10 properties with ManagementObject::Load and compares the time
// with a bare loop over the same provider that only enumerates, reads and converts the values; then the same
// instances through a typed query, whose columns come from the objects.
#include "core/platform/windows/Com.h"
#include "tests/support/ScriptedWmi.h"
#include "wmi/ManagementObject.h"

#include "bench/support/Stopwatch.h"
#include <algorithm>

#include <cstdio>

using Core::String;
using ScriptedWmi::Value;

using Benchmark::Seconds;

namespace
{

const int InstanceCount = 100000;
const int PropertyCount = 10;
const int Rounds = 5;

// Strings, integers, booleans and nulls, as a typical class has them.
Value MakeValue(int instance, int property)
{
    switch (property % 4)
    {
    case 0:
        return Value::Text(L"Value " + std::to_wstring(instance) + L"." + std::to_wstring(property));
    case 1:
        return Value::Int(instance * 31 + property);
    case 2:
        return Value::Bool((instance + property) % 2 == 0);
    default:
        return instance % 3 == 0 ? Value::Null() : Value::Text(L"C:\\Windows\\System32\\svchost.exe");
    }
}

// The reference: enumeration and conversion only, nothing kept.
double BareEnumeration(WMI::ManagementConnection& connection, const String& query,
                       const std::vector<std::wstring>& names)
{
    double start = Seconds();
    IEnumWbemClassObject* enumerator = nullptr;
    BSTR language = SysAllocString(L"WQL");
    BSTR text = SysAllocString(query.GetBuffer());
    connection.GetServices()->ExecQuery(language, text, WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY, nullptr,
                                        &enumerator);
    connection.SetProxyBlanket(enumerator);
    IWbemClassObject* batch[50];
    ULONG returned = 0;
    long cells = 0;
    while (SUCCEEDED(enumerator->Next(1000, 50, batch, &returned)) && returned > 0)
    {
        for (ULONG i = 0; i < returned; i++)
        {
            for (const std::wstring& name : names)
            {
                VARIANT value;
                VariantInit(&value);
                if (SUCCEEDED(batch[i]->Get(name.c_str(), 0, &value, nullptr, nullptr)))
                {
                    VariantChangeType(&value, &value, VARIANT_LOCALBOOL, VT_BSTR);
                    cells++;
                }
                VariantClear(&value);
            }
            batch[i]->Release();
        }
    }
    enumerator->Release();
    SysFreeString(language);
    SysFreeString(text);
    double elapsed = Seconds() - start;
    if (cells != static_cast<long>(InstanceCount) * PropertyCount)
    {
        std::printf("bare loop read %ld cells\n", cells);
    }
    return elapsed;
}

// The heap bytes behind the rows: row objects, their element blocks and every cell's buffer, each with
// the allocator's 16-byte header and rounding.
size_t HeldBytes(WMI::ManagementObject& object)
{
    auto blockBytes = [](size_t size) { return (size + 16 + 15) / 16 * 16; };
    size_t total = blockBytes(static_cast<size_t>(object.GetRows().GetCapacity()) * sizeof(void*));
    for (int r = 0; r < object.GetRows().GetCount(); r++)
    {
        const WMI::Row& row = *object.GetRows()[r];
        total += blockBytes(sizeof(WMI::Row)) + blockBytes(static_cast<size_t>(row.GetCapacity()) * sizeof(String));
        for (int c = 0; c < row.GetCount(); c++)
        {
            if (row[c].GetLength() > 0)
            {
                total += blockBytes((static_cast<size_t>(row[c].GetLength()) + 1) * sizeof(wchar_t));
            }
        }
    }
    return total;
}

} // namespace

int main()
{
    Core::Platform::Windows::InitializeCom();
    {
        ScriptedWmi::Provider provider;
        provider.logging = false;
        std::vector<std::pair<std::wstring, CIMTYPE>> properties;
        std::vector<std::wstring> names;
        for (int p = 0; p < PropertyCount; p++)
        {
            names.push_back(L"Property" + std::to_wstring(p));
            properties.emplace_back(names.back(), CIM_STRING);
        }
        ScriptedWmi::ClassScript& script = provider.AddClass(L"Win32_Bench", properties);
        ScriptedWmi::AddInstances(script, InstanceCount, MakeValue);

        WMI::ManagementConnection connection;
        connection.SetAsyncLoad(false);
        connection.Connect(String(), String(), String(), String());

        double bestLoad = 1e9;
        double bestBare = 1e9;
        double bestQuery = 1e9;
        double bytesPerCell = 0;
        for (int round = 0; round < Rounds; round++)
        {
            bestBare = std::min(bestBare, BareEnumeration(connection, String(L"Select * from Win32_Bench"), names));

            WMI::ManagementObject object(&connection, String(L"Win32_Bench"), 0);
            for (const std::wstring& name : names)
            {
                object.GetProperties().Add(WMI::PropertyInfo(String(name.c_str())));
            }
            double start = Seconds();
            object.Load();
            bestLoad = std::min(bestLoad, Seconds() - start);
            if (object.GetState() != WMI::LoadCompleted || object.GetRows().GetCount() != InstanceCount)
            {
                std::printf("load failed: state %d, %d rows\n", object.GetState(), object.GetRows().GetCount());
                return 1;
            }

            WMI::ManagementObject query(&connection, String(L"Query"), 0);
            query.SetQueryText(String(L"SELECT * FROM Win32_Bench"));
            start = Seconds();
            query.Load();
            bestQuery = std::min(bestQuery, Seconds() - start);
            if (query.GetState() != WMI::LoadCompleted || query.GetRows().GetCount() != InstanceCount ||
                query.GetColumns().GetCount() != PropertyCount)
            {
                std::printf("query failed: state %d, %d rows, %d columns\n", query.GetState(),
                            query.GetRows().GetCount(), query.GetColumns().GetCount());
                return 1;
            }
        }
        {
            // One more, untimed load with the heap bytes counted: what the rows hold per cell.
            WMI::ManagementObject object(&connection, String(L"Win32_Bench"), 0);
            for (const std::wstring& name : names)
            {
                object.GetProperties().Add(WMI::PropertyInfo(String(name.c_str())));
            }
            object.Load();
            bytesPerCell = static_cast<double>(HeldBytes(object)) / (InstanceCount * PropertyCount);
        }
        double ratio = bestLoad / bestBare;
        std::printf("instances %d, properties %d, best of %d rounds\n", InstanceCount, PropertyCount, Rounds);
        std::printf("bare enumeration   %8.1f ms\n", bestBare * 1000);
        std::printf("ManagementObject   %8.1f ms\n", bestLoad * 1000);
        std::printf("typed query        %8.1f ms\n", bestQuery * 1000);
        std::printf("memory held        %8.1f heap bytes per cell (rows and cells)\n", bytesPerCell);
        std::printf("RESULT load-vs-bare-enumeration %.3f\n", ratio);
        std::printf("RESULT query-vs-bare-enumeration %.3f\n", bestQuery / bestBare);
    }
    CoUninitialize();
    return 0;
}
