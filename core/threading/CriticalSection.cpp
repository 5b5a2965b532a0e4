#include "core/threading/CriticalSection.h"

#include <windows.h>

namespace Core::Threading
{

static_assert(sizeof(CRITICAL_SECTION) <= sizeof(CriticalSection), "CriticalSection storage too small");

namespace
{

CRITICAL_SECTION* Native(unsigned char* storage)
{
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

} // namespace

CriticalSection::CriticalSection()
{
    InitializeCriticalSection(Native(m_section));
}

CriticalSection::~CriticalSection()
{
    DeleteCriticalSection(Native(m_section));
}

void CriticalSection::Entered()
{
    if (m_entries++ == 0)
    {
        m_owner.store(GetCurrentThreadId(), std::memory_order_relaxed);
    }
}

void CriticalSection::Enter()
{
    EnterCriticalSection(Native(m_section));
    Entered();
}

bool CriticalSection::TryEnter()
{
    if (TryEnterCriticalSection(Native(m_section)) == FALSE)
    {
        return false;
    }
    Entered();
    return true;
}

void CriticalSection::Leave()
{
    if (--m_entries == 0)
    {
        m_owner.store(0, std::memory_order_relaxed);
    }
    LeaveCriticalSection(Native(m_section));
}

bool CriticalSection::IsHeldByCurrentThread() const
{
    return m_owner.load(std::memory_order_relaxed) == GetCurrentThreadId();
}

} // namespace Core::Threading
