#pragma once
// The rules of the editor's 25 numeric fields: which record field each edit
// control shows, its display format, its Up/Down step, whether it takes a
// decimal point and which band curves change with it (its bounds are the
// record field's); plus the text parser, the character filter and the link
// between fields and the plot's adjusters.  Portable: the form
// uses it with Win32 controls, the tests without.

#include <cstddef>
#include <string>
#include <string_view>

#include "model/ChannelFields.h"
#include "model/FieldRanges.h"

class CChannelConfig;

enum class EFieldFormat { Freq, Gain, Q, Delay }; // "%.0f", "%.1f", "%.2f", "%.4f"

struct SFieldRule {
    int nId;               // edit control id of the editor form
    EChannelField eField;  // record field
    EFieldFormat eFormat;
    float fltStep;         // Up/Down step
    bool bDecimalPoint;    // the field accepts '.'
    int nMask;             // band mask for the plot after a change
};

class CFieldRules {
public:
    static const SFieldRule* Begin();
    static std::size_t Count(); // 25
    // The rule of an edit control, or nullptr.
    static const SFieldRule* Find(int nId);
    // The rule of the field that shows a record field, or nullptr.
    static const SFieldRule* FindByField(EChannelField eField);

    using SRange = CFieldRanges::SRange;
    // The bounds for a mode (2 Biamp, 3 Triamp).
    static SRange GetRange(const SFieldRule& rule, int nMode);
    // min <= v <= max as 32-bit floats; NaN is never in range.
    static bool IsInRange(const SFieldRule& rule, int nMode, float v);

    // Reads a number as the C library's "%f" conversion does: leading blanks
    // skipped, an optional sign, digits with an optional decimal point and an
    // optional exponent, stopping at the first character that cannot continue
    // the number ("5-" reads as 5).  Text without a number reads as 0.  The
    // decimal point is always '.', whatever the locale; "inf", "nan" and hex
    // forms are not numbers here; a value too large for a float reads as an
    // infinity of its sign (and so fails every range check).
    static float ParseText(std::u16string_view text);

    // True when ParseText finds a number in the text (text without one reads
    // as 0, which a typed field applies only once the user confirms it).
    static bool HasNumber(std::u16string_view text);

    // A typed value that could harm a driver on its way to the one meant:
    // a gain (band, PEQ, SEQ, HEQ) more than MAX_GAIN_RISE dB above the value
    // applied now (what the unit plays), or a high-pass frequency (channel,
    // Mid, High) more than one octave below it (retyping -15 as -12 passes
    // -1; retyping 4000 Hz as 2500 passes 250).  Such a value waits: the form
    // applies it only when the user confirms it.
    static constexpr float MAX_GAIN_RISE = 6.0f;
    enum class EJump { None, GainRise, OctaveFall };
    static EJump HarmfulJump(const SFieldRule& rule, float fltApplied, float fltTyped);

    // The value in the field's display format ("-0" shown as "0").
    static std::u16string Format(const SFieldRule& rule, float v);
    static std::u16string Format(EFieldFormat eFormat, float v);

    // The record value and its setter (sending as asked; band gains without force).
    static float GetValue(const CChannelConfig& cfg, const SFieldRule& rule);
    static void SetValue(CChannelConfig& cfg, const SFieldRule& rule, float v, bool bSend);

    // Up/Down: stored value +/- step as a float; applied with sending on when
    // it stays in range.  Returns true and the new value when applied, false
    // when the step would leave the range.  Low LP Freq. of the Subwoofer
    // does not step.
    static bool Step(CChannelConfig& cfg, const SFieldRule& rule, bool bUp, float& fltNew);

    // The character filter: decimal digits, control characters, '-', and '.'
    // when the field takes a decimal point.
    static bool IsCharAllowed(char16_t ch, bool bDecimalPoint);

    // The adjuster a focused field selects: 0..10, or -1 for "leave the
    // selection alone" (CH Delay, and Mid Gain while a Mid crossover handle
    // is already selected).
    static int AdjusterForField(int nId, int nChannel, int nCurrentAdjuster);
};
