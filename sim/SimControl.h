#pragma once
// Text control of a simulated unit: one command line in, one reply line out
// ("OK ..." or "ERR ...").  Used by the qvr500-sim control port and usable
// in-process by tests.  The commands are listed in docs/simulator.md and by
// the "help" command.

#include <string>

#include "sim/SimUnit.h"

class CSimControl {
public:
    explicit CSimControl(CSimUnit& unit) : m_unit(unit) {}

    // Runs one command line and returns the reply line (without a newline).
    // Sets *pbQuit when the command asks the simulator to end.
    std::string Execute(const std::string& line, bool* pbQuit = nullptr);

private:
    CSimUnit& m_unit;
};
