// Runs the TCP/IP or parallel port step and takes the port its answer names.
#include "install/PortChoice.h"

#include "app/InstallDialog.h"
#include "ports/PortResult.h"
#include "ports/PortTypeList.h"

namespace install {

bool ChoosePortBeforeInstall(InstallDialog& dialog) {
    const std::vector<std::string>* list = nullptr;
    int result = 0;
    if (dialog.portType == ports::kTcpip) {
        result = dialog.ChooseTcpipPort();
        list = &dialog.tcpipPorts;
    } else if (dialog.portType == ports::kParallel) {
        result = dialog.ChooseParallelPort();
        // Only a TCP/IP dialog can add a port without showing itself.
        if (result == ports::kAddedWithoutDialog) {
            result = ports::kCancelled;
        }
        list = &dialog.parallelPorts;
    } else {
        return true;
    }
    const int index = ports::PortIndexOf(result, *list);
    if (index < 0) {
        dialog.installButton.EnableWindow(true);
        return false;
    }
    dialog.portName = (*list)[static_cast<std::size_t>(index)];
    return true;
}

}  // namespace install
