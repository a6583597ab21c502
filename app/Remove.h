// `DriverInstaller.exe /remove "<printer name>" [/quiet]`: removes a printer with the driver and
// language monitor only it used; the result is the process's exit code.
#pragma once

#include <string>

class InstallLog;

namespace uninstall {

inline constexpr int kDeclined = 1602;      // ERROR_INSTALL_USEREXIT: No in the confirmation
inline constexpr int kBadCommandLine = 87;  // ERROR_INVALID_PARAMETER: /remove without a name

// Without quiet: a confirmation box, then a box with the result; with quiet nothing is shown.
// 0 removed, 1605 no such printer, 1603 something stayed (named in the log and the box),
// 1602 declined.
int RunRemove(const std::string& printerName, bool quiet, InstallLog& log);

}  // namespace uninstall
