// A Win32 critical section embedded by value in its owner, and a scope guard for it.
#pragma once

#include <atomic>
#include <cstdint>

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
    // Whether the calling thread holds the section: waiting there for another thread that needs the
    // section would never end.
    bool IsHeldByCurrentThread() const;

private:
    void Entered();

    // Storage of a CRITICAL_SECTION, so this header needs no Windows header.
    alignas(void*) unsigned char m_section[40];
    // The holding thread's id (0: none) and how often it has entered. Only the holder writes them; another
    // thread reading the id never finds its own.
    std::atomic<uint32_t> m_owner{0};
    int m_entries = 0;
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
