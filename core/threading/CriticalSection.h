// A Win32 critical section embedded by value in its owner, and a scope guard for it.
#pragma once

namespace Core::Threading
{

class CriticalSection
{
public:
    CriticalSection();  // InitializeCriticalSection
    ~CriticalSection(); // DeleteCriticalSection
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    // Enters only if no other thread holds the section; true when entered.
    bool TryEnter();
    void Leave();

private:
    // Storage of a CRITICAL_SECTION, so this header needs no Windows header.
    alignas(void*) unsigned char m_section[40];
};

// Holds a critical section for the lifetime of the guard.
class CriticalSectionLock
{
public:
    explicit CriticalSectionLock(CriticalSection& section) : m_section(section) { m_section.Enter(); }
    ~CriticalSectionLock() { m_section.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_section;
};

} // namespace Core::Threading
