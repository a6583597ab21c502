// Win32 back end of DLL loading (the fault guard is in Guard.cpp).
#include <windows.h>

#include "platform/Library.h"

namespace sys {

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
