// Internal state of the simulated machine shared by the sim back end's files.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/sim/Sim.h"

namespace sim::detail {

struct Failure {
    sys::Dword error = 0;
    int remaining = 0;  // -1: always
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
    std::map<std::string, Failure> failures;
    std::map<std::string, int> calls;
    std::map<std::string, ModuleRecord> modules;  // by lower-case name
    std::atomic<sys::Dword> clock{1000};
    std::atomic<sys::Dword> slept{0};
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

// Adds to the window layer's failures (sim::ui::Failures): a part of the simulated system that
// plays a dialog of its own found no scripted answer.
void RecordUiFailure(const std::string& what);

}  // namespace sim::detail
