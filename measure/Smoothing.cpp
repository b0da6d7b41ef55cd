#include "measure/Smoothing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

double Power(double db) { return std::pow(10.0, db / 10.0); }

// The running integral of power over log-frequency, trapezoid by trapezoid;
// a trapezoid next to a NaN point counts neither area nor span.
struct SIntegral {
    std::vector<double> area, span, logf, power;
    SIntegral(const double* pdFreq, const double* pdDb, std::size_t n)
        : area(n, 0.0), span(n, 0.0), logf(n), power(n)
    {
        for (std::size_t i = 0; i < n; ++i) {
            logf[i] = std::log(pdFreq[i]);
            power[i] = std::isnan(pdDb[i]) ? NaN : Power(pdDb[i]);
        }
        for (std::size_t i = 1; i < n; ++i) {
            area[i] = area[i - 1];
            span[i] = span[i - 1];
            if (!std::isnan(power[i]) && !std::isnan(power[i - 1])) {
                const double w = logf[i] - logf[i - 1];
                area[i] += w * 0.5 * (power[i] + power[i - 1]);
                span[i] += w;
            }
        }
    }
    // Area and span from the first point to x (log f) inside segment k.
    void Upto(double x, std::size_t k, double& a, double& s) const
    {
        a = area[k];
        s = span[k];
        if (k + 1 >= logf.size() || std::isnan(power[k]) || std::isnan(power[k + 1]))
            return;
        const double w = x - logf[k];
        const double t = w / (logf[k + 1] - logf[k]);
        const double px = power[k] + t * (power[k + 1] - power[k]);
        a += w * 0.5 * (power[k] + px);
        s += w;
    }
};

// The index k with logf[k] <= x < logf[k + 1] (clamped to the ends).
std::size_t Segment(const std::vector<double>& logf, double x, std::size_t hint)
{
    std::size_t k = hint;
    const std::size_t n = logf.size();
    while (k > 0 && logf[k] > x)
        --k;
    while (k + 1 < n && logf[k + 1] <= x)
        ++k;
    return k;
}

double Average(const SIntegral& g, double xa, double xb, std::size_t& ka, std::size_t& kb)
{
    const std::size_t n = g.logf.size();
    if (n < 2)
        return NaN;
    xa = std::max(xa, g.logf.front());
    xb = std::min(xb, g.logf.back());
    if (!(xb > xa))
        return NaN;
    ka = Segment(g.logf, xa, ka);
    kb = Segment(g.logf, xb, kb);
    double a0, s0, a1, s1;
    g.Upto(xa, ka, a0, s0);
    g.Upto(xb, kb, a1, s1);
    const double s = s1 - s0;
    if (!(s > 0.0))
        return NaN;
    return 10.0 * std::log10((a1 - a0) / s);
}

} // namespace

void CSmoothing::Apply(const double* pdFreq, const double* pdDb, std::size_t n, int nFraction, double* pdOut)
{
    if (nFraction != 3 && nFraction != 6) {
        if (pdOut != pdDb)
            for (std::size_t i = 0; i < n; ++i)
                pdOut[i] = pdDb[i];
        return;
    }
    const SIntegral g(pdFreq, pdDb, n);
    const double dHalf = std::log(2.0) / (2.0 * nFraction);
    std::size_t ka = 0, kb = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::isnan(g.power[i])) {
            pdOut[i] = NaN;
            continue;
        }
        const double v = Average(g, g.logf[i] - dHalf, g.logf[i] + dHalf, ka, kb);
        // A lone defined point has no stretch to average: it stays.
        pdOut[i] = std::isnan(v) ? 10.0 * std::log10(g.power[i]) : v;
    }
}

double CSmoothing::WindowAverage(const double* pdFreq, const double* pdDb, std::size_t n, double dFrom, double dTo)
{
    if (n < 2 || !(dFrom > 0.0) || !(dTo > dFrom))
        return NaN;
    const SIntegral g(pdFreq, pdDb, n);
    std::size_t ka = 0, kb = 0;
    return Average(g, std::log(dFrom), std::log(dTo), ka, kb);
}
