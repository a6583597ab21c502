// The port chosen before a printer is added: the TCP/IP or parallel port dialog's answer.
#pragma once

#include <string>
#include <vector>

#include "install/Forward.h"

namespace install {

// Settles portName for the TCP/IP and parallel types; the other types keep it. False when
// the attempt ends here (the Install button is enabled again).
bool ChoosePortBeforeInstall(Installation& state, Frontend& front);

}  // namespace install
