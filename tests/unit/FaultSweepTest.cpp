// The fault sweep: every complete flow run clean to learn the platform calls it makes, then once
// per call with that call failing once and once with every call of that name failing; each run
// must end without a hang, in a state the dialog allows, with other printers' ports and the
// unpacked files as they should be.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "tests/unit/FlowScripts.h"

namespace {

using flows::Allowed;
using flows::D;
using flows::Flow;
using flows::kOther;
using flows::Outcome;

const std::string kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
const sys::Dword kClockBound = 10 * 60 * 1000;  // simulated ms one flow may take

// The error Windows gives when the call fails in a plausible way.
sys::Dword ErrorFor(const std::string& call) {
    static const std::map<std::string, sys::Dword> table = {
        {"CreateFileA", 2},           {"LoadLibraryA", 126},  {"GetProcAddress", 127},
        {"AddPrinterA", 1796},        {"SetPrinterA", 1796},  {"OpenPrinterA", 1801},
        {"DeletePrinter", 5},         {"AddPortA", 50},       {"DeletePortA", 50},
        {"ConfigurePortA", 50},       {"MessageBoxA", 1400},  {"DialogBoxParamA", 1400},
        {"SetTimer", 1400},           {"CreateThread", 8},    {"FindFirstFileA", 2},
        {"RegOpenKeyExA", 2},         {"OpenServiceA", 1060}, {"WaitCommEvent", 995},
        {"GetOverlappedResult", 995},
    };
    auto it = table.find(call);
    return it == table.end() ? 5 : it->second;
}

// Calls the clean-up on close makes: when one fails, files may stay as on Windows.
bool CleanupCall(const std::string& call) {
    // CreateFileA and CloseHandle too: the clean-up holds each entry, lets the hold go and holds
    // it again with delete access to delete it.
    static const std::set<std::string> calls = {
        "DeleteFileA",   "RemoveDirectoryA",           "FindFirstFileA",
        "FindNextFileA", "GetFileAttributesA",         "FindClose",
        "CreateFileA",   "GetFileInformationByHandle", "SetFileInformationByHandle",
        "CloseHandle"};
    return calls.count(call) > 0;
}

// A run that keeps its threads busy without end (messages sent in a loop) never stalls and
// never moves the simulated clock: past a generous wall-clock bound it is named as a defect
// and the process ends, rather than leaving the suite to a timeout that names nothing.
class Watchdog {
  public:
    explicit Watchdog(const std::string& where)
        : thread_([this, where] {
              std::unique_lock lock(mu_);
              if (!cv_.wait_for(lock, kWallBound, [this] { return done_; })) {
                  std::fprintf(stderr, "[sweep] defect: %sno end after %lld s (a livelock)\n",
                               where.c_str(), static_cast<long long>(kWallBound.count()));
                  std::fflush(stderr);
                  std::_Exit(3);
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mu_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    static constexpr std::chrono::seconds kWallBound{60};
    std::mutex mu_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once the members it uses exist
};

// One run's fault: `call` fails `count` times (-1: always) once `skip` calls of it succeeded.
struct Injection {
    std::string call;  // empty: the clean run
    int skip = 0;
    int count = 0;
};

class FaultSweepTest : public flows::FlowTest {
  protected:
    // Runs one flow; the defects it shows are appended to `defects`.
    void RunOnce(const Flow& flow, const Injection& injection, std::vector<std::string>& defects) {
        const std::string& call = injection.call;
        const std::string where =
            flow.name + " / " +
            (call.empty() ? std::string("clean")
                          : call + " error " + std::to_string(ErrorFor(call)) +
                                (injection.count == 1 ? " once" : " always") + " from call " +
                                std::to_string(injection.skip + 1)) +
            ": ";
        const bool trace = std::getenv("FAULT_SWEEP_TRACE") != nullptr;
        if (trace) {
            std::fprintf(stderr, "[sweep] %s\n", where.c_str());
        }
        Fresh(flow);
        if (!call.empty()) {
            sim::FailCall(call, ErrorFor(call), injection.count, injection.skip);
        }
        const sys::Dword start = sim::Now();
        const auto wallStart = std::chrono::steady_clock::now();
        Outcome outcome;
        {
            const Watchdog watchdog(where);
            flow.run(outcome);
        }
        if (trace) {
            std::fprintf(
                stderr, "[sweep] %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - wallStart)
                                           .count()));
        }
        sim::ClearFailures();
        auto defect = [&](const std::string& what) {
            std::fprintf(stderr, "[sweep] defect: %s%s\n", where.c_str(), what.c_str());
            defects.push_back(where + what);
        };
        const std::string mainStalled = "dialog " + std::to_string(D) + " stalled at once";
        for (const auto& failure : sim::ui::Failures()) {
            if (failure.find(" stalled") == std::string::npos) {
                continue;
            }
            if (failure.find(" stalled at once") != std::string::npos) {
                // Nothing left but the user: fine in a dialog asking something (the script
                // does not know the answer a fault calls for), but the main dialog idle must
                // show a state the user can go on from.
                const auto install = sim::ui::Control(D, IDC_INSTALL);
                if (failure.rfind(mainStalled, 0) == 0 && !outcome.stateSeen && install &&
                    !Allowed(*install)) {
                    defect("idle with Install \"" + install->text + "\" disabled: " + failure);
                }
            } else if (failure.find("(its dialog is not open)") == std::string::npos) {
                // Threads or timers alive but nothing moving, with the awaited dialog open.
                defect("hang: " + failure);
            }
            // Otherwise the script waited for a dialog the fault kept from opening.
        }
        if (sim::Now() - start > kClockBound) {
            defect("the simulated clock ran " + std::to_string(sim::Now() - start) + " ms");
        }
        if (outcome.stateSeen && !outcome.stateAllowed) {
            defect("the dialog ended with Install \"" + outcome.installText +
                   "\" in a state not allowed");
        }
        if (outcome.installText == "&Finish" && flow.finishedWrongly) {
            if (auto wrong = flow.finishedWrongly(outcome); !wrong.empty()) {
                defect("\"&Finish\" shown but " + wrong);
            }
        }
        const auto other = sim::spooler::FindPrinter(kOther);
        const auto otherKey = sim::registry::GetString("HKLM", kPrintersKey + kOther, "Port");
        // Either back on its port, in the spooler and in its key, or named in a box.
        const auto boxes = sim::ui::MessageBoxes();
        const bool named = std::any_of(boxes.begin(), boxes.end(), [](const auto& box) {
            return box.text.find("The printer " + kOther + " ") != std::string::npos;
        });
        if (!named && (!other || other->port != "COM1:" || (otherKey && *otherKey != "COM1:"))) {
            defect("the other printer's port is " + (other ? other->port : "gone") + " / " +
                   otherKey.value_or("no key"));
        }
        // With DialogBoxParamA failing the main window may never open: no close, no clean-up.
        if (!CleanupCall(call) && call != "DialogBoxParamA") {
            for (const char* path : {"C:\\Ticket", "C:\\Barcode", "C:\\DriverName.cfg"}) {
                if (Exists(path)) {
                    defect(std::string(path) + " left after the window closed");
                }
            }
        }
    }

    // Clean run; then for each call it made (n times): the first failing once, every one from
    // the first on, the last failing once (n > 1) and every one from the middle on (n > 2).
    int Sweep(const Flow& flow, std::vector<std::string>& defects) {
        RunOnce(flow, {}, defects);
        std::vector<Injection> plan;
        // FAULT_SWEEP_STRIDE=k samples every k-th call name, for a quicker local run;
        // FAULT_SWEEP_CALL names one call, for a rerun.
        const char* strideText = std::getenv("FAULT_SWEEP_STRIDE");
        const int stride = strideText ? std::max(1, std::atoi(strideText)) : 1;
        const char* only = std::getenv("FAULT_SWEEP_CALL");
        int index = 0;
        for (const auto& [call, n] : sim::CallCounts()) {
            if (n <= 0 || index++ % stride != 0 || (only != nullptr && call != only)) {
                continue;
            }
            plan.push_back({call, 0, 1});
            plan.push_back({call, 0, -1});
            if (n > 1) {
                plan.push_back({call, n - 1, 1});
            }
            if (n > 2) {
                plan.push_back({call, n / 2, -1});
            }
        }
        int injected = 0;
        for (const auto& injection : plan) {
            RunOnce(flow, injection, defects);
            // Fresh() of the next run resets the count: read it now.
            if (sim::InjectedCount(injection.call) > 0) {
                ++injected;
            }
        }
        return injected;
    }
};

}  // namespace

TEST_F(FaultSweepTest, EveryPlatformCallOfEveryFlowFailing) {
    // Thousands of runs, each writing the package to a fresh simulated drive: on a memory file
    // system where there is one, and only the x86 files (the simulated machine is 32-bit).
    bothArchitectures = false;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0) {
        setenv("TMPDIR", "/dev/shm", 1);
    }
    std::vector<std::string> defects;
    int injected = 0;
    std::vector<std::string> counts;
    const char* only = std::getenv("FAULT_SWEEP_FLOW");  // flows whose name holds this
    for (const auto& flow : flows::Flows()) {
        if (only != nullptr && flow.name.find(only) == std::string::npos) {
            continue;
        }
        const int n = Sweep(flow, defects);
        injected += n;
        counts.push_back(flow.name + ": " + std::to_string(n));
    }
    sim::ui::Reset();
    if (oldTmp != nullptr) {
        setenv("TMPDIR", savedTmp.c_str(), 1);
    } else {
        unsetenv("TMPDIR");
    }
    sim::Reset();  // the next test's drive back under the usual temporary directory
    for (const auto& c : counts) {
        std::printf("  %s\n", c.c_str());
    }
    std::printf("fault sweep: %d injected faults, %zu defects\n", injected, defects.size());
    for (const auto& d : defects) {
        ADD_FAILURE() << d;
    }
    EXPECT_GT(injected, 0);
}
