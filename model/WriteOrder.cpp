#include "model/WriteOrder.h"

#include "model/ChannelConfig.h"
#include "model/UnitMismatch.h"

bool CWriteOrder::GoesFirst(EChannelField eField, std::uint32_t dwFrom, std::uint32_t dwTo)
{
    if (eField < 0 || eField >= FIELD_COUNT)
        return false;
    if (GetChannelFieldInfo(eField).bFlags)
        return (dwTo & BAND_FLAG_MUTE) != 0 && (dwFrom & BAND_FLAG_MUTE) == 0;
    const float fltFrom = BitsToFloat(dwFrom);
    const float fltTo = BitsToFloat(dwTo);
    if (eField == FIELD_LEVEL || IsGainField(eField))
        return fltTo < fltFrom;
    if (IsHighPassField(eField))
        return fltTo > fltFrom;
    return false;
}

void CWriteOrder::Apply(const std::vector<SWrite>& writes, bool send, bool force)
{
    // Judged before anything is written: the level's write does not change
    // a band gain's member, and no field appears twice.
    std::vector<bool> abFirst(writes.size());
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const SWrite& w = writes[i];
        const std::uint32_t dwNow = GetChannelFieldBits(*w.pConfig, w.eField);
        const std::uint32_t dwFrom = CUnitMismatch::UnitBits(w.pConfig->GetChannel(), w.eField, dwNow);
        abFirst[i] = GoesFirst(w.eField, dwFrom, w.dwBits);
    }
    for (const bool bFirstPart : {true, false})
        for (std::size_t i = 0; i < writes.size(); ++i)
            if (abFirst[i] == bFirstPart)
                SetChannelFieldBits(*writes[i].pConfig, writes[i].eField, writes[i].dwBits, send, force);
}

void CWriteOrder::ApplyAll(CChannelConfig& dst, const CChannelConfig& src, bool send, bool force)
{
    std::vector<SWrite> writes;
    writes.reserve(FIELD_COUNT);
    for (int f = 0; f < FIELD_COUNT; ++f) {
        const auto eField = static_cast<EChannelField>(f);
        writes.push_back({&dst, eField, GetChannelFieldBits(src, eField)});
    }
    Apply(writes, send, force);
}
