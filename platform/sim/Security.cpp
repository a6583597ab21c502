// The simulated process token: privileges looked up by name, held or not, enabled on request.
#include "platform/Security.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimSecurity.h"

namespace sim::detail {
void ResetSecurity() {}
}  // namespace sim::detail
