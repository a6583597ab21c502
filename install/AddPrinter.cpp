// Adding the printer after its driver: the existing printer replaced, the default-printer
// value, the port step and the end of the installation, or the report of what failed.
#include "install/AddPrinter.h"

#include <string>

#include "install/Frontend.h"
#include "install/Installation.h"
#include "install/RestartService.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/Security.h"
#include "platform/Spooler.h"
#include "platform/SystemInfo.h"
#include "ports/EnumeratePorts.h"
#include "ports/PortTypeList.h"
#include "ports/SelectUsbPort.h"
#include "ports/SerialDetection.h"

namespace install {
namespace {

const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// Writes "<printer>,winspool,<port>" as the user's default printer; a key that will not open
// is passed over in silence.
void SetDefaultPrinterValue(Installation& state, Frontend& front, const std::string& printerName) {
    const std::string device = printerName + ",winspool," + state.portName;
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyCurrentUser(), kWindowsKey, 0, sys::key::SetValue,
                           key.Receive()) != sys::err::Success) {
        return;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(device.c_str());
    const sys::Dword written = sys::RegSetValueExA(key.Get(), "Device", 0, sys::reg::Sz, data,
                                                   static_cast<sys::Dword>(device.size()));
    if (written != sys::err::Success) {
        front.Log("RegSetValueExA of the default printer failed: " +
                  std::to_string(static_cast<int>(written)));
        front.AppMessageBox(
            "Error\xA3\xBA"
            "Failed to set regist",
            ui::mb::Ok);
    }
}

void PrinterAdded(Installation& state, Frontend& front, const PrinterSetup& setup) {
    front.ShowStatus("Added the printer " + setup.printerName);
    front.SetProgress(30);
    if (state.setDefaultPrinter != 0) {
        SetDefaultPrinterValue(state, front, setup.printerName);
    }
    front.SetProgress(40);
    front.ShowStatus("Set the printer " + setup.printerName + " to default printer");

    if (state.portType == ports::kSerial) {
        ports::StartSerialDetection(state, front);
    } else if (state.portType == ports::kUsb) {
        ports::SelectUsbPort(state, front);
    }
    front.PauseForTheEye(setup.finishPauseMs);
    // The serial search ends the installation itself.
    if (state.portType != ports::kSerial) {
        CompleteInstallation(front);
    }
}

std::string MissingPortText(const Installation& state) {
    switch (state.portType) {
        case ports::kSerial:
            return "There's no serialport,please select other type of port and reinstall";
        case ports::kUsb:
            return "There's no USB port,please make sure printer is connected or select other "
                   "type of port";
        default:
            return "There's no printer port " + state.portName +
                   ",please select other type of port and reinstall";
    }
}

void ReportAddPrinterFailure(Installation& state, Frontend& front, sys::Dword error) {
    front.Log("AddPrinterA failed: " + std::to_string(static_cast<int>(error)));
    if (error == sys::err::UnknownPort) {
        front.Box(MissingPortText(state), "Prompt", ui::mb::Ok);
        front.SetInstallCaption("Reinstall");
    } else if (error == sys::err::ModNotFound) {
        front.Box("Missing system flies,please repair system", "Prompt", ui::mb::Ok);
        front.SetInstallCaption("Reinstall");
    } else {
        front.Box("Error AddPrinter " + std::to_string(static_cast<int>(error)), "Error prompt",
                  ui::mb::Ok);
    }
    front.EnableInstall(true);
    front.SetProgress(0);
}

}  // namespace

void EnableLoadDriverPrivilege() {
    sys::Handle token;
    if (!sys::OpenProcessToken(sys::GetCurrentProcess(),
                               sys::token::AdjustPrivileges | sys::token::Query, token.Receive())) {
        return;
    }
    sys::TOKEN_PRIVILEGES privileges{};
    if (!sys::LookupPrivilegeValueA(nullptr, "SeLoadDriverPrivilege",
                                    &privileges.Privileges[0].Luid)) {
        return;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = sys::token::PrivilegeEnabled;
    sys::AdjustTokenPrivileges(token.Get(), 0, &privileges, sizeof privileges, nullptr, nullptr);
}

void AddPrinterAndFinish(Installation& state, Frontend& front, const PrinterSetup& setup) {
    EnableLoadDriverPrivilege();

    std::string printerName = setup.printerName;
    std::string datatype = "RAW";
    sys::PRINTER_DEFAULTS defaults{datatype.data(), nullptr, sys::spool::PrinterAllAccess};
    {
        sys::Printer existing;
        if (sys::OpenPrinterA(printerName.c_str(), existing.Receive(), &defaults) == 1) {
            front.ShowStatus("The printer " + printerName + " exists,Re-adding the printer...");
            sys::SetPrinterA(existing.Get(), 0, nullptr, sys::spool::PrinterControlPurge);
            sys::DeletePrinter(existing.Get());
        }
    }

    std::string portName = state.portName;
    std::string driverName = setup.driverName;
    std::string printProcessor = "WinPrint";
    sys::PRINTER_INFO_2 info{};
    info.pPrinterName = printerName.data();
    info.pPortName = portName.data();
    info.pDriverName = driverName.data();
    info.pPrintProcessor = printProcessor.data();
    info.pDatatype = datatype.data();

    sys::Printer printer(sys::AddPrinterA(nullptr, 2, &info));
    const sys::Dword error = printer ? sys::err::Success : sys::GetLastError();
    if (!printer && error == sys::err::UnknownPort && setup.retryUnknownPort) {
        printer = sys::Printer(sys::AddPrinterA(nullptr, 2, &info));
        install::RestartService(front, "Spooler", 0);
        ports::EnumeratePorts(state, front);
    }
    if (!printer) {
        ReportAddPrinterFailure(state, front, error);
        return;
    }
    printer.Close();
    PrinterAdded(state, front, setup);
}

void CompleteInstallation(Frontend& front) {
    front.SetProgress(100);
    front.ShowStatus("The installation is completed.");
    front.SetInstallButton("&Finish");
}

}  // namespace install
