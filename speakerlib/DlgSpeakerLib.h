#pragma once
// The Speaker Library dialog: the installer picks a loudspeaker preset from
// the library file in the program's folder and ticks the screen channels to
// give it to.  The dialog works on its own copy of the channel record; the
// caller copies that copy into the ticked channels after OK.  A preset that
// is missing a crossover value or holds a value the editor would refuse is
// listed but cannot be chosen: the dialog says why and OK stays disabled.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "framework/DialogImpl.h"
#include "model/ChannelConfig.h"
#include "resources/resource.h"
#include "speakerlib/SpeakerLibrary.h"
#include "speakerlib/SpeakerPreset.h"

class CDlgSpeakerLib : public CDialogImpl<CDlgSpeakerLib> {
public:
    enum { IDD = IDD_SPEAKERLIB };

    enum EDatabase { DATABASE_DEFAULT, DATABASE_CUSTOM };
    // Why the list holds nothing from the file (FILE_OK: it was read).
    enum EFileStatus { FILE_OK, FILE_NOT_FOUND, FILE_UNREADABLE, FILE_NOT_UTF16, FILE_TOO_LARGE };

    // Bits of the chosen-channels mask, in the order the caller assigns them.
    static constexpr DWORD CHANNEL_BIT_LEFT = 1;
    static constexpr DWORD CHANNEL_BIT_LEFT_CENTER = 2;
    static constexpr DWORD CHANNEL_BIT_CENTER = 4;
    static constexpr DWORD CHANNEL_BIT_RIGHT_CENTER = 8;
    static constexpr DWORD CHANNEL_BIT_RIGHT = 16;

    // The record of the channel being edited and its band count (2 or 3).
    CDlgSpeakerLib(const CChannelConfig& record, int nBands);
    ~CDlgSpeakerLib() override;

    BEGIN_MSG_MAP(CDlgSpeakerLib)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        COMMAND_HANDLER(IDC_LIB_LIST, CBN_SELENDOK, OnSelEndOk)
        COMMAND_HANDLER(IDC_LIB_LIST, CBN_SELCHANGE, OnSelChange)
        COMMAND_RANGE_HANDLER(IDC_LIB_DEFAULT, IDC_LIB_CUSTOM, OnDatabase)
        COMMAND_ID_HANDLER(IDOK, OnOK)
        COMMAND_ID_HANDLER(IDCANCEL, OnCancel)
    END_MSG_MAP()

    // After OK: the ticked channels, and the preset chosen.  The preset sets
    // only its own keys and its name: each ticked channel keeps its level,
    // its channel delay and its Mute/Invert words (ApplyPreset).
    DWORD GetChannelMask() const { return m_dwChannels; }
    const CSpeakerPreset& GetPreset() const { return m_preset; }
    // The edited channel's record with the preset on show applied (what the dialog previews).
    const CChannelConfig& GetWorkingCopy() const { return m_config; }

    // The channel index of each mask bit, in assignment order.
    struct SChannelBit {
        DWORD dwBit;
        int nChannel;
        int nBox;
    };
    static const SChannelBit* ChannelBits(); // 5 entries: Left, Left Center, Center, Right Center, Right

    // The library file of a database: the program's folder and its name.
    static std::wstring LibraryPath(EDatabase eDatabase);
    // Reads a whole library file (at most the library's size limit).
    static EFileStatus ReadLibraryFile(const std::wstring& path, std::vector<std::uint8_t>& bytes);

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSelEndOk(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSelChange(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDatabase(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnOK(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnCancel(UINT, WPARAM, LPARAM, BOOL&);

    void FillList();
    void ApplySelection();
    void SetNote(const std::u16string& text);

    CChannelConfig m_config;
    int m_nBands;
    DWORD m_dwChannels = 0;
    EDatabase m_eDatabase = DATABASE_DEFAULT;
    HIMAGELIST m_hImages = nullptr;
    CSpeakerLibrary m_library;
    std::vector<std::u16string> m_items; // the listed section names, in list order
    std::u16string m_fileNote;           // what the file gave (empty when presets are listed)
    bool m_bApplied = false;             // a usable preset is applied to m_config
    CSpeakerPreset m_preset;             // the one applied
};
