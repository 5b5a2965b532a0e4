#include "reports/ReportType.h"

#include <gtest/gtest.h>

using Core::String;
using Reports::ReportType;

TEST(ReportType, ValuesAreThoseOfTheOptionsAndCommands)
{
    EXPECT_EQ(2, ReportType(ReportType::CommaDelimited).GetValue());
    EXPECT_EQ(4, ReportType(ReportType::TabDelimited).GetValue());
    EXPECT_EQ(8, ReportType(ReportType::Excel).GetValue());
    EXPECT_TRUE(ReportType(8) == ReportType::Excel);
    EXPECT_TRUE(ReportType(2) != ReportType::Excel);
}

TEST(ReportType, TextFormIsTheTypeName)
{
    EXPECT_EQ(String(L"ReportType"), ReportType(ReportType::Excel).ToString());
    EXPECT_EQ(String(L"ReportType"), ReportType(0).ToString());
}

TEST(ReportType, EachTypeHasItsExtensionAndViewer)
{
    EXPECT_EQ(String(L".csv"), ReportType(ReportType::CommaDelimited).GetExtension());
    EXPECT_EQ(String(L".txt"), ReportType(ReportType::TabDelimited).GetExtension());
    EXPECT_EQ(String(L".xml"), ReportType(ReportType::Excel).GetExtension());
    EXPECT_EQ(String(L"Notepad.exe"), ReportType(ReportType::CommaDelimited).GetViewer());
    EXPECT_EQ(String(L"Notepad.exe"), ReportType(ReportType::TabDelimited).GetViewer());
    EXPECT_EQ(String(L"excel.exe"), ReportType(ReportType::Excel).GetViewer());
}

TEST(ReportType, OtherValuesAreHeldButUnknown)
{
    for (int value : {0, 1, 3, 16, -1})
    {
        ReportType type(value);
        EXPECT_EQ(value, type.GetValue());
        EXPECT_FALSE(type.IsKnown());
        EXPECT_TRUE(type.GetExtension().IsEmpty());
        EXPECT_TRUE(type.GetViewer().IsEmpty());
    }
    EXPECT_TRUE(ReportType(2).IsKnown());
    EXPECT_TRUE(ReportType(4).IsKnown());
    EXPECT_TRUE(ReportType(8).IsKnown());
}
