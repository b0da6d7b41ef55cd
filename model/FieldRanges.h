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

    // The channel level has no typed field: the form's trackbar sets it in
    // steps of LEVEL_STEP dB between these bounds (every mode).
    static constexpr float LEVEL_STEP = 0.5f;
    static SRange GetLevelRange();
    // The bounds the editor holds a field to: Get's, or the trackbar's for
    // the level.  False for the flag words and the channel high-pass Q,
    // which the editor does not edit.
    static bool GetEditorRange(EChannelField eField, int nMode, SRange& range);

    // The fields adjuster 1..10 drags: frequency, gain, Q (FIELD_NONE where
    // the handle has no gain or Q); nullptr outside 1..10.
    static const EChannelField* FieldsOfAdjuster(int nAdjuster);
    // Whether adjuster 1..10 belongs to a band the channel has in this mode,
    // i.e. whether the form shows its fields enabled: the Subwoofer has only
    // the Low band handle (its LP frequency stays as it is), Biamp has no Mid
    // band.  False outside 1..10 and for channels outside 0..5.
    static bool IsAdjusterAvailable(int nAdjuster, int nChannel, int nMode);
};
