// Win32 back end of the version record and the process handle.
#include <windows.h>

#include "platform/SystemInfo.h"

namespace sys {

bool GetVersionExA(VersionInfo& info) {
    OSVERSIONINFOEXA record{};
    if (info.size != sizeof(OSVERSIONINFOEXA) && info.size != sizeof(OSVERSIONINFOA)) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    record.dwOSVersionInfoSize = info.size;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record))) {
        return false;
    }
#pragma GCC diagnostic pop
    info.majorVersion = record.dwMajorVersion;
    info.minorVersion = record.dwMinorVersion;
    info.buildNumber = record.dwBuildNumber;
    info.platformId = record.dwPlatformId;
    return true;
}

static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148);

bool Is64BitProcess() {
    return sizeof(void*) == 8;
}

void* GetCurrentProcess() {
    return ::GetCurrentProcess();
}

}  // namespace sys
