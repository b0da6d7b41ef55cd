#include "measure/Prediction.h"

CPrediction::CPrediction() = default;
CPrediction::~CPrediction() = default;
void CPrediction::SetAsMeasured(const CChannelConfig&) {}
void CPrediction::Predict(const std::complex<double>*, const CChannelConfig&, const CSummedResponse&,
                          std::complex<double>*) const {}
void CPrediction::Predict(const std::complex<double>*, const CChannelConfig&, std::complex<double>*) {}
void CPrediction::Response(const CChannelConfig&, const CSummedResponse&, std::complex<double>*) {}
