// placeholder until written
#include "app/Unattended.h"

#include "app/InstallLog.h"

namespace unattended {

int Run(const Options& options, InstallLog& log) {
    log.Line("Unattended installation of " + options.model + " is not available in this build");
    return kFailed;
}

}  // namespace unattended
