#pragma once
// CConfigCheck: what a configuration file holds that the editor would not
// accept.  The reader takes any file with the right signature and applies
// its values through the record setters, so a file written by another tool
// (or damaged) can carry values no field of the editor takes: NaN,
// infinities, values outside the editor's ranges, two records that claim
// one channel, bytes after the sixth record.  The checks look at the file's
// own bytes, not at the records after loading (the setters change some
// values on the way in).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/ChannelFields.h"

class CConfigCheck {
public:
    struct SFinding {
        int nRecord = -1;                 // the record concerned, -1 for the file as a whole
        EChannelField eField = FIELD_NONE; // the value concerned, if any
        bool bNonFinite = false;          // NaN or an infinity: nothing can be computed from it
        std::string text;                 // one line, e.g. "record 2 m_fltLowLPFreq is 100, outside ..."
    };

    // The findings for a file that the reader accepts (nSize >= 1144, the
    // signature checked), in the editor's ranges of nMode (2 Biamp, 3 Triamp).
    static std::vector<SFinding> Check(const std::uint8_t* pData, std::size_t nSize, int nMode);

    // A value as the tool prints it ("NaN", "inf", "-inf" or the shortest
    // exact decimal of the float).
    static std::string FormatFloat(float v);
};
