// DLL loading on the simulated platform: registered modules stand for DLLs, found only where
// the search order would find their files. kernel32 is always there.
#include <filesystem>
#include <vector>

#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Trace.h"

using sim::detail::Lower;
using sim::detail::M;

namespace sim {
namespace {

int SYS_WINAPI SimIsWow64Process(void* process, int* wow64) {
    sim::CountCall("IsWow64Process");
    if (sim::ShouldFail("IsWow64Process")) {
        return 0;
    }
    if (process == nullptr || wow64 == nullptr) {
        sys::SetLastError(sys::err::InvalidHandle);
        return 0;
    }
    std::lock_guard lock(M().mu);
    *wow64 = M().wow64 ? 1 : 0;
    return 1;
}

std::string BaseName(const std::string& name) {
    auto cut = name.find_last_of("\\/");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string WithDll(std::string name) {
    return BaseName(name).find('.') == std::string::npos ? name + ".dll" : name;
}

// Where LoadLibraryA looks for a bare name: the standard search order (safe DLL search mode),
// or only what SetDefaultDllDirectories named.
std::vector<std::string> SearchDirectories(sys::Dword flags) {
    const bool standard = flags == 0;
    const bool all = (flags & sys::dlldir::DefaultDirs) != 0;
    std::vector<std::string> dirs;
    if (standard || all || (flags & sys::dlldir::ApplicationDir) != 0) {
        dirs.push_back(sys::GetProgramDirectoryA());
    }
    if (standard || all || (flags & sys::dlldir::System32) != 0) {
        dirs.push_back(sys::GetSystemDirectoryA());
    }
    if (standard) {
        dirs.push_back(sys::GetWindowsDirectoryA());
        dirs.push_back(sys::GetCurrentDirectoryA());
    }
    return dirs;
}

bool FileFound(const std::string& name, sys::Dword flags) {
    if (name.find_first_of("\\/") != std::string::npos) {
        return sys::GetFileAttributesA(name) != sys::attr::Invalid;
    }
    for (const std::string& dir : SearchDirectories(flags)) {
        if (sys::GetFileAttributesA(dir + "\\" + name) != sys::attr::Invalid) {
            return true;
        }
    }
    return false;
}

sys::Dword DllDirectories() {
    std::lock_guard lock(M().mu);
    return M().dllDirectories;
}

// LoadLibraryA's work once the search is settled.
sys::ModuleHandle Load(const std::string& name, sys::Dword flags) {
    const std::string key = Lower(WithDll(BaseName(name)));
    sim::detail::ModuleRecord* record = nullptr;
    {
        std::lock_guard lock(M().mu);
        auto it = M().modules.find(key);
        record = it == M().modules.end() ? nullptr : &it->second;
    }
    if (record == nullptr) {
        // A file that is no DLL the machine knows: found, but not a program image.
        sys::SetLastError(FileFound(WithDll(name), flags) ? sys::err::BadExeFormat
                                                          : sys::err::ModNotFound);
        return nullptr;
    }
    if (record->module.needsFile && !FileFound(WithDll(name), flags)) {
        sys::SetLastError(sys::err::ModNotFound);
        return nullptr;
    }
    std::function<void()> onLoad;
    {
        std::lock_guard lock(M().mu);
        if (record->loads++ == 0) {
            onLoad = record->module.onLoad;
        }
    }
    if (onLoad) {
        onLoad();
    }
    return record;
}

}  // namespace

void RegisterModule(const std::string& name, Module module) {
    std::lock_guard lock(M().mu);
    M().modules[Lower(name)] = detail::ModuleRecord{name, std::move(module), 0};
}

void UnregisterModule(const std::string& name) {
    std::lock_guard lock(M().mu);
    M().modules.erase(Lower(name));
}

int LoadedModuleCount() {
    std::lock_guard lock(M().mu);
    int loaded = 0;
    for (auto& [key, record] : M().modules) {
        if (key != "kernel32.dll" && record.loads > 0) {
            ++loaded;
        }
    }
    return loaded;
}

}  // namespace sim

namespace sys {

ModuleHandle LoadLibraryA(const std::string& name) {
    sim::trace::Call trace("LoadLibraryA", [&] { return sim::trace::Q(name); });
    sim::CountCall("LoadLibraryA");
    if (sim::ShouldFail("LoadLibraryA")) {
        return nullptr;
    }
    return sim::Load(name, sim::DllDirectories());
}

bool SetDefaultDllDirectories(Dword flags) {
    sim::trace::Call trace("SetDefaultDllDirectories", [&] { return std::to_string(flags); });
    sim::CountCall("SetDefaultDllDirectories");
    if (sim::ShouldFail("SetDefaultDllDirectories")) {
        return false;
    }
    constexpr Dword known =
        dlldir::ApplicationDir | dlldir::UserDirs | dlldir::System32 | dlldir::DefaultDirs;
    if (flags == 0 || (flags & ~known) != 0) {
        SetLastError(err::InvalidParameter);
        return false;
    }
    std::lock_guard lock(M().mu);
    M().dllDirectories = flags;
    return true;
}

ModuleHandle LoadSystemLibraryA(const std::string& name) {
    sim::trace::Call trace("LoadSystemLibraryA", [&] { return sim::trace::Q(name); });
    sim::CountCall("LoadSystemLibraryA");
    if (sim::ShouldFail("LoadSystemLibraryA")) {
        return nullptr;
    }
    return sim::Load(name, dlldir::System32);
}

ProcAddress GetProcAddress(ModuleHandle module, const char* name) {
    sim::trace::Call trace("GetProcAddress", [&] {
        return sim::trace::Args(sim::trace::H(sim::trace::Kind::Module, module),
                                sim::trace::Q(name));
    });
    sim::CountCall("GetProcAddress");
    if (module == nullptr || sim::ShouldFail("GetProcAddress")) {
        if (module == nullptr) {
            SetLastError(err::InvalidHandle);
        }
        return nullptr;
    }
    std::lock_guard lock(M().mu);
    auto* record = static_cast<sim::detail::ModuleRecord*>(module);
    auto it = record->module.exports.find(name);
    if (it == record->module.exports.end() ||
        (record->name == "kernel32.dll" && std::string(name) == "IsWow64Process" &&
         !M().wow64Present)) {
        SetLastError(err::ProcNotFound);
        return nullptr;
    }
    return it->second;
}

bool FreeLibrary(ModuleHandle module) {
    sim::trace::Call trace("FreeLibrary",
                           [&] { return sim::trace::H(sim::trace::Kind::Module, module); });
    sim::CountCall("FreeLibrary");
    if (module == nullptr) {
        SetLastError(err::InvalidHandle);
        return false;
    }
    std::function<void()> onUnload;
    {
        std::lock_guard lock(M().mu);
        auto* record = static_cast<sim::detail::ModuleRecord*>(module);
        if (record->loads == 0) {
            SetLastError(err::InvalidHandle);
            return false;
        }
        if (--record->loads == 0) {
            onUnload = record->module.onUnload;
        }
    }
    if (onUnload) {
        onUnload();
    }
    return true;
}

ModuleHandle GetModuleHandleA(const std::string& name) {
    sim::trace::Call trace("GetModuleHandleA", [&] { return sim::trace::Q(name); });
    sim::CountCall("GetModuleHandleA");
    if (sim::ShouldFail("GetModuleHandleA")) {
        return nullptr;
    }
    std::lock_guard lock(M().mu);
    auto it = M().modules.find(Lower(sim::WithDll(sim::BaseName(name))));
    if (it == M().modules.end() || (it->first != "kernel32.dll" && it->second.loads == 0)) {
        SetLastError(err::ModNotFound);
        return nullptr;
    }
    return &it->second;
}

bool CallGuarded(const std::function<void()>& call) {
    sim::trace::Call trace("CallGuarded");
    try {
        call();
        return true;
    } catch (const sim::Fault&) {
        return false;
    }
}

}  // namespace sys

namespace sim::detail {

// kernel32 is registered once for the whole run; Reset keeps it.
const bool kernel32Registered = [] {
    Module kernel32;
    kernel32.needsFile = false;
    kernel32.exports["IsWow64Process"] = reinterpret_cast<sys::ProcAddress>(&SimIsWow64Process);
    RegisterModule("kernel32.dll", std::move(kernel32));
    return true;
}();

}  // namespace sim::detail
