#include "measure/Measurement.h"

bool CMeasurement::Parse(std::string_view, CMeasurement&, STableSummary& summary)
{
    summary.eRefusal = ETableRefusal::NoData;
    return false;
}
bool CMeasurement::FromPoints(std::vector<SMeasurementPoint>, bool, CMeasurement&, std::string& error)
{
    error = "not done";
    return false;
}
std::vector<double> CMeasurement::PhaseOf(EPhaseChoice) const { return std::vector<double>(m_points.size()); }
void CMeasurement::Sample(const double*, std::size_t, EPhaseChoice, double*, double*) const {}
void CMeasurement::SampleComplex(const double*, std::size_t, EPhaseChoice, std::complex<double>*) const {}
