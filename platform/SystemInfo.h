// Version record and process architecture queries.
#pragma once

#include "platform/Types.h"

namespace sys {

// The fields of OSVERSIONINFO(EX)A the logic reads.
struct VersionInfo {
    Dword size = 0;  // dwOSVersionInfoSize: 156 (extended) or 148 (plain)
    Dword majorVersion = 0;
    Dword minorVersion = 0;
    Dword buildNumber = 0;
    Dword platformId = 0;
};

bool GetVersionExA(VersionInfo& info);  // fails unless size is 148 or 156

// True for a 64-bit process, which runs only on 64-bit Windows (and is never under WOW64).
bool Is64BitProcess();

// A pseudo handle for the calling process, as GetCurrentProcess.
void* GetCurrentProcess();

// IsWow64Process, as it is looked up in "kernel32" with GetProcAddress.
using IsWow64ProcessFn = int(SYS_WINAPI*)(void* process, int* wow64);

}  // namespace sys
