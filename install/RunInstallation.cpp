// The preparation and the installation, the same under the window and without it.
#include "install/RunInstallation.h"

#include <iterator>
#include <vector>

#include "catalog/CatalogFile.h"
#include "catalog/ModelTables.h"
#include "catalog/SystemDetect.h"
#include "install/Frontend.h"
#include "install/InstallLabelPrinter.h"
#include "install/InstallReceiptPrinter.h"
#include "install/Installation.h"
#include "install/PrinterName.h"
#include "install/RestartService.h"
#include "platform/Files.h"
#include "ports/EnumeratePorts.h"
#include "ports/SerialJournal.h"

namespace install {
namespace {

const char* const kUnknownModel =
    "The chosen driver is not known to this installer.\r\n\r\nThe driver list (DriverName.cfg) "
    "in the driver package does not match this program.";
const char* const kFilesVanished =
    "The unpacked driver files have disappeared.\r\n\r\nAnother program removed them after they "
    "were unpacked; they are now unpacked again. Click Install again.";

void UnpackDriverPackage(Installation&, Frontend& front, catalog::ArchiveExtractor& archiver) {
    front.ShowStatus("Reading driver file...");
    archiver.SetOwnerWindow(front.OwnerWindow());
    const std::string folder = sys::GetProgramDirectoryA();
    // Without it, "\DriverData.Drv" would name one at the root of the current drive.
    if (folder.empty()) {
        return;
    }
    // Confined: entries outside C:\Ticket, C:\Barcode and C:\DriverName.cfg never reach drive C.
    if (catalog::UnpackConfined(archiver, folder + "\\" + kPackageName) == catalog::kRefused) {
        front.AppMessageBox(catalog::RefusalText(archiver.Refused()),
                            ui::mb::Ok | ui::mb::IconStop);
    }
    archiver.Unload();
}

void ListDrivers(Installation&, Frontend& front, catalog::ArchiveExtractor&) {
    std::vector<std::string> names;
    for (const auto& entry : catalog::ReadCatalog()) {
        names.push_back(entry.name);
    }
    front.ShowDrivers(names);
}

void ShowSystem(Installation& state, Frontend& front, catalog::ArchiveExtractor&) {
    state.is64BitWindows = catalog::Is64BitWindows() ? 1 : 0;
    front.ShowStatus(catalog::SystemStatusText(catalog::VersionCode(), state.is64BitWindows != 0));
}

void ReadPorts(Installation& state, Frontend& front, catalog::ArchiveExtractor&) {
    ports::EnumeratePorts(state, front);
}

}  // namespace

bool ResolveModel(Installation& state, Frontend& front, catalog::ArchiveExtractor& archiver,
                  int selection) {
    const auto entries = catalog::ReadCatalog();
    // The driver list was filled from the catalogue: gone now, it was removed behind our back
    // (another installer's clean-up), and the package is not at fault.
    if (entries.empty() && sys::GetFileAttributesA(catalog::kCatalogPath) == sys::attr::Invalid) {
        front.Box(kFilesVanished, "Prompt", ui::mb::Ok | ui::mb::IconExclamation);
        UnpackDriverPackage(state, front, archiver);
        return false;
    }
    state.selectedModel = catalog::ResolveModel(entries, selection, state.displayName);
    if (state.selectedModel < 0 ||
        state.selectedModel >= state.ReceiptModelCount() + state.labelModelCount ||
        state.selectedModel >= catalog::kModelCount) {
        front.Box(kUnknownModel, "Prompt", ui::mb::Ok | ui::mb::IconExclamation);
        return false;
    }
    return true;
}

void Prepare(Installation& state, Frontend& front, catalog::ArchiveExtractor& archiver,
             const std::atomic<bool>& stop) {
    // First of all: a run killed during a serial search left other printers on the free port.
    const std::string replayed = ports::journal::ReplayStatus(
        ports::journal::Replay([&front] { return RestartService(front, "Spooler", 0); }));
    RestartService(front, "Spooler", kStartOnly);
    // Once stopped, what is left is skipped: nothing would show its results.
    for (auto step : {&ReadPorts, &UnpackDriverPackage, &ListDrivers, &ShowSystem}) {
        if (stop) {
            break;
        }
        step(state, front, archiver);
    }
    // Last, so that the system's line does not hide it; the status line is logged too.
    if (replayed.empty()) {
        return;
    }
    if (stop) {
        front.Log(replayed);
    } else {
        front.ShowStatus(replayed);
    }
}

bool Install(Installation& state, Frontend& front, catalog::ArchiveExtractor& archiver,
             int selection) {
    const std::vector<std::string>* firstGuess[] = {&state.serialPorts, &state.usbPorts,
                                                    &state.parallelPorts, &state.tcpipPorts};
    if (state.portType >= 0 && state.portType < static_cast<int>(std::size(firstGuess)) &&
        !firstGuess[state.portType]->empty()) {
        state.portName = firstGuess[state.portType]->front();
    }
    if (!ResolveModel(state, front, archiver, selection)) {
        return false;
    }
    if (!IsValidPrinterName(state.printerName)) {
        front.Box(kBadPrinterName, "Prompt", ui::mb::Ok | ui::mb::IconExclamation);
        return false;
    }
    if (state.selectedModel < state.ReceiptModelCount()) {
        InstallReceiptPrinter(state, front);
    } else {
        InstallLabelPrinter(state, front);
    }
    return true;
}

}  // namespace install
