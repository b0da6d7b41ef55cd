#include "measure/Smoothing.h"

void CSmoothing::Apply(const double*, const double* pdDb, std::size_t n, int, double* pdOut)
{
    for (std::size_t i = 0; i < n; ++i)
        pdOut[i] = pdDb[i];
}
double CSmoothing::WindowAverage(const double*, const double*, std::size_t, double, double) { return 0.0; }
