// Settles the parallel port before the printer is added: the only one, or the user's choice.
#include "ports/ChooseParallelPort.h"

#include "app/InstallDialog.h"
#include "ports/EnumeratePorts.h"
#include "ports/ParallelPortDialog.h"
#include "ports/PortResult.h"

namespace ports {

int ChooseParallelPort(InstallDialog& dialog, std::string& port) {
    port.clear();
    if (dialog.parallelPorts.empty()) {
        dialog.AppMessageBox(
            "There is no available parallel port.\r\n\r\nPlease select other port type.",
            ui::mb::Ok);
        return kCancelled;
    }
    if (dialog.parallelPorts.size() == 1) {
        port = dialog.parallelPorts[0];
        return kRowChosen;
    }
    ParallelPortDialog chooser(dialog.Handle());
    const int result = static_cast<int>(chooser.DoModal());
    EnumeratePorts(dialog);
    port = chooser.chosenPort;
    return result;
}

}  // namespace ports

int InstallDialog::ChooseParallelPort(std::string& port) {
    return ports::ChooseParallelPort(*this, port);
}
