// Values as WMI hands them out, kept as they are: every CIM type from its documented automation type, NULL apart
// from the empty text, exact 64-bit integers, arrays, embedded objects read whole, and the one-line texts a sheet
// shows. The variants come from the scripted provider's values, shaped as Windows documents them.
#include "wmi/ClassDefinition.h"
#include "wmi/PropertyValue.h"

#include "tests/wmi/WmiTesting.h"

#include <cstdint>

using Core::String;
using ScriptedWmi::Instance;
using ScriptedWmi::Value;
using WMI::PropertyValue;

namespace
{

PropertyValue Read(const Value& value, int cimType)
{
    return PropertyValue::FromVariant(value.GetVariant(), cimType);
}

std::wstring TextOf(const Value& value, int cimType)
{
    return Read(value, cimType).GetText().GetBuffer();
}

std::wstring Shown(const PropertyValue& value)
{
    return WMI::FormatValue(value, [](const WMI::CivilTime&) { return 60; }).GetBuffer();
}

Instance Values(std::vector<std::pair<std::wstring, Value>> values)
{
    Instance instance;
    instance.values = std::move(values);
    return instance;
}

class PropertyValueTest : public WmiTesting::ScriptedTest
{
};

} // namespace

// --- scalars of every type ---

TEST_F(PropertyValueTest, IntegersOfEveryWidthAreExact)
{
    EXPECT_EQ(L"-5", TextOf(Value::SInt8(-5), CIM_SINT8));
    EXPECT_EQ(L"200", TextOf(Value::UInt8(200), CIM_UINT8));
    EXPECT_EQ(L"-30000", TextOf(Value::SInt16(-30000), CIM_SINT16));
    EXPECT_EQ(L"65535", TextOf(Value::UInt16(65535), CIM_UINT16));
    EXPECT_EQ(L"-2147483648", TextOf(Value::SInt32(INT32_MIN), CIM_SINT32));
    // WMI hands a uint32 over in a VT_I4: the bits are read back unsigned.
    EXPECT_EQ(L"4294967295", TextOf(Value::UInt32(4294967295UL), CIM_UINT32));
    EXPECT_EQ(L"2147483648", TextOf(Value::UInt32(2147483648UL), CIM_UINT32));
    EXPECT_EQ(L"-9223372036854775808", TextOf(Value::SInt64(INT64_MIN), CIM_SINT64));
    EXPECT_EQ(L"9223372036854775807", TextOf(Value::SInt64(INT64_MAX), CIM_SINT64));
    EXPECT_EQ(L"18446744073709551615", TextOf(Value::UInt64(UINT64_MAX), CIM_UINT64));
    EXPECT_EQ(L"0", TextOf(Value::UInt64(0), CIM_UINT64));
    // ANSI C's hexadecimal form is read as the number it writes.
    EXPECT_EQ(L"255", TextOf(Value::Text(L"0xFF"), CIM_UINT64));
    EXPECT_EQ(L"-16", TextOf(Value::Text(L"-0x10"), CIM_SINT64));
}

TEST_F(PropertyValueTest, A64BitTextThatIsNotItsNumberStaysAsItIs)
{
    EXPECT_EQ(L"18446744073709551616", TextOf(Value::Text(L"18446744073709551616"), CIM_UINT64)); // one too many
    EXPECT_EQ(L"9223372036854775808", TextOf(Value::Text(L"9223372036854775808"), CIM_SINT64));
    EXPECT_EQ(L"-1", TextOf(Value::Text(L"-1"), CIM_UINT64));
    EXPECT_EQ(L"12abc", TextOf(Value::Text(L"12abc"), CIM_UINT64));
    EXPECT_EQ(L"", TextOf(Value::Text(L""), CIM_UINT64));
    EXPECT_FALSE(Read(Value::Text(L""), CIM_UINT64).IsNull());
}

TEST_F(PropertyValueTest, OtherAutomationTypesOfIntegersAreReadToo)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI4;
    value.ulVal = 4000000000UL;
    EXPECT_STREQ(L"4000000000", PropertyValue::FromVariant(value, WMI::CimUInt32).GetText().GetBuffer());
    value.vt = VT_UI8;
    value.ullVal = UINT64_MAX;
    EXPECT_STREQ(L"18446744073709551615", PropertyValue::FromVariant(value, WMI::CimUInt64).GetText().GetBuffer());
    value.vt = VT_I8;
    value.llVal = INT64_MIN;
    EXPECT_STREQ(L"-9223372036854775808", PropertyValue::FromVariant(value, WMI::CimSInt64).GetText().GetBuffer());
    // A reference to a value, as some callers hand them.
    LONG referred = -7;
    value.vt = VT_BYREF | VT_I4;
    value.plVal = &referred;
    EXPECT_STREQ(L"-7", PropertyValue::FromVariant(value, WMI::CimSInt32).GetText().GetBuffer());
}

TEST_F(PropertyValueTest, RealsBooleansCharactersAndTexts)
{
    EXPECT_EQ(L"0.1", TextOf(Value::Real32(0.1f), CIM_REAL32));
    EXPECT_EQ(L"0.1", TextOf(Value::Real64(0.1), CIM_REAL64));
    EXPECT_EQ(L"0.30000000000000004", TextOf(Value::Real64(0.1 + 0.2), CIM_REAL64));
    EXPECT_EQ(L"1e+300", TextOf(Value::Real64(1e300), CIM_REAL64));
    EXPECT_EQ(L"-2.5", TextOf(Value::Real32(-2.5f), CIM_REAL32));
    EXPECT_EQ(L"True", TextOf(Value::Bool(true), CIM_BOOLEAN));
    EXPECT_EQ(L"False", TextOf(Value::Bool(false), CIM_BOOLEAN));
    EXPECT_EQ(L"Q", TextOf(Value::Char16(L'Q'), CIM_CHAR16));
    EXPECT_EQ(L"\u00e9", TextOf(Value::Char16(L'\u00e9'), CIM_CHAR16));
    EXPECT_EQ(L"C:\\Windows", TextOf(Value::Text(L"C:\\Windows"), CIM_STRING));
    EXPECT_EQ(L"Win32_Share.Name=\"C$\"", TextOf(Value::Reference(L"Win32_Share.Name=\"C$\""), CIM_REFERENCE));
    EXPECT_EQ(WMI::CimReference, Read(Value::Reference(L"x"), CIM_REFERENCE).GetCimType());
}

TEST_F(PropertyValueTest, NulsCountedAfterATextAreNotPartOfIt)
{
    // Wine hands out paths whose length counts NULs after the text.
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocStringLen(L"A.K=1\0\0\0", 8);
    EXPECT_STREQ(L"A.K=1", PropertyValue::FromVariant(value, WMI::CimString).GetText().GetBuffer());
    EXPECT_EQ(5, PropertyValue::FromVariant(value, WMI::CimString).GetText().GetLength());
    VariantClear(&value);
}

TEST_F(PropertyValueTest, ADatetimeKeepsWmisTextAndShowsReadably)
{
    PropertyValue value = Read(Value::DateTime(L"20260309140500.000000+000"), CIM_DATETIME);
    EXPECT_STREQ(L"20260309140500.000000+000", value.GetText().GetBuffer());
    EXPECT_EQ(WMI::DateTimeValue::Point, value.GetDateTime().GetKind());
    EXPECT_EQ(L"2026-03-09 15:05:00", Shown(value));
    // A malformed one is shown as it came.
    EXPECT_EQ(L"yesterday", Shown(Read(Value::DateTime(L"yesterday"), CIM_DATETIME)));
    EXPECT_EQ(L"1 day, 0 hours, 0 minutes, 0 seconds",
              Shown(Read(Value::DateTime(L"00000001000000.000000:000"), CIM_DATETIME)));
}

TEST_F(PropertyValueTest, NullStandsApartFromTheEmptyText)
{
    PropertyValue null = Read(Value::Null(), CIM_STRING);
    EXPECT_TRUE(null.IsNull());
    EXPECT_EQ(WMI::CimString, null.GetCimType());
    EXPECT_EQ(L"NULL", Shown(null));
    PropertyValue empty = Read(Value::Text(L""), CIM_STRING);
    EXPECT_FALSE(empty.IsNull());
    EXPECT_EQ(L"", Shown(empty));
    // Also for the other types, and for a value that holds nothing at all.
    EXPECT_TRUE(Read(Value::Null(), CIM_UINT64).IsNull());
    VARIANT nothing;
    VariantInit(&nothing);
    EXPECT_TRUE(PropertyValue::FromVariant(nothing, WMI::CimDateTime).IsNull());
    EXPECT_TRUE(PropertyValue().IsNull());
    EXPECT_FALSE(null.IsArray());
    EXPECT_FALSE(null.IsEmbedded());
}

TEST_F(PropertyValueTest, WithoutADeclaredTypeTheVariantSaysIt)
{
    EXPECT_EQ(WMI::CimSInt32, Read(Value::Int(3), 0).GetCimType());
    EXPECT_EQ(WMI::CimString, Read(Value::Text(L"x"), 0).GetCimType());
    EXPECT_EQ(WMI::CimBoolean, Read(Value::Bool(true), 0).GetCimType());
    EXPECT_EQ(WMI::CimReal64, Read(Value::Real(1.0), 0).GetCimType());
    EXPECT_EQ(WMI::CimSInt32 | WMI::CimArrayFlag, Read(Value::Ints({1}), 0).GetCimType());
    EXPECT_EQ(L"-3", TextOf(Value::Int(-3), 0));
}

TEST_F(PropertyValueTest, AValueOfAnotherTypeThanDeclaredKeepsItsText)
{
    // A provider that hands out a number for a string property, or a text for a boolean.
    EXPECT_EQ(L"42", TextOf(Value::Int(42), CIM_STRING));
    EXPECT_EQ(L"yes", TextOf(Value::Text(L"yes"), CIM_BOOLEAN));
    EXPECT_EQ(L"1.5", TextOf(Value::Real(1.5), CIM_STRING));
}

// --- arrays ---

TEST_F(PropertyValueTest, AnArrayHoldsItsElementsWithTheirCount)
{
    PropertyValue numbers =
        Read(Value::Array(CIM_UINT32, {Value::UInt32(1), Value::UInt32(4294967295UL)}), CIM_UINT32 | CIM_FLAG_ARRAY);
    ASSERT_TRUE(numbers.IsArray());
    EXPECT_EQ(WMI::CimUInt32 | WMI::CimArrayFlag, numbers.GetCimType());
    ASSERT_EQ(2, numbers.GetCount());
    EXPECT_STREQ(L"4294967295", numbers.GetElement(1).GetText().GetBuffer());
    EXPECT_EQ(WMI::CimUInt32, numbers.GetElement(1).GetCimType());
    EXPECT_EQ(L"{1, 4294967295}", Shown(numbers));
    EXPECT_TRUE(numbers.GetText().IsEmpty());
    EXPECT_THROW(numbers.GetElement(2), Core::ArgumentOutOfRangeException);
    EXPECT_THROW(numbers.GetElement(-1), Core::ArgumentOutOfRangeException);
    PropertyValue none = Read(Value::Array(CIM_STRING, {}), CIM_STRING | CIM_FLAG_ARRAY);
    EXPECT_TRUE(none.IsArray());
    EXPECT_EQ(0, none.GetCount());
    EXPECT_EQ(L"{}", Shown(none));
    EXPECT_TRUE(Read(Value::Null(), CIM_STRING | CIM_FLAG_ARRAY).IsNull());
    EXPECT_STREQ(L"0 elements", WMI::FormatElementCount(0).GetBuffer());
    EXPECT_STREQ(L"1 element", WMI::FormatElementCount(1).GetBuffer());
    EXPECT_STREQ(L"3 elements", WMI::FormatElementCount(3).GetBuffer());
}

TEST_F(PropertyValueTest, ArraysOfEveryTypeReadTheirElementsAsScalars)
{
    EXPECT_EQ(L"{-1, 0, 200}",
              Shown(Read(Value::Array(CIM_SINT8, {Value::SInt8(-1), Value::SInt8(0), Value::SInt8(200)}),
                         CIM_SINT8 | CIM_FLAG_ARRAY)));
    EXPECT_EQ(L"{255}", Shown(Read(Value::Array(CIM_UINT8, {Value::UInt8(255)}), CIM_UINT8 | CIM_FLAG_ARRAY)));
    EXPECT_EQ(L"{65535}", Shown(Read(Value::Array(CIM_UINT16, {Value::UInt16(65535)}), CIM_UINT16 | CIM_FLAG_ARRAY)));
    EXPECT_EQ(L"{18446744073709551615}",
              Shown(Read(Value::Array(CIM_UINT64, {Value::UInt64(UINT64_MAX)}), CIM_UINT64 | CIM_FLAG_ARRAY)));
    EXPECT_EQ(L"{-9223372036854775808}",
              Shown(Read(Value::Array(CIM_SINT64, {Value::SInt64(INT64_MIN)}), CIM_SINT64 | CIM_FLAG_ARRAY)));
    EXPECT_EQ(L"{0.25, 1e+20}", Shown(Read(Value::Array(CIM_REAL32, {Value::Real32(0.25f), Value::Real32(1e20f)}),
                                           CIM_REAL32 | CIM_FLAG_ARRAY)));
    EXPECT_EQ(L"{True, False}", Shown(Read(Value::Array(CIM_BOOLEAN, {Value::Bool(true), Value::Bool(false)}),
                                           CIM_BOOLEAN | CIM_FLAG_ARRAY)));
    EXPECT_EQ(L"{a, b}", Shown(Read(Value::Array(CIM_CHAR16, {Value::Char16(L'a'), Value::Char16(L'b')}),
                                    CIM_CHAR16 | CIM_FLAG_ARRAY)));
    // Datetimes readable one by one (the viewer here is an hour east of UTC).
    EXPECT_EQ(L"{2026-03-09 15:05:00, 3 seconds}",
              Shown(Read(Value::Array(CIM_DATETIME, {Value::DateTime(L"20260309140500.000000+000"),
                                                     Value::DateTime(L"00000000000003.000000:000")}),
                         CIM_DATETIME | CIM_FLAG_ARRAY)));
    PropertyValue paths =
        Read(Value::Array(CIM_REFERENCE, {Value::Reference(L"A.K=1")}), CIM_REFERENCE | CIM_FLAG_ARRAY);
    EXPECT_EQ(WMI::CimReference, paths.GetElement(0).GetCimType());
}

// --- embedded objects ---

TEST_F(PropertyValueTest, AnEmbeddedObjectIsReadWholeWithItsOwnClass)
{
    Value inner = Value::Object(L"Win32_Inner", {{L"Size", CIM_UINT64}, {L"Flag", CIM_BOOLEAN}},
                                Values({{L"Size", Value::UInt64(UINT64_MAX)}, {L"Flag", Value::Null()}}));
    Value outer = Value::Object(L"Win32_Outer", {{L"Name", CIM_STRING}, {L"Inner", CIM_OBJECT}},
                                Values({{L"Name", Value::Text(L"outer")}, {L"Inner", inner}}));
    PropertyValue value = Read(outer, CIM_OBJECT);
    ASSERT_TRUE(value.IsEmbedded());
    EXPECT_FALSE(value.IsNull());
    const WMI::ObjectValue& object = value.GetEmbedded();
    EXPECT_STREQ(L"Win32_Outer", object.GetObjectClass().GetBuffer());
    EXPECT_TRUE(object.GetPath().IsEmpty()) << "an embedded object has no path";
    ASSERT_EQ(2, object.GetProperties().GetCount());
    EXPECT_STREQ(L"Name", object.GetProperties()[0].GetName().GetBuffer());
    EXPECT_STREQ(L"outer", object.GetProperties()[0].GetValue().GetText().GetBuffer());
    EXPECT_EQ(WMI::CimString, object.GetProperties()[0].GetCimType());
    // Nested one level further, with its own properties.
    const WMI::ObjectProperty* nested = object.FindProperty(String(L"inner"));
    ASSERT_NE(nullptr, nested);
    ASSERT_TRUE(nested->GetValue().IsEmbedded());
    const WMI::ObjectValue& innerObject = nested->GetValue().GetEmbedded();
    EXPECT_STREQ(L"Win32_Inner", innerObject.GetObjectClass().GetBuffer());
    EXPECT_STREQ(L"18446744073709551615", innerObject.GetProperties()[0].GetValue().GetText().GetBuffer());
    EXPECT_EQ(WMI::CimUInt64, innerObject.GetProperties()[0].GetCimType());
    EXPECT_TRUE(innerObject.GetProperties()[1].GetValue().IsNull());
    EXPECT_EQ(WMI::CimBoolean, innerObject.GetProperties()[1].GetCimType());
    EXPECT_EQ(L"instance of Win32_Outer", Shown(value));
    // Its system properties, apart.
    const WMI::ObjectProperty* className = object.FindProperty(String(L"__CLASS"));
    ASSERT_NE(nullptr, className);
    EXPECT_STREQ(L"Win32_Outer", className->GetValue().GetText().GetBuffer());
    EXPECT_TRUE(object.FindProperty(String(L"__PATH"))->GetValue().IsNull());
    EXPECT_EQ(nullptr, object.FindProperty(String(L"Nowhere")));
    EXPECT_THROW(object.GetProperties()[0].GetValue().GetEmbedded(), Core::InvalidOperationException);
}

TEST_F(PropertyValueTest, AnArrayOfEmbeddedObjectsHoldsEachWhole)
{
    Value first = Value::Object(L"Win32_Part", {{L"Index", CIM_UINT32}}, Values({{L"Index", Value::UInt32(1)}}));
    Value second = Value::Object(L"Win32_Part", {{L"Index", CIM_UINT32}}, Values({{L"Index", Value::UInt32(2)}}));
    PropertyValue parts = Read(Value::Array(CIM_OBJECT, {first, second}), CIM_OBJECT | CIM_FLAG_ARRAY);
    ASSERT_EQ(2, parts.GetCount());
    EXPECT_STREQ(L"2", parts.GetElement(1).GetEmbedded().GetProperties()[0].GetValue().GetText().GetBuffer());
    EXPECT_EQ(L"{instance of Win32_Part, instance of Win32_Part}", Shown(parts));
}

TEST_F(PropertyValueTest, AnUnknownThatIsNoWmiObjectIsNull)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UNKNOWN;
    value.punkVal = nullptr;
    EXPECT_TRUE(PropertyValue::FromVariant(value, WMI::CimObject).IsNull());
}

// --- type names ---

TEST_F(PropertyValueTest, TypeNamesSayArrays)
{
    EXPECT_STREQ(L"string", WMI::FormatCimType(WMI::CimString).GetBuffer());
    EXPECT_STREQ(L"unsigned int32[]", WMI::FormatCimType(WMI::CimUInt32 | WMI::CimArrayFlag).GetBuffer());
    EXPECT_STREQ(L"datetime[]", WMI::FormatCimType(WMI::CimDateTime | WMI::CimArrayFlag).GetBuffer());
    EXPECT_STREQ(L"unknown", WMI::FormatCimType(0).GetBuffer());
}
