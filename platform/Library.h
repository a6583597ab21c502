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

// Runs call; an exception that leaves it (an access violation, a raised code, a C++ exception)
// is caught and reported as false, so a faulting outside component cannot end the program. One
// the component handles itself is left to it.
bool CallGuarded(const std::function<void()>& call);

}  // namespace sys
