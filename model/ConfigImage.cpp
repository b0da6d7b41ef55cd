#include "model/ConfigImage.h"

CConfigImage::CConfigImage()
    : m_aChannels{CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                  CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)}
{
}

void CConfigImage::Capture(const CChannelConfig* const apChannels[CHANNEL_COUNT], const CProfileInfo& profile)
{
    for (int c = 0; c < CHANNEL_COUNT; ++c) {
        // The plain record part only (the working copy is a window too).
        m_aChannels[static_cast<std::size_t>(c)] = static_cast<const CChannelConfig&>(*apChannels[c]);
        m_aChannels[static_cast<std::size_t>(c)].SetChannel(c);
    }
    m_profile = profile;
}
