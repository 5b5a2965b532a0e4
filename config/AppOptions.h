// The four options kept between runs, in the current user's registry: read once when the object is
// made, written once when it goes.
#pragma once

#include "core/Object.h"
#include "core/String.h"

#include <cstdint>

namespace Config
{

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
    // Any failure ends loading silently; what was read so far is kept.
    explicit AppOptions(const Core::String& keyPath = Core::String(DefaultKeyPath));
    // Saves. A failure is reported to the user and goes no further: destructors do not throw.
    ~AppOptions() override;
    AppOptions(const AppOptions&) = delete;
    AppOptions& operator=(const AppOptions&) = delete;

    // Writes all four values; failures throw Exception with the system's text.
    void Save();

    const Core::String& GetConfigFile() const { return m_configFile; }
    void SetConfigFile(const Core::String& configFile) { m_configFile = configFile; }
    const Core::String& GetReportDirectory() const { return m_reportDirectory; }
    void SetReportDirectory(const Core::String& reportDirectory) { m_reportDirectory = reportDirectory; }
    int32_t GetReportTarget() const { return m_reportTarget; }
    void SetReportTarget(int32_t reportTarget) { m_reportTarget = reportTarget; }
    bool GetAsyncLoad() const { return m_asyncLoad; }
    void SetAsyncLoad(bool asyncLoad) { m_asyncLoad = asyncLoad; }

private:
    void Load();

    Core::String m_keyPath;
    Core::String m_configFile;
    Core::String m_reportDirectory;
    int32_t m_reportTarget = ReportOnScreen;
    bool m_asyncLoad = true;
};

} // namespace Config
