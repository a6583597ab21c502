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

#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/InstallTestSupport.h"
#include "tests/unit/PortTestSupport.h"

namespace {

using installtest::D;

constexpr int kSerialPrompt = IDD_SERIAL_PROMPT;
constexpr int kTcpipDialog = IDD_TCPIP_PORTS;
const std::string kOther = "Kitchen";
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
    static const std::set<std::string> calls = {"DeleteFileA",        "RemoveDirectoryA",
                                                "FindFirstFileA",     "FindNextFileA",
                                                "GetFileAttributesA", "FindClose"};
    return calls.count(call) > 0;
}

bool Allowed(const sim::ui::ControlState& install) {
    return install.enabled &&
           (install.text == "&Install" || install.text == "Reinstall" || install.text == "&Finish");
}

// One run's outcome as seen from its end.
struct Outcome {
    bool stateSeen = false;
    bool stateAllowed = false;
    std::string installText;
    std::string chosenModel;  // the combo's text when Install was pressed
};

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

struct Flow {
    std::string name;
    std::function<void()> seed;         // the machine's state beyond the package
    std::function<void(Outcome&)> run;  // drives the flow and records `Outcome`
    // Non-empty: "&Finish" shown without the result.
    std::function<std::string(const Outcome&)> finishedWrongly;
};

class FaultSweepTest : public installtest::InstallTest {
  protected:
    // A fresh machine with the package, another printer on COM1: and the flow's own state.
    void Fresh(const Flow& flow) {
        sim::Reset();
        sim::ui::Reset();
        SetUp();
        // Long enough for a worker on a loaded machine; only runs that really stall wait it out.
        sim::ui::SetStallTimeout(std::chrono::milliseconds(2000));
        sim::ui::AnswerEveryBox(true);
        sim::spooler::AddPrinter({kOther, "COM1:", "Other driver", "WinPrint", "RAW"});
        if (flow.seed) {
            flow.seed();
        }
    }

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

// Press Install with the model and port type, run `port`, then look at the dialog and close it.
void InstallFlow(Outcome& outcome, int model, int portType, const std::function<void()>& port) {
    installtest::RecordingDialog dialog;
    sim::ui::WaitUntil(D, installtest::InstallEnabled, "the worker to enable Install");
    sim::ui::SelectCombo(D, IDC_DRIVER_COMBO, model);
    sim::ui::SelectListRow(D, IDC_PORT_TYPES, portType);
    // A catalogue entry that could not be read is not listed: the user picks what is shown.
    sim::ui::Call(
        D, [&outcome] { outcome.chosenModel = sim::ui::Control(D, IDC_DRIVER_COMBO)->text; });
    sim::ui::Click(D, IDC_INSTALL);
    if (port) {
        port();
    }
    sim::ui::Call(D, [&outcome] {
        const auto install = sim::ui::Control(D, IDC_INSTALL);
        outcome.stateSeen = true;
        outcome.installText = install->text;
        outcome.stateAllowed = Allowed(*install);
    });
    sim::ui::Close(D);
    dialog.DoModal();
}

// A flow run on the main dialog's thread once Install is enabled, then the state as above.
void InDialog(Outcome& outcome, const std::function<void(InstallDialog&)>& body,
              const std::function<void()>& nested = {}) {
    porttest::CountingDialog dialog;
    porttest::InMainDialog(
        dialog,
        [&] {
            body(dialog);
            const auto install = sim::ui::Control(D, IDC_INSTALL);
            outcome.stateSeen = true;
            outcome.installText = install->text;
            outcome.stateAllowed = Allowed(*install);
        },
        nested);
}

void SeedSerial(bool answering) {
    sim::registry::SetString("HKLM", "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial1",
                             "COM2");
    sim::serial::AddPort(2);
    if (answering) {
        sim::serial::AddReply(2, {0x10, 0x04, 0x01}, {0x12}, 40, 19200);
    }
}

void SeedUsb() {
    for (const char* port : {"USB001", "USB002"}) {
        sim::spooler::AddPort({port, "USB Monitor", "Virtual printer port for USB"});
    }
    sim::spooler::SetPrinterOnlineAt("USB002");
}

std::vector<Flow> Flows() {
    std::vector<Flow> flows;
    flows.push_back(
        {"preparation", nullptr, [](Outcome& o) { InDialog(o, [](InstallDialog&) {}); }, nullptr});
    const char* types[] = {"serial", "USB", "parallel", "TCP/IP"};
    for (const bool label : {false, true}) {
        const int model = label ? catalog::kReceiptModelCount : 0;
        for (int type = 0; type < 4; ++type) {
            Flow f;
            f.name = std::string(label ? "label" : "receipt") + " on " + types[type];
            f.seed = [type] {
                if (type == 0) {
                    SeedSerial(true);
                } else if (type == 1) {
                    SeedUsb();
                } else if (type == 3) {
                    sim::spooler::ScriptAddPort("IP_10.0.0.7");
                }
            };
            f.run = [model, type](Outcome& o) {
                InstallFlow(o, model, type, [type] {
                    if (type == 0) {
                        sim::ui::Click(kSerialPrompt, IDC_PROMPT_YES);
                        sim::ui::AdvanceClock(D, 1500);
                    } else if (type == 2) {
                        installtest::ChooseParallelRow(0);
                    }
                });
            };
            f.finishedWrongly = [](const Outcome& o) -> std::string {
                for (const auto& p : sim::spooler::Printers()) {
                    if (p.driver == o.chosenModel) {
                        return "";
                    }
                }
                return "no printer with the driver \"" + o.chosenModel + "\"";
            };
            flows.push_back(f);
        }
    }
    auto tcpip = [](const std::string& name, int button) {
        Flow f;
        f.name = "TCP/IP dialog " + name;
        f.seed = [] {
            porttest::AddTcpipPort("IP_1");
            porttest::AddTcpipPort("IP_2");
            sim::spooler::ScriptAddPort("IP_3");
            sim::spooler::ScriptConfigurePort(true);
        };
        f.run = [button](Outcome& o) {
            InDialog(
                o,
                [](InstallDialog& d) {
                    d.tcpipPorts = {"IP_1", "IP_2"};
                    std::string port;
                    d.ChooseTcpipPort(port);
                },
                [button] {
                    sim::ui::SelectListRow(kTcpipDialog, IDC_PORT_LIST, 1);
                    sim::ui::Click(kTcpipDialog, button);
                    sim::ui::Click(kTcpipDialog, IDC_PORTS_OK);
                });
        };
        return f;
    };
    flows.push_back(tcpip("add", IDC_ADD_PORT));
    flows.push_back(tcpip("configure", IDC_CONFIGURE_PORT));
    flows.push_back(tcpip("delete", IDC_DELETE_PORT));
    for (const bool answering : {true, false}) {
        Flow f;
        f.name = answering ? "serial search, printer answering" : "serial search, no printer";
        f.seed = [answering] {
            SeedSerial(answering);
            sim::spooler::AddPrinter(
                {"Serial Receipt", "COM2:", "TR-210 Series", "WinPrint", "RAW"});
        };
        f.run = [](Outcome& o) {
            InDialog(
                o,
                [](InstallDialog& d) {
                    d.serialPorts = {"COM1:", "COM2:"};
                    d.selectedModel = 0;
                    d.SetDlgItemTextA(IDC_PRINTER_NAME, "Serial Receipt");
                    d.DetectSerialPort();
                },
                [] {
                    sim::ui::Click(kSerialPrompt, IDC_PROMPT_YES);
                    sim::ui::AdvanceClock(D, 1500);
                });
        };
        flows.push_back(f);
    }
    {
        Flow f;
        f.name = "USB search";
        f.seed = [] {
            SeedUsb();
            sim::spooler::AddPrinter(
                {"TR-210 Series", "USB001", "TR-210 Series", "WinPrint", "RAW"});
        };
        f.run = [](Outcome& o) {
            InDialog(o, [](InstallDialog& d) {
                d.SetDlgItemTextA(IDC_PRINTER_NAME, "TR-210 Series");
                d.usbPorts = {"USB001", "USB002"};
                d.SelectUsbPort();
            });
        };
        flows.push_back(f);
    }
    return flows;
}

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
    for (const auto& flow : Flows()) {
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
