#pragma once
// The channels' names as the tool prints them, by channel index.

#include "model/ChannelConfig.h"

inline constexpr const char* kChannelNames[CHANNEL_COUNT] = {"Left",        "Right",        "Center",
                                                             "Left Center", "Right Center", "Subwoofer"};
