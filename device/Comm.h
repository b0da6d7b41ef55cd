#pragma once
// CComm: the one link engine.  Every exchange with the unit goes through its
// request queue; one worker thread sends the requests one at a time, waits
// for the replies, retries, and reports each result on the notification pipe.

#include <windows.h>
#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include "device/records/FlagsWriteTracker.h"
#include "device/records/NotificationRecord.h"
#include "device/records/UnitReadPlan.h"
#include "device/link/LinkLog.h"
#include "device/link/QVRCOMM.h"
#include "device/link/ReplySlot.h"
#include "framework/Handles.h"

class CComm {
public:
    CComm();
    virtual ~CComm();
    CComm(const CComm&) = delete;
    CComm& operator=(const CComm&) = delete;

    // GET (bSet false) or SET of one channel parameter, value as a float.
    bool QueueRequest(bool bSet, BYTE bChannel, BYTE bParameter, float fltValue);
    // The same with the value's 32-bit pattern stored unchanged.
    bool QueueRequest(bool bSet, BYTE bChannel, BYTE bParameter, DWORD dwBits);
    // Raw command: 8-bit command and three 32-bit words.
    bool QueueCommand(BYTE bCommand, DWORD dwIter, DWORD dwUWord, DWORD dwLWord);
    // The same on behalf of a producer that may later withdraw what of it
    // still waits (DropWaiting); pProducer is any address that names it.
    bool QueueCommand(BYTE bCommand, DWORD dwIter, DWORD dwUWord, DWORD dwLWord, const void* pProducer);
    // Removes every waiting request that pProducer queued (not the one the
    // worker is already sending) and returns how many.  The rest keep their
    // order; a null producer names nobody.  Requests queued without a
    // producer are never dropped here.
    size_t DropWaiting(const void* pProducer);
    // Reads of every parameter and output of one channel (mode 2 or 3).
    bool QueueReadChannel(int nChannel, int nMode);
    // Word reads of one stored memory section; may advance nSection past empty ones.
    bool QueueReadMemory(int& nSection);

    // The stored text sections 1..9 (start address, length in UTF-16 units),
    // as the unit's text directory gives them; index 0 is ignored because
    // section 0 is the directory itself.  Until set, every section is empty.
    void SetSectionTable(const DWORD adwStart[10], const DWORD adwLength[10]);
    // The same, taken from the 21 words of the text directory (words 1..18).
    void SetSectionTableFromDirectory(const DWORD adwDirectory[21]);

    void SetPolling(bool bOn);
    bool IsPolling() const;

    bool Open();
    void Close();
    bool IsOpen() const;

    int GetDeviceNumber() const;
    void SetDeviceNumber(int nDevice);
    // The automatic lookup: first device described "USBXpress Device", or -1.
    static int FindDevice();
    // The same restricted to the unit with this serial number: its index
    // now, or -1 (gone, or an empty serial).  Device numbers are positions
    // in a list that changes; a unit is followed by its serial number.
    static int FindDevice(const std::wstring& serial);
    // The serial number of device nDevice now (empty when there is none).
    static std::wstring DeviceSerial(int nDevice);
    // Runs FindDevice and stores its result as the device number.
    int LookupDevice();

    // Given once by the notification pipe's constructor.
    void SetWritePipe(HANDLE hWritePipe);
    // Called by the notification pipe before it closes its ends: stops the
    // worker (draining the queue as Close does), closes the link and forgets
    // the write end.  Nothing is written to the pipe afterwards.
    void DetachWritePipe();

    // What went wrong on the links of this run (for support).
    CLinkLog& GetLinkLog() { return m_LinkLog; }
    // The link's line settings as a support log names them.
    std::string DescribeLineSettings() const;
    // The device entry of device number nDevice as a support log names it.
    static std::string DescribeDevice(int nDevice);

    // The handler that keeps the program's copy of the system flags calls
    // this once for each flags answer (raw command 11) it receives, in the
    // order they arrive: true when the answer may set the copy, false when a
    // write of the flags queued after its request is still on its way (the
    // answer then tells of a word that write replaces).
    bool TakeFlagsAnswer() { return m_FlagsWrites.TakeAnswer(); }
    // Flags writes queued and not yet answered to the windows, nor dropped (tests).
    size_t GetFlagsWritesOnTheirWay() const { return m_FlagsWrites.GetWritesOnTheirWay(); }

    // Number of requests waiting (tests and diagnostics).
    size_t GetQueueLength();
    // Number of producers waiting for room in a full queue (tests and diagnostics).
    int GetProducersWaiting() const { return m_nWaitingForRoom.load(); }

private:
    // One queued request.
    struct SEntry {
        BYTE bKind = 0;      // 0 GET, 1 SET, 2 raw command
        BYTE bChannel = 0;
        BYTE bParameter = 0;
        float fltValue = 0.0f;
        BYTE bPacket[16] = {}; // raw commands only
        const void* pProducer = nullptr; // who may withdraw it (DropWaiting)
    };
    enum : BYTE { KIND_GET = 0, KIND_SET = 1, KIND_RAW = 2 };
    enum class EOutcome { Success, Failure, Stopped };

    bool Enqueue(const SEntry& entry);
    static bool IsFlagsWrite(const SEntry& entry);
    bool WaitForRoom();
    static DWORD WINAPI QManagementThread(LPVOID pParam);
    void QManagementLoop();
    EOutcome HandleEntry(std::unique_ptr<SEntry>& pEntry);
    void WriteRecord(const CNotificationRecord::Bytes& record);
    void HoldRecord(const CNotificationRecord::Bytes& record);
    void FlushRecord();
    void ReleaseReply();
    void WriteSimpleRecord(BYTE bKind, BYTE bChannel);
    void FlushQueue();
    static CLinkLog::SRequest LogRequest(const SEntry& entry);
    void StopWorker();
    static void ReceiveCallback(void* pReserved, const unsigned char* pPacket, unsigned long nLength, void* pContext,
                                int nTrace);

    std::atomic<QVRCOMM_HANDLE> m_hComm{0};
    QVRCOMM_SETTINGS m_Settings{};

    CHandle m_hDataRead;
    CHandle m_hDataProcessed;
    CHandle m_hTermQManagement;
    CHandle m_hCommFailure;
    CHandle m_hQueued; // set on every append: wakes an idle worker
    HANDLE m_hWritePipe = INVALID_HANDLE_VALUE; // owned by the notification pipe
    std::deque<std::unique_ptr<SEntry>> m_Queue;
    CHandle m_hQManagementThread;
    std::atomic<bool> m_bFailureLatch{false};
    std::atomic<int> m_nWaitingForRoom{0};
    CCriticalSection m_csQueue;
    std::atomic<bool> m_bPolling{true};
    std::atomic<bool> m_bTrace{false};
    // Set (under m_csQueue) when Close gave up waiting for the worker: from
    // then on the worker sends nothing and ends as soon as it can.
    std::atomic<bool> m_bStopSending{false};
    // Set while Close runs: queue operations then queue nothing, as on a
    // closed link (handlers of records delivered during Close may queue).
    std::atomic<bool> m_bClosing{false};

    // The hand-off of replies from the receive callback to the worker; the
    // callback signals m_hDataRead after putting one in, and waits on
    // m_hDataProcessed until the worker is done with it.
    CReplySlot m_ReplySlot;
    // The reply of the exchange in progress, the worker's own copy.
    BYTE m_bReply[16] = {};

    // The receive thread waits to be let go (worker only).
    bool m_bReleaseReply = false;

    // A result of the worker not yet written to the pipe (worker only).
    CNotificationRecord::Bytes m_HeldRecord{};
    bool m_bRecordHeld = false;

    // Worker state, reset each time a worker starts.
    int m_bFollowOn = 0;
    DWORD m_dwSavedFlags = 0; // LWord of the last system flags read

    CLinkLog m_LinkLog;

    // The flags writes on their way and the kinds of the flags answers the
    // windows have yet to take.
    CFlagsWriteTracker m_FlagsWrites;

    // The reads of the unit's text sections (under m_csQueue).
    CUnitReadPlan m_ReadPlan;
};

// Process-wide singletons, constructed before the entry point in this order.
extern CComm g_Comm;
