#include "measure/TargetCurve.h"

const char* CTargetCurve::Name(ETargetCurve) { return "X500"; }
bool CTargetCurve::FromName(std::string_view, ETargetCurve&) { return false; }
double CTargetCurve::Shape(ETargetCurve, double) { return 0.0; }
double CTargetCurve::MeanLevel(const double*, const double*, std::size_t, double, double) { return 0.0; }
