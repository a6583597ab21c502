// The simulated registry: a tree of keys with values and access rights.
#include "platform/Registry.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimRegistry.h"

namespace sim::detail {
void ResetRegistry() {}
}  // namespace sim::detail
