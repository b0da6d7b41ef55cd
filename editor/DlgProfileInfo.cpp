#include "editor/DlgProfileInfo.h"

namespace {

// One edit control of the dialog and the profile field behind it.
struct SProfileField {
    int nId;
    int nUnits; // with the terminator
    const char16_t* (CProfileInfo::*pfnGet)() const;
    void (CProfileInfo::*pfnSet)(const char16_t*);
};
constexpr SProfileField s_aFields[] = {
    {IDC_PROFILE_PROJECT, PROFILE_PROJECT_UNITS, &CProfileInfo::Project, &CProfileInfo::SetProject},
    {IDC_PROFILE_THEATER, PROFILE_THEATER_UNITS, &CProfileInfo::Theater, &CProfileInfo::SetTheater},
    {IDC_PROFILE_SCREEN, PROFILE_SCREEN_UNITS, &CProfileInfo::Screen, &CProfileInfo::SetScreen},
    {IDC_PROFILE_COMMENTS, PROFILE_COMMENTS_UNITS, &CProfileInfo::Comments, &CProfileInfo::SetComments},
};

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

} // namespace

CDlgProfileInfo::CDlgProfileInfo(const CProfileInfo& profile) : m_profile(profile) {}

LRESULT CDlgProfileInfo::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&)
{
    for (const SProfileField& f : s_aFields) {
        // Typing stops where the field ends, so what is seen is what is kept.
        ::SendDlgItemMessageW(m_hWnd, f.nId, EM_SETLIMITTEXT, static_cast<WPARAM>(f.nUnits - 1), 0);
        ::SetDlgItemTextW(m_hWnd, f.nId, reinterpret_cast<const wchar_t*>((m_profile.*f.pfnGet)()));
    }
    return TRUE;
}

LRESULT CDlgProfileInfo::OnOK(UINT, WPARAM, LPARAM, BOOL&)
{
    for (const SProfileField& f : s_aFields) {
        wchar_t szText[PROFILE_COMMENTS_UNITS] = {};
        ::GetDlgItemTextW(m_hWnd, f.nId, szText, f.nUnits);
        (m_profile.*f.pfnSet)(reinterpret_cast<const char16_t*>(szText));
    }
    EndDialog(IDOK);
    return 0;
}

LRESULT CDlgProfileInfo::OnCancel(UINT, WPARAM, LPARAM, BOOL&)
{
    EndDialog(IDCANCEL);
    return 0;
}
