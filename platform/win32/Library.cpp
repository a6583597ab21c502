// Win32 back end of DLL loading (the fault guard is in Guard.cpp).
#include <windows.h>

#include "platform/Library.h"

static_assert(sys::dlldir::ApplicationDir == LOAD_LIBRARY_SEARCH_APPLICATION_DIR);
static_assert(sys::dlldir::UserDirs == LOAD_LIBRARY_SEARCH_USER_DIRS);
static_assert(sys::dlldir::System32 == LOAD_LIBRARY_SEARCH_SYSTEM32);
static_assert(sys::dlldir::DefaultDirs == LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);

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

bool SetDefaultDllDirectories(Dword flags) {
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto set = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories"));
    return set != nullptr && set(flags) != 0;
}

ModuleHandle LoadSystemLibraryA(const std::string& name) {
    HMODULE module = ::LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // 87: the flag is unknown (Windows 7 without KB2533623); the full path keeps the search out.
    if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
        char directory[MAX_PATH + 1] = {};
        const UINT n = ::GetSystemDirectoryA(directory, MAX_PATH);
        if (n == 0 || n > MAX_PATH) {
            return nullptr;
        }
        module = ::LoadLibraryExA((std::string(directory) + "\\" + name).c_str(), nullptr,
                                  LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}

}  // namespace sys
