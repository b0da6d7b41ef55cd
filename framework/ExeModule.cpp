#include "framework/ExeModule.h"

CExeModule g_Module;

std::wstring CExeModule::LoadString(UINT nId) const
{
    const wchar_t* p = nullptr;
    // With a zero buffer size LoadStringW returns a read-only pointer to the resource.
    int n = ::LoadStringW(GetInstance(), nId, reinterpret_cast<LPWSTR>(&p), 0);
    if (n <= 0 || !p)
        return std::wstring();
    return std::wstring(p, static_cast<size_t>(n));
}

std::wstring CExeModule::FormatString(UINT nId, std::initializer_list<std::wstring> args) const
{
    const std::wstring pattern = LoadString(nId);
    std::wstring out;
    auto it = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 3, L"%ls") == 0 && it != args.end()) {
            out += *it++;
            i += 2;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

int CExeModule::LoadString(UINT nId, wchar_t* pszBuffer, int cchBuffer) const
{
    if (!pszBuffer || cchBuffer <= 0)
        return 0;
    pszBuffer[0] = L'\0';
    int n = ::LoadStringW(GetInstance(), nId, pszBuffer, cchBuffer);
    pszBuffer[cchBuffer - 1] = L'\0';
    return n > 0 ? n : 0;
}

int CExeModule::ShowMessage(HWND hOwner, UINT nTextId, UINT nCaptionId, UINT uType) const
{
    const std::wstring text = LoadString(nTextId);
    const std::wstring caption = LoadString(nCaptionId);
    return ::MessageBoxW(hOwner, text.c_str(), caption.c_str(), uType);
}
