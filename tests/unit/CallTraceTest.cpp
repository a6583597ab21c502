// Every complete flow run once on a fresh simulated machine with its platform calls and what the
// user sees recorded, compared line by line with its reviewed trace in data/traces; any change of
// an argument, order, value or text shows as a diff. TRACE_UPDATE=1 writes the traces instead
// (tools/update-traces.sh), to be read before they are committed.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "install/RestartService.h"
#include "platform/sim/Trace.h"
#include "tests/unit/FlowScripts.h"

namespace flows {
// The flow's name where GoogleTest and ctest show the parameter.
void PrintTo(const Flow& flow, std::ostream* out) {
    *out << flow.name;
}
}  // namespace flows

namespace {

using flows::Flow;
using flows::Outcome;

const std::string kUsbFailed = "Failed to select usb port";

// "receipt on TCP/IP" -> "receipt-on-tcp-ip"
std::string Slug(const std::string& name, char dash) {
    std::string slug;
    for (unsigned char c : name) {
        if (std::isalnum(c) != 0) {
            slug += static_cast<char>(std::tolower(c));
        } else if (!slug.empty() && slug.back() != dash) {
            slug += dash;
        }
    }
    return slug;
}

void SetState(sim::service::State state) {
    sim::service::SetState("Spooler", state);
}

// The fault sweep's flows and the paths it reaches only through faults, with each restart.
std::vector<Flow> TraceFlows() {
    auto all = flows::Flows();
    auto add = [&all](const std::string& name, std::function<void()> seed,
                      std::function<void(Outcome&)> run) {
        all.push_back({name, std::move(seed), std::move(run), nullptr});
    };
    add(
        "receipt on parallel, port unknown once",
        [] { sim::FailCall("AddPrinterA", sys::err::UnknownPort, 1); },
        [](Outcome& o) { flows::InstallFlow(o, 0, 2, [] { installtest::ChooseParallelRow(0); }); });
    add(
        "receipt on parallel, Windows NT 4", [] { sim::SetVersion(2, 4, 0, 1381); },
        [](Outcome& o) { flows::InstallFlow(o, 0, 2, [] { installtest::ChooseParallelRow(0); }); });
    auto serial = [](const std::vector<std::string>& ports, std::function<void()> nested) {
        return [ports, nested](Outcome& o) {
            flows::InDialog(
                o,
                [ports](InstallDialog& d) {
                    d.installation.serialPorts = ports;
                    d.installation.selectedModel = 0;
                    d.SetDlgItemTextA(IDC_PRINTER_NAME, "Serial Receipt");
                    d.installation.printerName = "Serial Receipt";
                    ports::StartSerialDetection(d.installation, d);
                },
                nested);
        };
    };
    auto serialSeed = [] {
        flows::SeedSerial(true);
        sim::spooler::AddPrinter({"Serial Receipt", "COM2:", "TR-210 Series", "WinPrint", "RAW"});
    };
    add("serial search, No at the prompt", serialSeed,
        serial({"COM1:", "COM2:"}, [] { sim::ui::Click(flows::kSerialPrompt, IDC_PROMPT_NO); }));
    add("serial search, single port", serialSeed, serial({"COM2:"}, nullptr));
    add(
        "USB search, none online, Retry then Cancel",
        [] {
            for (const char* port : {"USB001", "USB002"}) {
                sim::spooler::AddPort({port, "USB Monitor", "Virtual printer port for USB"});
            }
            sim::spooler::AddPrinter(
                {"TR-210 Series", "USB001", "TR-210 Series", "WinPrint", "RAW"});
            sim::ui::AnswerMessageBox(kUsbFailed, ui::id::Retry);
            sim::ui::AnswerMessageBox(kUsbFailed, ui::id::Cancel);
        },
        [](Outcome& o) {
            flows::InDialog(o, [](InstallDialog& d) {
                d.SetDlgItemTextA(IDC_PRINTER_NAME, "TR-210 Series");
                d.installation.printerName = "TR-210 Series";
                d.installation.usbPorts = {"USB001", "USB002"};
                ports::SelectUsbPort(d.installation, d);
            });
        });
    // The worker's own start of the spooler comes first: the state is set after it.
    using sim::service::State;
    const std::pair<const char*, std::function<void()>> states[] = {
        {"running", [] {}},
        {"stopped", [] { SetState(State::Stopped); }},
        {"stop pending", [] { SetState(State::StopPending); }},
        {"refusing to stop", [] { sim::service::SetRefusesStop("Spooler", true); }},
    };
    for (const int mode : {install::kStartOnly, 0}) {
        for (const auto& [state, setState] : states) {
            add("spooler restart mode " + std::to_string(mode) + ", " + state, nullptr,
                [mode, setState](Outcome& o) {
                    flows::InDialog(o, [mode, setState](InstallDialog& d) {
                        setState();
                        install::RestartService(d, "Spooler", mode);
                    });
                });
        }
    }
    return all;
}

// A block of one or two lines repeated back to back (a wait's polls) is written once, with the
// number of further repeats on the line after it.
std::vector<std::string> Collapse(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (size_t i = 0; i < lines.size();) {
        size_t best = 1;
        size_t repeats = 0;
        for (size_t period : {1u, 2u}) {
            size_t n = 0;
            while (i + (n + 2) * period <= lines.size() &&
                   std::equal(lines.begin() + static_cast<long>(i),
                              lines.begin() + static_cast<long>(i + period),
                              lines.begin() + static_cast<long>(i + (n + 1) * period))) {
                ++n;
            }
            if (n > repeats) {
                best = period;
                repeats = n;
            }
        }
        out.insert(out.end(), lines.begin() + static_cast<long>(i),
                   lines.begin() + static_cast<long>(i + best));
        if (repeats > 0) {
            out.push_back("  (the " + std::to_string(best) + " line(s) above " +
                          std::to_string(repeats) + " more times)");
        }
        i += best * (repeats + 1);
    }
    return out;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The first difference with three lines of context on each side, expected against actual.
std::string Diff(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
    size_t first = 0;
    while (first < expected.size() && first < actual.size() && expected[first] == actual[first]) {
        ++first;
    }
    std::ostringstream out;
    out << "first difference at line " << first + 1 << " (expected " << expected.size()
        << " lines, recorded " << actual.size() << ")\n";
    const size_t from = first >= 3 ? first - 3 : 0;
    auto show = [&](const char* label, const std::vector<std::string>& lines) {
        out << "--- " << label << "\n";
        for (size_t i = from; i < std::min(lines.size(), first + 4); ++i) {
            out << (i == first ? "> " : "  ") << i + 1 << ": " << lines[i] << "\n";
        }
    };
    show("expected", expected);
    show("recorded", actual);
    return out.str();
}

class CallTraceTest : public flows::FlowTest, public ::testing::WithParamInterface<Flow> {};

}  // namespace

TEST_P(CallTraceTest, MatchesItsReviewedTrace) {
    const Flow& flow = GetParam();
    bothArchitectures = false;
    Fresh(flow);
    // The preparation and the clean-up after the window closed are the first flow's alone.
    const bool whole = flow.name == "preparation";
    if (whole) {
        sim::trace::Start();
    } else {
        sim::ui::WaitUntil(flows::D, installtest::InstallEnabled, "the worker to enable Install");
        sim::ui::Call(flows::D, [] { sim::trace::Start(); });
    }
    Outcome outcome;
    flow.run(outcome);
    auto recorded = sim::trace::Stop();
    const auto end = std::find_if(recorded.begin(), recorded.end(), [](const std::string& line) {
        return line.rfind("dialog EndDialog(dialog " + std::to_string(flows::D) + ",", 0) == 0;
    });
    if (!whole && end != recorded.end()) {
        recorded.erase(end + 1, std::find_if(end, recorded.end(), [](const std::string& line) {
                           return line.rfind("dialog ", 0) != 0;
                       }));
    }
    recorded = Collapse(recorded);
    const std::string path =
        std::string(UNIT_TEST_DATA) + "/traces/" + Slug(flow.name, '-') + ".txt";
    if (std::getenv("TRACE_UPDATE") != nullptr) {
        std::ofstream out(path, std::ios::binary);
        for (const auto& line : recorded) {
            out << line << "\n";
        }
        ASSERT_TRUE(out.good()) << "cannot write " << path;
        return;
    }
    const auto expected = ReadLines(path);
    ASSERT_FALSE(expected.empty()) << "no trace at " << path << "; TRACE_UPDATE=1 writes it";
    EXPECT_TRUE(expected == recorded) << flow.name << ": " << path << "\n"
                                      << Diff(expected, recorded);
}

INSTANTIATE_TEST_SUITE_P(Flows, CallTraceTest, ::testing::ValuesIn(TraceFlows()),
                         [](const ::testing::TestParamInfo<Flow>& info) {
                             return Slug(info.param.name, '_');
                         });
