#include "framework/AppSettings.h"

#include <vector>

namespace {

// An open registry key, closed when it goes.
class CRegKey {
public:
    CRegKey() = default;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    ~CRegKey()
    {
        if (m_hKey)
            ::RegCloseKey(m_hKey);
    }
    bool Open(REGSAM access)
    {
        return ::RegOpenKeyExW(HKEY_CURRENT_USER, CAppSettings::KEY_PATH, 0, access, &m_hKey) == ERROR_SUCCESS;
    }
    bool Create()
    {
        return ::RegCreateKeyExW(HKEY_CURRENT_USER, CAppSettings::KEY_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, nullptr, &m_hKey, nullptr) == ERROR_SUCCESS;
    }
    HKEY Get() const { return m_hKey; }

private:
    HKEY m_hKey = nullptr;
};

} // namespace

std::optional<DWORD> CAppSettings::ReadDword(const wchar_t* pszName)
{
    CRegKey key;
    if (!key.Open(KEY_QUERY_VALUE))
        return std::nullopt;
    DWORD dwType = 0, dwValue = 0, cb = sizeof(dwValue);
    if (::RegQueryValueExW(key.Get(), pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(&dwValue), &cb) !=
            ERROR_SUCCESS ||
        dwType != REG_DWORD || cb != sizeof(dwValue))
        return std::nullopt;
    return dwValue;
}

bool CAppSettings::WriteDword(const wchar_t* pszName, DWORD dwValue)
{
    CRegKey key;
    return key.Create() && ::RegSetValueExW(key.Get(), pszName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                                            sizeof(dwValue)) == ERROR_SUCCESS;
}

std::optional<std::wstring> CAppSettings::ReadString(const wchar_t* pszName)
{
    CRegKey key;
    if (!key.Open(KEY_QUERY_VALUE))
        return std::nullopt;
    DWORD dwType = 0, cb = 0;
    if (::RegQueryValueExW(key.Get(), pszName, nullptr, &dwType, nullptr, &cb) != ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ) || cb > (MAX_STRING_CHARS + 1) * sizeof(wchar_t))
        return std::nullopt;
    // The value may change between the two calls: read into a buffer of the
    // size asked for, and accept only what fits.
    std::vector<wchar_t> buffer(cb / sizeof(wchar_t) + 1, L'\0');
    DWORD cbRead = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.Get(), pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(buffer.data()), &cbRead) !=
            ERROR_SUCCESS ||
        (dwType != REG_SZ && dwType != REG_EXPAND_SZ))
        return std::nullopt;
    // Registry strings need not be terminated: stop at the first NUL or the
    // end of what was read.
    size_t nChars = cbRead / sizeof(wchar_t);
    size_t nLength = 0;
    while (nLength < nChars && buffer[nLength] != L'\0')
        ++nLength;
    return std::wstring(buffer.data(), nLength);
}

bool CAppSettings::WriteString(const wchar_t* pszName, const std::wstring& value)
{
    if (value.size() > MAX_STRING_CHARS)
        return false;
    CRegKey key;
    return key.Create() &&
           ::RegSetValueExW(key.Get(), pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool CAppSettings::DeleteValue(const wchar_t* pszName)
{
    CRegKey key;
    if (!key.Open(KEY_SET_VALUE))
        return true; // no key, no value
    LSTATUS status = ::RegDeleteValueW(key.Get(), pszName);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool CAppSettings::DeleteAll()
{
    LSTATUS status = ::RegDeleteKeyW(HKEY_CURRENT_USER, KEY_PATH);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}
