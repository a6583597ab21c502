// Text for whoever started the program from a console or a script.
#pragma once

#include <string>

namespace sys {

// Writes to the standard output; a program without one first attaches to its parent's console
// (AttachConsole(ATTACH_PARENT_PROCESS)). False when there is nowhere to write.
bool WriteConsoleText(const std::string& text);

}  // namespace sys
