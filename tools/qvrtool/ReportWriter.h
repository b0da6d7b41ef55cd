#pragma once
// CReportWriter: the commissioning report, one self-contained HTML page (no
// scripts, nothing fetched) laid out for A4: the profile texts, a table of
// every channel's settings in the units and formats the editor shows, and
// each channel's response as an SVG plot of the curves the editor draws
// (computed by the program's own response code, 25 Hz to 20 kHz, +24 dB to
// -60 dB, Low red, Mid blue, High green) with their sum in black over them,
// and under each plot the deepest dip of the sum below its median level;
// for a channel whose measurements sidecar holds a room measurement, a
// second drawing of measured, predicted and target (CRoomReport).

#include <string>

class CChannelConfig;
class CProfileInfo;
class CSidecar;

class CReportWriter {
public:
    struct SInput {
        const CChannelConfig* pChannels = nullptr; // six records, at their channel positions
        int nMode = 3;                            // 2 Biamp, 3 Triamp
        bool bNoLeftRightCenter = false;          // the unit has no Left Center and Right Center
        const CProfileInfo* pProfile = nullptr;   // nullptr: no profile known
        std::string source;                       // where the settings come from (UTF-8)
        std::string date;                         // when they were taken (UTF-8), may be empty
        bool bFromUnit = false;                   // read from a unit: the values it does not report are marked
        const CSidecar* pSidecar = nullptr;       // the measurements beside the file: a room drawing per channel that has one
    };

    static std::string Build(const SInput& input);
};
