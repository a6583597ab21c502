// "/repair": only the replay of a serial journal left by a killed run, without a window.
#pragma once

#include "app/ExitCodes.h"

class InstallLog;

inline constexpr int kRepaired = exitcode::kDone;  // repaired, or nothing to do
// A port not written back, or a journal refused.
inline constexpr int kRepairFailed = exitcode::kFailed;

// Replays the journal, each step's outcome in `log`; returns one of the codes above.
int RunRepair(InstallLog& log);
