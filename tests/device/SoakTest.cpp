// The channel records' setters on the real queue: the process-wide sink set
// up before the entry point, and a soak of thousands of random setter calls
// with meter polling and lost or corrupted replies, after which the unit
// holds exactly what the records hold, and reads back the same.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "CommHarness.h"
#include "device/Advise.h"
#include "device/CommSink.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/ParameterMap.h"
#include "sim/SimRegistry.h"

namespace {
float GainOf(const CChannelConfig& cfg, EBand band)
{
    return band == BAND_LOW ? cfg.GetLowGain() : band == BAND_MID ? cfg.GetMidGain() : cfg.GetHighGain();
}

// The fields whose writes the unit reflects one to one in Triamp: parameters
// that read back into the same field, and band gains that have an output.
std::vector<EChannelField> ReflectedFields(int nChannel)
{
    std::vector<EChannelField> fields;
    for (int f = 0; f < FIELD_COUNT; ++f) {
        const EChannelField field = static_cast<EChannelField>(f);
        const int nParameter = ParameterForField(field, nChannel);
        if (GetChannelFieldInfo(field).bBandGain) {
            const EBand band = field == FIELD_LOW_GAIN ? BAND_LOW : field == FIELD_MID_GAIN ? BAND_MID : BAND_HIGH;
            std::uint32_t dwAddress = 0;
            if (FindOutputAddress(nChannel, band, false, &dwAddress))
                fields.push_back(field);
        } else if (nParameter != PARAMETER_NONE && FieldForParameter(nChannel, nParameter) == field) {
            fields.push_back(field);
        }
    }
    return fields;
}
} // namespace

TEST(CommSink, SettersQueueOnTheProcessQueueFromTheStart)
{
    ASSERT_NE(GetCommandSink(), nullptr); // installed before the entry point
    CSimUnit& unit = GetSharedSimUnit("sink");
    unit.FactoryReset();
    SetDeviceList("sim:sink,instant:USBXpress Device:SINK");
    g_Comm.SetPolling(false);
    g_Comm.SetDeviceNumber(0);
    ASSERT_TRUE(g_Comm.Open());
    SetSystemFlags(0, false);
    CChannelConfig left(CHANNEL_LEFT);
    left.SetLowGain(2.0f, true, false);
    left.SetLevel(-3.0f, true);
    for (int i = 0; i < 200 && unit.CountCommands(7) < 4; ++i)
        ::Sleep(5);
    g_Comm.Close();
    EXPECT_EQ(unit.GetParameterFloat(0, 31), -3.0f);
    EXPECT_EQ(unit.GetOutputFloat(2, 0), -9.0f); // Left Low in Triamp: 2 + (-3) - 8
    EXPECT_EQ(unit.GetOutputFloat(0, 0), -11.0f); // Left Mid: 0 + (-3) - 8
    EXPECT_EQ(unit.CountCommands(7), 4u);
}

TEST(Soak, RandomEditsWithLostRepliesLeaveTheUnitEqualToTheRecords)
{
    CCommHarness h("soak");
    CCommSink sink(h.comm); // the records' setters queue on this queue
    SetSystemFlags(0, false); // Triamp
    std::vector<CChannelConfig> channels;
    std::vector<std::vector<EChannelField>> fields;
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        channels.emplace_back(c);
        fields.push_back(ReflectedFields(c));
    }
    ASSERT_TRUE(h.Open());
    h.comm.SetPolling(true);

    // About one reply in a hundred is lost or arrives corrupted.
    std::atomic<bool> bFaults{true};
    std::atomic<int> nFaults{0};
    std::thread injector([&] {
        std::mt19937 rng(99);
        std::uint64_t nNext = 60;
        while (bFaults) {
            const std::uint64_t nSeen = h.unit.GetStats().nRequests;
            if (nSeen >= nNext) {
                if (rng() % 2)
                    h.unit.DropReplies(1);
                else
                    h.unit.CorruptReplies(1);
                ++nFaults;
                nNext = nSeen + 70 + rng() % 60;
            }
            ::Sleep(1);
        }
    });

    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> value(20.0f, 500.0f);
    constexpr int CALLS = 4000;
    for (int i = 0; i < CALLS; ++i) {
        const int c = static_cast<int>(rng() % CHANNEL_COUNT);
        const std::vector<EChannelField>& choices = fields[c];
        const EChannelField field = choices[rng() % choices.size()];
        std::uint32_t bits;
        if (GetChannelFieldInfo(field).bFlags)
            bits = static_cast<std::uint32_t>(rng()) ^ (rng() % 2 ? BAND_FLAG_MUTE : BAND_FLAG_INVERT);
        else
            bits = FloatToBits(static_cast<float>(static_cast<int>(value(rng) * 10.0f)) / 10.0f);
        ASSERT_TRUE(h.comm.IsOpen());
        SetChannelFieldBits(channels[c], field, bits, true, false);
        if (i % 40 == 39)
            ::Sleep(3); // let the queue drain now and then, so that polls come in between
    }
    // Every edit has gone out once the marker behind them arrives.
    ASSERT_TRUE(h.comm.QueueRequest(false, 0, 32, 0.0f));
    std::vector<utRXQueue> records;
    ASSERT_TRUE(h.UntilMarker(0, records, 60000));
    for (const utRXQueue& r : records) {
        ASSERT_NE(r.bKind, RX_FAILURE);
    }

    const SimSettings unit = h.unit.GetLiveSettings();
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        for (int p = 0; p < PARAMETER_COUNT; ++p) {
            const EChannelField field = FieldForParameter(c, p);
            if (field != FIELD_NONE) {
                EXPECT_EQ(unit.params[c][p], GetChannelFieldBits(channels[c], field))
                    << "channel " << c << " parameter " << p;
            }
        }
    }
    for (const OutputRow& row : kOutputRows) {
        if (row.triamp.nChannel < 0)
            continue;
        const CChannelConfig& cfg = channels[row.triamp.nChannel];
        EXPECT_EQ(unit.outputs[row.nBank * 4 + row.nIndex], OutputGainBits(GainOf(cfg, row.triamp.band), cfg.GetLevel()))
            << "output " << int(row.nBank) << "," << int(row.nIndex);
    }

    // Reading everything back, still with faults, gives the records' values.
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        ASSERT_TRUE(h.comm.QueueReadChannel(c, MODE_TRIAMP));
    ASSERT_TRUE(h.comm.QueueRequest(false, 5, 32, 0.0f));
    records.clear();
    ASSERT_TRUE(h.UntilMarker(5, records, 60000));
    bFaults = false;
    injector.join();
    int nValues = 0;
    for (const utRXQueue& r : records) {
        ASSERT_NE(r.bKind, RX_FAILURE);
        if (r.bKind != RX_VALUE || r.bParameter == PARAMETER_METER)
            continue;
        const EChannelField field = FieldForParameter(r.bChannel, r.bParameter);
        if (field == FIELD_NONE)
            continue;
        std::uint32_t bits;
        std::memcpy(&bits, r.bValue, 4);
        EXPECT_EQ(bits, GetChannelFieldBits(channels[r.bChannel], field));
        ++nValues;
    }
    EXPECT_GT(nValues, 5 * 25);
    EXPECT_GT(nFaults, 10);
    const SimStats stats = h.unit.GetStats();
    EXPECT_GT(stats.nGetBy[0][PARAMETER_METER], 0u); // the meters were polled meanwhile
}
