#include "config/AppOptions.h"

#include "config/RegistryKey.h"
#include "core/Exception.h"
#include "core/io/Path.h"
#include "core/platform/windows/Desktop.h"

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

// The current directory, cut to 260 characters as the options have always stored it.
String CurrentDirectory()
{
    String directory = Core::IO::Directory::GetCurrent();
    return directory.GetLength() > MAX_PATH ? directory.Substring(0, MAX_PATH) : directory;
}

} // namespace

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
    try
    {
        int disposition = 0;
        RegistryKey key = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(m_keyPath, disposition);
        if (disposition == RegistryKey::CreatedNewKey)
        {
            key.SetString(String(ConfigFileValue), String());
            key.SetString(String(ReportDirectoryValue), CurrentDirectory());
            key.SetInt32(String(AsyncLoadValue), 1);
            key.SetInt32(String(ReportTargetValue), ReportOnScreen);
        }
        m_asyncLoad = key.GetInt32(String(AsyncLoadValue)) != 0;
        m_configFile = key.GetString(String(ConfigFileValue));
        m_reportDirectory = key.GetString(String(ReportDirectoryValue));
        m_reportTarget = key.GetInt32(String(ReportTargetValue));
    }
    catch (...)
    {
        // Options that cannot be read keep their defaults; the program works without them.
    }
}

void AppOptions::Save()
{
    int disposition = 0;
    RegistryKey key = RegistryKey(HKEY_CURRENT_USER).CreateSubKey(m_keyPath, disposition);
    key.SetInt32(String(AsyncLoadValue), m_asyncLoad ? 1 : 0);
    key.SetString(String(ConfigFileValue), m_configFile);
    key.SetString(String(ReportDirectoryValue), m_reportDirectory);
    key.SetInt32(String(ReportTargetValue), m_reportTarget);
}

} // namespace Config
