// The installation without a window: every question the window asks gets its documented
// answer, and the result is the process's exit code, as deployment tools read it.
#pragma once

#include <string>

class InstallLog;

namespace unattended {

// Windows Installer's conventions.
inline constexpr int kInstalled = 0;
inline constexpr int kBadCommandLine = 87;
inline constexpr int kGivenUp = 1602;
inline constexpr int kFailed = 1603;
inline constexpr int kAnotherRunning = 1618;

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
