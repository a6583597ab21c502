// Start-up defaults, data exchange and the message map of the main dialog.
#include "app/InstallDialog.h"

#include "app/Cleanup.h"
#include "platform/Serial.h"
#include "ports/PortTypeList.h"
#include "res/resource.h"

namespace {

const char* const kAppTitle = "Thermal Driver Setup";

const unsigned kUpdateDataMessage = ui::RegisterWindowMessageA("MyUpdateData");

}  // namespace

InstallDialog::InstallDialog() : ui::Dialog(IDD_INSTALL) {}

InstallDialog::~InstallDialog() {
    closing_ = true;
    // No bound: each step of the worker has its own, except the archiver's export, which
    // cannot be interrupted; its files must still go once it has written them.
    worker_.Wait(sys::wait::Infinite);
    if (cleanupPending_) {
        RemoveUnpackedFiles(archiver.Foreign());
    }
}

void InstallDialog::ShowStatus(const std::string& text) {
    statusText = text;
    Refresh();
}

int InstallDialog::AppMessageBox(const std::string& text, unsigned flags) {
    // The worker's box after the window has gone would stand alone: none is shown, and the
    // answer is 0, as MessageBoxA gives for an owner window that no longer exists (1400).
    if (closing_) {
        return 0;
    }
    return MessageBoxA(text, kAppTitle, flags);
}

void InstallDialog::Refresh() {
    SendMessageA(kUpdateDataMessage, 0, 0);
}

bool InstallDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    baudRate = 0;
    serialEventMask = 3;
    receiptGroup4Size = 3;
    parity = 'N';
    dataBits = 8;
    stopBits = 1;
    serialPortIndex = 0;
    serialResponseSeen = 0;
    receiptGroup1Size = 15;
    receiptGroup2Size = 7;
    receiptGroup3Size = 5;
    labelModelCount = 5;
    ports::FillPortTypeList(portTypeList);
    // Before the first click with nothing selected, the port type is the first row's.
    portType = 0;
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
    dx.Check(IDC_SET_DEFAULT, setDefaultPrinter);
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
    ports::SerialTimerStep(*this);
}

bool InstallDialog::OnMessage(unsigned message, ui::WParam wParam, ui::LParam lParam,
                              ui::LResult& result) {
    if (message == kSerialDataMessage) {
        ports::SerialReplyReceived(*this, lParam);
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
    ports::EndSerialSearch(*this);
    closing_ = true;
    // The window goes at once. A worker still preparing may be inside the archiver, whose
    // export cannot be interrupted: its files are removed once it has ended (destructor).
    if (preparing_) {
        cleanupPending_ = true;
        return;
    }
    RemoveUnpackedFiles(archiver.Foreign());
}

int InstallDialog::ReceiptModelCount() const {
    return receiptGroup1Size + receiptGroup2Size + receiptGroup3Size + receiptGroup4Size;
}
