// Installs a receipt model: its files and the uniDRV files go to the spooler's driver
// directory, the driver is added, then the printer (shared with the label path).
#include "install/InstallReceiptPrinter.h"

#include <string>

#include "catalog/ModelTables.h"
#include "install/AddPrinter.h"
#include "install/DriverSteps.h"
#include "install/Frontend.h"
#include "install/Installation.h"
#include "install/PortChoice.h"
#include "install/RestartService.h"
#include "res/resource.h"

namespace install {
namespace {

// The three fixed dependent files, with their NULs: 38 bytes; the module's name follows.
constexpr const char* kFixedDependents[] = {"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD"};

}  // namespace

int ReceiptModuleRow(const Installation& state, int catalogIndex, std::string_view comboText) {
    const int group1 = state.receiptGroup1Size;
    const int group2 = group1 + state.receiptGroup2Size;
    const int group3 = group2 + state.receiptGroup3Size;
    if (catalogIndex < group1) {
        return 0;
    }
    if (catalogIndex < group2) {
        return comboText == catalog::kThirdModuleModel ? 2 : 1;
    }
    return catalogIndex < group3 ? 3 : 4;
}

void InstallReceiptPrinter(Installation& state, Frontend& front) {
    if (!ChoosePortBeforeInstall(state, front)) {
        return;
    }

    const bool x64 = state.is64BitWindows != 0;
    const std::string driverDirectory = DriverDirectory(x64);
    const std::string source = x64 ? "C:\\Ticket\\x64\\" : "C:\\Ticket\\x86\\";

    const int model = state.selectedModel;
    const std::string driverName(catalog::ReceiptDriverName(model));
    const std::string gpdStem(catalog::ReceiptGpdStem(model));
    const int moduleRow = ReceiptModuleRow(state, model, state.displayName);
    const std::string moduleFile = std::string(catalog::ReceiptModuleStem(moduleRow)) + ".DLL";
    const std::string printerName = state.printerName;

    DriverCopies copies;
    // Without a driver directory there is nowhere to copy to: the driver step reports it.
    if (!driverDirectory.empty()) {
        for (const std::string& name : {moduleFile, gpdStem + ".GPD"}) {
            copies.Copy(front, source + name, driverDirectory + "\\" + name);
        }
        for (const char* name : catalog::UniDrvFiles()) {
            copies.Copy(front, source + name, driverDirectory + "\\" + name);
        }
    }

    front.SetProgress(10);
    front.ShowStatus("Adding printer drive " + driverName);

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

    install::RestartService(front, "Spooler", kStartOnly);
    if (!AddDriver(front, info, copies.Made())) {
        return;
    }
    front.ShowStatus("Driver " + driverName + " is added");
    front.SetProgress(20);

    AddPrinterAndFinish(state, front, PrinterSetup{printerName, driverName, true, 500});
}

}  // namespace install
