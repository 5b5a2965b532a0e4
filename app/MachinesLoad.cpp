#include "app/MachinesLoad.h"

#include "app/TextInput.h"
#include "core/Exception.h"
#include "core/threading/CriticalSection.h"

#include <atomic>
#include <new>

namespace Quarrow
{

using Core::String;
using Core::Threading::CriticalSectionLock;
using WMI::ManagementObject;
using WMI::PropertyInfo;

MachinesLoad::MachinesLoad(const ManagementObject& model, const std::vector<MachineSource>& machines)
    : m_className(model.GetName()), m_merged(nullptr, model.GetName(), model.GetKind())
{
    // Every machine must answer with the same columns, so the list is fixed before the first query.
    if (model.GetProperties().GetCount() == 0)
    {
        throw Core::ArgumentException(String(L"The properties of ") + model.GetName() + L" are not known yet");
    }
    m_merged.GetProperties().Add(PropertyInfo(String(L"Machine")));
    for (int i = 0; i < model.GetProperties().GetCount(); i++)
    {
        m_merged.GetProperties().Add(model.GetProperties()[i]);
    }
    m_machines.reserve(machines.size());
    for (const MachineSource& source : machines)
    {
        Machine machine;
        machine.name = source.name;
        machine.load = std::make_unique<ManagementObject>(source.connection, model.GetName(), model.GetKind());
        machine.load->GetProperties() = model.GetProperties();
        machine.load->SetFilter(model.GetFilter());
        m_machines.push_back(std::move(machine));
    }
}

void MachinesLoad::Start(std::function<void()> changed)
{
    Core::Threading::CompletionTarget target = m_telling.GetTarget();
    // Set while a call is on its way, so that a burst of batches from every machine is told once.
    auto told = std::make_shared<std::atomic<bool>>(false);
    auto tell = [target, told, changed = std::move(changed)]
    {
        if (!told->exchange(true))
        {
            target.Post(
                [told, changed]
                {
                    told->store(false);
                    changed();
                });
        }
    };
    for (Machine& machine : m_machines)
    {
        try
        {
            machine.load->BeginLoad(tell);
        }
        catch (const Core::Exception& exception)
        {
            machine.startFailure = exception.GetMessageText();
        }
        catch (const std::bad_alloc&)
        {
            machine.startFailure = String(L"Not enough memory to start the load");
        }
    }
}

void MachinesLoad::Stop()
{
    m_stopRequested = true;
    m_telling.Reset();
    for (Machine& machine : m_machines)
    {
        machine.load->Cancel();
    }
}

bool MachinesLoad::IsRunning() const
{
    for (const Machine& machine : m_machines)
    {
        if (machine.load->IsLoading())
        {
            return true;
        }
    }
    return false;
}

int MachinesLoad::Collect()
{
    int added = 0;
    CriticalSectionLock mergedLock(m_merged.GetLock());
    Core::Collections::PointerArrayList<WMI::Row>& merged = m_merged.GetRows();
    int columns = m_merged.GetProperties().GetCount() - 1;
    for (size_t m = 0; m < m_machines.size(); m++)
    {
        Machine& machine = m_machines[m];
        CriticalSectionLock lock(machine.load->GetLock());
        Core::Collections::PointerArrayList<WMI::Row>& rows = machine.load->GetRows();
        // A cancelled load clears its own rows: what was taken before stays in the merged list.
        for (int r = machine.taken; r < rows.GetCount(); r++)
        {
            const WMI::Row& source = *rows[r];
            auto row = std::make_unique<WMI::Row>(columns + 1);
            row->Add(machine.name);
            for (int c = 0; c < columns; c++)
            {
                row->Add(c < source.GetCount() ? source[c] : String());
            }
            // One source per merged row, whichever of the two appends fails.
            m_rowSources.emplace_back(m, machine.load->GetRowPath(r));
            try
            {
                merged.Add(row.get());
            }
            catch (...)
            {
                m_rowSources.pop_back();
                throw;
            }
            row.release();
            added++;
        }
        machine.taken = rows.GetCount() > machine.taken ? rows.GetCount() : machine.taken;
    }
    return added;
}

WMI::ManagementConnection* MachinesLoad::GetRowSource(int row, String& path) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_rowSources.size())
    {
        path = String();
        return nullptr;
    }
    const auto& source = m_rowSources[static_cast<size_t>(row)];
    path = source.second;
    return m_machines[source.first].load->GetConnection();
}

bool MachinesLoad::HasFailed(const Machine& machine)
{
    return !machine.startFailure.IsEmpty() ||
           (!machine.load->IsLoading() && machine.load->GetState() == WMI::LoadFailed);
}

String MachinesLoad::FailureOf(const Machine& machine)
{
    if (!machine.startFailure.IsEmpty())
    {
        return machine.startFailure;
    }
    String reason = OnOneLine(machine.load->GetFailureMessage());
    return reason.IsEmpty() ? String(L"Loading error occured.") : reason;
}

int MachinesLoad::CountFailed() const
{
    int failed = 0;
    for (const Machine& machine : m_machines)
    {
        failed += HasFailed(machine) ? 1 : 0;
    }
    return failed;
}

String MachinesLoad::GetProgressText()
{
    String text(L"Loading ...");
    text += m_merged.GetRows().GetCount();
    text += L" records ready (";
    for (size_t i = 0; i < m_machines.size(); i++)
    {
        const Machine& machine = m_machines[i];
        text += i > 0 ? L", " : L"";
        text += machine.name;
        if (HasFailed(machine))
        {
            text += L" failed";
            continue;
        }
        text += L" ";
        text += machine.taken;
        text += machine.load->IsLoading() ? L" ..." : L"";
    }
    text += L")";
    return text;
}

String MachinesLoad::GetEndText()
{
    int total = GetMachineCount();
    int answered = total - CountFailed();
    String text(m_stopRequested ? L"Loading cancelled. " : L"Loading completed. ");
    text += m_merged.GetRows().GetCount();
    text += L" records from ";
    if (answered != total)
    {
        text += answered;
        text += L" of ";
    }
    text += total;
    text += total == 1 ? L" machine" : L" machines";
    // The rows a machine gave before it failed are real and stay in the grid, so the count above holds them:
    // said here, so that nobody takes the total for what the answering machines hold.
    String partial;
    int partlyRead = 0;
    for (const Machine& machine : m_machines)
    {
        if (HasFailed(machine) && machine.taken > 0)
        {
            partial += partlyRead++ > 0 ? L", " : L"";
            partial += String() + machine.taken + L" from " + machine.name;
        }
    }
    if (partlyRead > 0)
    {
        text += L" (" + partial + (partlyRead == 1 ? L" before it failed)" : L" before they failed)");
    }
    return text;
}

String MachinesLoad::GetFailuresText() const
{
    String text;
    for (const Machine& machine : m_machines)
    {
        if (HasFailed(machine))
        {
            text += text.IsEmpty() ? L"" : L"\r\n";
            text += machine.name + L": " + FailureOf(machine);
            if (machine.taken > 0)
            {
                text += String(L" (") + machine.taken + L" records read before the failure are shown)";
            }
        }
    }
    return text;
}

} // namespace Quarrow
