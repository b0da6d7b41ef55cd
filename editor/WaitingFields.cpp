#include "editor/WaitingFields.h"

#include "editor/TabberWnd.h"
#include "framework/AppMessages.h"
#include "resources/resource.h"
#include "speakerlib/TextFormat.h"

CWaitingFields::CWaitingFields() : m_hbrWaiting(::CreateSolidBrush(RGB_WAITING_BACK)) {}

bool CWaitingFields::MayApply(HWND hForm, CTabberWnd& field, const SFieldRule& rule, std::u16string_view text)
{
    if (!CFieldRules::HasNumber(text)) {
        // Applied as the 0 it stands for once the field is left.
        Show(hForm, field, true, CTextFormat::Format(IDS_FIELD_WAITS_FOR_NUMBER, {}));
        return false;
    }
    const float fltHeld = field.Held();
    switch (CFieldRules::HarmfulJump(rule, fltHeld, CFieldRules::ParseText(text))) {
    case CFieldRules::EJump::None:
        Clear(hForm, field);
        return true;
    case CFieldRules::EJump::GainRise:
        Show(hForm, field, true, CTextFormat::Format(IDS_FIELD_WAITS_GAIN, {CFieldRules::Format(rule, fltHeld)}));
        return false;
    case CFieldRules::EJump::OctaveFall:
        Show(hForm, field, true, CTextFormat::Format(IDS_FIELD_WAITS_FREQ, {CFieldRules::Format(rule, fltHeld)}));
        return false;
    }
    return false;
}

void CWaitingFields::Clear(HWND hForm, CTabberWnd& field)
{
    if (field.IsWaiting())
        Show(hForm, field, false, std::u16string());
}

HBRUSH CWaitingFields::Colour(HDC hdc, const CTabberWnd& field) const
{
    if (!field.IsWaiting())
        return nullptr;
    ::SetTextColor(hdc, RGB_WAITING_TEXT);
    ::SetBkColor(hdc, RGB_WAITING_BACK);
    return m_hbrWaiting.Get();
}

void CWaitingFields::Show(HWND hForm, CTabberWnd& field, bool bWaiting, const std::u16string& hint)
{
    const bool bChanged = field.IsWaiting() != bWaiting;
    field.SetWaiting(bWaiting);
    if (bChanged && field.m_hWnd)
        ::InvalidateRect(field.m_hWnd, nullptr, TRUE);
    if (HWND hFrame = ::GetParent(hForm))
        ::SendMessageW(hFrame, WM_SET_STATUS_HINT, 0,
                       bWaiting ? reinterpret_cast<LPARAM>(reinterpret_cast<const wchar_t*>(hint.c_str())) : 0);
}
