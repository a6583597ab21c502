// Back-end detection and the per-case fixture of the conformance cases.
#include "tests/conformance/Conformance.h"

#include "platform/Library.h"

#ifndef _WIN32
#include "platform/sim/Sim.h"
#include "platform/sim/SimUi.h"
#endif

namespace conformance {

bool OnSim() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

bool OnWine() {
    if (OnSim()) {
        return false;
    }
    sys::ModuleHandle ntdll = sys::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && sys::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void Test::SetUp() {
#ifndef _WIN32
    sim::Reset();
    sim::ui::Reset();
#endif
}

void Test::TearDown() {
#ifndef _WIN32
    for (const auto& failure : sim::ui::Failures()) {
        ADD_FAILURE() << "window layer: " << failure;
    }
#endif
}

}  // namespace conformance
