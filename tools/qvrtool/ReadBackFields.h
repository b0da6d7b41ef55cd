#pragma once
// CReadBackFields: which record fields the read-back of Connect reads from
// a unit.  The parameter map decides: a field is read back when one of the
// channel's reads (its parameter GETs and output reads in that mode) is
// applied to it.  Everything else (the Subwoofer's filters, for example,
// which are written but never read) keeps the program's value, so it is
// neither compared with nor reported as the unit's.

#include "model/ChannelFields.h"

class CReadBackFields {
public:
    // Field eField of channel nChannel, for a unit in nMode (2 Biamp, 3
    // Triamp); channels 3 and 4 are not read from a unit without them.
    static bool IsReadBack(int nChannel, EChannelField eField, int nMode, bool bNoLeftRightCenter);
};
