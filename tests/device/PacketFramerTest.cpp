// Reply framing of the link library: whole replies out of any chunking,
// resynchronisation after garbage, stale partial packets dropped after a
// gap, and no packet made of two others.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "device/link/PacketFramer.h"
#include "device/link/ReplyMatch.h"
#include "protocol/QVRSCP.h"

namespace {
using Packet = std::array<std::uint8_t, 16>;

struct Collector {
    std::vector<Packet> packets;
    static void Sink(void* pContext, const std::uint8_t* p)
    {
        Packet packet;
        std::copy(p, p + 16, packet.begin());
        static_cast<Collector*>(pContext)->packets.push_back(packet);
    }
};

Packet Data(std::uint8_t bChannel, std::uint8_t bParameter, std::uint32_t dwValue)
{
    Packet p{};
    SCP_GenerateDATA(p.data(), bChannel, bParameter, dwValue);
    return p;
}

Packet Reply(std::uint8_t bCommand, std::uint32_t dwUWord, std::uint32_t dwLWord)
{
    Packet p{};
    SCP_GenerateREPLY(p.data(), bCommand, 0, dwUWord, dwLWord);
    return p;
}

Packet Request(bool bSet, std::uint8_t bChannel, std::uint8_t bParameter)
{
    Packet p{};
    if (bSet)
        SCP_GenerateSET(p.data(), bChannel, bParameter, 1.5f, 0);
    else
        SCP_GenerateGET(p.data(), bChannel, bParameter, 0);
    p[15] = SCP_BuildChecksum(p.data());
    return p;
}

Packet Raw(std::uint8_t bCommand, std::uint32_t dwUWord)
{
    Packet p{};
    SCP_GenerateRAW(p.data(), bCommand, 0, dwUWord, 0);
    return p;
}

std::vector<std::uint8_t> Concat(std::initializer_list<Packet> packets)
{
    std::vector<std::uint8_t> bytes;
    for (const Packet& p : packets)
        bytes.insert(bytes.end(), p.begin(), p.end());
    return bytes;
}
} // namespace

TEST(PacketFramer, DeliversWholeRepliesWhateverTheChunking)
{
    const std::vector<std::uint8_t> stream =
        Concat({Data(0, 23, 0x43480000), Reply(11, 0, 0x00A50000), Data(5, 31, 0xC0400000)});
    for (std::size_t nChunk : {1u, 3u, 7u, 16u, 17u, 48u}) {
        CPacketFramer framer;
        Collector out;
        for (std::size_t i = 0; i < stream.size(); i += nChunk)
            framer.Feed(stream.data() + i, std::min(nChunk, stream.size() - i), 1000, &Collector::Sink, &out);
        ASSERT_EQ(out.packets.size(), 3u) << "chunk " << nChunk;
        EXPECT_EQ(out.packets[0], Data(0, 23, 0x43480000));
        EXPECT_EQ(out.packets[1], Reply(11, 0, 0x00A50000));
        EXPECT_EQ(out.packets[2], Data(5, 31, 0xC0400000));
        EXPECT_EQ(framer.PendingBytes(), 0u);
        EXPECT_EQ(framer.DroppedBytes(), 0u);
    }
}

TEST(PacketFramer, ResynchronisesAfterGarbageAndIgnoresRequestsOnTheLine)
{
    std::mt19937 rng(7);
    std::vector<std::uint8_t> stream;
    for (int i = 0; i < 37; ++i)
        stream.push_back(static_cast<std::uint8_t>(rng()));
    const Packet echo = Request(true, 2, 5); // a request is not a reply
    stream.insert(stream.end(), echo.begin(), echo.end());
    const Packet good = Data(3, 12, 0x4F000000);
    stream.insert(stream.end(), good.begin(), good.end());

    CPacketFramer framer;
    Collector out;
    framer.Feed(stream.data(), stream.size(), 5, &Collector::Sink, &out);
    ASSERT_EQ(out.packets.size(), 1u);
    EXPECT_EQ(out.packets[0], good);
    EXPECT_EQ(framer.DroppedBytes(), 37u + 16u);
}

TEST(PacketFramer, CorruptedReplyIsDroppedAndTheNextOneStillArrives)
{
    Packet bad = Data(1, 2, 0x3F800000);
    bad[6] ^= 0x10;
    const Packet good = Reply(13, 0x0203, 0xC1000000);
    const std::vector<std::uint8_t> stream = Concat({bad, good});
    CPacketFramer framer;
    Collector out;
    framer.Feed(stream.data(), stream.size(), 0, &Collector::Sink, &out);
    ASSERT_EQ(out.packets.size(), 1u);
    EXPECT_EQ(out.packets[0], good);
}

TEST(PacketFramer, PartialPacketIsDiscardedAfterAGap)
{
    const Packet first = Data(0, 1, 0x11111111);
    const Packet second = Data(0, 2, 0x22222222);
    CPacketFramer framer(50);
    Collector out;
    framer.Feed(first.data(), 9, 100, &Collector::Sink, &out); // the rest never comes
    EXPECT_EQ(framer.PendingBytes(), 9u);
    framer.Feed(second.data(), 16, 100 + 51, &Collector::Sink, &out);
    ASSERT_EQ(out.packets.size(), 1u);
    EXPECT_EQ(out.packets[0], second);
    EXPECT_EQ(framer.DroppedBytes(), 9u);

    // Within the gap the pieces of one packet join up.
    framer.Feed(first.data(), 5, 300, &Collector::Sink, &out);
    framer.Feed(first.data() + 5, 11, 340, &Collector::Sink, &out);
    ASSERT_EQ(out.packets.size(), 2u);
    EXPECT_EQ(out.packets[1], first);
}

// Every way of cutting a packet short and following it with a whole one
// yields exactly the whole one: never a packet glued from two.
TEST(PacketFramer, NeverDeliversATornPacket)
{
    std::mt19937 rng(11);
    int nChecked = 0;
    for (int nRound = 0; nRound < 400; ++nRound) {
        const Packet a = rng() % 2 ? Data(rng() % 6, rng() % 32, rng()) : Reply(rng() % 14, rng(), rng());
        const Packet b = rng() % 2 ? Data(rng() % 6, rng() % 32, rng()) : Reply(rng() % 14, rng(), rng());
        for (std::size_t nCut = 1; nCut < 16; ++nCut) {
            std::vector<std::uint8_t> stream(a.begin(), a.begin() + static_cast<long>(nCut));
            stream.insert(stream.end(), b.begin(), b.end());
            CPacketFramer framer;
            Collector out;
            framer.Feed(stream.data(), stream.size(), 0, &Collector::Sink, &out);
            for (const Packet& p : out.packets) {
                EXPECT_TRUE(p == b) << "round " << nRound << " cut " << nCut;
                ++nChecked;
            }
        }
    }
    EXPECT_GT(nChecked, 0);
}

TEST(ReplyMatch, RepliesAnswerOnlyTheirOwnRequest)
{
    const Packet get = Request(false, 2, 23);
    const Packet set = Request(true, 2, 23);
    EXPECT_TRUE(IsReplyToRequest(Data(2, 23, 1).data(), get.data()));
    EXPECT_FALSE(IsReplyToRequest(Data(2, 22, 1).data(), get.data()));
    EXPECT_FALSE(IsReplyToRequest(Data(3, 23, 1).data(), get.data()));
    EXPECT_FALSE(IsReplyToRequest(Data(2, 23, 1).data(), set.data()));

    Packet ack{};
    SCP_GenerateACK(ack.data(), set.data());
    EXPECT_TRUE(IsReplyToRequest(ack.data(), set.data()));
    EXPECT_FALSE(IsReplyToRequest(ack.data(), get.data()));

    Packet nack{};
    SCP_GenerateNACK(nack.data(), get.data(), SCP_NACK_BUSY);
    EXPECT_TRUE(IsReplyToRequest(nack.data(), get.data()));
    EXPECT_FALSE(IsReplyToRequest(nack.data(), set.data()));

    // Memory reads differ only in the address: a reply for one word is not
    // the reply for the next.
    const Packet read0 = Raw(1, 0x90060000);
    const Packet read4 = Raw(1, 0x90060004);
    EXPECT_TRUE(IsReplyToRequest(Reply(1, 0x90060000, 7).data(), read0.data()));
    EXPECT_FALSE(IsReplyToRequest(Reply(1, 0x90060000, 7).data(), read4.data()));
    EXPECT_FALSE(IsReplyToRequest(Reply(4, 0x90060000, 7).data(), read0.data()));
    // The revision query answers with a date in UWord.
    EXPECT_TRUE(IsReplyToRequest(Reply(10, 0x14150400, 0x00050001).data(), Raw(10, 0).data()));
}
