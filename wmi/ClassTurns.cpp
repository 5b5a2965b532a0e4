#include "wmi/ClassTurns.h"

#include "core/Exception.h"

#include <windows.h>

namespace WMI
{

ClassTurn::ClassTurn(std::shared_ptr<Lines> lines, std::wstring key)
    : m_lines(std::move(lines)), m_key(std::move(key)), m_ended(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    if (m_ended == nullptr)
    {
        throw Core::Exception(Core::String(L"Failed to create an event for a class's calls"));
    }
}

ClassTurn::~ClassTurn()
{
    End();
    CloseHandle(m_ended);
    // The line keeps no trace of a class nobody calls now.
    std::lock_guard<std::mutex> guard(m_lines->lock);
    auto entry = m_lines->latest.find(m_key);
    if (entry != m_lines->latest.end() && entry->second.expired())
    {
        m_lines->latest.erase(entry);
    }
}

void ClassTurn::WaitForEarlier()
{
    if (m_earlier != nullptr)
    {
        WaitForSingleObject(m_earlier->m_ended, INFINITE);
        m_earlier.reset(); // the chain behind it goes too
    }
}

void ClassTurn::End()
{
    m_earlier.reset();
    SetEvent(m_ended);
}

std::shared_ptr<ClassTurn> ClassTurns::Take(const Core::String& className)
{
    Core::String upper = className.ToUpper();
    std::wstring key(upper.GetBuffer(), static_cast<size_t>(upper.GetLength()));
    auto turn = std::make_shared<ClassTurn>(m_lines, key);
    std::lock_guard<std::mutex> guard(m_lines->lock);
    std::weak_ptr<ClassTurn>& latest = m_lines->latest[key];
    turn->m_earlier = latest.lock();
    latest = turn;
    return turn;
}

} // namespace WMI
