#include "measure/MinimumPhase.h"

void CMinimumPhase::Compute(const double*, const double*, std::size_t n, double* pdPhaseDeg)
{
    for (std::size_t i = 0; i < n; ++i)
        pdPhaseDeg[i] = 0.0;
}
