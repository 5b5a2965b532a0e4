// The four options kept between runs, in the current user's registry: read once when the object is
// made, written once when it goes.
#pragma once

#include "core/Object.h"
#include "core/String.h"

#include <cstdint>
#include <optional>

namespace Core::Platform::Windows
{
class RegistryKey;
}

namespace Config
{

using Core::Platform::Windows::RegistryKey;

// What a finished report is used for; the values are those the options store.
enum ReportTarget
{
    ReportOnScreen = 1,
    ReportInExcel = 2,
    ReportAsTabText = 3,
    ReportAsCommaText = 4
};

class AppOptions : public Core::Object
{
public:
    static constexpr const wchar_t* DefaultKeyPath = L"Software\\Quarrow\\Options";

    // Loads from HKEY_CURRENT_USER\keyPath, creating the key with the first-run values when missing.
    // Each value is read on its own: one that is missing or of a type it cannot use takes its first-run
    // value, silently, and the others keep what was stored. REG_EXPAND_SZ paths are expanded.
    explicit AppOptions(const Core::String& keyPath = Core::String(DefaultKeyPath));
    // Saves. A failure is reported to the user and goes no further: destructors do not throw.
    ~AppOptions() override;
    AppOptions(const AppOptions&) = delete;
    AppOptions& operator=(const AppOptions&) = delete;

    // Writes all four values; failures throw Exception with the system's text. A path read from a
    // REG_EXPAND_SZ value and not changed since goes back as it was stored, unexpanded.
    void Save();

    const Core::String& GetConfigFile() const { return m_configFile; }
    void SetConfigFile(const Core::String& configFile) { m_configFile = configFile; }
    const Core::String& GetReportDirectory() const { return m_reportDirectory; }
    void SetReportDirectory(const Core::String& reportDirectory) { m_reportDirectory = reportDirectory; }
    int32_t GetReportTarget() const { return m_reportTarget; }
    void SetReportTarget(int32_t reportTarget) { m_reportTarget = reportTarget; }
    bool GetAsyncLoad() const { return m_asyncLoad; }
    void SetAsyncLoad(bool asyncLoad) { m_asyncLoad = asyncLoad; }
    // Whether the namespaces' class lists show the system classes (__NAMESPACE, __SystemClass, ...).
    bool GetShowSystemClasses() const { return m_showSystemClasses; }
    void SetShowSystemClasses(bool show) { m_showSystemClasses = show; }
    // Whether the Results grid and the reports show coded values with their names and datetimes readably.
    bool GetShowValueNames() const { return m_showValueNames; }
    void SetShowValueNames(bool show) { m_showValueNames = show; }

private:
    // A text option as it was stored, so an unchanged one is written back in its own form.
    struct StoredText
    {
        bool expandable = false; // REG_EXPAND_SZ
        Core::String stored;     // as stored, unexpanded
        Core::String read;       // as it came into memory
    };

    void Load();
    static Core::String ReadText(const std::optional<RegistryKey>& key, const wchar_t* name,
                                 const Core::String& firstRunValue, StoredText& stored);
    static void WriteText(const RegistryKey& key, const wchar_t* name, const Core::String& value,
                          const StoredText& stored);

    Core::String m_keyPath;
    StoredText m_storedConfigFile;
    StoredText m_storedReportDirectory;
    Core::String m_configFile;
    Core::String m_reportDirectory;
    int32_t m_reportTarget = ReportOnScreen;
    bool m_asyncLoad = true;
    bool m_showSystemClasses = false;
    bool m_showValueNames = false;
    bool m_showValueNamesStored = false; // the key holds ShowValueNames
};

} // namespace Config
