// A page of text followed by a page that faults when touched: a read past the end of a text placed at the end
// of the first page ends the test program. For scanners that read whole blocks.
#pragma once

#include <string>
#include <windows.h>

namespace Testing
{

class GuardedPage
{
public:
    GuardedPage()
    {
        m_base = static_cast<wchar_t*>(VirtualAlloc(nullptr, 2 * PageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        m_guarded = m_base != nullptr &&
                    VirtualProtect(reinterpret_cast<char*>(m_base) + PageSize, PageSize, PAGE_NOACCESS, &old);
    }
    ~GuardedPage() { VirtualFree(m_base, 0, MEM_RELEASE); }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;

    bool IsGuarded() const { return m_guarded; }
    // Fills the page with filler (a unit that would change the scan's result if it were looked at) and puts the
    // text unitsAfter units before the page's end.
    wchar_t* Place(const std::wstring& text, size_t unitsAfter, wchar_t filler = L'<')
    {
        for (size_t i = 0; i < PageSize / sizeof(wchar_t); i++)
        {
            m_base[i] = filler;
        }
        wchar_t* at = m_base + PageSize / sizeof(wchar_t) - unitsAfter - text.size();
        text.copy(at, text.size());
        return at;
    }

private:
    static constexpr size_t PageSize = 4096;
    wchar_t* m_base = nullptr;
    bool m_guarded = false;
};

} // namespace Testing
