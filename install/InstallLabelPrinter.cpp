// Installs a label model: the language monitor is copied and added, the 30 label modules and
// the model's data files go to the spooler's driver directory, the driver is added naming the
// monitor, then the printer (shared with the receipt path).
#include "install/InstallLabelPrinter.h"

#include <utility>

#include "app/InstallDialog.h"
#include "catalog/ModelTables.h"
#include "install/AddPrinter.h"
#include "install/DriverSteps.h"
#include "install/PortChoice.h"
#include "install/RestartService.h"
#include "platform/Files.h"
#include "platform/Spooler.h"
#include "res/resource.h"

namespace install {
namespace {

constexpr std::size_t kDependentListSize = 500;
const char* const kCommonSource = "C:\\Barcode\\Common\\";
const char* const kHelpFile = "THERMAL.chm";

int LabelIndex(const InstallDialog& dialog) {
    return dialog.selectedModel - (dialog.receiptGroup1Size + dialog.receiptGroup2Size +
                                   dialog.receiptGroup3Size + dialog.receiptGroup4Size);
}

// Copies the monitor module and adds the monitor, after removing one of the same name. False
// when the monitor could not be added; the main dialog is then closed.
bool AddLanguageMonitor(InstallDialog& dialog, const std::string& source, bool x64) {
    const std::string module = catalog::LabelFiles(x64)[0];
    const std::string destination = MonitorDirectory(x64) + "\\" + module;
    const bool made = CopyCreating(source + module, destination);
    dialog.ShowStatus(destination);

    std::string environment = EnvironmentOf(x64);
    std::string name = kLabelMonitorName;
    dialog.RestartService("Spooler", kStartOnly);
    // The spooler keeps a loaded monitor until it restarts.
    if (sys::DeleteMonitorA(nullptr, environment.c_str(), name.c_str()) == 1) {
        dialog.RestartService("Spooler", 0);
    }

    std::string dll = destination;
    sys::MONITOR_INFO_2 info{name.data(), environment.data(), dll.data()};
    // 3006 (ERROR_PRINT_MONITOR_ALREADY_INSTALLED): one that would not go is as good.
    if (sys::AddMonitorA(nullptr, 2, &info) != 1 &&
        sys::GetLastError() != sys::err::PrintMonitorAlreadyInstalled) {
        // A module no monitor uses is not left in the system directory.
        if (made) {
            sys::DeleteFileA(destination);
        }
        dialog.AppMessageBox("Failed to add Monitor\r\n", ui::mb::Ok);
        dialog.UpdateData(true);
        dialog.EndDialog(ui::id::Ok);
        return false;
    }
    dialog.ShowStatus(std::string(kLabelMonitorName) + " is added");
    return true;
}

}  // namespace

std::string MonitorDirectory(bool x64) {
    return x64 ? sys::GetWindowsDirectoryA() + "\\" + "SysWOW64" : sys::GetSystemDirectoryA();
}

std::vector<std::string> LabelDependentFiles(bool x64, int labelIndex) {
    std::vector<std::string> names;
    for (const char* language : catalog::LabelFiles(x64).subspan(3)) {
        names.push_back(std::string("\\") + language);
    }
    // Appended in place: GCC 12 -Wrestrict misreads a "\\" + string + ".BA0" chain.
    std::string ba0 = "\\";
    ba0 += catalog::LabelDataStem(labelIndex);
    ba0 += ".BA0";
    names.push_back(std::move(ba0));
    return names;
}

void InstallLabelPrinter(InstallDialog& dialog) {
    if (!ChoosePortBeforeInstall(dialog)) {
        return;
    }

    const bool x64 = dialog.is64BitWindows != 0;
    const std::string driverDirectory = DriverDirectory(x64);
    const std::string source = x64 ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";

    if (!AddLanguageMonitor(dialog, source, x64)) {
        return;
    }

    const int label = LabelIndex(dialog);
    const std::string driverName(catalog::LabelDriverName(label));
    const std::string stem(catalog::LabelDataStem(label));
    const auto files = catalog::LabelFiles(x64);
    const std::string printerName = dialog.GetDlgItemTextA(IDC_PRINTER_NAME);

    // Copied as the list, then the common files; deleted the common files first.
    DriverCopies listCopies;
    DriverCopies commonCopies;
    // Without a driver directory there is nowhere to copy to: the driver step reports it.
    if (!driverDirectory.empty()) {
        const std::string target = driverDirectory + "\\";
        for (const char* name : files) {
            listCopies.Copy(dialog, source + name, target + name);
        }
        for (const std::string& name : {std::string(kHelpFile), stem + ".BA0", stem + ".DAT"}) {
            commonCopies.Copy(dialog, kCommonSource + name, target + name);
        }
    }
    std::vector<std::string> deleteOrder = commonCopies.Made();
    deleteOrder.insert(deleteOrder.end(), listCopies.Made().begin(), listCopies.Made().end());

    dialog.progressBar.SetPos(10);
    dialog.ShowStatus("Adding printer drive " + driverName);

    NameList<kDependentListSize> dependents;
    for (const std::string& name : LabelDependentFiles(x64, label)) {
        dependents.Add(name);
    }
    DriverRecord record;
    record.name = driverName;
    record.environment = EnvironmentOf(x64);
    record.driverPath = std::string("\\") + files[1];
    record.dataFile = "\\" + stem + ".DAT";
    record.configFile = std::string("\\") + files[2];
    record.helpFile = std::string("\\") + kHelpFile;
    record.dependentFiles = dependents.Data();
    record.monitorName = kLabelMonitorName;
    const sys::DRIVER_INFO_3 info = record.Info();

    if (!AddDriver(dialog, info, deleteOrder)) {
        return;
    }
    dialog.ShowStatus("Driver " + driverName + " is added");
    dialog.progressBar.SetPos(20);

    AddPrinterAndFinish(dialog, PrinterSetup{printerName, driverName, false, 100});
}

}  // namespace install

void InstallDialog::InstallLabelPrinter() {
    install::InstallLabelPrinter(*this);
}
