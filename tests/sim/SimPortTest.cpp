// The line model: replies arrive on the port's thread after the wire time,
// Close stops everything at once and for good.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "protocol/QVRSCP.h"
#include "sim/SimPort.h"

namespace {

using Clock = std::chrono::steady_clock;

// Collects what the port delivers.
struct Inbox {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::vector<std::uint8_t>> chunks;
    std::vector<Clock::time_point> times;

    CSimPort::Receiver Receiver()
    {
        return [this](const std::uint8_t* p, std::size_t n) {
            std::lock_guard<std::mutex> lock(mutex);
            chunks.emplace_back(p, p + n);
            times.push_back(Clock::now());
            cv.notify_all();
        };
    }
    bool WaitFor(std::size_t n, std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, timeout, [&] { return chunks.size() >= n; });
    }
};

std::array<std::uint8_t, 16> Get(std::uint8_t c, std::uint8_t p)
{
    std::array<std::uint8_t, 16> b;
    SCP_GenerateGET(b.data(), c, p, 0);
    b[15] = SCP_BuildChecksum(b.data());
    return b;
}

} // namespace

TEST(SimPort, WireRoundTripTakesTwoPacketTimes)
{
    CSimUnit unit;
    CSimPort port(unit);
    Inbox inbox;
    ASSERT_TRUE(port.Start(inbox.Receiver()));
    EXPECT_FALSE(port.Start(inbox.Receiver()));
    const auto request = Get(2, 23);
    std::vector<double> ms;
    for (std::size_t i = 0; i < 20; ++i) {
        const auto t0 = Clock::now();
        port.Write(request.data(), 8); // in two pieces, as a link may send them
        port.Write(request.data() + 8, 8);
        ASSERT_TRUE(inbox.WaitFor(i + 1, std::chrono::seconds(2)));
        ms.push_back(std::chrono::duration<double, std::milli>(inbox.times[i] - t0).count());
        ASSERT_EQ(inbox.chunks[i].size(), 16u);
        EXPECT_EQ(SCP_GetData(inbox.chunks[i].data()), 200.0f);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("[ measured ] wire round trip: min %.3f ms, median %.3f ms, max %.3f ms\n", ms.front(),
                ms[ms.size() / 2], ms.back());
    // The line model never delivers early: 32 bytes at 86.8 us each.
    EXPECT_GE(ms.front(), 2.7);
}

// A sleep that always ends 3 ms late (a coarse system timer) must not stretch
// the line: the port learns it and yields through the short waits instead.
std::atomic<int> g_nLateSleeps{0};
void LateSleep(std::chrono::nanoseconds d)
{
    ++g_nLateSleeps;
    const auto tEnd = Clock::now() + d + std::chrono::milliseconds(3);
    while (Clock::now() < tEnd)
        std::this_thread::yield();
}

TEST(SimPort, LateSleepsAreLearntAndTheLineKeepsItsTime)
{
    CSimUnit unit;
    CSimPort port(unit, &LateSleep);
    Inbox inbox;
    ASSERT_TRUE(port.Start(inbox.Receiver()));
    const auto request = Get(1, 31);
    int nSleepsEarly = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        if (i == 10)
            nSleepsEarly = g_nLateSleeps;
        const auto t0 = Clock::now();
        port.Write(request.data(), 16);
        ASSERT_TRUE(inbox.WaitFor(i + 1, std::chrono::seconds(2)));
        EXPECT_GE(inbox.times[i] - t0, std::chrono::microseconds(2700)) << "round trip " << i;
    }
    EXPECT_GT(nSleepsEarly, 0);                  // it did try to sleep
    EXPECT_EQ(g_nLateSleeps.load(), nSleepsEarly); // and soon gave that up
}

TEST(SimPort, InstantTimingAndInjectedDelay)
{
    CSimUnit unit(CSimUnit::Options{false, 1, ESimTiming::Instant});
    CSimPort port(unit);
    Inbox inbox;
    port.Start(inbox.Receiver());
    const auto request = Get(0, 0);
    unit.DelayReplies(1, 120);
    unit.GarbageBeforeReply(3);
    const auto t0 = Clock::now();
    port.Write(request.data(), 16);
    ASSERT_TRUE(inbox.WaitFor(2, std::chrono::seconds(5)));
    EXPECT_EQ(inbox.chunks[0].size(), 3u); // the garbage comes first, on its own
    EXPECT_EQ(inbox.chunks[1].size(), 16u);
    EXPECT_GE(inbox.times[1] - t0, std::chrono::milliseconds(120));
}

TEST(SimPort, CloseInterruptsALongEraseAndSilencesTheReceiver)
{
    CSimUnit unit; // wire timing: this erase takes about 10 s
    CSimPort port(unit);
    std::atomic<int> nCalls{0};
    std::atomic<bool> bClosed{false};
    std::atomic<bool> bLate{false};
    port.Start([&](const std::uint8_t*, std::size_t) {
        ++nCalls;
        if (bClosed)
            bLate = true;
    });
    std::array<std::uint8_t, 16> erase;
    SCP_GenerateRAW(erase.data(), 6, 0, CSimUnit::PROGRAM_BASE, CSimUnit::PROGRAM_SIZE);
    port.Write(erase.data(), 16);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto t0 = Clock::now();
    port.Close();
    bClosed = true;
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(2));
    EXPECT_FALSE(port.IsOpen());
    port.Write(erase.data(), 16); // ignored once closed
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(nCalls.load(), 0);
    EXPECT_FALSE(bLate);
    EXPECT_EQ(unit.ReadMemory(CSimUnit::PROGRAM_BASE), 0xFFFFFFFFu);

    // The same unit serves a new session.
    Inbox inbox;
    ASSERT_TRUE(port.Start(inbox.Receiver()));
    const auto request = Get(5, 23);
    port.Write(request.data(), 16);
    ASSERT_TRUE(inbox.WaitFor(1, std::chrono::seconds(2)));
    EXPECT_EQ(SCP_GetData(inbox.chunks[0].data()), 500.0f);
}
