// Runs the TCP/IP or parallel port step and takes the port its answer names.
#include "install/PortChoice.h"

#include "install/Frontend.h"
#include "install/Installation.h"
#include "ports/ChooseParallelPort.h"
#include "ports/ChooseTcpipPort.h"
#include "ports/PortTypeList.h"

namespace install {

bool ChoosePortBeforeInstall(Installation& state, Frontend& front) {
    // Taken by name: a dialog's row number is no index into the port lists, which sort some
    // rows elsewhere (an "LPT" port of the TCP/IP monitor, a TCP/IP port named "USB…").
    std::string port;
    if (state.portType == ports::kTcpip) {
        ports::ChooseTcpipPort(state, front, port);
    } else if (state.portType == ports::kParallel) {
        ports::ChooseParallelPort(state, front, port);
    } else {
        return true;
    }
    if (port.empty()) {
        front.EnableInstall(true);
        return false;
    }
    state.portName = port;
    return true;
}

}  // namespace install
