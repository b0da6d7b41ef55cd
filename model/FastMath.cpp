#include "model/FastMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace {

constexpr double PI = 3.141592653589793;
constexpr double LN2_HI = 6.93147180369123816490e-01; // ln 2 split so that k * LN2_HI is exact
constexpr double LN2_LO = 1.90821492927058770002e-10;
constexpr double INV_LN2 = 1.44269504088896338700e+00;
constexpr double TAN_PI_8 = 0.41421356237309503;

} // namespace

double CFastMath::Exp(double x)
{
    if (std::isnan(x))
        return x;
    if (x > 709.78)
        return std::numeric_limits<double>::infinity();
    if (x < -708.0)
        return 0.0;
    // x = k ln 2 + r with |r| <= ln 2 / 2, e^x = 2^k e^r.
    // Rounded to the nearest integer by the addition of 1.5 * 2^52 (the
    // library's rounding functions are calls of their own).
    constexpr double ROUND = 6755399441055744.0;
    const double k = (x * INV_LN2 + ROUND) - ROUND;
    const double r = (x - k * LN2_HI) - k * LN2_LO;
    // e^r by its series to r^13 (the next term is below 5e-18 for |r| <= 0.35).
    double p = 1.0 / 6227020800.0; // 1/13!
    for (const double c : {1.0 / 479001600.0, 1.0 / 39916800.0, 1.0 / 3628800.0, 1.0 / 362880.0, 1.0 / 40320.0,
                           1.0 / 5040.0, 1.0 / 720.0, 1.0 / 120.0, 1.0 / 24.0, 1.0 / 6.0, 0.5, 1.0, 1.0})
        p = p * r + c;
    // 2^k from its exponent bits (k is -1022..1024 here; 1024 is folded into p).
    int nK = static_cast<int>(k);
    if (nK > 1023) {
        p *= 2.0;
        --nK;
    }
    const std::uint64_t bits = static_cast<std::uint64_t>(nK + 1023) << 52;
    double scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return p * scale;
}

double CFastMath::Atan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y))
        return std::numeric_limits<double>::quiet_NaN();
    const double ax = std::fabs(x), ay = std::fabs(y);
    if (ax == 0.0 && ay == 0.0)
        return 0.0;
    // The angle of the first octant, t = tan of it in [0, 1]; above
    // tan(pi/8) through atan(t) = pi/4 + atan((t - 1) / (t + 1)).
    const bool bSteep = ay > ax;
    const double t = bSteep ? ax / ay : ay / ax; // 0..1 (inf / inf cannot occur for finite sums)
    const bool bUpper = t > TAN_PI_8;
    const double u = bUpper ? (t - 1.0) / (t + 1.0) : t; // |u| <= tan(pi/8)
    // atan(u) by its series to u^31 (the next term is below 1e-13).
    const double u2 = u * u;
    double s = 1.0 / 31.0;
    for (int n = 29; n >= 1; n -= 2)
        s = s * -u2 + 1.0 / n;
    double a = u * s + (bUpper ? PI / 4 : 0.0);
    if (bSteep)
        a = PI / 2 - a;
    if (x < 0.0)
        a = PI - a;
    return y < 0.0 ? -a : a;
}
