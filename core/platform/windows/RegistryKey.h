// A registry key of the current user's hive, with the few operations the options need.
#pragma once

#include "core/String.h"

#include <cstdint>

namespace Core::Platform::Windows
{

class RegistryKey
{
public:
    enum Disposition
    {
        CreatedNewKey = 1,
        OpenedExistingKey = 2
    };

    // Wraps a predefined root (HKEY_CURRENT_USER, ...); its name is the root's name.
    explicit RegistryKey(void* rootHandle);
    // Closes the key unless it is a predefined root.
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey& operator=(RegistryKey&&) = delete;

    // Opens subKeyPath below this key, creating it when missing.
    RegistryKey CreateSubKey(const Core::String& subKeyPath, int& disposition) const;

    // Failures (a missing value, a value of another type) throw Exception with the system's text.
    // GetString reads REG_SZ and REG_EXPAND_SZ as stored, without expanding; expandable tells which it was.
    Core::String GetString(const Core::String& valueName) const;
    Core::String GetString(const Core::String& valueName, bool& expandable) const;
    void SetString(const Core::String& valueName, const Core::String& text) const;
    // Stores REG_EXPAND_SZ: text whose %variables% are expanded by whoever reads it.
    void SetExpandableString(const Core::String& valueName, const Core::String& text) const;
    int32_t GetInt32(const Core::String& valueName) const;
    void SetInt32(const Core::String& valueName, int32_t value) const;

    const Core::String& GetName() const { return m_name; }
    void* GetHandle() const { return m_handle; }

    // Removes a key and everything below it; a missing key is not an error. For tests and clean-ups.
    static void DeleteTree(void* rootHandle, const Core::String& subKeyPath);

private:
    RegistryKey(void* handle, const Core::String& name, bool owned);

    void* m_handle; // owned when m_owned
    Core::String m_name;
    bool m_owned;
};

} // namespace Core::Platform::Windows
