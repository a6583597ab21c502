// The simulated service control manager: services that move through pending states in time.
#include "platform/Service.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimRegistry.h"

namespace sim::detail {
void ResetServices() {}
}  // namespace sim::detail
