// The simulated print spooler: ports, monitors, drivers per environment and printers.
#include "platform/Spooler.h"
#include "platform/sim/Machine.h"
#include "platform/sim/SimSpooler.h"

namespace sim::detail {
void ResetSpooler() {}
}  // namespace sim::detail
