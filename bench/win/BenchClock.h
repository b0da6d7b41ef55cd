#pragma once
// The benchmarks' clock: the performance counter in milliseconds.
#include <windows.h>

inline double BenchNowMs()
{
    static const LARGE_INTEGER s_freq = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(s_freq.QuadPart);
}
