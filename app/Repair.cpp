// The repair run: the journal's printers given back their ports, the spooler restarted once.
#include "app/Repair.h"

#include "install/RestartService.h"
#include "ports/SerialJournal.h"

int RepairSerialPorts() {
    const auto replayed = ports::journal::Replay(
        [] { return install::RestartService("Spooler", 0, [](const std::string&) {}); });
    return replayed.failed ? kRepairFailed : kRepaired;
}
