// Packet codec: layouts, checksum strength, classification, stream framing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "protocol/QVRSCP.h"
#include "protocol/ScpFramer.h"

namespace {

using Packet = std::array<unsigned char, 16>;

Packet Get(unsigned char c, unsigned char p, int follow = 0)
{
    Packet b;
    SCP_GenerateGET(b.data(), c, p, follow);
    b[15] = SCP_BuildChecksum(b.data());
    return b;
}

Packet Set(unsigned char c, unsigned char p, float v, int follow = 0)
{
    Packet b;
    SCP_GenerateSET(b.data(), c, p, v, follow);
    b[15] = SCP_BuildChecksum(b.data());
    return b;
}

Packet Random(std::mt19937& rng)
{
    Packet b;
    for (auto& x : b)
        x = static_cast<unsigned char>(rng());
    b[15] = SCP_BuildChecksum(b.data());
    return b;
}

} // namespace

TEST(ScpCodec, DocumentedExamplesMatch)
{
    const Packet get = Get(2, 23);
    const Packet expectGet = {0x47, 0, 2, 0x17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xAB};
    EXPECT_EQ(get, expectGet);

    const Packet set = Set(0, 31, -3.0f);
    const Packet expectSet = {0x53, 0, 0, 0x1F, 0, 0, 0x40, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0x8B};
    EXPECT_EQ(set, expectSet);

    Packet ack;
    SCP_GenerateACK(ack.data(), set.data());
    const Packet expectAck = {0x06, 0, 0, 0x1F, 0, 0, 0x40, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0xBE};
    EXPECT_EQ(ack, expectAck);

    Packet raw;
    SCP_GenerateRAW(raw.data(), 11, 0, 0, 0);
    EXPECT_EQ(raw[15], 0x47);
    Packet reply;
    SCP_GenerateREPLY(reply.data(), 11, 0, 0, 0x00A50000);
    EXPECT_EQ(reply[15], 0x0D);
    Packet data;
    SCP_GenerateDATA(data.data(), 2, 23, 0x43480000);
    EXPECT_EQ(data[15], 0x42);
}

TEST(ScpCodec, RequestsCarryFieldsAndFollowOnFlag)
{
    const Packet get = Get(5, 31, 7);
    EXPECT_EQ(get[0], SCP_TYPE_GET);
    EXPECT_EQ(get[1], SCP_FLAG_FOLLOW_ON); // any non-zero flag becomes bit 0
    EXPECT_EQ(get[2], 5);
    EXPECT_EQ(get[3], 31);
    EXPECT_EQ(Get(5, 31, 0)[1], 0);

    for (float v : {0.0f, -0.0f, 0.707f, -8.0f, 1e-40f, 3.4e38f}) {
        const Packet set = Set(1, 13, v);
        Packet data;
        SCP_GenerateDATA(data.data(), 1, 13, SCP_GetWord(set.data(), 4));
        EXPECT_EQ(std::memcmp(&v, set.data() + 4, 4), 0);
        const float back = SCP_GetData(data.data());
        EXPECT_EQ(std::memcmp(&v, &back, 4), 0);
    }
    // A flag word rides as its bit pattern.
    Packet data;
    SCP_GenerateDATA(data.data(), 4, 13, 0x00030001u);
    const float flt = SCP_GetData(data.data());
    std::uint32_t dw;
    std::memcpy(&dw, &flt, 4);
    EXPECT_EQ(dw, 0x00030001u);
}

TEST(ScpCodec, EveryPacketHasExactlyOneClass)
{
    Packet req;
    SCP_GenerateRAW(req.data(), 4, 1, 2, 3);
    Packet ack, nack, data, reply;
    SCP_GenerateACK(ack.data(), Set(0, 0, 1.0f).data());
    SCP_GenerateNACK(nack.data(), req.data(), SCP_NACK_BAD_ADDRESS);
    SCP_GenerateDATA(data.data(), 0, 0, 0);
    SCP_GenerateREPLY(reply.data(), 4, 1, 2, 3);
    struct Case { const Packet& p; int ack, nack, dat, rep; };
    for (const Case& c : {Case{ack, 1, 0, 0, 0}, Case{nack, 0, 1, 0, 0}, Case{data, 0, 0, 1, 0},
                          Case{reply, 0, 0, 0, 1}, Case{req, 0, 0, 0, 0}, Case{Get(0, 0), 0, 0, 0, 0}}) {
        EXPECT_TRUE(SCP_IsValidChecksum(c.p.data(), c.p[15]));
        EXPECT_EQ(!!SCP_IsAck(c.p.data()), !!c.ack);
        EXPECT_EQ(!!SCP_IsNack(c.p.data()), !!c.nack);
        EXPECT_EQ(!!SCP_IsData(c.p.data()), !!c.dat);
        EXPECT_EQ(!!SCP_IsCommandReply(c.p.data()), !!c.rep);
    }
    EXPECT_EQ(nack[1], SCP_NACK_BAD_ADDRESS);
    EXPECT_EQ(nack[2], SCP_TYPE_RAW);
    EXPECT_EQ(nack[3], 4);
    EXPECT_EQ(SCP_GetWord(reply.data(), 3), 1u);
    EXPECT_EQ(SCP_GetWord(reply.data(), 7), 2u);
    EXPECT_EQ(SCP_GetWord(reply.data(), 11), 3u);
}

TEST(ScpChecksum, CatchesEverySingleByteError)
{
    std::mt19937 rng(7);
    std::vector<Packet> packets = {Get(0, 0), Set(5, 31, -8.0f), Packet{}};
    packets.back()[15] = SCP_BuildChecksum(packets.back().data());
    for (int i = 0; i < 20; ++i)
        packets.push_back(Random(rng));
    for (const Packet& good : packets) {
        for (int pos = 0; pos < 16; ++pos) {
            for (int x = 1; x < 256; ++x) {
                Packet bad = good;
                bad[static_cast<std::size_t>(pos)] ^= static_cast<unsigned char>(x);
                ASSERT_FALSE(SCP_IsValidChecksum(bad.data(), bad[15])) << "pos " << pos << " xor " << x;
            }
        }
    }
}

TEST(ScpChecksum, CatchesShortBurstsAndOddBitErrors)
{
    std::mt19937 rng(11);
    const Packet good = Random(rng);
    const auto flip = [](Packet& p, int bit) { p[static_cast<std::size_t>(bit / 8)] ^= 1u << (bit % 8); };
    // Every burst of up to 8 bits in line order (each byte LSB first), across
    // byte boundaries too.
    for (int len = 2; len <= 8; ++len)
        for (int start = 0; start + len <= 128; ++start)
            for (int mid = 0; mid < (1 << (len - 2)); ++mid) {
                Packet bad = good;
                flip(bad, start);
                flip(bad, start + len - 1);
                for (int k = 0; k < len - 2; ++k)
                    if (mid & (1 << k))
                        flip(bad, start + 1 + k);
                ASSERT_FALSE(SCP_IsValidChecksum(bad.data(), bad[15]));
            }
    // Every 3-bit error; odd numbers of flipped bits in general.
    for (int a = 0; a < 128; ++a)
        for (int b = a + 1; b < 128; ++b)
            for (int c = b + 1; c < 128; ++c) {
                Packet bad = good;
                flip(bad, a);
                flip(bad, b);
                flip(bad, c);
                ASSERT_FALSE(SCP_IsValidChecksum(bad.data(), bad[15]));
            }
    // Longer random bursts slip through at about 1/256.
    int nMissed = 0;
    const int nTrials = 200000;
    for (int i = 0; i < nTrials; ++i) {
        Packet bad = good;
        const int start = static_cast<int>(rng() % 100);
        for (int k = 0; k < 24; ++k)
            if (k == 0 || k == 23 || (rng() & 1))
                flip(bad, start + k);
        nMissed += SCP_IsValidChecksum(bad.data(), bad[15]);
    }
    EXPECT_LT(nMissed, nTrials / 128);
}

TEST(ScpChecksum, AllZeroLineIsRejected)
{
    const Packet zero{};
    EXPECT_FALSE(SCP_IsValidChecksum(zero.data(), zero[15]));
}

TEST(ScpFramer, ResynchronisesAfterGarbageAndSplitsChunks)
{
    CScpFramer framer(CScpFramer::EAccept::Requests);
    const auto t = CScpFramer::Clock::now();
    const Packet a = Get(1, 2), b = Set(3, 4, 5.0f);
    std::vector<unsigned char> stream = {0x47, 0x00, 0x25, 0x99, 0x53}; // looks like starts of packets
    stream.insert(stream.end(), a.begin(), a.end());
    stream.insert(stream.end(), b.begin(), b.end());
    std::vector<CScpFramer::Packet> got;
    for (std::size_t i = 0; i < stream.size(); i += 3) { // odd chunks, no gap
        const auto out = framer.Feed(stream.data() + i, std::min<std::size_t>(3, stream.size() - i), t);
        got.insert(got.end(), out.begin(), out.end());
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(std::equal(a.begin(), a.end(), got[0].begin()));
    EXPECT_TRUE(std::equal(b.begin(), b.end(), got[1].begin()));
    EXPECT_EQ(framer.DroppedBytes(), 5u);
    EXPECT_EQ(framer.PendingBytes(), 0u);

    // A reply is not a request, and vice versa.
    Packet ack;
    SCP_GenerateACK(ack.data(), b.data());
    EXPECT_TRUE(framer.Feed(ack.data(), 16, t).empty());
    CScpFramer replies(CScpFramer::EAccept::Replies);
    EXPECT_EQ(replies.Feed(ack.data(), 16, t).size(), 1u);
    EXPECT_TRUE(replies.Feed(a.data(), 16, t).empty());
}

TEST(ScpFramer, GapDiscardsPartialPacket)
{
    CScpFramer framer(CScpFramer::EAccept::Requests, std::chrono::milliseconds(5));
    const Packet a = Get(0, 12);
    auto t = CScpFramer::Clock::now();
    EXPECT_TRUE(framer.Feed(a.data(), 10, t).empty()); // the rest never comes
    t += std::chrono::milliseconds(6);
    const auto out = framer.Feed(a.data(), 16, t);      // a whole packet after the gap
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(framer.DroppedBytes(), 10u);
    // Without a gap the two pieces join up.
    EXPECT_TRUE(framer.Feed(a.data(), 7, t).empty());
    EXPECT_EQ(framer.Feed(a.data() + 7, 9, t + std::chrono::milliseconds(4)).size(), 1u);
}
