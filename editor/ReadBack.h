#pragma once
// CReadBack: reads a connected unit's configuration into the editor form:
// the mode from the system flags, every parameter of every channel, the
// output gains and the profile texts and speaker names of the text memory.
// The replies are applied to the channel set with sending off; the marker
// queued last brings them to the screen.
//
// While it runs the form takes no input (nothing edited can be overwritten
// by a reply already on its way).  It keeps a copy of the configuration as it
// stood when it began: a read-back that the link ends early puts the copy
// back, so the screen (and Save As) never shows some of the unit's values
// beside the program's old ones.  The unit's replies are untrusted: a value
// that is not a finite number is not applied, a value the setters change on
// the way in is shown changed, and the end of the read-back names each one
// and asks whether to send the values shown.  Until one is sent, the model
// keeps each such field marked as differing from the unit (CUnitMismatch).

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ConfigImage.h"

class CConfigurationSet;
class CTextMemorySync;
class IEditorView;
struct utRXQueue;

class CReadBack {
public:
    CReadBack(CConfigurationSet& config, IEditorView& view, CTextMemorySync& textMemory)
        : m_config(config), m_view(view), m_textMemory(textMemory)
    {
    }
    CReadBack(const CReadBack&) = delete;
    CReadBack& operator=(const CReadBack&) = delete;

    // The read-back is about to start (Connect opened the link): the form is
    // held and the configuration kept.  Nothing happens while one runs.
    void Hold();
    // WM_READ_SETTINGS: the mode from the system flags, then the text
    // directory and every channel are queued (the form held first if it is not).
    void Start();
    // After a mode change while connected: every channel is read again and the
    // configuration as it stood before the re-read is kept for a failure.
    void Reread();
    bool IsActive() const { return m_bActive; }

    // Replies (records of the notification pipe).
    void OnValue(const utRXQueue& record);
    void OnOutput(const utRXQueue& record);
    void OnMemoryWord(std::uint32_t dwAddress, std::uint32_t dwValue);
    // The end-of-read marker: the channel on show is reloaded from the set and
    // the form is given back.  True when a read-back ended here.
    bool OnMarker();
    // After the marker, once the screen shows the unit: a question naming the
    // values of the read-back that were not taken (none: nothing is shown).
    // Yes (the default) sends exactly those parameters with the values
    // shown.  True when fields are left differing from the unit (No).
    bool ReportRejected();
    // The link was closed or lost.  A read-back that was running ends with the
    // kept configuration put back; true when that happened.
    bool OnLinkClosed();

    // What a rejected value is called in the report: "<channel>: <field label> (<where>)".
    static std::wstring DescribeValue(int nChannel, EChannelField eField, const wchar_t* pszWhere);

private:
    void ReadAllChannels();
    void QueueMarker();
    void QueueTextReads(int nSection);
    void Release();
    // Applies one value of the unit to a record with sending off, or names it.
    void Take(CChannelConfig& cfg, EChannelField eField, std::uint32_t dwBits, const wchar_t* pszWhere);
    // The band gain the program held before the read-back whose output (at
    // fltLevel) lies in the tenth of a dB that an output reply reports, of
    // the band the reply is for or of the one its output carries in the
    // other mode: that gain is what the unit plays.  None when no held
    // gain fits, and the reply's value stands.
    std::optional<float> HeldGain(int nChannel, EBand band, std::uint32_t dwAddress, float fltLevel,
                                  float fltReply) const;
    void Reject(int nChannel, EChannelField eField, const wchar_t* pszWhere, std::uint32_t dwUnitBits);
    void SendShownWhereTheUnitDiffers();

    CConfigurationSet& m_config;
    IEditorView& m_view;
    CTextMemorySync& m_textMemory;
    bool m_bActive = false;
    HWND m_hWndFocusBefore = nullptr;
    int m_nTextQueuedThrough = 0; // text sections up to this one have their reads queued
    CConfigImage m_kept; // the configuration as it stood when the read-back began
    std::vector<std::wstring> m_rejected; // values of this read-back that were not taken
};
