// The install command: read the form, settle port type, port and model, then install.
#include <utility>

#include "app/InstallDialog.h"
#include "catalog/CatalogFile.h"
#include "catalog/ModelTables.h"
#include "install/PrinterName.h"
#include "res/resource.h"

namespace {

const char* const kNoDriverList =
    "No driver list was found.\r\n\r\nThe driver package (DriverData.Drv) is missing or "
    "damaged. Place the complete package beside this program and start it again.";
const char* const kUnknownModel =
    "The chosen driver is not known to this installer.\r\n\r\nThe driver list (DriverName.cfg) "
    "in the driver package does not match this program.";

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
            portType = row;
            break;
        }
    }
    const std::vector<std::string>* firstGuess[] = {&serialPorts, &usbPorts, &parallelPorts,
                                                    &tcpipPorts};
    if (portType >= 0 && portType < static_cast<int>(std::size(firstGuess)) &&
        !firstGuess[portType]->empty()) {
        portName = firstGuess[portType]->front();
    }

    if (!ResolveSelectedModel()) {
        installButton.EnableWindow(true);
        return;
    }
    if (!install::IsValidPrinterName(GetDlgItemTextA(IDC_PRINTER_NAME))) {
        MessageBoxA(install::kBadPrinterName, "Prompt", ui::mb::Ok | ui::mb::IconExclamation);
        installButton.EnableWindow(true);
        return;
    }
    if (selectedModel < ReceiptModelCount()) {
        InstallReceiptPrinter();
    } else {
        InstallLabelPrinter();
    }
    EnableDlgItem(ui::id::Cancel, false);
    UpdateData(false);
}

void InstallDialog::SetInstallButton(const std::string& caption) {
    installButton.EnableWindow(true);
    installButton.SetWindowTextA(caption);
}

bool InstallDialog::ResolveSelectedModel() {
    const int selection = driverCombo.GetCurSel();
    if (driverCombo.GetCount() <= 0 || selection < 0) {
        MessageBoxA(kNoDriverList, "Prompt", ui::mb::Ok | ui::mb::IconExclamation);
        return false;
    }
    selectedModel =
        catalog::ResolveModel(catalog::ReadCatalog(), selection, driverCombo.GetWindowTextA());
    if (selectedModel < 0 || selectedModel >= ReceiptModelCount() + labelModelCount ||
        selectedModel >= catalog::kModelCount) {
        MessageBoxA(kUnknownModel, "Prompt", ui::mb::Ok | ui::mb::IconExclamation);
        return false;
    }
    return true;
}
