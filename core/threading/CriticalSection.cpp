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

void CriticalSection::Enter()
{
    EnterCriticalSection(Native(m_section));
}

bool CriticalSection::TryEnter()
{
    return TryEnterCriticalSection(Native(m_section)) != FALSE;
}

void CriticalSection::Leave()
{
    LeaveCriticalSection(Native(m_section));
}

} // namespace Core::Threading
