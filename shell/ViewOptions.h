#pragma once
// CViewOptions: the View menu's choices for the response plot: the summed
// response and its phase, and the measured, predicted and target curves.
// They are remembered for the next start under the program's settings key
// (CAppSettings).  When nothing, or nothing usable, is stored the sum and the
// phase are off, so the plot then looks as it always did; the measurement
// curves are on, since they draw nothing until a measurement is attached and
// an installer who attaches one means to see it.

#include <windows.h>

class CCtlQVRXOPlot;

class CViewOptions {
public:
    // Value names under HKCU\Software\QVR500 (REG_DWORD, 0 off, else on).
    static constexpr const wchar_t* VALUE_SUMMED_RESPONSE = L"SummedResponse";
    static constexpr const wchar_t* VALUE_PHASE = L"Phase";
    static constexpr const wchar_t* VALUE_MEASURED = L"MeasuredCurve";
    static constexpr const wchar_t* VALUE_PREDICTED = L"PredictedCurve";
    static constexpr const wchar_t* VALUE_TARGET = L"TargetCurve";

    // Reads the remembered choices.
    void Load();
    // Flips the choice of a View command (ID_VIEW_SUMMED_RESPONSE,
    // ID_VIEW_PHASE, ID_VIEW_MEASURED, ID_VIEW_PREDICTED, ID_VIEW_TARGET) and
    // remembers it; false for any other command.
    bool Toggle(UINT nCommand);
    // Shows on a plot what is chosen.
    void ApplyTo(CCtlQVRXOPlot& plot) const;
    // Checks the View items of a menu as chosen.
    void UpdateMenu(HMENU hMenu) const;

    bool IsSumShown() const { return m_bSum; }
    bool IsPhaseShown() const { return m_bPhase; }
    bool IsMeasuredShown() const { return m_bMeasured; }
    bool IsPredictedShown() const { return m_bPredicted; }
    bool IsTargetShown() const { return m_bTarget; }

private:
    struct SItem {
        UINT nCommand;
        const wchar_t* pszValue;
        bool CViewOptions::*pbChosen;
        bool bDefault; // when nothing usable is stored
    };
    static const SItem s_aItems[5];

    bool m_bSum = false;
    bool m_bPhase = false;
    bool m_bMeasured = true;
    bool m_bPredicted = true;
    bool m_bTarget = true;
};
