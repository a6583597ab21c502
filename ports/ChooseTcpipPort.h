// Settles the TCP/IP port before the printer is added: the monitor's wizard when there is
// none, otherwise "Configure TCP/IP PrinterPort".
#pragma once

class InstallDialog;

namespace ports {

// No TCP/IP port: AddPortA with the main dialog as owner, then a new enumeration; 0xAAAA when
// AddPortA returned exactly 1, else 0xCCCC. Otherwise the dialog's result, unchanged, after a
// new enumeration.
int ChooseTcpipPort(InstallDialog& dialog);

}  // namespace ports
