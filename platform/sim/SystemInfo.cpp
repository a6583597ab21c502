// The simulated version record: set by the test, failing on request as the real call can.
#include "platform/SystemInfo.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Trace.h"

using sim::detail::M;

namespace sys {

bool Is64BitProcess() {
    std::lock_guard lock(M().mu);
    return M().process64;
}

void* GetCurrentProcess() {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
}

bool GetVersionExA(VersionInfo& info) {
    sim::trace::Call trace("GetVersionExA", [&] { return std::to_string(info.size); });
    sim::CountCall("GetVersionExA");
    if (sim::ShouldFail("GetVersionExA")) {
        return false;
    }
    std::lock_guard lock(M().mu);
    const bool extended = info.size == 156;
    if ((info.size != 156 && info.size != 148) || (extended && M().extendedVersionFails) ||
        (!extended && M().plainVersionFails)) {
        SetLastError(err::InsufficientBuffer);
        return false;
    }
    const Dword size = info.size;
    info = M().version;
    info.size = size;
    return true;
}

}  // namespace sys
