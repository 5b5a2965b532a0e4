#include "core/xml/NameTable.h"

#include "core/Exception.h"
#include "tests/support/AllocationCounter.h"

#include <gtest/gtest.h>

using namespace Core;
using namespace Core::Xml;

TEST(NameTable, EqualTextsShareOneString)
{
    NameTable table;
    const String& first = table.Add(String(L"Category"));
    const String& second = table.Add(String(L"Category"));
    EXPECT_EQ(&first, &second);
    EXPECT_TRUE(first == String(L"Category"));
    EXPECT_NE(&first, &table.Add(String(L"category"))); // ordinal, case-sensitive
    EXPECT_EQ(2, table.GetCount());
}

TEST(NameTable, ARunOfABufferFindsTheSameString)
{
    NameTable table;
    const String& name = table.Add(String(L"Name"));
    const wchar_t buffer[] = L"<Class Name='x'>";
    EXPECT_EQ(&name, &table.Add(buffer, 7, 4));
    EXPECT_EQ(&name, table.Get(buffer, 7, 4));
    EXPECT_EQ(nullptr, table.Get(buffer, 1, 5));
    EXPECT_EQ(&table.Add(String()), &table.Add(buffer, 3, 0));
}

TEST(NameTable, StringsStayWhereTheyAreWhileTheTableGrows)
{
    NameTable table;
    const String& first = table.Add(String(L"n0"));
    for (int i = 1; i < 5000; i++)
    {
        table.Add(String(L"n") + i);
    }
    EXPECT_EQ(5000, table.GetCount());
    EXPECT_EQ(&first, &table.Add(String(L"n0")));
    EXPECT_EQ(String(L"n4999"), *table.Get(String(L"n4999")));
}

TEST(NameTable, BadArgumentsAreRejected)
{
    NameTable table;
    EXPECT_THROW(table.Add(nullptr, 0, 1), ArgumentNullException);
    EXPECT_THROW(table.Add(L"abc", -1, 1), ArgumentOutOfRangeException);
    EXPECT_THROW(table.Add(L"abc", 0, -1), ArgumentOutOfRangeException);
    EXPECT_EQ(0, table.GetCount());
}

TEST(NameTable, ReleasesEverythingItHolds)
{
    EXPECT_EQ(0, Testing::LeakedBy(
                     []
                     {
                         NameTable table;
                         for (int i = 0; i < 200; i++)
                         {
                             table.Add(String(L"name") + i);
                         }
                     }));
}
