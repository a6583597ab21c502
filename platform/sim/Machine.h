// Internal state of the simulated machine shared by the sim back end's files.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/sim/Sim.h"

namespace sim::detail {

struct Failure {
    sys::Dword error = 0;
    int remaining = 0;  // -1: always
    int skip = 0;       // calls that still succeed before the failures begin
};

struct ModuleRecord {
    std::string name;
    Module module;
    int loads = 0;
};

struct Machine {
    std::mutex mu;
    std::string root;
    std::string currentDirectory = "C:\\";
    std::string programDirectory;   // empty: the current directory
    sys::Dword dllDirectories = 0;  // SetDefaultDllDirectories; 0: the standard search order
    std::map<std::string, Failure> failures;
    std::map<std::string, int> calls;
    std::map<std::string, std::pair<int, std::function<void()>>> hooks;  // sim::BeforeCall
    std::map<std::string, int> injected;          // failures that took effect, by call
    std::map<std::string, ModuleRecord> modules;  // by lower-case name
    std::atomic<sys::Dword> clock{1000};
    std::atomic<sys::Dword> slept{0};
    std::string console;  // what the program wrote to its console
    sys::VersionInfo version{0, 6, 1, 7601, 2};
    bool extendedVersionFails = false;
    bool plainVersionFails = false;
    bool wow64Present = true;
    bool wow64 = false;
    bool process64 = false;  // the simulated installer is the i686 product
};

Machine& M();
std::string Lower(std::string s);

// Each part of the simulated system returns to its fresh state; Reset() calls them after the
// drive is new, without holding the machine's lock.
void ResetSpooler();
void ResetRegistry();
void ResetServices();
void ResetSerial();

// Each part's persistent state copied now; the function puts it back into a machine just reset.
std::function<void()> SaveRegistry();
std::function<void()> SaveSpooler();
std::function<void()> SaveServices();

// The serial model's next due time (a device's reply, a read's timeout), and its delivery of
// what is due at `now`; sim::Advance and sys::Sleep stop at each due time on their way.
std::optional<sys::Dword> NextSerialDue();
void DeliverSerial(sys::Dword now);
// Moves the simulated clock forward as described in SimSerial.h: settle the threads, then step
// from due time to due time, delivering and settling at each.
void MoveClock(sys::Dword milliseconds);

// A service reached RUNNING after a start (Service.cpp tells, without holding its lock); the
// spooler then reads its printers' settings again (Spooler.cpp).
void ServiceStarted(const std::string& name);

// Adds to the window layer's failures (sim::ui::Failures): a part of the simulated system that
// plays a dialog of its own found no scripted answer.
void RecordUiFailure(const std::string& what);
// Names the windows open now for the call recording (Trace.h), which may start in a dialog.
void NameOpenWindows();

}  // namespace sim::detail
