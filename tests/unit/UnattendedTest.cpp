// The unattended run on the simulated machine: each of the window's flows run without it makes
// the window's platform calls (its recorded trace without what only a window does), and each
// outcome gives its exit code.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/InstallLog.h"
#include "app/Unattended.h"
#include "platform/sim/Trace.h"
#include "tests/unit/FlowScripts.h"

namespace {

using Lines = std::vector<std::string>;

Lines ReadTrace(const std::string& slug) {
    Lines lines;
    std::ifstream in(std::string(UNIT_TEST_DATA) + "/traces/" + slug + ".txt");
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Undoes the trace's "(the N line(s) above K more times)".
Lines Expand(const Lines& collapsed) {
    Lines lines;
    for (const auto& line : collapsed) {
        int n = 0;
        int k = 0;
        if (std::sscanf(line.c_str(), "  (the %d line(s) above %d more times)", &n, &k) == 2) {
            const Lines block(lines.end() - n, lines.end());
            for (int i = 0; i < k; ++i) {
                lines.insert(lines.end(), block.begin(), block.end());
            }
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string Tag(const std::string& line) {
    return line.substr(0, line.find(' '));
}

std::string CallOf(const std::string& line) {
    const auto start = line.find(' ') + 1;
    return line.substr(start, line.find('(', start) - start);
}

// What only a window does: its controls, boxes, dialogs and timer. The pauses for the eye
// before "&Finish" and the port dialogs' own enumerations (between a nested dialog's
// DialogBoxParamA and its EndDialog) are the window's alone too; the unattended run waits
// out the serial search's steps with Sleep where the window's timer fires.
Lines WithoutWindow(const Lines& lines) {
    static const std::vector<std::string> kUi = {
        "SetDlgItemTextA", "CheckDlgButton", "PBM_SETPOS", "EnableWindow", "MessageBoxA",
        "DialogBoxParamA", "SetTimer",       "KillTimer",  "SendMessageA", "EndDialog"};
    static const std::vector<std::string> kPauses = {"Sleep(500)", "Sleep(100)", "Sleep(700)",
                                                     "Sleep(1)"};
    Lines kept;
    bool inPortDialog = false;
    for (const auto& line : lines) {
        const std::string call = CallOf(line);
        if (call == "DialogBoxParamA" && line.find("(136,") == std::string::npos) {
            inPortDialog = true;  // not the baud prompt, which makes no platform call
        } else if (call == "EndDialog") {
            inPortDialog = false;
        }
        const std::string body =
            line.substr(line.find(' ') + 1, line.find(" -> ") - line.find(' ') - 1);
        const bool ui =
            std::find(kUi.begin(), kUi.end(), call) != kUi.end() || call.rfind("LVM_", 0) == 0;
        const bool pause = std::find(kPauses.begin(), kPauses.end(), body) != kPauses.end();
        if (!ui && !pause && !inPortDialog) {
            kept.push_back(line);
        }
    }
    return kept;
}

Lines OfThread(const Lines& lines, bool main) {
    Lines kept;
    for (const auto& line : lines) {
        if ((Tag(line) == "dialog") == main) {
            kept.push_back(line);
        }
    }
    return kept;
}

// The window's whole run of a flow on its main thread: the worker's preparation, the flow,
// then the clean-up at the window's close; the serial monitors' threads as recorded.
struct Expected {
    Lines main;
    Lines monitors;
};

Expected WindowRun(const std::string& slug) {
    const Lines preparation = Expand(ReadTrace("preparation"));
    const Lines flow = Expand(ReadTrace(slug));
    Expected expected;
    for (const auto& line : preparation) {
        if (Tag(line) == "t1") {
            expected.main.push_back("dialog " + line.substr(3));
        }
    }
    const Lines flowMain = OfThread(flow, true);
    expected.main.insert(expected.main.end(), flowMain.begin(), flowMain.end());
    const auto close = std::find_if(preparation.begin(), preparation.end(), [](const auto& line) {
        return line.rfind("dialog EndDialog(dialog 103,", 0) == 0;
    });
    expected.main.insert(expected.main.end(), close + 1,
                         std::find_if(close, preparation.end(),
                                      [](const auto& line) { return Tag(line) != "dialog"; }));
    expected.main = WithoutWindow(expected.main);
    expected.monitors = WithoutWindow(OfThread(flow, false));
    return expected;
}

// The preparation ends with the system's detection.
Lines AfterPreparation(const Lines& lines) {
    const auto last = std::find_if(lines.begin(), lines.end(), [](const auto& line) {
        return CallOf(line) == "GetVersionExA";
    });
    return Lines(last == lines.end() ? last : last + 1, lines.end());
}

// From the first line that calls `call` on.
Lines From(const Lines& lines, const std::string& call) {
    const auto first = std::find_if(lines.begin(), lines.end(),
                                    [&](const auto& line) { return CallOf(line) == call; });
    return Lines(first, lines.end());
}

std::string FirstDifference(const Lines& expected, const Lines& actual) {
    size_t i = 0;
    while (i < expected.size() && i < actual.size() && expected[i] == actual[i]) {
        ++i;
    }
    return "line " + std::to_string(i + 1) + " of " + std::to_string(expected.size()) + "/" +
           std::to_string(actual.size()) +
           "\n  window:     " + (i < expected.size() ? expected[i] : "(end)") +
           "\n  unattended: " + (i < actual.size() ? actual[i] : "(end)");
}

struct Case {
    std::string trace;  // the window's flow
    std::function<void()> seed;
    unattended::Options options;
    // Non-empty: compared from the first call of this name on (see the TCP/IP cases).
    std::string from;
    // The window's preparation was recorded on a machine without the seed's ports: with one,
    // it is compared from the installation on.
    bool seeded = false;
};

// The case's name where GoogleTest shows the parameter.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.trace;
}

std::string Receipt() {
    return std::string(catalog::ReceiptDriverName(0));
}
std::string Label() {
    return std::string(catalog::LabelDriverName(0));
}

unattended::Options On(const std::string& model, const std::string& port) {
    unattended::Options options;
    options.model = model;
    options.port = port;
    return options;
}

// The serial searches' traces start at the search, on a machine holding the printer already.
std::function<void()> SerialSearch(bool answering, bool single) {
    return [answering, single] {
        flows::SeedSerial(answering);
        if (single) {
            sim::registry::DeleteValue("HKLM", "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                                       "\\Device\\Serial0");
        }
        sim::spooler::AddPrinter({"Serial Receipt", "COM2:", "TR-210 Series", "WinPrint", "RAW"});
    };
}

unattended::Options SerialReceipt() {
    unattended::Options options = On(Receipt(), "serial");
    options.printerName = "Serial Receipt";
    return options;
}

void SeedTcpip() {
    porttest::AddTcpipPort("IP_10.0.0.7");
}

std::vector<Case> Cases() {
    return {
        {"receipt-on-parallel", nullptr, On(Receipt(), "LPT1:"), ""},
        {"label-on-parallel", nullptr, On(Label(), "lpt1:"), ""},
        {"receipt-on-usb", flows::SeedUsb, On(Receipt(), "usb"), "", true},
        {"label-on-usb", flows::SeedUsb, On(Label(), "USB"), "", true},
        {"receipt-on-serial", [] { flows::SeedSerial(true); }, On(Receipt(), "serial"), "", true},
        {"label-on-serial", [] { flows::SeedSerial(true); }, On(Label(), "serial"), "", true},
        // The window adds the TCP/IP port through the monitor's own dialog (AddPortA) and reads
        // the ports again; unattended, the port must exist already, so the runs are the same
        // from the driver's installation on.
        {"receipt-on-tcp-ip", SeedTcpip, On(Receipt(), "IP_10.0.0.7"), "GetPrinterDriverDirectoryA",
         true},
        {"serial-search-printer-answering", SerialSearch(true, false), SerialReceipt(),
         "EnumPrintersA", true},
        {"serial-search-no-printer", SerialSearch(false, false), SerialReceipt(), "EnumPrintersA",
         true},
        {"serial-search-single-port", SerialSearch(true, true), SerialReceipt(), "EnumPrintersA",
         true},
        {"label-on-tcp-ip", SeedTcpip, On(Label(), "ip_10.0.0.7"), "GetPrinterDriverDirectoryA",
         true},
    };
}

class UnattendedTest : public flows::FlowTest {
  protected:
    int RunOn(const Case& c) {
        Fresh({c.trace, c.seed, nullptr, nullptr});
        InstallLog log;
        return unattended::Run(c.options, log);
    }
};

class UnattendedFlowTest : public UnattendedTest, public ::testing::WithParamInterface<Case> {};

}  // namespace

TEST_P(UnattendedFlowTest, MakesTheWindowsPlatformCalls) {
    const Case& c = GetParam();
    bothArchitectures = false;
    Fresh({c.trace, c.seed, nullptr, nullptr});
    InstallLog log;
    sim::trace::Start();
    EXPECT_EQ(unattended::Run(c.options, log), unattended::kInstalled);
    const Lines recorded = sim::trace::Stop();

    Expected expected = WindowRun(c.trace);
    Lines main = WithoutWindow(OfThread(recorded, true));
    if (c.seeded) {
        expected.main = AfterPreparation(expected.main);
        main = AfterPreparation(main);
    }
    if (!c.from.empty()) {
        expected.main = From(expected.main, c.from);
        main = From(main, c.from);
    }
    // Nothing compared would pass unseen: each side holds the flow's own calls.
    ASSERT_GT(main.size(), 20u);
    ASSERT_GT(expected.main.size(), 20u);
    EXPECT_TRUE(expected.main == main) << FirstDifference(expected.main, main);
    const Lines monitors = WithoutWindow(OfThread(recorded, false));
    EXPECT_TRUE(expected.monitors == monitors) << FirstDifference(expected.monitors, monitors);
}

INSTANTIATE_TEST_SUITE_P(Flows, UnattendedFlowTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.trace;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

namespace {

struct Outcome {
    std::string name;
    std::function<void()> seed;
    unattended::Options options;
    int code;
    std::string printerPort;  // where the printer named as the model is left; empty: none
};

std::vector<Outcome> Outcomes() {
    const auto usbNeverOnline = [] {
        for (const char* port : {"USB001", "USB002"}) {
            sim::spooler::AddPort({port, "USB Monitor", "Virtual printer port for USB"});
        }
    };
    return {
        {"installed", nullptr, On(Receipt(), "LPT2:"), unattended::kInstalled, "LPT2:"},
        {"unknown model", nullptr, On("TR-999 Series", "LPT1:"), unattended::kBadCommandLine, ""},
        {"unknown port", nullptr, On(Receipt(), "LPT9:"), unattended::kBadCommandLine, ""},
        {"USB never online", usbNeverOnline, On(Receipt(), "usb"), unattended::kGivenUp, "USB002"},
        {"driver refused", [] { sim::FailCall("AddPrinterDriverExA", 5, 1000); },
         On(Receipt(), "LPT1:"), unattended::kFailed, ""},
        {"package missing", [] { std::filesystem::remove(sim::HostPath("C:\\DriverName.cfg")); },
         On(Receipt(), "LPT1:"), unattended::kFailed, ""},
    };
}

}  // namespace

TEST_F(UnattendedTest, EachOutcomeGivesItsExitCode) {
    bothArchitectures = false;
    for (const Outcome& o : Outcomes()) {
        EXPECT_EQ(RunOn({o.name, o.seed, o.options, ""}), o.code) << o.name;
        std::string port;
        for (const auto& printer : sim::spooler::Printers()) {
            if (printer.name == o.options.model) {
                port = printer.port;
            }
        }
        EXPECT_EQ(port, o.printerPort) << o.name;
        EXPECT_FALSE(Exists("C:\\DriverName.cfg")) << o.name << ": the unpacked files stay";
    }
}
