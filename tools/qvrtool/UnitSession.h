#pragma once
// CUnitSession: one unit reached through the program's own device layer:
// the command queue (g_Comm) sends, the notification pipe (g_Advise)
// delivers the results to a message-only window of this session, and the
// console thread handles them while it waits.  The read-back is the one
// Connect runs (system flags, the text directory, every channel, the text
// sections, the end-of-read marker); a push is what Open does while
// connected (the file's values through the setters, so only what differs
// is sent, then the text memory unless the unit holds those very texts).
//
// Nothing here waits without bound: every wait ends on the awaited record,
// on the queue's failure record (a request failed three times), or when the
// unit has been quiet for longer than the queue can take to give up.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/FirmwareDownload.h"
#include "device/RecordWindow.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ProfileInfo.h"
#include "model/TextMemoryReader.h"

class CUnitSession {
public:
    enum class EResult {
        Ok,
        NoAnswer, // the unit never answered the first request of a read-back
        LinkLost, // the queue gave up on a request: the unit stopped answering
        Quiet,    // nothing arrived for far longer than any request may take
    };

    // What a read-back found.
    struct SUnit {
        std::vector<CChannelConfig> channels; // six records
        CProfileInfo profile;
        std::uint32_t dwFlags = 0;
        int nMode = MODE_TRIAMP;
        bool bNoLeftRightCenter = false;
        CTextMemoryReader::EDirectory eDirectory = CTextMemoryReader::EDirectory::None;
        SUnit();
    };

    // Progress: records answered so far and the number expected (0 when not known).
    using Progress = std::function<void(std::uint32_t nDone, std::uint32_t nTotal)>;

    CUnitSession();
    ~CUnitSession(); // closes the link

    // Opens the link to device nDevice; false with the reason.
    bool Open(int nDevice, std::string& error);

    // The read-back of Connect into unit (whose records and profile hold the
    // values to keep where the unit says nothing, e.g. the factory defaults).
    EResult Read(SUnit& unit, const Progress& progress);

    // Applies a file's image over the unit's values as Open does while
    // connected, then the text memory with pProfile (or the unit's profile)
    // and the names.  Waits until everything sent has been answered.
    // nSent: the writes queued.
    EResult Push(SUnit& unit, const std::vector<std::uint8_t>& fileImage, const CProfileInfo* pProfile,
                 std::uint32_t& nSent, const Progress& progress);

    // Makes the unit keep its live settings over a power cycle.
    EResult Store();

    // Runs the download dialog's own download of the words (erase, every
    // word written and verified by its reply) and waits for its end; the
    // download then tells how it ended.  Ok also when it failed on a word.
    EResult Firmware(CFirmwareDownload& download, const std::vector<std::uint32_t>& words,
                     const Progress& progress);

private:
    void OnRecord(UINT uMsg, const utRXQueue& record);
    EResult WaitFor(const std::function<bool()>& bDone);
    void ApplyTexts(const CTextMemoryReader::SStep& step);

    std::unique_ptr<CRecordWindow> m_pWindow;
    bool m_bOpen = false;
    bool m_bFailed = false;

    // The read-back in progress.
    SUnit* m_pUnit = nullptr;
    CTextMemoryReader m_textReader;
    bool m_bSectionTableSet = false;
    bool m_bFlagsAnswered = false;
    bool m_bMarker = false;
    bool m_bStored = false;
    std::uint32_t m_nAnswered = 0;
    std::uint32_t m_nExpected = 0;
    Progress m_progress;

    // A firmware download in progress.
    CFirmwareDownload* m_pDownload = nullptr;
};
