#include "config/AppOptions.h"

#include "core/Exception.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"
#include "core/platform/windows/RegistryKey.h"

#include <memory>
#include <optional>
#include <windows.h>

using Core::String;

namespace Config
{

namespace
{

const wchar_t* const ConfigFileValue = L"ConfigFile";
const wchar_t* const ReportDirectoryValue = L"ReportDirectory";
const wchar_t* const AsyncLoadValue = L"AsyncLoad";
const wchar_t* const ReportTargetValue = L"ReportTarget";
const wchar_t* const ShowSystemClassesValue = L"ShowSystemClasses";
const wchar_t* const ShowValueNamesValue = L"ShowValueNames";

// The current directory, cut to 260 characters as the options have always stored it.
String CurrentDirectory()
{
    String directory = Core::IO::Directory::GetCurrent();
    return directory.GetLength() > MAX_PATH ? directory.Substring(0, MAX_PATH) : directory;
}

int32_t ReadInt32(const std::optional<RegistryKey>& key, const wchar_t* name, int32_t firstRunValue)
{
    try
    {
        if (key)
        {
            return key->GetInt32(String(name));
        }
    }
    catch (...)
    {
        // Missing, or of another type: the option works with its first-run value.
    }
    return firstRunValue;
}

// %variables% replaced by their values; the text as it is when that fails.
String ExpandEnvironment(const String& text)
{
    DWORD units = ExpandEnvironmentStringsW(text.GetBuffer(), nullptr, 0);
    if (units == 0)
    {
        return text;
    }
    std::unique_ptr<wchar_t[]> expanded(new wchar_t[units]());
    DWORD written = ExpandEnvironmentStringsW(text.GetBuffer(), expanded.get(), units);
    if (written == 0 || written > units)
    {
        return text;
    }
    return String(expanded.get());
}

} // namespace

String AppOptions::ReadText(const std::optional<RegistryKey>& key, const wchar_t* name, const String& firstRunValue,
                            StoredText& stored)
{
    stored = StoredText();
    try
    {
        if (key)
        {
            stored.stored = key->GetString(String(name), stored.expandable);
            stored.read = stored.expandable ? ExpandEnvironment(stored.stored) : stored.stored;
            return stored.read;
        }
    }
    catch (...)
    {
        // Missing, or of another type: the option works with its first-run value.
    }
    stored = StoredText();
    return firstRunValue;
}

void AppOptions::WriteText(const RegistryKey& key, const wchar_t* name, const String& value, const StoredText& stored)
{
    if (stored.expandable && value == stored.read)
    {
        key.SetExpandableString(String(name), stored.stored);
    }
    else
    {
        key.SetString(String(name), value);
    }
}

AppOptions::AppOptions(const String& keyPath) : m_keyPath(keyPath)
{
    Load();
}

AppOptions::~AppOptions()
{
    try
    {
        Save();
    }
    catch (const Core::Exception& e)
    {
        Core::Platform::Windows::Desktop::Current().ShowMessage(
            nullptr, String(L"The options could not be saved: ") + e.GetMessageText(), String(L"Error"),
            MB_OK | MB_ICONERROR);
    }
    catch (...)
    {
        // Nothing more can be done at the end of the run.
    }
}

void AppOptions::Load()
{
    std::optional<RegistryKey> key;
    try
    {
        int disposition = 0;
        key.emplace(RegistryKey(HKEY_CURRENT_USER).CreateSubKey(m_keyPath, disposition));
        if (disposition == RegistryKey::CreatedNewKey)
        {
            key->SetString(String(ConfigFileValue), String());
            key->SetString(String(ReportDirectoryValue), CurrentDirectory());
            key->SetInt32(String(AsyncLoadValue), 1);
            key->SetInt32(String(ReportTargetValue), ReportOnScreen);
        }
    }
    catch (...)
    {
        // Without the key (or with a first run only partly written) whatever can be read is read.
    }
    // Each value on its own: one that cannot be read must not cost the others theirs, nor have the
    // defaults written over them at the end of the run.
    m_asyncLoad = ReadInt32(key, AsyncLoadValue, 1) != 0;
    m_configFile = ReadText(key, ConfigFileValue, String(), m_storedConfigFile);
    m_reportDirectory = ReadText(key, ReportDirectoryValue, CurrentDirectory(), m_storedReportDirectory);
    m_reportTarget = ReadInt32(key, ReportTargetValue, ReportOnScreen);
    m_showSystemClasses = ReadInt32(key, ShowSystemClassesValue, 0) != 0;
    try
    {
        if (key)
        {
            m_showValueNames = key->GetInt32(String(ShowValueNamesValue)) != 0;
            m_showValueNamesStored = true;
        }
    }
    catch (...)
    {
        // Missing, or of another type: off, and not written back until chosen.
    }
}

void AppOptions::Save()
{
    int disposition = 0;
    RegistryKey key = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(m_keyPath, disposition);
    key.SetInt32(String(AsyncLoadValue), m_asyncLoad ? 1 : 0);
    WriteText(key, ConfigFileValue, m_configFile, m_storedConfigFile);
    WriteText(key, ReportDirectoryValue, m_reportDirectory, m_storedReportDirectory);
    key.SetInt32(String(ReportTargetValue), m_reportTarget);
    key.SetInt32(String(ShowSystemClassesValue), m_showSystemClasses ? 1 : 0);
    // Written once chosen: a key that never had it means off, and stays as an administrator prepared it.
    if (m_showValueNames || m_showValueNamesStored)
    {
        key.SetInt32(String(ShowValueNamesValue), m_showValueNames ? 1 : 0);
    }
}

} // namespace Config
