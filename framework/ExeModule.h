#pragma once
// The module object: the instance handle every resource is loaded from.

#include <windows.h>
#include <initializer_list>
#include <string>

class CExeModule {
public:
    void Init(HINSTANCE hInstance) { m_hInstance = hInstance; }
    HINSTANCE GetInstance() const { return m_hInstance ? m_hInstance : ::GetModuleHandleW(nullptr); }

    // A string resource, empty when missing.
    std::wstring LoadString(UINT nId) const;
    // String nId with each "%ls" replaced by the next argument, as plain
    // text: paths may hold '%' and printf's wide "%ls" is not read alike by
    // every C runtime.
    std::wstring FormatString(UINT nId, std::initializer_list<std::wstring> args) const;
    // Copies string nId into a buffer (cut and terminated); returns its length (0: missing).
    int LoadString(UINT nId, wchar_t* pszBuffer, int cchBuffer) const;
    // A message box owned by hOwner showing string nTextId under caption string nCaptionId; returns its result.
    int ShowMessage(HWND hOwner, UINT nTextId, UINT nCaptionId, UINT uType) const;

private:
    HINSTANCE m_hInstance = nullptr;
};

extern CExeModule g_Module;
