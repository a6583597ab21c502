// The USB port step after the printer was added: the printer pointed at each USB port in turn,
// the spooler restarted each time, until the spooler marks the printer online.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ports/SelectUsbPort.h"

#include "install/Frontend.h"
#include "install/Installation.h"
#include "install/RestartService.h"
#include "install/SetPrinterPortRegistry.h"
#include "platform/Registry.h"
#include "ports/EnumeratePorts.h"
#include "res/resource.h"

namespace {

using install::Frontend;
using install::Installation;

const char* const kOnlineKey =
    "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\CurrentControlSet\\Control\\"
    "Print\\Printers\\";
const char* const kNoPortOnline =
    "Failed to select usb port,please check the port is connected.\r\n\r\nClick Retry:Retry to "
    "select usb port\r\nClick Cancel:Ignore";
const char* const kNoPortOnlineCaption = "Fail to select port";

// The spooler's online flag of the printer: 1 in the first byte of "PrinterOnLine". A key that
// will not open counts as offline without a word; a value that cannot be read is reported.
bool IsOnline(Frontend& front, const std::string& printerName) {
    const std::string subKey = kOnlineKey + printerName;
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), subKey.c_str(), 0, sys::key::QueryValue,
                           key.Receive()) != sys::err::Success) {
        return false;
    }
    std::array<std::uint8_t, 50> data{};
    sys::Dword size = static_cast<sys::Dword>(data.size());
    sys::Dword type = 0;
    if (sys::RegQueryValueExA(key.Get(), "PrinterOnLine", nullptr, &type, data.data(), &size) !=
        sys::err::Success) {
        front.AppMessageBox(install::kRegistryWriteFailed, ui::mb::Ok);
        return false;
    }
    return data[0] == 1;
}

// One round over the USB ports; true when the printer came online on one of them, where it
// then stays. Otherwise it stays on the last port tried.
bool TryUsbPorts(Installation& state, Frontend& front, const std::string& printerName) {
    front.ShowStatus("Checking USB ports...");
    // A copy, so that nothing run inside the round's boxes (modal loops) can change the list
    // under the loop.
    const std::vector<std::string> candidates = state.usbPorts;
    for (const std::string& port : candidates) {
        // Three words joined by blanks, the first with a blank of its own: two before the port.
        front.ShowStatus(std::string("Checking ") + " " + port + " " + "....");
        install::SetPrinterPortRegistry(front, printerName, port);
        front.SetProgress(50);
        // The spooler reads the printer's port again when it starts, and then sets the flag.
        install::RestartService(front, "Spooler", 0);
        front.SetProgress(60);
        if (IsOnline(front, printerName)) {
            front.SetProgress(70);
            return true;
        }
    }
    return false;
}

}  // namespace

namespace ports {

void SelectUsbPort(install::Installation& state, install::Frontend& front) {
    while (!TryUsbPorts(state, front, state.printerName)) {
        const int answer = front.Box(kNoPortOnline, kNoPortOnlineCaption, ui::mb::RetryCancel);
        if (answer != ui::id::Retry) {
            break;
        }
        // The user may just have plugged the printer in: its port may be new.
        EnumeratePorts(state, front);
    }
    front.SetProgress(80);
}

}  // namespace ports
