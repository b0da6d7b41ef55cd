#include "editor/WaitingFields.h"

#include "editor/TabberWnd.h"
#include "framework/AppMessages.h"
#include "resources/resource.h"
#include "speakerlib/TextFormat.h"

CWaitingFields::CWaitingFields() : m_hbrWaiting(::CreateSolidBrush(RGB_WAITING_BACK)) {}

bool CWaitingFields::MayApply(HWND hForm, CTabberWnd& field, const SFieldRule& rule, std::u16string_view text,
                              float fltApplied)
{
    ForgetDropped(hForm); // the user types again
    if (!CFieldRules::HasNumber(text)) {
        // Applied as the 0 it stands for once the user confirms it.
        Show(hForm, field, true, CTextFormat::Format(IDS_FIELD_WAITS_FOR_NUMBER, {}));
        return false;
    }
    switch (CFieldRules::HarmfulJump(rule, fltApplied, CFieldRules::ParseText(text))) {
    case CFieldRules::EJump::None:
        Clear(hForm, field);
        return true;
    case CFieldRules::EJump::GainRise:
        Show(hForm, field, true, CTextFormat::Format(IDS_FIELD_WAITS_GAIN, {CFieldRules::Format(rule, fltApplied)}));
        return false;
    case CFieldRules::EJump::OctaveFall:
        Show(hForm, field, true, CTextFormat::Format(IDS_FIELD_WAITS_FREQ, {CFieldRules::Format(rule, fltApplied)}));
        return false;
    }
    return false;
}

void CWaitingFields::Clear(HWND hForm, CTabberWnd& field)
{
    if (field.IsWaiting())
        Show(hForm, field, false, std::u16string());
}

void CWaitingFields::ShowDropped(HWND hForm, const CTabberWnd& field, const std::u16string& appliedText)
{
    m_pDropped = &field;
    const std::u16string text = CTextFormat::Format(IDS_FIELD_NOT_APPLIED, {appliedText});
    SendHint(hForm, &text);
}

void CWaitingFields::OnFocus(HWND hForm, const CTabberWnd& field)
{
    if (m_pDropped != &field)
        ForgetDropped(hForm);
}

void CWaitingFields::ForgetDropped(HWND hForm)
{
    if (!m_pDropped)
        return;
    m_pDropped = nullptr;
    SendHint(hForm, nullptr);
}

void CWaitingFields::SendHint(HWND hForm, const std::u16string* pHint)
{
    if (HWND hFrame = ::GetParent(hForm))
        ::SendMessageW(hFrame, WM_SET_STATUS_HINT, 0,
                       pHint ? reinterpret_cast<LPARAM>(reinterpret_cast<const wchar_t*>(pHint->c_str())) : 0);
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
    if (bWaiting)
        m_pDropped = nullptr; // the new hint takes the place of the word about a dropped value
    if (bWaiting || !m_pDropped)
        SendHint(hForm, bWaiting ? &hint : nullptr);
}
