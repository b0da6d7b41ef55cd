// Cost of measurements: a 65 536-point file parsed and put on the plot's
// frequencies (what loading a room measurement costs), the minimum phase of
// a 2 000-point measurement, and one drag step's update of every room curve
// (prediction, 1/3-octave smoothing, target level, mask).

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "measure/Measurement.h"
#include "measure/MinimumPhase.h"
#include "measure/RoomCurves.h"
#include "model/BandResponse.h"
#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/SummedResponse.h"

namespace {

// A measurement file of n points, 10 Hz to 24 kHz, with a room's ripple.
std::string MeasurementText(int n)
{
    std::string text = "* generated for the benchmark\n* Freq SPL Phase\n";
    char line[96];
    for (int i = 0; i < n; ++i) {
        const double f = 10.0 * std::pow(2400.0, i / (n - 1.0));
        std::snprintf(line, sizeof line, "%.5f %.4f %.3f\n", f, 85.0 + 6.0 * std::sin(f / 37.0),
                      -90.0 * std::log2(f / 10.0));
        text += line;
    }
    return text;
}

std::vector<double> PlotFrequencies()
{
    std::vector<double> f(CRoomCurves::POINTS);
    for (int i = 0; i < CRoomCurves::POINTS; ++i)
        f[static_cast<std::size_t>(i)] = 5.0 * i;
    return f;
}

void BM_Parse65536AndPutOnPlot(benchmark::State& state)
{
    const std::string text = MeasurementText(65536);
    const std::vector<double> f = PlotFrequencies();
    std::vector<std::complex<double>> out(f.size());
    for (auto _ : state) {
        CMeasurement m;
        STableSummary s;
        if (!CMeasurement::Parse(text, m, s))
            state.SkipWithError("refused");
        m.SampleComplex(f.data(), f.size(), EPhaseChoice::Measured, out.data());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Parse65536AndPutOnPlot)->Unit(benchmark::kMillisecond);

void BM_MinimumPhase2000(benchmark::State& state)
{
    std::vector<double> f(2000), db(2000), phase(2000);
    for (int i = 0; i < 2000; ++i) {
        f[static_cast<std::size_t>(i)] = 10.0 * std::pow(2400.0, i / 1999.0);
        db[static_cast<std::size_t>(i)] = 85.0 + 6.0 * std::sin(f[static_cast<std::size_t>(i)] / 37.0);
    }
    for (auto _ : state) {
        CMinimumPhase::Compute(f.data(), db.data(), f.size(), phase.data());
        benchmark::DoNotOptimize(phase.data());
    }
}
BENCHMARK(BM_MinimumPhase2000)->Unit(benchmark::kMillisecond);

void BM_RoomCurvesDragStep(benchmark::State& state)
{
    CMeasurement room;
    STableSummary s;
    CMeasurement::Parse(MeasurementText(2000), room, s);
    CChannelConfig cfg(CHANNEL_LEFT);
    CRoomCurves curves;
    curves.SetRoom(room, cfg, EPhaseChoice::Measured);
    SRoomView view;
    view.nSmoothing = 3;
    curves.SetView(view);
    CBandResponse bands;
    CSummedResponse sum;
    float fltGain = 0.0f;
    for (auto _ : state) {
        // The plot recomputes the band and the sum; the curves follow.
        fltGain = fltGain > 6.0f ? -6.0f : fltGain + 0.5f;
        cfg.SetMidPEQGain(fltGain, false);
        bands.RecalcBands(cfg, BAND_MID);
        sum.Recalc(cfg, bands, BAND_MID);
        curves.Update(cfg, sum);
        benchmark::DoNotOptimize(curves.Predicted());
    }
}
BENCHMARK(BM_RoomCurvesDragStep)->Unit(benchmark::kMillisecond);

} // namespace
