#pragma once
// CFastMath: exp and atan2 written out in plain double arithmetic for the
// loops of the summed response, which call them for every grid point of
// every drag step.  The C library's functions cost 70 to 100 ns a call in
// the Windows build (mingw-w64's libm, measured under Wine); these cost a
// few multiplications and agree with them to about 1e-13.

class CFastMath {
public:
    // e^x; 0 below x = -708 (under the smallest normal double), +inf above
    // 709.78, NaN for NaN.
    static double Exp(double x);
    // The angle of (x, y) in radians, -pi..pi, as std::atan2 gives it for
    // finite arguments (0 for the origin); NaN when either is NaN.
    static double Atan2(double y, double x);
};
