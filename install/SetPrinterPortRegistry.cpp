// The printer's port values written straight into the spooler's registry keys.
#include "install/SetPrinterPortRegistry.h"

#include <cstdint>

#include "install/Frontend.h"
#include "platform/Registry.h"
#include "platform/Window.h"

namespace install {
namespace {

const char* const kSoftwarePrinters =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\";
const char* const kControlSet001Printers = "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\";
const char* const kCurrentControlSetPrinters =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

using Report = std::function<void(const std::string&)>;

bool Write(sys::KeyHandle key, const char* valueName, sys::Dword type, const void* data,
           sys::Dword size) {
    return sys::RegSetValueExA(key, valueName, 0, type, static_cast<const std::uint8_t*>(data),
                               size) == sys::err::Success;
}

// Writes the port name as a REG_SZ without its NUL into an existing HKLM key; a key that will
// not open for writing is passed over in silence.
void WritePortValue(const std::string& subKey, const char* valueName, const std::string& portName,
                    const Report& report) {
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyLocalMachine(), subKey.c_str(), 0, sys::key::SetValue,
                           key.Receive()) != sys::err::Success) {
        return;
    }
    if (!Write(key.Get(), valueName, sys::reg::Sz, portName.c_str(),
               static_cast<sys::Dword>(portName.size()))) {
        report(kRegistryWriteFailed);
    }
}

// The spooler sets the flag again once it finds the printer's device on the new port.
void MarkOffline(const std::string& printerName, const Report& report) {
    // 12 bytes on the i686 product: no descriptor, inheritable.
    const sys::SECURITY_ATTRIBUTES security{sizeof(sys::SECURITY_ATTRIBUTES), nullptr, 1};
    const std::string subKey = kCurrentControlSetPrinters + printerName;
    sys::RegKey key;
    sys::Dword disposition = 0;
    if (sys::RegCreateKeyExA(sys::HkeyCurrentConfig(), subKey.c_str(), 0, nullptr,
                             sys::reg::OptionNonVolatile, sys::key::AllAccess, &security,
                             key.Receive(), &disposition) != sys::err::Success) {
        return;
    }
    const sys::Dword offline = 0;
    if (!Write(key.Get(), "PrinterOnLine", sys::reg::Dword32, &offline, sizeof offline)) {
        report(kRegistryWriteFailed);
    }
}

}  // namespace

void SetPrinterPortRegistry(const std::string& printerName, const std::string& portName,
                            const Report& report) {
    WritePortValue(kSoftwarePrinters + printerName, "Port", portName, report);
    WritePortValue(kSoftwarePrinters + printerName + "\\DsSpooler", "portName", portName, report);
    WritePortValue(kControlSet001Printers + printerName, "Port", portName, report);
    WritePortValue(kCurrentControlSetPrinters + printerName, "Port", portName, report);
    MarkOffline(printerName, report);
}

void SetPrinterPortRegistry(Frontend& front, const std::string& printerName,
                            const std::string& portName) {
    SetPrinterPortRegistry(printerName, portName, [&](const std::string& text) {
        front.Log(text + ": the port " + portName + " of " + printerName);
        front.AppMessageBox(text, ui::mb::Ok);
    });
}

}  // namespace install
