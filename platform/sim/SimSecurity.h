// The test-facing side of the simulated process token and its privileges.
#pragma once

#include <string>

namespace sim::security {

// Reset() (Sim.h) gives a token that holds every privilege LookupPrivilegeValueA knows, all of
// them disabled, as an elevated administrator's.
// Whether the token holds the privilege; AdjustTokenPrivileges on one it does not hold
// succeeds with last error 1300 (ERROR_NOT_ALL_ASSIGNED) and changes nothing.
void SetPrivilegeHeld(const std::string& name, bool held);
bool PrivilegeEnabled(const std::string& name);
int OpenTokenCount();  // token handles not yet closed (leak check)

}  // namespace sim::security
