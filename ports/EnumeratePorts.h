// Sorts the spooler's existing ports into the installation's port lists.
#pragma once

#include "install/Forward.h"

namespace ports {

// The first 256 ports are sorted: "USB" names to usbPorts, then TCP/IP descriptions to
// tcpipPorts, then "LPT" names to parallelPorts; each of them also to otherPorts. serialPorts
// comes from the serial device map. The port-type row the user chose stays selected. Ends
// with one "MyUpdateData".
void EnumeratePorts(install::Installation& state, install::Frontend& front);

}  // namespace ports
