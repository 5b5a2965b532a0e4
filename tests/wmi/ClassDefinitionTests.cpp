#include "wmi/ClassDefinition.h"

#include "core/Exception.h"

#include <gtest/gtest.h>

using Core::String;
using WMI::ClassDefinition;
using WMI::PropertyInfo;

namespace
{

ClassDefinition Process(std::initializer_list<const wchar_t*> properties, const wchar_t* filter = L"")
{
    ClassDefinition definition(String(L"Win32_Process"), 0);
    for (const wchar_t* name : properties)
    {
        definition.GetProperties().Add(PropertyInfo(String(name)));
    }
    definition.SetFilter(String(filter));
    return definition;
}

std::wstring Query(const ClassDefinition& definition)
{
    return definition.GetQueryText().GetBuffer();
}

} // namespace

TEST(QueryText, PropertiesAreJoinedByCommaAndBlank)
{
    EXPECT_EQ(L"Select Name, ProcessId from Win32_Process", Query(Process({L"Name", L"ProcessId"})));
    EXPECT_EQ(L"Select Name from Win32_Process", Query(Process({L"Name"})));
}

TEST(QueryText, FilterFollowsWhereUnchanged)
{
    EXPECT_EQ(L"Select Name, ProcessId from Win32_Process where ProcessId > 4",
              Query(Process({L"Name", L"ProcessId"}, L"ProcessId > 4")));
    EXPECT_EQ(L"Select Name from Win32_Process where Name = 'a''b' ", Query(Process({L"Name"}, L"Name = 'a''b' ")));
}

TEST(QueryText, ABlankFilterIsNotEmpty)
{
    EXPECT_EQ(L"Select Name from Win32_Process where  ", Query(Process({L"Name"}, L" ")));
}

TEST(QueryText, AnEmptyPropertyListLeavesTwoBlanks)
{
    EXPECT_EQ(L"Select  from Win32_Process", Query(Process({})));
}

TEST(QueryText, NamesAreInsertedAsWritten)
{
    ClassDefinition definition(String(L" odd Class "), 0);
    definition.GetProperties().Add(PropertyInfo(String(L"lower case")));
    EXPECT_EQ(L"Select lower case from  odd Class ", Query(definition));
    EXPECT_EQ(0, definition.GetKind());
}

TEST(PropertyInfo, DefaultsToStringType)
{
    EXPECT_EQ(8, PropertyInfo(String(L"Name")).GetCimType());
    EXPECT_EQ(8, PropertyInfo().GetCimType());
}

TEST(CimTypeNames, EveryCodeOfTheTable)
{
    const std::pair<int, const wchar_t*> names[] = {
        {2, L"int16"},           {3, L"int32"},           {4, L"real32"},          {5, L"real64"},
        {8, L"string"},          {11, L"bool"},           {13, L"object"},         {16, L"int8"},
        {17, L"unsigned int8"},  {18, L"unsigned int16"}, {19, L"unsigned int32"}, {20, L"int64"},
        {21, L"unsigned int64"}, {101, L"datetime"},      {102, L"ref"},           {103, L"char16"},
    };
    for (const auto& [code, name] : names)
    {
        EXPECT_STREQ(name, WMI::GetCimTypeName(code).GetBuffer()) << code;
        EXPECT_STREQ(name, PropertyInfo(String(L"x"), code).GetCimTypeName().GetBuffer());
    }
}

TEST(CimTypeNames, ArraysAndUnknownCodes)
{
    EXPECT_STREQ(L"unknown", WMI::GetCimTypeName(0x2008).GetBuffer());
    EXPECT_STREQ(L"unknown", WMI::GetCimTypeName(0).GetBuffer());
    EXPECT_STREQ(L"unknown", WMI::GetCimTypeName(-1).GetBuffer());
    EXPECT_STREQ(L"unknown", WMI::GetCimTypeName(7).GetBuffer());
}

TEST(ClassNamespace, IsTheDefaultOneUntilSet)
{
    ClassDefinition definition(String(L"Win32_Process"), 0);
    EXPECT_STREQ(L"root\\cimv2", definition.GetNamespace().GetBuffer());
    EXPECT_TRUE(definition.IsInDefaultNamespace());
    definition.SetNamespace(String(L"root\\Microsoft\\Windows\\Storage"));
    EXPECT_STREQ(L"root\\Microsoft\\Windows\\Storage", definition.GetNamespace().GetBuffer());
    EXPECT_FALSE(definition.IsInDefaultNamespace());
    // The empty text names no namespace: the default one.
    definition.SetNamespace(String());
    EXPECT_STREQ(L"root\\cimv2", definition.GetNamespace().GetBuffer());
    // The query does not name it: the connection does.
    definition.SetNamespace(String(L"root\\wmi"));
    EXPECT_EQ(L"Select  from Win32_Process", Query(definition));
}

TEST(ClassNamespace, IsKeptAsWrittenAndComparedWithoutCase)
{
    ClassDefinition definition(String(L"Win32_Process"), 0);
    definition.SetNamespace(String(L"ROOT\\CimV2"));
    EXPECT_STREQ(L"ROOT\\CimV2", definition.GetNamespace().GetBuffer());
    EXPECT_TRUE(definition.IsInDefaultNamespace());
    EXPECT_TRUE(WMI::IsSameNamespace(String(L"root\\WMI"), String(L"Root\\wmi")));
    EXPECT_FALSE(WMI::IsSameNamespace(String(L"root\\wmi"), String(L"root\\wmi2")));
    EXPECT_FALSE(WMI::IsSameNamespace(String(L"root\\wmi"), String(L"root")));
    // Beyond ASCII too, as WMI compares them.
    EXPECT_TRUE(WMI::IsSameNamespace(String(L"root\\\u00C9t\u00E9"), String(L"ROOT\\\u00E9T\u00C9")));
}

TEST(ClassNamespace, WhatIsNoNamespacePathIsRefusedAndChangesNothing)
{
    // A machine's name, an empty name, another separator, a moniker, control characters, white space at the ends.
    const wchar_t* const refused[] = {L"\\\\server\\root\\cimv2",
                                      L"\\root\\wmi",
                                      L"root\\\\wmi",
                                      L"root\\wmi\\",
                                      L"root/wmi",
                                      L"winmgmts:root",
                                      L"root\twmi",
                                      L" root\\wmi",
                                      L"root\\wmi ",
                                      L" ",
                                      L"\\",
                                      L"root\\wmi\x7F"};
    for (const wchar_t* text : refused)
    {
        EXPECT_FALSE(WMI::IsNamespacePath(String(text))) << std::wstring(text);
        ClassDefinition definition(String(L"Win32_Process"), 0);
        definition.SetNamespace(String(L"root\\wmi"));
        EXPECT_THROW(definition.SetNamespace(String(text)), Core::InvalidArgumentException) << std::wstring(text);
        EXPECT_STREQ(L"root\\wmi", definition.GetNamespace().GetBuffer());
    }
    EXPECT_FALSE(WMI::IsNamespacePath(String()));
    for (const wchar_t* text : {L"root", L"root\\wmi", L"root\\Microsoft\\Windows\\Storage\\Providers_v2",
                                L"root\\cimv2\\Security\\MicrosoftVolumeEncryption", L"root\\Intel ME", L"ROOT\\CIMV2"})
    {
        EXPECT_TRUE(WMI::IsNamespacePath(String(text))) << std::wstring(text);
    }
}
