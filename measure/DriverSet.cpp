#include "measure/DriverSet.h"

CDriverSet::CDriverSet() = default;
CDriverSet::~CDriverSet() = default;
void CDriverSet::SetDriver(int, const CMeasurement&, EPhaseChoice) {}
void CDriverSet::ClearDriver(int) {}
bool CDriverSet::HasDriver(int) const { return false; }
bool CDriverSet::IsEmpty() const { return true; }
const std::complex<double>* CDriverSet::Driver(int) const { return nullptr; }
void CDriverSet::ApplyTo(CSummedResponse&) const {}
void CDriverSet::BandCurve(int, const float*, double*) const {}
