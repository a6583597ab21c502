// The test-facing control of the simulated platform: the machine's state, failures to inject,
// and the modules that LoadLibraryA can find.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Library.h"
#include "platform/SystemInfo.h"
#include "platform/Types.h"

namespace sim {

// A fresh machine: a new empty temporary root standing for drive C (with C:\Windows and
// C:\Windows\System32), current directory C:\, default system facts, no injected failures.
void Reset();

// The host directory standing for drive C.
std::string Root();

// Maps a Windows path ("C:\x\y", "c:/x//y", relative to the current directory) to the host
// path under Root(), matching existing components without regard to case as Windows does.
std::string HostPath(const std::string& windowsPath);

void SetCurrentDirectory(const std::string& windowsPath);
// The folder the program runs from; until set, the current directory (started from its own
// folder, as a double click starts it).
void SetProgramDirectory(const std::string& windowsPath);

// Makes the next `count` calls of the named platform call (its Win32 name, e.g. "DeleteFileA")
// fail with `error` once `skip` more calls of it have succeeded; count -1 fails every call
// until ClearFailures.
void FailCall(const std::string& call, sys::Dword error, int count = 1, int skip = 0);
void ClearFailures();
// For the back end: true (and the last error set) when this call is to fail now.
bool ShouldFail(const char* call);

// Everything the program wrote to its console since Reset.
std::string ConsoleOutput();

// Number of times each platform call was made since Reset.
int CallCount(const std::string& call);
void CountCall(const char* call);
// Every call made since Reset with its count; how many injected failures of a call took effect.
std::map<std::string, int> CallCounts();
int InjectedCount(const std::string& call);

// A process killed at a call: the machine's persistent state (registry, drive C, spooler,
// services, clock) is copied as each of the given calls (counted from now, 1 the next) begins,
// before it acts; the run goes on untouched. RestoreCrashSnapshot resets the machine and puts
// the state copied at `call` back, as the next start of the program finds it; false when no
// run reached that call. One run serves many crash points.
void SetCrashPoints(std::vector<int> calls);
std::vector<int> CrashPointsReached();
bool RestoreCrashSnapshot(int call);
void DropCrashSnapshots();

// Thrown by a fake export to stand for a structured exception (an access violation) raised
// inside an outside component; CallGuarded catches it.
struct Fault {};

// A module LoadLibraryA can load: its exports by name. With a file name, LoadLibraryA finds it
// only where the search order would: the program's folder, the system and Windows directories,
// the current directory, or only what SetDefaultDllDirectories named. A file found there that
// is no registered module is no DLL (193).
struct Module {
    std::map<std::string, sys::ProcAddress> exports;
    bool needsFile = true;
    std::function<void()> onLoad;  // e.g. point the module at the simulated drive
    std::function<void()> onUnload;
};
void RegisterModule(const std::string& name, Module module);
void UnregisterModule(const std::string& name);
int LoadedModuleCount();

// System facts.
void SetVersion(sys::Dword platformId, sys::Dword major, sys::Dword minor, sys::Dword build);
void SetVersionQueryFails(bool extendedFails, bool plainFails);
void SetWow64(bool present, bool wow64);  // present = kernel32 exports IsWow64Process
void SetProcess64(bool is64);             // the program under test built for x86_64

// The simulated millisecond clock; Sleep advances it.
sys::Dword Now();
void Advance(sys::Dword milliseconds);  // moves the clock only; timers fire in the modal loop
sys::Dword TotalSleep();                // sum of all Sleep calls since Reset

}  // namespace sim
