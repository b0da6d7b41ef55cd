#pragma once
// CUnitMismatch: the values where the connected unit is known to hold
// something other than the program shows.  The read-back finds them: a
// reply that is not a number is not taken, and a value the setters change
// on the way in (a high-pass below their floor) is shown changed.  While
// such a mark stands, "unchanged" means nothing for the field: the setters
// send the next value written to it even when it equals the program's own,
// and a sent write clears the mark.  Kept per unit channel and field, not
// per record: the channel set, the working copy and the copies made of them
// all stand for the same unit channel.  Process-wide, like the system flags.

#include <cstdint>

#include "model/ChannelFields.h"

class CUnitMismatch {
public:
    static void Mark(int nChannel, EChannelField eField, std::uint32_t dwUnitBits);
    static bool IsMarked(int nChannel, EChannelField eField);
    // What the unit holds in the field: the marked value, else dwOtherwise.
    static std::uint32_t UnitBits(int nChannel, EChannelField eField, std::uint32_t dwOtherwise);
    // The field was written to the unit (or found equal to it).
    static void Clear(int nChannel, EChannelField eField);
    // Another unit, or none: nothing is known to differ.
    static void ClearAll();
    static int Count();
};
