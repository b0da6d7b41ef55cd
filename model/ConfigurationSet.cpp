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
    // The whole entry, its Mid band too: in Biamp the Mid setters keep what
    // they hold, and Assign would leave the Mid values of the channel shown
    // before in the working copy of this one.
    m_working = Record(c);
    m_working.SetChannel(c);
    return true;
}

CConfigImage CConfigurationSet::Picture(bool bWithWorkingCopy) const
{
    const CChannelConfig* ap[CHANNEL_COUNT];
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        ap[c] = bWithWorkingCopy ? &Current(c) : &Record(c);
    CConfigImage image;
    image.Capture(ap, m_profile);
    return image;
}

CConfigImage CConfigurationSet::Capture() const { return Picture(true); }

void CConfigurationSet::Restore(const CConfigImage& image)
{
    RestoreRecords(image);
    LoadShown();
}

CConfigImage CConfigurationSet::CaptureRecords() const { return Picture(false); }

void CConfigurationSet::RestoreRecords(const CConfigImage& image)
{
    for (int c = 0; c < CHANNEL_COUNT; ++c)
        Record(c) = image.Channel(c);
    m_profile = image.Profile();
}
