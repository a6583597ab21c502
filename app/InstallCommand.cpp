// The install command: read the form, settle port type and model, then install.
#include "app/InstallDialog.h"
#include "install/RunInstallation.h"
#include "res/resource.h"

namespace {

const char* const kNoDriverList =
    "No driver list was found.\r\n\r\nThe driver package (DriverData.Drv) is missing or "
    "damaged. Place the complete package beside this program and start it again.";

}  // namespace

void InstallDialog::OnInstall() {
    UpdateData(true);
    if (installButton.GetWindowTextA() == "&Finish") {
        OnOK();
        return;
    }
    installButton.EnableWindow(false);

    const int rows = portTypeList.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (portTypeList.GetItemState(row, ui::ListView::StateSelected) != 0) {
            installation.portType = row;
            break;
        }
    }
    const int selection = driverCombo.GetCurSel();
    if (driverCombo.GetCount() <= 0 || selection < 0) {
        Box(kNoDriverList, "Prompt", ui::mb::Ok | ui::mb::IconExclamation);
        installButton.EnableWindow(true);
        return;
    }
    installation.displayName = driverCombo.GetWindowTextA();
    installation.printerName = GetDlgItemTextA(IDC_PRINTER_NAME);
    if (!install::Install(installation, *this, selection)) {
        installButton.EnableWindow(true);
        return;
    }
    EnableDlgItem(ui::id::Cancel, false);
    UpdateData(false);
}
