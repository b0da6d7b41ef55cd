#pragma once
// CFirmwareDownload: the one erase/write/verify sequence of a firmware
// download, shared by the download dialog and `qvrtool firmware`.
//
// The program area is erased, then every word of the image written, from a
// thread of the download that keeps the command queue a bounded window
// ahead of the unit's answers.  The unit's reply to a word write carries the
// word as it now reads in flash, so each reply is that word's verification:
// a reply that differs from the image ends the download at once, naming the
// address, what the unit holds and what the file holds.  A write whose reply
// was lost or corrupted is sent again by the queue; its final reply is the
// one compared.
//
// Only replies that answer the download's own requests count: the erase of
// the program area, then the writes in address order.  Anything else that
// the notification pipe delivers meanwhile (the editor's text reads, a
// store, another erase) is left alone.
//
// The front end owns the thread's lifetime through this object: it feeds
// every command-reply record to OnPacket and the queue's failure record to
// OnLinkLost on the thread that owns hNotify, and hands the message
// WM_DOWNLOAD_STOPPED (posted by the thread when it stops before the end)
// to OnStopped.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "device/RXQueue.h"
#include "framework/Handles.h"

class CComm;

class CFirmwareDownload {
public:
    enum class EPhase { Idle, Erasing, Writing, Complete, Failed };
    enum class EFailure {
        None,
        LinkLost,    // the queue gave up on a request, or the link closed under the download
        NotComplete, // the thread could not be started
        Verify,      // a write's reply differs from the image
    };
    // What a record changed, for the front end to show.
    enum class EEvent { None, Erased, WordWritten, Complete, Failed };

    // Requests queued ahead of the replies at most: enough to keep the queue
    // busy while answers travel, few enough that a lost link leaves almost
    // nothing queued behind the failure (the queue holds 255).
    static constexpr std::uint32_t QUEUE_AHEAD = 128;
    // The thread is woken to top the queue up once per this many replies,
    // not for every one: each wake costs the worker a share of the processor.
    static constexpr std::uint32_t REFILL_BATCH = 32;
    // The thread looks at the link at least this often.
    static constexpr DWORD STEP_MILLISECONDS = 50;

    explicit CFirmwareDownload(CComm& comm);
    ~CFirmwareDownload(); // stops the thread
    CFirmwareDownload(const CFirmwareDownload&) = delete;
    CFirmwareDownload& operator=(const CFirmwareDownload&) = delete;

    // Starts a download of the words (at least one, at most the program
    // area) over an open link; hNotify receives WM_DOWNLOAD_STOPPED if the
    // thread stops before it has queued the last write.  False, with the
    // phase Failed (NotComplete), when the thread cannot be started.
    bool Start(const std::vector<std::uint32_t>& words, HWND hNotify);

    // A command-reply record (WM_COMM_PACKET).  None when it is not a reply
    // to the download's own requests or the download is not running.
    EEvent OnPacket(const utRXQueue& record);
    // The queue's failure record (WM_COMM_FAILURE).
    EEvent OnLinkLost();
    // WM_DOWNLOAD_STOPPED: wParam as posted (non-zero: the link went away).
    EEvent OnStopped(WPARAM wParam);
    // Ends the thread (the front end is going away, or the download ended)
    // and withdraws the download's requests still waiting in the queue; the
    // phase is kept.
    void Stop();

    EPhase GetPhase() const { return m_ePhase; }
    bool IsRunning() const { return m_ePhase == EPhase::Erasing || m_ePhase == EPhase::Writing; }
    EFailure GetFailure() const { return m_eFailure; }
    std::uint32_t GetTotalWords() const { return static_cast<std::uint32_t>(m_Words.size()); }
    std::uint32_t GetWordsWritten() const { return m_nWritten; }
    // The first word that differs: its address, the unit's word, the file's.
    std::uint32_t GetBadAddress() const { return m_dwBadAddress; }
    std::uint32_t GetUnitWord() const { return m_dwUnitWord; }
    std::uint32_t GetFileWord() const { return m_dwFileWord; }

private:
    static DWORD WINAPI Thread(LPVOID pParam);
    void StopThread();
    void Run();
    bool WaitForRoom(std::uint32_t nQueued);
    bool ShouldStop() const;
    void Answered();
    EEvent End(EPhase ePhase, EFailure eFailure);

    CComm& m_Comm;
    std::vector<std::uint32_t> m_Words;
    HWND m_hNotify = nullptr;
    EPhase m_ePhase = EPhase::Idle;
    EFailure m_eFailure = EFailure::None;
    std::uint32_t m_nWritten = 0; // writes whose reply matched the image
    std::uint32_t m_dwBadAddress = 0;
    std::uint32_t m_dwUnitWord = 0;
    std::uint32_t m_dwFileWord = 0;

    // Shared with the thread.
    CHandle m_hThread;
    CHandle m_hStop;     // manual reset: the thread ends at its next step
    CHandle m_hProgress; // auto reset: replies of the download arrived
    std::atomic<std::uint32_t> m_nAnswered{0}; // replies of the download so far (the erase and the writes)
};
