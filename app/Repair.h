// "/repair": only the replay of a serial journal left by a killed run, without a window.
#pragma once

class InstallLog;

inline constexpr int kRepaired = 0;         // repaired, or nothing to do
inline constexpr int kRepairFailed = 1603;  // a port not written back, or a journal refused

// Replays the journal, each step's outcome in `log`; returns one of the codes above.
int RunRepair(InstallLog& log);
