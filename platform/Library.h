// Run-time loading of a DLL and lookup of its entry points; also the guard around a call into it.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"

namespace sys {

using ModuleHandle = void*;
using ProcAddress = void (*)();

ModuleHandle LoadLibraryA(const std::string& name);  // standard search order; null on failure
ProcAddress GetProcAddress(ModuleHandle module, const char* name);
bool FreeLibrary(ModuleHandle module);
ModuleHandle GetModuleHandleA(const std::string& name);

// The directories SetDefaultDllDirectories may name (LOAD_LIBRARY_SEARCH_*).
namespace dlldir {
constexpr Dword ApplicationDir = 0x200;
constexpr Dword UserDirs = 0x400;
constexpr Dword System32 = 0x800;
constexpr Dword DefaultDirs = 0x1000;  // the three above
}  // namespace dlldir
// From here on, LoadLibraryA of a bare name searches only the directories flags name: never the
// current directory or PATH. Looked up in kernel32 at run time: Windows 7 without KB2533623
// lacks it (127). No flags, or any other bit: 87.
bool SetDefaultDllDirectories(Dword flags);
// A system DLL by its bare name, from the system directory only, never from the program's
// folder or the current directory (a manifest's redirection still applies); null on failure.
ModuleHandle LoadSystemLibraryA(const std::string& name);

// Runs call; an exception that leaves it (an access violation, a raised code, a C++ exception)
// is caught and reported as false, so a faulting outside component cannot end the program. One
// the component handles itself is left to it.
bool CallGuarded(const std::function<void()>& call);

}  // namespace sys
