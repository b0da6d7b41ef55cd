// The command queue engine: producers queue requests, one worker thread per
// open link sends them through the link library one at a time, waits for the
// reply that the link's receive callback hands over, retries, and writes one
// 24-byte notification record per result into the notification pipe.
#include "device/Comm.h"

#include <cassert>
#include <cmath>
#include <cstring>

#include "device/RXQueue.h"
#include "device/link/LinkTimeline.h"
#include "device/link/ReplyMatch.h"
#include "protocol/QVRSCP.h"
#include "device/usbxp/DeviceEnvironment.h"
#include "device/usbxp/SiUSBXp.h"
#include "model/ChannelConfig.h"
#include "model/ParameterMap.h"
#include "model/TextMemory.h"

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

constexpr DWORD TEXT_DIRECTORY_BYTES = 4 * TEXT_DIRECTORY_WORDS;
constexpr int SECTION_COUNT = TEXT_SECTION_COUNT + 1; // the directory is section 0

constexpr wchar_t AUTOMATIC_DEVICE_DESCRIPTION[] = L"USBXpress Device";

// Waits for one of the handles like WaitForMultipleObjects, handling the
// messages that other threads send to this thread meanwhile.  Every wait of a
// producer, of Open and of Close goes through here: the notification pipe's
// reader delivers records by SendMessage to windows of the user-interface
// thread, and the worker cannot go on while the pipe it writes to is full, so
// a user-interface thread that waited for the worker without taking those
// messages would wait for itself.  Returns the index of the signalled handle
// (WAIT_OBJECT_0 + i) or WAIT_TIMEOUT.
DWORD WaitHandlingSentMessages(DWORD nCount, const HANDLE* phHandles, DWORD dwTimeout)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        const DWORD dwElapsed = ::GetTickCount() - dwStart;
        const DWORD dwLeft = dwTimeout == INFINITE ? INFINITE : (dwElapsed >= dwTimeout ? 0 : dwTimeout - dwElapsed);
        const DWORD dwWait = ::MsgWaitForMultipleObjects(nCount, phHandles, FALSE, dwLeft, QS_SENDMESSAGE);
        if (dwWait != WAIT_OBJECT_0 + nCount)
            return dwWait == WAIT_FAILED ? WAIT_TIMEOUT : dwWait;
        // A peek runs the handlers of the messages sent to this thread and
        // removes nothing posted.
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (dwLeft == 0)
            return WAIT_TIMEOUT;
    }
}

// The unit reports an output setting v as the value it applies; the program
// shows trunc(10 v) / 10 + 8 (the write sends the gain minus 8).  The product
// is taken in single precision as the value itself is single precision, so a
// stored -0.7 reads back as -7 tenths, not -6.
float ConvertOutputReading(float fltUnit)
{
    const float fltTenths = fltUnit * 10.0f;
    const double dblWhole = std::trunc(static_cast<double>(fltTenths));
    const float fltScaled = static_cast<float>(dblWhole * 0.1);
    return fltScaled + 8.0f;
}
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
    SEntry entry;
    entry.bKind = KIND_RAW;
    SCP_GenerateRAW(entry.bPacket, bCommand, dwIter, dwUWord, dwLWord);
    return Enqueue(entry);
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
            if (pQueued->bKind == entry.bKind && pQueued->bChannel == entry.bChannel &&
                pQueued->bParameter == entry.bParameter) {
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
    if (bWasEmpty)
        ::SetEvent(m_hQueued);
    return true;
}

bool CComm::QueueReadChannel(int nChannel, int nMode)
{
    // A channel outside 0..5 addresses nothing: it is not a link failure,
    // so the answer is the same as for a queued read.
    if (nChannel < 0 || nChannel >= CHANNEL_COUNT)
        return true;
    // Parameter reads in order, then the output reads of the mode (the
    // parameter map holds which outputs belong to the channel).
    const ReadChannelPlan plan = GetReadChannelPlan(nChannel, nMode);
    for (int i = 0; i < plan.nParameters; ++i)
        if (!QueueRequest(false, static_cast<BYTE>(nChannel), plan.parameters[i], 0.0f))
            return false;
    for (int i = 0; i < plan.nOutputs; ++i)
        if (!QueueCommand(CMD_READ_OUTPUT, 0, plan.outputs[i], 0))
            return false;
    return true;
}

void CComm::SetSectionTable(const DWORD adwStart[10], const DWORD adwLength[10])
{
    CLock lock(m_csQueue);
    for (int i = 1; i < SECTION_COUNT; ++i) {
        m_adwSectionStart[i] = adwStart[i];
        m_adwSectionLength[i] = adwLength[i];
    }
}

void CComm::SetSectionTableFromDirectory(const DWORD adwDirectory[21])
{
    DWORD adwStart[SECTION_COUNT] = {};
    DWORD adwLength[SECTION_COUNT] = {};
    for (int i = 1; i < SECTION_COUNT; ++i) {
        adwStart[i] = adwDirectory[2 * i - 1];
        adwLength[i] = adwDirectory[2 * i];
    }
    SetSectionTable(adwStart, adwLength);
}

bool CComm::QueueReadMemory(int& nSection)
{
    DWORD dwStart = 0;
    DWORD dwBytes = 0;
    if (nSection <= 0) {
        dwStart = TEXT_MEMORY_START;
        dwBytes = TEXT_DIRECTORY_BYTES;
    } else {
        CLock lock(m_csQueue);
        // Empty sections are skipped; the caller learns where reading went on.
        while (nSection < SECTION_COUNT - 1 && m_adwSectionLength[nSection] == 0)
            ++nSection;
        if (nSection >= SECTION_COUNT || m_adwSectionLength[nSection] == 0)
            return true;
        dwStart = m_adwSectionStart[nSection];
        // Two bytes per UTF-16 unit, held in 8 bits: a corrupt directory
        // cannot make the read run away.
        dwBytes = static_cast<BYTE>(2 * m_adwSectionLength[nSection]);
    }
    for (DWORD dwOffset = 0; dwOffset < dwBytes; dwOffset += 4)
        if (!QueueCommand(CMD_READ_WORD, 0, dwStart + dwOffset, 0))
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
        while (GetQueueLength() != 0 && ::GetTickCount() - dwStart < CLOSE_WAIT_MS) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_SENDMESSAGE);
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
    }
    StopWorker();
    m_hWritePipe = INVALID_HANDLE_VALUE;
}

// ---------------------------------------------------------------------------
// Device lookup

int CComm::FindDevice()
{
    std::uint32_t nCount = 0;
    SI_GetNumDevices(&nCount); // status ignored: the count stays 0
    for (std::uint32_t nIndex = 0; nIndex < nCount; ++nIndex) {
        char szDesc[256] = {};
        const int nStatus = SI_GetProductString(nIndex, szDesc, SI_RETURN_DESCRIPTION);
        assert(nStatus == SI_SUCCESS);
        (void)nStatus;
        szDesc[255] = '\0';
        wchar_t wszDesc[256] = {};
        if (::MultiByteToWideChar(CP_ACP, 0, szDesc, -1, wszDesc, 256) == 0)
            wszDesc[0] = L'\0';
        wszDesc[255] = L'\0';
        if (::lstrcmpiW(wszDesc, AUTOMATIC_DEVICE_DESCRIPTION) == 0)
            return static_cast<int>(nIndex);
    }
    return -1;
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
        while (::MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
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
            if (bCommand == CMD_SYSTEM_FLAGS && (SCP_GetWord(bPacket, 7) & SYSTEM_FLAGS_WRITE)) {
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
            WriteValueRecord(entry, SCP_GetData(m_bReply));
            CLock lock(m_csQueue);
            m_bFollowOn = (!m_Queue.empty() && m_Queue.front()->bKind != KIND_SET) ? 1 : 0;
        } else {
            WriteCommandRecord(entry);
            if (bCommand == CMD_SYSTEM_FLAGS && !(SCP_GetWord(entry.bPacket, 7) & SYSTEM_FLAGS_WRITE))
                m_dwSavedFlags = SCP_GetWord(m_bReply, 11);
            m_bFollowOn = 0;
        }
        pEntry.reset();
        m_bReleaseReply = true;
        return EOutcome::Success;
    }

    // The third attempt failed: the link is taken as lost.
    m_LinkLog.Add(CLinkLog::EEvent::Failure, LogRequest(entry), ATTEMPTS_AFTER_FIRST + 1);
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
    m_Queue.clear();
}

// ---------------------------------------------------------------------------
// Notification records

void CComm::WriteRecord(const BYTE (&bRecord)[24])
{
    const HANDLE hPipe = m_hWritePipe;
    if (hPipe == INVALID_HANDLE_VALUE)
        return;
    DWORD dwDone = 0;
    // Pipe writes of a record this small are never split.
    ::WriteFile(hPipe, bRecord, sizeof(bRecord), &dwDone, nullptr);
}

// A result is held until the next request has been sent (or the queue is
// empty): a pipe write costs as much as a tenth of an exchange on the line
// under Wine, and it then overlaps the exchange.  Records keep their order:
// any record written is preceded by the one held.
void CComm::HoldRecord(const BYTE (&bRecord)[24])
{
    FlushRecord();
    std::memcpy(m_bHeldRecord, bRecord, sizeof(m_bHeldRecord));
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
    WriteRecord(m_bHeldRecord);
}

void CComm::WriteSimpleRecord(BYTE bKind, BYTE bChannel)
{
    FlushRecord();
    BYTE bRecord[24] = {};
    bRecord[0] = bKind;
    bRecord[1] = bChannel;
    WriteRecord(bRecord);
}

void CComm::WriteValueRecord(const SEntry& entry, float fltValue)
{
    BYTE bRecord[24] = {};
    bRecord[0] = RX_VALUE;
    bRecord[1] = entry.bChannel;
    bRecord[2] = entry.bParameter;
    std::memcpy(bRecord + 4, &fltValue, 4);
    HoldRecord(bRecord);
}

void CComm::WriteCommandRecord(const SEntry& entry)
{
    BYTE bRecord[24] = {};
    bRecord[0] = RX_COMMAND;
    // Bytes 8..23 hold the reply packet, its first two bytes cleared and its
    // third replaced by the request's command.
    std::memcpy(bRecord + 8, m_bReply, 16);
    bRecord[8] = 0;
    bRecord[9] = 0;
    bRecord[10] = entry.bPacket[2];
    if (entry.bPacket[2] == CMD_READ_OUTPUT) {
        // The request's output address, and the unit's value as the program
        // shows it.
        std::memcpy(bRecord + 15, entry.bPacket + 7, 4);
        const float fltShown = ConvertOutputReading(RXWordAsFloat(SCP_GetWord(m_bReply, 11)));
        std::memcpy(bRecord + 19, &fltShown, 4);
    }
    HoldRecord(bRecord);
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
