// The scripted provider itself, called as WMI is called: values of every CIM type in their documented automation
// types, system properties, instance paths, property qualifiers (amended ones by locale) and MOF text. The tests of
// the WMI layer rely on it answering as Windows does.
#include "core/platform/windows/Com.h"

#include "tests/wmi/WmiTesting.h"

#include <stdexcept>

using Core::Platform::Windows::ComScope;
using ScriptedWmi::Instance;
using ScriptedWmi::Value;

namespace
{

// A VARIANT a call fills, cleared when it goes.
class Variant
{
public:
    Variant() { VariantInit(&m_value); }
    ~Variant() { VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* Out()
    {
        VariantClear(&m_value);
        return &m_value;
    }
    const VARIANT& Get() const { return m_value; }
    std::wstring Text() const
    {
        return m_value.vt == VT_BSTR ? std::wstring(m_value.bstrVal, SysStringLen(m_value.bstrVal)) : L"(not a text)";
    }

private:
    VARIANT m_value;
};

Instance Values(std::vector<std::pair<std::wstring, Value>> values)
{
    Instance instance;
    instance.values = std::move(values);
    return instance;
}

std::vector<std::wstring> Names(SAFEARRAY* names)
{
    std::vector<std::wstring> read;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(names, 1, &lower);
    SafeArrayGetUBound(names, 1, &upper);
    for (LONG i = lower; i <= upper; i++)
    {
        BSTR name = nullptr;
        SafeArrayGetElement(names, &i, &name);
        read.emplace_back(name, SysStringLen(name));
        SysFreeString(name);
    }
    SafeArrayDestroy(names);
    return read;
}

class ScriptedProviderTest : public WmiTesting::ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        ScriptedWmi::ClassScript& element =
            provider.AddClass(L"CIM_ManagedSystemElement", {{L"Caption", CIM_STRING}, {L"Status", CIM_STRING}});
        element.Amend(L"MS_409", L"Caption", L"Description", Value::Text(L"A short description"));
        ScriptedWmi::ClassScript& service =
            provider.AddClass(L"root\\cimv2", L"Win32_Service", L"CIM_ManagedSystemElement",
                              {{L"Name", CIM_STRING}, {L"ProcessId", CIM_UINT32}, {L"State", CIM_STRING}});
        service.SetKeys({L"Name"});
        service.Qualify(L"State", L"read", Value::Bool(true));
        service.Qualify(L"State", L"ValueMap", Value::Strings({L"Stopped", L"Running"}));
        service.Amend(L"MS_409", L"State", L"Description", Value::Text(L"Current state of the service."));
        service.Amend(L"MS_407", L"State", L"Description", Value::Text(L"Aktueller Zustand des Dienstes."));
        service.Amend(L"MS_409", L"", L"Description", Value::Text(L"A Windows service."));
        service.qualifiers.emplace_back(L"dynamic", Value::Bool(true));
        service.instances.push_back(Values({{L"Caption", Value::Text(L"Print Spooler")},
                                            {L"Name", Value::Text(L"Spooler")},
                                            {L"ProcessId", Value::UInt32(4000000000UL)},
                                            {L"State", Value::Text(L"Running")}}));
        service.instances.push_back(Values({{L"Name", Value::Text(L"Say \"hi\" \\ there")},
                                            {L"ProcessId", Value::UInt32(0)},
                                            {L"State", Value::Null()}}));
        ScriptedWmi::ClassScript& share =
            provider.AddClass(L"Win32_ShareToDirectory", {{L"Share", CIM_REFERENCE}, {L"Index", CIM_UINT16}});
        share.SetKeys({L"Share", L"Index"});
        share.instances.push_back(
            Values({{L"Share", Value::Reference(L"Win32_Share.Name=\"C$\"")}, {L"Index", Value::UInt16(7)}}));
        provider.AddClass(L"Win32_Keyless", {{L"Name", CIM_STRING}})
            .instances.push_back(Values({{L"Name", Value::Text(L"no path")}}));
        ScriptedWmi::ClassScript& settings = provider.AddClass(L"Win32_Settings", {{L"Level", CIM_UINT8}});
        settings.qualifiers.emplace_back(L"singleton", Value::Bool(true));
        settings.instances.push_back(Values({{L"Level", Value::UInt8(3)}}));
    }

    void TearDown() override
    {
        connection.reset();
        ScriptedTest::TearDown();
    }

    IWbemServices* Services()
    {
        if (connection == nullptr)
        {
            connection = Connect();
        }
        return connection->GetServices();
    }

    // A connection of its own in the given locale (null: none named), made as a program makes one.
    ComScope<IWbemServices> ConnectIn(const wchar_t* locale)
    {
        ComScope<IWbemLocator> locator(static_cast<IWbemLocator*>(Core::Platform::Windows::CreateComInstance(
            CLSID_WbemLocator, IID_IWbemLocator, Core::Platform::Windows::ClassContext::InProcessServer)));
        BSTR path = SysAllocString(L"root\\cimv2");
        BSTR named = locale != nullptr ? SysAllocString(locale) : nullptr;
        ComScope<IWbemServices> services;
        EXPECT_EQ(S_OK, locator->ConnectServer(path, nullptr, nullptr, named, 0, nullptr, nullptr, services.Receive()));
        SysFreeString(path);
        SysFreeString(named);
        return services;
    }

    ComScope<IWbemClassObject> Get(const wchar_t* path, LONG flags = 0, IWbemServices* services = nullptr)
    {
        ComScope<IWbemClassObject> object;
        BSTR text = SysAllocString(path);
        lastResult =
            (services != nullptr ? services : Services())->GetObject(text, flags, nullptr, object.Receive(), nullptr);
        SysFreeString(text);
        return object;
    }

    std::wstring TextOf(IWbemClassObject* object, const wchar_t* name)
    {
        Variant value;
        HRESULT result = object->Get(name, 0, value.Out(), nullptr, nullptr);
        if (FAILED(result))
        {
            return L"(failed)";
        }
        return value.Get().vt == VT_NULL ? L"(null)" : value.Text();
    }

    std::vector<std::wstring> NamesOf(IWbemClassObject* object, LONG flags, const wchar_t* qualifier = nullptr)
    {
        SAFEARRAY* names = nullptr;
        EXPECT_EQ(S_OK, object->GetNames(qualifier, flags, nullptr, &names));
        return Names(names);
    }

    // The qualifier of a property as the object's qualifier set answers it, with its flavour.
    HRESULT Qualifier(IWbemClassObject* object, const wchar_t* property, const wchar_t* name, Variant& value,
                      LONG* flavor = nullptr)
    {
        ComScope<IWbemQualifierSet> set;
        HRESULT result = property != nullptr ? object->GetPropertyQualifierSet(property, set.Receive())
                                             : object->GetQualifierSet(set.Receive());
        if (FAILED(result))
        {
            return result;
        }
        return set->Get(name, 0, value.Out(), flavor);
    }

    std::unique_ptr<WMI::ManagementConnection> connection;
    HRESULT lastResult = S_OK;
};

} // namespace

// --- values of every type ---

TEST_F(ScriptedProviderTest, ScalarsComeInTheAutomationTypesMicrosoftDocuments)
{
    struct Expected
    {
        Value value;
        VARTYPE type;
    };
    const Expected expected[] = {
        {Value::SInt8(-5), VT_I2},        {Value::UInt8(200), VT_UI1},      {Value::SInt16(-30000), VT_I2},
        {Value::UInt16(65535), VT_I4},    {Value::SInt32(-7), VT_I4},       {Value::UInt32(4294967295UL), VT_I4},
        {Value::SInt64(-1), VT_BSTR},     {Value::UInt64(1), VT_BSTR},      {Value::Real32(1.5f), VT_R4},
        {Value::Real64(2.5), VT_R8},      {Value::Char16(L'Q'), VT_I2},     {Value::Bool(true), VT_BOOL},
        {Value::DateTime(L"x"), VT_BSTR}, {Value::Reference(L"x"), VT_BSTR}};
    for (const Expected& entry : expected)
    {
        EXPECT_EQ(entry.type, entry.value.GetVariant().vt);
    }
    // A uint32 above the signed range arrives negative, as Automation has no unsigned 32-bit type for WMI.
    EXPECT_EQ(-1, Value::UInt32(4294967295UL).GetVariant().lVal);
    EXPECT_EQ(65535, Value::UInt16(65535).GetVariant().lVal);
    EXPECT_EQ(L'Q', Value::Char16(L'Q').GetVariant().iVal);
    // 64-bit integers are decimal text, exact at both ends of their ranges.
    EXPECT_STREQ(L"-9223372036854775808", Value::SInt64(INT64_MIN).GetVariant().bstrVal);
    EXPECT_STREQ(L"18446744073709551615", Value::UInt64(UINT64_MAX).GetVariant().bstrVal);
}

TEST_F(ScriptedProviderTest, ArraysAreSafeArraysOfTheElementsAutomationType)
{
    Value numbers = Value::Array(CIM_UINT32, {Value::UInt32(1), Value::UInt32(4294967295UL)});
    ASSERT_EQ(VT_ARRAY | VT_I4, numbers.GetVariant().vt);
    LONG index = 1;
    LONG element = 0;
    SafeArrayGetElement(numbers.GetVariant().parray, &index, &element);
    EXPECT_EQ(-1, element);
    Value texts = Value::Array(CIM_UINT64, {Value::UInt64(18446744073709551615ULL)});
    ASSERT_EQ(VT_ARRAY | VT_BSTR, texts.GetVariant().vt);
    BSTR text = nullptr;
    index = 0;
    SafeArrayGetElement(texts.GetVariant().parray, &index, &text);
    EXPECT_STREQ(L"18446744073709551615", text);
    SysFreeString(text);
    EXPECT_EQ(VT_ARRAY | VT_BOOL, Value::Array(CIM_BOOLEAN, {}).GetVariant().vt);
    EXPECT_EQ(VT_ARRAY | VT_R4, Value::Array(CIM_REAL32, {Value::Real32(0.25f)}).GetVariant().vt);
    EXPECT_EQ(VT_ARRAY | VT_I2, Value::Array(CIM_CHAR16, {Value::Char16(L'a')}).GetVariant().vt);
    // An element of another automation type is a mistake of the test, not a value.
    EXPECT_THROW(Value::Array(CIM_UINT32, {Value::Text(L"1")}), std::invalid_argument);
}

TEST_F(ScriptedProviderTest, AnEmbeddedObjectIsAnInstanceOfItsOwnClassWithoutAPath)
{
    ScriptedWmi::ClassScript& holder =
        provider.AddClass(L"Win32_Holder", {{L"Id", CIM_STRING}, {L"Inner", CIM_OBJECT}});
    holder.SetKeys({L"Id"});
    holder.instances.push_back(Values(
        {{L"Id", Value::Text(L"1")},
         {L"Inner", Value::Object(L"Win32_Inner", {{L"Size", CIM_UINT64}, {L"Names", CIM_STRING | CIM_FLAG_ARRAY}},
                                  Values({{L"Size", Value::UInt64(5)}, {L"Names", Value::Strings({L"a"})}}))}}));
    m_liveHeldByScript = 1;
    ComScope<IWbemClassObject> object = Get(L"Win32_Holder.Id=\"1\"");
    ASSERT_TRUE(object);
    Variant inner;
    CIMTYPE type = 0;
    ASSERT_EQ(S_OK, object->Get(L"Inner", 0, inner.Out(), &type, nullptr));
    EXPECT_EQ(CIM_OBJECT, type);
    ASSERT_EQ(VT_UNKNOWN, inner.Get().vt);
    ComScope<IWbemClassObject> embedded;
    ASSERT_EQ(S_OK,
              inner.Get().punkVal->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(embedded.Receive())));
    EXPECT_EQ(L"Win32_Inner", TextOf(embedded.Get(), L"__CLASS"));
    EXPECT_EQ(L"5", TextOf(embedded.Get(), L"Size"));
    EXPECT_EQ(L"(null)", TextOf(embedded.Get(), L"__PATH"));
    EXPECT_EQ(L"(null)", TextOf(embedded.Get(), L"__SERVER"));
    EXPECT_EQ((std::vector<std::wstring>{L"Size", L"Names"}), NamesOf(embedded.Get(), WBEM_FLAG_NONSYSTEM_ONLY));
    ASSERT_EQ(S_OK, embedded->Get(L"Names", 0, nullptr, &type, nullptr));
    EXPECT_EQ(CIM_STRING | CIM_FLAG_ARRAY, type);
}

TEST_F(ScriptedProviderTest, APropertyWithoutAValueIsNullAndOneOutsideTheClassIsNotFound)
{
    ComScope<IWbemClassObject> object = Get(L"Win32_Service.Name=\"Spooler\"");
    ASSERT_TRUE(object);
    Variant value;
    CIMTYPE type = 0;
    LONG flavor = -1;
    ASSERT_EQ(S_OK, object->Get(L"Status", 0, value.Out(), &type, &flavor));
    EXPECT_EQ(VT_NULL, value.Get().vt);
    EXPECT_EQ(CIM_STRING, type);
    EXPECT_EQ(WBEM_FLAVOR_ORIGIN_PROPAGATED, flavor); // declared by the superclass
    ASSERT_EQ(S_OK, object->Get(L"processid", 0, value.Out(), &type, &flavor));
    EXPECT_EQ(CIM_UINT32, type);
    EXPECT_EQ(WBEM_FLAVOR_ORIGIN_LOCAL, flavor);
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_NOT_FOUND), object->Get(L"Nowhere", 0, value.Out(), nullptr, nullptr));
}

// --- system properties ---

TEST_F(ScriptedProviderTest, AnInstanceHasTheSystemPropertiesWmiGivesIt)
{
    ComScope<IWbemClassObject> object = Get(L"Win32_Service.Name=\"Spooler\"");
    ASSERT_TRUE(object);
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Service.Name=\"Spooler\"", TextOf(object.Get(), L"__PATH"));
    EXPECT_EQ(L"Win32_Service.Name=\"Spooler\"", TextOf(object.Get(), L"__RELPATH"));
    EXPECT_EQ(L"Win32_Service", TextOf(object.Get(), L"__CLASS"));
    EXPECT_EQ(L"CIM_ManagedSystemElement", TextOf(object.Get(), L"__SUPERCLASS"));
    EXPECT_EQ(L"CIM_ManagedSystemElement", TextOf(object.Get(), L"__DYNASTY"));
    EXPECT_EQ(L"SCRIPTED-PC", TextOf(object.Get(), L"__SERVER"));
    EXPECT_EQ(L"root\\cimv2", TextOf(object.Get(), L"__NAMESPACE"));
    Variant value;
    CIMTYPE type = 0;
    LONG flavor = 0;
    ASSERT_EQ(S_OK, object->Get(L"__GENUS", 0, value.Out(), &type, &flavor));
    EXPECT_EQ(VT_I4, value.Get().vt);
    EXPECT_EQ(WBEM_GENUS_INSTANCE, value.Get().lVal);
    EXPECT_EQ(WBEM_FLAVOR_ORIGIN_SYSTEM, flavor);
    ASSERT_EQ(S_OK, object->Get(L"__PROPERTY_COUNT", 0, value.Out(), nullptr, nullptr));
    EXPECT_EQ(5, value.Get().lVal);
    ASSERT_EQ(S_OK, object->Get(L"__DERIVATION", 0, value.Out(), &type, nullptr));
    EXPECT_EQ(CIM_STRING | CIM_FLAG_ARRAY, type);
    ASSERT_EQ(VT_ARRAY | VT_BSTR, value.Get().vt);
    SAFEARRAY* derivation = nullptr;
    ASSERT_EQ(S_OK, SafeArrayCopy(value.Get().parray, &derivation));
    EXPECT_EQ(std::vector<std::wstring>{L"CIM_ManagedSystemElement"}, Names(derivation));
}

TEST_F(ScriptedProviderTest, PathsQuoteTextsWithEscapesAndListSeveralKeysByName)
{
    ComScope<IWbemClassObject> quoted = Get(L"Win32_Service.Name=\"Say \\\"hi\\\" \\\\ there\"");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(L"Win32_Service.Name=\"Say \\\"hi\\\" \\\\ there\"", TextOf(quoted.Get(), L"__RELPATH"));
    // Keys in the order of their names, whatever the class's order; numbers bare, references quoted.
    ComScope<IWbemClassObject> link = Get(L"Win32_ShareToDirectory.Share=\"Win32_Share.Name=\\\"C$\\\"\",Index=7");
    ASSERT_TRUE(link);
    EXPECT_EQ(L"Win32_ShareToDirectory.Index=7,Share=\"Win32_Share.Name=\\\"C$\\\"\"",
              TextOf(link.Get(), L"__RELPATH"));
}

TEST_F(ScriptedProviderTest, AClassWithoutKeysGivesNullPathsAndASingletonItsOwn)
{
    ComScope<IWbemClassObject> singleton = Get(L"Win32_Settings=@");
    ASSERT_TRUE(singleton);
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Settings=@", TextOf(singleton.Get(), L"__PATH"));
    ComScope<IEnumWbemClassObject> enumerator;
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"SELECT * FROM Win32_Keyless");
    ASSERT_EQ(S_OK, Services()->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY, nullptr, enumerator.Receive()));
    SysFreeString(language);
    SysFreeString(query);
    ComScope<IWbemClassObject> keyless;
    ULONG returned = 0;
    ASSERT_EQ(WBEM_S_NO_ERROR, enumerator->Next(WBEM_INFINITE, 1, keyless.Receive(), &returned));
    EXPECT_EQ(L"(null)", TextOf(keyless.Get(), L"__PATH"));
    EXPECT_EQ(L"(null)", TextOf(keyless.Get(), L"__RELPATH"));
    EXPECT_EQ(L"SCRIPTED-PC", TextOf(keyless.Get(), L"__SERVER"));
}

TEST_F(ScriptedProviderTest, AQueryOfSomePropertiesGivesAPathOnlyWithTheKeys)
{
    auto first = [&](const wchar_t* text)
    {
        ComScope<IEnumWbemClassObject> enumerator;
        BSTR language = SysAllocString(L"WQL");
        BSTR query = SysAllocString(text);
        Services()->ExecQuery(language, query, WBEM_FLAG_FORWARD_ONLY, nullptr, enumerator.Receive());
        SysFreeString(language);
        SysFreeString(query);
        ComScope<IWbemClassObject> object;
        ULONG returned = 0;
        enumerator->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
        return object;
    };
    EXPECT_EQ(L"(null)", TextOf(first(L"SELECT State FROM Win32_Service").Get(), L"__PATH"));
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Service.Name=\"Spooler\"",
              TextOf(first(L"SELECT State, Name FROM Win32_Service").Get(), L"__PATH"));
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Service.Name=\"Spooler\"",
              TextOf(first(L"SELECT State, __PATH FROM Win32_Service").Get(), L"__PATH"));
}

TEST_F(ScriptedProviderTest, GetNamesHonoursTheOriginKeyAndQualifierFlags)
{
    ComScope<IWbemClassObject> object = Get(L"Win32_Service.Name=\"Spooler\"");
    ASSERT_TRUE(object);
    const std::vector<std::wstring> system = {
        L"__GENUS",          L"__CLASS",      L"__SUPERCLASS", L"__DYNASTY",   L"__RELPATH",
        L"__PROPERTY_COUNT", L"__DERIVATION", L"__SERVER",     L"__NAMESPACE", L"__PATH"};
    const std::vector<std::wstring> own = {L"Caption", L"Status", L"Name", L"ProcessId", L"State"};
    EXPECT_EQ(system, NamesOf(object.Get(), WBEM_FLAG_SYSTEM_ONLY));
    EXPECT_EQ(own, NamesOf(object.Get(), WBEM_FLAG_NONSYSTEM_ONLY));
    std::vector<std::wstring> all = system;
    all.insert(all.end(), own.begin(), own.end());
    EXPECT_EQ(all, NamesOf(object.Get(), WBEM_FLAG_ALWAYS));
    EXPECT_EQ((std::vector<std::wstring>{L"Name", L"ProcessId", L"State"}),
              NamesOf(object.Get(), WBEM_FLAG_LOCAL_ONLY));
    EXPECT_EQ((std::vector<std::wstring>{L"Caption", L"Status"}), NamesOf(object.Get(), WBEM_FLAG_PROPAGATED_ONLY));
    EXPECT_EQ(std::vector<std::wstring>{L"Name"}, NamesOf(object.Get(), WBEM_FLAG_KEYS_ONLY));
    EXPECT_EQ(std::vector<std::wstring>{L"Name"},
              NamesOf(object.Get(), WBEM_FLAG_ONLY_IF_TRUE | WBEM_FLAG_NONSYSTEM_ONLY, L"key"));
    EXPECT_EQ((std::vector<std::wstring>{L"Caption", L"Status", L"ProcessId", L"State"}),
              NamesOf(object.Get(), WBEM_FLAG_ONLY_IF_FALSE | WBEM_FLAG_NONSYSTEM_ONLY, L"key"));
    ComScope<IWbemClassObject> link = Get(L"Win32_ShareToDirectory.Index=7,Share=\"Win32_Share.Name=\\\"C$\\\"\"");
    ASSERT_TRUE(link);
    EXPECT_EQ(std::vector<std::wstring>{L"Share"}, NamesOf(link.Get(), WBEM_FLAG_REFS_ONLY));
}

// --- GetObject on instance paths ---

TEST_F(ScriptedProviderTest, GetObjectFindsAnInstanceByItsKeysInEveryPathForm)
{
    const wchar_t* const paths[] = {L"Win32_Service.Name=\"Spooler\"",
                                    L"win32_service.name='SPOOLER'",
                                    L"Win32_Service=\"Spooler\"",
                                    L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Service.Name=\"Spooler\"",
                                    L"//./root/cimv2:Win32_Service.Name=\"Spooler\"",
                                    L"root\\cimv2:Win32_Service.Name=\"Spooler\""};
    for (const wchar_t* path : paths)
    {
        ComScope<IWbemClassObject> object = Get(path);
        ASSERT_TRUE(object) << path;
        EXPECT_EQ(S_OK, lastResult);
        EXPECT_EQ(L"Print Spooler", TextOf(object.Get(), L"Caption")) << path;
    }
    // A number key written bare; the flags of each call are kept.
    ComScope<IWbemClassObject> link = Get(L"Win32_ShareToDirectory.Index=7,Share='Win32_Share.Name=\"C$\"'", 0x20000);
    ASSERT_TRUE(link);
    EXPECT_EQ(WBEM_FLAG_USE_AMENDED_QUALIFIERS, provider.getObjectFlags.back());
}

TEST_F(ScriptedProviderTest, GetObjectFailsAsWmiDoesForPathsThatFindNothing)
{
    struct Case
    {
        const wchar_t* path;
        unsigned long result; // as wbemcli.h spells the codes
    };
    const Case cases[] = {
        {L"Win32_Service.Name=\"Nothing\"", WBEM_E_NOT_FOUND},
        {L"Win32_Settings=@", S_OK},
        {L"Win32_Service=@", WBEM_E_INVALID_OBJECT_PATH},                // not a singleton
        {L"Win32_Service.Caption=\"x\"", WBEM_E_INVALID_OBJECT_PATH},    // not a key
        {L"Win32_ShareToDirectory.Index=7", WBEM_E_INVALID_OBJECT_PATH}, // a key short
        {L"Win32_Keyless.Name=\"no path\"", WBEM_E_INVALID_OBJECT_PATH},
        {L"Win32_Service.Name=\"Spooler", WBEM_E_INVALID_OBJECT_PATH}, // unclosed
        {L"Win32_Nothing.Name=\"x\"", WBEM_E_INVALID_CLASS},
        {L"root\\wmi:Win32_Service.Name=\"Spooler\"", WBEM_E_INVALID_NAMESPACE},
        {L"Win32_Nothing", WBEM_E_NOT_FOUND},
    };
    for (const Case& entry : cases)
    {
        ComScope<IWbemClassObject> object = Get(entry.path);
        EXPECT_EQ(static_cast<HRESULT>(entry.result), lastResult) << entry.path;
        EXPECT_EQ(entry.result == S_OK, static_cast<bool>(object)) << entry.path;
    }
}

TEST_F(ScriptedProviderTest, GetObjectOnAnInstanceCanBeScriptedToFail)
{
    provider.FindClass(L"Win32_Service")->getInstanceResults[1] = WBEM_E_ACCESS_DENIED;
    EXPECT_FALSE(Get(L"Win32_Service.Name='Say \"hi\" \\\\ there'"));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_ACCESS_DENIED), lastResult);
    EXPECT_TRUE(Get(L"Win32_Service.Name=\"Spooler\""));
    provider.getInstanceResult = WBEM_E_FAILED;
    EXPECT_FALSE(Get(L"Win32_Service.Name=\"Spooler\""));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_FAILED), lastResult);
    // The class definition is not an instance.
    EXPECT_TRUE(Get(L"Win32_Service"));
}

TEST_F(ScriptedProviderTest, AClassDefinitionHasAClassPath)
{
    ComScope<IWbemClassObject> definition = Get(L"Win32_Service");
    ASSERT_TRUE(definition);
    EXPECT_EQ(L"\\\\SCRIPTED-PC\\root\\cimv2:Win32_Service", TextOf(definition.Get(), L"__PATH"));
    EXPECT_EQ(L"Win32_Service", TextOf(definition.Get(), L"__RELPATH"));
    Variant genus;
    ASSERT_EQ(S_OK, definition->Get(L"__GENUS", 0, genus.Out(), nullptr, nullptr));
    EXPECT_EQ(WBEM_GENUS_CLASS, genus.Get().lVal);
}

// --- qualifiers ---

TEST_F(ScriptedProviderTest, PropertyQualifiersCarryKeyCimTypeAndTheScriptedOnes)
{
    ComScope<IWbemClassObject> object = Get(L"Win32_Service.Name=\"Spooler\"");
    ASSERT_TRUE(object);
    Variant value;
    LONG flavor = -1;
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(object.Get(), L"Name", L"key", value));
    EXPECT_EQ(VT_BOOL, value.Get().vt);
    EXPECT_EQ(VARIANT_TRUE, value.Get().boolVal);
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(object.Get(), L"ProcessId", L"CIMTYPE", value));
    EXPECT_EQ(L"uint32", value.Text());
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(object.Get(), L"Caption", L"CIMTYPE", value));
    EXPECT_EQ(L"string", value.Text());
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(object.Get(), L"State", L"Read", value, &flavor));
    EXPECT_EQ(WBEM_FLAVOR_ORIGIN_LOCAL, flavor);
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(object.Get(), L"State", L"ValueMap", value));
    EXPECT_EQ(VT_ARRAY | VT_BSTR, value.Get().vt);
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_NOT_FOUND), Qualifier(object.Get(), L"ProcessId", L"key", value));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_NOT_FOUND), Qualifier(object.Get(), L"Nowhere", L"key", value));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_SYSTEM_PROPERTY), Qualifier(object.Get(), L"__PATH", L"key", value));
    ComScope<IWbemQualifierSet> set;
    ASSERT_EQ(S_OK, object->GetPropertyQualifierSet(L"State", set.Receive()));
    SAFEARRAY* names = nullptr;
    ASSERT_EQ(WBEM_S_NO_ERROR, set->GetNames(0, &names));
    EXPECT_EQ((std::vector<std::wstring>{L"CIMTYPE", L"read", L"ValueMap"}), Names(names));
    // The same by enumeration.
    std::vector<std::wstring> enumerated;
    ASSERT_EQ(WBEM_S_NO_ERROR, set->BeginEnumeration(0));
    BSTR name = nullptr;
    while (set->Next(0, &name, nullptr, nullptr) == WBEM_S_NO_ERROR)
    {
        enumerated.emplace_back(name);
        SysFreeString(name);
    }
    set->EndEnumeration();
    EXPECT_EQ((std::vector<std::wstring>{L"CIMTYPE", L"read", L"ValueMap"}), enumerated);
}

TEST_F(ScriptedProviderTest, AmendedQualifiersComeOnlyWhenAskedForInTheConnectionsLocale)
{
    // Without the flag: none.
    Variant value;
    ComScope<IWbemClassObject> plain = Get(L"Win32_Service");
    ASSERT_TRUE(plain);
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_NOT_FOUND), Qualifier(plain.Get(), L"State", L"Description", value));
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_NOT_FOUND), Qualifier(plain.Get(), nullptr, L"Description", value));
    // With it, on a connection naming no locale: the user's (English here).
    ComScope<IWbemClassObject> english = Get(L"Win32_Service", WBEM_FLAG_USE_AMENDED_QUALIFIERS);
    LONG flavor = 0;
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(english.Get(), L"State", L"Description", value, &flavor));
    EXPECT_EQ(L"Current state of the service.", value.Text());
    EXPECT_EQ(WBEM_FLAVOR_AMENDED, flavor & WBEM_FLAVOR_MASK_AMENDED);
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(english.Get(), nullptr, L"Description", value));
    EXPECT_EQ(L"A Windows service.", value.Text());
    // A superclass's amended qualifier of its own property reaches the subclass, propagated.
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(english.Get(), L"Caption", L"Description", value, &flavor));
    EXPECT_EQ(L"A short description", value.Text());
    EXPECT_EQ(WBEM_FLAVOR_ORIGIN_PROPAGATED, flavor & WBEM_FLAVOR_MASK_ORIGIN);
    // Another locale gives its own texts, and none where it has none.
    ComScope<IWbemServices> german = ConnectIn(L"MS_407");
    ASSERT_TRUE(german);
    EXPECT_EQ(L"MS_407", provider.connects.back().locale);
    ComScope<IWbemClassObject> amended = Get(L"Win32_Service", WBEM_FLAG_USE_AMENDED_QUALIFIERS, german.Get());
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(amended.Get(), L"State", L"Description", value));
    EXPECT_EQ(L"Aktueller Zustand des Dienstes.", value.Text());
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_NOT_FOUND), Qualifier(amended.Get(), nullptr, L"Description", value));
    ComScope<IWbemClassObject> french =
        Get(L"Win32_Service", WBEM_FLAG_USE_AMENDED_QUALIFIERS, ConnectIn(L"MS_40c").Get());
    EXPECT_EQ(static_cast<HRESULT>(WBEM_E_NOT_FOUND), Qualifier(french.Get(), L"State", L"Description", value));
    // The class's own qualifiers come with every object.
    ASSERT_EQ(WBEM_S_NO_ERROR, Qualifier(french.Get(), nullptr, L"dynamic", value));
}

TEST_F(ScriptedProviderTest, ConnectServerKeepsTheLocaleItWasGiven)
{
    ConnectIn(nullptr);
    EXPECT_TRUE(provider.connects.back().localeNull);
    ConnectIn(L"MS_409");
    EXPECT_FALSE(provider.connects.back().localeNull);
    EXPECT_EQ(L"MS_409", provider.connects.back().locale);
}

// --- MOF text ---

TEST_F(ScriptedProviderTest, GetObjectTextWritesTheClassAndTheInstanceInMof)
{
    ComScope<IWbemClassObject> definition = Get(L"Win32_Service", WBEM_FLAG_USE_AMENDED_QUALIFIERS);
    ASSERT_TRUE(definition);
    BSTR text = nullptr;
    ASSERT_EQ(WBEM_S_NO_ERROR, definition->GetObjectText(0, &text));
    EXPECT_STREQ(
        L"\n[dynamic, Description(\"A Windows service.\") : Amended]\n"
        L"class Win32_Service : CIM_ManagedSystemElement\n{\n"
        L"\t[key] string Name;\n"
        L"\tuint32 ProcessId;\n"
        L"\t[read, ValueMap{\"Stopped\", \"Running\"}, Description(\"Current state of the service.\") : Amended] "
        L"string State;\n};\n",
        text);
    SysFreeString(text);
    ASSERT_EQ(WBEM_S_NO_ERROR, definition->GetObjectText(WBEM_FLAG_NO_FLAVORS, &text));
    EXPECT_NE(nullptr, wcsstr(text, L"[dynamic, Description(\"A Windows service.\")]\n"));
    SysFreeString(text);
    ComScope<IWbemClassObject> instance = Get(L"Win32_Service.Name=\"Spooler\"");
    ASSERT_TRUE(instance);
    ASSERT_EQ(WBEM_S_NO_ERROR, instance->GetObjectText(0, &text));
    // NULL values are left out; a uint32 shows unsigned.
    EXPECT_STREQ(L"\ninstance of Win32_Service\n{\n\tCaption = \"Print Spooler\";\n\tName = \"Spooler\";\n"
                 L"\tProcessId = 4000000000;\n\tState = \"Running\";\n};\n",
                 text);
    SysFreeString(text);
}
