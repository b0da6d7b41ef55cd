#include "model/UnitMismatch.h"

#include "model/ChannelConfig.h"

namespace {

struct SMarks {
    std::uint32_t adwMask[CHANNEL_COUNT] = {};
    std::uint32_t adwUnit[CHANNEL_COUNT][FIELD_COUNT] = {};
};

SMarks g_marks;

bool Valid(int nChannel, EChannelField eField)
{
    return nChannel >= 0 && nChannel < CHANNEL_COUNT && eField >= 0 && eField < FIELD_COUNT;
}

} // namespace

static_assert(FIELD_COUNT <= 32, "one mask bit per field");

void CUnitMismatch::Mark(int nChannel, EChannelField eField, std::uint32_t dwUnitBits)
{
    if (!Valid(nChannel, eField))
        return;
    g_marks.adwMask[nChannel] |= 1u << eField;
    g_marks.adwUnit[nChannel][eField] = dwUnitBits;
}

bool CUnitMismatch::IsMarked(int nChannel, EChannelField eField)
{
    return Valid(nChannel, eField) && (g_marks.adwMask[nChannel] & (1u << eField)) != 0;
}

std::uint32_t CUnitMismatch::UnitBits(int nChannel, EChannelField eField, std::uint32_t dwOtherwise)
{
    return IsMarked(nChannel, eField) ? g_marks.adwUnit[nChannel][eField] : dwOtherwise;
}

void CUnitMismatch::Clear(int nChannel, EChannelField eField)
{
    if (Valid(nChannel, eField))
        g_marks.adwMask[nChannel] &= ~(1u << eField);
}

void CUnitMismatch::ClearAll() { g_marks = SMarks{}; }

int CUnitMismatch::Count()
{
    int n = 0;
    for (std::uint32_t dw : g_marks.adwMask)
        for (; dw != 0; dw &= dw - 1)
            ++n;
    return n;
}
