// Cost of a full recompute of the three response curves (RecalcBands(7)),
// for a default channel (equalisers and shelves at 0 dB are not evaluated)
// and for a channel with every filter active, on the AVX2 path (where the
// processor has it) and on the baseline path.

#include <benchmark/benchmark.h>

#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"

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

} // namespace

BENCHMARK_MAIN();
