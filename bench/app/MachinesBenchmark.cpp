// One class from several machines at once: four scripted machines of different speeds (each batch of 50 rows takes
// 5, 10, 20 and 40 ms to come), 2,000 instances each. The reference, measured in the same run, is the slowest
// machine loaded alone: loaded side by side, the whole takes about as long as that machine, not the sum of all.
//
//   RESULT machines-vs-slowest <ratio>   (goal <= 1.2)
//   RESULT machines-vs-sum <ratio>       (what loading one machine after another would cost: about 0.53)
#include "app/MachinesLoad.h"
#include "core/platform/windows/Com.h"
#include "tests/support/ScriptedWmi.h"
#include "wmi/ManagementConnection.h"

#include "bench/support/Stopwatch.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using Benchmark::Seconds;
using Core::String;

namespace
{

constexpr int InstanceCount = 2000;
constexpr int Rounds = 3;
const DWORD Delays[] = {5, 10, 20, 40}; // milliseconds a batch, per machine

ScriptedWmi::Value MakeValue(int index, int property)
{
    return property == 0 ? ScriptedWmi::Value::Text(L"process " + std::to_wstring(index))
                         : ScriptedWmi::Value::Int(index);
}

// Loads the class from the machines given and returns the seconds until every one has ended.
double LoadFrom(const std::vector<Quarrow::MachineSource>& machines, int expectedRows)
{
    WMI::ManagementObject model(nullptr, String(L"Win32_Process"), 0);
    model.GetProperties().Add(WMI::PropertyInfo(String(L"Name")));
    model.GetProperties().Add(WMI::PropertyInfo(String(L"ProcessId")));
    double start = Seconds();
    Quarrow::MachinesLoad load(model, machines);
    // As the window does: the machines tell of new rows through this thread's loop, and each telling collects.
    bool ended = false;
    load.Start(
        [&]
        {
            bool running = load.IsRunning();
            load.Collect();
            ended = !running;
        });
    MSG message;
    while (!ended && GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        DispatchMessageW(&message);
    }
    double elapsed = Seconds() - start;
    if (load.GetMerged().GetRows().GetCount() != expectedRows)
    {
        std::printf("wrong row count: %d\n", load.GetMerged().GetRows().GetCount());
    }
    return elapsed;
}

} // namespace

int main()
{
    Core::Platform::Windows::InitializeCom();
    {
        ScriptedWmi::Provider provider;
        provider.logging = false;
        ScriptedWmi::ClassScript& script =
            provider.AddClass(L"Win32_Process", {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}});
        ScriptedWmi::AddInstances(script, InstanceCount, MakeValue);
        provider.largestBatch = 50;

        std::vector<std::unique_ptr<WMI::ManagementConnection>> connections;
        std::vector<Quarrow::MachineSource> machines;
        for (DWORD delay : Delays)
        {
            std::wstring name = L"machine" + std::to_wstring(delay);
            provider.machines.push_back({name, ScriptedWmi::MachineScript{delay, S_OK}});
            auto connection = std::make_unique<WMI::ManagementConnection>();
            connection->Connect(String(name.c_str()), String(), String(), String());
            machines.push_back(Quarrow::MachineSource{String(name.c_str()), connection.get()});
            connections.push_back(std::move(connection));
        }

        double together = 1e9;
        double slowest = 1e9;
        double sum = 0;
        for (int round = 0; round < Rounds; round++)
        {
            together = std::min(together, LoadFrom(machines, InstanceCount * static_cast<int>(machines.size())));
            slowest = std::min(slowest, LoadFrom({machines.back()}, InstanceCount));
        }
        for (const Quarrow::MachineSource& machine : machines)
        {
            sum += LoadFrom({machine}, InstanceCount);
        }
        std::printf("%zu machines, %d instances each: together %.0f ms, slowest alone %.0f ms, one after another "
                    "%.0f ms\n",
                    machines.size(), InstanceCount, together * 1000, slowest * 1000, sum * 1000);
        std::printf("RESULT machines-vs-slowest %.2f\n", together / slowest);
        std::printf("RESULT machines-vs-sum %.2f\n", together / sum);
    }
    CoUninitialize();
    return 0;
}
