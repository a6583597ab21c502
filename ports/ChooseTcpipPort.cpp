// Settles the TCP/IP port before the printer is added: the monitor's wizard when there is
// none, otherwise "Configure TCP/IP PrinterPort".
#include "ports/ChooseTcpipPort.h"

#include "install/Frontend.h"
#include "install/Installation.h"
#include "platform/Spooler.h"
#include "ports/EnumeratePorts.h"
#include "ports/PortEnumeration.h"
#include "ports/PortResult.h"

namespace ports {

using install::Frontend;
using install::Installation;

int ChooseTcpipPort(Installation& state, Frontend& front, std::string& port) {
    port.clear();
    if (state.tcpipPorts.empty()) {
        const int added = sys::AddPortA(nullptr, front.OwnerWindow(), kTcpipMonitor);
        if (added != 1) {
            front.Log("AddPortA failed: " + std::to_string(sys::GetLastError()));
        }
        EnumeratePorts(state, front);
        const int result = added == 1 ? kAddedWithoutDialog : kCancelled;
        const int index = PortIndexOf(result, state.tcpipPorts);
        if (index >= 0) {
            port = state.tcpipPorts[static_cast<std::size_t>(index)];
        }
        return result;
    }
    const int result = front.ChooseTcpipPort(port);
    EnumeratePorts(state, front);
    return result;
}

}  // namespace ports
