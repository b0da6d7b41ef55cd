#pragma once
// CFieldStatusText: what the status bar says about the focused numeric field.
// A field that turns red (its text is outside the range) says why there: its
// name in the editor's own terms, its range in the current mode and its unit,
// e.g. "Low LP Freq: 200 to 4000 Hz".  The one source of that text: the form
// asks here and hands the frame the result.  Portable.

#include <string>

#include "editor/FieldRules.h"

class CFieldStatusText {
public:
    // The status text of the focused field (nullptr: no field has the
    // focus): its range while it is red, else nothing.
    static std::u16string ForField(const SFieldRule* pRule, int nMode, bool bError);
    // "NAME: MIN to MAX UNIT" for a mode (2 Biamp, 3 Triamp).
    static std::u16string RangeText(const SFieldRule& rule, int nMode);
    // The field's name as the form labels it, without the abbreviation
    // point ("Low LP Freq").
    static std::u16string Name(EChannelField eField);
    // A bound as short as it can be written exactly: "200", "-12", "5.304", "0.5".
    static std::u16string Number(float v);
};
