// Settles the TCP/IP port before the printer is added: the monitor's wizard when there is
// none, otherwise "Configure TCP/IP PrinterPort".
#include "ports/ChooseTcpipPort.h"

#include "app/InstallDialog.h"
#include "platform/Spooler.h"
#include "ports/EnumeratePorts.h"
#include "ports/PortEnumeration.h"
#include "ports/PortResult.h"
#include "ports/TcpipPortDialog.h"

namespace ports {

int ChooseTcpipPort(InstallDialog& dialog, std::string& port) {
    port.clear();
    if (dialog.tcpipPorts.empty()) {
        const int added = sys::AddPortA(nullptr, dialog.Handle(), kTcpipMonitor);
        EnumeratePorts(dialog);
        const int result = added == 1 ? kAddedWithoutDialog : kCancelled;
        const int index = PortIndexOf(result, dialog.tcpipPorts);
        if (index >= 0) {
            port = dialog.tcpipPorts[static_cast<std::size_t>(index)];
        }
        return result;
    }
    TcpipPortDialog chooser(dialog.Handle());
    const int result = static_cast<int>(chooser.DoModal());
    EnumeratePorts(dialog);
    port = chooser.chosenPort;
    return result;
}

}  // namespace ports

int InstallDialog::ChooseTcpipPort(std::string& port) {
    return ports::ChooseTcpipPort(*this, port);
}
