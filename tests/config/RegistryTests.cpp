#include "config/AppOptions.h"
#include "core/platform/windows/RegistryKey.h"

#include "core/io/Path.h"
#include "core/io/SystemError.h"
#include "tests/support/RecordingDesktop.h"
#include "tests/support/ThrownMessage.h"

#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <windows.h>

using Config::AppOptions;
using Core::String;
using Core::Platform::Windows::RegistryKey;

namespace
{

// Each test works on a key of its own under HKEY_CURRENT_USER\Software\QuarrowTests, removed again after.
class RegistryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        keyPath =
            String(L"Software\\QuarrowTests\\") + String(testing::UnitTest::GetInstance()->current_test_info()->name());
        RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath);
    }
    void TearDown() override { RegistryKey::DeleteTree(HKEY_CURRENT_USER, keyPath); }

    RegistryKey OpenKey()
    {
        int disposition = 0;
        return RegistryKey(HKEY_CURRENT_USER).CreateSubKey(keyPath, disposition);
    }

    String keyPath;
};

} // namespace

// --- the key class ---

TEST_F(RegistryTest, RootsAreNamedAfterThePredefinedHandles)
{
    const std::pair<HKEY, const wchar_t*> roots[] = {
        {HKEY_CLASSES_ROOT, L"HKEY_CLASSES_ROOT"},
        {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"},
        {HKEY_USERS, L"HKEY_USERS"},
        {HKEY_PERFORMANCE_DATA, L"HKEY_PERFORMANCE_DATA"},
        {HKEY_CURRENT_CONFIG, L"HKEY_CURRENT_CONFIG"},
        {HKEY_DYN_DATA, L"HKEY_DYN_DATA"},
    };
    for (const auto& [handle, name] : roots)
    {
        EXPECT_STREQ(name, RegistryKey(handle).GetName().GetBuffer());
    }
    EXPECT_STREQ(L"", RegistryKey(reinterpret_cast<void*>(0x1234)).GetName().GetBuffer());
}

TEST_F(RegistryTest, SubKeysAreNamedAfterTheirLastComponentAndReportTheirCreation)
{
    int disposition = 0;
    RegistryKey created = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(keyPath, disposition);
    EXPECT_EQ(RegistryKey::CreatedNewKey, disposition);
    EXPECT_EQ(String(L"HKEY_CURRENT_USER\\") + testing::UnitTest::GetInstance()->current_test_info()->name(),
              created.GetName());
    RegistryKey child = created.CreateSubKey(String(L"Child"), disposition);
    EXPECT_EQ(RegistryKey::CreatedNewKey, disposition);
    EXPECT_TRUE(child.GetName().IndexOf(L"\\Child") > 0);
    RegistryKey again = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(keyPath, disposition);
    EXPECT_EQ(RegistryKey::OpenedExistingKey, disposition);
}

TEST_F(RegistryTest, StringsAndIntegersRoundTrip)
{
    RegistryKey key = OpenKey();
    const String text(L"C:\\Reports with blanks\\\u00E9t\u00E9");
    key.SetString(String(L"Text"), text);
    String back = key.GetString(String(L"Text"));
    EXPECT_EQ(text, back);
    EXPECT_EQ(text.GetLength(), back.GetLength()); // no terminating zero inside the string
    key.SetString(String(L"Empty"), String());
    EXPECT_EQ(0, key.GetString(String(L"Empty")).GetLength());
    key.SetInt32(String(L"Number"), -123456);
    EXPECT_EQ(-123456, key.GetInt32(String(L"Number")));
    // Stored exactly as the system's types: REG_SZ with one terminator, REG_DWORD of four bytes.
    DWORD type = 0;
    DWORD size = 0;
    RegQueryValueExW(static_cast<HKEY>(key.GetHandle()), L"Text", nullptr, &type, nullptr, &size);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(static_cast<DWORD>((text.GetLength() + 1) * 2), size);
}

TEST_F(RegistryTest, MissingValuesAndOtherTypesFailWithTheSystemsText)
{
    RegistryKey key = OpenKey();
    EXPECT_EQ(std::wstring(Core::IO::GetErrorText(ERROR_FILE_NOT_FOUND).GetBuffer()),
              Testing::ThrownMessage([&] { key.GetString(String(L"Absent")); }));
    EXPECT_THROW(key.GetInt32(String(L"Absent")), Core::Exception);
    key.SetString(String(L"Text"), String(L"1"));
    key.SetInt32(String(L"Number"), 1);
    EXPECT_EQ(std::wstring(Core::IO::GetErrorText(ERROR_DATATYPE_MISMATCH).GetBuffer()),
              Testing::ThrownMessage([&] { key.GetInt32(String(L"Text")); }));
    EXPECT_THROW(key.GetString(String(L"Number")), Core::Exception);
}

TEST_F(RegistryTest, AStringStoredWithoutTerminatorIsReadWhole)
{
    RegistryKey key = OpenKey();
    const wchar_t raw[] = {L'a', L'b', L'c'};
    RegSetValueExW(static_cast<HKEY>(key.GetHandle()), L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw),
                   sizeof(raw));
    EXPECT_STREQ(L"abc", key.GetString(String(L"Raw")).GetBuffer());
}

// --- the options ---

TEST_F(RegistryTest, TheFirstRunCreatesTheKeyWithItsFirstValues)
{
    {
        AppOptions options(keyPath);
        EXPECT_EQ(0, options.GetConfigFile().GetLength());
        EXPECT_EQ(Core::IO::Directory::GetCurrent(), options.GetReportDirectory());
        EXPECT_TRUE(options.GetAsyncLoad());
        EXPECT_EQ(1, options.GetReportTarget());
    }
    RegistryKey key = OpenKey();
    EXPECT_EQ(0, key.GetString(String(L"ConfigFile")).GetLength());
    EXPECT_EQ(Core::IO::Directory::GetCurrent(), key.GetString(String(L"ReportDirectory")));
    EXPECT_EQ(1, key.GetInt32(String(L"AsyncLoad")));
    EXPECT_EQ(1, key.GetInt32(String(L"ReportTarget")));
}

// --- one value that cannot be read leaves the others as they were ---

TEST_F(RegistryTest, AMissingOrMistypedValueTakesItsDefaultAndTheOthersStayAsStored)
{
    // Each case spoils one value of an otherwise complete key.
    const std::function<void(const RegistryKey&)> spoil[] = {
        [](const RegistryKey& key) { RegDeleteValueW(static_cast<HKEY>(key.GetHandle()), L"AsyncLoad"); },
        [](const RegistryKey& key) { key.SetString(String(L"AsyncLoad"), String(L"0")); },
        [](const RegistryKey& key) { key.SetInt32(String(L"ConfigFile"), 5); },
    };
    for (size_t c = 0; c < std::size(spoil); c++)
    {
        {
            RegistryKey key = OpenKey();
            key.SetInt32(String(L"AsyncLoad"), 0);
            key.SetString(String(L"ConfigFile"), String(L"C:\\config.xml"));
            key.SetString(String(L"ReportDirectory"), String(L"C:\\Reports"));
            key.SetInt32(String(L"ReportTarget"), 3);
            spoil[c](key);
        }
        bool asyncLoadSpoilt = c < 2;
        {
            AppOptions options(keyPath);
            EXPECT_EQ(asyncLoadSpoilt, options.GetAsyncLoad()) << c;
            EXPECT_EQ(asyncLoadSpoilt ? L"C:\\config.xml" : L"", std::wstring(options.GetConfigFile().GetBuffer()))
                << c;
            EXPECT_STREQ(L"C:\\Reports", options.GetReportDirectory().GetBuffer()) << c;
            EXPECT_EQ(3, options.GetReportTarget()) << c;
        }
        // Written back: what was read as it was, the spoilt value as its default with its own type.
        RegistryKey key = OpenKey();
        EXPECT_EQ(asyncLoadSpoilt ? 1 : 0, key.GetInt32(String(L"AsyncLoad"))) << c;
        EXPECT_EQ(asyncLoadSpoilt ? L"C:\\config.xml" : L"",
                  std::wstring(key.GetString(String(L"ConfigFile")).GetBuffer()))
            << c;
        EXPECT_STREQ(L"C:\\Reports", key.GetString(String(L"ReportDirectory")).GetBuffer()) << c;
        EXPECT_EQ(3, key.GetInt32(String(L"ReportTarget"))) << c;
    }
}

TEST_F(RegistryTest, ExpandablePathsAreExpandedAndStoredBackAsTheyWereUnlessChanged)
{
    SetEnvironmentVariableW(L"QUARROW_TEST_ROOT", L"D:\\Users\\admin");
    auto setExpandable = [](const RegistryKey& key, const wchar_t* name, const std::wstring& text)
    {
        RegSetValueExW(static_cast<HKEY>(key.GetHandle()), name, 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>((text.size() + 1) * 2));
    };
    {
        RegistryKey key = OpenKey();
        setExpandable(key, L"ConfigFile", L"%QUARROW_TEST_ROOT%\\QuarrowConfig.xml");
        setExpandable(key, L"ReportDirectory", L"%QUARROW_TEST_ROOT%\\Reports");
    }
    {
        AppOptions options(keyPath);
        EXPECT_STREQ(L"D:\\Users\\admin\\QuarrowConfig.xml", options.GetConfigFile().GetBuffer());
        EXPECT_STREQ(L"D:\\Users\\admin\\Reports", options.GetReportDirectory().GetBuffer());
        options.SetReportDirectory(String(L"E:\\Elsewhere"));
    }
    SetEnvironmentVariableW(L"QUARROW_TEST_ROOT", nullptr);
    RegistryKey key = OpenKey();
    bool expandable = false;
    EXPECT_STREQ(L"%QUARROW_TEST_ROOT%\\QuarrowConfig.xml",
                 key.GetString(String(L"ConfigFile"), expandable).GetBuffer());
    EXPECT_TRUE(expandable);
    EXPECT_STREQ(L"E:\\Elsewhere", key.GetString(String(L"ReportDirectory"), expandable).GetBuffer());
    EXPECT_FALSE(expandable);
}

TEST_F(RegistryTest, AKeyWithoutReportTargetReadsTheRest)
{
    {
        RegistryKey key = OpenKey();
        key.SetInt32(String(L"AsyncLoad"), 0);
        key.SetString(String(L"ConfigFile"), String(L"C:\\config.xml"));
        key.SetString(String(L"ReportDirectory"), String(L"C:\\Reports"));
    }
    AppOptions options(keyPath);
    EXPECT_FALSE(options.GetAsyncLoad());
    EXPECT_STREQ(L"C:\\config.xml", options.GetConfigFile().GetBuffer());
    EXPECT_STREQ(L"C:\\Reports", options.GetReportDirectory().GetBuffer());
    EXPECT_EQ(1, options.GetReportTarget());
}

TEST_F(RegistryTest, AsyncLoadTwoLoadsAsTrueAndIsSavedAsOne)
{
    {
        RegistryKey key = OpenKey();
        key.SetInt32(String(L"AsyncLoad"), 2);
        key.SetString(String(L"ConfigFile"), String());
        key.SetString(String(L"ReportDirectory"), String(L"D:\\"));
        key.SetInt32(String(L"ReportTarget"), 7);
    }
    {
        AppOptions options(keyPath);
        EXPECT_TRUE(options.GetAsyncLoad());
        EXPECT_EQ(7, options.GetReportTarget()); // kept as stored
    }
    EXPECT_EQ(1, OpenKey().GetInt32(String(L"AsyncLoad")));
}

TEST_F(RegistryTest, ChangesReachTheRegistryWhenTheOptionsGo)
{
    {
        AppOptions options(keyPath);
        options.SetConfigFile(String(L"C:\\QuarrowConfig.xml"));
        options.SetReportDirectory(String(L"C:\\Reports\\"));
        options.SetReportTarget(4);
        options.SetAsyncLoad(false);
        EXPECT_EQ(0, OpenKey().GetString(String(L"ConfigFile")).GetLength()); // memory only until then
    }
    AppOptions reloaded(keyPath);
    EXPECT_STREQ(L"C:\\QuarrowConfig.xml", reloaded.GetConfigFile().GetBuffer());
    EXPECT_STREQ(L"C:\\Reports\\", reloaded.GetReportDirectory().GetBuffer());
    EXPECT_EQ(4, reloaded.GetReportTarget());
    EXPECT_FALSE(reloaded.GetAsyncLoad());
}

// The system classes of the namespaces are hidden until the user shows them; the choice is kept as 1 or 0.
TEST_F(RegistryTest, ShowSystemClassesIsOffAtFirstAndKeptAsChosen)
{
    {
        AppOptions options(keyPath);
        EXPECT_FALSE(options.GetShowSystemClasses());
        options.SetShowSystemClasses(true);
    }
    EXPECT_EQ(1, OpenKey().GetInt32(String(L"ShowSystemClasses")));
    AppOptions reloaded(keyPath);
    EXPECT_TRUE(reloaded.GetShowSystemClasses());
}

// Values are shown as WMI gives them until the user asks for their names; the choice is kept as 1 or 0 once made
// (a key without it means off, and gains no value of it until then), and a value of another type is read as off.
TEST_F(RegistryTest, ShowValueNamesIsOffAtFirstAndKeptAsChosen)
{
    {
        AppOptions options(keyPath);
        EXPECT_FALSE(options.GetShowValueNames());
    }
    EXPECT_THROW(OpenKey().GetInt32(String(L"ShowValueNames")), Core::Exception) << "written before it was chosen";
    {
        AppOptions options(keyPath);
        EXPECT_FALSE(options.GetShowValueNames());
        options.SetShowValueNames(true);
    }
    EXPECT_EQ(1, OpenKey().GetInt32(String(L"ShowValueNames")));
    {
        AppOptions reloaded(keyPath);
        EXPECT_TRUE(reloaded.GetShowValueNames());
        EXPECT_FALSE(reloaded.GetShowSystemClasses()) << "the two choices are kept apart";
        reloaded.SetShowValueNames(false);
    }
    EXPECT_EQ(0, OpenKey().GetInt32(String(L"ShowValueNames")));
    OpenKey().SetString(String(L"ShowValueNames"), String(L"1"));
    EXPECT_FALSE(AppOptions(keyPath).GetShowValueNames());
}

TEST_F(RegistryTest, AFailedSaveAtTheEndIsReportedAndGoesNoFurther)
{
    Testing::RecordingDesktop desktop;
    // A key name the registry refuses: components may not be longer than 255 characters.
    String impossible = keyPath + L"\\" + String(L'x', 300);
    {
        AppOptions options(impossible);
        EXPECT_TRUE(options.GetAsyncLoad()); // loading failed silently: the defaults stay
        EXPECT_THROW(options.Save(), Core::Exception);
    }
    ASSERT_EQ(1u, desktop.messages.size());
    EXPECT_EQ(L"Error", desktop.messages[0].caption);
    EXPECT_EQ(0u, desktop.messages[0].text.find(L"The options could not be saved: "));
    EXPECT_EQ(static_cast<unsigned int>(MB_OK | MB_ICONERROR), desktop.messages[0].style);
}
