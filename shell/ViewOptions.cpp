#include "shell/ViewOptions.h"

#include "framework/AppSettings.h"
#include "model/CtlQVRXOPlot.h"
#include "resources/resource.h"

const CViewOptions::SItem CViewOptions::s_aItems[5] = {
    {ID_VIEW_SUMMED_RESPONSE, VALUE_SUMMED_RESPONSE, &CViewOptions::m_bSum, false},
    {ID_VIEW_PHASE, VALUE_PHASE, &CViewOptions::m_bPhase, false},
    {ID_VIEW_MEASURED, VALUE_MEASURED, &CViewOptions::m_bMeasured, true},
    {ID_VIEW_PREDICTED, VALUE_PREDICTED, &CViewOptions::m_bPredicted, true},
    {ID_VIEW_TARGET, VALUE_TARGET, &CViewOptions::m_bTarget, true},
};

void CViewOptions::Load()
{
    for (const SItem& item : s_aItems) {
        const auto value = CAppSettings::ReadDword(item.pszValue);
        this->*item.pbChosen = value.has_value() ? *value != 0 : item.bDefault;
    }
}

bool CViewOptions::Toggle(UINT nCommand)
{
    for (const SItem& item : s_aItems) {
        if (item.nCommand != nCommand)
            continue;
        bool& bChosen = this->*item.pbChosen;
        bChosen = !bChosen;
        // Not being able to remember a view is no reason to refuse it: the
        // choice holds for this run either way.
        CAppSettings::WriteDword(item.pszValue, bChosen ? 1 : 0);
        return true;
    }
    return false;
}

void CViewOptions::ApplyTo(CCtlQVRXOPlot& plot) const
{
    plot.ShowSum(m_bSum);
    plot.ShowPhase(m_bPhase);
    plot.ShowOverlayCurve(EOverlayCurve::Measured, m_bMeasured);
    plot.ShowOverlayCurve(EOverlayCurve::Predicted, m_bPredicted);
    plot.ShowOverlayCurve(EOverlayCurve::Target, m_bTarget);
}

void CViewOptions::UpdateMenu(HMENU hMenu) const
{
    for (const SItem& item : s_aItems)
        ::CheckMenuItem(hMenu, item.nCommand, MF_BYCOMMAND | (this->*item.pbChosen ? MF_CHECKED : MF_UNCHECKED));
}
