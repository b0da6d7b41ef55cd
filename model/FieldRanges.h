#pragma once
// The values the unit takes for the record's editable fields: inclusive
// bounds per field (Low LP Freq. and Low PEQ Freq. have wider ones in
// Biamp), and the fields that each handle of the response plot drags.
// Typed values and drags are checked against the same bounds.

#include "model/ChannelFields.h"

class CFieldRanges {
public:
    struct SRange {
        float fltMin;
        float fltMax;
    };

    // The bounds of a field in a mode (2 Biamp, 3 Triamp); false for a
    // field without bounds (the level and the flag words).
    static bool Get(EChannelField eField, int nMode, SRange& range);
    // min <= v <= max as 32-bit floats; NaN is never in range, and a field
    // without bounds takes nothing.
    static bool IsInRange(EChannelField eField, int nMode, float v);
    // v limited to the bounds (NaN gives the minimum); v itself for a field
    // without bounds.
    static float Clamp(EChannelField eField, int nMode, float v);

    // The fields adjuster 1..10 drags: frequency, gain, Q (FIELD_NONE where
    // the handle has no gain or Q); nullptr outside 1..10.
    static const EChannelField* FieldsOfAdjuster(int nAdjuster);
    // Whether adjuster 1..10 belongs to a band the channel has in this mode,
    // i.e. whether the form shows its fields enabled: the Subwoofer has only
    // the Low band handle (its LP frequency stays as it is), Biamp has no Mid
    // band.  False outside 1..10 and for channels outside 0..5.
    static bool IsAdjusterAvailable(int nAdjuster, int nChannel, int nMode);
};
