// Line model and pump thread of a simulated unit.
#include "sim/SimPort.h"

#include <algorithm>

namespace {
// A long wait (an erase, a delayed reply) waits on the condition variable,
// which Close interrupts, up to this long before its end: a timed wait is
// only as fine as the system timer (under Wine it ends a millisecond and
// more late, even for a time already past).
constexpr auto COARSE_MARGIN = std::chrono::milliseconds(3);
// A sleep may end late.  The port keeps a running mean of by how much (each
// sleep weighs 1/SLEEP_LATE_WEIGHT) and sleeps only up to twice that, plus
// SPIN_MARGIN, before the end of a wait, yielding for the rest.  Where sleeps
// are as coarse as the system timer, the mean soon exceeds the short waits of
// the line and those are then spent yielding altogether.
constexpr auto SPIN_MARGIN = std::chrono::microseconds(30);
constexpr auto SLEEP_LATE_START = std::chrono::microseconds(100);
constexpr int SLEEP_LATE_WEIGHT = 8;

void StandardSleep(std::chrono::nanoseconds d) { std::this_thread::sleep_for(d); }
} // namespace

CSimPort::CSimPort(CSimUnit& unit, Sleeper pfnSleep)
    : m_unit(unit), m_pfnSleep(pfnSleep != nullptr ? pfnSleep : &StandardSleep), m_sleepLate(SLEEP_LATE_START)
{
}

CSimPort::~CSimPort() { Close(); }

bool CSimPort::Start(Receiver receiver)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bRunning)
        return false;
    m_receiver = std::move(receiver);
    m_inbox.clear();
    m_bStop = false;
    m_bRunning = true;
    m_unit.ResetStream();
    m_thread = std::thread(&CSimPort::Run, this);
    return true;
}

void CSimPort::Write(const std::uint8_t* pBytes, std::size_t n)
{
    if (n == 0)
        return;
    // The bytes are on the line from now, however long the pump takes to
    // look at them.
    const Clock::time_point tWritten = Clock::now();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bRunning || m_bStop)
            return;
        m_inbox.push_back(Chunk{std::vector<std::uint8_t>(pBytes, pBytes + n), tWritten});
    }
    m_cv.notify_all();
}

void CSimPort::Close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bRunning)
            return;
        m_bStop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRunning = false;
    m_inbox.clear();
    m_receiver = nullptr;
}

bool CSimPort::IsOpen() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bRunning && !m_bStop;
}

// Waiting to the microsecond.  Yielding to the end is exact but keeps a core
// busy, which the threads at both ends of the line then lack (and the
// scheduler holds against the whole process), so most of a wait is slept.
bool CSimPort::SleepUntil(std::unique_lock<std::mutex>& lock, Clock::time_point t)
{
    if (t - Clock::now() > COARSE_MARGIN)
        m_cv.wait_until(lock, t - COARSE_MARGIN, [this] { return m_bStop; });
    while (!m_bStop) {
        const Clock::time_point tNow = Clock::now();
        const auto ask = std::chrono::duration_cast<std::chrono::nanoseconds>(t - tNow - 2 * m_sleepLate - SPIN_MARGIN);
        if (ask.count() <= 0)
            break;
        lock.unlock();
        m_pfnSleep(ask);
        const auto late = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - tNow - ask);
        lock.lock();
        m_sleepLate += (std::max(late, std::chrono::nanoseconds::zero()) - m_sleepLate) / SLEEP_LATE_WEIGHT;
    }
    while (!m_bStop && Clock::now() < t) {
        lock.unlock();
        std::this_thread::yield();
        lock.lock();
    }
    return !m_bStop;
}

void CSimPort::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    Clock::time_point tLineIn{};  // when the host-to-unit line is next free
    Clock::time_point tLineOut{}; // when the unit-to-host line is next free
    while (true) {
        m_cv.wait(lock, [this] { return m_bStop || !m_inbox.empty(); });
        if (m_bStop)
            break;
        Chunk chunk = std::move(m_inbox.front());
        m_inbox.pop_front();

        const bool bWire = m_unit.GetTiming() == ESimTiming::Wire;
        const auto wire = [bWire](std::size_t n) {
            return bWire ? std::chrono::duration_cast<Clock::duration>(BYTE_TIME * static_cast<long long>(n))
                         : Clock::duration::zero();
        };
        // The chunk has arrived once its last byte has crossed the line.
        const Clock::time_point tArrived = std::max(chunk.tWritten, tLineIn) + wire(chunk.bytes.size());
        tLineIn = tArrived;
        if (!SleepUntil(lock, tArrived))
            break;

        lock.unlock();
        std::vector<SimReply> replies = m_unit.Receive(chunk.bytes.data(), chunk.bytes.size(), tArrived);
        lock.lock();

        Clock::time_point tReady = tArrived;
        for (const SimReply& reply : replies) {
            const Clock::time_point tStart = std::max(tReady + reply.delay, tLineOut);
            const Clock::time_point tDone = tStart + wire(reply.bytes.size());
            tLineOut = tReady = tDone;
            if (!SleepUntil(lock, tDone))
                return;
            Receiver& receiver = m_receiver;
            lock.unlock();
            if (receiver && !reply.bytes.empty())
                receiver(reply.bytes.data(), reply.bytes.size());
            lock.lock();
        }
    }
}
