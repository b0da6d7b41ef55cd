#pragma once
// The editor's history of changes, walked by Undo and Redo.  A step is what
// one gesture of the user changed (a field's edit, a drag, a click, a
// dialog's OK): for each value the channel, the field and the value before
// and after, for each text (speaker name, profile) the text before and
// after.  Nothing else is kept, so a step costs bytes, not a copy of the
// configuration.  At most MAX_STEPS steps; the oldest go first.
//
// Gestures are bracketed by Begin and End, each given the configuration as
// it stands then: a gesture still open when another begins is ended first,
// and Begin of the gesture that is open already (the same field typed into
// again) continues it, so typing 1, 15, 150, 1500 is one step.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "model/ConfigImage.h"

class CEditHistory {
public:
    static constexpr std::size_t MAX_STEPS = 500;
    static constexpr int NOTHING = -1; // "what" of no step

    // The texts a step can change: a channel's speaker name, or a profile text.
    enum ETextItem : std::int8_t { TEXT_SPEAKER, TEXT_PROJECT, TEXT_THEATER, TEXT_SCREEN, TEXT_COMMENTS };

    struct SValueChange {
        std::int8_t nChannel;
        std::int8_t nField; // EChannelField
        std::uint32_t dwBefore;
        std::uint32_t dwAfter;
    };
    struct STextChange {
        std::int8_t nChannel; // the speaker name's channel; -1 for a profile text
        ETextItem eItem;
        std::u16string strBefore;
        std::u16string strAfter;
    };
    struct SStep {
        int nWhat = NOTHING; // the caller's name of the gesture
        std::vector<SValueChange> aValues;
        std::vector<STextChange> aTexts;

        bool Empty() const { return aValues.empty() && aTexts.empty(); }
        // Whether the step changes a value or the speaker name of the channel.
        bool Touches(int nChannel) const;
        // What the step occupies in memory.
        std::size_t Bytes() const;
    };

    // The step from one configuration to another (empty when they agree).
    static SStep Diff(const CConfigImage& before, const CConfigImage& after, int nWhat);
    // Puts the step's values before (bUndo) or after back through the setters
    // with sending on: only what differs reaches the unit.  apChannels are
    // the live records (the shown channel's being the working copy).
    // Returns true when a text changed (the caller stores texts in the unit).
    static bool Apply(const SStep& step, bool bUndo, CChannelConfig* const apChannels[CHANNEL_COUNT],
                      CProfileInfo& profile);

    // Forgets every step: the configuration was replaced wholesale.
    void Clear();

    // Gesture bracket (see above).
    void Begin(int nWhat, const CConfigImage& current);
    void End(const CConfigImage& current);
    bool IsOpen() const { return m_nOpenWhat != NOTHING; }
    int OpenWhat() const { return m_nOpenWhat; }

    // What Undo / Redo would take back, given the configuration now (an open
    // gesture that changed something counts as the last step); NOTHING when
    // there is nothing.
    int UndoWhat(const CConfigImage& current) const;
    int RedoWhat(const CConfigImage& current) const;

    // Ends an open gesture, then steps back (forward).  Returns the step to
    // apply, before (after) values, or nullptr when there is none.
    const SStep* Undo(const CConfigImage& current);
    const SStep* Redo(const CConfigImage& current);

    std::size_t StepCount() const { return m_aSteps.size(); }
    std::size_t UndoCount() const { return m_nPosition; }
    std::size_t Bytes() const;

private:
    std::deque<SStep> m_aSteps;
    std::size_t m_nPosition = 0;  // steps before this one are done, the others undone
    int m_nOpenWhat = NOTHING;
    CConfigImage m_imageAtBegin;   // the configuration when the open gesture began
};
