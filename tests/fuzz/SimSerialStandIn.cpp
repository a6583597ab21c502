// Stands in for the simulated serial port's hooks in the fuzz build, which leaves out
// platform/sim/Serial.cpp (clang 14 cannot compile it); the catalogue reader never opens a port,
// so there is never serial data due.
#include <cstdint>

#include "platform/sim/Machine.h"

namespace sim::detail {

void ResetSerial() {}

std::optional<sys::Dword> NextSerialDue() {
    return std::nullopt;
}

void DeliverSerial(sys::Dword) {}

}  // namespace sim::detail

namespace sys {

// The file model compares against it too.
void* InvalidHandleValue() {
    return reinterpret_cast<void*>(~std::uintptr_t{0});
}

}  // namespace sys
