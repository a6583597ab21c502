// The serial search's time on the simulated clock: N candidate ports, the printer answering on
// the last, every third port held by another program (it cannot be opened). Printed against the
// floor of 700 ms per port that opened and 1 ms per port that did not, with the spooler
// restarts of the search shown apart. Run by hand; nothing is asserted.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "platform/sim/Sim.h"
#include "platform/sim/SimSerial.h"
#include "platform/sim/SimSpooler.h"
#include "platform/sim/SimUi.h"
#include "ports/SerialDetection.h"
#include "res/resource.h"

namespace {

constexpr int D = IDD_INSTALL;
const char* const kPrinter = "Bench Receipt";

// The main dialog, noting the simulated time of each status line.
class TimedDialog : public InstallDialog {
  public:
    sys::Dword firstCheck = 0;
    sys::Dword found = 0;
    sys::Dword last = 0;

  protected:
    bool OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                   ui::LResult& result) override {
        if (message == ui::RegisterWindowMessageA("MyUpdateData")) {
            const sys::Dword now = sim::Now();
            if (firstCheck == 0 && statusText.rfind("Checking ", 0) == 0) {
                firstCheck = now;
            }
            if (statusText.rfind("The available printer port:", 0) == 0 && found == 0) {
                found = now;
            }
            last = now;
        }
        return InstallDialog::OnMessage(message, wParam, lParam, result);
    }
};

struct Row {
    int ports = 0;
    int opened = 0;
    sys::Dword start = 0;
    sys::Dword firstCheck = 0;
    sys::Dword found = 0;
    sys::Dword end = 0;
    double wallMs = 0;
    std::string status;
};

Row Measure(int count) {
    sim::Reset();
    sim::ui::Reset();
    Row row;
    row.ports = count;
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const int number = i + 2;
        names.push_back("COM" + std::to_string(number) + ":");
        const bool last = i == count - 1;
        if (!last && i % 3 == 1) {
            sim::serial::AddPort(number);
            sim::serial::SetOpenError(number, 5);  // another program holds it
            continue;
        }
        sim::serial::AddPort(number);
        ++row.opened;
        if (last) {
            sim::serial::AddReply(number, {0x10, 0x04, 0x01}, {0x12}, 40, 19200);
        }
    }
    sim::spooler::AddPrinter({kPrinter, names.front(), "TR-210 Series", "WinPrint", "RAW"});

    TimedDialog dialog;
    sim::ui::WaitUntil(
        D, [] { return sim::ui::Control(D, IDC_INSTALL)->enabled; }, "Install enabled");
    sim::ui::Call(D, [&] {
        dialog.installation.serialPorts = names;
        dialog.installation.selectedModel = 0;
        dialog.SetDlgItemTextA(IDC_PRINTER_NAME, kPrinter);
        dialog.installation.printerName = kPrinter;
        row.start = sim::Now();
        ports::StartSerialDetection(dialog.installation, dialog);
    });
    if (count > 1) {
        sim::ui::Click(IDD_SERIAL_PROMPT, IDC_PROMPT_YES);
        sim::ui::AdvanceClock(D, 700u * static_cast<unsigned>(count) + 5000);
    }
    sim::ui::Call(D, [&] { row.status = dialog.statusText; });
    sim::ui::Close(D);
    const auto t0 = std::chrono::steady_clock::now();
    dialog.DoModal();
    row.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    row.firstCheck = dialog.firstCheck;
    row.found = dialog.found;
    row.end = dialog.last;
    for (const auto& failure : sim::ui::Failures()) {
        std::printf("  window layer: %s\n", failure.c_str());
    }
    return row;
}

}  // namespace

int main() {
    std::printf(
        "serial search on the simulated clock (ms); printer on the last port, every third "
        "port cannot be opened\n");
    std::printf("%5s %6s %8s %8s %8s %9s %8s %9s %8s  %s\n", "ports", "opened", "probing", "floor",
                "ratio", "restarts", "total", "Nx700", "wall", "status");
    for (int count : {1, 4, 16}) {
        const Row r = Measure(count);
        const int notOpened = r.ports - r.opened;
        // One port: the single-port path, no probe at all.
        const sys::Dword floor =
            r.ports == 1 ? 0 : static_cast<sys::Dword>(r.opened * 700 + notOpened * 1);
        const sys::Dword probing = r.found > r.firstCheck ? r.found - r.firstCheck : 0;
        const sys::Dword total = r.end - r.start;
        const sys::Dword restarts = total - probing;
        std::printf("%5d %6d %8u %8u %8.4f %9u %8u %9d %7.0fms  %s\n", r.ports, r.opened, probing,
                    floor, floor ? static_cast<double>(probing) / floor : 1.0, restarts, total,
                    r.ports * 700, r.wallMs, r.status.c_str());
    }
    return 0;
}
