// The preparation that runs beside the form; then the Install button is enabled, whatever
// failed on the way.
#include "app/InstallDialog.h"
#include "install/RunInstallation.h"

void InstallDialog::RunWorker() {
    install::Prepare(installation, *this, archiver, closing_);
    // Before the button: once it is enabled, the window may close and clean up at once.
    preparing_ = false;
    if (!closing_) {
        installButton.EnableWindow(true);
    }
}

void InstallDialog::ShowDrivers(const std::vector<std::string>& names) {
    driverCombo.ResetContent();
    for (const auto& name : names) {
        driverCombo.AddString(name);
    }
    driverCombo.SetCurSel(0);
    OnDriverSelected();
    Refresh();
}
