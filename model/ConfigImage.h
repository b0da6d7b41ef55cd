#pragma once
// A picture of the whole configuration: the six channel records and the
// profile texts, as they stand at one moment.  The edit history takes one
// when a gesture begins and compares it with the configuration when the
// gesture ends; the difference, and only the difference, becomes a step.

#include <array>
#include <cstddef>

#include "model/ChannelConfig.h"
#include "model/ProfileInfo.h"

class CConfigImage {
public:
    CConfigImage();

    // apChannels: the six records in channel order (the shown one being the
    // editor's working copy, which is newer than its channel-set entry).
    void Capture(const CChannelConfig* const apChannels[CHANNEL_COUNT], const CProfileInfo& profile);

    const CChannelConfig& Channel(int nChannel) const { return m_aChannels[static_cast<std::size_t>(nChannel)]; }
    CChannelConfig& Channel(int nChannel) { return m_aChannels[static_cast<std::size_t>(nChannel)]; }
    const CProfileInfo& Profile() const { return m_profile; }
    CProfileInfo& Profile() { return m_profile; }

private:
    std::array<CChannelConfig, CHANNEL_COUNT> m_aChannels;
    CProfileInfo m_profile;
};
