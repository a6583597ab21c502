// "/repair": only the replay of a serial journal left by a killed run, without a window.
#pragma once

inline constexpr int kRepaired = 0;         // repaired, or nothing to do
inline constexpr int kRepairFailed = 1603;  // a port could not be written back

int RepairSerialPorts();
