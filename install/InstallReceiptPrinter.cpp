// Installs a receipt model: its files and the uniDRV files go to the spooler's driver
// directory, the driver is added, then the printer (shared with the label path).
#include "install/InstallReceiptPrinter.h"

#include <string>

#include "app/InstallDialog.h"
#include "catalog/ModelTables.h"
#include "install/AddPrinter.h"
#include "install/DriverSteps.h"
#include "install/PortChoice.h"
#include "install/RestartService.h"
#include "res/resource.h"

namespace install {
namespace {

// The three fixed dependent files, with their NULs: 38 bytes; the module's name follows.
constexpr const char* kFixedDependents[] = {"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD"};

}  // namespace

int ReceiptModuleRow(const InstallDialog& dialog, int catalogIndex, std::string_view comboText) {
    const int group1 = dialog.receiptGroup1Size;
    const int group2 = group1 + dialog.receiptGroup2Size;
    const int group3 = group2 + dialog.receiptGroup3Size;
    if (catalogIndex < group1) {
        return 0;
    }
    if (catalogIndex < group2) {
        return comboText == catalog::kThirdModuleModel ? 2 : 1;
    }
    return catalogIndex < group3 ? 3 : 4;
}

void InstallReceiptPrinter(InstallDialog& dialog) {
    if (!ChoosePortBeforeInstall(dialog)) {
        return;
    }

    const bool x64 = dialog.is64BitWindows != 0;
    const std::string driverDirectory = DriverDirectory(x64);
    const std::string source = x64 ? "C:\\Ticket\\x64\\" : "C:\\Ticket\\x86\\";

    const int model = dialog.selectedModel;
    const std::string driverName(catalog::ReceiptDriverName(model));
    const std::string gpdStem(catalog::ReceiptGpdStem(model));
    const int moduleRow = ReceiptModuleRow(dialog, model, dialog.driverCombo.GetWindowTextA());
    const std::string moduleFile = std::string(catalog::ReceiptModuleStem(moduleRow)) + ".DLL";
    const std::string printerName = dialog.GetDlgItemTextA(IDC_PRINTER_NAME);

    DriverCopies copies;
    // Without a driver directory there is nowhere to copy to: the driver step reports it.
    if (!driverDirectory.empty()) {
        for (const std::string& name : {moduleFile, gpdStem + ".GPD"}) {
            copies.Copy(dialog, source + name, driverDirectory + "\\" + name);
        }
        for (const char* name : catalog::UniDrvFiles()) {
            copies.Copy(dialog, source + name, driverDirectory + "\\" + name);
        }
    }

    dialog.progressBar.SetPos(10);
    dialog.ShowStatus("Adding printer drive " + driverName);

    NameList<255> dependents;
    for (const char* name : kFixedDependents) {
        dependents.Add(name);
    }
    dependents.Add(moduleFile);
    DriverRecord record;
    record.name = driverName;
    record.environment = EnvironmentOf(x64);
    record.driverPath = "\\uniDRV.DLL";
    record.dataFile = "\\" + gpdStem + ".GPD";
    record.configFile = "\\uniDRVui.DLL";
    record.helpFile = "\\uniDRV.HLP";
    record.dependentFiles = dependents.Data();
    const sys::DRIVER_INFO_3 info = record.Info();

    dialog.RestartService("Spooler", kStartOnly);
    if (!AddDriver(dialog, info, copies.Made())) {
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
