// The program's entry: the back end calls AppMain once the process is set up.
#pragma once

// `commandLine`: the arguments after the program's name, as WinMain receives them.
int AppMain(const char* commandLine);
