// Installs a label model: the language monitor is copied and added, the 30 label modules and
// the model's data files go to the spooler's driver directory, the driver is added naming the
// monitor, then the printer (shared with the receipt path).
#include "install/InstallLabelPrinter.h"

#include <utility>

#include "catalog/ModelTables.h"
#include "install/AddPrinter.h"
#include "install/DriverSteps.h"
#include "install/Frontend.h"
#include "install/Installation.h"
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

int LabelIndex(const Installation& state) {
    return state.selectedModel - (state.receiptGroup1Size + state.receiptGroup2Size +
                                  state.receiptGroup3Size + state.receiptGroup4Size);
}

// Copies the monitor module and adds the monitor, after removing one of the same name. False
// when the monitor could not be added; the main window is then closed.
bool AddLanguageMonitor(Frontend& front, const std::string& source, bool x64) {
    const std::string module = catalog::LabelFiles(x64)[0];
    const std::string destination = MonitorDirectory(x64) + "\\" + module;
    const bool made = CopyCreating(source + module, destination);
    front.ShowStatus(destination);

    std::string environment = EnvironmentOf(x64);
    std::string name = kLabelMonitorName;
    install::RestartService(front, "Spooler", kStartOnly);
    // The spooler keeps a loaded monitor until it restarts.
    if (sys::DeleteMonitorA(nullptr, environment.c_str(), name.c_str()) == 1) {
        install::RestartService(front, "Spooler", 0);
    }

    std::string dll = destination;
    sys::MONITOR_INFO_2 info{name.data(), environment.data(), dll.data()};
    // 3006 (ERROR_PRINT_MONITOR_ALREADY_INSTALLED): one that would not go is as good.
    if (sys::AddMonitorA(nullptr, 2, &info) != 1 &&
        sys::GetLastError() != sys::err::PrintMonitorAlreadyInstalled) {
        front.Log("AddMonitorA failed: " + std::to_string(sys::GetLastError()));
        // A module no monitor uses is not left in the system directory.
        if (made) {
            sys::DeleteFileA(destination);
        }
        front.AppMessageBox("Failed to add Monitor\r\n", ui::mb::Ok);
        front.CloseMainWindow();
        return false;
    }
    front.ShowStatus(std::string(kLabelMonitorName) + " is added");
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

void InstallLabelPrinter(Installation& state, Frontend& front) {
    if (!ChoosePortBeforeInstall(state, front)) {
        return;
    }

    const bool x64 = state.is64BitWindows != 0;
    const std::string driverDirectory = DriverDirectory(x64);
    const std::string source = x64 ? "C:\\Barcode\\x64\\" : "C:\\Barcode\\x86\\";

    if (!AddLanguageMonitor(front, source, x64)) {
        return;
    }

    const int label = LabelIndex(state);
    const std::string driverName(catalog::LabelDriverName(label));
    const std::string stem(catalog::LabelDataStem(label));
    const auto files = catalog::LabelFiles(x64);
    const std::string printerName = state.printerName;

    // Copied as the list, then the common files; deleted the common files first.
    DriverCopies listCopies;
    DriverCopies commonCopies;
    // Without a driver directory there is nowhere to copy to: the driver step reports it.
    if (!driverDirectory.empty()) {
        const std::string target = driverDirectory + "\\";
        for (const char* name : files) {
            listCopies.Copy(front, source + name, target + name);
        }
        for (const std::string& name : {std::string(kHelpFile), stem + ".BA0", stem + ".DAT"}) {
            commonCopies.Copy(front, kCommonSource + name, target + name);
        }
    }
    std::vector<std::string> deleteOrder = commonCopies.Made();
    deleteOrder.insert(deleteOrder.end(), listCopies.Made().begin(), listCopies.Made().end());

    front.SetProgress(10);
    front.ShowStatus("Adding printer drive " + driverName);

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

    if (!AddDriver(front, info, deleteOrder)) {
        return;
    }
    front.ShowStatus("Driver " + driverName + " is added");
    front.SetProgress(20);

    AddPrinterAndFinish(state, front, PrinterSetup{printerName, driverName, false, 100});
}

}  // namespace install
