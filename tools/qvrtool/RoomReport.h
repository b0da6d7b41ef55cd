#pragma once
// CRoomReport: the report's drawing of a channel's room measurement: the
// measured curve (thin, grey), what the channel's settings now predict
// (bold, purple) and the target (dashed, orange), with the tolerance mask
// where the sidecar holds one, from CRoomCurves as the editor draws them.
// The levels are the room's (sound pressure), so the drawing has its own
// axis: 12 dB above the target's level to 36 dB below it.

#include <string>

#include "measure/Sidecar.h"

class CRoomReport {
public:
    // The SVG figure of one channel (now: the channel's settings as the
    // report shows them), or an empty text when the sidecar holds no room
    // measurement for it.
    static std::string Plot(const CChannelConfig& now, const SSidecarChannel& channel, const CSidecar& doc);
    // The legend of the drawing's curves.
    static std::string Legend();
};
