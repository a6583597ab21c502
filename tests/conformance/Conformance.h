// Shared helpers of the platform conformance cases. The same cases build twice: on the host
// against the simulated back end, and for Windows against the real one (run under Wine).
#pragma once

#include <gtest/gtest.h>

#include "platform/Types.h"

namespace conformance {

// Put in the last error before a call, to see whether the call set or left it.
constexpr sys::Dword kMarker = 0xdeadbeef;
// Fills output buffers, to catch writes past what a call promised.
constexpr unsigned char kFill = 0xA5;

bool OnSim();   // the simulated back end
bool OnWine();  // the real back end, running under Wine

// A fresh machine before each case on the sim; on Windows the machine is what it is.
class Test : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace conformance

// A case where Wine behaves otherwise than Windows: the sim follows Windows, Wine skips it.
#define WINE_DIFFERS(why)                                                \
    do {                                                                 \
        if (::conformance::OnWine()) {                                   \
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
