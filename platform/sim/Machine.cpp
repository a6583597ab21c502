// The simulated machine: reset, injected failures, call counts, clock and system facts.
#include "platform/sim/Machine.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <utility>

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
    M().currentDirectory = "C:\\";
    M().failures.clear();
    M().calls.clear();
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

namespace {

// The state a killed process leaves, taken at the crash point.
struct Crash {
    std::mutex mu;
    int remaining = 0;  // calls until the point; 0: no point set
    bool taken = false;
    std::function<void()> registry;
    std::function<void()> spooler;
    std::function<void()> services;
    std::string drive;  // a copy of drive C
    sys::Dword clock = 0;
};

Crash& C() {
    static Crash crash;
    return crash;
}

// Files the installer left read-only still go with the tree.
void RemoveTree(const std::string& root) {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& p : fs::recursive_directory_iterator(root, ec)) {
        if (!p.is_symlink()) {
            fs::permissions(p.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(root, ec);
}

void DropSnapshot(Crash& c) {
    if (!c.drive.empty()) {
        RemoveTree(c.drive);
    }
    c.remaining = 0;
    c.taken = false;
    c.registry = nullptr;
    c.spooler = nullptr;
    c.services = nullptr;
    c.drive.clear();
}

std::string TempDirectory(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    return pattern;
}

// Under the crash lock: every other thread waits at its next call, as if stopped with this one.
void TakeSnapshot(Crash& c) {
    c.taken = true;
    c.clock = M().clock.load();
    c.registry = detail::SaveRegistry();
    c.spooler = detail::SaveSpooler();
    c.services = detail::SaveServices();
    c.drive = TempDirectory("simcrash");
    std::string root;
    {
        std::lock_guard lock(M().mu);
        root = M().root;
    }
    fs::copy(root, c.drive, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

}  // namespace

void CountCall(const char* call) {
    {
        std::lock_guard lock(M().mu);
        ++M().calls[call];
    }
    std::lock_guard crash(C().mu);
    if (C().remaining > 0 && --C().remaining == 0) {
        TakeSnapshot(C());
    }
}

void SetCrashPoint(int n) {
    std::lock_guard lock(C().mu);
    DropSnapshot(C());
    C().remaining = n;
}

bool RestoreCrashSnapshot() {
    Crash saved;
    {
        std::lock_guard lock(C().mu);
        if (!C().taken) {
            DropSnapshot(C());
            return false;
        }
        saved.registry = std::move(C().registry);
        saved.spooler = std::move(C().spooler);
        saved.services = std::move(C().services);
        saved.drive = std::exchange(C().drive, {});
        saved.clock = C().clock;
        DropSnapshot(C());
    }
    Reset();
    std::string root;
    {
        std::lock_guard lock(M().mu);
        root = M().root;
        M().clock = saved.clock;
    }
    std::error_code ec;
    for (auto& entry : fs::directory_iterator(root, ec)) {
        fs::remove_all(entry.path(), ec);
    }
    fs::copy(saved.drive, root, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    saved.registry();
    saved.spooler();
    saved.services();
    DropSnapshot(saved);
    return true;
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
