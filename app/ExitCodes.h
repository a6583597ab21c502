// The process's exit codes, in Windows Installer's conventions, as deployment tools read them.
#pragma once

namespace exitcode {

inline constexpr int kDone = 0;               // installed, removed, or repaired (or nothing to do)
inline constexpr int kBadCommandLine = 87;    // ERROR_INVALID_PARAMETER
inline constexpr int kUserExit = 1602;        // ERROR_INSTALL_USEREXIT: given up, or declined
inline constexpr int kFailed = 1603;          // ERROR_INSTALL_FAILURE
inline constexpr int kAnotherRunning = 1618;  // ERROR_INSTALL_ALREADY_RUNNING

}  // namespace exitcode
