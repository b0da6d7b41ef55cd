#pragma once
// A command queue of its own on a named in-process simulated unit: the
// queue's records are read from its pipe by a background thread and can be
// awaited one by one.  The device list of the process is set to that unit.

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/Comm.h"
#include "device/RXQueue.h"
#include "framework/Handles.h"
#include "sim/SimUnit.h"

// Sets QVR500_DEVICES for this process.
void SetDeviceList(const std::string& text);

class CCommHarness {
public:
    // The unit is reset to its factory state; timing instant unless bWire.
    // Polling is switched off (tests that want it switch it on).
    explicit CCommHarness(const std::string& unitName, bool bWire = false);
    ~CCommHarness();

    bool Open() { return comm.Open(); }

    // The next record, within nTimeoutMs.
    bool Next(utRXQueue& record, DWORD nTimeoutMs = 5000);
    // The next n records (fewer when they do not come within nTimeoutMs each).
    std::vector<utRXQueue> Take(std::size_t n, DWORD nTimeoutMs = 5000);
    // A fence: queues a marker (answered by the queue itself, after
    // everything queued before it) and true when it is the very next record,
    // i.e. nothing else was reported before it.  Records that came first are
    // reported as a test failure.
    bool NothingBeforeFence();
    // Waits for a marker record of channel bChannel; the records before it
    // go to `before`.  False when it does not come.
    bool UntilMarker(BYTE bChannel, std::vector<utRXQueue>& before, DWORD nTimeoutMs = 20000);

private:
    void ReadLoop();

    CFileHandle m_hRead;
    CFileHandle m_hWrite;

public:
    CComm comm;
    CSimUnit& unit;

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<utRXQueue> m_records;
    bool m_bStop = false;
    std::thread m_reader;
};

// Record helpers.
inline DWORD RecordIter(const utRXQueue& r) { return RXGetWord(r.bIter); }
inline DWORD RecordUWord(const utRXQueue& r) { return RXGetWord(r.bUWord); }
inline DWORD RecordLWord(const utRXQueue& r) { return RXGetWord(r.bLWord); }
