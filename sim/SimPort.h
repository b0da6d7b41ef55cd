#pragma once
// A threaded pump around a simulated unit that models the 115200-baud line
// (8N1: 10 bits per byte, a 16-byte packet takes about 1.39 ms each way).
// The host writes bytes with Write; the unit's replies reach the receiver
// callback on the port's own thread.  In the unit's instant timing mode the
// line takes no time.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sim/SimUnit.h"

class CSimPort {
public:
    using Clock = std::chrono::steady_clock;
    using Receiver = std::function<void(const std::uint8_t* pBytes, std::size_t n)>;

    static constexpr std::chrono::nanoseconds BYTE_TIME{86806}; // 10 bits at 115200 baud

    // Sleeps for about the given time.  The standard library's sleep is the
    // default; a platform may offer a finer one (mingw's sleeps whole
    // milliseconds only).
    using Sleeper = void (*)(std::chrono::nanoseconds);

    explicit CSimPort(CSimUnit& unit, Sleeper pfnSleep = nullptr);
    ~CSimPort(); // closes
    CSimPort(const CSimPort&) = delete;
    CSimPort& operator=(const CSimPort&) = delete;

    // Start the pump; false when it already runs.  Any partial packet the
    // unit held is forgotten.
    bool Start(Receiver receiver);
    // Host to unit: returns at once; ignored while the port is closed.
    void Write(const std::uint8_t* pBytes, std::size_t n);
    // Stop the pump and join it; the receiver is never called after Close
    // returns.  Must not be called from inside the receiver.
    void Close();
    bool IsOpen() const;

    CSimUnit& Unit() { return m_unit; }

private:
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        Clock::time_point tWritten;
    };

    void Run();
    // Sleep until t; false when the port is being closed.
    bool SleepUntil(std::unique_lock<std::mutex>& lock, Clock::time_point t);

    CSimUnit& m_unit;
    Sleeper m_pfnSleep;
    // How late a sleep may end, learnt from the sleeps so far (port thread only).
    std::chrono::nanoseconds m_sleepLate;
    Receiver m_receiver;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Chunk> m_inbox;
    bool m_bRunning = false;
    bool m_bStop = false;
    std::thread m_thread;
};
