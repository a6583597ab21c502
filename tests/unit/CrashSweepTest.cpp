// The crash sweep: every complete flow killed at each platform call it makes, the machine's
// persistent state kept, and the installer started again on it; before Install is enabled the
// other printers must be on their ports, the spooler running, no unpack folder left and no
// printer pointing at a driver that does not exist.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"
#include "tests/unit/FlowScripts.h"

namespace {

using flows::D;
using flows::Flow;
using flows::Outcome;

const std::string kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
// Some 570 crash points, a margin over 500 as call counts vary with timing; CRASH_SWEEP_STRIDE
// overrides it.
constexpr int kDefaultStride = 20;
constexpr int kMinimumPoints = 500;
constexpr int kMostCalls = 100000;  // beyond any flow's calls: the run says where it ended

class CrashSweepTest : public flows::FlowTest {
  protected:
    // The platform calls the last run made.
    static int Calls() {
        int total = 0;
        for (const auto& [call, n] : sim::CallCounts()) {
            total += n;
        }
        return total;
    }

    // One run of the flow, its state kept as each of `points` began; the crash points reached.
    std::vector<int> RunKeeping(const Flow& flow, const std::vector<int>& points,
                                std::map<std::string, std::string>& before) {
        Fresh(flow);
        before.clear();
        for (const auto& printer : sim::spooler::Printers()) {
            before[printer.name] = printer.port;
        }
        sim::SetCrashPoints(points);
        Outcome outcome;
        flow.run(outcome);
        return sim::CrashPointsReached();
    }

    // The second start on the state the run was killed in, looked at once Install is enabled.
    void StartAgain(const Flow& flow, int n, const std::map<std::string, std::string>& before,
                    std::vector<std::string>& defects) {
        ASSERT_TRUE(sim::RestoreCrashSnapshot(n));
        sim::ui::Reset();
        sim::ui::SetStallTimeout(std::chrono::milliseconds(2000));
        sim::ui::AnswerEveryBox(true);
        const std::string where = flow.name + " / killed at call " + std::to_string(n) + ": ";
        auto defect = [&](const std::string& what) {
            std::fprintf(stderr, "[crash] defect: %s%s\n", where.c_str(), what.c_str());
            defects.push_back(where + what);
        };
        InstallDialog dialog;
        sim::ui::WaitUntil(D, installtest::InstallEnabled, "the worker to enable Install");
        sim::ui::Call(D, [&] {
            for (const auto& [name, port] : before) {
                if (port.rfind("COM", 0) != 0) {
                    continue;  // only a serial search moves other printers
                }
                const auto printer = sim::spooler::FindPrinter(name);
                const auto key = sim::registry::GetString("HKLM", kPrintersKey + name, "Port");
                if (!printer || printer->port != port || key.value_or(port) != port) {
                    defect(name + " on " + (printer ? printer->port : "nothing") + " / " +
                           key.value_or("no key") + ", had " + port);
                }
            }
            if (Exists("C:\\DriverSetup.unpack")) {
                defect("the unpack folder is left");
            }
            if (sim::service::GetState("Spooler") != sim::service::State::Running) {
                defect("the spooler is not running but in state " +
                       std::to_string(static_cast<int>(sim::service::GetState("Spooler"))));
            }
            const auto drivers = sim::spooler::Drivers();
            for (const auto& printer : sim::spooler::Printers()) {
                if (before.count(printer.name) == 0 &&
                    std::none_of(drivers.begin(), drivers.end(),
                                 [&](const auto& d) { return d.name == printer.driver; })) {
                    defect(printer.name + " points at the missing driver " + printer.driver);
                }
            }
        });
        sim::ui::Close(D);
        dialog.DoModal();
    }
};

}  // namespace

TEST_F(CrashSweepTest, EveryFlowKilledAtEveryCallLosesNothing) {
    bothArchitectures = false;
    const char* strideText = std::getenv("CRASH_SWEEP_STRIDE");
    const int stride = strideText ? std::max(1, std::atoi(strideText)) : kDefaultStride;
    const char* only = std::getenv("CRASH_SWEEP_FLOW");  // flows whose name holds this
    std::vector<std::string> defects;
    int points = 0;
    int index = 0;
    for (const auto& flow : flows::Flows()) {
        if (only != nullptr && flow.name.find(only) == std::string::npos) {
            continue;
        }
        // The first call and every `stride`th from an offset of the flow's own: the flows share
        // their start, so between them each call of it is hit.
        std::vector<int> wanted{1};
        for (int n = 1 + index++ % stride; n < kMostCalls; n += stride) {
            wanted.push_back(n);
        }
        std::map<std::string, std::string> before;
        const auto reached = RunKeeping(flow, wanted, before);
        const int calls = Calls();
        for (const int n : reached) {
            StartAgain(flow, n, before, defects);
        }
        std::printf("  %s: %d calls, %zu crash points\n", flow.name.c_str(), calls, reached.size());
        std::fflush(stdout);
        points += static_cast<int>(reached.size());
    }
    sim::DropCrashSnapshots();
    sim::ui::Reset();
    sim::Reset();
    std::printf("crash sweep: %d crash points, %zu defects\n", points, defects.size());
    if (only == nullptr && strideText == nullptr) {
        EXPECT_GE(points, kMinimumPoints);
    }
    EXPECT_TRUE(defects.empty());
}
