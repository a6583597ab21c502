// The serial flow: prompt, freeing other printers' COM ports, probing each serial port on the
// dialog's timer, and the end of the installation on every path.
#include "ports/SerialDetection.h"

#include <strings.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "app/InstallDialog.h"
#include "catalog/ModelTables.h"
#include "install/AddPrinter.h"
#include "platform/Registry.h"
#include "platform/Spooler.h"
#include "ports/PortEnumeration.h"
#include "ports/PortResult.h"
#include "ports/SerialJournal.h"
#include "ports/SerialPromptDialog.h"
#include "res/resource.h"

namespace ports {
namespace {

constexpr int kWriteBufferSize = 512;
constexpr std::uint8_t kReceiptProbe[] = {0x10, 0x04, 0x01};
constexpr std::uint8_t kLabelProbe[] = {0x1B, 0x21, 0x3F};
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char* const kFreePort = "LPT1:";
const char* const kControlPrinters = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr sys::Dword kPortValueSize = 256;

// Sets a flag for the length of a step, so a timer fired inside it cannot start another.
class StepScope {
  public:
    explicit StepScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~StepScope() { flag_ = false; }
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;

  private:
    bool& flag_;
};

enum class Probe { Sent, SentWithoutTimer, OpenedNotStarted, NotOpened };

// EnumPrintersA(local | connections, "", 2): every printer's name into work list A and its
// port, at the same position, into work list B.
void FillPrinterLists(InstallDialog& dialog) {
    dialog.serialWorkListA.clear();
    dialog.serialWorkListB.clear();
    const sys::Dword flags = sys::spool::EnumLocal | sys::spool::EnumConnections;
    sys::Dword needed = 0;
    sys::Dword returned = 0;
    sys::EnumPrintersA(flags, "", 2, nullptr, 0, &needed, &returned);
    if (needed == 0) {
        return;
    }
    std::vector<std::uint8_t> buffer(needed);
    if (!sys::EnumPrintersA(flags, "", 2, buffer.data(), needed, &needed, &returned)) {
        return;
    }
    const auto* printers = reinterpret_cast<const sys::PRINTER_INFO_2*>(buffer.data());
    for (sys::Dword i = 0; i < returned; ++i) {
        const char* name = printers[i].pPrinterName;
        const char* port = printers[i].pPortName;
        dialog.serialWorkListA.emplace_back(name != nullptr ? name : "");
        dialog.serialWorkListB.emplace_back(port != nullptr ? port : "");
    }
}

// The printers, other than the one being installed, that sit on a COM port.
template <class F>
void ForEachOtherComPrinter(InstallDialog& dialog, F f) {
    const auto& names = dialog.serialWorkListA;
    const auto& portsOf = dialog.serialWorkListB;
    for (size_t i = 0; i < names.size() && i < portsOf.size(); ++i) {
        if (StartsWith(portsOf[i], "COM") &&
            strcasecmp(names[i].c_str(), dialog.serialSearch.printerName.c_str()) != 0) {
            f(names[i], portsOf[i]);
        }
    }
}

void FreeSerialPorts(InstallDialog& dialog) {
    dialog.serialSearch.portsFreed = true;
    std::vector<journal::Moved> moved;
    ForEachOtherComPrinter(dialog, [&](const std::string& name, const std::string& port) {
        moved.push_back({name, port});
    });
    // A journal that cannot be written leaves the search as it was before there was one.
    if (!moved.empty()) {
        journal::Record(moved);
    }
    ForEachOtherComPrinter(dialog, [&](const std::string& name, const std::string&) {
        dialog.SetPrinterPortRegistry(name, kFreePort);
    });
}

// The port the spooler will read for a printer at its next start.
std::string RegistryPortOf(const std::string& printerName) {
    const std::string subKey = kControlPrinters + printerName;
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), subKey.c_str(), 0, sys::key::QueryValue,
                           key.Receive()) != sys::err::Success) {
        return {};
    }
    char port[kPortValueSize] = {};
    sys::Dword size = sizeof port - 1;
    sys::Dword type = 0;
    if (sys::RegQueryValueExA(key.Get(), "Port", nullptr, &type,
                              reinterpret_cast<std::uint8_t*>(port), &size) != sys::err::Success) {
        return {};
    }
    return std::string(port, strnlen(port, size));
}

// The box for a printer left on the free port; the user gives it its port back by hand.
void NameUnrestored(InstallDialog& dialog, const std::string& name, const std::string& port) {
    dialog.AppMessageBox("The printer " + name + " could not be given back its port " + port +
                             ",please set it after the installation finished",
                         ui::mb::Ok);
}

// Writes every other printer's COM port back; whether any had been moved off it.
bool RestoreSerialPorts(InstallDialog& dialog) {
    const bool freed = std::exchange(dialog.serialSearch.portsFreed, false);
    bool moved = false;
    ForEachOtherComPrinter(dialog, [&](const std::string& name, const std::string& port) {
        moved = freed;
        dialog.SetPrinterPortRegistry(name, port);
        // A key that will not open is passed over in silence by the write: a moved printer
        // whose key does not read back its port (or cannot be read) would stay on LPT1:
        // unseen, so the user is told which port to give it back.
        if (freed && strcasecmp(RegistryPortOf(name).c_str(), port.c_str()) != 0) {
            NameUnrestored(dialog, name, port);
        }
    });
    return moved;
}

// The ports written back take effect when the spooler starts again. A restart that fails is
// tried once more; when that fails too, the printers still on the free port are named.
void RestartAfterRestore(InstallDialog& dialog, bool moved) {
    const bool restarted =
        dialog.RestartService("Spooler", 0) || (moved && dialog.RestartService("Spooler", 0));
    if (restarted && moved) {
        journal::ClearIfRestored();
    }
    if (restarted || !moved) {
        return;
    }
    ForEachOtherComPrinter(dialog, [&](const std::string& name, const std::string& port) {
        NameUnrestored(dialog, name, port);
    });
}

// The end of every search path: the other printers' ports back, the progress at 90, and the
// spooler restarted so that it reads them.
void RestoreAndRestart(InstallDialog& dialog) {
    const bool moved = RestoreSerialPorts(dialog);
    dialog.progressBar.SetPos(90);
    RestartAfterRestore(dialog, moved);
}

void WritePortSettings(InstallDialog& dialog, const std::string& entry) {
    const std::string text =
        PortSettingsText(dialog.baudRate, dialog.parity, dialog.dataBits, dialog.stopBits);
    sys::RegKey key;
    // A key that will not open for writing (5, a user without KEY_SET_VALUE) loses the
    // settings as surely as a failed write: the user is told the same way.
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), kPortsKey, 0, sys::key::SetValue,
                           key.Receive()) != sys::err::Success ||
        sys::RegSetValueExA(key.Get(), entry.c_str(), 0, sys::reg::Sz,
                            reinterpret_cast<const std::uint8_t*>(text.c_str()),
                            static_cast<sys::Dword>(text.size())) != sys::err::Success) {
        dialog.AppMessageBox(
            "Error\xA3\xBA"
            "Failed to set Registry",
            ui::mb::Ok);
    }
}

void Finish(InstallDialog& dialog, const std::string& status) {
    dialog.statusText = status;
    dialog.SetInstallButton("&Finish");
    dialog.Refresh();
    dialog.progressBar.SetPos(100);
}

// Opens the channel on the entry at serialPortIndex and, once its monitor runs, sends the
// probe with timer 1 set to wait for the reply.
Probe ProbeCurrentPort(InstallDialog& dialog) {
    const std::string& entry = dialog.serialPorts[static_cast<size_t>(dialog.serialPortIndex)];
    // From here only this port's replies count: one from the port before, handled while its
    // channel closes (or left from an earlier search), is not this port's answer.
    dialog.serialSearch.portNumber = PortNumberOf(entry);
    dialog.serialResponseSeen = 0;
    dialog.ShowStatus("Checking " + entry);
    dialog.serialChannel.Close();
    if (dialog.serialChannel.Open(&dialog, dialog.serialSearch.portNumber, dialog.baudRate,
                                  static_cast<char>(dialog.parity), dialog.dataBits,
                                  dialog.stopBits, static_cast<sys::Dword>(dialog.serialEventMask),
                                  kWriteBufferSize) != 1) {
        return Probe::NotOpened;
    }
    if (dialog.serialChannel.StartMonitoring() != 1) {
        return Probe::OpenedNotStarted;
    }
    const bool timed = dialog.SetTimer(InstallDialog::kSerialTimer, kProbeWaitMs);
    const bool receipt = dialog.selectedModel < catalog::kReceiptModelCount;
    dialog.serialChannel.Write(receipt ? kReceiptProbe : kLabelProbe, 3);
    return timed ? Probe::Sent : Probe::SentWithoutTimer;
}

void SinglePort(InstallDialog& dialog) {
    const std::string& entry = dialog.serialPorts.front();
    dialog.SetPrinterPortRegistry(dialog.serialSearch.printerName, entry);
    dialog.RestartService("Spooler", 0);
    if (dialog.baudRate <= 0) {
        dialog.baudRate = kSinglePortBaudRate;  // 0 would be no rate at all
    }
    WritePortSettings(dialog, entry);
    RestoreAndRestart(dialog);
    dialog.portName = entry;
    Finish(dialog, "The current printer port is " + entry + ",you can configure after finished");
}

void PortFound(InstallDialog& dialog) {
    auto& search = dialog.serialSearch;
    const std::string entry = dialog.serialPorts[static_cast<size_t>(dialog.serialPortIndex)];
    dialog.KillTimer(InstallDialog::kSerialTimer);
    char status[300];
    std::snprintf(status, sizeof status, "%s %s", "The available printer port: ", entry.c_str());
    dialog.ShowStatus(status);
    dialog.serialChannel.Close();
    dialog.SetPrinterPortRegistry(search.printerName, entry);
    WritePortSettings(dialog, entry);
    dialog.portName = entry;
    dialog.progressBar.SetPos(80);
    RestoreAndRestart(dialog);
    dialog.SetInstallButton("&Finish");
    dialog.Refresh();
    dialog.progressBar.SetPos(100);
    search.probing = false;
}

void NoPortAnswered(InstallDialog& dialog) {
    dialog.serialChannel.Close();
    dialog.KillTimer(InstallDialog::kSerialTimer);
    dialog.progressBar.SetPos(80);
    RestoreAndRestart(dialog);
    Finish(dialog, "Cannot select a available port\xA1\xA3The current printer port is " +
                       dialog.serialPorts.front() + ",you can configure after finished");
    dialog.serialSearch.probing = false;
}

}  // namespace

int PortNumberOf(const std::string& entry) {
    if (!StartsWith(entry, "COM")) {
        return 0;
    }
    const char* first = entry.c_str() + 3;
    const char* last = entry.c_str() + entry.size();
    if (const char* colon = std::strchr(first, ':')) {
        last = colon;
    }
    // Digits only, all of them: "COM", "COMX", "COM1X" and a number too large name no port.
    int number = 0;
    const auto [end, error] = std::from_chars(first, last, number);
    if (first == last || error != std::errc() || end != last || number < 1) {
        return 0;
    }
    return number;
}

std::string PortSettingsText(int baudRate, int parity, int dataBits, int stopBits) {
    char text[64];
    std::snprintf(text, sizeof text, "%d,%c,%d,%d", baudRate,
                  std::tolower(static_cast<unsigned char>(parity)), dataBits, stopBits);
    return text;
}

namespace {

void StartSearch(InstallDialog& dialog) {
    auto& search = dialog.serialSearch;
    if (search.probing || search.inStep) {
        return;  // one search at a time
    }
    StepScope scope(search.inStep);
    FillPrinterLists(dialog);
    dialog.progressBar.SetPos(50);
    search.printerName = dialog.GetDlgItemTextA(IDC_PRINTER_NAME);
    if (dialog.serialPorts.empty()) {
        install::CompleteInstallation(dialog);  // the installation stops before this
        return;
    }
    if (dialog.serialPorts.size() == 1) {
        SinglePort(dialog);
        return;
    }

    SerialPromptDialog prompt(dialog.Handle());
    const int result = static_cast<int>(prompt.DoModal());
    dialog.Refresh();
    const int rate = result - kRowChosen;
    if (result == kCancelled || rate < 0 ||
        rate >= static_cast<int>(SerialPromptDialog::kBaudRates.size())) {
        Finish(dialog, "The current printer port is " + dialog.serialPorts.front() +
                           " ,you can set that after the installation finished");
        return;
    }

    FreeSerialPorts(dialog);
    dialog.RestartService("Spooler", 0);
    dialog.progressBar.SetPos(60);
    dialog.baudRate = SerialPromptDialog::kBaudRates[static_cast<size_t>(rate)];
    dialog.parity = 'N';
    dialog.dataBits = 8;
    dialog.stopBits = 1;
    dialog.serialEventMask = 3;
    dialog.serialPortIndex = 0;

    for (; dialog.serialPortIndex < static_cast<int>(dialog.serialPorts.size());
         ++dialog.serialPortIndex) {
        const Probe probe = ProbeCurrentPort(dialog);
        if (probe == Probe::Sent) {
            search.probing = true;
            dialog.progressBar.SetPos(100);
            return;
        }
        if (probe == Probe::SentWithoutTimer) {
            break;  // the search moves only on its timer: without one it could never end
        }
    }
    dialog.serialChannel.Close();
    RestoreAndRestart(dialog);
    Finish(dialog, "Cannot select a available port.The current printer port is " +
                       dialog.serialPorts.front() + ",you can configure after finished");
}

void TimerStep(InstallDialog& dialog) {
    auto& search = dialog.serialSearch;
    if (!search.probing || search.inStep) {
        return;  // no search, or one step already runs underneath this nested loop
    }
    StepScope scope(search.inStep);
    if (dialog.serialResponseSeen != 0) {
        PortFound(dialog);
        return;
    }
    ++dialog.serialPortIndex;
    if (dialog.serialPortIndex >= static_cast<int>(dialog.serialPorts.size())) {
        NoPortAnswered(dialog);
        return;
    }
    // Here a timer that cannot be set again leaves the one that fired this step: timers repeat,
    // so the search still goes on.
    switch (ProbeCurrentPort(dialog)) {
        case Probe::Sent:
        case Probe::SentWithoutTimer:
            break;
        case Probe::OpenedNotStarted:
            dialog.serialChannel.Close();
            dialog.SetTimer(InstallDialog::kSerialTimer, kSkipWaitMs);
            break;
        case Probe::NotOpened:
            dialog.SetTimer(InstallDialog::kSerialTimer, kSkipWaitMs);
            break;
    }
}

// The monitor's error boxes, shown once a step is over: the timer steps run in a box's own
// loop, so the search goes on while one waits for an answer.
void ShowMonitorReports(InstallDialog& dialog) {
    if (!dialog.serialSearch.inStep) {
        dialog.serialChannel.ShowReports();
    }
}

}  // namespace

void StartSerialDetection(InstallDialog& dialog) {
    StartSearch(dialog);
    ShowMonitorReports(dialog);
}

void SerialTimerStep(InstallDialog& dialog) {
    TimerStep(dialog);
    ShowMonitorReports(dialog);
}

void SerialReplyReceived(InstallDialog& dialog, ui::LParam port) {
    if (port == dialog.serialSearch.portNumber) {
        dialog.serialResponseSeen = 1;
    }
}

void EndSerialSearch(InstallDialog& dialog) {
    auto& search = dialog.serialSearch;
    dialog.KillTimer(InstallDialog::kSerialTimer);
    search.probing = false;
    dialog.serialChannel.Close();
    if (search.portsFreed) {
        RestartAfterRestore(dialog, RestoreSerialPorts(dialog));
    }
}

}  // namespace ports
