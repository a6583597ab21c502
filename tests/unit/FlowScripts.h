// The complete flows of the installer scripted on the simulated machine, shared by the fault
// sweep and the call traces: the machine each starts from, and the user's part in it.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/SimSpooler.h"
#include "tests/unit/InstallTestSupport.h"
#include "tests/unit/PortTestSupport.h"

namespace flows {

using installtest::D;

inline constexpr int kSerialPrompt = IDD_SERIAL_PROMPT;
inline constexpr int kTcpipDialog = IDD_TCPIP_PORTS;
inline const std::string kOther = "Kitchen";  // another printer, on COM1:

// A state of the Install button the user can go on from.
inline bool Allowed(const sim::ui::ControlState& install) {
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

struct Flow {
    std::string name;
    std::function<void()> seed;         // the machine's state beyond the package
    std::function<void(Outcome&)> run;  // drives the flow and records `Outcome`
    // Non-empty: "&Finish" shown without the result.
    std::function<std::string(const Outcome&)> finishedWrongly;
};

// The package on a fresh machine; `Fresh` adds another printer on COM1: and the flow's state.
class FlowTest : public installtest::InstallTest {
  protected:
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
};

// Press Install with the model and port type, run `port`, then look at the dialog and close it.
inline void InstallFlow(Outcome& outcome, int model, int portType,
                        const std::function<void()>& port) {
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
inline void InDialog(Outcome& outcome, const std::function<void(InstallDialog&)>& body,
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

inline void SeedSerial(bool answering) {
    sim::registry::SetString("HKLM", "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial1",
                             "COM2");
    sim::serial::AddPort(2);
    if (answering) {
        sim::serial::AddReply(2, {0x10, 0x04, 0x01}, {0x12}, 40, 19200);
    }
}

inline void SeedUsb() {
    for (const char* port : {"USB001", "USB002"}) {
        sim::spooler::AddPort({port, "USB Monitor", "Virtual printer port for USB"});
    }
    sim::spooler::SetPrinterOnlineAt("USB002");
}

inline std::vector<Flow> Flows() {
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
                    d.installation.tcpipPorts = {"IP_1", "IP_2"};
                    std::string port;
                    ports::ChooseTcpipPort(d.installation, d, port);
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
                    d.installation.serialPorts = {"COM1:", "COM2:"};
                    d.installation.selectedModel = 0;
                    d.SetDlgItemTextA(IDC_PRINTER_NAME, "Serial Receipt");
                    d.installation.printerName = "Serial Receipt";
                    ports::StartSerialDetection(d.installation, d);
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
                d.installation.printerName = "TR-210 Series";
                d.installation.usbPorts = {"USB001", "USB002"};
                ports::SelectUsbPort(d.installation, d);
            });
        };
        flows.push_back(f);
    }
    return flows;
}

}  // namespace flows
