#include "core/platform/windows/RegistryKey.h"

#include "core/Exception.h"
#include "core/io/SystemError.h"

#include <cstring>
#include <memory>
#include <windows.h>

using Core::String;

namespace Core::Platform::Windows
{

namespace
{

const wchar_t* const RootNames[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER",     L"HKEY_LOCAL_MACHINE",
                                    L"HKEY_USERS",        L"HKEY_PERFORMANCE_DATA", L"HKEY_CURRENT_CONFIG",
                                    L"HKEY_DYN_DATA"};

String RootName(void* handle)
{
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    // The predefined handles are 0x80000000 to 0x80000006, sign-extended on 64-bit Windows.
    uintptr_t base = reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT);
    if (value >= base && value - base < sizeof(RootNames) / sizeof(RootNames[0]))
    {
        return String(RootNames[value - base]);
    }
    return String();
}

void ThrowIfFailed(LSTATUS status)
{
    if (status != ERROR_SUCCESS)
    {
        throw Core::Exception(Core::IO::GetErrorText(static_cast<unsigned long>(status)));
    }
}

} // namespace

RegistryKey::RegistryKey(void* rootHandle) : m_handle(rootHandle), m_name(RootName(rootHandle)), m_owned(false) {}

RegistryKey::RegistryKey(void* handle, const String& name, bool owned) : m_handle(handle), m_name(name), m_owned(owned)
{
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : m_handle(other.m_handle), m_name(std::move(other.m_name)), m_owned(other.m_owned)
{
    other.m_handle = nullptr;
    other.m_owned = false;
}

RegistryKey::~RegistryKey()
{
    if (m_owned && m_handle != nullptr)
    {
        RegCloseKey(static_cast<HKEY>(m_handle));
    }
}

RegistryKey RegistryKey::CreateSubKey(const String& subKeyPath, int& disposition) const
{
    HKEY created = nullptr;
    DWORD result = 0;
    ThrowIfFailed(RegCreateKeyExW(static_cast<HKEY>(m_handle), subKeyPath.GetBuffer(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created, &result));
    disposition = static_cast<int>(result);
    int separator = subKeyPath.GetLength() > 0
                        ? subKeyPath.LastIndexOf(L'\\', subKeyPath.GetLength() - 1, subKeyPath.GetLength())
                        : -1;
    String lastComponent = separator >= 0 ? subKeyPath.Substring(separator + 1) : subKeyPath;
    return RegistryKey(created, m_name + L"\\" + lastComponent, true);
}

String RegistryKey::GetString(const String& valueName) const
{
    bool expandable = false;
    return GetString(valueName, expandable);
}

String RegistryKey::GetString(const String& valueName, bool& expandable) const
{
    DWORD type = 0;
    DWORD size = 0;
    ThrowIfFailed(RegQueryValueExW(static_cast<HKEY>(m_handle), valueName.GetBuffer(), nullptr, &type, nullptr, &size));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
    {
        ThrowIfFailed(ERROR_DATATYPE_MISMATCH);
    }
    // Room for a terminator the stored data may lack, and for an odd byte count.
    size_t units = size / sizeof(wchar_t) + 1;
    std::unique_ptr<wchar_t[]> text(new wchar_t[units]());
    DWORD read = size;
    ThrowIfFailed(RegQueryValueExW(static_cast<HKEY>(m_handle), valueName.GetBuffer(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(text.get()), &read));
    if (type != REG_SZ && type != REG_EXPAND_SZ) // changed by someone else in between
    {
        ThrowIfFailed(ERROR_DATATYPE_MISMATCH);
    }
    text[units - 1] = 0;
    expandable = type == REG_EXPAND_SZ;
    return String(text.get());
}

namespace
{

void SetText(void* handle, const String& valueName, const String& text, DWORD type)
{
    DWORD bytes = static_cast<DWORD>((text.GetLength() + 1) * sizeof(wchar_t));
    ThrowIfFailed(RegSetValueExW(static_cast<HKEY>(handle), valueName.GetBuffer(), 0, type,
                                 reinterpret_cast<const BYTE*>(text.GetBuffer()), bytes));
}

} // namespace

void RegistryKey::SetString(const String& valueName, const String& text) const
{
    SetText(m_handle, valueName, text, REG_SZ);
}

void RegistryKey::SetExpandableString(const String& valueName, const String& text) const
{
    SetText(m_handle, valueName, text, REG_EXPAND_SZ);
}

int32_t RegistryKey::GetInt32(const String& valueName) const
{
    DWORD type = 0;
    uint8_t bytes[4] = {0, 0, 0, 0};
    DWORD size = sizeof(bytes);
    ThrowIfFailed(RegQueryValueExW(static_cast<HKEY>(m_handle), valueName.GetBuffer(), nullptr, &type, bytes, &size));
    if (type != REG_DWORD || size != sizeof(bytes))
    {
        ThrowIfFailed(ERROR_DATATYPE_MISMATCH);
    }
    uint32_t value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                     (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return static_cast<int32_t>(value);
}

void RegistryKey::SetInt32(const String& valueName, int32_t value) const
{
    uint32_t bits = static_cast<uint32_t>(value);
    uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8), static_cast<uint8_t>(bits >> 16),
                        static_cast<uint8_t>(bits >> 24)};
    ThrowIfFailed(
        RegSetValueExW(static_cast<HKEY>(m_handle), valueName.GetBuffer(), 0, REG_DWORD, bytes, sizeof(bytes)));
}

void RegistryKey::DeleteTree(void* rootHandle, const String& subKeyPath)
{
    LSTATUS status = RegDeleteTreeW(static_cast<HKEY>(rootHandle), subKeyPath.GetBuffer());
    if (status != ERROR_FILE_NOT_FOUND)
    {
        ThrowIfFailed(status);
    }
}

} // namespace Core::Platform::Windows
