// The simulated machine: reset, injected failures, call counts, clock and system facts.
#include "platform/sim/Machine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/Clock.h"
#include "platform/sim/Blocking.h"
#include "platform/sim/Handles.h"
#include "platform/sim/SimUi.h"
#include "platform/sim/Trace.h"

namespace fs = std::filesystem;

namespace sim::detail {

void MoveClock(sys::Dword milliseconds) {
    Settle();
    const sys::Dword target = M().clock.load() + milliseconds;
    for (;;) {
        auto next = NextSerialDue();
        if (!next || *next > target) {
            break;
        }
        if (*next > M().clock.load()) {
            M().clock = *next;
        }
        DeliverSerial(M().clock.load());
        Settle();
    }
    M().clock = target;
}

Machine& M() {
    static Machine machine;
    return machine;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace sim::detail

namespace {
thread_local sys::Dword lastError = 0;
}

namespace sys {

Dword GetLastError() {
    return lastError;
}
void SetLastError(Dword code) {
    lastError = code;
}

void Sleep(Dword milliseconds) {
    sim::trace::Call trace("Sleep", [&] { return std::to_string(milliseconds); });
    sim::CountCall("Sleep");
    sim::detail::M().slept += milliseconds;
    sim::detail::MoveClock(milliseconds);
}

Dword GetTickCount() {
    return sim::detail::M().clock.load();
}

// Like GetTickCount not recorded: a clock read. The machine's day starts with its clock.
LocalTime GetLocalTime() {
    const Dword ms = sim::detail::M().clock.load();
    return LocalTime{2026,
                     1,
                     1 + static_cast<int>(ms / 86400000),
                     static_cast<int>(ms / 3600000 % 24),
                     static_cast<int>(ms / 60000 % 60),
                     static_cast<int>(ms / 1000 % 60),
                     static_cast<int>(ms % 1000)};
}

}  // namespace sys

namespace sim {

using detail::M;

namespace {
void ResetMachine();
}

void Reset() {
    ResetMachine();
    detail::ResetRegistry();
    detail::ResetServices();
    detail::ResetSpooler();
    detail::ResetSerial();
    detail::ResetHandles();
}

namespace {
void ResetMachine() {
    std::lock_guard lock(M().mu);
    if (!M().root.empty()) {
        std::error_code ec;
        fs::permissions(M().root, fs::perms::owner_all, fs::perm_options::add, ec);
        for (auto& p : fs::recursive_directory_iterator(M().root, ec)) {
            if (!p.is_symlink()) {
                fs::permissions(p.path(), fs::perms::owner_all, fs::perm_options::add, ec);
            }
        }
        fs::remove_all(M().root, ec);
    }
    std::string pattern = (fs::temp_directory_path() / "simdrive-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create the simulated drive");
    }
    M().root = pattern;
    fs::create_directories(fs::path(M().root) / "Windows" / "System32");
    fs::create_directories(fs::path(M().root) / "Windows" / "SysWOW64");
    fs::create_directories(fs::path(M().root) / "Windows" / "Temp");
    M().console.clear();
    chmod((fs::path(M().root) / "Windows").c_str(), 0755 | S_ISGID);
    M().currentDirectory = "C:\\";
    M().programDirectory.clear();
    M().dllDirectories = 0;
    M().failures.clear();
    M().calls.clear();
    M().hooks.clear();
    M().injected.clear();
    for (auto it = M().modules.begin(); it != M().modules.end();) {
        it = it->first == "kernel32.dll" ? std::next(it) : M().modules.erase(it);
    }
    M().clock = 1000;
    M().slept = 0;
    M().version = sys::VersionInfo{0, 6, 1, 7601, 2};
    M().extendedVersionFails = false;
    M().plainVersionFails = false;
    M().wow64Present = true;
    M().wow64 = false;
    M().process64 = false;
    sys::SetLastError(0);
}
}  // namespace

std::string Root() {
    std::lock_guard lock(M().mu);
    return M().root;
}

void SetCurrentDirectory(const std::string& windowsPath) {
    std::lock_guard lock(M().mu);
    M().currentDirectory = windowsPath;
}

void SetProgramDirectory(const std::string& windowsPath) {
    std::lock_guard lock(M().mu);
    M().programDirectory = windowsPath;
}

void FailCall(const std::string& call, sys::Dword error, int count, int skip) {
    std::lock_guard lock(M().mu);
    M().failures[call] = detail::Failure{error, count, skip};
}

void ClearFailures() {
    std::lock_guard lock(M().mu);
    M().failures.clear();
}

bool ShouldFail(const char* call) {
    std::lock_guard lock(M().mu);
    auto it = M().failures.find(call);
    if (it == M().failures.end() || it->second.remaining == 0) {
        return false;
    }
    if (it->second.skip > 0) {
        --it->second.skip;
        return false;
    }
    if (it->second.remaining > 0) {
        --it->second.remaining;
    }
    sys::SetLastError(it->second.error);
    ++M().injected[call];
    return true;
}

int CallCount(const std::string& call) {
    std::lock_guard lock(M().mu);
    auto it = M().calls.find(call);
    return it == M().calls.end() ? 0 : it->second;
}

std::map<std::string, int> CallCounts() {
    std::lock_guard lock(M().mu);
    return M().calls;
}

int InjectedCount(const std::string& call) {
    std::lock_guard lock(M().mu);
    auto it = M().injected.find(call);
    return it == M().injected.end() ? 0 : it->second;
}

void CountCall(const char* call) {
    std::function<void()> hook;
    {
        std::lock_guard lock(M().mu);
        const int count = ++M().calls[call];
        auto it = M().hooks.find(call);
        if (it != M().hooks.end() && it->second.first == count) {
            hook = std::move(it->second.second);
            M().hooks.erase(it);
        }
    }
    if (hook) {
        hook();
    }
}

void SetVersion(sys::Dword platformId, sys::Dword major, sys::Dword minor, sys::Dword build) {
    std::lock_guard lock(M().mu);
    M().version = sys::VersionInfo{0, major, minor, build, platformId};
}

void SetVersionQueryFails(bool extendedFails, bool plainFails) {
    std::lock_guard lock(M().mu);
    M().extendedVersionFails = extendedFails;
    M().plainVersionFails = plainFails;
}

void SetProcess64(bool is64) {
    std::lock_guard lock(M().mu);
    M().process64 = is64;
}

void SetWow64(bool present, bool wow64) {
    std::lock_guard lock(M().mu);
    M().wow64Present = present;
    M().wow64 = wow64;
}

sys::Dword Now() {
    return M().clock.load();
}
void Advance(sys::Dword milliseconds) {
    detail::MoveClock(milliseconds);
}
sys::Dword TotalSleep() {
    return M().slept.load();
}

}  // namespace sim
