// Settles the TCP/IP port before the printer is added: the monitor's wizard when there is
// none, otherwise "Configure TCP/IP PrinterPort".
#pragma once

#include <string>

#include "install/Forward.h"

namespace ports {

// No TCP/IP port: AddPortA with the front end's window as owner, then a new enumeration; 0xAAAA
// when AddPortA returned exactly 1, else 0xCCCC. Otherwise the dialog's result, unchanged, after a
// new enumeration. `port` gets the name of the port the result names (for a row, the row's
// name, not the entry of that number in tcpipPorts), or is emptied.
int ChooseTcpipPort(install::Installation& state, install::Frontend& front, std::string& port);

}  // namespace ports
