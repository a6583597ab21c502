// The repair run: the journal's printers given back their ports, the spooler restarted once.
#include "app/Repair.h"

#include "app/InstallLog.h"
#include "install/RestartService.h"
#include "ports/SerialJournal.h"

int RunRepair(InstallLog& log) {
    const auto replayed = ports::journal::Replay([&log] {
        return install::RestartService("Spooler", 0,
                                       [&log](const std::string& text) { log.Line(text); });
    });
    const std::string status = ports::journal::ReplayStatus(replayed);
    log.Line(status.empty() ? "Repair: nothing to do" : "Repair: " + status);
    const int code = replayed.failed || replayed.refused ? kRepairFailed : kRepaired;
    log.Line("Result: " + std::to_string(code));
    return code;
}
