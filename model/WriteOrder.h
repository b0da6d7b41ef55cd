#pragma once
// CWriteOrder: the order in which a change of several values at once reaches
// the unit (a file opened, a preset, Copy Channel, Undo and Redo, the
// read-back's values sent back).  Each write goes out on its own exchange,
// so the unit plays every state in between; written in field order the
// level would go first and re-send every band output with the band gains
// still old, and a horn's high-pass could fall before its gain does.  So
// first every write that makes the unit quieter or safer (a gain or level
// that falls, a band that gets muted, a high-pass that rises), then the
// rest, each part in the order given.  Any band output then stays between
// its value before and after the change: it only ever moves towards the
// lower end first and towards its final value second.  What finally
// reaches the unit is the same as in any other order.

#include <cstdint>
#include <vector>

#include "model/ChannelFields.h"

class CChannelConfig;

class CWriteOrder {
public:
    struct SWrite {
        CChannelConfig* pConfig;
        EChannelField eField;
        std::uint32_t dwBits;
    };

    // Whether writing dwTo into eField where the unit plays dwFrom lowers
    // an output or raises a high-pass: such writes go first.
    static bool GoesFirst(EChannelField eField, std::uint32_t dwFrom, std::uint32_t dwTo);

    // Applies the writes through the setters (SetChannelFieldBits with send
    // and force), the ones that go first before the others.  What the unit
    // plays before a write is judged per record from its value (or, where
    // the unit is known to hold another, from the unit's).
    static void Apply(const std::vector<SWrite>& writes, bool send, bool force);

    // Every field of src onto dst in that order (the channel index stays).
    static void ApplyAll(CChannelConfig& dst, const CChannelConfig& src, bool send, bool force);
};
