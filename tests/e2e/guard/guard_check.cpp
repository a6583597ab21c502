// Checks on Wine that only an exception leaving a guarded call counts as its failure: a fault, a
// raised code and a C++ exception out of the component fail the call; a fault the component
// handles itself does not; and after every call the thread's handler chain still works.
#include <windows.h>

#include <cstdio>

#include "FrameProbe.h"
#include "platform/Library.h"

extern "C" {
__declspec(dllimport) int GuardDllFault();
__declspec(dllimport) void GuardDllRaise();
__declspec(dllimport) void GuardDllThrow();
__declspec(dllimport) int GuardDllCleanups();
__declspec(dllimport) int GuardDllHandled();
__declspec(dllimport) int GuardDllHandlerRuns();
}

namespace {

int failures = 0;

void Expect(bool ok, const char* round, const char* what) {
    std::printf("%s %s: %s\n", ok ? "ok  " : "FAIL", round, what);
    if (!ok) {
        ++failures;
    }
}

void* ChainHead() {
#if defined(_WIN64)
    return nullptr;  // no chain in the thread block: unwinding follows the code's tables
#else
    return ProbeThreadBlock()->ExceptionList;
#endif
}

// After a guarded call: the chain is as before and a fault handled by a frame of this program
// is repaired by it.
void ExpectChainWorks(const char* round, void* headBefore) {
#if !defined(_WIN64)
    Expect(ChainHead() == headBefore, round, "FS:[0] restored");
#else
    (void)headBefore;
#endif
    const int before = probe::handled;
    const int value = ProbeRead(nullptr);
    Expect(value == probe::kFallback && probe::handled == before + 1, round,
           "a later fault reaches this program's frame handler");
}

}  // namespace

int main() {
    for (int round = 0; round < 2; ++round) {
        void* head = ChainHead();
        int value = 0;
        Expect(!sys::CallGuarded([&] { value = GuardDllFault(); }), "fault",
               "an access violation fails the call");
        ExpectChainWorks("fault", head);

        Expect(!sys::CallGuarded([] { GuardDllRaise(); }), "raise",
               "RaiseException(0xE0475244) fails the call");
        ExpectChainWorks("raise", head);

        const int cleanups = GuardDllCleanups();
        Expect(!sys::CallGuarded([] { GuardDllThrow(); }), "throw",
               "a C++ exception out of the component fails the call");
#if defined(_WIN64)
        Expect(GuardDllCleanups() == cleanups + 1, "throw", "the component's destructor ran");
#else
        (void)cleanups;
#endif
        ExpectChainWorks("throw", head);

        const int runs = GuardDllHandlerRuns();
        value = 0;
        Expect(sys::CallGuarded([&] { value = GuardDllHandled(); }), "handled",
               "a fault the component handles does not fail the call");
        Expect(GuardDllHandlerRuns() == runs + 1 && value == probe::kFallback, "handled",
               "the component's own handler ran and the call went on");
        ExpectChainWorks("handled", head);

        value = 0;
        Expect(sys::CallGuarded([&] { value = 7; }) && value == 7, "plain",
               "a call that returns succeeds");
        ExpectChainWorks("plain", head);
    }
    std::printf(failures == 0 ? "guard ok\n" : "guard FAILED (%d)\n", failures);
    return failures == 0 ? 0 : 1;
}
