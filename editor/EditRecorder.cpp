#include "editor/EditRecorder.h"

#include <cwchar>
#include <string>

#include "editor/ChannelButtons.h"
#include "editor/EditStepNames.h"
#include "editor/EditorView.h"
#include "editor/FieldRules.h"
#include "editor/TabberWnd.h"
#include "editor/TextMemorySync.h"
#include "framework/ExeModule.h"
#include "model/ConfigurationSet.h"
#include "resources/resource.h"

namespace {

// An Edit menu item: "Undo <what>", or "Undo" alone (greyed when there is nothing).
void SetMenuItem(HMENU hMenu, UINT nCommand, int nWhat, UINT nNothing, UINT nStep)
{
    const std::u16string what = CEditStepNames::Text(nWhat);
    std::wstring text;
    if (what.empty()) {
        text = g_Module.LoadString(nNothing);
    } else {
        const std::wstring format = g_Module.LoadString(nStep);
        wchar_t sz[128] = {};
        std::swprintf(sz, 128, format.c_str(), reinterpret_cast<const wchar_t*>(what.c_str()));
        text = sz;
    }
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STRING;
    mii.dwTypeData = text.data();
    ::SetMenuItemInfoW(hMenu, nCommand, FALSE, &mii);
    ::EnableMenuItem(hMenu, nCommand, MF_BYCOMMAND | (nWhat == CEditHistory::NOTHING ? MF_GRAYED : MF_ENABLED));
}

} // namespace

CConfigImage CEditRecorder::Now() { return m_config.Capture(); }

void CEditRecorder::Begin(int nWhat)
{
    if (m_history.OpenWhat() != nWhat)
        m_history.Begin(nWhat, Now());
}

void CEditRecorder::End()
{
    if (m_history.IsOpen())
        m_history.End(Now());
}

void CEditRecorder::End(int nWhat)
{
    if (m_history.OpenWhat() == nWhat)
        End();
}

void CEditRecorder::Clear() { m_history.Clear(); }

void CEditRecorder::Undo() { Walk(true); }
void CEditRecorder::Redo() { Walk(false); }

void CEditRecorder::Walk(bool bUndo)
{
    // While the unit's settings are read back the form takes no input.
    if (m_view.IsReadingBack()) {
        ::MessageBeep(MB_OK);
        return;
    }
    // A drag or a trackbar held down would go on changing values after the
    // step is taken back: it ends here.
    const HWND hCapture = ::GetCapture();
    if (hCapture && ::IsChild(m_view.FormWindow(), hCapture))
        ::ReleaseCapture();
    // A held value is dropped, never sent; for Undo that is the whole step
    // (the field shows its applied value again, as for a red field below).
    if (m_view.DropHeldValue() && bUndo)
        return;
    if (bUndo) {
        if (const HWND hField = UnappliedField()) {
            const SFieldRule* pRule = CFieldRules::Find(::GetDlgCtrlID(hField));
            const std::u16string text = CFieldRules::Format(*pRule, CFieldRules::GetValue(m_config.Shown(), *pRule));
            ::SetWindowTextW(hField, reinterpret_cast<const wchar_t*>(text.c_str()));
            ::SendMessageW(hField, EM_SETSEL, 0, -1);
            return;
        }
    }
    const CConfigImage now = Now();
    const CEditHistory::SStep* pStep = bUndo ? m_history.Undo(now) : m_history.Redo(now);
    if (pStep)
        ApplyStep(*pStep, bUndo);
}

void CEditRecorder::ApplyStep(const CEditHistory::SStep& step, bool bUndo)
{
    // The step's channel is shown: the shown one if the step changes it,
    // else the first it changes in the order of the channel buttons (a
    // profile-only step leaves the channel alone).
    if (!step.Touches(m_config.ShownChannel())) {
        for (int nButton = IDC_CH_LEFT; nButton <= IDC_CH_SUBWOOFER; ++nButton) {
            const int nChannel = CChannelButtons::ChannelOfButton(nButton);
            if (step.Touches(nChannel)) {
                m_view.ShowChannel(nChannel);
                break;
            }
        }
    }
    CChannelConfig* ap[CHANNEL_COUNT];
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        ap[c] = &m_config.Current(c);
    if (CEditHistory::Apply(step, bUndo, ap, m_config.Profile())) {
        // The unit's text memory is written from the set's names: the step
        // may have changed the shown channel's, so its values go in first.
        m_config.StoreShown();
        m_textMemory.Write();
    }
    m_view.RefreshAll();
}

HWND CEditRecorder::UnappliedField()
{
    const HWND hFocus = ::GetFocus();
    if (!hFocus || !::IsChild(m_view.FormWindow(), hFocus))
        return nullptr;
    const SFieldRule* pRule = CFieldRules::Find(::GetDlgCtrlID(hFocus));
    if (!pRule)
        return nullptr;
    if (m_view.HoldsValue())
        return hFocus; // only the focused field can hold a value
    const std::u16string text = CTabberWnd::FieldText(hFocus);
    const float fltApplied = CFieldRules::GetValue(m_config.Shown(), *pRule);
    // A valid text is applied as typed; one whose number differs from the
    // applied value is red, or waits to be applied.  A field that shows its
    // applied value already (one the mode made red) has nothing to put back.
    if (CFieldRules::ParseText(text) == fltApplied || text == CFieldRules::Format(*pRule, fltApplied))
        return nullptr;
    return hFocus;
}

void CEditRecorder::UpdateMenu(HMENU hMenu)
{
    const CConfigImage now = Now();
    int nUndo = m_history.UndoWhat(now);
    if (const HWND hField = UnappliedField())
        nUndo = CEditStepNames::OfControl(::GetDlgCtrlID(hField));
    SetMenuItem(hMenu, ID_EDIT_UNDO, nUndo, IDS_UNDO_NOTHING, IDS_UNDO_STEP);
    SetMenuItem(hMenu, ID_EDIT_REDO, m_history.RedoWhat(now), IDS_REDO_NOTHING, IDS_REDO_STEP);
}
