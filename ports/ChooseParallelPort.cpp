// Settles the parallel port before the printer is added: the only one, or the user's choice.
#include "ports/ChooseParallelPort.h"

#include "install/Frontend.h"
#include "install/Installation.h"
#include "ports/EnumeratePorts.h"
#include "ports/PortResult.h"

namespace ports {

using install::Frontend;
using install::Installation;

int ChooseParallelPort(Installation& state, Frontend& front, std::string& port) {
    port.clear();
    if (state.parallelPorts.empty()) {
        front.AppMessageBox(
            "There is no available parallel port.\r\n\r\nPlease select other port type.",
            ui::mb::Ok);
        return kCancelled;
    }
    if (state.parallelPorts.size() == 1) {
        port = state.parallelPorts[0];
        return kRowChosen;
    }
    const int result = front.ChooseParallelPort(port);
    EnumeratePorts(state, front);
    return result;
}

}  // namespace ports
