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

int ChooseTcpipPort(InstallDialog& dialog) {
    if (dialog.tcpipPorts.empty()) {
        const int added = sys::AddPortA(nullptr, dialog.Handle(), kTcpipMonitor);
        EnumeratePorts(dialog);
        return added == 1 ? kAddedWithoutDialog : kCancelled;
    }
    TcpipPortDialog chooser(dialog.Handle());
    const int result = static_cast<int>(chooser.DoModal());
    EnumeratePorts(dialog);
    return result;
}

}  // namespace ports

int InstallDialog::ChooseTcpipPort() {
    return ports::ChooseTcpipPort(*this);
}
