#pragma once
// CViewOptions: the View menu's choices for the response plot, the summed
// response and its phase.  They are remembered for the next start under the
// program's settings key (CAppSettings); both are off when nothing, or
// nothing usable, is stored, so the plot then looks as it always did.

#include <windows.h>

class CCtlQVRXOPlot;

class CViewOptions {
public:
    // Value names under HKCU\Software\QVR500 (REG_DWORD, 0 off, else on).
    static constexpr const wchar_t* VALUE_SUMMED_RESPONSE = L"SummedResponse";
    static constexpr const wchar_t* VALUE_PHASE = L"Phase";

    // Reads the remembered choices.
    void Load();
    // Flips the choice of a View command (ID_VIEW_SUMMED_RESPONSE,
    // ID_VIEW_PHASE) and remembers it; false for any other command.
    bool Toggle(UINT nCommand);
    // Shows on a plot what is chosen.
    void ApplyTo(CCtlQVRXOPlot& plot) const;
    // Checks the View items of a menu as chosen.
    void UpdateMenu(HMENU hMenu) const;

    bool IsSumShown() const { return m_bSum; }
    bool IsPhaseShown() const { return m_bPhase; }

private:
    struct SItem {
        UINT nCommand;
        const wchar_t* pszValue;
        bool CViewOptions::*pbChosen;
    };
    static const SItem s_aItems[2];

    bool m_bSum = false;
    bool m_bPhase = false;
};
