// Runs the TCP/IP or parallel port step and takes the port its answer names.
#include "install/PortChoice.h"

#include "app/InstallDialog.h"
#include "ports/PortTypeList.h"

namespace install {

bool ChoosePortBeforeInstall(InstallDialog& dialog) {
    // Taken by name: a dialog's row number is no index into the port lists, which sort some
    // rows elsewhere (an "LPT" port of the TCP/IP monitor, a TCP/IP port named "USB…").
    std::string port;
    if (dialog.portType == ports::kTcpip) {
        dialog.ChooseTcpipPort(port);
    } else if (dialog.portType == ports::kParallel) {
        dialog.ChooseParallelPort(port);
    } else {
        return true;
    }
    if (port.empty()) {
        dialog.installButton.EnableWindow(true);
        return false;
    }
    dialog.portName = port;
    return true;
}

}  // namespace install
