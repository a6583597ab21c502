// Settles the parallel port before the printer is added: the only one, or the user's choice.
#include "ports/ChooseParallelPort.h"

#include "app/InstallDialog.h"
#include "ports/EnumeratePorts.h"
#include "ports/ParallelPortDialog.h"
#include "ports/PortResult.h"

namespace ports {

int ChooseParallelPort(InstallDialog& dialog) {
    if (dialog.parallelPorts.empty()) {
        dialog.AppMessageBox(
            "There is no available parallel port.\r\n\r\nPlease select other port type.",
            ui::mb::Ok);
        return kCancelled;
    }
    if (dialog.parallelPorts.size() == 1) {
        return kRowChosen;
    }
    ParallelPortDialog chooser(dialog.Handle());
    const int result = static_cast<int>(chooser.DoModal());
    EnumeratePorts(dialog);
    return result;
}

}  // namespace ports

int InstallDialog::ChooseParallelPort() {
    return ports::ChooseParallelPort(*this);
}
