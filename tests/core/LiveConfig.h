#pragma once
// A live configuration as the editor has it (six records and the profile),
// for the edit history's tests and benchmark: the history is given pointers
// to the live records and compares pictures of them.

#include "model/ChannelFields.h"
#include "model/EditHistory.h"

struct SLive {
    CConfigImage records; // used as plain storage for the six live records
    CChannelConfig* ap[CHANNEL_COUNT];
    SLive()
    {
        for (int c = 0; c < CHANNEL_COUNT; ++c)
            ap[c] = &records.Channel(c);
    }
    CConfigImage Now() const
    {
        CConfigImage image;
        image.Capture(ap, records.Profile());
        return image;
    }
    CProfileInfo& Profile() { return records.Profile(); }
};
