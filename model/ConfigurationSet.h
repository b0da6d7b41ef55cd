#pragma once
// The whole configuration the editor works on: the six channel records (the
// channel set), the profile, and the working copy of the shown channel.
//
// The editor edits one channel at a time through its working copy (the
// response plot is one: it draws what it holds), so the shown channel has
// two records: its entry in the set, and the working copy, which is newer
// while the channel is shown.  This class is the one place that moves values
// between the two (StoreShown, LoadShown, Show); every other reader and
// writer asks it for the record it needs: Record(c) is the stored entry,
// Current(c) the newest values (the working copy for the shown channel).
// Nothing here sends: storing and loading copy values the unit already has.

#include <array>

#include "model/ChannelConfig.h"
#include "model/ConfigImage.h"
#include "model/ProfileInfo.h"

class CConfigurationSet {
public:
    // workingCopy: the editor's working copy; its channel index is the
    // shown channel.  The set's entries start at their defaults.
    explicit CConfigurationSet(CChannelConfig& workingCopy);
    CConfigurationSet(const CConfigurationSet&) = delete;
    CConfigurationSet& operator=(const CConfigurationSet&) = delete;

    // The shown channel (0..5), the working copy's place in the set.
    int ShownChannel() const { return m_working.GetChannel(); }
    bool HasShown() const { return IsChannel(ShownChannel()); }
    // The working copy: every edit of the shown channel goes through it.
    CChannelConfig& Shown() { return m_working; }
    const CChannelConfig& Shown() const { return m_working; }
    // The set's entry of channel c (0..5); for the shown channel it holds
    // what was stored last, which the working copy may have moved on from.
    CChannelConfig& Record(int c) { return m_aRecords[static_cast<std::size_t>(c)]; }
    const CChannelConfig& Record(int c) const { return m_aRecords[static_cast<std::size_t>(c)]; }
    // The newest values of channel c: the working copy when c is shown.
    CChannelConfig& Current(int c) { return c == ShownChannel() ? m_working : Record(c); }
    const CChannelConfig& Current(int c) const { return c == ShownChannel() ? m_working : Record(c); }
    // The six entries in channel order (whole-set operations: files, modes).
    CChannelConfig* Records() { return m_aRecords.data(); }
    CProfileInfo& Profile() { return m_profile; }
    const CProfileInfo& Profile() const { return m_profile; }

    // The working copy's values into the shown channel's entry, before an
    // operation that works on the whole set reads or changes it.
    void StoreShown();
    // The shown channel's entry into the working copy, after such an
    // operation changed it (or to drop the working copy's edits).
    void LoadShown();
    // Shows channel c: the shown channel's values are stored first unless
    // bStoreShown is false (during a read-back the set holds the unit's
    // values as they arrive and the working copy has nothing to give back),
    // then c's entry is loaded.  False (nothing changes) for a c outside 0..5.
    bool Show(int c, bool bStoreShown = true);

    // A picture of the whole configuration as it stands (the working copy's
    // values for the shown channel), and the configuration put back from one:
    // every entry and the profile take the picture's values and the shown
    // channel (which stays shown) is loaded from its entry.
    CConfigImage Capture() const;
    void Restore(const CConfigImage& image);
    // The same for the six entries and the profile as they are stored,
    // leaving the working copy out both ways: File New keeps and puts back
    // only these around writing the defaults, and the screen is not touched.
    CConfigImage CaptureRecords() const;
    void RestoreRecords(const CConfigImage& image);

    static bool IsChannel(int c) { return c >= 0 && c < CHANNEL_COUNT; }

private:
    CConfigImage Picture(bool bWithWorkingCopy) const;

    CChannelConfig& m_working;
    std::array<CChannelConfig, CHANNEL_COUNT> m_aRecords;
    CProfileInfo m_profile;
};
