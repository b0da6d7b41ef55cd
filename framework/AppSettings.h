#pragma once
// The program's remembered choices: values under one per-user key,
// HKCU\Software\QVR500.  Nothing else of the program writes the registry.
// A value that is missing, of the wrong type or too long reads as absent;
// callers keep their defaults then.

#include <windows.h>
#include <optional>
#include <string>

class CAppSettings {
public:
    // The key every value lives under (relative to HKEY_CURRENT_USER).
    static constexpr const wchar_t* KEY_PATH = L"Software\\QVR500";
    // Longest string value read back, in characters (a path fits).
    static constexpr DWORD MAX_STRING_CHARS = 32767;

    static std::optional<DWORD> ReadDword(const wchar_t* pszName);
    static bool WriteDword(const wchar_t* pszName, DWORD dwValue);
    static std::optional<std::wstring> ReadString(const wchar_t* pszName);
    static bool WriteString(const wchar_t* pszName, const std::wstring& value);
    // Removes one value; true when it is gone afterwards (also when it never was there).
    static bool DeleteValue(const wchar_t* pszName);
    // Removes the whole key (tests start from nothing remembered).
    static bool DeleteAll();
};
