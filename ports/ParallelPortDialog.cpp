// "Select A Parallel Port": the spooler's "LPT" ports; Ok ends with 0x1200 plus the row.
#include "ports/ParallelPortDialog.h"

#include "ports/PortListView.h"
#include "ports/PortResult.h"
#include "res/resource.h"

ParallelPortDialog::ParallelPortDialog(ui::WindowHandle owner)
    : ui::Dialog(IDD_PARALLEL_PORTS, owner) {}

bool ParallelPortDialog::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    FillParallelList();
    return true;
}

void ParallelPortDialog::DoDataExchange(ui::DataExchange& dx) {
    dx.Control(IDC_PORT_LIST, portList);
}

void ParallelPortDialog::FillParallelList() {
    ports::FillPortList(portList, [](const ports::PortRecord& port) {
        return ports::StartsWith(port.name, "LPT");
    });
}

bool ParallelPortDialog::OnCommand(int id, int code) {
    if (code != ui::notify::ButtonClicked) {
        return false;
    }
    if (id == IDC_PORTS_OK) {
        const int row = ports::FirstSelectedRow(portList);
        if (row >= 0) {
            chosenPort = portList.GetItemText(row, 0);
        }
        EndDialog(row >= 0 ? ports::kRowChosen + row : 0);
        return true;
    }
    if (id == IDC_PORTS_CANCEL) {
        EndDialog(ports::kCancelled);
        return true;
    }
    return false;
}

void ParallelPortDialog::OnClose() {
    ui::Dialog::OnClose();  // the default handling first; the later result is the one kept
    EndDialog(ports::kCancelled);
}
