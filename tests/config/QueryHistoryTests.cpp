#include "config/QueryHistory.h"

#include "core/Exception.h"
#include "core/platform/windows/RegistryKey.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using Config::QueryEntry;
using Config::QueryHistory;
using Core::String;
using Core::Platform::Windows::RegistryKey;

namespace
{

const wchar_t* const KeyPath = L"Software\\QuarrowTests\\Queries";

std::wstring W(const String& text)
{
    return std::wstring(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

QueryEntry Query(const std::wstring& text, const wchar_t* machine = L"Local Machine",
                 const wchar_t* nameSpace = L"root\\cimv2")
{
    return QueryEntry{String(text.c_str()), String(machine), String(nameSpace)};
}

class QueryHistoryTest : public testing::Test
{
protected:
    void SetUp() override { RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath)); }
    void TearDown() override { RegistryKey::DeleteTree(HKEY_CURRENT_USER, String(KeyPath)); }
};

} // namespace

// What was run is there after a restart, newest first, with its machine and namespace.
TEST_F(QueryHistoryTest, QueriesAreKeptAcrossARestartNewestFirst)
{
    {
        QueryHistory history{String(KeyPath)};
        history.Load();
        EXPECT_EQ(0, history.GetCount());
        history.Add(Query(L"SELECT * FROM Win32_Process"));
        history.Add(Query(L"SELECT * FROM MSSMBios_RawSMBiosTables", L"SRV1", L"root\\wmi"));
        history.Save();
    }
    QueryHistory restarted{String(KeyPath)};
    restarted.Load();
    ASSERT_EQ(2, restarted.GetCount());
    EXPECT_EQ(L"SELECT * FROM MSSMBios_RawSMBiosTables", W(restarted.Get(0).text));
    EXPECT_EQ(L"SRV1", W(restarted.Get(0).machine));
    EXPECT_EQ(L"root\\wmi", W(restarted.Get(0).nameSpace));
    EXPECT_EQ(L"SELECT * FROM Win32_Process", W(restarted.Get(1).text));
    EXPECT_THROW(restarted.Get(2), Core::ArgumentOutOfRangeException);
}

// Fifty are kept; the oldest go first, also from what is stored.
TEST_F(QueryHistoryTest, TheHistoryIsCappedAtFifty)
{
    QueryHistory history{String(KeyPath)};
    for (int i = 0; i < 60; i++)
    {
        history.Add(Query(L"SELECT * FROM Class" + std::to_wstring(i)));
    }
    ASSERT_EQ(50, history.GetCount());
    EXPECT_EQ(L"SELECT * FROM Class59", W(history.Get(0).text));
    EXPECT_EQ(L"SELECT * FROM Class10", W(history.Get(49).text));
    history.Save();
    QueryHistory restarted{String(KeyPath)};
    restarted.Load();
    ASSERT_EQ(50, restarted.GetCount());
    EXPECT_EQ(L"SELECT * FROM Class10", W(restarted.Get(49).text));
}

// The same query against the same machine and namespace moves to the front; against another one it is another entry.
TEST_F(QueryHistoryTest, ARepeatedQueryMovesToTheFront)
{
    QueryHistory history{String(KeyPath)};
    history.Add(Query(L"SELECT * FROM Win32_Service"));
    history.Add(Query(L"SELECT * FROM Win32_Process"));
    history.Add(Query(L"SELECT * FROM Win32_Service", L"local machine", L"ROOT\\CIMV2"));
    ASSERT_EQ(2, history.GetCount());
    EXPECT_EQ(L"SELECT * FROM Win32_Service", W(history.Get(0).text));
    history.Add(Query(L"SELECT * FROM Win32_Service", L"SRV1"));
    EXPECT_EQ(3, history.GetCount());
    history.Add(Query(L""));
    EXPECT_EQ(3, history.GetCount()) << "an empty text is no query";
}

// Odd stored values: a count out of range, an entry of another type or one missing lose only themselves.
TEST_F(QueryHistoryTest, DamagedEntriesArePassedOverAndTheOthersStay)
{
    int disposition = 0;
    RegistryKey key = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(String(KeyPath), disposition);
    key.SetInt32(String(L"Count"), 1000);
    key.SetString(String(L"0.Text"), String(L"SELECT Name FROM Win32_Share"));
    key.SetString(String(L"0.Machine"), String(L"Local Machine"));
    key.SetString(String(L"0.Namespace"), String(L"root\\cimv2"));
    key.SetInt32(String(L"1.Text"), 7); // not text
    key.SetString(String(L"1.Machine"), String(L"Local Machine"));
    key.SetString(String(L"1.Namespace"), String(L"root\\cimv2"));
    key.SetString(String(L"2.Text"), String(L"SELECT * FROM Win32_Process")); // no machine
    key.SetString(String(L"3.Text"), String(L"SELECT * FROM Win32_Thread"));
    key.SetString(String(L"3.Machine"), String(L"SRV1"));
    key.SetString(String(L"3.Namespace"), String(L"root\\cimv2"));
    QueryHistory history{String(KeyPath)};
    history.Load();
    ASSERT_EQ(2, history.GetCount());
    EXPECT_EQ(L"SELECT Name FROM Win32_Share", W(history.Get(0).text));
    EXPECT_EQ(L"SELECT * FROM Win32_Thread", W(history.Get(1).text));

    key.SetInt32(String(L"Count"), -3);
    history.Load();
    EXPECT_EQ(0, history.GetCount());
}
