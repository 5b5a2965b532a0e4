#include "core/xml/XmlPlainText.h"

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

using Core::Xml::Detail::CopyPlain;
using Core::Xml::Detail::PlainScan;

namespace
{

// A page of text followed by a page that faults when touched: a read past the end of a text placed at the end
// of the first page would end the test.
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
    // Fills the page with '<' (which stops a scan) and puts the text at the given distance from its end.
    wchar_t* Place(const std::wstring& text, size_t unitsAfter)
    {
        for (size_t i = 0; i < PageSize / sizeof(wchar_t); i++)
        {
            m_base[i] = L'<';
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

} // namespace

// A short text is read as one block where that stays in its page and unit by unit at the end of a page; longer
// texts in blocks with an overlapping last one. All must stop at the same unit, copy what comes before it, and
// never look at the units after the text (here '<', which would stop the scan, or a page that faults).
TEST(XmlPlainText, StopsAtTheFirstSpecialUnitAndReadsNothingPastTheTextsPage)
{
    GuardedPage page;
    ASSERT_TRUE(page.IsGuarded());
    const wchar_t specials[] = {L'&', L'<', L'>', L'"', L'\x01', 0xD800, 0xFFFE};
    for (size_t after : {0, 1, 7, 8, 20})
    {
        for (int count = 1; count <= 20; count++)
        {
            for (int position = -1; position < count; position++)
            {
                for (wchar_t special : specials)
                {
                    std::wstring text(static_cast<size_t>(count), L'a');
                    if (position >= 0)
                    {
                        text[static_cast<size_t>(position)] = special;
                    }
                    const wchar_t* at = page.Place(text, after);
                    wchar_t out[40];
                    std::fill(out, out + 40, L'?');
                    // Inside an attribute value the quote stops the scan; in text '&' stands in for it.
                    int plain = CopyPlain(out, at, count, PlainScan(L'"'));
                    bool stops = position >= 0;
                    int expected = stops ? position : count;
                    ASSERT_EQ(expected, plain) << "count " << count << " position " << position << " unit "
                                               << static_cast<int>(special) << " after " << after;
                    ASSERT_EQ(text.substr(0, static_cast<size_t>(expected)),
                              std::wstring(out, static_cast<size_t>(expected)));
                    int inText = CopyPlain(out, at, count, PlainScan(L'&'));
                    ASSERT_EQ(special == L'"' ? count : expected, inText);
                }
            }
        }
    }
}
