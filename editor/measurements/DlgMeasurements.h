#pragma once
// CDlgMeasurements: "Measurements" (dialog 390, View > Measurements...).
// For the channel chosen at its top: the room measurement with the
// configuration it was measured with (the channel's at the moment of
// attaching, or a configuration file picked), and a driver measurement per
// band; for every channel: the phase (measured or minimum), the target and
// its level, the tolerance mask and the smoothing; and the chosen channel's
// third-octave deviation from the target, which can be saved as CSV.
//
// Every change goes into the measurement document at once and the owner's
// onChanged lets the plot follow; Close only closes.  Files are read whole
// before anything of them is taken: a refused file changes nothing and a
// message says why.

#include <functional>
#include <initializer_list>
#include <string>

#include "editor/measurements/MeasurementOverlay.h"
#include "files/SafeFile.h"
#include "framework/DialogImpl.h"
#include "measure/RoomCurves.h"
#include "resources/resource.h"

class CDlgMeasurements : public CDialogImpl<CDlgMeasurements> {
public:
    enum { IDD = IDD_MEASUREMENTS };

    struct SContext {
        CMeasurementOverlay* pOverlay = nullptr;
        // The channel's configuration as it is now (the working copy for
        // the channel on show).
        std::function<CChannelConfig(int nChannel)> configOf;
        // The document changed: the plot asks its overlay again.
        std::function<void()> onChanged;
        // The program's message texts: string nId with its %ls fields
        // filled in, and the message of a failed safe save.
        std::function<std::wstring(UINT nId, std::initializer_list<std::wstring> args)> format;
        std::function<std::wstring(UINT nId, const wchar_t* pszPath, const CSafeFile::SResult& r)> saveFailure;
        std::function<std::wstring(DWORD dwError)> systemReason;
        int nChannel = 0; // the channel chosen at the start
    };

    explicit CDlgMeasurements(SContext context);

    BEGIN_MSG_MAP(CDlgMeasurements)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        COMMAND_HANDLER(IDC_MEAS_CHANNEL, CBN_SELCHANGE, OnChannel)
        COMMAND_ID_HANDLER(IDC_MEAS_ROOM_LOAD, OnRoomLoad)
        COMMAND_ID_HANDLER(IDC_MEAS_ROOM_REMOVE, OnRoomRemove)
        COMMAND_ID_HANDLER(IDC_MEAS_AS_MEASURED_PICK, OnAsMeasuredPick)
        COMMAND_RANGE_HANDLER(IDC_MEAS_DRIVER_LOAD_0, IDC_MEAS_DRIVER_LOAD_2, OnDriverLoad)
        COMMAND_RANGE_HANDLER(IDC_MEAS_DRIVER_REMOVE_0, IDC_MEAS_DRIVER_REMOVE_2, OnDriverRemove)
        COMMAND_RANGE_HANDLER(IDC_MEAS_PHASE_MEASURED, IDC_MEAS_PHASE_MINIMUM, OnPhase)
        COMMAND_HANDLER(IDC_MEAS_TARGET, CBN_SELCHANGE, OnView)
        COMMAND_HANDLER(IDC_MEAS_SMOOTHING, CBN_SELCHANGE, OnView)
        COMMAND_ID_HANDLER(IDC_MEAS_LEVEL_TYPED, OnView)
        COMMAND_HANDLER(IDC_MEAS_LEVEL, EN_CHANGE, OnView)
        COMMAND_ID_HANDLER(IDC_MEAS_MASK_LOAD, OnMaskLoad)
        COMMAND_ID_HANDLER(IDC_MEAS_MASK_REMOVE, OnMaskRemove)
        COMMAND_ID_HANDLER(IDC_MEAS_EXPORT, OnExport)
        COMMAND_ID_HANDLER(IDCANCEL, OnClose)
    END_MSG_MAP()

    // The chosen channel's deviation rows as the list shows them.
    const std::vector<CDeviationTable::SRow>& Rows() const { return m_rows; }

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnChannel(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRoomLoad(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnRoomRemove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnAsMeasuredPick(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDriverLoad(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDriverRemove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPhase(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnView(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMaskLoad(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMaskRemove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnExport(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);

    // Typed helpers over the controls.
    CSidecar& Doc() { return m_ctx.pOverlay->Document(); }
    SSidecarChannel& Channel() { return Doc().channels[static_cast<std::size_t>(m_nChannel)]; }
    void SetText(int nId, const std::wstring& text);
    std::wstring Text(int nId) const;
    int ComboSel(int nId) const;
    void Enable(int nId, bool bEnable);
    void Message(const std::wstring& text, UINT uType);
    // A measurement file chosen and read; false when cancelled or refused
    // (the message has said why).
    bool LoadMeasurement(SSidecarMeasurement& out);
    bool ChooseFile(bool bOpen, UINT nFilterName, UINT nFilterPattern, const wchar_t* pszExtension,
                    std::wstring& path);
    void ReadView();
    void ShowChannel();
    void ShowReadout();
    void Changed();

    SContext m_ctx;
    int m_nChannel = 0;
    bool m_bFilling = false; // the controls are being set: their notifications are not the user's
    std::vector<CDeviationTable::SRow> m_rows;
};
