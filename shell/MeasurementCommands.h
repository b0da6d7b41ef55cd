#pragma once
// CMeasurementCommands: the frame's side of the measurements.  It keeps the
// measurement document of the open configuration (CMeasurementOverlay, the
// plot's overlay source), opens the Measurements dialog, and keeps the
// document in its sidecar beside the configuration file (same name,
// extension .qvm): Save writes it with the configuration's safe
// replacement, Open reads it when there is one.  A sidecar that cannot be
// read or is refused never keeps the configuration from opening: a message
// names the file and what was refused, and the configuration opens without
// measurements.  The configuration file and the unit are never touched here.

#include <windows.h>

#include <string>

#include "editor/measurements/MeasurementOverlay.h"

class CCtlQVRXOPlot;
class CDlgCrossover;

class CMeasurementCommands {
public:
    // The sidecar's path beside a configuration's path.
    static std::wstring SidecarPath(const std::wstring& configPath);

    // Makes the plot draw this document's curves (nullptr: none).
    void Attach(CCtlQVRXOPlot* pPlot);

    // View > Measurements...: the dialog, modal, for the channel on show.
    void ShowDialog(HWND hOwner, CDlgCrossover& form);

    // After the configuration was saved to pszConfigPath: writes the sidecar
    // beside it (also an empty one where a sidecar is already there, so
    // that removed measurements do not come back on the next Open).  A
    // failure is reported; the configuration stays saved.
    bool SaveBeside(HWND hOwner, const wchar_t* pszConfigPath);
    // After the configuration was opened from pszConfigPath: the document
    // becomes the sidecar's, or empty when there is none or it is refused.
    bool OpenBeside(HWND hOwner, const wchar_t* pszConfigPath);

    CMeasurementOverlay& Overlay() { return m_overlay; }

private:
    void Changed();

    CMeasurementOverlay m_overlay;
    CCtlQVRXOPlot* m_pPlot = nullptr;
};
