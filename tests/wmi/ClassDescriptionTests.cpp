// A class's descriptions, marks and value names from its amended qualifiers: in the connection's locale, English
// where that locale has nothing, and coded values shown with their names.
#include "wmi/ClassDescription.h"
#include "wmi/InvalidWMIClassException.h"

#include "tests/support/ThrownMessage.h"
#include "tests/wmi/WmiTesting.h"

#include <windows.h>

using Core::String;
using Core::Threading::CompletionOwner;
using Core::Threading::Outcome;
using ScriptedWmi::Value;
using Testing::ThrownMessage;
using WMI::ClassDescription;
using WMI::PropertyDescription;

namespace
{

template <typename Done> void RunLoopUntil(Done done)
{
    MSG message;
    while (!done() && GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::vector<std::wstring> Texts(const Core::Collections::ArrayList<String>& list)
{
    std::vector<std::wstring> texts;
    for (int i = 0; i < list.GetCount(); i++)
    {
        texts.emplace_back(list[i].GetBuffer());
    }
    return texts;
}

Core::Collections::ArrayList<String> List(std::initializer_list<const wchar_t*> texts)
{
    Core::Collections::ArrayList<String> list;
    for (const wchar_t* text : texts)
    {
        list.Add(String(text));
    }
    return list;
}

class ClassDescriptionTest : public WmiTesting::ScriptedTest
{
protected:
    void SetUp() override
    {
        ScriptedTest::SetUp();
        ScriptedWmi::ClassScript& service = provider.AddClass(L"Win32_Service", {{L"Name", CIM_STRING},
                                                                                 {L"State", CIM_UINT32},
                                                                                 {L"Availability", CIM_UINT16},
                                                                                 {L"Access", CIM_UINT32},
                                                                                 {L"Started", CIM_BOOLEAN}});
        service.qualifiers.emplace_back(L"dynamic", Value::Bool(true));
        service.Amend(L"MS_409", L"", L"Description", Value::Text(L"A Windows service."));
        service.Amend(L"MS_407", L"", L"Description", Value::Text(L"Ein Windows-Dienst."));
        service.SetKeys({L"Name"});
        service.Qualify(L"Name", L"read", Value::Bool(true));
        service.Amend(L"MS_409", L"Name", L"Description", Value::Text(L"The name of the service."));
        service.Amend(L"MS_407", L"Name", L"Description", Value::Text(L"Der Name des Dienstes."));
        service.Qualify(L"State", L"read", Value::Bool(true));
        service.Qualify(L"State", L"ValueMap", Value::Strings({L"1", L"2", L"0x10", L"20..29", L".."}));
        service.Amend(L"MS_409", L"State", L"Values",
                      Value::Strings({L"Stopped", L"Running", L"Sixteen", L"Twenties", L"Other"}));
        service.Amend(L"MS_409", L"State", L"Description", Value::Text(L"Current state."));
        service.Amend(L"MS_407", L"State", L"Description", Value::Text(L"Aktueller Zustand."));
        service.Amend(L"MS_409", L"Availability", L"Values", Value::Strings({L"Other", L"Unknown", L"Running"}));
        service.Amend(L"MS_407", L"Availability", L"Values", Value::Strings({L"Andere", L"Unbekannt", L"Läuft"}));
        service.Amend(L"MS_409", L"Availability", L"Description", Value::Text(L"Availability of the service."));
        service.Qualify(L"Access", L"BitMap", Value::Strings({L"0", L"1", L"3"}));
        service.Amend(L"MS_409", L"Access", L"BitValues", Value::Strings({L"Read", L"Write", L"Execute"}));
        service.Amend(L"MS_409", L"Access", L"Description", Value::Text(L"What may be done."));
        service.Amend(L"MS_407", L"Access", L"Description", Value::Text(L"Was getan werden darf."));
        service.Qualify(L"Started", L"read", Value::Bool(true));
        service.Qualify(L"Started", L"write", Value::Bool(true));
        service.Amend(L"MS_409", L"Started", L"Description", Value::Text(L"Whether it runs."));
        service.Amend(L"MS_407", L"Started", L"Description", Value::Text(L"Ob er läuft."));
    }
    void TearDown() override
    {
        connection.reset();
        ScriptedTest::TearDown();
    }

    WMI::ManagementConnection* ConnectIn(const wchar_t* locale)
    {
        connection = std::make_unique<WMI::ManagementConnection>();
        connection->SetLocale(String(locale));
        connection->Connect(String(), String(), String(), String());
        return connection.get();
    }

    std::unique_ptr<WMI::ManagementConnection> connection;
};

} // namespace

// --- in the connection's locale ---

TEST_F(ClassDescriptionTest, EnglishDescriptionsMarksAndNamesComeFromTheAmendedQualifiers)
{
    ClassDescription described = WMI::GetClassDescription(ConnectIn(L"MS_409"), String(L"Win32_Service"));
    EXPECT_EQ(std::vector<LONG>{WBEM_FLAG_USE_AMENDED_QUALIFIERS}, provider.getObjectFlags);
    EXPECT_STREQ(L"Win32_Service", described.className.GetBuffer());
    EXPECT_STREQ(L"A Windows service.", described.description.GetBuffer());
    ASSERT_EQ(5, described.properties.GetCount());
    const PropertyDescription& name = described.properties[0];
    EXPECT_STREQ(L"Name", name.name.GetBuffer());
    EXPECT_EQ(WMI::CimString, name.cimType);
    EXPECT_STREQ(L"The name of the service.", name.description.GetBuffer());
    EXPECT_TRUE(name.key);
    EXPECT_TRUE(name.read);
    EXPECT_FALSE(name.write);
    const PropertyDescription& state = described.properties[1];
    EXPECT_EQ(WMI::CimUInt32, state.cimType);
    EXPECT_FALSE(state.key);
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"2", L"0x10", L"20..29", L".."}), Texts(state.valueMap));
    EXPECT_EQ((std::vector<std::wstring>{L"Stopped", L"Running", L"Sixteen", L"Twenties", L"Other"}),
              Texts(state.values));
    const PropertyDescription* access = described.FindProperty(String(L"access"));
    ASSERT_NE(nullptr, access);
    EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"3"}), Texts(access->bitMap));
    EXPECT_EQ((std::vector<std::wstring>{L"Read", L"Write", L"Execute"}), Texts(access->bitValues));
    EXPECT_TRUE(described.FindProperty(String(L"Started"))->write);
    EXPECT_EQ(nullptr, described.FindProperty(String(L"Nowhere")));
    // English needs no second connection.
    EXPECT_EQ(1u, provider.connects.size());
    EXPECT_EQ(L"MS_409", provider.connects[0].locale);
}

TEST_F(ClassDescriptionTest, TheMofTextIsTheClassWithItsAmendedQualifiers)
{
    ClassDescription described = WMI::GetClassDescription(ConnectIn(L"MS_409"), String(L"Win32_Service"));
    EXPECT_STREQ(L"\n[dynamic, Description(\"A Windows service.\") : Amended]\nclass Win32_Service\n{\n"
                 L"\t[key, read, Description(\"The name of the service.\") : Amended] string Name;\n"
                 L"\t[read, ValueMap{\"1\", \"2\", \"0x10\", \"20..29\", \"..\"}, Values{\"Stopped\", \"Running\", "
                 L"\"Sixteen\", \"Twenties\", \"Other\"} : Amended, Description(\"Current state.\") : Amended] "
                 L"uint32 State;\n"
                 L"\t[Values{\"Other\", \"Unknown\", \"Running\"} : Amended, Description(\"Availability of the "
                 L"service.\") : Amended] uint16 Availability;\n"
                 L"\t[BitMap{\"0\", \"1\", \"3\"}, BitValues{\"Read\", \"Write\", \"Execute\"} : Amended, "
                 L"Description(\"What may be done.\") : Amended] uint32 Access;\n"
                 L"\t[read, write, Description(\"Whether it runs.\") : Amended] boolean Started;\n};\n",
                 described.mofText.GetBuffer());
}

TEST_F(ClassDescriptionTest, ALocaleGivesItsOwnTextsAndEnglishWhatItLacks)
{
    ClassDescription described = WMI::GetClassDescription(ConnectIn(L"MS_407"), String(L"Win32_Service"));
    EXPECT_STREQ(L"Ein Windows-Dienst.", described.description.GetBuffer());
    EXPECT_STREQ(L"Der Name des Dienstes.", described.properties[0].description.GetBuffer());
    EXPECT_STREQ(L"Aktueller Zustand.", described.properties[1].description.GetBuffer());
    // German has no names of the states: English ones, beside the class's own map.
    EXPECT_EQ((std::vector<std::wstring>{L"Stopped", L"Running", L"Sixteen", L"Twenties", L"Other"}),
              Texts(described.properties[1].values));
    // German names of its own are kept; a description it lacks is English.
    EXPECT_EQ((std::vector<std::wstring>{L"Andere", L"Unbekannt", L"Läuft"}), Texts(described.properties[2].values));
    EXPECT_STREQ(L"Availability of the service.", described.properties[2].description.GetBuffer());
    EXPECT_EQ((std::vector<std::wstring>{L"Read", L"Write", L"Execute"}), Texts(described.properties[3].bitValues));
    // The second connection names English and the same namespace; the first's MOF text stays.
    ASSERT_EQ(2u, provider.connects.size());
    EXPECT_EQ(L"MS_407", provider.connects[0].locale);
    EXPECT_EQ(L"MS_409", provider.connects[1].locale);
    EXPECT_EQ(L"root\\cimv2", provider.connects[1].path);
    EXPECT_NE(nullptr, wcsstr(described.mofText.GetBuffer(), L"Ein Windows-Dienst."));
    EXPECT_EQ(L"MS_407", std::wstring(connection->GetLocale().GetBuffer()));
}

TEST_F(ClassDescriptionTest, ALocaleWithEveryTextNeedsNoEnglish)
{
    ScriptedWmi::ClassScript& whole = provider.AddClass(L"Win32_Whole", {{L"Mode", CIM_UINT8}});
    whole.Amend(L"MS_407", L"", L"Description", Value::Text(L"Ganz."));
    whole.Amend(L"MS_407", L"Mode", L"Description", Value::Text(L"Modus."));
    whole.Amend(L"MS_407", L"Mode", L"Values", Value::Strings({L"Aus", L"An"}));
    ClassDescription described = WMI::GetClassDescription(ConnectIn(L"MS_407"), String(L"Win32_Whole"));
    EXPECT_FALSE(WMI::LacksTexts(described));
    EXPECT_EQ(1u, provider.connects.size());
    EXPECT_EQ(L"1 (An)", std::wstring(WMI::FormatCodedValue(described.properties[0], String(L"1")).GetBuffer()));
}

TEST_F(ClassDescriptionTest, WhenEnglishCannotBeReachedTheLocalesTextsStay)
{
    WMI::ManagementConnection* german = ConnectIn(L"MS_407");
    provider.connectResult = WBEM_E_ACCESS_DENIED;
    ClassDescription described = WMI::GetClassDescription(german, String(L"Win32_Service"));
    EXPECT_STREQ(L"Ein Windows-Dienst.", described.description.GetBuffer());
    EXPECT_EQ(0, described.properties[1].values.GetCount());
    EXPECT_EQ(2u, provider.connects.size());
    // Not asked again for the next class: a remote machine would make each class wait for its refusal.
    provider.connectResult = S_OK;
    WMI::GetClassDescription(german, String(L"Win32_Service"));
    EXPECT_EQ(2u, provider.connects.size());
}

// One English connection serves every class of the namespace, on the window thread's reads and the workers' alike.
TEST_F(ClassDescriptionTest, EnglishIsOpenedOnceForAllTheClasses)
{
    ScriptedWmi::ClassScript& other = provider.AddClass(L"Win32_Other", {{L"Mode", CIM_UINT8}});
    other.Amend(L"MS_409", L"", L"Description", Value::Text(L"Another class."));
    WMI::ManagementConnection* german = ConnectIn(L"MS_407");
    ClassDescription service = WMI::GetClassDescription(german, String(L"Win32_Service"));
    ClassDescription described;
    CompletionOwner owner;
    bool done = false;
    WMI::ReadClassDescription(owner, german, String(L"Win32_Other"),
                              [&](Outcome<ClassDescription>& read)
                              {
                                  described = read.Get();
                                  done = true;
                              });
    RunLoopUntil([&] { return done; });
    EXPECT_EQ((std::vector<std::wstring>{L"Stopped", L"Running", L"Sixteen", L"Twenties", L"Other"}),
              Texts(service.properties[1].values));
    EXPECT_STREQ(L"Another class.", described.description.GetBuffer());
    ASSERT_EQ(2u, provider.connects.size());
    EXPECT_EQ(L"MS_409", provider.connects[1].locale);
}

TEST_F(ClassDescriptionTest, AProviderWithoutQualifiersGivesEmptyTextsAndNoMarks)
{
    // As Wine: qualifier sets of properties hold nothing.
    provider.keyQualifiers = false;
    ClassDescription described = WMI::GetClassDescription(ConnectIn(L"MS_409"), String(L"Win32_Service"));
    ASSERT_EQ(5, described.properties.GetCount());
    EXPECT_TRUE(described.properties[0].description.IsEmpty());
    EXPECT_FALSE(described.properties[0].key);
    EXPECT_EQ(0, described.properties[1].values.GetCount());
    EXPECT_EQ(WMI::CimUInt32, described.properties[1].cimType);
}

// --- failures ---

TEST_F(ClassDescriptionTest, AMissingClassAndOtherFailuresAreNamed)
{
    WMI::ManagementConnection* english = ConnectIn(L"MS_409");
    EXPECT_THROW(WMI::GetClassDescription(english, String(L"Win32_Tardis")), WMI::InvalidWMIClassException);
    provider.getObjectResult = WBEM_E_FAILED;
    EXPECT_EQ(L"Could not read the class Win32_Service in root\\cimv2: Unspecified error",
              ThrownMessage([&] { WMI::GetClassDescription(english, String(L"Win32_Service")); }));
    WMI::ManagementConnection unconnected;
    EXPECT_THROW(WMI::GetClassDescription(&unconnected, String(L"Win32_Service")), Core::InvalidOperationException);
    CompletionOwner owner;
    EXPECT_THROW(
        WMI::ReadClassDescription(owner, &unconnected, String(L"Win32_Service"), [](Outcome<ClassDescription>&) {}),
        Core::InvalidOperationException);
}

// --- on a worker ---

TEST_F(ClassDescriptionTest, TheWorkerReadsTheLocaleAndEnglishAndHandsTheResultBack)
{
    CompletionOwner owner;
    bool done = false;
    DWORD thread = 0;
    std::wstring classText;
    std::vector<std::wstring> values;
    WMI::ReadClassDescription(owner, ConnectIn(L"MS_407"), String(L"Win32_Service"),
                              [&](Outcome<ClassDescription>& outcome)
                              {
                                  thread = GetCurrentThreadId();
                                  classText = outcome.Get().description.GetBuffer();
                                  values = Texts(outcome.Get().properties[1].values);
                                  done = true;
                              });
    RunLoopUntil([&] { return done; });
    EXPECT_EQ(GetCurrentThreadId(), thread);
    EXPECT_EQ(L"Ein Windows-Dienst.", classText);
    EXPECT_EQ((std::vector<std::wstring>{L"Stopped", L"Running", L"Sixteen", L"Twenties", L"Other"}), values);
    EXPECT_EQ(2u, provider.connects.size());
}

TEST_F(ClassDescriptionTest, AReadWhoseOwnerWentBeforeItsTurnAsksNothing)
{
    WMI::ManagementConnection* german = ConnectIn(L"MS_407");
    std::shared_ptr<WMI::ClassTurn> earlier = german->GetSession()->GetClassTurns().Take(String(L"WIN32_SERVICE"));
    bool called = false;
    {
        CompletionOwner owner;
        WMI::ReadClassDescription(owner, german, String(L"Win32_Service"),
                                  [&](Outcome<ClassDescription>&) { called = true; });
    }
    earlier->End();
    earlier.reset();
    ASSERT_TRUE(Core::Threading::BackgroundWork::WaitForAll(60000));
    Core::Threading::WindowThread::RunPosted();
    EXPECT_FALSE(called);
    EXPECT_TRUE(provider.getObjectPaths.empty());
    EXPECT_EQ(1u, provider.connects.size());
}

// --- texts English fills ---

TEST(ClassDescriptionTexts, EnglishFillsOnlyWhatIsMissing)
{
    ClassDescription german;
    german.description = String(L"Dienst");
    PropertyDescription mode;
    mode.name = String(L"Mode");
    mode.valueMap = List({L"1", L"2"});
    german.properties.Add(mode);
    PropertyDescription other;
    other.name = String(L"Other");
    other.description = String(L"Eigen");
    other.valueMap = List({L"7"});
    german.properties.Add(other);
    EXPECT_TRUE(WMI::LacksTexts(german));

    ClassDescription english;
    english.description = String(L"Service");
    PropertyDescription englishMode;
    englishMode.name = String(L"MODE");
    englishMode.description = String(L"The mode");
    englishMode.valueMap = List({L"1", L"2"});
    englishMode.values = List({L"Off", L"On"});
    english.properties.Add(englishMode);
    PropertyDescription englishOther;
    englishOther.name = String(L"Other");
    englishOther.description = String(L"English");
    englishOther.valueMap = List({L"7", L"8"});
    englishOther.values = List({L"Seven", L"Eight"});
    english.properties.Add(englishOther);

    WMI::FillMissingTexts(german, english);
    EXPECT_STREQ(L"Dienst", german.description.GetBuffer());
    EXPECT_STREQ(L"The mode", german.properties[0].description.GetBuffer());
    EXPECT_EQ((std::vector<std::wstring>{L"Off", L"On"}), Texts(german.properties[0].values));
    EXPECT_STREQ(L"Eigen", german.properties[1].description.GetBuffer());
    // English names a map other than the user's own: names that would not fit it are not taken.
    EXPECT_EQ(0, german.properties[1].values.GetCount());
    EXPECT_EQ((std::vector<std::wstring>{L"7"}), Texts(german.properties[1].valueMap));
}

// --- coded values with their names ---

class CodedValueTest : public testing::Test
{
protected:
    static std::wstring Coded(const PropertyDescription& property, const wchar_t* value)
    {
        return WMI::FormatCodedValue(property, String(value)).GetBuffer();
    }
};

TEST_F(CodedValueTest, AValueMapNamesItsValuesByNumberRangeAndTheRest)
{
    PropertyDescription state;
    state.valueMap = List({L"1", L"2", L"0x10", L"20..29", L"..", L"40.."});
    state.values = List({L"Stopped", L"Running", L"Sixteen", L"Twenties", L"Other", L"Forties and up"});
    EXPECT_EQ(L"1 (Stopped)", Coded(state, L"1"));
    EXPECT_EQ(L"2 (Running)", Coded(state, L"2"));
    EXPECT_EQ(L"16 (Sixteen)", Coded(state, L"16"));
    EXPECT_EQ(L"0x10 (Sixteen)", Coded(state, L"0x10"));
    EXPECT_EQ(L"20 (Twenties)", Coded(state, L"20"));
    EXPECT_EQ(L"29 (Twenties)", Coded(state, L"29"));
    EXPECT_EQ(L"40 (Forties and up)", Coded(state, L"40"));
    EXPECT_EQ(L"4000000000 (Forties and up)", Coded(state, L"4000000000"));
    // ".." stands for every value no other entry has.
    EXPECT_EQ(L"3 (Other)", Coded(state, L"3"));
    EXPECT_EQ(L"30 (Other)", Coded(state, L"30"));
    EXPECT_EQ(L"x (Other)", Coded(state, L"x"));
}

TEST_F(CodedValueTest, WithoutTheRestAValueTheMapLacksIsShownAlone)
{
    PropertyDescription state;
    state.valueMap = List({L"1", L"..5", L"Up"});
    state.values = List({L"One", L"Five or less"});
    EXPECT_EQ(L"1 (One)", Coded(state, L"1"));
    EXPECT_EQ(L"-3 (Five or less)", Coded(state, L"-3"));
    EXPECT_EQ(L"9", Coded(state, L"9"));
    // A map entry without a name, and a text entry compared without regard to case.
    EXPECT_EQ(L"up", Coded(state, L"up"));
    EXPECT_EQ(L"", Coded(state, L""));
}

TEST_F(CodedValueTest, ValuesAloneAreNamedFromZero)
{
    PropertyDescription availability;
    availability.values = List({L"Other", L"Unknown", L"Running"});
    EXPECT_EQ(L"0 (Other)", Coded(availability, L"0"));
    EXPECT_EQ(L"2 (Running)", Coded(availability, L"2"));
    EXPECT_EQ(L"3", Coded(availability, L"3"));
    EXPECT_EQ(L"-1", Coded(availability, L"-1"));
    EXPECT_EQ(L"Running", Coded(availability, L"Running"));
    // A map without names names nothing.
    PropertyDescription mapOnly;
    mapOnly.valueMap = List({L"1", L"2"});
    EXPECT_EQ(L"1", Coded(mapOnly, L"1"));
    EXPECT_EQ(L"7", Coded(PropertyDescription(), L"7"));
}

TEST_F(CodedValueTest, BitsAreNamedByTheirPositions)
{
    PropertyDescription access;
    access.bitMap = List({L"0", L"1", L"3"});
    access.bitValues = List({L"Read", L"Write", L"Execute"});
    EXPECT_EQ(L"9 (Read, Execute)", Coded(access, L"9"));
    EXPECT_EQ(L"3 (Read, Write)", Coded(access, L"3"));
    EXPECT_EQ(L"4", Coded(access, L"4")) << "bit 2 has no name";
    EXPECT_EQ(L"0", Coded(access, L"0"));
    // Without a map, name i stands for bit i.
    PropertyDescription options;
    options.bitValues = List({L"A", L"B", L"C"});
    EXPECT_EQ(L"6 (B, C)", Coded(options, L"6"));
    EXPECT_EQ(L"0x1 (A)", Coded(options, L"0x1"));
}

TEST_F(CodedValueTest, PropertyValuesAreNamedElementByElement)
{
    PropertyDescription state;
    state.valueMap = List({L"1", L"2"});
    state.values = List({L"Stopped", L"Running"});
    Core::Collections::ArrayList<WMI::PropertyValue> elements;
    elements.Add(WMI::PropertyValue::Scalar(WMI::CimUInt32, String(L"2")));
    elements.Add(WMI::PropertyValue::Scalar(WMI::CimUInt32, String(L"5")));
    EXPECT_STREQ(L"{2 (Running), 5}",
                 WMI::FormatCodedValue(state, WMI::PropertyValue::Array(WMI::CimUInt32, elements)).GetBuffer());
    EXPECT_STREQ(L"1 (Stopped)",
                 WMI::FormatCodedValue(state, WMI::PropertyValue::Scalar(WMI::CimUInt32, String(L"1"))).GetBuffer());
    EXPECT_STREQ(L"NULL", WMI::FormatCodedValue(state, WMI::PropertyValue::Null(WMI::CimUInt32)).GetBuffer());
}
