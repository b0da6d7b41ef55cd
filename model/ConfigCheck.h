#pragma once
// CConfigCheck: whether values may reach the unit.  Every way a whole
// configuration comes in from outside (a file opened in the program, a file
// the command-line tool pushes, the unit's own replies during a read-back)
// asks the same two questions of each value:
// - is it a number at all?  NaN and the infinities are refused everywhere:
//   no filter can be designed from them, the plot goes blank and the unit
//   would play whatever its DSP makes of them;
// - would the editor accept it in the unit's mode?  A finite value outside
//   the editor's bounds (a 1e30 dB gain, a 5 Hz horn high-pass) is not
//   refused outright, since a unit or a file made elsewhere may hold it on
//   purpose, but it is named so that a person decides.
// The channel high-pass Q has no typed field: the editor offers exactly
// 0.707 and 2.0, and anything else is outside its range.  The flag words are
// carried unchanged and never checked.
//
// The record check looks at the values as they came in (a file's own bit
// patterns), not at records after loading: the setters change some values on
// the way in.

#include <cstdint>
#include <string>
#include <vector>

#include "model/ChannelConfig.h"
#include "model/ChannelFields.h"
#include "model/FieldRanges.h"

class CConfigCheck {
public:
    // The two values of the high-pass Q that the editor's buttons set.
    static constexpr float HP_Q_LOW = 0.707f;
    static constexpr float HP_Q_HIGH = 2.0f;

    enum class EVerdict {
        Ok,         // a flag word, or a value the editor accepts in the mode
        NonFinite,  // NaN or an infinity: never applied
        OutOfRange, // finite, but no field of the editor would take it in the mode
    };

    // The verdict on one value of a field in a mode (2 Biamp, 3 Triamp).
    static EVerdict CheckValue(EChannelField eField, int nMode, float v);
    // The same for the field's 32-bit pattern as it travels (files, replies).
    static EVerdict CheckBits(EChannelField eField, int nMode, std::uint32_t bits);

    // One record as it came in: its channel index and its 30 values as
    // 32-bit patterns in field order.
    struct SRecordBits {
        std::int32_t nChannel = 0;
        std::uint32_t adwValues[FIELD_COUNT] = {};
    };

    struct SFinding {
        int nRecord = -1;                  // the record concerned, -1 for the input as a whole
        EChannelField eField = FIELD_NONE; // the value concerned, if any
        EVerdict eVerdict = EVerdict::Ok;  // of eField (Ok for a finding that concerns no value)
        bool bNonFinite = false;           // eVerdict == NonFinite
        float fltValue = 0.0f;             // eField's value
        // The record carries a channel index other than its place (the
        // index it claims here): the file is damaged, never applied.
        bool bForeignIndex = false;
        std::int32_t nClaimedChannel = 0;
        std::string text;                  // one line, e.g. "record 2 m_fltLowLPFreq is 100, outside ..."
    };

    // The findings for six records in the editor's ranges of nMode, record
    // by record in field order: a record whose channel index is not its own
    // place (record i of the program's files always carries i; another
    // index would put its values on another channel of the unit than the
    // one the screen shows them as), then values that are not finite or
    // outside the ranges.
    static std::vector<SFinding> Check(const SRecordBits (&records)[CHANNEL_COUNT], int nMode);

    // A record as the program holds it, in the same form.
    static SRecordBits BitsOf(const CChannelConfig& cfg);

    // What a whole configuration coming in (a file being opened) may do to
    // the one in use (pCurrent: the six records as the program holds them,
    // by position).  A record claiming another channel, or a value that is
    // not finite, refuses it.  Otherwise a
    // value outside the editor's ranges must be confirmed, unless it equals
    // what the program holds already: that one changes nothing and is not
    // sent, so a file saved from the program opens without a question even
    // where the unit it was read from holds such values.  `named` receives
    // the findings that decide (every foreign index and non-finite one, or
    // every one to confirm).
    enum class EAdmission { Apply, Confirm, Refuse };
    static EAdmission Admit(const SRecordBits (&incoming)[CHANNEL_COUNT], const SRecordBits (&current)[CHANNEL_COUNT],
                            int nMode, std::vector<SFinding>& named);

    // What the editor accepts for a field in a mode, as a person reads it:
    // "200 to 4000 Hz", "0.707 or 2.0"; empty for a field without bounds.
    static std::string DescribeRange(EChannelField eField, int nMode);
    // The same tersely, as the tool prints it: "200..4000", "0.707|2".
    static std::string BoundsText(EChannelField eField, int nMode);

    // A value as the tool and the messages print it ("NaN", "inf", "-inf" or
    // the shortest decimal that reads back as the same float).
    static std::string FormatFloat(float v);
    // "Biamp" or "Triamp".
    static const char* ModeName(int nMode);
};
