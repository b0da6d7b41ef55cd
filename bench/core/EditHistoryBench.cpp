// Cost of the edit history: one gesture that changes one value (two
// pictures of the configuration, the comparison, the step stored), and one
// undo with its redo; and what the steps occupy (bytes per one-value step,
// bytes of a full history of 500 Copy Channel steps onto four channels).

#include <benchmark/benchmark.h>

#include "model/ChannelFields.h"
#include "model/EditHistory.h"
#include "tests/core/LiveConfig.h"

namespace {

void BM_OneValueGesture(benchmark::State& state)
{
    SLive live;
    CEditHistory history;
    float v = 100.0f;
    for (auto _ : state) {
        history.Begin(1, live.Now());
        v = v > 4000.0f ? 100.0f : v + 1.0f;
        live.ap[2]->SetLowLPFreq(v, false);
        history.End(live.Now());
    }
    state.counters["bytes_per_step"] = static_cast<double>(history.Bytes()) / static_cast<double>(history.StepCount());
}
BENCHMARK(BM_OneValueGesture);

void BM_UndoAndRedo(benchmark::State& state)
{
    SLive live;
    CEditHistory history;
    history.Begin(1, live.Now());
    live.ap[2]->SetLowLPFreq(300.0f, false);
    history.End(live.Now());
    for (auto _ : state) {
        CEditHistory::Apply(*history.Undo(live.Now()), true, live.ap, live.records.Profile());
        CEditHistory::Apply(*history.Redo(live.Now()), false, live.ap, live.records.Profile());
    }
}
BENCHMARK(BM_UndoAndRedo);

// The largest history a session keeps: 500 copies of a changed channel onto four others.
void BM_FullHistoryOfCopies(benchmark::State& state)
{
    std::size_t nBytes = 0;
    for (auto _ : state) {
        SLive live;
        CEditHistory history;
        for (int i = 0; i < static_cast<int>(CEditHistory::MAX_STEPS); ++i) {
            live.ap[0]->SetSpeakerName(i % 2 ? u"Model A" : u"Model B");
            for (int f = 1; f < FIELD_COUNT; ++f)
                SetChannelFieldBits(*live.ap[0], static_cast<EChannelField>(f), static_cast<std::uint32_t>(i + f), false, false);
            history.Begin(2, live.Now());
            for (int c = 1; c < 5; ++c)
                live.ap[c]->Assign(*live.ap[0], false);
            history.End(live.Now());
        }
        nBytes = history.Bytes();
        benchmark::DoNotOptimize(nBytes);
    }
    state.counters["history_bytes"] = static_cast<double>(nBytes);
    state.counters["configuration_bytes"] = static_cast<double>(sizeof(CConfigImage));
}
BENCHMARK(BM_FullHistoryOfCopies)->Unit(benchmark::kMillisecond);

} // namespace
