// "Configure TCP/IP PrinterPort": pick, add, configure or delete the TCP/IP ports; Ok ends
// with 0x1200 plus the row.
#include "ports/TcpipPortDialog.h"

#include "platform/Spooler.h"
#include "ports/PortEnumeration.h"
#include "ports/PortListView.h"
#include "ports/PortResult.h"
#include "res/resource.h"

TcpipPortDialog::TcpipPortDialog(ui::WindowHandle owner) : ui::Dialog(IDD_TCPIP_PORTS, owner) {}

bool TcpipPortDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    FillTcpipList();
    return true;
}

void TcpipPortDialog::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_PORT_LIST, portList);
}

void TcpipPortDialog::FillTcpipList() {
    ports::FillPortList(portList, [](const ports::PortRecord& port) {
        return ports::IsTcpipDescription(port.description);
    });
}

bool TcpipPortDialog::OnCommand(int id, int code) {
    if (code != ui::notify::ButtonClicked) {
        return false;
    }
    switch (id) {
        case IDC_ADD_PORT:
            OnAddPort();
            return true;
        case IDC_CONFIGURE_PORT:
            OnConfigurePort();
            return true;
        case IDC_DELETE_PORT:
            OnDeletePort();
            return true;
        case IDC_PORTS_OK:
            OnPortsOk();
            return true;
        case IDC_PORTS_CANCEL:
            EndDialog(ports::kCancelled);
            return true;
        default:
            return false;
    }
}

void TcpipPortDialog::OnClose() {
    EndDialog(ports::kCancelled);
}

void TcpipPortDialog::OnAddPort() {
    const int added = sys::AddPortA(nullptr, Handle(), ports::kTcpipMonitor);
    FillTcpipList();
    if (added == 1) {
        ports::SelectRow(portList, portList.GetItemCount() - 1);
    }
}

void TcpipPortDialog::OnConfigurePort() {
    const int row = ports::FirstSelectedRow(portList);
    if (row < 0) {
        return;
    }
    const std::string name = portList.GetItemText(row, 0);
    if (sys::ConfigurePortA(nullptr, Handle(), name.c_str()) != 0) {
        return;
    }
    switch (sys::GetLastError()) {
        case sys::err::NotSupported:
            MessageBoxA("Failed to configure printer port.\r\nThe request is not supported.",
                        "Configure Port", ui::mb::Ok);
            break;
        case sys::err::AdapHdwErr:
            MessageBoxA("Failed to configure printer port.\r\nA hardware error occurred. ",
                        "Configure Por", ui::mb::Ok);
            break;
        default:
            break;
    }
}

void TcpipPortDialog::OnDeletePort() {
    const int row = ports::FirstSelectedRow(portList);
    if (row >= 0) {
        const std::string name = portList.GetItemText(row, 0);
        if (sys::DeletePortA(nullptr, Handle(), name.c_str()) == 0 &&
            sys::GetLastError() == sys::err::NotSupported) {
            MessageBoxA("Failed to delete port.The request is not supported.", "Delete Port",
                        ui::mb::Ok);
        }
    }
    FillTcpipList();
}

void TcpipPortDialog::OnPortsOk() {
    if (portList.GetItemCount() == 0) {
        MessageBoxA("There is no available TCP/IP port\r\nClick \"Add port\" to create a new port",
                    "Prompt", ui::mb::Ok);
        return;
    }
    const int row = ports::FirstSelectedRow(portList);
    if (row >= 0) {
        chosenPort = portList.GetItemText(row, 0);
    }
    EndDialog(row >= 0 ? ports::kRowChosen + row : 0);
}
