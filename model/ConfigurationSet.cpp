#include "model/ConfigurationSet.h"

CConfigurationSet::CConfigurationSet(CChannelConfig& workingCopy)
    : m_working(workingCopy),
      m_aRecords{CChannelConfig(0), CChannelConfig(1), CChannelConfig(2),
                 CChannelConfig(3), CChannelConfig(4), CChannelConfig(5)}
{
}

void CConfigurationSet::StoreShown()
{
    if (HasShown())
        Record(ShownChannel()).Assign(m_working, false);
}

void CConfigurationSet::LoadShown()
{
    if (HasShown())
        m_working.Assign(Record(ShownChannel()), false);
}

bool CConfigurationSet::Show(int c, bool bStoreShown)
{
    if (!IsChannel(c))
        return false;
    if (bStoreShown)
        StoreShown();
    m_working.Assign(Record(c), false);
    m_working.SetChannel(c);
    return true;
}

CConfigImage CConfigurationSet::Capture() const
{
    const CChannelConfig* ap[CHANNEL_COUNT];
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        ap[c] = &Current(c);
    CConfigImage image;
    image.Capture(ap, m_profile);
    return image;
}

void CConfigurationSet::Restore(const CConfigImage& image)
{
    RestoreRecords(image);
    LoadShown();
}

CConfigImage CConfigurationSet::CaptureRecords() const
{
    const CChannelConfig* ap[CHANNEL_COUNT];
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        ap[c] = &Record(c);
    CConfigImage image;
    image.Capture(ap, m_profile);
    return image;
}

void CConfigurationSet::RestoreRecords(const CConfigImage& image)
{
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        Record(c) = image.Channel(c);
    m_profile = image.Profile();
}
