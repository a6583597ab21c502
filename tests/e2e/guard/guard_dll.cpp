// A stand-in outside component for the guard check: each export ends in a different way.
#include <windows.h>

#include <stdexcept>

#include "FrameProbe.h"

namespace {

volatile int* volatile nowhere = nullptr;
volatile int cleanups = 0;

struct Cleanup {
    ~Cleanup() { cleanups = cleanups + 1; }
};

}  // namespace

extern "C" {

__declspec(dllexport) int GuardDllFault() {
    return *nowhere;
}

__declspec(dllexport) void GuardDllRaise() {
    ::RaiseException(0xE0475244, 0, 0, nullptr);
}

// A C++ exception leaving the component. On x86_64 GCC throws through the system's dispatcher;
// i686 GCC (DWARF unwinding) cannot throw across modules at all, so there the exception is
// raised the way an MSVC-built component's throw reaches the system (code 0xE06D7363).
__declspec(dllexport) void GuardDllThrow() {
    Cleanup cleanup;
#if defined(_WIN64)
    throw std::runtime_error("out of the component");
#else
    const ULONG_PTR arguments[3] = {0x19930520, 0, 0};
    ::RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 3, arguments);
#endif
}

__declspec(dllexport) int GuardDllCleanups() {
    return cleanups;
}

// Faults and repairs the fault with a handler of its own.
__declspec(dllexport) int GuardDllHandled() {
    return ProbeRead(const_cast<const int*>(nowhere));
}

__declspec(dllexport) int GuardDllHandlerRuns() {
    return probe::handled;
}

}  // extern "C"
