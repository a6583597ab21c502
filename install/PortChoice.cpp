// Runs the TCP/IP or parallel port step and takes the port its answer names.
#include "install/PortChoice.h"

#include "app/InstallDialog.h"
#include "ports/PortTypeList.h"

namespace install {

int PortIndexOf(int result, const std::vector<std::string>& list) {
    const int count = static_cast<int>(list.size());
    if (result == kPortAdded) {
        return count > 0 ? 0 : -1;
    }
    const int row = result - kPortRowBase;
    return row >= 0 && row < count ? row : -1;
}

bool ChoosePortBeforeInstall(InstallDialog& dialog) {
    const std::vector<std::string>* list = nullptr;
    int result = 0;
    if (dialog.portType == ports::kTcpip) {
        result = dialog.ChooseTcpipPort();
        list = &dialog.tcpipPorts;
    } else if (dialog.portType == ports::kParallel) {
        result = dialog.ChooseParallelPort();
        // Only a TCP/IP dialog can add a port without showing itself.
        if (result == kPortAdded) {
            result = kPortCancelled;
        }
        list = &dialog.parallelPorts;
    } else {
        return true;
    }
    const int index = PortIndexOf(result, *list);
    if (index < 0) {
        dialog.installButton.EnableWindow(true);
        return false;
    }
    dialog.portName = (*list)[static_cast<std::size_t>(index)];
    return true;
}

}  // namespace install
