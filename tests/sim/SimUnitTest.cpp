// The simulated unit: every request kind, flash rules, stored settings,
// faults, the byte-stream front end, the registry and the control language.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "protocol/QVRSCP.h"
#include "sim/SimControl.h"
#include "sim/SimMeter.h"
#include "sim/SimRegistry.h"
#include "sim/SimUnit.h"

namespace {

using Packet = std::array<std::uint8_t, 16>;

Packet Raw(std::uint8_t cmd, std::uint32_t u, std::uint32_t l, std::uint32_t iter = 0)
{
    Packet p;
    SCP_GenerateRAW(p.data(), cmd, iter, u, l);
    return p;
}

Packet Get(std::uint8_t c, std::uint8_t p)
{
    Packet b;
    SCP_GenerateGET(b.data(), c, p, 0);
    b[15] = SCP_BuildChecksum(b.data());
    return b;
}

Packet Set(std::uint8_t c, std::uint8_t p, float v)
{
    Packet b;
    SCP_GenerateSET(b.data(), c, p, v, 1);
    b[15] = SCP_BuildChecksum(b.data());
    return b;
}

std::uint32_t Bits(float f)
{
    std::uint32_t dw;
    std::memcpy(&dw, &f, 4);
    return dw;
}

class SimUnitTest : public ::testing::Test {
protected:
    CSimUnit unit{CSimUnit::Options{false, 1, ESimTiming::Instant}};

    // Sends one request; expects exactly one valid 16-byte reply.
    Packet Ask(const Packet& request)
    {
        const auto replies = unit.Process(request.data(), request.size());
        EXPECT_EQ(replies.size(), 1u);
        Packet reply{};
        if (replies.size() == 1 && replies[0].bytes.size() == 16) {
            std::copy(replies[0].bytes.begin(), replies[0].bytes.end(), reply.begin());
            EXPECT_TRUE(SCP_IsValidChecksum(reply.data(), reply[15]));
        }
        return reply;
    }
    std::uint32_t LWord(const Packet& p) { return SCP_GetWord(p.data(), 11); }
};

} // namespace

TEST_F(SimUnitTest, FreshUnitReadsBackFactoryDefaults)
{
    EXPECT_EQ(SCP_GetData(Ask(Get(0, 0)).data()), 30.0f);
    EXPECT_EQ(SCP_GetData(Ask(Get(4, 1)).data()), 0.707f);
    EXPECT_EQ(SCP_GetData(Ask(Get(2, 23)).data()), 200.0f);
    EXPECT_EQ(SCP_GetData(Ask(Get(5, 23)).data()), 500.0f);
    EXPECT_EQ(SCP_GetData(Ask(Get(1, 16)).data()), 800.0f);
    EXPECT_EQ(SCP_GetWord(Ask(Get(3, 30)).data(), 4), 0u);
    for (int b = 0; b < 4; ++b)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(LWord(Ask(Raw(13, static_cast<std::uint32_t>(b + 256 * i), 0))), Bits(-8.0f));
    EXPECT_EQ(LWord(Ask(Raw(11, 0, 0))), 0x00A50000u);
    EXPECT_EQ(LWord(Ask(Raw(1, CSimUnit::TEXT_BASE, 0))), 0xFFFFFFFFu);
}

TEST_F(SimUnitTest, GetSetAndRangeChecks)
{
    const Packet ack = Ask(Set(3, 31, -3.0f));
    EXPECT_TRUE(SCP_IsAck(ack.data()));
    EXPECT_EQ(unit.GetParameterFloat(3, 31), -3.0f);
    const Packet data = Ask(Get(3, 31));
    EXPECT_TRUE(SCP_IsData(data.data()));
    EXPECT_EQ(data[2], 3);
    EXPECT_EQ(data[3], 31);
    EXPECT_EQ(SCP_GetData(data.data()), -3.0f);

    const Packet badChannel = Ask(Get(6, 0));
    EXPECT_TRUE(SCP_IsNack(badChannel.data()));
    EXPECT_EQ(badChannel[1], SCP_NACK_BAD_CHANNEL);
    EXPECT_EQ(Ask(Set(0, 32, 1.0f))[1], SCP_NACK_BAD_PARAMETER);
    EXPECT_EQ(Ask(Set(0, 12, 1.0f))[1], SCP_NACK_READ_ONLY);
    EXPECT_EQ(Ask(Raw(7, 4, 0))[1], SCP_NACK_BAD_ADDRESS);         // bank 4
    EXPECT_EQ(Ask(Raw(13, 0x10000, 0))[1], SCP_NACK_BAD_ADDRESS);  // byte 2 set
    EXPECT_EQ(Ask(Raw(1, CSimUnit::MEMORY_END, 0))[1], SCP_NACK_BAD_ADDRESS);
    EXPECT_EQ(Ask(Raw(1, CSimUnit::PROGRAM_BASE - 4, 0))[1], SCP_NACK_BAD_ADDRESS);
    EXPECT_EQ(Ask(Raw(4, CSimUnit::TEXT_BASE + 2, 0))[1], SCP_NACK_BAD_ADDRESS);
    EXPECT_EQ(Ask(Raw(6, CSimUnit::TEXT_BASE, CSimUnit::TEXT_SIZE + 4))[1], SCP_NACK_BAD_ADDRESS);
    EXPECT_EQ(unit.GetStats().nNack, 9u);
    EXPECT_EQ(unit.GetStats().nRawByCommand[13], 1u);
}

TEST_F(SimUnitTest, RawCommandsAnswerWithTheirWords)
{
    // 7 then 13: output (bank 2, index 0) = Left Low.
    Packet r = Ask(Raw(7, 2, Bits(-9.0f), 0x55));
    EXPECT_TRUE(SCP_IsCommandReply(r.data()));
    EXPECT_EQ(r[2], 7);
    EXPECT_EQ(SCP_GetWord(r.data(), 3), 0x55u);
    EXPECT_EQ(unit.GetOutputFloat(2, 0), -9.0f);
    r = Ask(Raw(13, 2, 0));
    EXPECT_EQ(SCP_GetWord(r.data(), 7), 2u);
    EXPECT_EQ(LWord(r), Bits(-9.0f));
    EXPECT_EQ(unit.GetOutputFloat(0, 2), -8.0f); // (0, 2) is another output

    // 10: revision 1.5 of 15/04/2014 as the About box decodes it.
    r = Ask(Raw(10, 0, 0));
    const std::uint32_t l = LWord(r), u = SCP_GetWord(r.data(), 7);
    EXPECT_EQ((l & 0xFF) | ((l >> 8) & 0xFF), 1u);
    EXPECT_EQ(((l >> 16) & 0xFF) | (l >> 24), 5u);
    EXPECT_EQ((u >> 16) & 0xFF, 0x15u); // day
    EXPECT_EQ((u >> 8) & 0xFF, 0x04u);  // month
    EXPECT_EQ(u >> 24, 0x14u);          // year

    // Unknown commands are echoed and change nothing.
    for (std::uint8_t cmd : {0, 2, 5, 8, 9, 12, 14, 255}) {
        r = Ask(Raw(cmd, 0x90060000, 7, 3));
        EXPECT_TRUE(SCP_IsCommandReply(r.data()));
        EXPECT_EQ(r[1], 0);
        EXPECT_EQ(r[2], cmd);
        EXPECT_EQ(SCP_GetWord(r.data(), 3), 3u);
        EXPECT_EQ(SCP_GetWord(r.data(), 7), 0x90060000u);
        EXPECT_EQ(LWord(r), 7u);
    }
    EXPECT_EQ(unit.ReadMemory(CSimUnit::TEXT_BASE), 0xFFFFFFFFu);

    // 11: write then read; bit 1 belongs to the hardware.
    r = Ask(Raw(11, 1, 0x00A50005));
    EXPECT_EQ(LWord(r), 0x00A50005u);
    unit.SetNoLeftRightCenter(true);
    EXPECT_EQ(LWord(Ask(Raw(11, 0, 0))), 0x00A50007u);
    EXPECT_EQ(LWord(Ask(Raw(11, 1, 0x4))), 0x6u);
    unit.SetNoLeftRightCenter(false);
    EXPECT_EQ(LWord(Ask(Raw(11, 1, 0x2))), 0x0u);
}

TEST_F(SimUnitTest, FlashWritesOnlyClearBitsUntilErased)
{
    const std::uint32_t a = CSimUnit::TEXT_BASE + 0x54;
    EXPECT_EQ(LWord(Ask(Raw(4, a, 0x12345678))), 0x12345678u);
    EXPECT_EQ(LWord(Ask(Raw(4, a, 0xFFFF0000))), 0x12340000u); // no bit comes back
    EXPECT_EQ(LWord(Ask(Raw(1, a, 0))), 0x12340000u);
    Ask(Raw(4, a + 4, 0));
    Ask(Raw(4, CSimUnit::TEXT_BASE - 4, 0)); // last program word

    Ask(Raw(6, CSimUnit::TEXT_BASE, 0x58)); // erases a and stops before a + 4
    EXPECT_EQ(unit.ReadMemory(a), 0xFFFFFFFFu);
    EXPECT_EQ(unit.ReadMemory(a + 4), 0u);
    EXPECT_EQ(unit.ReadMemory(CSimUnit::TEXT_BASE - 4), 0u);
    Ask(Raw(6, CSimUnit::TEXT_BASE + 0x58, 1)); // a partial word erases the whole word
    EXPECT_EQ(unit.ReadMemory(a + 4), 0xFFFFFFFFu);
    Ask(Raw(6, CSimUnit::PROGRAM_BASE, CSimUnit::PROGRAM_SIZE + CSimUnit::TEXT_SIZE)); // all of it
    EXPECT_EQ(unit.ReadMemory(CSimUnit::TEXT_BASE - 4), 0xFFFFFFFFu);

    // A stuck bit stays set through every write, and the reply says so; the
    // neighbours and other bits of the word are written as usual.  Healing
    // the word, or clearing the faults, lets the next write through.
    const std::uint32_t p = CSimUnit::PROGRAM_BASE + 0x100;
    EXPECT_FALSE(unit.StickBits(p + 2, 1));
    ASSERT_TRUE(unit.StickBits(p, 0x00000100));
    EXPECT_EQ(LWord(Ask(Raw(4, p, 0x12345678))), 0x12345778u);
    EXPECT_EQ(LWord(Ask(Raw(4, p, 0))), 0x00000100u);
    EXPECT_EQ(LWord(Ask(Raw(4, p + 4, 0))), 0u);
    unit.StickBits(p, 0);
    EXPECT_EQ(LWord(Ask(Raw(4, p, 0))), 0u);
    unit.StickBits(p + 4, 0xFFFFFFFF);
    unit.ClearFaults();
    Ask(Raw(6, p + 4, 4));
    EXPECT_EQ(LWord(Ask(Raw(4, p + 4, 0x5A5A5A5A))), 0x5A5A5A5Au);
}

TEST_F(SimUnitTest, EraseAndStoreTakeTimeOnlyInWireTiming)
{
    const auto delayOf = [&](const Packet& p) { return unit.Process(p.data(), 16).at(0).delay; };
    EXPECT_EQ(delayOf(Raw(6, CSimUnit::PROGRAM_BASE, CSimUnit::PROGRAM_SIZE)).count(), 0);
    unit.SetTiming(ESimTiming::Wire);
    const auto program = delayOf(Raw(6, CSimUnit::PROGRAM_BASE, CSimUnit::PROGRAM_SIZE));
    const auto text = delayOf(Raw(6, CSimUnit::TEXT_BASE, CSimUnit::TEXT_SIZE));
    EXPECT_EQ(program, text * 6);
    EXPECT_GT(program, std::chrono::seconds(5));
    EXPECT_LT(program, std::chrono::seconds(15)); // well inside the host's 20 s
    EXPECT_GT(delayOf(Raw(3, 0, 0)), std::chrono::microseconds(0));
    EXPECT_LT(delayOf(Raw(3, 0, 0)), std::chrono::milliseconds(500));
    EXPECT_EQ(delayOf(Get(0, 0)).count(), 0);
}

TEST_F(SimUnitTest, StoreSurvivesPowerCycleAndUnstoredChangesDoNot)
{
    Ask(Set(0, 31, -2.0f));
    Ask(Raw(7, 0x0301, Bits(-5.0f)));
    Ask(Raw(11, 1, 0x00A50004));
    Ask(Raw(4, CSimUnit::TEXT_BASE, 1));
    Ask(Raw(3, 0, 0));
    Ask(Set(0, 31, -6.0f));
    Ask(Raw(11, 1, 0x00A50001));
    EXPECT_EQ(unit.GetStoredSettings().params[0][31], Bits(-2.0f));

    unit.PowerCycle();
    EXPECT_EQ(unit.GetParameterFloat(0, 31), -2.0f);
    EXPECT_EQ(unit.GetOutputFloat(1, 3), -5.0f);
    EXPECT_EQ(unit.GetFlags(), 0x00A50004u);
    EXPECT_EQ(unit.ReadMemory(CSimUnit::TEXT_BASE), 1u); // flash keeps its content

    unit.FactoryReset();
    EXPECT_EQ(unit.GetParameterFloat(0, 31), 0.0f);
    EXPECT_EQ(unit.ReadMemory(CSimUnit::TEXT_BASE), 0xFFFFFFFFu);
    EXPECT_EQ(unit.GetStats().nRequests, 0u);
}

TEST_F(SimUnitTest, FaultsAffectTheNextRepliesOnly)
{
    const Packet get = Get(0, 0);
    unit.CorruptReplies(2);
    for (int i = 0; i < 2; ++i) {
        const auto r = unit.Process(get.data(), 16);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_FALSE(SCP_IsValidChecksum(r[0].bytes.data(), r[0].bytes[15]));
    }
    Ask(get); // the third is sound

    unit.DropReplies(1);
    EXPECT_TRUE(unit.Process(Set(0, 0, 50.0f).data(), 16).empty());
    EXPECT_EQ(unit.GetParameterFloat(0, 0), 50.0f); // carried out all the same

    unit.NackRequests(1);
    EXPECT_EQ(Ask(Set(0, 0, 60.0f))[1], SCP_NACK_BUSY);
    EXPECT_EQ(unit.GetParameterFloat(0, 0), 50.0f); // refused: nothing done

    unit.DelayReplies(1, 700);
    EXPECT_EQ(unit.Process(get.data(), 16).at(0).delay, std::chrono::milliseconds(700));
    EXPECT_EQ(unit.Process(get.data(), 16).at(0).delay.count(), 0);

    unit.GarbageBeforeReply(5);
    auto r = unit.Process(get.data(), 16);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].bytes.size(), 5u);
    EXPECT_EQ(r[1].bytes.size(), 16u);

    unit.ShortReplies(1, 6);
    EXPECT_EQ(unit.Process(get.data(), 16).at(0).bytes.size(), 6u);

    unit.Unplug();
    EXPECT_TRUE(unit.Process(Set(0, 0, 70.0f).data(), 16).empty());
    EXPECT_EQ(unit.GetParameterFloat(0, 0), 50.0f);
    unit.Plug();
    Ask(get);

    const SimStats s = unit.GetStats();
    EXPECT_EQ(s.nDropped, 1u);
    EXPECT_EQ(s.nSetBy[0][0], 2u); // the unplugged SET never arrived
    const auto log = unit.GetLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().bAnswer, SCP_TYPE_DATA);
}

TEST_F(SimUnitTest, ByteStreamResynchronisesAndIgnoresBadPackets)
{
    const Packet a = Get(1, 0), b = Set(1, 0, 99.0f);
    std::vector<std::uint8_t> bytes = {0x25, 0x00, 0x0B, 0x53}; // junk
    bytes.insert(bytes.end(), a.begin(), a.end());
    Packet bad = b;
    bad[6] ^= 0x40; // corrupted on the way: no answer
    bytes.insert(bytes.end(), bad.begin(), bad.end());
    bytes.insert(bytes.end(), b.begin(), b.end());
    std::size_t nReplies = 0;
    const auto t = CSimUnit::Clock::now();
    for (std::size_t i = 0; i < bytes.size(); i += 5)
        nReplies += unit.Receive(bytes.data() + i, std::min<std::size_t>(5, bytes.size() - i), t).size();
    EXPECT_EQ(nReplies, 2u);
    EXPECT_EQ(unit.GetParameterFloat(1, 0), 99.0f);
    EXPECT_EQ(unit.GetStats().nJunkBytes, 20u);

    // A short packet followed by a pause is thrown away, not joined to the next.
    EXPECT_TRUE(unit.Receive(a.data(), 9, t).empty());
    EXPECT_EQ(unit.Receive(a.data(), 16, t + std::chrono::milliseconds(50)).size(), 1u);
    // Whole-packet entry refuses anything that is not one valid request.
    EXPECT_TRUE(unit.Process(a.data(), 15).empty());
    EXPECT_TRUE(unit.Process(bad.data(), 16).empty());
    EXPECT_EQ(unit.GetStats().nRejected, 2u);
}

TEST_F(SimUnitTest, MeterLevelsWanderInTheProgrammeRange)
{
    CSimMeter meter(42);
    for (int c = 0; c < 6; ++c) {
        int nInRange = 0, nSteps = 0;
        double dMin = 100, dMax = -100;
        for (double t = 0; t < 120; t += 0.5, ++nSteps) {
            const double db = meter.LevelDb(c, t);
            nInRange += db >= -12.5 && db <= 2.5;
            dMin = std::min(dMin, db);
            dMax = std::max(dMax, db);
        }
        EXPECT_GT(nInRange, nSteps * 3 / 4) << "channel " << c;
        EXPECT_GT(dMax - dMin, 6.0) << "channel " << c; // it moves
        EXPECT_NE(meter.LevelDb(c, 10.0), meter.LevelDb((c + 1) % 6, 10.0));
        EXPECT_EQ(meter.LevelDb(c, 33.3), CSimMeter(42).LevelDb(c, 33.3)); // deterministic
    }
    EXPECT_NEAR(CSimMeter::ValueToDb(CSimMeter::DbToValue(-1.0)), -1.0, 1e-4);
    EXPECT_NEAR(CSimMeter::DbToValue(29.0), 2147483392.0f, 256.0f);

    unit.SetMeterLevel(2, -1.0);
    const float v = SCP_GetData(Ask(Get(2, 12)).data());
    EXPECT_NEAR(20.0 * std::log10(v / 2147483392.0) + 29.0, -1.0, 1e-4);
}

TEST(SimRegistry, NamedUnitOutlivesItsUsers)
{
    EXPECT_FALSE(HasSharedSimUnit("registry-test"));
    GetSharedSimUnit("registry-test").SetParameterFloat(0, 31, -4.0f);
    EXPECT_TRUE(HasSharedSimUnit("registry-test"));
    EXPECT_EQ(GetSharedSimUnit("registry-test").GetParameterFloat(0, 31), -4.0f);
    EXPECT_NE(&GetSharedSimUnit("registry-test"), &GetSharedSimUnit("registry-other"));
}

TEST(SimControl, CommandsReadAndSteerTheUnit)
{
    CSimUnit unit;
    CSimControl control(unit);
    EXPECT_EQ(control.Execute("get param 2 23"), "OK 0x43480000 200");
    EXPECT_EQ(control.Execute("set param 0 13 0x00010000"), "OK");
    EXPECT_EQ(unit.GetParameter(0, 13), 0x00010000u);
    EXPECT_EQ(control.Execute("set param 0 31 -3.5"), "OK");
    EXPECT_EQ(control.Execute("get param 0 31"), "OK 0xC0600000 -3.5");
    EXPECT_EQ(control.Execute("get stored param 0 31"), "OK 0x00000000 0");
    EXPECT_EQ(control.Execute("get output 1 3"), "OK 0xC1000000 -8");
    EXPECT_EQ(control.Execute("get flags"), "OK 0x00A50000");
    EXPECT_EQ(control.Execute("nolcr on"), "OK 0x00A50002");
    EXPECT_EQ(control.Execute("get mem 0x90060000 2"), "OK 0xFFFFFFFF 0xFFFFFFFF");
    EXPECT_EQ(control.Execute("set level 3 -1"), "OK");
    EXPECT_EQ(control.Execute("get level 3"), "OK -1.00");
    EXPECT_EQ(control.Execute("short 1 4"), "OK");
    EXPECT_EQ(control.Execute("count cmd 11"), "OK 0");
    EXPECT_EQ(control.Execute("stuck 0x90000010 0x80"), "OK");
    const Packet write = Raw(4, 0x90000010u, 0);
    unit.Process(write.data(), write.size());
    EXPECT_EQ(control.Execute("get mem 0x90000010"), "OK 0x00000080");

    for (const char* bad : {"get param 6 0", "get param 0 32", "set param 0 0 abc", "get mem 0x10 1", "drop -1",
                            "frobnicate", "", "get", "delay 1", "timing fast", "set level 0 nan", "stuck 0x90000011 1",
                            "stuck 0x10 1", "stuck 0x90000000"})
        EXPECT_EQ(control.Execute(bad).rfind("ERR ", 0), 0u) << bad;

    bool bQuit = false;
    EXPECT_EQ(control.Execute("ping", &bQuit), "OK pong");
    EXPECT_FALSE(bQuit);
    EXPECT_EQ(control.Execute("quit", &bQuit), "OK bye");
    EXPECT_TRUE(bQuit);
}
