#pragma once
// Process-wide named simulated units.  A unit lives until the process ends,
// so its live and stored settings outlast the program closing and reopening
// the link, like a real unit that stays powered.

#include <string>

#include "sim/SimUnit.h"

// The unit of that name, created with default options on first use.
CSimUnit& GetSharedSimUnit(const std::string& name);
// True when a unit of that name has been created.
bool HasSharedSimUnit(const std::string& name);
