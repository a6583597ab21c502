// The preparation that runs beside the form: unpack the package, fill the driver list, show
// the system; then the Install button is enabled, whatever failed on the way.
#include "app/InstallDialog.h"
#include "catalog/CatalogFile.h"
#include "catalog/SystemDetect.h"
#include "install/RestartService.h"
#include "platform/Files.h"
#include "ports/SerialJournal.h"
#include "res/resource.h"

void InstallDialog::RunWorker() {
    // First of all: a run killed during a serial search left other printers on the free port.
    const std::string replayed = ports::journal::ReplayStatus(
        ports::journal::Replay([this] { return RestartService("Spooler", 0); }));
    RestartService("Spooler", install::kStartOnly);
    // Once the window has gone, what is left is skipped: nothing would show its results.
    for (void (InstallDialog::*step)() :
         {&InstallDialog::EnumeratePorts, &InstallDialog::UnpackDriverPackage,
          &InstallDialog::FillDriverCombo, &InstallDialog::ShowSystem}) {
        if (closing_) {
            break;
        }
        (this->*step)();
    }
    // Before the button: once it is enabled, the window may close and clean up at once.
    preparing_ = false;
    if (!replayed.empty() && !closing_) {
        ShowStatus(replayed);
    }
    if (!closing_) {
        installButton.EnableWindow(true);
    }
}

void InstallDialog::UnpackDriverPackage() {
    ShowStatus("Reading driver file...");
    archiver.SetOwnerWindow(Handle());
    const std::string archive = sys::GetCurrentDirectoryA() + "\\DriverData.Drv";
    // Confined: entries outside C:\Ticket, C:\Barcode and C:\DriverName.cfg never reach drive C.
    catalog::UnpackConfined(archiver, archive);
    archiver.Unload();
}

void InstallDialog::FillDriverCombo() {
    driverCombo.ResetContent();
    for (const auto& entry : catalog::ReadCatalog()) {
        driverCombo.AddString(entry.name);
    }
    driverCombo.SetCurSel(0);
    OnDriverSelected();
    Refresh();
}

void InstallDialog::ShowSystem() {
    is64BitWindows = catalog::Is64BitWindows() ? 1 : 0;
    ShowStatus(catalog::SystemStatusText(catalog::VersionCode(), is64BitWindows != 0));
}
