#include "model/ProfileInfo.h"

CProfileInfo::CProfileInfo()
    : m_szProject{}, m_szTheater{}, m_szScreen{}, m_szComments{}
{
    SetDefaults();
}

void CProfileInfo::SetDefaults()
{
    SetProject(u"* FACTORY DEFAULTS *");
}

void CProfileInfo::CopyText(char16_t* pszDest, int nUnits, const char16_t* pszSource)
{
    if (pszDest == nullptr || nUnits <= 0)
        return;
    int i = 0;
    if (pszSource) {
        bool bCut = false;
        for (; pszSource[i]; ++i) {
            if (i == nUnits - 1) {
                bCut = true;
                break;
            }
            pszDest[i] = pszSource[i];
        }
        // A cut must not leave the first half of a surrogate pair behind.
        if (bCut && i > 0 && pszDest[i - 1] >= 0xD800 && pszDest[i - 1] <= 0xDBFF)
            --i;
    }
    for (; i < nUnits; ++i)
        pszDest[i] = 0;
}

void CProfileInfo::SetProject(const char16_t* psz) { CopyText(m_szProject, PROFILE_PROJECT_UNITS, psz); }
void CProfileInfo::SetTheater(const char16_t* psz) { CopyText(m_szTheater, PROFILE_THEATER_UNITS, psz); }
void CProfileInfo::SetScreen(const char16_t* psz) { CopyText(m_szScreen, PROFILE_SCREEN_UNITS, psz); }
void CProfileInfo::SetComments(const char16_t* psz) { CopyText(m_szComments, PROFILE_COMMENTS_UNITS, psz); }

namespace {
void CopyOut(char16_t* pszBuffer, int cbBuffer, const char16_t* pszField, int nFieldUnits)
{
    const int nUnits = cbBuffer / static_cast<int>(sizeof(char16_t));
    if (pszBuffer == nullptr || nUnits <= 0)
        return;
    int i = 0;
    for (; i < nUnits - 1 && i < nFieldUnits && pszField[i]; ++i)
        pszBuffer[i] = pszField[i];
    pszBuffer[i] = 0;
}
} // namespace

void CProfileInfo::GetProject(char16_t* b, int cb) const { CopyOut(b, cb, m_szProject, PROFILE_PROJECT_UNITS); }
void CProfileInfo::GetTheater(char16_t* b, int cb) const { CopyOut(b, cb, m_szTheater, PROFILE_THEATER_UNITS); }
void CProfileInfo::GetScreen(char16_t* b, int cb) const { CopyOut(b, cb, m_szScreen, PROFILE_SCREEN_UNITS); }
void CProfileInfo::GetComments(char16_t* b, int cb) const { CopyOut(b, cb, m_szComments, PROFILE_COMMENTS_UNITS); }
