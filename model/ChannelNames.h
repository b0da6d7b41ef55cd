#pragma once
// The channels' names as people read them (the tool, the program's messages), by
// channel index.

#include "model/ChannelConfig.h"

inline constexpr const char* kChannelNames[CHANNEL_COUNT] = {"Left",        "Right",        "Center",
                                                             "Left Center", "Right Center", "Subwoofer"};
