// Win32 back end of the version record and DLL loading.
#include <windows.h>

#include "platform/Library.h"
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

void* GetCurrentProcess() {
    return ::GetCurrentProcess();
}

ModuleHandle LoadLibraryA(const std::string& name) {
    return ::LoadLibraryA(name.c_str());
}

ProcAddress GetProcAddress(ModuleHandle module, const char* name) {
    return reinterpret_cast<ProcAddress>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

bool FreeLibrary(ModuleHandle module) {
    return ::FreeLibrary(static_cast<HMODULE>(module)) != 0;
}

ModuleHandle GetModuleHandleA(const std::string& name) {
    return ::GetModuleHandleA(name.c_str());
}

}  // namespace sys
