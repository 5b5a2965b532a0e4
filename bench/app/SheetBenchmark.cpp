// Opens the property sheet of a scripted instance of 100 properties: the time from Open (what Enter on a Results row
// calls) until the sheet shows every property painted, against the bare read of the same instance (GetObject and
// every property read whole) on the window thread.
#include "app/InstanceForm.h"
#include "core/controls/Form.h"
#include "core/platform/windows/Com.h"
#include "core/threading/BackgroundWork.h"
#include "wmi/InstanceReading.h"
#include "wmi/ManagementConnection.h"

#include "bench/support/MessageLoop.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ScriptedWmi.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include <windows.h>

using Core::String;

using Benchmark::Milliseconds;
using Benchmark::PumpMessages;
using Benchmark::PumpUntil;

namespace
{

const int PropertyCount = 100;
const int InstanceCount = 10;
const int Rounds = 21;

// A class of 100 properties of the kinds a sheet shows differently: texts, numbers, exact 64-bit values, datetimes,
// booleans, reals, arrays of five texts and NULLs; keyed by its first property.
void AddClass(ScriptedWmi::Provider& provider)
{
    using ScriptedWmi::Value;
    std::vector<std::pair<std::wstring, CIMTYPE>> properties;
    const CIMTYPE kinds[] = {
        CIM_STRING, CIM_UINT32, CIM_UINT64, CIM_DATETIME, CIM_BOOLEAN, CIM_REAL64, CIM_STRING | CIM_FLAG_ARRAY,
        CIM_STRING};
    for (int p = 0; p < PropertyCount; p++)
    {
        properties.emplace_back(L"Property" + std::to_wstring(p),
                                p == 0 ? static_cast<CIMTYPE>(CIM_STRING) : kinds[p % 8]);
    }
    ScriptedWmi::ClassScript& sheet = provider.AddClass(L"Bench_Sheet", properties);
    sheet.SetKeys({L"Property0"});
    for (int i = 0; i < InstanceCount; i++)
    {
        ScriptedWmi::Instance instance;
        for (int p = 0; p < PropertyCount; p++)
        {
            const std::wstring& name = properties[static_cast<size_t>(p)].first;
            std::wstring text = L"Value " + std::to_wstring(i) + L"." + std::to_wstring(p);
            if (p == 0)
            {
                instance.values.emplace_back(name, Value::Text(L"Instance" + std::to_wstring(i)));
                continue;
            }
            switch (p % 8)
            {
            case 0:
                instance.values.emplace_back(name, Value::Text(text));
                break;
            case 1:
                instance.values.emplace_back(name, Value::UInt32(4000000000UL + static_cast<unsigned long>(p)));
                break;
            case 2:
                instance.values.emplace_back(name, Value::UInt64(18446744073709551000ULL + p));
                break;
            case 3:
                instance.values.emplace_back(name, Value::DateTime(L"20261210135959.123456+060"));
                break;
            case 4:
                instance.values.emplace_back(name, Value::Bool(p % 16 == 4));
                break;
            case 5:
                instance.values.emplace_back(name, Value::Real64(p / 3.0));
                break;
            case 6:
                instance.values.emplace_back(
                    name, Value::Array(CIM_STRING, {Value::Text(L"a"), Value::Text(L"b"), Value::Text(L"c"),
                                                    Value::Text(L"d"), Value::Text(text)}));
                break;
            default:
                instance.values.emplace_back(name, Value::Null());
                break;
            }
        }
        sheet.instances.push_back(std::move(instance));
    }
}

std::wstring PathOf(int instance)
{
    return L"Bench_Sheet.Property0=\"Instance" + std::to_wstring(instance) + L"\"";
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main()
{
    Core::Platform::Windows::InitializeCom();
    Core::Platform::Windows::InitializeComSecurity();
    Testing::RecordingDesktop desktop;
    ScriptedWmi::Provider provider;
    provider.logging = false;
    AddClass(provider);
    std::vector<double> sheets;
    std::vector<double> bare;
    std::vector<double> ratios;
    std::vector<double> fills; // Open until the read came back and the rows were filled
    int failures = 0;
    {
        WMI::ManagementConnection connection;
        connection.Connect(String(), String(), String(), String());
        auto session = connection.GetSession();
        std::shared_ptr<const WMI::ManagementConnection> machine = connection.CopyCredentials();
        // A dialog needs an owner window, as the main window is; this one stays hidden.
        Core::Controls::Form owner;
        owner.Create();
        Quarrow::InstanceForm sheet;
        sheet.SetOwner(&owner);
        sheet.SetBounds(40, 40, 700, 800);
        for (int r = 0; r < Rounds; r++)
        {
            String path(PathOf(r % InstanceCount).c_str());
            // The reference first and the sheet second, or the other way round, in turn.
            auto readBare = [&]
            {
                double started = Milliseconds();
                WMI::ObjectValue object = WMI::GetInstance(*session, path);
                bare.push_back(Milliseconds() - started);
                if (object.GetProperties().GetCount() != PropertyCount)
                {
                    failures++;
                }
            };
            if (r % 2 == 0)
            {
                readBare();
            }
            HWND window = nullptr;
            double started = Milliseconds();
            sheet.Open(session, machine, path);
            window = static_cast<HWND>(sheet.GetSheet().GetHandle());
            double filled = -1;
            bool shown = PumpUntil(
                [&]
                {
                    if (filled < 0 && !sheet.IsReading())
                    {
                        filled = Milliseconds() - started;
                    }
                    return !sheet.IsReading() && sheet.GetShown() != nullptr &&
                           GetUpdateRect(window, nullptr, FALSE) == FALSE;
                });
            double took = Milliseconds() - started;
            if (!shown || sheet.GetShown()->GetProperties().GetCount() != PropertyCount)
            {
                std::printf("round %d: the sheet did not show the instance: %ls\n", r + 1,
                            sheet.GetStatusText().GetBuffer());
                failures++;
            }
            sheets.push_back(took);
            if (r % 2 == 1)
            {
                readBare();
            }
            ratios.push_back(took / std::max(bare.back(), 0.001));
            fills.push_back(filled);
            std::printf("round %d: sheet filled %.2f ms and painted %.2f ms after Open, the bare read %.2f ms\n", r + 1,
                        filled, took, bare.back());
            // What the instance is related to is read after the properties: let it come before the next round.
            PumpUntil([&] { return !sheet.IsReadingRelated(); });
        }
        sheet.Close();
        PumpMessages();
    }
    Core::Threading::BackgroundWork::WaitForAll(30000);
    std::printf("RESULT sheet-open-painted-median-ms %.2f\n", Median(sheets));
    std::printf("RESULT sheet-open-painted-worst-ms %.2f\n", *std::max_element(sheets.begin(), sheets.end()));
    std::printf("RESULT sheet-open-filled-median-ms %.2f\n", Median(fills));
    std::printf("RESULT sheet-bare-read-median-ms %.2f\n", Median(bare));
    std::printf("RESULT sheet-vs-bare-read %.2f\n", Median(ratios));
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
