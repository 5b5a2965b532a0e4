#include "config/QueryHistory.h"

#include "core/Exception.h"
#include "core/platform/windows/RegistryKey.h"

#include <windows.h>

namespace Config
{

using Core::String;
using Core::Platform::Windows::RegistryKey;

namespace
{

String ValueName(int index, const wchar_t* part)
{
    return String() + index + L"." + part;
}

bool SameQuery(const QueryEntry& first, const QueryEntry& second)
{
    return first.text == second.text && first.machine.ToUpper() == second.machine.ToUpper() &&
           first.nameSpace.ToUpper() == second.nameSpace.ToUpper();
}

} // namespace

QueryHistory::QueryHistory(const String& keyPath) : m_keyPath(keyPath) {}

void QueryHistory::Load()
{
    m_entries.clear();
    int disposition = 0;
    RegistryKey key = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(m_keyPath, disposition);
    int count = 0;
    try
    {
        count = key.GetInt32(String(L"Count"));
    }
    catch (const Core::Exception&)
    {
        return; // nothing stored yet
    }
    count = count < 0 ? 0 : (count > Capacity ? Capacity : count);
    for (int i = 0; i < count; i++)
    {
        try
        {
            QueryEntry entry{key.GetString(ValueName(i, L"Text")), key.GetString(ValueName(i, L"Machine")),
                             key.GetString(ValueName(i, L"Namespace"))};
            if (!entry.text.IsEmpty())
            {
                m_entries.push_back(entry);
            }
        }
        catch (const Core::Exception&)
        {
            // A damaged entry is passed over; the others stay.
        }
    }
}

void QueryHistory::Save() const
{
    int disposition = 0;
    RegistryKey key = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(m_keyPath, disposition);
    // The entries first and the count last: a save cut short leaves the count of the entries written before.
    for (size_t i = 0; i < m_entries.size(); i++)
    {
        int index = static_cast<int>(i);
        key.SetString(ValueName(index, L"Text"), m_entries[i].text);
        key.SetString(ValueName(index, L"Machine"), m_entries[i].machine);
        key.SetString(ValueName(index, L"Namespace"), m_entries[i].nameSpace);
    }
    key.SetInt32(String(L"Count"), static_cast<int32_t>(m_entries.size()));
}

void QueryHistory::Add(const QueryEntry& entry)
{
    if (entry.text.IsEmpty())
    {
        return;
    }
    for (size_t i = 0; i < m_entries.size(); i++)
    {
        if (SameQuery(m_entries[i], entry))
        {
            m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    m_entries.insert(m_entries.begin(), entry);
    if (m_entries.size() > static_cast<size_t>(Capacity))
    {
        m_entries.resize(Capacity);
    }
}

const QueryEntry& QueryHistory::Get(int index) const
{
    if (index < 0 || index >= GetCount())
    {
        throw Core::ArgumentOutOfRangeException(index, String(L"QueryHistory.Get method - index out of range"));
    }
    return m_entries[static_cast<size_t>(index)];
}

} // namespace Config
