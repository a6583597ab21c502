// Settles the parallel port before the printer is added: the only one, or the user's choice.
#pragma once

#include <string>

#include "install/Forward.h"

namespace ports {

// 0xCCCC with a message when there is no parallel port; 0x1200 (entry 0) with no dialog when
// there is one; otherwise the result of "Select A Parallel Port", unchanged, after the port
// lists were enumerated again. `port` gets the name of the port the result names (the row's
// name, not the entry of that number in parallelPorts), or is emptied.
int ChooseParallelPort(install::Installation& state, install::Frontend& front, std::string& port);

}  // namespace ports
