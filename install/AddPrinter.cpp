// Adding the printer after its driver: the existing printer replaced, the default-printer
// value, the port step and the end of the installation, or the report of what failed.
#include "install/AddPrinter.h"

#include <string>

#include "app/InstallDialog.h"
#include "platform/Clock.h"
#include "platform/Registry.h"
#include "platform/Security.h"
#include "platform/Spooler.h"
#include "platform/SystemInfo.h"
#include "ports/PortTypeList.h"

namespace install {
namespace {

const char* const kWindowsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

// Writes "<printer>,winspool,<port>" as the user's default printer; a key that will not open
// is passed over in silence.
void SetDefaultPrinterValue(InstallDialog& dialog, const std::string& printerName) {
    const std::string device = printerName + ",winspool," + dialog.portName;
    sys::RegKey key;
    if (sys::RegOpenKeyExA(sys::HkeyCurrentUser(), kWindowsKey, 0, sys::key::SetValue,
                           key.Receive()) != sys::err::Success) {
        return;
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(device.c_str());
    if (sys::RegSetValueExA(key.Get(), "Device", 0, sys::reg::Sz, data,
                            static_cast<sys::Dword>(device.size())) != sys::err::Success) {
        dialog.AppMessageBox(
            "Error\xA3\xBA"
            "Failed to set regist",
            ui::mb::Ok);
    }
}

void PrinterAdded(InstallDialog& dialog, const PrinterSetup& setup) {
    dialog.ShowStatus("Added the printer " + setup.printerName);
    dialog.progressBar.SetPos(30);
    if (dialog.setDefaultPrinter != 0) {
        SetDefaultPrinterValue(dialog, setup.printerName);
    }
    dialog.progressBar.SetPos(40);
    dialog.ShowStatus("Set the printer " + setup.printerName + " to default printer");

    if (dialog.portType == ports::kSerial) {
        dialog.DetectSerialPort();
    } else if (dialog.portType == ports::kUsb) {
        dialog.SelectUsbPort();
    }
    sys::Sleep(setup.finishPauseMs);
    // The serial search ends the installation itself.
    if (dialog.portType != ports::kSerial) {
        CompleteInstallation(dialog);
    }
}

std::string MissingPortText(const InstallDialog& dialog) {
    switch (dialog.portType) {
        case ports::kSerial:
            return "There's no serialport,please select other type of port and reinstall";
        case ports::kUsb:
            return "There's no USB port,please make sure printer is connected or select other "
                   "type of port";
        default:
            return "There's no printer port " + dialog.portName +
                   ",please select other type of port and reinstall";
    }
}

void ReportAddPrinterFailure(InstallDialog& dialog, sys::Dword error) {
    if (error == sys::err::UnknownPort) {
        dialog.MessageBoxA(MissingPortText(dialog), "Prompt", ui::mb::Ok);
        dialog.installButton.SetWindowTextA("Reinstall");
    } else if (error == sys::err::ModNotFound) {
        dialog.MessageBoxA("Missing system flies,please repair system", "Prompt", ui::mb::Ok);
        dialog.installButton.SetWindowTextA("Reinstall");
    } else {
        dialog.MessageBoxA("Error AddPrinter " + std::to_string(static_cast<int>(error)),
                           "Error prompt", ui::mb::Ok);
    }
    dialog.installButton.EnableWindow(true);
    dialog.progressBar.SetPos(0);
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

void AddPrinterAndFinish(InstallDialog& dialog, const PrinterSetup& setup) {
    EnableLoadDriverPrivilege();

    std::string printerName = setup.printerName;
    std::string datatype = "RAW";
    sys::PRINTER_DEFAULTS defaults{datatype.data(), nullptr, sys::spool::PrinterAllAccess};
    {
        sys::Printer existing;
        if (sys::OpenPrinterA(printerName.c_str(), existing.Receive(), &defaults) == 1) {
            dialog.ShowStatus("The printer " + printerName + " exists,Re-adding the printer...");
            sys::SetPrinterA(existing.Get(), 0, nullptr, sys::spool::PrinterControlPurge);
            sys::DeletePrinter(existing.Get());
        }
    }

    std::string portName = dialog.portName;
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
        dialog.RestartService("Spooler", 0);
        dialog.EnumeratePorts();
    }
    if (!printer) {
        ReportAddPrinterFailure(dialog, error);
        return;
    }
    printer.Close();
    PrinterAdded(dialog, setup);
}

void CompleteInstallation(InstallDialog& dialog) {
    dialog.progressBar.SetPos(100);
    dialog.ShowStatus("The installation is completed.");
    dialog.SetInstallButton("&Finish");
}

}  // namespace install
