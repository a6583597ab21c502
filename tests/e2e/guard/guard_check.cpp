// Checks on real Windows (or Wine) that a fault inside a guarded call is caught and the
// program goes on: the archiver's faults must count as a failed extraction, not a crash.
#include <cstdio>

#include "platform/Library.h"

namespace {

volatile int* volatile nowhere = nullptr;

int Fault() {
    return *nowhere;
}

}  // namespace

int main() {
    int failures = 0;
    for (int round = 0; round < 3; ++round) {
        int value = 0;
        const bool faulted = !sys::CallGuarded([&] { value = Fault(); });
        const bool plain = sys::CallGuarded([&] { value = 7; });
        if (!faulted || !plain || value != 7) {
            std::printf("round %d: faulted=%d plain=%d value=%d\n", round, faulted, plain, value);
            ++failures;
        }
    }
    std::printf(failures == 0 ? "guard ok\n" : "guard FAILED\n");
    return failures == 0 ? 0 : 1;
}
