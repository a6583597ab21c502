// The simulated machine: reset, injected failures, call counts, clock and system facts.
#include "platform/sim/Machine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

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
// Files the installer left read-only still go with the tree.
void RemoveDrive(const std::string& root) {
    std::error_code ec;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
    for (auto& p : fs::recursive_directory_iterator(root, ec)) {
        if (!p.is_symlink()) {
            fs::permissions(p.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(root, ec);
}

// The last drive goes with the process (constructed after the machine, so gone before it).
struct DriveAtExit {
    ~DriveAtExit() {
        if (!M().root.empty()) {
            RemoveDrive(M().root);
        }
    }
};

void ResetMachine() {
    // The machine first: made before the remover, it is destroyed after it.
    M();
    static const DriveAtExit atExit;
    std::lock_guard lock(M().mu);
    if (!M().root.empty()) {
        RemoveDrive(M().root);
    }
    // In memory where the machine has it: sweeps reset and refill the drive hundreds of times.
    std::error_code ec;
    const fs::path parent =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (parent / "simdrive-XXXXXX").string();
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

namespace {

// One entry of drive C, kept in memory: a copy on disk cost more than the runs it served.
struct DriveEntry {
    fs::path path;  // relative to the drive's root
    fs::file_type type = fs::file_type::none;
    std::string data;  // a file's bytes, or a link's target
    fs::perms perms = fs::perms::none;
};

// The state a killed process leaves, taken as its crash point's call begins.
struct Snapshot {
    std::function<void()> registry;
    std::function<void()> spooler;
    std::function<void()> services;
    std::vector<DriveEntry> drive;
    sys::Dword clock = 0;
};

struct Crash {
    std::mutex mu;
    std::vector<int> points;  // ascending call numbers still ahead
    int calls = 0;            // calls counted since the points were set
    std::map<int, Snapshot> taken;
};

Crash& C() {
    static Crash crash;
    return crash;
}

std::vector<DriveEntry> ReadDrive(const fs::path& root) {
    std::vector<DriveEntry> drive;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        DriveEntry entry{item.path().lexically_relative(root),
                         item.symlink_status().type(),
                         {},
                         item.symlink_status().permissions()};
        if (entry.type == fs::file_type::symlink) {
            entry.data = fs::read_symlink(item.path()).string();
        } else if (entry.type == fs::file_type::regular) {
            std::ifstream in(item.path(), std::ios::binary);
            entry.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        drive.push_back(std::move(entry));
    }
    return drive;
}

// Parents come before their children, as they were listed; rights go on last, deepest first,
// so that a folder left read-only does not refuse what goes into it.
void WriteDrive(const fs::path& root, const std::vector<DriveEntry>& drive) {
    for (const auto& entry : drive) {
        const fs::path at = root / entry.path;
        if (entry.type == fs::file_type::directory) {
            fs::create_directory(at);
        } else if (entry.type == fs::file_type::symlink) {
            fs::create_symlink(entry.data, at);
        } else if (entry.type == fs::file_type::regular) {
            std::ofstream(at, std::ios::binary)
                .write(entry.data.data(), static_cast<std::streamsize>(entry.data.size()));
        }
    }
    for (auto it = drive.rbegin(); it != drive.rend(); ++it) {
        if (it->type != fs::file_type::symlink) {
            fs::permissions(root / it->path, it->perms);
        }
    }
}

// What a reset put on the drive, before the kept drive goes in its place.
void ClearDrive(const fs::path& root) {
    for (const auto& item : fs::directory_iterator(root)) {
        fs::remove_all(item.path());
    }
}

fs::path DriveRoot() {
    std::lock_guard lock(M().mu);
    return M().root;
}

// Under the crash lock: every other thread waits at its next call, as if stopped with this one.
Snapshot TakeSnapshot() {
    return {detail::SaveRegistry(), detail::SaveSpooler(), detail::SaveServices(),
            ReadDrive(DriveRoot()), M().clock.load()};
}

}  // namespace

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
    {
        std::lock_guard crash(C().mu);
        if (!C().points.empty()) {
            ++C().calls;
            if (C().points.front() == C().calls) {
                C().taken.emplace(C().calls, TakeSnapshot());
                C().points.erase(C().points.begin());
            }
        }
    }
    if (hook) {
        hook();
    }
}

void SetCrashPoints(std::vector<int> calls) {
    std::sort(calls.begin(), calls.end());
    calls.erase(std::unique(calls.begin(), calls.end()), calls.end());
    std::lock_guard lock(C().mu);
    C().points = std::move(calls);
    C().calls = 0;
    C().taken.clear();
}

std::vector<int> CrashPointsReached() {
    std::lock_guard lock(C().mu);
    std::vector<int> reached;
    for (const auto& [call, snapshot] : C().taken) {
        reached.push_back(call);
    }
    return reached;
}

bool RestoreCrashSnapshot(int call) {
    Snapshot saved;
    {
        std::lock_guard lock(C().mu);
        C().points.clear();  // the second start is not a run to take snapshots of
        const auto it = C().taken.find(call);
        if (it == C().taken.end()) {
            return false;
        }
        saved = it->second;
    }
    Reset();
    const fs::path root = DriveRoot();
    M().clock = saved.clock;
    ClearDrive(root);
    WriteDrive(root, saved.drive);
    saved.registry();
    saved.spooler();
    saved.services();
    return true;
}

void DropCrashSnapshots() {
    std::lock_guard lock(C().mu);
    C().points.clear();
    C().taken.clear();
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
