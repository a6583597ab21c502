// The serial flow: prompt, freeing other printers' COM ports, probing each serial port on the
// front end's timer, and the end of the installation on every path.
#include "ports/SerialDetection.h"

#include <strings.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "catalog/ModelTables.h"
#include "install/AddPrinter.h"
#include "install/Frontend.h"
#include "install/Installation.h"
#include "install/RestartService.h"
#include "install/SetPrinterPortRegistry.h"
#include "platform/Registry.h"
#include "platform/Spooler.h"
#include "ports/PortEnumeration.h"
#include "ports/PortResult.h"
#include "ports/SerialJournal.h"
#include "ports/SerialPromptDialog.h"
#include "res/resource.h"

namespace ports {

using install::Frontend;
using install::Installation;
namespace {

constexpr int kWriteBufferSize = 512;
constexpr std::uint8_t kReceiptProbe[] = {0x10, 0x04, 0x01};
constexpr std::uint8_t kLabelProbe[] = {0x1B, 0x21, 0x3F};
const char* const kPortsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char* const kFreePort = "LPT1:";

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
void FillPrinterLists(Installation& state) {
    state.serialWorkListA.clear();
    state.serialWorkListB.clear();
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
        state.serialWorkListA.emplace_back(name != nullptr ? name : "");
        state.serialWorkListB.emplace_back(port != nullptr ? port : "");
    }
}

// The printers, other than the one being installed, that sit on a COM port.
template <class F>
void ForEachOtherComPrinter(Installation& state, F f) {
    const auto& names = state.serialWorkListA;
    const auto& portsOf = state.serialWorkListB;
    for (size_t i = 0; i < names.size() && i < portsOf.size(); ++i) {
        if (StartsWith(portsOf[i], "COM") &&
            strcasecmp(names[i].c_str(), state.serialSearch.printerName.c_str()) != 0) {
            f(names[i], portsOf[i]);
        }
    }
}

void FreeSerialPorts(Installation& state, Frontend& front) {
    state.serialSearch.portsFreed = true;
    std::vector<journal::Moved> moved;
    ForEachOtherComPrinter(state, [&](const std::string& name, const std::string& port) {
        moved.push_back({name, port});
    });
    // A journal that cannot be written leaves the search as it was before there was one.
    if (!moved.empty()) {
        journal::Record(moved);
    }
    ForEachOtherComPrinter(state, [&](const std::string& name, const std::string&) {
        install::SetPrinterPortRegistry(front, name, kFreePort);
    });
}

// The box for a printer left on the free port; the user gives it its port back by hand.
void NameUnrestored(Frontend& front, const std::string& name, const std::string& port) {
    front.AppMessageBox("The printer " + name + " could not be given back its port " + port +
                            ",please set it after the installation finished",
                        ui::mb::Ok);
}

// Writes every other printer's COM port back; whether any had been moved off it.
bool RestoreSerialPorts(Installation& state, Frontend& front) {
    const bool freed = std::exchange(state.serialSearch.portsFreed, false);
    bool moved = false;
    ForEachOtherComPrinter(state, [&](const std::string& name, const std::string& port) {
        moved = freed;
        install::SetPrinterPortRegistry(front, name, port);
        // A key that will not open is passed over in silence by the write: a moved printer
        // whose key does not read back its port (or cannot be read) would stay on LPT1:
        // unseen, so the user is told which port to give it back.
        if (freed &&
            strcasecmp(journal::RegistryPort(name).value_or("").c_str(), port.c_str()) != 0) {
            NameUnrestored(front, name, port);
        }
    });
    return moved;
}

// The ports written back take effect when the spooler starts again. A restart that fails is
// tried once more; when that fails too, the printers still on the free port are named.
void RestartAfterRestore(Installation& state, Frontend& front, bool moved) {
    const bool restarted = install::RestartService(front, "Spooler", 0) ||
                           (moved && install::RestartService(front, "Spooler", 0));
    if (restarted && moved) {
        journal::ClearIfRestored();
    }
    if (restarted || !moved) {
        return;
    }
    ForEachOtherComPrinter(state, [&](const std::string& name, const std::string& port) {
        NameUnrestored(front, name, port);
    });
}

// The end of every search path: the other printers' ports back, the progress at 90, and the
// spooler restarted so that it reads them.
void RestoreAndRestart(Installation& state, Frontend& front) {
    const bool moved = RestoreSerialPorts(state, front);
    front.SetProgress(90);
    RestartAfterRestore(state, front, moved);
}

void WritePortSettings(Installation& state, Frontend& front, const std::string& entry) {
    const std::string text =
        PortSettingsText(state.baudRate, state.parity, state.dataBits, state.stopBits);
    sys::RegKey key;
    // A key that will not open for writing (5, a user without KEY_SET_VALUE) loses the
    // settings as surely as a failed write: the user is told the same way.
    sys::Dword result = sys::RegOpenKeyExA(sys::HkeyLocalMachine(), kPortsKey, 0,
                                           sys::key::SetValue, key.Receive());
    if (result == sys::err::Success) {
        result = sys::RegSetValueExA(key.Get(), entry.c_str(), 0, sys::reg::Sz,
                                     reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                     static_cast<sys::Dword>(text.size()));
    }
    if (result != sys::err::Success) {
        front.Log("The port settings of " + entry +
                  " could not be written: " + std::to_string(static_cast<int>(result)));
        front.AppMessageBox(
            "Error\xA3\xBA"
            "Failed to set Registry",
            ui::mb::Ok);
    }
}

void Finish(Frontend& front, const std::string& status) {
    front.SetStatus(status);
    front.SetInstallButton("&Finish");
    front.Refresh();
    front.SetProgress(100);
}

// Opens the channel on the entry at serialPortIndex and, once its monitor runs, sends the
// probe with timer 1 set to wait for the reply.
Probe ProbeCurrentPort(Installation& state, Frontend& front) {
    const std::string& entry = state.serialPorts[static_cast<size_t>(state.serialPortIndex)];
    // From here only this port's replies count: one from the port before, handled while its
    // channel closes (or left from an earlier search), is not this port's answer.
    state.serialSearch.portNumber = PortNumberOf(entry);
    state.serialResponseSeen = 0;
    front.ShowStatus("Checking " + entry);
    state.serialChannel.Close();
    if (state.serialChannel.Open(&front, state.serialSearch.portNumber, state.baudRate,
                                 static_cast<char>(state.parity), state.dataBits, state.stopBits,
                                 static_cast<sys::Dword>(state.serialEventMask),
                                 kWriteBufferSize) != 1) {
        front.Log(entry +
                  " could not be opened: " + std::to_string(static_cast<int>(sys::GetLastError())));
        return Probe::NotOpened;
    }
    if (state.serialChannel.StartMonitoring() != 1) {
        front.Log(entry + ": its monitor could not be started");
        return Probe::OpenedNotStarted;
    }
    const bool timed = front.SetSerialTimer(kProbeWaitMs);
    const bool receipt = state.selectedModel < catalog::kReceiptModelCount;
    state.serialChannel.Write(receipt ? kReceiptProbe : kLabelProbe, 3);
    return timed ? Probe::Sent : Probe::SentWithoutTimer;
}

void SinglePort(Installation& state, Frontend& front) {
    const std::string& entry = state.serialPorts.front();
    install::SetPrinterPortRegistry(front, state.serialSearch.printerName, entry);
    install::RestartService(front, "Spooler", 0);
    if (state.baudRate <= 0) {
        state.baudRate = kSinglePortBaudRate;  // 0 would be no rate at all
    }
    WritePortSettings(state, front, entry);
    RestoreAndRestart(state, front);
    state.portName = entry;
    Finish(front, "The current printer port is " + entry + ",you can configure after finished");
}

void PortFound(Installation& state, Frontend& front) {
    auto& search = state.serialSearch;
    const std::string entry = state.serialPorts[static_cast<size_t>(state.serialPortIndex)];
    front.KillSerialTimer();
    char status[300];
    std::snprintf(status, sizeof status, "%s %s", "The available printer port: ", entry.c_str());
    front.ShowStatus(status);
    state.serialChannel.Close();
    install::SetPrinterPortRegistry(front, search.printerName, entry);
    WritePortSettings(state, front, entry);
    state.portName = entry;
    front.SetProgress(80);
    RestoreAndRestart(state, front);
    front.SetInstallButton("&Finish");
    front.Refresh();
    front.SetProgress(100);
    search.probing = false;
}

void NoPortAnswered(Installation& state, Frontend& front) {
    state.serialChannel.Close();
    front.KillSerialTimer();
    front.SetProgress(80);
    RestoreAndRestart(state, front);
    Finish(front, "Cannot select a available port\xA1\xA3The current printer port is " +
                      state.serialPorts.front() + ",you can configure after finished");
    state.serialSearch.probing = false;
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

void StartSearch(Installation& state, Frontend& front) {
    auto& search = state.serialSearch;
    if (search.probing || search.inStep) {
        return;  // one search at a time
    }
    StepScope scope(search.inStep);
    FillPrinterLists(state);
    front.SetProgress(50);
    search.printerName = state.printerName;
    if (state.serialPorts.empty()) {
        install::CompleteInstallation(front);  // the installation stops before this
        return;
    }
    if (state.serialPorts.size() == 1) {
        SinglePort(state, front);
        return;
    }

    const int result = front.AskBaudRate();
    front.Refresh();
    const int rate = result - kRowChosen;
    if (result == kCancelled || rate < 0 ||
        rate >= static_cast<int>(SerialPromptDialog::kBaudRates.size())) {
        Finish(front, "The current printer port is " + state.serialPorts.front() +
                          " ,you can set that after the installation finished");
        return;
    }

    FreeSerialPorts(state, front);
    install::RestartService(front, "Spooler", 0);
    front.SetProgress(60);
    state.baudRate = SerialPromptDialog::kBaudRates[static_cast<size_t>(rate)];
    state.parity = 'N';
    state.dataBits = 8;
    state.stopBits = 1;
    state.serialEventMask = 3;
    state.serialPortIndex = 0;

    for (; state.serialPortIndex < static_cast<int>(state.serialPorts.size());
         ++state.serialPortIndex) {
        const Probe probe = ProbeCurrentPort(state, front);
        if (probe == Probe::Sent) {
            search.probing = true;
            front.SetProgress(100);
            return;
        }
        if (probe == Probe::SentWithoutTimer) {
            break;  // the search moves only on its timer: without one it could never end
        }
    }
    state.serialChannel.Close();
    RestoreAndRestart(state, front);
    Finish(front, "Cannot select a available port.The current printer port is " +
                      state.serialPorts.front() + ",you can configure after finished");
}

void TimerStep(Installation& state, Frontend& front) {
    auto& search = state.serialSearch;
    if (!search.probing || search.inStep) {
        return;  // no search, or one step already runs underneath this nested loop
    }
    StepScope scope(search.inStep);
    if (state.serialResponseSeen != 0) {
        PortFound(state, front);
        return;
    }
    ++state.serialPortIndex;
    if (state.serialPortIndex >= static_cast<int>(state.serialPorts.size())) {
        NoPortAnswered(state, front);
        return;
    }
    // Here a timer that cannot be set again leaves the one that fired this step: timers repeat,
    // so the search still goes on.
    switch (ProbeCurrentPort(state, front)) {
        case Probe::Sent:
        case Probe::SentWithoutTimer:
            break;
        case Probe::OpenedNotStarted:
            state.serialChannel.Close();
            front.SetSerialTimer(kSkipWaitMs);
            break;
        case Probe::NotOpened:
            front.SetSerialTimer(kSkipWaitMs);
            break;
    }
}

// The monitor's error boxes, shown once a step is over: the timer steps run in a box's own
// loop, so the search goes on while one waits for an answer.
void ShowMonitorReports(Installation& state) {
    if (!state.serialSearch.inStep) {
        state.serialChannel.ShowReports();
    }
}

}  // namespace

void StartSerialDetection(Installation& state, Frontend& front) {
    StartSearch(state, front);
    ShowMonitorReports(state);
}

void SerialTimerStep(Installation& state, Frontend& front) {
    TimerStep(state, front);
    ShowMonitorReports(state);
}

void SerialReplyReceived(Installation& state, ui::LParam port) {
    if (port == state.serialSearch.portNumber) {
        state.serialResponseSeen = 1;
    }
}

void EndSerialSearch(Installation& state, Frontend& front) {
    auto& search = state.serialSearch;
    front.KillSerialTimer();
    search.probing = false;
    state.serialChannel.Close();
    if (search.portsFreed) {
        RestartAfterRestore(state, front, RestoreSerialPorts(state, front));
    }
}

}  // namespace ports
