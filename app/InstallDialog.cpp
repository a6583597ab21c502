// Start-up defaults, data exchange and the message map of the main dialog.
#include "app/InstallDialog.h"

#include "app/Cleanup.h"
#include "platform/Serial.h"
#include "ports/PortTypeList.h"
#include "ports/SerialDetection.h"
#include "res/resource.h"

namespace {

const unsigned kUpdateDataMessage = ui::RegisterWindowMessageA("MyUpdateData");

}  // namespace

InstallDialog::InstallDialog(InstallLog* log) : ui::Dialog(IDD_INSTALL), log_(log) {}

InstallDialog::~InstallDialog() {
    closing_ = true;
    // No bound: each step of the worker has its own, except the archiver's export, which
    // cannot be interrupted; its files must still go once it has written them.
    worker_.Wait(sys::wait::Infinite);
    if (cleanupPending_) {
        RemoveUnpackedFiles();
    }
}

void InstallDialog::Refresh() {
    SendMessageA(kUpdateDataMessage, 0, 0);
}

bool InstallDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    installation.Reset();
    ports::FillPortTypeList(portTypeList);
    Refresh();
    preparing_ = true;
    // Without a thread the preparation runs here: Install must become available either way.
    if (!worker_.Start([this] { RunWorker(); })) {
        RunWorker();
    }
    return true;
}

void InstallDialog::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_INSTALL, installButton);
    dx.Control(IDC_PROGRESS, progressBar);
    dx.Control(IDC_DRIVER_COMBO, driverCombo);
    dx.Control(IDC_PORT_TYPES, portTypeList);
    dx.Check(IDC_SET_DEFAULT, installation.setDefaultPrinter);
    dx.Text(IDC_STATUS, statusText);
}

bool InstallDialog::OnCommand(int id, int code) {
    if (id == IDC_DRIVER_COMBO && code == ui::notify::ComboSelChange) {
        OnDriverSelected();
        return true;
    }
    if (id == IDC_INSTALL && code == ui::notify::ButtonClicked) {
        OnInstall();
        return true;
    }
    return false;
}

void InstallDialog::OnDriverSelected() {
    SetDlgItemTextA(IDC_PRINTER_NAME, driverCombo.GetWindowTextA());
}

void InstallDialog::OnTimer(std::uintptr_t) {
    ports::SerialTimerStep(installation, *this);
}

bool InstallDialog::OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                              ui::LResult& result) {
    if (message == kSerialDataMessage) {
        ports::SerialReplyReceived(installation, lParam);
        result = 0;
        return true;
    }
    if (message == kUpdateDataMessage) {
        result = UpdateData(wParam != 0) ? 1 : 0;
        return true;
    }
    return false;
}

void InstallDialog::OnDestroy() {
    ports::EndSerialSearch(installation, *this);
    closing_ = true;
    // The window goes at once. A worker still preparing may be inside the archiver, whose
    // export cannot be interrupted: its files are removed once it has ended (destructor).
    if (preparing_) {
        cleanupPending_ = true;
        return;
    }
    RemoveUnpackedFiles();
}
