// The USB port step after the printer was added: the printer pointed at each USB port in turn
// until the spooler marks it online, the user asked again after each round.
#pragma once

#include "install/Forward.h"

namespace ports {

// Leaves the printer on the port it came online on, or else on the last USB port tried.
void SelectUsbPort(install::Installation& state, install::Frontend& front);

}  // namespace ports
