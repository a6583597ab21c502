// The program's entry: the back end calls AppMain once the process is set up, with the command
// line's arguments after the program's name; its result is the process's exit code.
#pragma once

#include <string>

int AppMain(const std::string& arguments);
