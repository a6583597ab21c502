// The installation without a window: every question the window asks gets its documented
// answer, and the result is the process's exit code, as deployment tools read it.
#pragma once

#include <string>

#include "app/ExitCodes.h"

class InstallLog;

namespace unattended {

inline constexpr int kInstalled = exitcode::kDone;
inline constexpr int kBadCommandLine = exitcode::kBadCommandLine;
inline constexpr int kGivenUp = exitcode::kUserExit;
inline constexpr int kFailed = exitcode::kFailed;
inline constexpr int kAnotherRunning = exitcode::kAnotherRunning;

struct Options {
    std::string model;        // the display name, as in the driver list
    std::string printerName;  // empty: the display name
    std::string port;         // "usb", "serial", or an existing port's name
    int baudRate = 19200;     // the serial search's rate
    bool setDefault = true;
};

// Prepares (unpacks the package beside the program), installs and cleans up as the window
// would; returns one of the codes above (never kAnotherRunning: the caller settles that).
int Run(const Options& options, InstallLog& log);

}  // namespace unattended
