// The command queue engine: producers queue requests, one worker thread per
// open link sends them through the link library one at a time, waits for the
// reply that the link's receive callback hands over, retries, and writes one
// 24-byte notification record per result into the notification pipe.
#include "device/Comm.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "device/records/NotificationRecord.h"
#include "device/RXQueue.h"
#include "device/link/LinkTimeline.h"
#include "device/link/ReplyMatch.h"
#include "protocol/QVRSCP.h"
#include "device/usbxp/DeviceEnvironment.h"
#include "device/usbxp/SiUSBXp.h"
#include "framework/SentMessageWait.h"
#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"

namespace {
constexpr size_t QUEUE_BOUND = 255;
constexpr int ATTEMPTS_AFTER_FIRST = 2;
constexpr DWORD REPLY_TIMEOUT_MS = 1000;
constexpr DWORD ERASE_TIMEOUT_MS = 20000;
constexpr DWORD RESEND_PAUSE_MS = 50;
constexpr DWORD IDLE_WAIT_MS = 100;
constexpr DWORD POLL_INTERVAL_MS = 500;
constexpr DWORD ROOM_WAIT_MS = 1;
constexpr DWORD CALLBACK_WAIT_MS = 1000;
constexpr DWORD CLOSE_WAIT_MS = 5000;

constexpr wchar_t AUTOMATIC_DEVICE_DESCRIPTION[] = L"USBXpress Device";

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

CComm::CComm()
    : m_hDataRead(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hDataProcessed(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hTermQManagement(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hCommFailure(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hQueued(::CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    // An event that could not be made (the system is out of handles) makes
    // every Open fail, with the message of a failed open; see Open.
    m_Settings.nDevice = FindDevice();
    m_Settings.dwBaudRate = 115200;
    m_Settings.bByteSize = 8;
    m_Settings.bParity = 0;   // no parity
    m_Settings.bStopBits = 0; // one stop bit
    m_Settings.bReserved = 0;
}

// The program may end with the link open.  The notification pipe normally
// stops the worker first (DetachWritePipe); whatever is still running here is
// stopped and waited for before the events, the lock and the queue go away.
CComm::~CComm()
{
    StopWorker();
    m_Queue.clear();
}

// ---------------------------------------------------------------------------
// Producers

bool CComm::QueueRequest(bool bSet, BYTE bChannel, BYTE bParameter, float fltValue)
{
    SEntry entry;
    entry.bKind = bSet ? KIND_SET : KIND_GET;
    entry.bChannel = bChannel;
    entry.bParameter = bParameter;
    entry.fltValue = fltValue;
    return Enqueue(entry);
}

bool CComm::QueueRequest(bool bSet, BYTE bChannel, BYTE bParameter, DWORD dwBits)
{
    float fltValue;
    static_assert(sizeof(fltValue) == sizeof(dwBits), "value field holds 32 bits");
    std::memcpy(&fltValue, &dwBits, sizeof(fltValue));
    return QueueRequest(bSet, bChannel, bParameter, fltValue);
}

bool CComm::QueueCommand(BYTE bCommand, DWORD dwIter, DWORD dwUWord, DWORD dwLWord)
{
    return QueueCommand(bCommand, dwIter, dwUWord, dwLWord, nullptr);
}

bool CComm::QueueCommand(BYTE bCommand, DWORD dwIter, DWORD dwUWord, DWORD dwLWord, const void* pProducer)
{
    SEntry entry;
    entry.bKind = KIND_RAW;
    entry.pProducer = pProducer;
    SCP_GenerateRAW(entry.bPacket, bCommand, dwIter, dwUWord, dwLWord);
    return Enqueue(entry);
}

size_t CComm::DropWaiting(const void* pProducer)
{
    if (!pProducer)
        return 0;
    CLock lock(m_csQueue);
    const size_t nBefore = m_Queue.size();
    size_t nFlagsWrites = 0;
    std::erase_if(m_Queue, [&](const std::unique_ptr<SEntry>& p) {
        if (p->pProducer != pProducer)
            return false;
        nFlagsWrites += IsFlagsWrite(*p) ? 1 : 0;
        return true;
    });
    m_FlagsWrites.WritesDropped(nFlagsWrites);
    return nBefore - m_Queue.size();
}

bool CComm::IsFlagsWrite(const SEntry& entry)
{
    return entry.bKind == KIND_RAW && entry.bPacket[2] == CMD_SYSTEM_FLAGS &&
           (SCP_GetWord(entry.bPacket, 7) & SYSTEM_FLAGS_WRITE) != 0;
}

// Waits while the queue is full.  False when a failure or a termination
// request was seen meanwhile (the failure latch is then set).
bool CComm::WaitForRoom()
{
    {
        CLock lock(m_csQueue);
        if (m_Queue.size() < QUEUE_BOUND)
            return true;
    }
    ++m_nWaitingForRoom;
    struct SUncount {
        std::atomic<int>& n;
        ~SUncount() { --n; }
    } uncount{m_nWaitingForRoom};
    for (;;) {
        {
            CLock lock(m_csQueue);
            if (m_Queue.size() < QUEUE_BOUND)
                return true;
        }
        const HANDLE ahEvents[2] = {m_hCommFailure, m_hTermQManagement};
        const DWORD dwWait = WaitHandlingSentMessages(2, ahEvents, ROOM_WAIT_MS);
        if (dwWait == WAIT_OBJECT_0 || dwWait == WAIT_OBJECT_0 + 1) {
            // Seeing a termination request consumed it (auto-reset): give it
            // back so the worker, which Close is waiting for, still sees it.
            if (dwWait == WAIT_OBJECT_0 + 1)
                ::SetEvent(m_hTermQManagement);
            ::ResetEvent(m_hCommFailure);
            m_bFailureLatch = true;
            return false;
        }
        // A link closed meanwhile takes nothing more: nothing is queued then.
        // (A producer that waits while Close runs sees Close's termination
        // request above and fails like any producer that meets it.)
        if (!IsOpen())
            return true;
    }
}

bool CComm::Enqueue(const SEntry& entry)
{
    // While Close runs, messages sent to this thread are handled, and their
    // handlers may queue: the link counts as closed from Close's start, so
    // nothing is left behind for the next link.
    if (!IsOpen() || m_bClosing)
        return true;
    if (m_bFailureLatch)
        return false;
    if (!WaitForRoom())
        return false;
    if (!IsOpen() || m_bClosing)
        return true;

    CLock lock(m_csQueue);
    if (entry.bKind != KIND_RAW) {
        // A waiting request of the same kind, channel and parameter is
        // updated in place and keeps its place in the queue.
        for (auto& pQueued : m_Queue) {
            // Only within one producer: a request merged into another's
            // would be dropped with it.
            if (pQueued->bKind == entry.bKind && pQueued->bChannel == entry.bChannel &&
                pQueued->bParameter == entry.bParameter && pQueued->pProducer == entry.pProducer) {
                if (entry.bKind == KIND_SET)
                    pQueued->fltValue = entry.fltValue;
                return true;
            }
        }
    }
    // An idle worker starts on it at once instead of at the end of its idle
    // wait.  A worker only idles after it found the queue empty under this
    // lock, so only the first request into an empty queue needs to wake it.
    const bool bWasEmpty = m_Queue.empty();
    m_Queue.push_back(std::make_unique<SEntry>(entry));
    if (IsFlagsWrite(entry))
        m_FlagsWrites.WriteQueued();
    if (bWasEmpty)
        ::SetEvent(m_hQueued);
    return true;
}

bool CComm::QueueReadChannel(int nChannel, int nMode)
{
    // A channel outside 0..5 addresses nothing: it is not a link failure,
    // so the answer is the same as for a queued read.
    for (const CUnitReadPlan::SRead& read : CUnitReadPlan::Channel(nChannel, nMode))
        if (!(read.bRaw ? QueueCommand(CMD_READ_OUTPUT, 0, read.dwAddress, 0)
                        : QueueRequest(false, static_cast<BYTE>(nChannel), read.bParameter, 0.0f)))
            return false;
    return true;
}

void CComm::SetSectionTable(const DWORD adwStart[10], const DWORD adwLength[10])
{
    std::uint32_t adwS[CUnitReadPlan::SECTION_COUNT] = {}, adwL[CUnitReadPlan::SECTION_COUNT] = {};
    std::copy(adwStart, adwStart + CUnitReadPlan::SECTION_COUNT, adwS);
    std::copy(adwLength, adwLength + CUnitReadPlan::SECTION_COUNT, adwL);
    CLock lock(m_csQueue);
    m_ReadPlan.SetSectionTable(adwS, adwL);
}

void CComm::SetSectionTableFromDirectory(const DWORD adwDirectory[21])
{
    std::uint32_t adwWords[21] = {};
    std::copy(adwDirectory, adwDirectory + 21, adwWords);
    CLock lock(m_csQueue);
    m_ReadPlan.SetSectionTableFromDirectory(adwWords);
}

bool CComm::QueueReadMemory(int& nSection)
{
    std::vector<std::uint32_t> words;
    {
        CLock lock(m_csQueue);
        words = m_ReadPlan.MemoryWords(nSection);
    }
    for (const std::uint32_t dwAddress : words)
        if (!QueueCommand(CMD_READ_WORD, 0, dwAddress, 0))
            return false;
    return true;
}

size_t CComm::GetQueueLength()
{
    CLock lock(m_csQueue);
    return m_Queue.size();
}

// ---------------------------------------------------------------------------
// State

void CComm::SetPolling(bool bOn) { m_bPolling = bOn; }
bool CComm::IsPolling() const { return m_bPolling; }
bool CComm::IsOpen() const { return m_hComm.load() != 0; }
int CComm::GetDeviceNumber() const { return m_Settings.nDevice; }
void CComm::SetDeviceNumber(int nDevice) { m_Settings.nDevice = nDevice; }

void CComm::SetWritePipe(HANDLE hWritePipe)
{
    assert(hWritePipe != INVALID_HANDLE_VALUE);
    m_hWritePipe = hWritePipe;
}

void CComm::DetachWritePipe()
{
    // At program end the changes still waiting are given the close time to
    // reach the unit (the worker ends at once when asked while idle, and
    // whatever is still queued then is lost with the process).  Messages sent
    // to this thread are handled meanwhile, so records keep flowing.
    if (IsOpen() && m_hQManagementThread) {
        const DWORD dwStart = ::GetTickCount();
        while (GetQueueLength() != 0 && ::GetTickCount() - dwStart < CLOSE_WAIT_MS)
            WaitHandlingSentMessages(0, nullptr, 10);
    }
    StopWorker();
    m_hWritePipe = INVALID_HANDLE_VALUE;
}

// ---------------------------------------------------------------------------
// Device lookup

namespace {
// One product string of device nIndex as UTF-16 (ANSI code page); empty when
// the device has none.
std::wstring ProductString(std::uint32_t nIndex, std::uint32_t nSelector)
{
    char sz[256] = {};
    if (SI_GetProductString(nIndex, sz, nSelector) != SI_SUCCESS)
        return {};
    sz[255] = '\0';
    wchar_t wsz[256] = {};
    if (::MultiByteToWideChar(CP_ACP, 0, sz, -1, wsz, 256) == 0)
        wsz[0] = L'\0';
    wsz[255] = L'\0';
    return wsz;
}

// The first device described "USBXpress Device" whose serial number is
// pSerial (any serial when null), or -1.
int FindAutomaticDevice(const std::wstring* pSerial)
{
    std::uint32_t nCount = 0;
    SI_GetNumDevices(&nCount); // status ignored: the count stays 0
    for (std::uint32_t nIndex = 0; nIndex < nCount; ++nIndex) {
        if (::lstrcmpiW(ProductString(nIndex, SI_RETURN_DESCRIPTION).c_str(), AUTOMATIC_DEVICE_DESCRIPTION) != 0)
            continue;
        if (!pSerial || ProductString(nIndex, SI_RETURN_SERIAL_NUMBER) == *pSerial)
            return static_cast<int>(nIndex);
    }
    return -1;
}
} // namespace

int CComm::FindDevice() { return FindAutomaticDevice(nullptr); }

int CComm::FindDevice(const std::wstring& serial) { return serial.empty() ? -1 : FindAutomaticDevice(&serial); }

std::wstring CComm::DeviceSerial(int nDevice)
{
    return nDevice < 0 ? std::wstring() : ProductString(static_cast<std::uint32_t>(nDevice), SI_RETURN_SERIAL_NUMBER);
}

int CComm::LookupDevice()
{
    m_Settings.nDevice = FindDevice();
    return m_Settings.nDevice;
}

// ---------------------------------------------------------------------------
// Open and Close

bool CComm::Open()
{
    if (IsOpen())
        return false;
    // Without its events or a notification pipe to write results into, a
    // worker could neither take replies nor report them: that is a failed
    // open, never a link that seems up and answers nothing.
    if (!m_hDataRead || !m_hDataProcessed || !m_hTermQManagement || !m_hCommFailure || !m_hQueued ||
        m_hWritePipe == INVALID_HANDLE_VALUE)
        return false;
    // A worker that an earlier Close had to leave running (it was busy past
    // the close time-out) must be gone before a new one starts.
    if (m_hQManagementThread) {
        const HANDLE hThread = m_hQManagementThread;
        if (WaitHandlingSentMessages(1, &hThread, CLOSE_WAIT_MS) != WAIT_OBJECT_0)
            return false;
        m_hQManagementThread.Reset();
    }
    m_bStopSending = false;
    m_bClosing = false;
    m_ReplySlot.Close();
    // Signals left from the previous link mean nothing for this one; a stale
    // failure signal in particular would fail the next producer that meets a
    // full queue.
    ::ResetEvent(m_hTermQManagement);
    ::ResetEvent(m_hDataRead);
    ::ResetEvent(m_hDataProcessed);
    ::ResetEvent(m_hCommFailure);
    ::ResetEvent(m_hQueued);

    unsigned long nStatus = 1;
    const QVRCOMM_HANDLE hComm = OpenComm(m_Settings, &CComm::ReceiveCallback, this, &nStatus);
    if (nStatus != 0 || hComm == 0) {
        m_LinkLog.OpenFailed(DescribeDevice(m_Settings.nDevice), nStatus);
        // Whatever a refusing library returned is not kept as an open link.
        if (hComm != 0) {
            unsigned long nCloseStatus = 0;
            CloseComm(hComm, &nCloseStatus);
        }
        return false;
    }
    m_LinkLog.LinkOpened(DescribeDevice(m_Settings.nDevice));
    m_hComm = hComm;
    m_bFailureLatch = false;
    m_hQManagementThread.Reset(::CreateThread(nullptr, 0, &CComm::QManagementThread, this, 0, nullptr));
    if (!m_hQManagementThread) {
        unsigned long nCloseStatus = 0;
        m_hComm = 0;
        CloseComm(hComm, &nCloseStatus);
        return false;
    }
    return true;
}

void CComm::Close()
{
    if (!IsOpen() || m_bClosing.exchange(true))
        return;
    if (m_hQManagementThread) {
        // The worker ends once the queue is empty; records it writes meanwhile
        // are delivered to the windows while this thread waits.
        ::SetEvent(m_hTermQManagement);
        const HANDLE hThread = m_hQManagementThread;
        const DWORD dwWait = WaitHandlingSentMessages(1, &hThread, CLOSE_WAIT_MS);
        if (dwWait == WAIT_OBJECT_0) {
            m_hQManagementThread.Reset();
        } else {
            // The worker only looks at the termination request while the
            // queue is empty.  From here on it sends nothing (the flag is set
            // under the lock it holds while sending), puts the request it
            // holds back at the head of the queue and ends; a reply wait is
            // cut short.  The link is then safe to close without waiting:
            // the worker may be blocked writing a record that the user
            // interface thread (this one) has to take first.
            {
                CLock lock(m_csQueue);
                m_bStopSending = true;
            }
            ::SetEvent(m_hDataRead);
        }
    }
    unsigned long nStatus = 0;
    const QVRCOMM_HANDLE hComm = m_hComm.exchange(0);
    CloseComm(hComm, &nStatus);
    m_LinkLog.LinkClosed();
    m_bClosing = false;
}

// Close, and then wait until no worker is left.
void CComm::StopWorker()
{
    Close();
    if (m_hQManagementThread) {
        {
            CLock lock(m_csQueue);
            m_bStopSending = true;
        }
        ::SetEvent(m_hDataRead);
        // Every wait of the stopped worker is bounded but one: writing a
        // record into a full pipe whose reader is sending a message to a
        // window of this thread.  Messages sent to this thread are handled
        // while waiting, so that write always completes.
        const HANDLE hThread = m_hQManagementThread;
        WaitHandlingSentMessages(1, &hThread, INFINITE);
        m_hQManagementThread.Reset();
    }
}

// ---------------------------------------------------------------------------
// The worker

DWORD WINAPI CComm::QManagementThread(LPVOID pParam)
{
    CComm* pThis = static_cast<CComm*>(pParam);
    pThis->QManagementLoop();
    pThis->ReleaseReply();
    pThis->FlushRecord(); // the result of the last request handled
    return 0;
}

void CComm::QManagementLoop()
{
    m_bReleaseReply = false;
    m_bFollowOn = 0;
    m_dwSavedFlags = 0;
    DWORD dwLastPoll = ::GetTickCount();
    for (;;) {
        // The termination request is looked at only while the queue is empty;
        // a request queued meanwhile ends the idle wait at once.
        const HANDLE ahIdle[2] = {m_hTermQManagement, m_hQueued};
        if (::WaitForMultipleObjects(2, ahIdle, FALSE, IDLE_WAIT_MS) == WAIT_OBJECT_0)
            return;
        if (m_bStopSending)
            return;
        if (m_bPolling && GetQueueLength() == 0 && ::GetTickCount() - dwLastPoll > POLL_INTERVAL_MS) {
            for (BYTE bChannel = 0; bChannel < CHANNEL_COUNT; ++bChannel)
                QueueRequest(false, bChannel, PARAMETER_METER, 0.0f);
            dwLastPoll = ::GetTickCount();
            continue;
        }
        for (;;) {
            std::unique_ptr<SEntry> pEntry;
            {
                CLock lock(m_csQueue);
                if (m_bStopSending)
                    return;
                if (!m_Queue.empty()) {
                    pEntry = std::move(m_Queue.front());
                    m_Queue.pop_front();
                }
            }
            if (!pEntry) {
                // Nothing more to send: the last result goes out now.
                ReleaseReply();
                FlushRecord();
                break;
            }
            if (HandleEntry(pEntry) == EOutcome::Stopped)
                return;
        }
    }
}

CComm::EOutcome CComm::HandleEntry(std::unique_ptr<SEntry>& pEntry)
{
    SEntry& entry = *pEntry;
    int nRetry = ATTEMPTS_AFTER_FIRST;

    // A GET or SET of the marker parameter is answered by the queue itself:
    // everything queued before it has been handled.
    if (entry.bKind != KIND_RAW && entry.bParameter == PARAMETER_MARKER) {
        WriteSimpleRecord(RX_MARKER, entry.bChannel);
        m_bFollowOn = 0;
        pEntry.reset();
        m_bReleaseReply = true;
        return EOutcome::Success;
    }

    m_LinkLog.CountRequest();
    const BYTE bCommand = entry.bPacket[2];
    const DWORD dwTimeout =
        (entry.bKind == KIND_RAW && bCommand == CMD_ERASE) ? ERASE_TIMEOUT_MS : REPLY_TIMEOUT_MS;

    for (;;) {
        BYTE bPacket[16] = {};
        if (entry.bKind == KIND_SET) {
            SCP_GenerateSET(bPacket, entry.bChannel, entry.bParameter, entry.fltValue, m_bFollowOn);
        } else if (entry.bKind == KIND_GET) {
            SCP_GenerateGET(bPacket, entry.bChannel, entry.bParameter, m_bFollowOn);
        } else {
            std::memcpy(bPacket, entry.bPacket, 16);
            if (IsFlagsWrite(entry)) {
                // A write of the system flags keeps the unit's own bits above
                // the four that the program owns.
                const DWORD dwLWord = SCP_GetWord(bPacket, 11) | (m_dwSavedFlags & ~SYSTEM_FLAGS_PROGRAM_BITS);
                SCP_PutWord(bPacket, 11, dwLWord);
                SCP_PutWord(entry.bPacket, 11, dwLWord);
            }
        }
        bPacket[15] = SCP_BuildChecksum(bPacket);
        std::memset(m_bReply, 0, sizeof(m_bReply));
        std::uint64_t nAttempt = 0;
        {
            // Sending happens under the lock so that Close can be sure, once
            // it has set the stop flag under the same lock, that nothing is
            // sent any more.
            CLock lock(m_csQueue);
            if (m_bStopSending) {
                m_Queue.push_front(std::move(pEntry));
                return EOutcome::Stopped;
            }
            // A wake-up left by an earlier attempt's reply finds no reply of
            // this attempt in the slot, and the wait below goes on: it is not
            // cleared here, which would cost a trip to the system (under
            // Wine, to its server) before every send.
            nAttempt = m_ReplySlot.Open(bPacket);
            unsigned long nStatus = 0;
            WriteCommBuf(m_hComm, bPacket, 16, &nStatus);
        }
        // The previous request's result goes into the pipe, and the receive
        // thread is let go, while this one is on the line, not between the two.
        ReleaseReply();
        FlushRecord();
        // The reply of this attempt, or the time-out; a Close that gave up on
        // the worker cuts the wait short.
        bool bReplied = false;
        const DWORD dwStart = ::GetTickCount();
        for (;;) {
            const DWORD dwElapsed = ::GetTickCount() - dwStart;
            const bool bWoken =
                ::WaitForSingleObject(m_hDataRead, dwElapsed < dwTimeout ? dwTimeout - dwElapsed : 0) == WAIT_OBJECT_0;
            CLinkTimeline::Mark(CLinkTimeline::WORKER_WOKE);
            if (m_bStopSending)
                break;
            bReplied = m_ReplySlot.Take(nAttempt, m_bReply, !bWoken);
            if (bReplied || !bWoken)
                break;
        }
        m_ReplySlot.Close();
        if (m_bStopSending) {
            m_bReleaseReply = true;
            ReleaseReply();
            CLock lock(m_csQueue);
            m_Queue.push_front(std::move(pEntry));
            return EOutcome::Stopped;
        }

        // Attempts are counted from 1 in the link log.
        const int nAttemptShown = ATTEMPTS_AFTER_FIRST + 1 - nRetry;
        const bool bTimedOut = !bReplied;
        if (bTimedOut || !SCP_IsValidChecksum(m_bReply, m_bReply[15])) {
            ::OutputDebugStringW(L"Comm:QueManagement thread - Response failed!");
            m_LinkLog.Add(bTimedOut ? CLinkLog::EEvent::TimeOut : CLinkLog::EEvent::BadChecksum, LogRequest(entry),
                          nAttemptShown);
            if (nRetry == 0)
                break;
            --nRetry;
            m_LinkLog.Add(CLinkLog::EEvent::Resend, LogRequest(entry), nAttemptShown + 1);
            // A reply with a bad checksum is answered by sending again at
            // once, whatever its type: one reply is taken per attempt.
            // (The pause is the unit's, not ours: a reply that comes during
            // it or later is dropped by the closed slot, whatever the timing.)
            if (bTimedOut)
                ::Sleep(RESEND_PAUSE_MS);
            m_bReleaseReply = true;
            continue;
        }
        if (SCP_IsNack(m_bReply)) {
            m_LinkLog.Add(CLinkLog::EEvent::Nack, LogRequest(entry), nAttemptShown);
            if (nRetry == 0)
                break;
            --nRetry;
            m_LinkLog.Add(CLinkLog::EEvent::Resend, LogRequest(entry), nAttemptShown + 1);
            m_bReleaseReply = true;
            continue;
        }

        // Success.
        if (entry.bKind == KIND_SET) {
            m_bFollowOn = 0;
        } else if (entry.bKind == KIND_GET) {
            if (m_bTrace)
                ::OutputDebugStringW(L"Comm:QueManagement thread - Operation get.\n");
            HoldRecord(CNotificationRecord::Value(entry.bChannel, entry.bParameter, SCP_GetData(m_bReply)));
            CLock lock(m_csQueue);
            m_bFollowOn = (!m_Queue.empty() && m_Queue.front()->bKind != KIND_SET) ? 1 : 0;
        } else {
            // The kind goes on record before the answer can reach a window.
            if (bCommand == CMD_SYSTEM_FLAGS)
                m_FlagsWrites.Answered(IsFlagsWrite(entry));
            HoldRecord(CNotificationRecord::Command(entry.bPacket, m_bReply));
            if (bCommand == CMD_SYSTEM_FLAGS && !IsFlagsWrite(entry))
                m_dwSavedFlags = SCP_GetWord(m_bReply, 11);
            m_bFollowOn = 0;
        }
        pEntry.reset();
        m_bReleaseReply = true;
        return EOutcome::Success;
    }

    // The third attempt failed: the link is taken as lost.
    m_LinkLog.Add(CLinkLog::EEvent::Failure, LogRequest(entry), ATTEMPTS_AFTER_FIRST + 1);
    if (IsFlagsWrite(entry))
        m_FlagsWrites.WritesDropped(1);
    m_bFollowOn = 0;
    pEntry.reset();
    m_bReleaseReply = true;
    ReleaseReply();
    ::SetEvent(m_hCommFailure);
    FlushQueue();
    WriteSimpleRecord(RX_FAILURE, 0);
    return EOutcome::Failure;
}

CLinkLog::SRequest CComm::LogRequest(const SEntry& entry)
{
    CLinkLog::SRequest r;
    r.bKind = entry.bKind;
    r.bChannel = entry.bChannel;
    r.bParameter = entry.bParameter;
    r.fltValue = entry.fltValue;
    if (entry.bKind == KIND_RAW) {
        r.bCommand = entry.bPacket[2];
        r.dwIter = SCP_GetWord(entry.bPacket, 3);
        r.dwUWord = SCP_GetWord(entry.bPacket, 7);
        r.dwLWord = SCP_GetWord(entry.bPacket, 11);
    }
    return r;
}

std::string CComm::DescribeDevice(int nDevice)
{
    const CDeviceList list = ReadAttachedDevices();
    const SDeviceEntry* pEntry = list.Find(nDevice);
    const std::string number = "device " + std::to_string(nDevice);
    return pEntry ? CDeviceList::Describe(*pEntry) + " (" + number + ")" : number + " (not in the device list)";
}

std::string CComm::DescribeLineSettings() const
{
    static const char* const s_apszParity[] = {"no", "odd", "even", "mark", "space"};
    static const char* const s_apszStop[] = {"1", "1.5", "2"};
    const char* pszParity = m_Settings.bParity < 5 ? s_apszParity[m_Settings.bParity] : "?";
    const char* pszStop = m_Settings.bStopBits < 3 ? s_apszStop[m_Settings.bStopBits] : "?";
    return std::to_string(m_Settings.dwBaudRate) + " baud, " + std::to_string(m_Settings.bByteSize) +
           " data bits, " + pszParity + " parity, " + pszStop + " stop bit(s), no flow control";
}

void CComm::FlushQueue()
{
    CLock lock(m_csQueue);
    m_FlagsWrites.WritesDropped(static_cast<size_t>(
        std::count_if(m_Queue.begin(), m_Queue.end(), [](const std::unique_ptr<SEntry>& p) { return IsFlagsWrite(*p); })));
    m_Queue.clear();
}

// ---------------------------------------------------------------------------
// Notification records

void CComm::WriteRecord(const CNotificationRecord::Bytes& record)
{
    const HANDLE hPipe = m_hWritePipe;
    if (hPipe == INVALID_HANDLE_VALUE)
        return;
    DWORD dwDone = 0;
    // Pipe writes of a record this small are never split.
    ::WriteFile(hPipe, record.data(), static_cast<DWORD>(record.size()), &dwDone, nullptr);
}

// A result is held until the next request has been sent (or the queue is
// empty): a pipe write costs as much as a tenth of an exchange on the line
// under Wine, and it then overlaps the exchange.  Records keep their order:
// any record written is preceded by the one held.
void CComm::HoldRecord(const CNotificationRecord::Bytes& record)
{
    FlushRecord();
    m_HeldRecord = record;
    m_bRecordHeld = true;
}

// The receive thread waits in its callback until the worker is done with
// the reply it handed over.  The worker lets it go once the next request is
// on the line (or there is none): before the send, waking it would put one
// more trip to the system and a thread switch between a reply and the next
// request.
void CComm::ReleaseReply()
{
    if (!m_bReleaseReply)
        return;
    m_bReleaseReply = false;
    ::SetEvent(m_hDataProcessed);
}

void CComm::FlushRecord()
{
    if (!m_bRecordHeld)
        return;
    m_bRecordHeld = false;
    WriteRecord(m_HeldRecord);
}

void CComm::WriteSimpleRecord(BYTE bKind, BYTE bChannel)
{
    FlushRecord();
    WriteRecord(CNotificationRecord::Simple(bKind, bChannel));
}

// ---------------------------------------------------------------------------
// Receive callback, on the link library's thread

void CComm::ReceiveCallback(void* /*pReserved*/, const unsigned char* pPacket, unsigned long nLength,
                            void* pContext, int nTrace)
{
    CComm* pThis = static_cast<CComm*>(pContext);
    if (nLength != 16 || pPacket == nullptr || pThis == nullptr)
        return;
    // Only a worker that waits takes a reply, one per attempt, and only one
    // that answers the packet of that attempt (see CReplySlot).
    if (pThis->m_ReplySlot.Offer(pPacket) == 0) {
        BYTE bDropped[16];
        std::memcpy(bDropped, pPacket, sizeof bDropped);
        pThis->m_LinkLog.AddLateReply(bDropped);
        return;
    }
    if (nTrace != 0)
        pThis->m_bTrace = true;
    // Signal the worker and wait for it to be done with the reply, in one
    // call: one trip to the kernel (under Wine, to its server) less on the
    // path from the reply to the next request.
    ::SignalObjectAndWait(pThis->m_hDataRead, pThis->m_hDataProcessed, CALLBACK_WAIT_MS, FALSE);
}
