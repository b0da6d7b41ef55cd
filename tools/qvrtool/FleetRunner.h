#pragma once
// CFleetRunner: runs the jobs of a run over several units, one job per
// unit, at most N at once.  A job is a row of steps, each a child qvrtool
// (this very program) running a single-unit verb with the unit's device-list
// entry; a step that fails ends its job.  Each unit thus has its own process,
// link, queue and notification pipe: the program's link objects are one per
// process, a child that crashes takes only its own unit with it, and the
// single-unit verbs stay the one code that talks to units.
//
// Progress goes to stderr when it is a terminal: one line per unit, redrawn
// in place.  Children's output goes to files and is kept (bounded) for the
// caller.

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "tools/qvrtool/FleetOutcome.h"

class CFleetRunner {
public:
    struct SStepPlan {
        CFleetOutcome::EVerb verb = CFleetOutcome::EVerb::Pull;
        std::vector<std::string> args;  // the child's arguments (UTF-8), the verb first
        std::vector<std::string> names; // unit and file names its messages begin with
        const char* pszDoing = "";      // what the progress line says while it runs
        std::string output;             // path stem of the files that take its stdout (.out) and stderr (.err)
    };

    struct SJob {
        std::string label;              // the unit's serial number, for progress
        std::vector<SStepPlan> steps;
        // Filled in by Run.
        std::vector<CFleetOutcome::SStep> done; // the steps run, in order
        CFleetOutcome::SResult result;
        double dSeconds = 0;
        std::atomic<int> nStep{-1}; // -1 waiting; k running step k; steps.size() finished
        DWORD dwStart = 0;
    };

    // Runs every job; at most nParallel at once (at least 1).
    static void Run(std::vector<SJob*>& jobs, unsigned nParallel);

    // Runs one child to its end and gathers what it wrote.
    static CFleetOutcome::SStep RunChild(const SStepPlan& plan);

private:
    static void RunJob(SJob& job);
    static void ShowProgress(const std::vector<SJob*>& jobs, bool bFirst);
};
