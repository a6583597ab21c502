// Shared helpers of the platform conformance cases. The same cases build twice: on the host
// against the simulated back end, and for Windows against the real one (run under Wine).
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Types.h"

namespace conformance {

// Put in the last error before a call, to see whether the call set or left it.
constexpr sys::Dword kMarker = 0xdeadbeef;
// Fills output buffers, to catch writes past what a call promised.
constexpr unsigned char kFill = 0xA5;

bool OnSim();                // the simulated back end
bool OnWine();               // the real back end, running under Wine
bool SkipWineDifferences();  // on Wine, unless CONFORMANCE_WINE_DIFFERS=run

// A fresh machine before each case on the sim; on Windows the machine is what it is. Each case
// gets a scratch directory of its own, empty at the start and removed at the end.
class Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The scratch directory as a Win32 path without a trailing backslash: C:\scratch on the
    // sim, %TEMP%\conformance-<case> on Windows.
    const std::string& Scratch() const { return scratch_; }
    std::string At(const std::string& name) const { return scratch_ + "\\" + name; }

  private:
    std::string scratch_;
};

// Test-only file access through the C runtime, for the set-up the interface cannot make (it
// has no WriteFile). Takes the Win32 path the calls see; on the sim it maps to the host file.
bool WriteFile(const std::string& windowsPath, const std::string& content);
std::optional<std::string> ReadFile(const std::string& windowsPath);

// Removes a file or a directory tree through the sys:: calls, clearing read-only first.
void RemoveTree(const std::string& windowsPath);

// The user leaves the dialog with this template alone for `milliseconds` once it is the
// innermost one open: on Windows real time passes by itself; on the sim the script moves the
// simulated clock, and timers fire.
void UserWaits(int dialog, unsigned milliseconds);

}  // namespace conformance

// A case where Wine behaves otherwise than Windows: the sim follows Windows, Wine skips it.
#define WINE_DIFFERS(why)                                                \
    do {                                                                 \
        if (::conformance::SkipWineDifferences()) {                      \
            GTEST_SKIP() << "Wine differs from Windows here: " << (why); \
        }                                                                \
    } while (0)

// A case whose set-up only the sim can make (a machine state no call can produce).
#define SIM_ONLY(why)                                               \
    do {                                                            \
        if (!::conformance::OnSim()) {                              \
            GTEST_SKIP() << "needs a simulated machine: " << (why); \
        }                                                           \
    } while (0)
