// The reply hand-off between the link's receive thread and the queue's
// worker: a reply is taken only by the attempt that was open when it came.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "device/link/ReplySlot.h"
#include "protocol/QVRSCP.h"

namespace {

struct Packet {
    unsigned char b[16] = {};
};

Packet Get(unsigned char bChannel, unsigned char bParameter)
{
    Packet p;
    SCP_GenerateGET(p.b, bChannel, bParameter, 0);
    p.b[15] = SCP_BuildChecksum(p.b);
    return p;
}

Packet Data(unsigned char bChannel, unsigned char bParameter, std::uint32_t dwValue)
{
    Packet p;
    SCP_GenerateDATA(p.b, bChannel, bParameter, dwValue);
    p.b[15] = SCP_BuildChecksum(p.b);
    return p;
}

std::uint32_t ValueOf(const unsigned char* pReply) { return SCP_GetWord(pReply, 4); }

} // namespace

TEST(ReplySlot, OneReplyPerAttemptAndOnlyForTheAttemptItCameIn)
{
    CReplySlot slot;
    unsigned char reply[16];
    EXPECT_EQ(slot.Offer(Data(0, 12, 1).b), 0u) << "nobody waits";

    const std::uint64_t a = slot.Open(Get(0, 12).b);
    EXPECT_TRUE(slot.IsOpen());
    EXPECT_FALSE(slot.Take(a, reply, false)) << "nothing yet";
    EXPECT_TRUE(slot.IsOpen());
    EXPECT_EQ(slot.Offer(Data(1, 12, 7).b), 0u) << "another channel's reply";
    EXPECT_EQ(slot.Offer(Data(0, 12, 2).b), a);
    EXPECT_FALSE(slot.IsOpen());
    EXPECT_EQ(slot.Offer(Data(0, 12, 3).b), 0u) << "a second packet does not replace the first";
    ASSERT_TRUE(slot.Take(a, reply, true));
    EXPECT_EQ(ValueOf(reply), 2u);
    EXPECT_FALSE(slot.Take(a, reply, true)) << "taken once";

    // An attempt that timed out: what comes afterwards is nobody's, and the
    // next attempt does not see it.
    const std::uint64_t b = slot.Open(Get(0, 12).b);
    EXPECT_FALSE(slot.Take(b, reply, true));
    EXPECT_EQ(slot.Offer(Data(0, 12, 4).b), 0u);
    const std::uint64_t c = slot.Open(Get(0, 12).b);
    EXPECT_GT(c, b);
    EXPECT_FALSE(slot.Take(c, reply, false));
    EXPECT_FALSE(slot.Take(b, reply, false)) << "an earlier attempt's number takes nothing";

    // A reply that came just as the wait ended is still this attempt's.
    EXPECT_EQ(slot.Offer(Data(0, 12, 5).b), c);
    const std::uint64_t d = slot.Open(Get(0, 12).b);
    EXPECT_FALSE(slot.Take(c, reply, true)) << "dropped when the next attempt opened";
    EXPECT_FALSE(slot.Take(d, reply, false));

    // A packet with a bad checksum is passed on whatever it looks like: the
    // worker answers it by sending again.
    Packet bad = Data(5, 31, 9);
    bad.b[15] ^= 0xFF;
    EXPECT_EQ(slot.Offer(bad.b), d);
    ASSERT_TRUE(slot.Take(d, reply, true));
    EXPECT_EQ(0, std::memcmp(reply, bad.b, 16));
}

// Thousands of attempts of one request (all replies look alike to the
// protocol), with the replies coming at random moments around the time-out:
// before the attempt opened, while it is open, as it closes and after the
// next attempt opened.  Every reply the worker takes must be one that came
// while its own attempt was open.
TEST(ReplySlot, LateRepliesAreNeverTakenForAnotherAttemptWhateverTheTiming)
{
    constexpr int kAttempts = 20000;
    CReplySlot slot;
    const Packet request = Get(2, 23);
    std::atomic<bool> bDone{false};
    std::vector<std::uint64_t> acceptedFor(2 * kAttempts + 8, 0); // value -> attempt it was taken for

    std::thread replier([&] {
        std::mt19937 rng(500);
        std::uint32_t dwValue = 1;
        while (!bDone.load()) {
            // A reply at a random moment: while an attempt is open, as it
            // closes, or after the next one opened.
            for (int i = static_cast<int>(rng() % 64); i > 0; --i)
                std::this_thread::yield();
            if (dwValue >= acceptedFor.size())
                break;
            acceptedFor[dwValue] = slot.Offer(Data(2, 23, dwValue).b);
            ++dwValue;
        }
    });

    std::mt19937 rng(7);
    std::map<std::uint32_t, std::uint64_t> taken; // value -> attempt that took it
    int nReplied = 0;
    for (int k = 0; k < kAttempts; ++k) {
        const std::uint64_t n = slot.Open(request.b);
        for (int i = static_cast<int>(rng() % 64); i > 0; --i)
            std::this_thread::yield();
        unsigned char reply[16];
        // Sometimes the worker looks before the time-out ends (woken by a
        // stale signal), then closes.
        bool bGot = (rng() % 4 == 0) && slot.Take(n, reply, false);
        if (!bGot)
            bGot = slot.Take(n, reply, true);
        if (bGot) {
            const std::uint32_t v = ValueOf(reply);
            ASSERT_TRUE(taken.emplace(v, n).second) << "value " << v << " taken twice";
            ++nReplied;
        }
    }
    bDone = true;
    replier.join();
    for (const auto& [v, n] : taken)
        ASSERT_EQ(acceptedFor[v], n) << "the reply " << v << " was taken by attempt " << n << " but came in attempt "
                                     << acceptedFor[v];
    // Both outcomes happened many times, or the test proved nothing.
    EXPECT_GT(nReplied, kAttempts / 20);
    EXPECT_LT(nReplied, kAttempts);
}
