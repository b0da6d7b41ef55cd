// Line model and pump thread of a simulated unit.
#include "sim/SimPort.h"

#include <algorithm>

CSimPort::CSimPort(CSimUnit& unit) : m_unit(unit) {}

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
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_bRunning || m_bStop)
            return;
        m_inbox.push_back(Chunk{std::vector<std::uint8_t>(pBytes, pBytes + n), Clock::now()});
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

// A timed wait is only as fine as the system timer (a millisecond and more
// under Wine, even for a time already past), which would stretch a 1.39 ms
// packet to twice its length: the coarse wait ends early and the rest of the
// time is spent yielding.
bool CSimPort::SleepUntil(std::unique_lock<std::mutex>& lock, Clock::time_point t)
{
    constexpr auto COARSE_MARGIN = std::chrono::milliseconds(3);
    if (t - Clock::now() > COARSE_MARGIN)
        m_cv.wait_until(lock, t - COARSE_MARGIN, [this] { return m_bStop; });
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
