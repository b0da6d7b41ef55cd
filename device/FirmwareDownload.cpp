#include "device/FirmwareDownload.h"

#include "device/Comm.h"
#include "device/firmware/FirmwareImage.h"
#include "framework/AppMessages.h"
#include "framework/SentMessageWait.h"
#include "model/ParameterMap.h"

CFirmwareDownload::CFirmwareDownload(CComm& comm)
    : m_Comm(comm), m_hStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      m_hProgress(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
}

CFirmwareDownload::~CFirmwareDownload() { Stop(); }

bool CFirmwareDownload::Start(const std::vector<std::uint32_t>& words, HWND hNotify)
{
    Stop();
    m_Words = words;
    m_hNotify = hNotify;
    m_nWritten = 0;
    m_dwBadAddress = m_dwUnitWord = m_dwFileWord = 0;
    m_nAnswered = 0;
    m_ePhase = EPhase::Erasing;
    m_eFailure = EFailure::None;
    if (!m_hStop || !m_hProgress || m_Words.empty() || m_Words.size() > CFirmwareImage::MAX_WORDS) {
        End(EPhase::Failed, EFailure::NotComplete);
        return false;
    }
    ::ResetEvent(m_hStop);
    ::ResetEvent(m_hProgress);
    m_hThread.Reset(::CreateThread(nullptr, 0, &CFirmwareDownload::Thread, this, 0, nullptr));
    if (!m_hThread) {
        End(EPhase::Failed, EFailure::NotComplete);
        return false;
    }
    return true;
}

// --- replies (the front end's thread) ----------------------------------------

void CFirmwareDownload::Answered()
{
    if (++m_nAnswered % REFILL_BATCH == 0)
        ::SetEvent(m_hProgress);
}

CFirmwareDownload::EEvent CFirmwareDownload::OnPacket(const utRXQueue& record)
{
    const std::uint32_t dwUWord = RXGetWord(record.bUWord);
    const std::uint32_t dwLWord = RXGetWord(record.bLWord);
    switch (m_ePhase) {
    case EPhase::Erasing:
        // The unit echoes the erase: the program area and its length.
        if (record.bCommand != CMD_ERASE || dwUWord != PROGRAM_AREA_START || dwLWord != PROGRAM_AREA_BYTES)
            return EEvent::None;
        Answered();
        m_ePhase = EPhase::Writing;
        return EEvent::Erased;
    case EPhase::Writing: {
        // The queue sends one request at a time in the order queued, and a
        // reply is only taken for the request that carries its address: the
        // next write of the download answers with the next address.
        const std::uint32_t dwAddress = CFirmwareImage::AddressOf(m_nWritten);
        if (record.bCommand != CMD_WRITE_WORD || dwUWord != dwAddress)
            return EEvent::None;
        Answered();
        if (dwLWord != m_Words[m_nWritten]) {
            m_dwBadAddress = dwAddress;
            m_dwUnitWord = dwLWord;
            m_dwFileWord = m_Words[m_nWritten];
            return End(EPhase::Failed, EFailure::Verify);
        }
        if (++m_nWritten == m_Words.size())
            return End(EPhase::Complete, EFailure::None);
        return EEvent::WordWritten;
    }
    default:
        return EEvent::None;
    }
}

CFirmwareDownload::EEvent CFirmwareDownload::OnLinkLost()
{
    return IsRunning() ? End(EPhase::Failed, EFailure::LinkLost) : EEvent::None;
}

CFirmwareDownload::EEvent CFirmwareDownload::OnStopped(WPARAM wParam)
{
    // A stop that the front end asked for is not news; one that comes after
    // the end (the last reply overtook the message) is stale.
    if (!IsRunning())
        return EEvent::None;
    return End(EPhase::Failed, wParam != 0 ? EFailure::LinkLost : EFailure::NotComplete);
}

CFirmwareDownload::EEvent CFirmwareDownload::End(EPhase ePhase, EFailure eFailure)
{
    Stop(); // after the last write it has ended already
    m_ePhase = ePhase;
    m_eFailure = eFailure;
    return ePhase == EPhase::Complete ? EEvent::Complete : EEvent::Failed;
}

void CFirmwareDownload::Stop()
{
    StopThread();
    // The writes still waiting in the queue are withdrawn: after a verify
    // failure (or any other stop) none of them may reach the flash, and a
    // Close would otherwise send them all before it closes the link.  Once
    // the thread has ended nothing of the download is queued any more.
    // After a completed download nothing of it is left to drop.
    m_Comm.DropWaiting(this);
}

void CFirmwareDownload::StopThread()
{
    if (!m_hThread)
        return;
    ::SetEvent(m_hStop);
    // The thread may be waiting for room in the queue, whose worker may be
    // waiting for the notification pipe, whose reader may be sending this
    // thread a message: sent messages are handled while waiting.
    const HANDLE hThread = m_hThread.Get();
    WaitHandlingSentMessages(1, &hThread, INFINITE);
    m_hThread.Reset();
}

// --- the thread ----------------------------------------------------------------

DWORD WINAPI CFirmwareDownload::Thread(LPVOID pParam)
{
    static_cast<CFirmwareDownload*>(pParam)->Run();
    return 0;
}

bool CFirmwareDownload::ShouldStop() const
{
    return ::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0 || !m_Comm.IsOpen();
}

bool CFirmwareDownload::WaitForRoom(std::uint32_t nQueued)
{
    for (;;) {
        if (ShouldStop())
            return false;
        if (nQueued - m_nAnswered.load() < QUEUE_AHEAD)
            return true;
        const HANDLE ahEvents[2] = {m_hStop.Get(), m_hProgress.Get()};
        ::WaitForMultipleObjects(2, ahEvents, FALSE, STEP_MILLISECONDS);
    }
}

void CFirmwareDownload::Run()
{
    // The erase, then every word.  A request the queue refuses means the
    // link has failed: the download stops there (the queue would accept
    // everything after the link is closed without sending it).
    const auto queue = [&](BYTE bCommand, DWORD dwUWord, DWORD dwLWord, std::uint32_t& nQueued) {
        if (!WaitForRoom(nQueued) || !m_Comm.QueueCommand(bCommand, 0, dwUWord, dwLWord, this) || ShouldStop())
            return false;
        ++nQueued;
        return true;
    };
    std::uint32_t nQueued = 0;
    bool bOk = queue(CMD_ERASE, PROGRAM_AREA_START, PROGRAM_AREA_BYTES, nQueued);
    for (std::size_t i = 0; bOk && i < m_Words.size(); ++i)
        bOk = queue(CMD_WRITE_WORD, CFirmwareImage::AddressOf(i), m_Words[i], nQueued);
    if (!bOk) {
        const bool bAsked = ::WaitForSingleObject(m_hStop, 0) == WAIT_OBJECT_0;
        if (!bAsked)
            ::PostMessageW(m_hNotify, WM_DOWNLOAD_STOPPED, 1, 0);
    }
}
