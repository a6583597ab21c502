// Installs a receipt model: its files and the uniDRV files go to the spooler's driver
// directory, the driver is added, then the printer (shared with the label path).
#include "install/InstallReceiptPrinter.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/InstallDialog.h"
#include "catalog/ModelTables.h"
#include "catalog/SystemDetect.h"
#include "install/AddPrinter.h"
#include "install/PortChoice.h"
#include "install/RestartService.h"
#include "platform/Files.h"
#include "platform/Spooler.h"
#include "res/resource.h"

namespace install {
namespace {

constexpr std::size_t kBufferSize = 255;
const char* const kX86 = "Windows NT x86";
const char* const kX64 = "Windows x64";

// The three fixed dependent files, with their NULs: 38 bytes; the module's name follows.
constexpr char kFixedDependents[] = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD";
constexpr std::size_t kFixedDependentsSize = sizeof kFixedDependents;
static_assert(kFixedDependentsSize == 38);

using Buffer = std::array<char, kBufferSize>;

// Copies text into a zeroed buffer at `offset`; false (and nothing written) if it and a
// double NUL after it would not fit.
bool PutAt(Buffer& buffer, std::size_t offset, const std::string& text) {
    if (offset + text.size() + 2 > buffer.size()) {
        return false;
    }
    std::memcpy(buffer.data() + offset, text.c_str(), text.size() + 1);
    return true;
}

std::string DriverDirectory(const char* environment) {
    Buffer buffer{};
    sys::Dword needed = 0;
    sys::GetPrinterDriverDirectoryA(nullptr, environment, 1,
                                    reinterpret_cast<std::uint8_t*>(buffer.data()),
                                    static_cast<sys::Dword>(buffer.size()), &needed);
    buffer.back() = '\0';
    return buffer.data();
}

struct ReceiptFiles {
    std::string driverDirectory;
    std::vector<std::string> copies;  // destinations, in the order they were copied
};

void CopyShown(InstallDialog& dialog, ReceiptFiles& files, const std::string& source,
               const std::string& destination) {
    sys::CopyFileA(source, destination, false);
    files.copies.push_back(destination);
    dialog.ShowStatus(destination);
}

void DeleteCopies(const ReceiptFiles& files) {
    for (const auto& path : files.copies) {
        sys::DeleteFileA(path);
    }
}

// The "Failed to add the driver" box; true when the user chose Retry.
bool AskRetryDriver(InstallDialog& dialog, sys::Dword error) {
    const std::string text = "Failed to add the driver " + std::to_string(static_cast<int>(error)) +
                             "\r\n\r\nClick Retry:You can retry\r\nClick Cancel\xA3\xBA"
                             "exit and abort installation";
    return dialog.MessageBoxA(text, "Error", ui::mb::RetryCancel) == ui::id::Retry;
}

}  // namespace

int ReceiptModuleRow(const InstallDialog& dialog, int catalogIndex) {
    const int group1 = dialog.receiptGroup1Size;
    const int group2 = group1 + dialog.receiptGroup2Size;
    const int group3 = group2 + dialog.receiptGroup3Size;
    if (catalogIndex < group1) {
        return 0;
    }
    if (catalogIndex < group2) {
        return catalog::ReceiptDriverName(catalogIndex) == catalog::kThirdModuleModel ? 2 : 1;
    }
    return catalogIndex < group3 ? 3 : 4;
}

void InstallReceiptPrinter(InstallDialog& dialog) {
    if (!ChoosePortBeforeInstall(dialog)) {
        return;
    }

    const bool x64 = dialog.is64BitWindows != 0;
    ReceiptFiles files;
    files.driverDirectory = DriverDirectory(kX86);
    if (x64) {
        files.driverDirectory = DriverDirectory(kX64);
    }
    std::string environment = x64 ? kX64 : kX86;
    const std::string source = x64 ? "C:\\Ticket\\x64\\" : "C:\\Ticket\\x86\\";

    const int model = dialog.selectedModel;
    std::string driverName(catalog::ReceiptDriverName(model));
    const std::string gpdStem(catalog::ReceiptGpdStem(model));
    const std::string moduleFile =
        std::string(catalog::ReceiptModuleStem(ReceiptModuleRow(dialog, model))) + ".DLL";
    const std::string printerName = dialog.GetDlgItemTextA(IDC_PRINTER_NAME);

    // Without a driver directory there is nowhere to copy to: the driver step reports it.
    if (!files.driverDirectory.empty()) {
        for (const std::string& name : {moduleFile, gpdStem + ".GPD"}) {
            CopyShown(dialog, files, source + name, files.driverDirectory + "\\" + name);
        }
        for (const char* name : catalog::UniDrvFiles()) {
            CopyShown(dialog, files, source + name, files.driverDirectory + "\\" + name);
        }
    }

    dialog.progressBar.SetPos(10);
    dialog.ShowStatus("Adding printer drive " + driverName);

    Buffer dependents{};
    std::memcpy(dependents.data(), kFixedDependents, kFixedDependentsSize);
    PutAt(dependents, kFixedDependentsSize, moduleFile);
    std::string driverPath = "\\uniDRV.DLL";
    std::string dataFile = "\\" + gpdStem + ".GPD";
    std::string configFile = "\\uniDRVui.DLL";
    std::string helpFile = "\\uniDRV.HLP";
    std::string monitorName;
    std::string dataType = "RAW";
    sys::DRIVER_INFO_3 info{};
    info.cVersion = catalog::VersionCode() == 4 ? 2 : 3;
    info.pName = driverName.data();
    info.pEnvironment = environment.data();
    info.pDriverPath = driverPath.data();
    info.pDataFile = dataFile.data();
    info.pConfigFile = configFile.data();
    info.pHelpFile = helpFile.data();
    info.pDependentFiles = dependents.data();
    info.pMonitorName = monitorName.data();
    info.pDefaultDataType = dataType.data();

    dialog.RestartService("Spooler", kStartOnly);
    const int added = sys::AddPrinterDriverExA(nullptr, 3, &info, sys::spool::CopyAllFiles);
    const sys::Dword error = sys::GetLastError();
    // The spooler has its own copies now, or will get them again on a retry.
    DeleteCopies(files);
    if (added != 1) {
        if (AskRetryDriver(dialog, error)) {
            dialog.SetInstallButton("Reinstall");
            dialog.progressBar.SetPos(0);
        } else {
            dialog.UpdateData(true);
            dialog.EndDialog(ui::id::Ok);
        }
        return;
    }
    dialog.ShowStatus("Driver " + driverName + " is added");
    dialog.progressBar.SetPos(20);

    AddPrinterAndFinish(dialog, PrinterSetup{printerName, driverName, true, 500});
}

}  // namespace install

void InstallDialog::InstallReceiptPrinter() {
    install::InstallReceiptPrinter(*this);
}
