// Cost of a full recompute of the three response curves (RecalcBands(7)),
// for a default channel (equalisers and shelves at 0 dB are not evaluated)
// and for a channel with every filter active, on the AVX2 path (where the
// processor has it) and on the baseline path; and of the summed response on
// top of them: every band's phase (a channel or mode change), one band's (a
// drag), none (Mute, Invert, a delay).

#include <benchmark/benchmark.h>

#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/SummedResponse.h"

namespace {

CChannelConfig MakeChannel(bool bAllActive)
{
    CChannelConfig c(CHANNEL_LEFT);
    if (bAllActive) {
        c.SetLowPEQGain(3.0f, false);
        c.SetMidPEQGain(-4.0f, false);
        c.SetHighPEQGain(2.5f, false);
        c.SetSEQGain(4.0f, false);
        c.SetHEQGain(-2.0f, false);
    }
    return c;
}

void RecalcAll(benchmark::State& state, bool bAllActive, bool bWide)
{
    CBandResponse::AllowWideVectors(bWide);
    CBandResponse response;
    CChannelConfig c = MakeChannel(bAllActive);
    float fltLevel = 0.0f;
    for (auto _ : state) {
        // A changing level so that nothing can be carried over between runs.
        fltLevel = fltLevel > 5.0f ? 0.0f : fltLevel + 0.1f;
        c.SetLevel(fltLevel, false);
        response.RecalcBands(c, BAND_ALL);
        benchmark::DoNotOptimize(response.GetHighBand()[4000]);
        benchmark::ClobberMemory();
    }
    CBandResponse::AllowWideVectors(true);
}

void BM_RecalcBands_Default(benchmark::State& s) { RecalcAll(s, false, true); }
void BM_RecalcBands_AllFiltersActive(benchmark::State& s) { RecalcAll(s, true, true); }
void BM_RecalcBands_Default_Baseline(benchmark::State& s) { RecalcAll(s, false, false); }
void BM_RecalcBands_AllFiltersActive_Baseline(benchmark::State& s) { RecalcAll(s, true, false); }

BENCHMARK(BM_RecalcBands_Default)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecalcBands_AllFiltersActive)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecalcBands_Default_Baseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecalcBands_AllFiltersActive_Baseline)->Unit(benchmark::kMicrosecond);

void SumRecalc(benchmark::State& state, int nMask)
{
    CBandResponse response;
    CSummedResponse sum;
    CChannelConfig c = MakeChannel(true);
    c.SetMidDelay(0.3f, false);
    c.SetHighFlags(BAND_FLAG_INVERT, false);
    response.RecalcBands(c, BAND_ALL);
    sum.Recalc(c, response, BAND_ALL);
    float fltFreq = 3000.0f;
    for (auto _ : state) {
        fltFreq = fltFreq > 5000.0f ? 3000.0f : fltFreq + 10.0f;
        c.SetHighPEQFreq(fltFreq, false);
        sum.Recalc(c, response, nMask);
        benchmark::DoNotOptimize(sum.GetSum()[4000]);
        benchmark::ClobberMemory();
    }
}

void BM_SummedResponse_AllBands(benchmark::State& s) { SumRecalc(s, BAND_ALL); }
void BM_SummedResponse_OneBand(benchmark::State& s) { SumRecalc(s, BAND_HIGH); }
void BM_SummedResponse_FlagsOrDelays(benchmark::State& s) { SumRecalc(s, 0); }

BENCHMARK(BM_SummedResponse_AllBands)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SummedResponse_OneBand)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SummedResponse_FlagsOrDelays)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
