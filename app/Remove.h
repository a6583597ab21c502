// `DriverInstaller.exe /remove "<printer name>" [/quiet]`: removes a printer with the driver and
// language monitor only it used; the result is the process's exit code.
#pragma once

#include <string>

#include "app/ExitCodes.h"

class InstallLog;

namespace uninstall {

inline constexpr int kDeclined = exitcode::kUserExit;              // No in the confirmation
inline constexpr int kBadCommandLine = exitcode::kBadCommandLine;  // /remove without a name

// Without quiet: a confirmation box, then a box with the result; with quiet nothing is shown.
// 0 removed, 1605 no such printer, 1603 something stayed (named in the log and the box),
// 1602 declined.
int RunRemove(const std::string& printerName, bool quiet, InstallLog& log);

}  // namespace uninstall
