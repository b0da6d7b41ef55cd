#include "measure/RoomCurves.h"

#include <limits>

CRoomCurves::CRoomCurves() : m_dTargetLevel(std::numeric_limits<double>::quiet_NaN()) {}
CRoomCurves::~CRoomCurves() = default;
void CRoomCurves::SetRoom(const CMeasurement&, const CChannelConfig&, EPhaseChoice) {}
void CRoomCurves::ClearRoom() {}
void CRoomCurves::SetMask(const CToleranceMask*) {}
void CRoomCurves::Update(const CChannelConfig&, const CSummedResponse&) {}
void CRoomCurves::Update(const CChannelConfig&) {}
std::vector<CDeviationTable::SRow> CRoomCurves::Deviations() const { return {}; }
